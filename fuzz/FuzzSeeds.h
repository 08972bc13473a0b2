#pragma once

// Seed inputs for each fuzz target, made on the spot from pictures our test
// encoder writes (sampling, progression, restarts, Exif in both byte orders,
// comments, CMYK) and from well-formed rectangle and image-list records.

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

using NamedSeed = std::pair<QString, QByteArray>;

std::vector<NamedSeed> MakeFuzzSeeds(const QString& target);
