// libFuzzer's entry point for one target, chosen at build time.

#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return PELMORA_FUZZ_ENTRY(data, size);
}
