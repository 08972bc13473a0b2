#pragma once

// The fitting rule for pictures in boxes, rectangle outlines and off-screen
// canvases, shared by every window that draws pictures.

#include "engine/RgbPicture.h"  // FitSize
#include "platform/ColorRef.h"
#include "platform/PixelRect.h"

#include <QImage>

#include <memory>

class QPainter;

// A colour value meaning "no colour": DrawFrame inverts, CreateMemoryCanvas
// leaves the canvas as allocated.
constexpr ColorRef kNoColor = 0xFFFFFFFFU;

QColor ToQColor(ColorRef color);

// Draws the outline of `rect` inside it, `thickness` pixels wide. With
// kNoColor the pixels under the outline are inverted, each exactly once, so
// drawing the same frame twice restores the picture.
void DrawFrame(QPainter& painter, const PixelRect& rect, int thickness, ColorRef color);

// The focus rectangle of a list row: every other pixel of the image's border
// inverted, once each, so drawing it twice restores the row.
void InvertDottedOutline(QImage& image);

// An off-screen canvas of the given size filled with `background` (left as
// allocated for kNoColor). Returns 1 with `canvas` set, or 0 with it empty.
int CreateMemoryCanvas(std::unique_ptr<QImage>& canvas, int width, int height, ColorRef background);
