#pragma once

#include <QByteArray>

// The XMP packet of an APP1 marker starts with this namespace and a zero byte.
inline constexpr char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";

enum class XmpEdit {
    kNothingToDo,  // no dimension property in the packet
    kUpdated,
    kNoRoom,  // a longer number would not fit the packet's padding; left alone
};

// Rewrites exif:PixelXDimension, exif:PixelYDimension, tiff:ImageWidth and
// tiff:ImageLength (as attributes or elements) in place. The packet keeps
// its length: numbers that grow take room from the whitespace padding before
// the closing processing instruction, numbers that shrink give it back.
XmpEdit RewriteXmpDimensions(QByteArray& packet, quint32 width, quint32 height);
