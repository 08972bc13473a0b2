#include "images/ImageCollection.h"

#include "images/CollectFiles.h"
#include "images/ImageListFile.h"
#include "images/ThumbnailCacheWriter.h"
#include "platform/Workers.h"

#include <QImage>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace {

// Makes thumbnails on a worker group and hands them back in request order.
class ThumbnailMaker {
  public:
    ThumbnailMaker(const QStringList& paths, int jobs, const ThumbnailCache* cache)
        : paths_(paths),
          cache_(cache),
          results_(static_cast<std::size_t>(paths.size())),
          threadCount_(std::clamp(jobs, 1, std::max(1, static_cast<int>(paths.size())))),
          workers_(threadCount_, [this] { Work(); }) {}
    ~ThumbnailMaker() {
        {
            const std::lock_guard<std::mutex> guard(lock_);
            stopping_ = true;
        }
        wake_.notify_all();
    }
    ThumbnailMaker(const ThumbnailMaker&) = delete;
    ThumbnailMaker& operator=(const ThumbnailMaker&) = delete;

    // Waits for result i. With `whileWaiting` (the window's paint pump) the
    // wait wakes every few milliseconds to run it; without, it sleeps until
    // the result is there.
    ImageRecordResult Take(qsizetype i, const std::function<void()>& whileWaiting) {
        const auto ready = [this, i] { return results_[static_cast<std::size_t>(i)].has_value(); };
        std::unique_lock<std::mutex> guard(lock_);
        if (!whileWaiting)
            done_.wait(guard, ready);
        while (!ready()) {
            guard.unlock();
            whileWaiting();
            guard.lock();
            done_.wait_for(guard, std::chrono::milliseconds(15), ready);
        }
        ImageRecordResult record = std::move(*results_[static_cast<std::size_t>(i)]);
        results_[static_cast<std::size_t>(i)].reset();
        ++consumed_;
        wake_.notify_all();
        return record;
    }

  private:
    // Workers stay at most a window of results ahead of the consumer, so memory
    // grows with the number of threads, not with the number of paths.
    void Work() {
        for (;;) {
            qsizetype index = 0;
            {
                std::unique_lock<std::mutex> guard(lock_);
                wake_.wait(guard, [this] {
                    return stopping_ || next_ >= paths_.size() ||
                           next_ < consumed_ + kWindow * threadCount_;
                });
                if (stopping_ || next_ >= paths_.size())
                    return;
                index = next_++;
            }
            ImageRecordResult record = MakeImageRecord(paths_[index], cache_);
            {
                const std::lock_guard<std::mutex> guard(lock_);
                results_[static_cast<std::size_t>(index)] = std::move(record);
            }
            done_.notify_all();
        }
    }

    static constexpr qsizetype kWindow = 4;
    const QStringList& paths_;
    const ThumbnailCache* const cache_;
    std::vector<std::optional<ImageRecordResult>> results_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const int threadCount_;
    qsizetype next_ = 0;
    qsizetype consumed_ = 0;
    bool stopping_ = false;
    WorkerGroup workers_;  // last: waited for before the rest goes
};

}  // namespace

ImageCollection::ImageCollection(QObject* parent)
    : QAbstractListModel(parent), cache_(std::make_shared<ThumbnailCache>()) {
    writer_ = std::make_unique<ThumbnailCacheWriter>(cache_);
}

ImageCollection::~ImageCollection() = default;

int ImageCollection::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant ImageCollection::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count())
        return {};
    const CImgThumb& record = At(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return record.path;
        case kThumbnailRole:
            return record.thumbnail ? record.thumbnail->Image() : QImage();
        case kWidthRole:
            return record.width;
        case kHeightRole:
            return record.height;
        default:
            return {};
    }
}

QStringList ImageCollection::Paths() const {
    QStringList paths;
    paths.reserve(Count());
    for (const auto& record : records_)
        paths.append(record->path);
    return paths;
}

void ImageCollection::SetCurrentIndex(int index) {
    const int bounded = Count() == 0 ? -1 : std::clamp(index, -1, Count() - 1);
    if (bounded == current_)
        return;
    current_ = bounded;
    Q_EMIT CurrentIndexChanged(current_);
}

AddOutcome ImageCollection::Screen(const QString& path, const QSet<QString>& offeredEarlier) const {
    if (paths_.contains(path) || offeredEarlier.contains(path))
        return AddOutcome::kAlreadyThere;
    if (!HasJpegExtension(path))
        return AddOutcome::kNotJpegName;
    if (!FitsImageRecord(path))
        return AddOutcome::kPathTooLong;
    return AddOutcome::kAdded;
}

void ImageCollection::Append(std::unique_ptr<CImgThumb> record) {
    const int row = Count();
    beginInsertRows(QModelIndex(), row, row);
    paths_.insert(record->path);
    records_.push_back(std::move(record));
    endInsertRows();
    Q_EMIT CountChanged(Count());
    if (current_ < 0)
        SetCurrentIndex(0);
}

std::unique_ptr<CImgThumb> ImageCollection::Learn(ImageRecordResult result) {
    if (result.entry && writer_)
        writer_->Queue(std::move(*result.entry));
    return std::move(result.record);
}

void ImageCollection::SetThumbnailCache(std::shared_ptr<const ThumbnailCache> cache) {
    writer_.reset();
    cache_ = std::move(cache);
    if (cache_)
        writer_ = std::make_unique<ThumbnailCacheWriter>(cache_);
}

void ImageCollection::StartThumbnailCacheWrites() {
    if (writer_)
        writer_->Start();
}

void ImageCollection::WaitForThumbnailCacheWrites() {
    if (writer_)
        writer_->Wait();
}

AddOutcome ImageCollection::AddImage(const QString& path) {
    const AddOutcome screened = Screen(path, {});
    if (screened != AddOutcome::kAdded)
        return screened;
    std::unique_ptr<CImgThumb> record = Learn(MakeImageRecord(path, cache_.get()));
    if (!record)
        return AddOutcome::kUndecodable;
    Append(std::move(record));
    return AddOutcome::kAdded;
}

AddSummary ImageCollection::AddImages(const QStringList& paths, int jobs,
                                      const std::function<void(int, AddOutcome)>& onHandled,
                                      const std::function<void()>& whileWaiting) {
    // Decide by name first which paths need a thumbnail: a path offered twice
    // is decoded once, as adding one by one would find the first copy there.
    std::vector<AddOutcome> screened;
    screened.reserve(static_cast<std::size_t>(paths.size()));
    QSet<QString> offered;
    QStringList toDecode;
    for (const QString& path : paths) {
        screened.push_back(Screen(path, offered));
        offered.insert(path);
        if (screened.back() == AddOutcome::kAdded)
            toDecode.append(path);
    }
    AddSummary summary;
    ThumbnailMaker maker(toDecode, jobs, cache_.get());
    qsizetype decoded = 0;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        AddOutcome outcome = screened[static_cast<std::size_t>(i)];
        if (outcome == AddOutcome::kAdded) {
            std::unique_ptr<CImgThumb> record = Learn(maker.Take(decoded++, whileWaiting));
            if (record) {
                Append(std::move(record));
                ++summary.added;
            } else {
                outcome = AddOutcome::kUndecodable;
            }
        } else if (outcome == AddOutcome::kPathTooLong) {
            ++summary.tooLong;
        }
        if (onHandled)
            onHandled(static_cast<int>(i), outcome);
    }
    return summary;
}

bool ImageCollection::LoadImageList(const QString& file, int jobs,
                                    const std::function<void(qint64, qint64)>& onProgress,
                                    const std::function<void()>& whileWaiting) {
    const ImageListContents list = ReadImageListFile(file);
    if (!list.status.ok())
        return false;
    const qint64 size = list.fileSize;
    if (onProgress)
        onProgress(0, size);
    qint64 done = 0;
    AddImages(
        list.paths, jobs,
        [&](int, AddOutcome outcome) {
            if (outcome != AddOutcome::kAdded)
                return;
            done += kImageRecordSize;
            if (onProgress)
                onProgress(done, size);
        },
        whileWaiting);
    if (Count() > 0)
        SetCurrentIndex(0);
    return true;
}

Status ImageCollection::SaveImageList(const QString& file) const {
    return WriteImageListFile(file, Paths());
}

void ImageCollection::RemoveImage(int index) {
    if (index < 0 || index >= Count())
        return;
    beginRemoveRows(QModelIndex(), index, index);
    paths_.remove(records_[static_cast<std::size_t>(index)]->path);
    records_.erase(records_.begin() + index);
    endRemoveRows();
    Q_EMIT CountChanged(Count());
    if (current_ >= Count()) {
        current_ = Count() - 1;
        Q_EMIT CurrentIndexChanged(current_);
    }
}

void ImageCollection::RemoveImages(std::vector<int> indices) {
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    for (auto it = indices.rbegin(); it != indices.rend(); ++it)
        RemoveImage(*it);
}

void ImageCollection::RemoveAll() {
    while (Count() > 0)
        RemoveImage(0);
}
