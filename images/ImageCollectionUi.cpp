#include "images/ImageCollectionUi.h"

#include "images/CollectFiles.h"
#include "images/ImgList.h"
#include "platform/MessageBoxes.h"
#include "platform/StringTable.h"
#include "platform/WindowUtils.h"

#include <QDir>
#include <QPointer>
#include <QScopedValueRollback>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace {

bool g_adding = false;

int ThumbnailJobs() { return std::max(1, QThread::idealThreadCount()); }

// Keeps a widget from redrawing until the end of the scope.
class UpdatesSuspended {
public:
    explicit UpdatesSuspended(QWidget* widget) : widget_(widget) {
        if (widget_ == nullptr) return;
        wasEnabled_ = widget_->updatesEnabled();
        widget_->setUpdatesEnabled(false);
    }
    ~UpdatesSuspended() {
        if (widget_ != nullptr) widget_->setUpdatesEnabled(wasEnabled_);
    }
    UpdatesSuspended(const UpdatesSuspended&) = delete;
    UpdatesSuspended& operator=(const UpdatesSuspended&) = delete;

private:
    QPointer<QWidget> widget_;
    bool wasEnabled_ = true;
};

}  // namespace

DropSummary AddDroppedPaths(QWidget* parent, ImageCollection& images, const QStringList& dropped,
                            const ProgressFactory& progress, CImgList* list) {
    DropSummary summary;
    if (g_adding) return summary;
    const QScopedValueRollback<bool> busy(g_adding, true);
    QStringList files;
    for (const QString& path : dropped) CollectFiles(path, files, nullptr, PumpPaintMessages);
    summary.collected = static_cast<int>(std::min<qsizetype>(files.size(), INT_MAX));
    if (files.isEmpty()) return summary;
    {
        const UpdatesSuspended frozen(list);
        const std::unique_ptr<ProgressSink> window =
            progress ? progress(parent, summary.collected) : nullptr;
        summary.added = images.AddImages(
            files, ThumbnailJobs(),
            [&](int index, AddOutcome) {
                if (window) window->Step(index + 1);
                PumpPaintMessages();
            },
            PumpPaintMessages);
    }
    if (summary.added.tooLong > 0) {
        ShowNotice(parent, LangString(kPathsTooLongJapanese, kPathsTooLongEnglish)
                               .arg(summary.added.tooLong));
    }
    return summary;
}

bool LoadImageListWithProgress(QWidget* parent, ImageCollection& images, const QString& file,
                               const ProgressFactory& progress, CImgList* list) {
    bool loaded = false;
    {
        const UpdatesSuspended frozen(list);
        std::unique_ptr<ProgressSink> window;
        double scale = 1.0;  // keeps a huge file's byte counts within int
        loaded = images.LoadImageList(
            file, ThumbnailJobs(),
            [&](qint64 done, qint64 size) {
                if (done == 0) {
                    if (size > INT_MAX) scale = static_cast<double>(INT_MAX) / static_cast<double>(size);
                    if (progress && size > 0) window = progress(parent, static_cast<int>(size * scale));
                } else if (window) {
                    window->Step(static_cast<int>(static_cast<double>(done) * scale));
                }
                PumpPaintMessages();
            },
            PumpPaintMessages);
    }
    if (loaded && images.Count() > 0 && list != nullptr) list->SetSelected(0, true);
    return loaded;
}

bool SaveImageListOrWarn(QWidget* parent, const ImageCollection& images, const QString& file) {
    if (images.SaveImageList(file)) return true;
    ShowNotice(parent, LangString(kImageListNotSavedJapanese, kImageListNotSavedEnglish)
                           .arg(QDir::toNativeSeparators(file)));
    return false;
}
