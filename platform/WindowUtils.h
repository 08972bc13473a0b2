#pragma once

// Helpers that the program's windows share while they work.

#include <QCursor>
#include <QPoint>
#include <QString>

#include <optional>

// Lets pending paints and window-system exposes through while a long
// operation keeps this thread busy. Keyboard and mouse input stays queued
// until the event loop runs again, and no timer fires.
void PumpPaintMessages();

// The cursor for a handle code of HitTestRect: the sizing arrows for corners
// and edges, the program's move cursor (11105) for the inside, none otherwise.
std::optional<QCursor> CursorForHit(int hitCode);

// The move cursor's picture and the pixel that points.
inline constexpr QPoint kMoveCursorHotSpot{16, 16};

// Brings the first visible top-level window titled exactly `title` to the
// front, without restoring it from the minimised state. False when there is
// none.
bool RaiseWindowTitled(const QString& title);
