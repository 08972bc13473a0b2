#include "app/AppSettings.h"

#include <algorithm>

int ClampJpegQuality(int quality) {
    return std::clamp(quality, 1, 100);
}

int JpegQualityFromStore(int stored) {
    return stored == 0 ? kDefaultJpegQuality : ClampJpegQuality(stored);
}

AppSettings LoadAppSettings(const CSettingsStore& store) {
    const auto read = [&store](const char* section, const char* entry) {
        return store.GetProfileInt(QString::fromLatin1(section), QString::fromLatin1(entry), 0);
    };
    AppSettings settings;
    settings.notFirst = read(kSectionApp, kEntryNotFirst);
    settings.jpegQuality = JpegQualityFromStore(read(kSectionParam, kEntryJpegQuality));
    settings.recompress = read(kSectionParam, kEntryRecompress) != 0;
    return settings;
}

Status SaveAppSettings(CSettingsStore& store, AppSettings& settings) {
    settings.jpegQuality = ClampJpegQuality(settings.jpegQuality);
    Status first;
    // Every value is written even when an earlier one failed.
    const auto write = [&store, &first](const char* section, const char* entry, int value) {
        Status status =
            store.WriteProfileInt(QString::fromLatin1(section), QString::fromLatin1(entry), value);
        if (first.ok())
            first = std::move(status);
    };
    write(kSectionApp, kEntryNotFirst, settings.notFirst);
    write(kSectionParam, kEntryJpegQuality, settings.jpegQuality);
    write(kSectionParam, kEntryRecompress, settings.recompress ? 1 : 0);
    return first;
}
