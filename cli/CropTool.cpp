#include "cli/CropTool.h"

#include "app/CropPairs.h"
#include "engine/JpegCodec.h"
#include "engine/JpegInfo.h"
#include "engine/JpegLimits.h"
#include "engine/OtherPictures.h"
#include "images/CollectFiles.h"
#include "platform/PathUtils.h"
#include "platform/Workers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <numeric>
#include <optional>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

void Print(std::FILE* stream, const QString& line) {
    std::fputs(line.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

struct Inputs {
    QStringList jpegFiles;
    QStringList skipped;  // files found whose names are not JPEG names
    bool searchFailed = false;
};

// What "skipped" counts, in the summary and in --verbose.
const QString kSkippedReason = QStringLiteral("not named .jpg or .jpeg");

// The files to crop, in the order a drop of the same paths would add them.
Inputs GatherInputs(const QStringList& paths, std::FILE* err) {
    Inputs inputs;
    QSet<QString> seen;
    for (const QString& given : paths) {
        const QString path = QDir::toNativeSeparators(QFileInfo(given).absoluteFilePath());
        const CollectedFiles collected = CollectFiles(path);
        const QString& unsearchable = collected.unsearchable;
        if (!collected.status.ok()) {
            inputs.searchFailed = true;
            Print(err, unsearchable.isEmpty()
                           ? QStringLiteral("pelmora-crop: %1: no such file or folder").arg(given)
                           : QStringLiteral("pelmora-crop: %1: cannot search this folder; "
                                            "the rest of %2 was not searched")
                                 .arg(unsearchable, given));
        }
        for (const QString& file : collected.files) {
            if (!HasJpegExtension(file)) {
                inputs.skipped.append(file);
            } else if (!seen.contains(file)) {
                seen.insert(file);
                inputs.jpegFiles.append(file);
            }
        }
    }
    return inputs;
}

bool LooksLikeJpegFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && LooksLikeJpeg(file.read(3));
}

// The size of each image as its header gives it. A re-compressing crop also
// takes other picture formats saved under a JPEG name.
std::vector<BatchImage> ReadImages(const QStringList& files, CropMode mode) {
    std::vector<BatchImage> images;
    images.reserve(static_cast<std::size_t>(files.size()));
    for (const QString& file : files) {
        const JpegInfo info = ReadJpegInfo(file);
        BatchImage image;
        image.path = file;
        image.width = info.width;
        image.height = info.height;
        image.imcuWidth = info.imcuWidth;
        image.imcuHeight = info.imcuHeight;
        if (!info.ok && mode == CropMode::kRecompress && !LooksLikeJpegFile(file)) {
            const QSize size = OtherPictureSize(file);
            image.width = size.width();
            image.height = size.height();
            if (size.isValid() && !size.isEmpty()) {
                images.push_back(std::move(image));
                continue;
            }
        }
        if (!info.ok)
            image.unreadable = QStringLiteral("not a readable JPEG: %1").arg(info.error);
        images.push_back(std::move(image));
    }
    return images;
}

// One line per source whose data libjpeg found damaged. Its pairs still
// count as written when an output was made, as the lossless crop's rules say.
QString WarningLine(const QString& source, const CropOutcome& outcome) {
    return QStringLiteral("pelmora-crop: %1: %2 warning%3 about damaged data (first: %4)")
        .arg(source)
        .arg(outcome.warnings)
        .arg(outcome.warnings == 1 ? QString() : QStringLiteral("s"))
        .arg(outcome.firstWarning);
}

QString RegionText(const PixelRect& r) {
    return QStringLiteral("%1x%2+%3+%4").arg(r.Width()).arg(r.Height()).arg(r.left).arg(r.top);
}

class ProgressBar {
  public:
    ProgressBar(std::FILE* stream, std::size_t total, bool enabled)
        : stream_(stream), total_(total), enabled_(enabled && total > 0) {}
    ~ProgressBar() { Clear(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Show(std::size_t done) {
        if (!enabled_)
            return;
        constexpr std::size_t kWidth = 40;
        const std::size_t filled = done * kWidth / total_;
        std::fprintf(stream_, "\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, ' ').c_str(), done, total_);
        std::fflush(stream_);
        shown_ = true;
    }
    // Wipes the bar so that a message can take its line.
    void Clear() {
        if (!shown_)
            return;
        std::fprintf(stream_, "\r%*s\r", 60, "");
        std::fflush(stream_);
        shown_ = false;
    }

  private:
    std::FILE* stream_;
    std::size_t total_;
    bool enabled_;
    bool shown_ = false;
};

}  // namespace

int RunCropTool(const CliOptions& options, std::FILE* out, std::FILE* err,
                const std::atomic<bool>& stop) {
    if (options.maxMemoryMb > 0) {
        JpegLimits limits = CurrentJpegLimits();
        limits.maxMemoryBytes = static_cast<std::uint64_t>(options.maxMemoryMb) << 20;
        SetJpegLimits(limits);
    }
    const Inputs inputs = GatherInputs(options.paths, err);
    if (options.verbose) {
        for (const QString& file : inputs.skipped)
            Print(out, QStringLiteral("%1 skipped: %2").arg(file, kSkippedReason));
    }
    const std::vector<BatchImage> images = ReadImages(inputs.jpegFiles, options.settings.mode);
    const QString folder =
        QDir::toNativeSeparators(QFileInfo(options.outputFolder).absoluteFilePath());
    std::vector<int> all(images.size());
    std::iota(all.begin(), all.end(), 0);

    BatchControl control;
    control.jobs = WorkerThreadCount(options.jobs);
    control.stop = &stop;
    const std::vector<CropPair>* pairs = nullptr;
    std::optional<ProgressBar> progress;
    control.onPlanned = [&](const BatchPlan& plan) {
        pairs = &plan.pairs;
        progress.emplace(err, plan.pairs.size(), !options.quiet && isatty(fileno(err)) != 0);
    };
    std::size_t done = 0;
    int written = 0;
    int failed = 0;
    QSet<QString> warned;
    control.onDone = [&](std::size_t index, const CropOutcome& outcome) {
        const CropPair& pair = (*pairs)[index];
        if (outcome.notDone)
            return;
        progress->Clear();
        if (outcome.warnings > 0 && !warned.contains(pair.source)) {
            warned.insert(pair.source);
            Print(err, WarningLine(pair.source, outcome));
        }
        for (const QString& note : outcome.notes) {
            Print(err, QStringLiteral("pelmora-crop: %1: %2").arg(outcome.output, note));
        }
        if (outcome.status.ok()) {
            ++written;
            if (options.verbose) {
                Print(out, QStringLiteral("%1 -> %2 %3")
                               .arg(pair.source, outcome.output, RegionText(outcome.written)));
            }
        } else {
            ++failed;
            Print(err, QStringLiteral("pelmora-crop: %1: rectangle %2 (%3): %4")
                           .arg(pair.source)
                           .arg(pair.rectIndex + 1)
                           .arg(options.rects[static_cast<std::size_t>(pair.rectIndex)].Format(),
                                outcome.status.errorString()));
        }
        progress->Show(++done);
    };
    const BatchResult result =
        CropBatch(images, all, options.rects, folder, options.settings, control);
    progress.reset();
    if (!result.flushError.isEmpty())
        Print(err, QStringLiteral("pelmora-crop: %1").arg(result.flushError));
    QString summary = QStringLiteral("%1 written, %2 failed, %3 skipped")
                          .arg(written)
                          .arg(failed)
                          .arg(inputs.skipped.size());
    if (!inputs.skipped.isEmpty())
        summary += QStringLiteral(" (%1)").arg(kSkippedReason);
    if (stop.load()) {
        const auto unattempted = static_cast<int>(result.plan.pairs.size()) - written - failed;
        summary += QStringLiteral(", %1 not done").arg(unattempted);
    }
    Print(out, summary);
    if (stop.load())
        return kExitInterrupted;
    const bool allSaved = failed == 0 && result.flushError.isEmpty();
    return allSaved && !inputs.searchFailed ? kExitAllWritten : kExitSomeFailed;
}
