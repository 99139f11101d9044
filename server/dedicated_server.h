#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "server/server_hosting.h"

class QGGame;
struct HostParameters;

// Where the server loop reads its ticks and waits; the platform's by default, a test's clock
// that it moves by hand otherwise.
class PassClock {
public:
    virtual ~PassClock() = default;
    virtual uint32_t tick_ms() = 0;
    virtual void sleep_ms(uint32_t ms) = 0;

    static PassClock& platform();
};

// The server program's holder of its one game: builds it, hosts the match and runs the server
// loop until the game's quit flag is set.
class DedicatedServer {
public:
    DedicatedServer();
    // Stops and joins the announcement thread, then deletes the game, which closes the
    // connections.
    ~DedicatedServer();
    DedicatedServer(const DedicatedServer&) = delete;
    DedicatedServer& operator=(const DedicatedServer&) = delete;

    // Builds the server session and hosts it; returns when all players are connected or
    // hosting failed, which sets the game's quit flag.
    void create_game(const HostParameters& params);
    // The loop: each pass steps the world by the time since the previous pass began, then waits
    // until 16 ms after that previous start. Returns at once when quit is already set.
    void run();

    std::unique_ptr<QGGame> game;
    ServerHosting hosting;
    // Outlives the server; never null.
    PassClock* clock = &PassClock::platform();

    // With keep_pass_times set, the length of every pass that stepped the world, in
    // microseconds (the load test reads them; the wait is not part of a pass).
    bool keep_pass_times = false;
    std::vector<uint32_t> pass_times_us;
};

// Minimum time between the starts of two passes, in milliseconds.
constexpr uint32_t kServerPassMs = 16;
