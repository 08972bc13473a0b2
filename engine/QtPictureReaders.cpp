#include "engine/QtPictureReaders.h"

#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <cstring>

namespace {

RgbPicture ReadWithQt(const QString& path, QString* error) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) {
        if (error != nullptr)
            *error = reader.errorString();
        return {};
    }
    QImage rgb;
    if (image.hasAlphaChannel()) {
        rgb = QImage(image.size(), QImage::Format_RGB888);
        rgb.fill(Qt::black);
        QPainter painter(&rgb);
        painter.drawImage(0, 0, image);
    } else {
        rgb = image.convertToFormat(QImage::Format_RGB888);
    }
    RgbPicture picture(rgb.width(), rgb.height());
    if (picture.IsNull() && error != nullptr)
        *error = QStringLiteral("not enough memory");
    for (int y = 0; y < picture.Height(); ++y) {
        std::memcpy(picture.Row(y), rgb.constScanLine(y),
                    static_cast<std::size_t>(rgb.width()) * 3);
    }
    return picture;
}

QSize SizeWithQt(const QString& path) {
    return QImageReader(path).size();
}

}  // namespace

OtherPictureReader QtPictureReaders() {
    return {ReadWithQt, SizeWithQt};
}
