// Test helper: loads the main program's settings as whoever runs it and
// prints them; with "save", stores them back with quality 150 and prints
// the outcome. Lets tests watch the store from another user's view.

#include "app/AppSettings.h"
#include "platform/Language.h"

#include <QCoreApplication>

#include <unistd.h>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    CSettingsStore store(CompanyName(), ApplicationName());
    AppSettings settings = LoadAppSettings(store);
    std::printf("uid=%d notfirst=%d jpegquality=%d recomp=%d\n", static_cast<int>(getuid()),
                settings.notFirst, settings.jpegQuality, settings.recompress ? 1 : 0);
    if (argc > 1 && std::strcmp(argv[1], "save") == 0) {
        settings.jpegQuality = 150;
        const Status saved = SaveAppSettings(store, settings);
        std::printf("saved=%d jpegquality=%d\n", saved.ok() ? 1 : 0, settings.jpegQuality);
        std::printf("reason=%s\n", qPrintable(saved.errorString()));
    }
    return 0;
}
