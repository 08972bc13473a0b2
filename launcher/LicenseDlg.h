#pragma once

// The agreement dialog: the agreement text, read-only, over two buttons.
// Accepting (OK) means the user agrees; any other ending means refusal.

#include <QDialog>
#include <QString>

class QPlainTextEdit;

class CLicenseDlg : public QDialog {
  public:
    // `templateId` picks the texts: 11600 Japanese, 11601 English.
    CLicenseDlg(int templateId, QString textPath, QWidget* parent = nullptr);

    // Puts the agreement text into the dialog; false when it cannot be read.
    bool LoadText();

    // The template's size in dialog units.
    static constexpr int kWidthUnits = 465;
    static constexpr int kHeightUnits = 228;

  private:
    QString textPath_;
    QPlainTextEdit* text_ = nullptr;
};

// Reads a whole agreement text: UTF-8 (with or without a byte order mark),
// else the local 8-bit encoding; line ends become "\n". False for a missing,
// unreadable or implausibly large file.
bool ReadAgreementText(const QString& path, QString& text);
