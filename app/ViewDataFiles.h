#pragma once

// IMG.DAT and RECT.DAT, the image list and the crop rectangles the window
// keeps between sessions in the data folder. They are read once, after the
// start-up logo, under progress windows, and written once, at exit.
//
// Threading: the owner's thread; the thumbnails of the images read are made
// on worker threads while a progress window shows (see ImageCollection).

#include "platform/ProgressSink.h"

#include <QString>

class CImgList;
class CropRectList;
class ImageCollection;
class QWidget;

class ViewDataFiles {
  public:
    // `dataFolder` ends with a separator.
    explicit ViewDataFiles(const QString& dataFolder);

    static QString ImageFileName() { return QStringLiteral("IMG.DAT"); }
    static QString RectFileName() { return QStringLiteral("RECT.DAT"); }
    const QString& ImageFile() const { return imageFile_; }
    const QString& RectFile() const { return rectFile_; }

    // Reads IMG.DAT into `images` (row 0 of `list` selected afterwards) and
    // RECT.DAT into `rects`, each under a progress window over `parent`
    // measured in bytes. A file that cannot be read adds nothing and shows
    // nothing.
    void Load(QWidget* parent, ImageCollection& images, CropRectList& rects,
              const ProgressFactory& progress, CImgList* list);

    // Writes both files, the first time only. A file that cannot be written
    // keeps its old content and is named in a notice over `owner`; why
    // RECT.DAT failed is logged (pelmora.app).
    void Save(QWidget* owner, const ImageCollection& images, const CropRectList& rects);

  private:
    void LoadRects(QWidget* parent, CropRectList& rects, const ProgressFactory& progress) const;

    QString imageFile_;
    QString rectFile_;
    bool saved_ = false;
};
