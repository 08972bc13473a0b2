#pragma once

// libjpeg's standard error manager with the fatal exit replaced by a long
// jump back to the caller, keeping the messages instead of printing them.
//
// A long jump skips every frame between the failing libjpeg call and the
// setjmp, running no destructor. Hence two rules: the function that calls
// setjmp holds no object with a destructor, and every libjpeg call that can
// fail is reached from it through frames that hold none either. C++ code that
// must call libjpeg in the middle of its own objects (the Exif thumbnail
// drawn from coefficients) goes through CallGuarded, which catches the jump
// in a frame of its own and hands the failure back as a plain return value.

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

// Runs `call(context)`, whose libjpeg calls report to `info`'s manager,
// under a return point of its own: false after a fatal error (its message
// kept in the manager), true otherwise. The caller's return point is put
// back either way. `call` must itself hold no object with a destructor.
bool CallGuarded(j_common_ptr info, void (*call)(void*), void* context);

// Long-jumps to `info`'s return point with the fatal message already kept,
// e.g. after CallGuarded failed and the C++ frames above it have unwound.
[[noreturn]] void RaiseKeptError(j_common_ptr info);

// The fatal message of whichever manager has one.
QString FatalMessage(const CropErrorManager& first, const CropErrorManager& second);
