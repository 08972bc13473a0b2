#pragma once

#include "croprects/CropRect.h"

#include <QString>

#include <optional>

// Parses a rectangle written on a command line:
//   "L,T,R,B"      pixels, right and bottom exclusive
//   "L%,T%,R%,B%"  percent of width (L, R) and height (T, B)
//   "WxH+X+Y"      pixels, the jpegtran -crop form
// Returns nullopt with a reason in `error` for anything else.
std::optional<CCropRect> ParseRectSpec(const QString& spec, QString* error = nullptr);
