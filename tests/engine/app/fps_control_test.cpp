#include <gtest/gtest.h>

#include "engine/app/fps_control.h"

namespace {

class FakeClock : public FrameClock {
public:
    uint32_t now = 1000;
    std::vector<uint32_t> delays;
    uint32_t ticks() override { return now; }
    void delay(uint32_t ms) override {
        delays.push_back(ms);
        now += ms;
    }
};

}  // namespace

TEST(FrameLimiter, PadsShortFramesOnly) {
    FakeClock clock;
    CFPSControl fps(&clock);
    clock.now += 5;
    fps.end_frame();
    EXPECT_EQ(clock.delays, std::vector<uint32_t>{11});
    EXPECT_EQ(fps.last_frame_ms, 16);
    clock.now += 20;
    fps.end_frame();
    EXPECT_EQ(clock.delays.size(), 1u);
    EXPECT_EQ(fps.last_frame_ms, 20);
    EXPECT_FLOAT_EQ(fps.last_frame_seconds(), 0.02f);
}

TEST(FrameLimiter, NoDelayWhenOffOrTargetUnusable) {
    FakeClock clock;
    CFPSControl fps(&clock);
    fps.limit_enabled = false;
    clock.now += 1;
    fps.end_frame();
    fps.limit_enabled = true;
    fps.target_fps = 0;  // would divide by zero
    fps.end_frame();
    fps.target_fps = -5;
    fps.end_frame();
    fps.target_fps = 2000;  // budget 0
    fps.end_frame();
    EXPECT_TRUE(clock.delays.empty());
    fps.target_fps = 1000;  // budget 1
    fps.end_frame();
    EXPECT_EQ(clock.delays, std::vector<uint32_t>{1});
}

TEST(FrameLimiter, MeasuresOncePerWindow) {
    FakeClock clock;
    CFPSControl fps(&clock);
    fps.limit_enabled = false;
    for (int i = 0; i < 59; ++i) {
        clock.now += 16;
        fps.end_frame();
    }
    EXPECT_EQ(fps.measured_fps, 0.0f);
    EXPECT_EQ(fps.frame_count, 59);
    clock.now += 1000 - 59 * 16;
    fps.end_frame();
    EXPECT_FLOAT_EQ(fps.measured_fps, 60.0f);
    EXPECT_EQ(fps.frame_count, 0);
}
