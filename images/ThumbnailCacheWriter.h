#pragma once

#include "images/ImgThumb.h"
#include "images/ThumbnailCache.h"

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class WorkerGroup;

// Writes the shared cache's entries on a worker group of one, so that the
// list shows before any PNG is encoded. The owner queues entries and starts
// the writing on its own thread; destroying the writer drops what is still
// queued and waits for the entry being written. After the first entry that
// cannot be written (a cache we may only read) the rest are dropped.
class ThumbnailCacheWriter {
  public:
    explicit ThumbnailCacheWriter(std::shared_ptr<const ThumbnailCache> cache);
    ~ThumbnailCacheWriter();
    ThumbnailCacheWriter(const ThumbnailCacheWriter&) = delete;
    ThumbnailCacheWriter& operator=(const ThumbnailCacheWriter&) = delete;

    void Queue(ThumbnailCacheEntry entry);
    // Starts writing what is queued, unless that is already under way.
    void Start();
    // Blocks until the queue is empty (or given up).
    void Wait();

    int Written() const;
    bool ReadOnly() const;

  private:
    void Drain();

    const std::shared_ptr<const ThumbnailCache> cache_;
    mutable std::mutex lock_;
    std::deque<ThumbnailCacheEntry> queue_;
    bool running_ = false;
    bool stopping_ = false;
    bool readOnly_ = false;
    int written_ = 0;
    std::unique_ptr<WorkerGroup> group_;  // last: waited for before the rest goes
};
