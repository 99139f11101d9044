#pragma once
#include <atomic>
#include <cstdint>

// The time base of the network code: milliseconds of the monotonic clock, from a start of the
// machine's choosing. Send times cross the wire but are only ever compared with times of the
// same machine's clock, so the start need not agree between peers; a wall clock set back or
// forward would make a sender's records look stale or every peer silent.
int64_t network_time_ms();

// Where a transport reads "now" (send intervals, time-outs, latency, browser expiry). The
// system clock is the default; tests hand in a clock they move by hand instead of sleeping.
class NetClock {
public:
    virtual ~NetClock() = default;
    virtual int64_t now_ms() const = 0;

    // The process-wide monotonic clock; stateless, so any thread may use it.
    static const NetClock& system();
};

// A clock that stands still until moved. With a step it advances by that much each time it is
// read, for loops that wait on the clock (a connect retried until its time-out).
class ManualNetClock : public NetClock {
public:
    explicit ManualNetClock(int64_t start_ms = 0, int64_t step_ms = 0) : now_(start_ms), step_(step_ms) {}

    int64_t now_ms() const override { return now_.fetch_add(step_.load()); }
    void set(int64_t ms) { now_.store(ms); }
    void advance(int64_t ms) { now_.fetch_add(ms); }
    void set_step(int64_t ms) { step_.store(ms); }

private:
    mutable std::atomic<int64_t> now_;
    std::atomic<int64_t> step_;
};
