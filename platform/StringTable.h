#pragma once

// Numbered texts of both programs, compiled in from resources/strings.txt.

#include "platform/ResourceIds.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// Keys are string numbers ("129") or dialog texts ("11601.0" for the title of
// the dialog built from template 11601). Lines that break the format are
// left out and described in `problems`.
QHash<QString, QString> ParseStringTable(const QByteArray& utf8, QStringList* problems = nullptr);

// The text of a string number; empty when the table has none.
QString ResourceString(int id);

// The Japanese or the English string of a message, by the language rule.
QString LangString(LangIds message);

// A text of a dialog built from `templateId`; control 0 is its title.
QString DialogText(int templateId, int controlId);

// Where the compiled-in table lives.
inline constexpr char kStringTableResource[] = ":/pelmora/strings.txt";
