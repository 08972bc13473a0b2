#pragma once

// What both crop pipelines (LosslessCrop.h, RecompressCrop.h) take and give:
// a rectangle with the file it goes to, and what became of it.

#include "platform/PixelRect.h"
#include "platform/Status.h"

#include <QString>
#include <QStringList>

struct CropTarget {
    QString destination;  // the name asked for; see OutputPolicy for a taken one
    PixelRect rect;       // in the source's stored pixels (no Exif rotation)
};

struct CropOutcome {
    // Failure: why nothing was written (libjpeg's message or ours). An
    // outcome nobody filled in reads as a failure, never as a written file.
    Status status = Status::Failure(QStringLiteral("not done"));
    QString output;  // the file written: the destination, or the next free name
    // The source region actually written: the rectangle itself, or for a
    // lossless crop the rectangle with its corner moved back to the iMCU grid.
    PixelRect written;
    int warnings = 0;      // libjpeg's warnings about the source (damaged data); not failures
    QString firstWarning;  // the first of them
    QStringList notes;     // things the user should know about a written file
    bool notDone = false;  // never attempted: the run was stopped first
};

// A target that failed for `reason`, before or while it was written.
inline CropOutcome Failed(const QString& reason) {
    CropOutcome outcome;
    outcome.status = Status::Failure(reason);
    return outcome;
}

// A target never attempted because the run was stopped first.
inline CropOutcome NotDone() {
    CropOutcome outcome = Failed(QStringLiteral("not done: stopped"));
    outcome.notDone = true;
    return outcome;
}
