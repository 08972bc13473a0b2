#include "platform/MessageBoxes.h"

#include "platform/Language.h"

#include <QMessageBox>

void ShowNotice(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, ApplicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskQuestion(QWidget* parent, const QString& text, DefaultAnswer defaultAnswer) {
    QMessageBox box(QMessageBox::Question, ApplicationName(), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultAnswer == DefaultAnswer::kYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
