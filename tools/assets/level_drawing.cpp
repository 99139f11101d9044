#include "tools/assets/level_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace assets::level_drawing {

// Numbers -----------------------------------------------------------------------------------------

uint32_t mix_bits(uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

float hash01(int x, int y, uint32_t seed) {
    uint32_t h = mix_bits(uint32_t(x) * 0x9E3779B1u ^ mix_bits(uint32_t(y) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du));
    return float(h >> 8) / 16777216.0f;
}

float clamp01(float v) { return std::fmin(std::fmax(v, 0.0f), 1.0f); }
float lerp(float a, float b, float t) { return a + (b - a) * t; }
float smoothstep(float e0, float e1, float v) {
    float t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

float value_noise(float x, float y, uint32_t seed) {
    float fx0 = std::floor(x), fy0 = std::floor(y);
    int x0 = int(fx0), y0 = int(fy0);
    float tx = smoothstep(0.0f, 1.0f, x - fx0), ty = smoothstep(0.0f, 1.0f, y - fy0);
    float top = lerp(hash01(x0, y0, seed), hash01(x0 + 1, y0, seed), tx);
    float bottom = lerp(hash01(x0, y0 + 1, seed), hash01(x0 + 1, y0 + 1, seed), tx);
    return lerp(top, bottom, ty);
}

float fbm(float x, float y, int octaves, uint32_t seed) {
    float sum = 0.0f, amplitude = 0.5f, total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * value_noise(x, y, seed + uint32_t(i) * 101u);
        total += amplitude;
        x *= 2.0f;
        y *= 2.0f;
        amplitude *= 0.5f;
    }
    return total > 0.0f ? sum / total : 0.0f;
}

// Shapes, as the pixels whose centres they cover -------------------------------------------------

// [x0, x1) x [y0, y1)
void rect_pixels(int x0, int y0, int x1, int y1, const Plot& plot) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) plot(x, y);
}

void ellipse_pixels(float cx, float cy, float rx, float ry, const Plot& plot) {
    for (int y = int(std::floor(cy - ry)); y <= int(std::ceil(cy + ry)); ++y) {
        for (int x = int(std::floor(cx - rx)); x <= int(std::ceil(cx + rx)); ++x) {
            float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
            if (dx * dx + dy * dy <= 1.0f) plot(x, y);
        }
    }
}

// A ring between two radii.
void ring_pixels(float cx, float cy, float outer, float inner, const Plot& plot) {
    ellipse_pixels(cx, cy, outer, outer, [&](int x, int y) {
        float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
        if (dx * dx + dy * dy >= inner * inner) plot(x, y);
    });
}

// A stroke of the given width with round ends.
void line_pixels(float x0, float y0, float x1, float y1, float width, const Plot& plot) {
    float r = width * 0.5f;
    float dx = x1 - x0, dy = y1 - y0;
    float length2 = dx * dx + dy * dy;
    for (int y = int(std::floor(std::fmin(y0, y1) - r)); y <= int(std::ceil(std::fmax(y0, y1) + r)); ++y) {
        for (int x = int(std::floor(std::fmin(x0, x1) - r)); x <= int(std::ceil(std::fmax(x0, x1) + r)); ++x) {
            float px = x + 0.5f - x0, py = y + 0.5f - y0;
            float t = length2 > 0.0f ? clamp01((px * dx + py * dy) / length2) : 0.0f;
            float ex = px - t * dx, ey = py - t * dy;
            if (ex * ex + ey * ey <= r * r) plot(x, y);
        }
    }
}

void polygon_pixels(const std::vector<Point>& points, const Plot& plot) {
    if (points.size() < 3) return;
    float min_x = points[0].x, max_x = min_x, min_y = points[0].y, max_y = min_y;
    for (const Point& p : points) {
        min_x = std::fmin(min_x, p.x);
        max_x = std::fmax(max_x, p.x);
        min_y = std::fmin(min_y, p.y);
        max_y = std::fmax(max_y, p.y);
    }
    for (int y = int(std::floor(min_y)); y <= int(std::ceil(max_y)); ++y) {
        float cy = y + 0.5f;
        for (int x = int(std::floor(min_x)); x <= int(std::ceil(max_x)); ++x) {
            float cx = x + 0.5f;
            bool in = false;
            for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
                const Point& a = points[i];
                const Point& b = points[j];
                if ((a.y > cy) != (b.y > cy) && cx < (b.x - a.x) * (cy - a.y) / (b.y - a.y) + a.x) in = !in;
            }
            if (in) plot(x, y);
        }
    }
}

Image blank(int w, int h) {
    Image image(w, h);
    for (Rgba& p : image.pixels) p = kAir;
    return image;
}

}  // namespace assets::level_drawing
