#include "engine/app/fps_control.h"

#include <SDL/SDL.h>

#include "engine/core/logger.h"

namespace {

class SdlClock : public FrameClock {
public:
    uint32_t ticks() override { return SDL_GetTicks(); }
    void delay(uint32_t ms) override { SDL_Delay(ms); }
};

}  // namespace

FrameClock* sdl_frame_clock() {
    static SdlClock clock;
    return &clock;
}

CFPSControl::CFPSControl(FrameClock* clock) : clock_(clock ? clock : sdl_frame_clock()) {
    frame_start_ms = clock_->ticks();
    measure_start_ms = frame_start_ms;
    log_message(LogLevel::Status, "Instance initialized.", log_class_name_of(*this));
}

CFPSControl::~CFPSControl() { log_message(LogLevel::Status, "Instance removed.", log_class_name_of(*this)); }

void CFPSControl::end_frame() {
    uint32_t elapsed = clock_->ticks() - frame_start_ms;
    // A target of 0 or less means no padding rather than a division by zero.
    if (limit_enabled && target_fps > 0) {
        uint32_t budget = uint32_t(1000 / target_fps);
        if (budget > elapsed) clock_->delay(budget - elapsed);
    }
    ++frame_count;
    uint32_t window = clock_->ticks() - measure_start_ms;
    if (float(window) >= measure_interval * 1000.0f && window > 0) {
        measured_fps = float(frame_count) * 1000.0f / float(window);
        frame_count = 0;
        measure_start_ms = clock_->ticks();
    }
    last_frame_ms = int(clock_->ticks() - frame_start_ms);
    frame_start_ms = clock_->ticks();
}
