#include "cli/CropTool.h"
#include "cli/OtherPicturesOnDemand.h"

#include <QStringList>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> g_stopRequested{false};

extern "C" void RequestStop(int) {
    g_stopRequested.store(true);
    // A second Ctrl-C ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    CliOptions options;
    QString error;
    if (!ParseCommandLine(arguments, options, error)) {
        std::fprintf(stderr, "pelmora-crop: %s\nTry 'pelmora-crop --help'.\n",
                     error.toLocal8Bit().constData());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        return kExitAllWritten;
    }
    if (options.version) {
        std::printf("pelmora-crop %d.%d.%d.%d\n", PELMORA_VERSION_MAJOR, PELMORA_VERSION_MINOR,
                    PELMORA_VERSION_PATCH, PELMORA_VERSION_TWEAK);
        return kExitAllWritten;
    }
    SetOtherPictureReader(FormatsModuleReaders());
    std::signal(SIGINT, RequestStop);
    return RunCropTool(options, stdout, stderr, g_stopRequested);
}
