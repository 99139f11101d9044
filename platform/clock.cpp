#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace platform {

uint64_t monotonic_ms() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t tick_count_ms() {
    // Wraps after about 49.7 days, as the system's tick count does.
    return uint32_t(monotonic_ms());
}

void sleep_ms(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace platform
