#pragma once

#include <QString>

// What a JPEG header says, without decoding any image data.
struct JpegInfo {
    bool ok = false;
    QString error;
    int width = 0;
    int height = 0;
    int components = 0;
    int imcuWidth = 8;  // the lossless crop's grid
    int imcuHeight = 8;
    bool progressive = false;
};

JpegInfo ReadJpegInfo(const QString& path);
