#pragma once

#include "engine/LosslessCrop.h"
#include "engine/RgbPicture.h"
#include "platform/PixelRect.h"

#include <QImage>
#include <QString>

#include <memory>

class QPainter;
class QRect;

// The program's image object: thumbnails, previews, button faces, the logo.
// After loading (without scaling) and cropping it holds 24-bit RGB pixels.
class CImg {
  public:
    CImg() = default;
    explicit CImg(QImage image) : image_(std::move(image)) {}
    virtual ~CImg() = default;
    CImg(const CImg&) = delete;
    CImg& operator=(const CImg&) = delete;

    // Loads a picture file. With a fit size (both values nonzero) the image
    // is fitted into that box (FitSize) and scaled to it; on success the fit
    // size holds the picture's full size. Returns 1 or 0.
    int Load(const QString& path, int& fitWidth, int& fitHeight);
    int Load(const QString& path);
    // Loads a complete picture file held in memory.
    int LoadFromMemory(qsizetype byteCount, const void* bytes);
    // Loads a picture compiled into the program (a Qt resource path).
    int LoadFromResource(const QString& resourcePath);

    // To 24 bits per pixel; alpha is blended over black. 1, or 0 when no new
    // picture could be made.
    int ToTrueColor();

    // A new image holding exactly `rect` of this one, or nothing when the
    // rectangle is empty or leaves the picture.
    std::unique_ptr<CImg> Crop(const PixelRect& rect) const;
    // High-quality cubic resampling (Mitchell down, Catmull-Rom up). 1 when
    // the picture was replaced, 0 when it was kept.
    int ScaleTo(int width, int height);

    void DrawScaled(QPainter& painter, const QRect& target) const;
    void DrawPart(QPainter& painter, int x, int y, int width, int height, int sourceLeft,
                  int sourceTop, int sourceRight, int sourceBottom) const;

    // Saves as a three-component colour JPEG. 1 only when the encoder wrote a
    // complete file; a failure leaves no file behind.
    int SaveJpeg(const QString& path, unsigned int quality,
                 ExistingOutput existing = ExistingOutput::kReplace) const;

    bool IsNull() const { return image_.isNull(); }
    int GetWidth() const { return image_.width(); }
    int GetHeight() const { return image_.height(); }
    const QImage& Image() const { return image_; }
    const QString& LastError() const { return error_; }

  private:
    int TakePicture(QImage picture);

    QImage image_;
    mutable QString error_;
};

// Resamples `source` to exactly width x height with a cubic filter.
QImage ResampleCubic(const QImage& source, int width, int height);

// The same pixels as a Format_RGB888 QImage, sharing them (no copy).
QImage ToQImage(const RgbPicture& picture);
// Any QImage as 24-bit RGB (alpha dropped, as a format conversion does).
RgbPicture ToRgbPicture(const QImage& image);

// Decodes a picture file: JPEG through libjpeg-turbo (DCT-scaled when a fit
// box is given: the result is then at least the fitted size, not yet exactly
// it), any other format through Qt's readers at full size. No Exif rotation.
// The full size of the picture goes to fullWidth/fullHeight.
QImage DecodePicture(const QString& path, int boxWidth, int boxHeight, int& fullWidth,
                     int& fullHeight, QString* error = nullptr);
