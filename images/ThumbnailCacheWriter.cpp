#include "images/ThumbnailCacheWriter.h"

#include "platform/Logging.h"
#include "platform/Workers.h"

ThumbnailCacheWriter::ThumbnailCacheWriter(std::shared_ptr<const ThumbnailCache> cache)
    : cache_(std::move(cache)) {}

ThumbnailCacheWriter::~ThumbnailCacheWriter() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
        queue_.clear();
    }
    group_.reset();
}

void ThumbnailCacheWriter::Queue(ThumbnailCacheEntry entry) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (!readOnly_ && !stopping_)
        queue_.push_back(std::move(entry));
}

void ThumbnailCacheWriter::Start() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (running_ || queue_.empty() || stopping_)
            return;
        running_ = true;
    }
    // A previous group has returned from Drain by now: it cleared running_.
    group_ = std::make_unique<WorkerGroup>(1, [this] { Drain(); });
}

void ThumbnailCacheWriter::Wait() {
    if (group_)
        group_->Wait();
}

int ThumbnailCacheWriter::Written() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return written_;
}

bool ThumbnailCacheWriter::ReadOnly() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return readOnly_;
}

void ThumbnailCacheWriter::Drain() {
    for (;;) {
        ThumbnailCacheEntry entry;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            if (queue_.empty() || stopping_) {
                running_ = false;
                return;
            }
            entry = std::move(queue_.front());
            queue_.pop_front();
        }
        // The photo changed since it was decoded: the entry would describe
        // another picture.
        const ThumbnailSource now = IdentifyThumbnailSource(entry.path);
        if (!now.ok || now.mtime != entry.source.mtime || now.size != entry.source.size ||
            now.uri != entry.source.uri)
            continue;
        const Status status = entry.Failed()
                                  ? cache_->StoreFailure(entry.source)
                                  : cache_->Store(entry.source, entry.picture, entry.photoWidth,
                                                  entry.photoHeight, entry.mimeType);
        const std::lock_guard<std::mutex> guard(lock_);
        if (status.ok()) {
            ++written_;
        } else {
            qCWarning(lcImages) << "thumbnail cache" << cache_->Root()
                                << "cannot be written:" << status.errorString();
            readOnly_ = true;
            queue_.clear();
        }
    }
}
