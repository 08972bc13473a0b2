#pragma once

// The crop dialog's preview and overview pictures, without widgets: the image
// is loaded, grid-marked and scaled once per reset; every paint (and every
// drag step) only composes the prepared picture, the rectangle and the
// labels onto an off-screen canvas.

#include "croprects/CropCanvasGeometry.h"
#include "croprects/CropRect.h"

#include <QImage>
#include <QPoint>
#include <QString>

class CCropCanvas {
  public:
    bool actualSize = false;
    bool showGrid = true;
    bool lossless = false;
    int scrollX = 0;
    int scrollY = 0;

    // Drops both pictures and scrolls back to the top-left corner, so the
    // next paint loads the image afresh.
    void Reset();

    // Paints the preview of the image at `path` onto `canvas` (a frame-sized
    // picture, already filled with the background). Loads the image first
    // when no picture is prepared and no load failed since the last reset.
    // False when no image is shown.
    bool ComposePreview(QImage& canvas, const QString& path, const CCropRect& rect);
    // Paints the overview; nothing unless in actual size.
    void ComposeNavigator(QImage& canvas, const QString& path, const CCropRect& rect);

    // Full size of the image; 100000 each before the first load, 0 after a
    // failed one.
    int ImageWidth() const { return imageWidth_; }
    int ImageHeight() const { return imageHeight_; }
    bool PreviewFailed() const { return previewFailed_; }
    bool HasPreview() const { return !prepared_.isNull(); }

    // Geometry of the last composed pictures, in frame coordinates.
    const PixelRect& HitRect() const { return hitRect_; }
    const PixelRect& ImagePlacement() const { return imagePlacement_; }
    const PixelRect& NavigatorPlacement() const { return navigatorPlacement_; }
    const PixelRect& Viewport() const { return viewportRect_; }
    // The iMCU grid of the image, 0 x 0 for a picture that is not a JPEG.
    QSize ImcuSize() const { return {imcuWidth_, imcuHeight_}; }

    // A preview frame point in hit space.
    QPoint ToHitSpace(QPoint framePoint) const;
    // Image pixels per hit-space pixel's inverse: 1 in actual size, else the
    // fitted scale.
    double DragScale() const;
    // The cursor's area for a handle drag, in preview frame coordinates.
    PixelRect CursorClip(int hitCode) const;

  private:
    void Prepare(const QString& path, QSize frame);
    void DrawRectangle(QPainter& painter, const CCropRect& rect, const PixelRect& resolved) const;
    void DrawCornerLabels(QPainter& painter, bool pixel) const;

    QImage prepared_;  // grid-marked, fitted unless in actual size
    QImage navigator_;
    bool previewFailed_ = false;
    bool navigatorFailed_ = false;
    int imageWidth_ = 100000;
    int imageHeight_ = 100000;
    int imcuWidth_ = 0;
    int imcuHeight_ = 0;
    PixelRect hitRect_;
    PixelRect imagePlacement_;
    PixelRect navigatorPlacement_;
    PixelRect viewportRect_;
};

// Grey one-pixel lines at x, y = 8, 16, ... across an RGB888 or 32-bit picture.
void DrawGrid(QImage& picture);
