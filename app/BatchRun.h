#pragma once

// What the main view hands a batch crop, and what the user is told at its
// end. Plain data, copied at the start: the run never touches the view's
// collection, rectangles or settings.

#include "app/AppSettings.h"
#include "app/CropPairs.h"

#include <QString>
#include <QStringList>

#include <vector>

struct BatchRunInput {
    std::vector<BatchImage> images;  // the collection in order: path, recorded size
    std::vector<int> selected;       // indices selected in the image list
    std::vector<CCropRect> rects;    // every rectangle, in list order
    CropSettings settings;           // method and quality at the start of the run
};

// The images that take part, in collection order: every image, or the
// selected ones (indices outside the collection and repeats are ignored).
std::vector<int> ChosenImages(const BatchRunInput& input, bool allImages);

// The crop method and quality that the program's settings ask for.
CropSettings CropSettingsFrom(const AppSettings& settings);

struct BatchRunSummary {
    bool started = false;  // false: stopped before the run (precondition, no folder)
    int total = 0;         // pairs announced to the progress window
    int steps = 0;         // pairs handed on; a vanished source's never count
    int lastStep = 0;      // the last number given to the progress window
    int written = 0;
    int failed = 0;
    int notDone = 0;            // planned pairs never attempted: the user stopped the run first
    bool stopped = false;       // the user stopped the run and pairs were left undone
    QStringList failedSources;  // each source with a failed pair once, in plan order
    QString flushError;         // the disk's answer when the outputs could not be flushed
};

// Counts the outcomes (indexed like the plan's pairs; pairs not attempted
// are neither written nor failed, but not done).
void TallyOutcomes(const BatchPlan& plan, const std::vector<CropOutcome>& outcomes,
                   BatchRunSummary& summary);

// How many failed source files the completion message names.
inline constexpr int kFailedFilesShown = 5;

// "The process has been completed." (or, for a stopped run, that it was
// stopped with the crops saved and not done) and, when crops failed, how
// many and the first few source files' names, and a flush the disk refused,
// by the language rule.
QString CompletionMessage(const BatchRunSummary& summary);
