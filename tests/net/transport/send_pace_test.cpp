#include <gtest/gtest.h>
#include <linux/tcp.h>

#include "net/transport/send_pace.h"
#include "net/transport/tcp_link.h"

TEST(SendPace, StretchesOncePerRoundTripRecoversBySixteenthsLetsTheReliableStreamGoFirstButNeverWithholdsStateLong) {
    // In turn at t ms: a round trip ('r') or acknowledgement wait ('a') in ms, unsent bytes with a
    // queue ('u'), a send that is due ('d') or withheld ('w'), a failed send ('f'); then the stretch.
    const std::tuple<int64_t, char, int64_t, float> rows[] = {
        {0, 'd', 0, 1},        {10, 'r', 150, 2},    {100, 'r', 150, 2},    {300, 'r', 150, 4},  {600, 'r', 75, 4},
        {600, 'd', 0, 4},      {700, 'r', 10, 4},    {700, 'd', 0, 3.75f},  {800, 'f', 0, 7.5f}, {1100, 'r', 150, 15},
        {1100, 'u', 2000, 15}, {1100, 'w', 0, 15},   {1800, 'd', 0, 15},    {1900, 'r', 0, 15},  {2100, 'd', 0, 7.5f},
        {2200, 'a', 150, 15},  {2900, 'r', 150, 15}, {2900, 'u', 2000, 30}, {3000, 'd', 0, 30},  {3700, 'w', 0, 30},
        {3750, 'd', 0, 30},    {4100, 'r', 75, 30},  {4200, 'd', 0, 30}};
    SendPace pace;
    volatile int64_t interval = 33;
    for (const auto& [t, k, value, stretch] : rows) {
        const int64_t us = value * 1000, queued = k == 'u' ? 150'000 : 0;
        tcp_info info{};  // data sent 150 ms ago, unacknowledged in 'a'; half the unsent bytes ours
        std::tie(info.tcpi_rtt, info.tcpi_min_rtt, info.tcpi_unacked, info.tcpi_last_data_sent,
                 info.tcpi_notsent_bytes) = std::tuple(uint32_t(k == 'r' ? us : queued), 1u, uint32_t(k == 'a'), 150u,
                                                       uint32_t(queued ? value / 2 : 0));
        if (k == 'r' || k == 'a' || k == 'u') pace.observe(path_report(info, queued ? value - value / 2 : 0), t);
        if (k == 'f') pace.send_failed(t);
        EXPECT_TRUE((k != 'd' && k != 'w') || pace.ready(t) == (k == 'd')) << t;
        if (k == 'd') pace.sent(t, interval);
        EXPECT_FLOAT_EQ(pace.stretch(), stretch) << t;
    }
}
