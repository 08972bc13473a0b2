#pragma once

// The preview's picture: the current image decoded fitted to the preview, on
// a worker thread, so stepping through large photos never waits for one.
// A change of image supersedes the decode under way: its picture is dropped
// when it ends, and the decode of the image asked for last starts then. At
// most one decode runs at a time.
//
// Threading: the loader lives on the thread that owns the view. The decode
// reads only the path and the size it was given and hands its picture back
// through the worker group's end, watched on the owner's thread; Changed is
// emitted there. The destructor waits for a decode under way.

#include "engine/Img.h"
#include "platform/Workers.h"

#include <QFutureWatcher>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

class PreviewLoader : public QObject {
    Q_OBJECT
  public:
    explicit PreviewLoader(QObject* parent = nullptr);
    ~PreviewLoader() override;

    // The image changed: the picture goes, the next Request decodes anew.
    void Reset();
    // The same image at another size: the next Request decodes anew, the
    // old picture stays until the new one arrives.
    void Refresh();
    // Decodes `path` fitted to `box`, unless a decode was asked for since
    // the last Reset or Refresh.
    void Request(const QString& path, QSize box);

    // The picture; null until its decode has ended, or when the image
    // cannot be decoded.
    const CImg* Bitmap() const { return bitmap_.get(); }
    // The lossless crop's grid (iMCU) in the image; empty when unknown.
    QSize Grid() const { return grid_; }
    // True once the current image's decode has ended, either way.
    bool Settled() const { return settled_; }

  Q_SIGNALS:
    // A decode of the current image ended, with a picture or without.
    void Changed();

  private:
    struct Decoded {
        std::shared_ptr<const CImg> bitmap;
        QSize grid;
    };
    void Start();
    void Ended();

    QString path_;  // what the last Request asked for
    QSize box_;
    bool requested_ = false;  // a decode for the current image was asked for
    bool settled_ = false;    // and has ended
    int generation_ = 0;      // counts Reset and Refresh
    int runningGeneration_ = 0;
    std::shared_ptr<const CImg> bitmap_;
    QSize grid_;
    std::shared_ptr<Decoded> result_;  // written by the decode, read after it ended
    QFutureWatcher<void> watcher_;
    std::unique_ptr<WorkerGroup> decode_;  // at most one at a time
};
