#pragma once

#include <cstdint>

// The machine's physical memory in bytes (8 GiB when it cannot be told).
std::uint64_t PhysicalMemoryBytes();
