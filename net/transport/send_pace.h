#pragma once
#include <cstdint>

#include "net/sync/protocol.h"
#include "net/transport/connection.h"

// What the reliable connection to a peer tells of the path under it.
struct PathReport {
    // The smoothed round trip and the lowest one seen on the connection, in microseconds.
    int64_t round_trip_us = 0;
    int64_t min_round_trip_us = 0;
    // Bytes written for the peer that have not gone out yet: the socket's and our own queue.
    uint64_t unsent_bytes = 0;
    // How long the newest bytes sent have waited for their acknowledgement (0 when everything
    // sent is acknowledged): a queue shows here at once, where the smoothed round trip follows
    // it only over several samples.
    int64_t unacknowledged_us = 0;
    // How long a lost segment waits to be sent again.
    int64_t retransmit_timeout_us = 0;
};

// Answers what the path to a peer looks like now; false when it knows nothing of that peer.
class PathMonitor {
public:
    virtual ~PathMonitor() = default;
    virtual bool path_to(const Connection& peer, PathReport& out) const = 0;
};

// How often state packets go to one peer. A path that shows a queue (its round trip, or the
// wait for an acknowledgement, well above the lowest round trip seen) or data that cannot get out
// stretches the interval between packets to twice, at most once per round trip so that one queue
// is answered once; a clear path shortens it by a sixteenth per packet (by half beyond
// receiver_stretch), back to the transport's own interval. The state then leaves room for the
// reliable stream on the same link instead of starving it, and while the reliable stream to the
// peer has more than a packet's worth waiting, the peer's state waits. However stretched and
// however long its reliable stream holds it up, a peer waits no more than longest_gap_ms for its
// next packet: thinned evenly, every peer still sees the match move.
class SendPace {
public:
    // The stretch goes past what a receiver's interpolation follows (receiver_stretch; the
    // receiver then holds the newest state until the next packet) while the reliable stream has
    // bytes waiting; the interval it gives goes no further than longest_gap_ms.
    static constexpr float max_stretch = 48.0f;
    // Short enough that a peer whose packet is lost on a full queue, the next one meeting a
    // longer queue, still goes less than two seconds without state.
    static constexpr int64_t longest_gap_ms = 750;
    static constexpr float receiver_stretch = float(Protocol::max_update_spacing_intervals);
    // A queue of more than this on the round trip is congestion; below the clear mark the
    // path is clear; in between the pace holds.
    static constexpr int64_t queue_limit_us = 100'000;
    static constexpr int64_t queue_clear_us = 50'000;
    // Unsent bytes beyond this: the reliable stream is not getting through.
    static constexpr uint64_t unsent_limit = 16 * 1024;
    // More unsent bytes than a packet's worth: the reliable stream goes first, and the state
    // waits, up to longest_gap_ms after the last packet.
    static constexpr uint64_t reliable_waiting_bytes = 1200;

    void observe(const PathReport& path, int64_t now_ms);
    // A packet for the peer could not be handed to the network: the path is full.
    void send_failed(int64_t now_ms);
    // True when a packet is due to the peer now: its time has come and its reliable stream has
    // nothing waiting, or the last packet went longest_gap_ms ago.
    bool ready(int64_t now_ms);
    // When the next packet became or becomes due; the peer served first is the one waiting longest.
    int64_t due_ms() const { return next_ms_; }
    // When the last packet went: of peers due at the same time, the one with the oldest goes first.
    int64_t last_sent_ms() const { return last_sent_ms_; }
    // A packet goes to the peer now, at a send of the transport whose interval is
    // base_interval_ms; the next one is scheduled.
    void sent(int64_t now_ms, int64_t base_interval_ms);

    float stretch() const { return stretch_; }
    // The packets the peer takes per send of a transport whose interval is base_interval_ms.
    float share(int64_t base_interval_ms) const;

private:
    void congested(int64_t now_ms, int64_t round_trip_ms);

    float stretch_ = 1.0f;
    int64_t interval_ms_ = 0;
    int64_t next_ms_ = 0;
    int64_t last_sent_ms_ = 0;
    // No second reaction before the first one can show.
    int64_t hold_until_ms_ = 0;
    bool clear_ = true;
    bool reliable_waiting_ = false;
};
