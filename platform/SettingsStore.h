#pragma once

// The per-user settings branch <company>/<application>, with sections of
// 32-bit integer values. On Linux an ini file under the user's config folder,
// on Windows the registry. Reading never fails: a missing, unreadable or
// malformed value gives the default.

#include "platform/Status.h"

#include <QString>

class CSettingsStore {
  public:
    CSettingsStore(QString company, QString application);

    int GetProfileInt(const QString& section, const QString& entry, int defaultValue) const;
    // A failure when the store could not be written (the value is then lost).
    Status WriteProfileInt(const QString& section, const QString& entry, int value);

    // Where the values live: the file on Linux, the registry key on Windows.
    QString Location() const;

  private:
    QString company_;
    QString application_;
};

// The one value that the launcher reads and the main program writes: 0 until
// the main program has completed its first start.
inline constexpr char kSectionApp[] = "app";
inline constexpr char kEntryNotFirst[] = "notfirst";

// A stored text as a 32-bit value: decimal, in the signed range or, as a
// registry DWORD would hold it, the unsigned one. False for anything else.
bool ParseProfileInt(const QString& text, int& value);
