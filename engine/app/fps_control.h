#pragma once
#include <cstdint>

// Where the frame limiter takes its time from; the framework uses SDL's ticks, tests a fake.
class FrameClock {
public:
    virtual ~FrameClock() = default;
    virtual uint32_t ticks() = 0;
    virtual void delay(uint32_t ms) = 0;
};

// Pads each frame to 1000 / target_fps ms, measures the achieved rate over windows of
// measure_interval seconds and keeps the previous frame's duration for the next update.
class CFPSControl {
public:
    explicit CFPSControl(FrameClock* clock = nullptr);
    ~CFPSControl();
    CFPSControl(const CFPSControl&) = delete;
    CFPSControl& operator=(const CFPSControl&) = delete;

    // Run right after a frame has been drawn and presented.
    void end_frame();
    // Duration of the previous frame in seconds, the next update's time step.
    float last_frame_seconds() const { return float(last_frame_ms) / 1000.0f; }

    int target_fps = 60;
    uint32_t frame_start_ms = 0;
    int last_frame_ms = 0;
    uint32_t measure_start_ms = 0;
    int frame_count = 0;
    float measured_fps = 0.0f;
    float measure_interval = 1.0f;
    bool limit_enabled = true;

private:
    FrameClock* clock_;
};

// SDL_GetTicks / SDL_Delay.
FrameClock* sdl_frame_clock();
