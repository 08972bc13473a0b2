#pragma once

#include "images/ImgThumb.h"
#include "images/ThumbnailCache.h"
#include "platform/Status.h"

#include <QAbstractListModel>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// What became of one path offered to the collection.
enum class AddOutcome {
    kAdded,
    kAlreadyThere,  // the same path, letter for letter
    kNotJpegName,   // not ".jpg" / ".jpeg" in any letter case
    kPathTooLong,   // its local 8-bit form does not fit IMG.DAT's path field
    kUndecodable,
};

struct AddSummary {
    int added = 0;
    int tooLong = 0;  // left out because IMG.DAT could not keep them
};

// The image collection: ordered records with their thumbnails, the current
// image, and the rules by which images are added and removed. Row i is
// image i. Selection belongs to the list view that shows the model.
class ThumbnailCacheWriter;

class ImageCollection : public QAbstractListModel {
    Q_OBJECT
  public:
    enum Role { kThumbnailRole = Qt::UserRole + 1, kWidthRole, kHeightRole };

    explicit ImageCollection(QObject* parent = nullptr);
    ~ImageCollection() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int Count() const { return static_cast<int>(records_.size()); }
    const CImgThumb& At(int index) const { return *records_[static_cast<std::size_t>(index)]; }
    bool Contains(const QString& path) const { return paths_.contains(path); }
    QStringList Paths() const;

    // The current image, -1 when there is none.
    int CurrentIndex() const { return current_; }
    void SetCurrentIndex(int index);

    // Offers one path: the duplicate test, the name test, then the thumbnail.
    AddOutcome AddImage(const QString& path);

    // Offers many paths with the same result as offering them one after
    // another, making the thumbnails on `jobs` threads. `onHandled` runs on
    // the calling thread after each path in order (with its index and
    // outcome); `whileWaiting` runs there while a thumbnail is being made.
    AddSummary AddImages(const QStringList& paths, int jobs,
                         const std::function<void(int, AddOutcome)>& onHandled = {},
                         const std::function<void()>& whileWaiting = {});

    // Reads IMG.DAT and offers its paths in order. `onProgress` gets the bytes
    // done (512 per image added) and the file's size. After loading, image 0
    // is current. False when the file cannot be read (nothing changes).
    bool LoadImageList(const QString& file, int jobs,
                       const std::function<void(qint64, qint64)>& onProgress = {},
                       const std::function<void()>& whileWaiting = {});
    // Replaces IMG.DAT as a whole; a failure (with its reason) leaves the old file.
    Status SaveImageList(const QString& file) const;

    // The shared thumbnail cache thumbnails are taken from and written to
    // (the desktop's own unless set; null: none). Entries learnt while adding
    // wait until StartThumbnailCacheWrites(), which the window calls once the
    // list shows; they are written on a worker group of one.
    void SetThumbnailCache(std::shared_ptr<const ThumbnailCache> cache);
    void StartThumbnailCacheWrites();
    // Blocks until the entries started so far are written (tests, exit).
    void WaitForThumbnailCacheWrites();
    const ThumbnailCacheWriter* CacheWriter() const { return writer_.get(); }

    // Removes image i; the current index keeps its number and falls back to
    // the last image only when it no longer exists.
    void RemoveImage(int index);
    // Removes the given images, highest index first.
    void RemoveImages(std::vector<int> indices);
    void RemoveAll();

  Q_SIGNALS:
    void CurrentIndexChanged(int index);
    void CountChanged(int count);

  private:
    AddOutcome Screen(const QString& path, const QSet<QString>& offeredEarlier) const;
    void Append(std::unique_ptr<CImgThumb> record);
    std::unique_ptr<CImgThumb> Learn(ImageRecordResult result);

    std::vector<std::unique_ptr<CImgThumb>> records_;
    QSet<QString> paths_;
    int current_ = -1;
    std::shared_ptr<const ThumbnailCache> cache_;
    std::unique_ptr<ThumbnailCacheWriter> writer_;
};
