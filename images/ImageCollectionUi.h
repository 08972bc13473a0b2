#pragma once

// What the main view does with the image collection around its windows:
// adding dropped files and folders, and reading and writing IMG.DAT, with
// the progress window and the notices.

#include "images/ImageCollection.h"
#include "platform/ProgressSink.h"

#include <QString>
#include <QStringList>

class CImgList;
class QWidget;

struct DropSummary {
    int collected = 0;  // files offered, JPEG or not
    AddSummary added;
    bool waiting = false;  // came during another drop: added after it, not yet
};

// Collects the files of every dropped path (silently past folders that
// cannot be searched) and offers them in order, thumbnails made on all
// cores. A progress window for the number of collected files shows while
// they are added; `list` (may be null) does not redraw meanwhile, and the
// windows keep painting but take no input. Files left out because their
// path would not fit IMG.DAT are counted in one notice afterwards. A drop
// that arrives while another is being added waits: it is added, in its
// turn, right after that one, before the call adding it returns.
DropSummary AddDroppedPaths(QWidget* parent, ImageCollection& images, const QStringList& dropped,
                            const ProgressFactory& progress, CImgList* list = nullptr);

// Reads IMG.DAT into the collection under a progress window measured in
// bytes (512 per image added); afterwards row 0 is selected and image 0
// current. A file that cannot be read changes nothing and shows nothing.
bool LoadImageListWithProgress(QWidget* parent, ImageCollection& images, const QString& file,
                               const ProgressFactory& progress, CImgList* list = nullptr);

// Writes IMG.DAT; when that fails the previous file stays and a notice
// names the file.
bool SaveImageListOrWarn(QWidget* parent, const ImageCollection& images, const QString& file);
