#pragma once

// The program's two kinds of message box, captioned with the application
// name of the moment.

#include <QString>

class QWidget;

// OK button and the information icon.
void ShowNotice(QWidget* parent, const QString& text);

// Which button Enter presses in a question.
enum class DefaultAnswer { kYes, kNo };

// Yes and No buttons and the question icon; true only for Yes.
bool AskQuestion(QWidget* parent, const QString& text,
                 DefaultAnswer defaultAnswer = DefaultAnswer::kYes);
