#pragma once

#include "cli/CommandLine.h"

#include <atomic>
#include <cstdio>

enum CliExitCode : int {
    kExitAllWritten = 0,
    kExitSomeFailed = 1,
    kExitUsage = 2,
    kExitInterrupted = 130,
};

// Runs one batch as the options say. Lines go to `out` (verbose lines,
// summary) and `err` (failures, progress); `stop` ends it early.
int RunCropTool(const CliOptions& options, std::FILE* out, std::FILE* err,
                const std::atomic<bool>& stop);
