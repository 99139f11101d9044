#include "net/sync/net_clock.h"

#include <chrono>

int64_t network_time_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

namespace {

class SystemNetClock : public NetClock {
public:
    int64_t now_ms() const override { return network_time_ms(); }
};

}  // namespace

const NetClock& NetClock::system() {
    static const SystemNetClock clock;
    return clock;
}
