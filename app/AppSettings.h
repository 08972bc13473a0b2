#pragma once

// The main program's three settings and their rules. They are read once at
// start and written once at exit, under the branch of the application name.

#include "platform/SettingsStore.h"

inline constexpr int kDefaultJpegQuality = 80;
inline constexpr char kSectionParam[] = "param";
inline constexpr char kEntryJpegQuality[] = "jpegquality";
inline constexpr char kEntryRecompress[] = "recomp";

// 1..100; below gives 1, above gives 100.
int ClampJpegQuality(int quality);

// A stored quality as used: 0 (or nothing stored) means the default, 80;
// anything else is clamped.
int JpegQualityFromStore(int stored);

struct AppSettings {
    int jpegQuality = kDefaultJpegQuality;
    bool recompress = false;  // instead of the lossless crop; stored as 1 or 0
    int notFirst = 0;         // 1 once the program has completed a start
};

AppSettings LoadAppSettings(const CSettingsStore& store);

// Clamps the quality in `settings` too, then writes the three values, every
// one even after a failure; the first failure is the result.
Status SaveAppSettings(CSettingsStore& store, AppSettings& settings);
