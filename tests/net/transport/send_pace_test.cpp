#include <gtest/gtest.h>

#include "net/transport/send_pace.h"

TEST(SendPace, StretchesOncePerRoundTripRecoversBySixteenthsAndLetsTheReliableStreamGoFirst) {
    // In turn at t ms: a report of a round trip ('r'), of a wait for an acknowledgement ('a', both
    // ms) or of unsent bytes ('u'), a send that is due ('d') or withheld ('w'), a failed send ('f').
    const struct { int64_t t; char what; int64_t value; float stretch; } rows[] = {
        {0, 'd', 0, 1},     {10, 'r', 150, 2},    {100, 'r', 150, 2},    {300, 'r', 150, 4},   {600, 'r', 75, 4},
        {600, 'd', 0, 4},   {700, 'r', 10, 4},    {700, 'd', 0, 3.75f},  {800, 'f', 0, 7.5f},  {1100, 'r', 150, 15},
        {1100, 'u', 2000, 15}, {1100, 'w', 0, 15}, {1600, 'u', 0, 15}, {1600, 'd', 0, 7.5f}, {1700, 'a', 150, 15}};
    SendPace pace;
    volatile int64_t interval = 33;
    for (const auto& [t, what, value, stretch] : rows) {
        if (what == 'r' || what == 'a' || what == 'u')
            pace.observe(PathReport{what == 'r' ? value * 1000 : 0, 0, uint64_t(what == 'u' ? value : 0),
                                    what == 'a' ? value * 1000 : 0},
                         t);
        if (what == 'f') pace.send_failed(t);
        EXPECT_TRUE((what != 'd' && what != 'w') || pace.ready(t) == (what == 'd')) << t;
        if (what == 'd') pace.sent(t, interval);
        EXPECT_FLOAT_EQ(pace.stretch(), stretch) << t;
    }
}
