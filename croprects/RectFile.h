#pragma once

// RECT.DAT: n records of 264 bytes, little-endian, no header.
//   0: unit byte (nonzero = pixel), 8/16/24/32: left/top/right/bottom as
//   doubles, 40: colour (COLORREF); every other byte is reserved (written 0).

#include "croprects/CropRect.h"
#include "platform/Status.h"

#include <QByteArray>
#include <QString>

#include <vector>

constexpr int kRectRecordSize = 264;

// Every complete record of `data`; a shorter tail is ignored.
std::vector<CCropRect> ParseRectRecords(const QByteArray& data);
QByteArray SerializeRectRecords(const std::vector<CCropRect>& rects);

// A read RECT.DAT: its rectangles, or why the file could not be read.
struct RectFileContents {
    Status status;
    std::vector<CCropRect> rects;  // empty on failure
};

RectFileContents ReadRectFile(const QString& path);
// Writes a complete new file in place of the old one, or leaves the old one
// and says why.
Status WriteRectFile(const QString& path, const std::vector<CCropRect>& rects);
