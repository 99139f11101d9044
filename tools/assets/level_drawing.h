#pragma once
// Drawing helpers of the level assets: hashed numbers and noise, and shapes as the pixels whose
// centres they cover.
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/assets/asset_writers.h"

namespace assets::level_drawing {

uint32_t mix_bits(uint32_t h);
float hash01(int x, int y, uint32_t seed);

// A counter-based sequence of numbers in [0, 1).
class Dice {
public:
    explicit Dice(uint32_t seed) : state_(mix_bits(seed)) {}
    float next() {
        state_ += 0x9E3779B9u;
        return float(mix_bits(state_) >> 8) / 16777216.0f;
    }
    float range(float lo, float hi) { return lo + (hi - lo) * next(); }

private:
    uint32_t state_;
};

float clamp01(float v);
float lerp(float a, float b, float t);
float smoothstep(float e0, float e1, float v);
float value_noise(float x, float y, uint32_t seed);
// Octaves of value noise, normalised to [0, 1].
float fbm(float x, float y, int octaves, uint32_t seed);

using Plot = std::function<void(int, int)>;

struct Point {
    float x, y;
};

// [x0, x1) x [y0, y1)
void rect_pixels(int x0, int y0, int x1, int y1, const Plot& plot);
void ellipse_pixels(float cx, float cy, float rx, float ry, const Plot& plot);
// A ring between two radii.
void ring_pixels(float cx, float cy, float outer, float inner, const Plot& plot);
// A stroke of the given width with round ends.
void line_pixels(float x0, float y0, float x1, float y1, float width, const Plot& plot);
void polygon_pixels(const std::vector<Point>& points, const Plot& plot);

// Air in the generator's key colours: fully transparent.
constexpr Rgba kAir{0, 0, 0, 0};
// An image of air.
Image blank(int w, int h);

}  // namespace assets::level_drawing
