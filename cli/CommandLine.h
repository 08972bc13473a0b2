#pragma once

#include "app/CropPairs.h"
#include "croprects/CropRect.h"

#include <QString>
#include <QStringList>

#include <vector>

struct CliOptions {
    QStringList paths;
    QString outputFolder;
    std::vector<CCropRect> rects;
    CropSettings settings;
    int jobs = 0;         // 0: one per core
    int maxMemoryMb = 0;  // 0: the engine's default ceiling
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. On bad usage returns false
// with a message naming the bad argument.
bool ParseCommandLine(const QStringList& arguments, CliOptions& options, QString& error);

// The --help text. The manual page, cli/pelmora-crop.1, lists the same
// options and opens each one's paragraph with the same words (PackagingTest).
QString UsageText();
