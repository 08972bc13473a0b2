#pragma once

// The JPEG quality dialog: a slider from 1 to 100 and a read-out of the
// value. Every way of moving the thumb (dragging, arrow and page keys,
// clicks beside it) changes the value shown and what OK stores.

#include <QDialog>

class QLabel;
class QSlider;

class CQualityDlg : public QDialog {
  public:
    // Edits `setting`, the program's JPEG quality held by its application
    // object: OK stores the value shown, Cancel leaves it untouched. The
    // setting must outlive the dialog.
    CQualityDlg(int templateId, int& setting, QWidget* parent = nullptr);

    // 141 under the Japanese language rule, 1502 otherwise.
    static int LanguageTemplate();

    int Quality() const { return quality_; }

    void accept() override;

    static constexpr int kMinQuality = 1;
    static constexpr int kMaxQuality = 100;
    // The template's size in dialog units.
    static constexpr int kWidthUnits = 229;
    static constexpr int kHeightUnits = 62;

  private:
    // The thumb stands at `value`.
    void TakeThumb(int value);

    int& setting_;
    int quality_ = 0;
    QSlider* trackbar_ = nullptr;
    QLabel* readout_ = nullptr;
};
