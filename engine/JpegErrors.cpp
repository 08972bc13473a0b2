#include "engine/JpegErrors.h"

#include <cstdio>
#include <cstring>

namespace {

CropErrorManager* ManagerOf(j_common_ptr info) {
    return reinterpret_cast<CropErrorManager*>(info->err);
}

[[noreturn]] void FatalErrorExit(j_common_ptr info) {
    CropErrorManager* manager = ManagerOf(info);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->returnPoint, 1);
}

// Warnings are counted and the first one kept; trace messages are dropped.
void KeepWarning(j_common_ptr info, int level) {
    if (level >= 0)
        return;
    if (info->err->num_warnings++ == 0) {
        (*info->err->format_message)(info, ManagerOf(info)->firstWarning);
    }
}

}  // namespace

void AttachErrorManager(j_common_ptr info, CropErrorManager& manager) {
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = FatalErrorExit;
    manager.pub.emit_message = KeepWarning;
    manager.message[0] = '\0';
    manager.firstWarning[0] = '\0';
    info->err = &manager.pub;
}

void FailWith(j_common_ptr info, const char* message) {
    CropErrorManager* manager = ManagerOf(info);
    std::snprintf(manager->message, sizeof manager->message, "%s", message);
    std::longjmp(manager->returnPoint, 1);
}

bool CallGuarded(j_common_ptr info, void (*call)(void*), void* context) {
    CropErrorManager* manager = ManagerOf(info);
    std::jmp_buf outer;
    std::memcpy(&outer, &manager->returnPoint, sizeof outer);
    if (setjmp(manager->returnPoint) != 0) {
        std::memcpy(&manager->returnPoint, &outer, sizeof outer);
        return false;
    }
    call(context);
    std::memcpy(&manager->returnPoint, &outer, sizeof outer);
    return true;
}

void RaiseKeptError(j_common_ptr info) {
    std::longjmp(ManagerOf(info)->returnPoint, 1);
}

QString FatalMessage(const CropErrorManager& first, const CropErrorManager& second) {
    return QString::fromLocal8Bit(first.message[0] != '\0' ? first.message : second.message);
}
