#include "net/transport/send_pace.h"

#include <algorithm>

void SendPace::observe(const PathReport& path, int64_t now_ms) {
    const int64_t queue_us = std::max(path.round_trip_us, path.unacknowledged_us) - path.min_round_trip_us;
    reliable_waiting_ = path.unsent_bytes > reliable_waiting_bytes;
    // Past what the receivers follow, only for a reliable stream that is held up itself.
    if ((queue_us > queue_limit_us || path.unsent_bytes > unsent_limit) &&
        (stretch_ < receiver_stretch || reliable_waiting_))
        congested(now_ms, path.round_trip_us / 1000);
    else clear_ = queue_us < queue_clear_us;
}

void SendPace::send_failed(int64_t now_ms) { congested(now_ms, 0); }

void SendPace::congested(int64_t now_ms, int64_t round_trip_ms) {
    clear_ = false;
    if (now_ms < hold_until_ms_) return;
    stretch_ = std::min(stretch_ * 2.0f, max_stretch);
    // The packets already under way still meet the queue; the stretched pace shows after a
    // round trip and one of its own intervals.
    hold_until_ms_ = now_ms + std::max<int64_t>(round_trip_ms, 0) + 2 * interval_ms_;
}

bool SendPace::ready(int64_t now_ms) {
    // More than an interval ahead, or a packet sent in the future, only when the clock went
    // back: not waited for.
    if (next_ms_ - now_ms > interval_ms_) next_ms_ = now_ms;
    last_sent_ms_ = std::min(last_sent_ms_, now_ms);
    return now_ms >= next_ms_ && (!reliable_waiting_ || now_ms - last_sent_ms_ >= longest_gap_ms);
}

float SendPace::share(int64_t base_interval_ms) const {
    if (base_interval_ms <= 0) return 1.0f / stretch_;
    return 1.0f / std::min(stretch_, float(longest_gap_ms) / float(base_interval_ms));
}

void SendPace::sent(int64_t now_ms, int64_t base_interval_ms) {
    // Beyond what the receivers interpolate over the packets are seconds apart: the stretch
    // halves per packet there, so that a cleared link is served again within seconds.
    if (clear_ && now_ms >= hold_until_ms_)
        stretch_ = std::max(1.0f, stretch_ > receiver_stretch ? stretch_ / 2.0f : stretch_ * (15.0f / 16.0f));
    interval_ms_ = std::min(int64_t(float(std::max<int64_t>(base_interval_ms, 0)) * stretch_), longest_gap_ms);
    last_sent_ms_ = now_ms;
    // The phase is kept, so that the mean spacing is the interval even though the transport's
    // sends fall between; a stall is not caught up with a burst.
    next_ms_ = std::max(next_ms_ + interval_ms_, now_ms + interval_ms_ / 2);
}
