#pragma once

#include "platform/PathUtils.h"

class OutputSession;

// What a writer does when its destination name is taken.
enum class ExistingOutput {
    kReplace,       // an existing file under the destination name is replaced
    kKeep,          // an existing entry under the destination name makes the write fail
    kNextFreeName,  // the output takes the first free name of name_0, name_1, ...
};

// How one output file reaches its name.
struct OutputPolicy {
    OutputPolicy(ExistingOutput existing = ExistingOutput::kReplace) : existing(existing) {}

    ExistingOutput existing;
    // The run writing into the destination folder; none: the file has a run of its own.
    OutputSession* session = nullptr;
    // With kNextFreeName: names the search passes over because other outputs of
    // the same run are planned under them. Called from several threads at once.
    PathTakenTest heldForOthers;
    // The data is on the disk before the name is given (files that replace the
    // only copy of something, such as IMG.DAT and RECT.DAT).
    bool durable = false;
};
