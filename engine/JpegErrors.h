#pragma once

// libjpeg's standard error manager with the fatal exit replaced by a long
// jump back to the caller, keeping the messages instead of printing them.
// The function that calls setjmp must hold no object with a destructor.

#include "engine/JpegLib.h"

#include <QString>

#include <csetjmp>

struct CropErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf returnPoint;
    char message[JMSG_LENGTH_MAX];
    char firstWarning[JMSG_LENGTH_MAX];
};

// Fills `manager` and attaches it to `info` (before jpeg_create_*).
void AttachErrorManager(j_common_ptr info, CropErrorManager& manager);

// Ends the current libjpeg call as a fatal error with our own message.
[[noreturn]] void FailWith(j_common_ptr info, const char* message);

// The fatal message of whichever manager has one.
QString FatalMessage(const CropErrorManager& first, const CropErrorManager& second);
