#pragma once

// Version numbers of the program files. Every program of a build carries
// the four numbers of the build's version, compiled in.

#include <QString>
#include <QtGlobal>

// Packs a.b.c.d into two halves, most significant first: a and b in the high
// half, c and d in the low one (16 bits each). False when a number does not
// fit into 16 bits; the outputs are then left alone.
bool PackFileVersion(qint64 a, qint64 b, qint64 c, qint64 d, quint32* high, quint32* low);

// The version of the program file at `path` (either output may be null).
// Returns 0, leaving the outputs alone, when the file does not exist or the
// build has no usable version.
int GetFileVersion(const QString& path, quint32* high, quint32* low);
