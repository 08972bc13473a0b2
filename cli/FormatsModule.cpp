// The module pelmora-crop loads for pictures in formats other than JPEG
// (see OtherPicturesOnDemand.cpp): the core's readers over Qt Gui, exported
// under plain names.

#include "engine/OtherPictures.h"

extern "C" Q_DECL_EXPORT void PelmoraReadOtherPicture(const QString* path, RgbPicture* picture,
                                                      QString* error) {
    *picture = ReadOtherPicture(*path, error);
}

extern "C" Q_DECL_EXPORT void PelmoraOtherPictureSize(const QString* path, QSize* size) {
    *size = OtherPictureSize(*path);
}
