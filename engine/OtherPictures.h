#pragma once

// Pictures in formats other than JPEG saved under a JPEG name, which the
// re-compressing crop also takes. Reading them needs Qt Gui's image readers,
// so the function comes from whichever library a program links:
// pelmora_core reads them directly (OtherPictures.cpp, in the library
// pelmora_other_pictures); pelmora-crop loads
// Qt Gui only when it meets such a file (cli/OtherPicturesOnDemand.cpp).
// pelmora_base leaves it to them.

#include "engine/RgbPicture.h"

#include <QSize>
#include <QString>

// The whole picture as 24-bit RGB, alpha blended over black, no Exif
// rotation; null with `error` set when it cannot be read.
RgbPicture ReadOtherPicture(const QString& path, QString* error);

// The picture's size from its header; invalid when it cannot be read.
QSize OtherPictureSize(const QString& path);
