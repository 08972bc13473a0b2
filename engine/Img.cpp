#include "engine/Img.h"

#include "engine/DrawingUtils.h"
#include "engine/JpegCodec.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <cstring>

namespace {

QImage ReadWithQt(QImageReader& reader, QString* error) {
    reader.setAutoTransform(false);
    QImage picture = reader.read();
    if (picture.isNull() && error != nullptr)
        *error = reader.errorString();
    return picture;
}

}  // namespace

QImage DecodePicture(const QString& path, int boxWidth, int boxHeight, int& fullWidth,
                     int& fullHeight, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error != nullptr)
            *error = file.errorString();
        return {};
    }
    if (LooksLikeJpeg(file.peek(3))) {
        file.close();
        DecodedJpeg decoded = DecodeJpegFile(path, boxWidth, boxHeight);
        if (decoded.image.IsNull() && error != nullptr)
            *error = decoded.error;
        fullWidth = decoded.fullWidth;
        fullHeight = decoded.fullHeight;
        return ToQImage(decoded.image);
    }
    QImageReader reader(&file);
    QImage picture = ReadWithQt(reader, error);
    fullWidth = picture.width();
    fullHeight = picture.height();
    return picture;
}

QImage ResampleCubic(const QImage& source, int width, int height) {
    return ToQImage(ResampleRgb(ToRgbPicture(source), width, height));
}

QImage ToQImage(const RgbPicture& picture) {
    if (picture.IsNull())
        return {};
    // The image keeps its own reference to the bytes until it lets go of them.
    auto* held = new QByteArray(picture.Bytes());
    return QImage(
        reinterpret_cast<const uchar*>(held->constData()), picture.Width(), picture.Height(),
        picture.BytesPerLine(), QImage::Format_RGB888,
        [](void* bytes) { delete static_cast<QByteArray*>(bytes); }, held);
}

RgbPicture ToRgbPicture(const QImage& image) {
    const QImage rgb = image.format() == QImage::Format_RGB888
                           ? image
                           : image.convertToFormat(QImage::Format_RGB888);
    RgbPicture picture(rgb.width(), rgb.height());
    for (int y = 0; y < picture.Height(); ++y) {
        std::memcpy(picture.Row(y), rgb.constScanLine(y),
                    static_cast<std::size_t>(rgb.width()) * 3);
    }
    return picture;
}

int CImg::TakePicture(QImage picture) {
    if (picture.isNull())
        return 0;
    image_ = std::move(picture);
    return ToTrueColor();
}

int CImg::Load(const QString& path, int& fitWidth, int& fitHeight) {
    int fullWidth = 0;
    int fullHeight = 0;
    const bool fitting = fitWidth != 0 && fitHeight != 0;
    QImage picture = DecodePicture(path, fitting ? fitWidth : 0, fitting ? fitHeight : 0, fullWidth,
                                   fullHeight, &error_);
    if (picture.isNull())
        return 0;
    if (!TakePicture(std::move(picture)))
        return 0;
    if (fitting) {
        int w = fullWidth;
        int h = fullHeight;
        FitSize(w, h, fitWidth, fitHeight);
        if (w != GetWidth() || h != GetHeight())
            ScaleTo(w, h);
    }
    fitWidth = fullWidth;
    fitHeight = fullHeight;
    return 1;
}

int CImg::Load(const QString& path) {
    int noWidth = 0;
    int noHeight = 0;
    return Load(path, noWidth, noHeight);
}

int CImg::LoadFromResource(const QString& resourcePath) {
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    return LoadFromMemory(bytes.size(), bytes.constData());
}

int CImg::LoadFromMemory(qsizetype byteCount, const void* bytes) {
    if (bytes == nullptr || byteCount <= 0)
        return 0;
    const QByteArray data = QByteArray::fromRawData(static_cast<const char*>(bytes), byteCount);
    if (LooksLikeJpeg(data)) {
        DecodedJpeg decoded = DecodeJpegMemory(data);
        error_ = decoded.error;
        return TakePicture(ToQImage(decoded.image));
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return TakePicture(ReadWithQt(reader, &error_));
}

int CImg::ToTrueColor() {
    if (image_.isNull())
        return 0;
    if (image_.format() == QImage::Format_RGB888)
        return 1;
    QImage converted;
    if (image_.hasAlphaChannel()) {
        // Blend over black, the background of a fresh 24-bit picture.
        converted = QImage(image_.size(), QImage::Format_RGB888);
        if (converted.isNull())
            return 0;
        converted.fill(Qt::black);
        QPainter painter(&converted);
        painter.drawImage(0, 0, image_);
    } else {
        converted = image_.convertToFormat(QImage::Format_RGB888);
    }
    if (converted.isNull())
        return 0;
    image_ = std::move(converted);
    return 1;
}

std::unique_ptr<CImg> CImg::Crop(const PixelRect& rect) const {
    if (image_.isNull() || rect.IsEmpty() || rect.left < 0 || rect.top < 0 ||
        rect.right > GetWidth() || rect.bottom > GetHeight()) {
        return nullptr;
    }
    QImage part = image_.copy(rect.left, rect.top, rect.Width(), rect.Height());
    if (part.isNull())
        return nullptr;
    auto cropped = std::make_unique<CImg>(std::move(part));
    if (!cropped->ToTrueColor())
        return nullptr;
    return cropped;
}

int CImg::ScaleTo(int width, int height) {
    QImage scaled = ResampleCubic(image_, width, height);
    if (scaled.isNull())
        return 0;
    image_ = std::move(scaled);
    return 1;
}

void CImg::DrawScaled(QPainter& painter, const QRect& target) const {
    DrawPart(painter, target.x(), target.y(), target.width(), target.height(), 0, 0, GetWidth(),
             GetHeight());
}

void CImg::DrawPart(QPainter& painter, int x, int y, int width, int height, int sourceLeft,
                    int sourceTop, int sourceRight, int sourceBottom) const {
    const QRect source =
        QRect(sourceLeft, sourceTop, sourceRight - sourceLeft, sourceBottom - sourceTop)
            .intersected(image_.rect());
    if (source.isEmpty() || width <= 0 || height <= 0)
        return;
    const QImage part = image_.copy(source);
    if (part.width() == width && part.height() == height) {
        painter.drawImage(x, y, part);
    } else {
        painter.drawImage(x, y, ResampleCubic(part, width, height));
    }
}

int CImg::SaveJpeg(const QString& path, unsigned int quality, ExistingOutput existing) const {
    const WrittenJpeg written = EncodeJpegFile(ToRgbPicture(image_), path,
                                               static_cast<int>(std::min(quality, 100U)), existing);
    if (!written.status.ok())
        error_ = written.status.errorString();
    return written.status.ok() ? 1 : 0;
}
