#include "images/ImageCollectionUi.h"

#include "images/CollectFiles.h"
#include "images/ImgList.h"
#include "platform/Logging.h"
#include "platform/MessageBoxes.h"
#include "platform/StringTable.h"
#include "platform/WindowUtils.h"
#include "platform/Workers.h"

#include <QDir>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <deque>

namespace {

bool g_adding = false;

// A drop that arrived while another was being added: it waits its turn.
struct WaitingDrop {
    QPointer<QWidget> parent;
    bool hadParent = false;
    QPointer<ImageCollection> images;
    QStringList paths;
    ProgressFactory progress;
    QPointer<CImgList> list;
};
std::deque<WaitingDrop> g_waiting;

// Keeps a widget from redrawing until the end of the scope.
class UpdatesSuspended {
  public:
    explicit UpdatesSuspended(QWidget* widget) : widget_(widget) {
        if (widget_ == nullptr)
            return;
        wasEnabled_ = widget_->updatesEnabled();
        widget_->setUpdatesEnabled(false);
    }
    ~UpdatesSuspended() {
        if (widget_ != nullptr)
            widget_->setUpdatesEnabled(wasEnabled_);
    }
    UpdatesSuspended(const UpdatesSuspended&) = delete;
    UpdatesSuspended& operator=(const UpdatesSuspended&) = delete;

  private:
    QPointer<QWidget> widget_;
    bool wasEnabled_ = true;
};

}  // namespace

namespace {

// The shared cache's entries are written once the event loop has painted
// the list, on the collection's writer (a worker group of one).
void WriteCacheEntriesOnceShown(ImageCollection& images) {
    QTimer::singleShot(0, &images, [&images] { images.StartThumbnailCacheWrites(); });
}

DropSummary AddOneDrop(QWidget* parent, ImageCollection& images, const QStringList& dropped,
                       const ProgressFactory& progress, CImgList* list) {
    DropSummary summary;
    QStringList files;
    for (const QString& path : dropped) {
        CollectedFiles found = CollectFiles(path, PumpPaintMessages);
        // What was found is still added; the user sees what arrived.
        if (!found.status.ok())
            qCWarning(lcImages) << "dropped" << path
                                << "only partly added:" << found.status.errorString();
        files += std::move(found.files);
    }
    summary.collected = static_cast<int>(std::min<qsizetype>(files.size(), INT_MAX));
    if (files.isEmpty())
        return summary;
    {
        const UpdatesSuspended frozen(list);
        const std::unique_ptr<ProgressSink> window =
            progress ? progress(parent, summary.collected) : nullptr;
        summary.added = images.AddImages(
            files, WorkerThreadCount(),
            [&](int index, AddOutcome) {
                if (window)
                    window->Step(index + 1);
                PumpPaintMessages();
            },
            PumpPaintMessages);
    }
    WriteCacheEntriesOnceShown(images);
    if (summary.added.tooLong > 0) {
        ShowNotice(parent, LangString(text::kPathsTooLong).arg(summary.added.tooLong));
    }
    return summary;
}

}  // namespace

DropSummary AddDroppedPaths(QWidget* parent, ImageCollection& images, const QStringList& dropped,
                            const ProgressFactory& progress, CImgList* list) {
    // The paint pumps of a drop being added let the next drop in; the window
    // has accepted it already, so it must not be lost.
    if (g_adding) {
        g_waiting.push_back({parent, parent != nullptr, &images, dropped, progress, list});
        DropSummary waiting;
        waiting.waiting = true;
        return waiting;
    }
    const QScopedValueRollback<bool> busy(g_adding, true);
    const DropSummary summary = AddOneDrop(parent, images, dropped, progress, list);
    while (!g_waiting.empty()) {
        const WaitingDrop next = std::move(g_waiting.front());
        g_waiting.pop_front();
        if (next.images == nullptr || (next.hadParent && next.parent == nullptr))
            continue;
        AddOneDrop(next.parent, *next.images, next.paths, next.progress, next.list);
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
            file, WorkerThreadCount(),
            [&](qint64 done, qint64 size) {
                if (done == 0) {
                    if (size > INT_MAX)
                        scale = static_cast<double>(INT_MAX) / static_cast<double>(size);
                    if (progress && size > 0)
                        window = progress(parent, static_cast<int>(size * scale));
                } else if (window) {
                    window->Step(static_cast<int>(static_cast<double>(done) * scale));
                }
                PumpPaintMessages();
            },
            PumpPaintMessages);
    }
    if (loaded && images.Count() > 0 && list != nullptr)
        list->SetSelected(0, true);
    WriteCacheEntriesOnceShown(images);
    return loaded;
}

bool SaveImageListOrWarn(QWidget* parent, const ImageCollection& images, const QString& file) {
    const Status saved = images.SaveImageList(file);
    if (saved.ok())
        return true;
    qCWarning(lcImages) << "image list" << file << "not saved:" << saved.errorString();
    ShowNotice(parent, LangString(text::kImageListNotSaved).arg(QDir::toNativeSeparators(file)));
    return false;
}
