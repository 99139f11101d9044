#include "server/dedicated_server.h"

#include <chrono>

#include "engine/core/logger.h"
#include "game/session/qg_game.h"
#include "platform/clock.h"
#include "server/host_parameters.h"

namespace {

class PlatformPassClock : public PassClock {
public:
    uint32_t tick_ms() override { return platform::tick_count_ms(); }
    void sleep_ms(uint32_t ms) override { platform::sleep_ms(ms); }
};

}  // namespace

PassClock& PassClock::platform() {
    static PlatformPassClock clock;
    return clock;
}

DedicatedServer::DedicatedServer() = default;

DedicatedServer::~DedicatedServer() = default;

void DedicatedServer::create_game(const HostParameters& params) {
    game.reset();
    game = std::make_unique<QGGame>(QGGame::ServerSide{});
    if (!hosting.host(*game, params)) game->quit = true;
}

void DedicatedServer::run() {
    if (!game) return;
    uint32_t last = clock->tick_ms();
    while (!game->quit) {
        const uint32_t now = clock->tick_ms();
        // Unsigned, so a wrap of the tick counter still gives the elapsed time.
        const float dt = float(uint32_t(now - last)) / 1000.0f;
        if (game->active) {
            const auto started = std::chrono::steady_clock::now();
            // Object updates, collisions, registrations, both channels, one accept, removals.
            game->update(dt);
            if (keep_pass_times) {
                const auto took = std::chrono::steady_clock::now() - started;
                pass_times_us.push_back(uint32_t(std::chrono::duration_cast<std::chrono::microseconds>(took).count()));
            }
        }
        // A flood of log lines that stopped says what it left out without waiting for the next.
        log_write_console_count();
        // Measured from the start of the previous pass: with a short step, passes come in pairs.
        const uint32_t elapsed = clock->tick_ms() - last;
        if (elapsed < kServerPassMs) clock->sleep_ms(kServerPassMs - elapsed);
        last = now;
    }
}
