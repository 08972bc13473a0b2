#pragma once

#include <QColor>

// The main view's colours.
inline const QColor kViewBackground(245, 250, 254);
inline const QColor kListBackground(229, 234, 238);  // the two lists and the preview
inline const QColor kCaptionTextActive(64, 64, 72);
inline const QColor kCaptionTextInactive(192, 192, 192);
inline const QColor kStatusText(88, 123, 194);
