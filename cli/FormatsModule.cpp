// The module pelmora-crop loads for pictures in formats other than JPEG
// (see OtherPicturesOnDemand.h): Qt Gui's readers, exported under plain names.

#include "engine/QtPictureReaders.h"

extern "C" Q_DECL_EXPORT void PelmoraReadOtherPicture(const QString* path, RgbPicture* picture,
                                                      QString* error) {
    *picture = QtPictureReaders().read(*path, error);
}

extern "C" Q_DECL_EXPORT void PelmoraOtherPictureSize(const QString* path, QSize* size) {
    *size = QtPictureReaders().size(*path);
}
