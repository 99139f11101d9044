#include "net/sync/net_clock.h"

#include "platform/clock.h"

int64_t network_time_ms() { return int64_t(platform::monotonic_ms()); }

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
