#pragma once

// IMG.DAT: one 512-byte record per image, in collection order, no header.
// Bytes 0..255 hold the path in the local 8-bit encoding followed by a zero
// byte (at most 255 bytes of text); the rest is reserved (written as zeros).

#include "platform/Status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

constexpr int kImageRecordSize = 512;
constexpr int kImagePathFieldSize = 256;

// True when the path's local 8-bit form fits the record's path field.
bool FitsImageRecord(const QString& path);

// The path of every complete record; a shorter tail is ignored. A record
// without a zero byte is read to its end.
QStringList ParseImageRecords(const QByteArray& data);
// Paths that do not fit a record are left out, never written cut short.
QByteArray SerializeImageRecords(const QStringList& paths);

// A read IMG.DAT: its paths and its size in bytes, or why it could not be read.
struct ImageListContents {
    Status status;
    QStringList paths;  // empty on failure
    qint64 fileSize = 0;
};

ImageListContents ReadImageListFile(const QString& file);
// Replaces the file as a whole, or leaves the old one and says why.
Status WriteImageListFile(const QString& file, const QStringList& paths);
