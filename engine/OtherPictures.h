#pragma once

// Pictures in formats other than JPEG saved under a JPEG name, which the
// re-compressing crop also takes. Reading them needs Qt Gui's image readers,
// which pelmora_base does not link, so each program chooses its reader at
// start with SetOtherPictureReader: the window Qt Gui's own
// (QtPictureReaders), pelmora-crop a module over Qt Gui loaded only when such
// a file comes along (cli/OtherPicturesOnDemand.h). Without a reader such a
// file is refused with a message.

#include "engine/RgbPicture.h"

#include <QSize>
#include <QString>

struct OtherPictureReader {
    // The whole picture as 24-bit RGB, alpha blended over black, no Exif
    // rotation; null with `error` set when it cannot be read.
    RgbPicture (*read)(const QString& path, QString* error) = nullptr;
    // The picture's size from its header; invalid when it cannot be read.
    QSize (*size)(const QString& path) = nullptr;
};

// Called once at start, before any crop runs.
void SetOtherPictureReader(OtherPictureReader reader);

RgbPicture ReadOtherPicture(const QString& path, QString* error);
QSize OtherPictureSize(const QString& path);
