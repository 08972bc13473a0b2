#pragma once

// The language rule: Japanese texts exactly when the system's language is
// Japanese as used in Japan; every other language and territory, other
// Japanese territories included, gets the English texts. Nothing here caches
// the answer, so each use sees the system as it is then.

#include <QString>
#include <QStringView>

// True for a locale name of Japanese in Japan: "ja_JP", "ja_JP.UTF-8",
// "ja-JP", "ja-Jpan-JP", "ja_JP@modifier". False for "ja", "ja_US", "C", "".
bool IsJapaneseLocaleName(QStringView name);

// The name of the locale that decides the language of texts. On Linux the
// first set of LC_ALL, LC_MESSAGES and LANG, read at each call ("C" when none
// is set); elsewhere the platform's system locale.
QString SystemLocaleName();

bool IsJapaneseLanguage();

// The program's name by the language rule. It is also the main window's
// title, every message box's caption and the name of the settings branch.
QString ApplicationName();

// The company key above the settings branch.
QString CompanyName();
