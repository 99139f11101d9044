#pragma once
#include <cstdint>

namespace platform {

// Monotonic milliseconds since an arbitrary start; wraps like a 32-bit tick count.
uint32_t tick_count_ms();

// Monotonic milliseconds as a 64-bit value (no wrap).
uint64_t monotonic_ms();

void sleep_ms(uint32_t ms);

}  // namespace platform
