#include "tools/assets/sprite_drawing.h"

#include <algorithm>
#include <cmath>

namespace assets::sprite_drawing {

namespace ld = level_drawing;

namespace {
uint8_t byte_of(float v) { return uint8_t(std::lround(std::fmin(std::fmax(v, 0.0f), 255.0f))); }
}  // namespace

Rgba rgba(int r, int g, int b, int a) { return {uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)}; }

Rgba shade(Rgba c, float f) { return {byte_of(c.r * f), byte_of(c.g * f), byte_of(c.b * f), c.a}; }

Rgba mix(Rgba a, Rgba b, float t) {
    return {byte_of(ld::lerp(a.r, b.r, t)), byte_of(ld::lerp(a.g, b.g, t)), byte_of(ld::lerp(a.b, b.b, t)),
            byte_of(ld::lerp(a.a, b.a, t))};
}

float light_band(float nx, float ny) {
    // Light from the upper left.
    float d = -0.6f * nx - 0.8f * ny;
    if (d > 0.45f) return 1.18f;
    if (d < -0.35f) return 0.74f;
    return 0.96f;
}

Canvas::Canvas(Image& image, int x0, int y0, int width, int height)
    : image_(image), x0_(x0), y0_(y0), w_(width), h_(height) {}

void Canvas::put(int x, int y, Rgba c) {
    if (inside(x, y)) image_.at(x0_ + x, y0_ + y) = c;
}

Rgba Canvas::get(int x, int y) const { return image_.at(x0_ + x, y0_ + y); }

void Canvas::rect(int x0, int y0, int x1, int y1, Rgba c) {
    ld::rect_pixels(x0, y0, x1, y1, [&](int x, int y) { put(x, y, c); });
}

void Canvas::ellipse(float cx, float cy, float rx, float ry, Rgba c) {
    ld::ellipse_pixels(cx, cy, rx, ry, [&](int x, int y) { put(x, y, c); });
}

void Canvas::line(float x0, float y0, float x1, float y1, float width, Rgba c) {
    ld::line_pixels(x0, y0, x1, y1, width, [&](int x, int y) { put(x, y, c); });
}

void Canvas::polygon(const std::vector<Point>& points, Rgba c) {
    ld::polygon_pixels(points, [&](int x, int y) { put(x, y, c); });
}

void Canvas::lit_ellipse(float cx, float cy, float rx, float ry, Rgba c) {
    ld::ellipse_pixels(cx, cy, rx, ry, [&](int x, int y) {
        put(x, y, shade(c, light_band((x + 0.5f - cx) / rx, (y + 0.5f - cy) / ry)));
    });
}

void Canvas::lit_line(float x0, float y0, float x1, float y1, float width, Rgba c) {
    float dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy, r = width * 0.5f;
    ld::line_pixels(x0, y0, x1, y1, width, [&](int x, int y) {
        float px = x + 0.5f - x0, py = y + 0.5f - y0;
        float t = length2 > 0.0f ? ld::clamp01((px * dx + py * dy) / length2) : 0.0f;
        put(x, y, shade(c, light_band((px - t * dx) / r, (py - t * dy) / r)));
    });
}

void Canvas::lit_rect(int x0, int y0, int x1, int y1, Rgba c) {
    for (int y = y0; y < y1; ++y) {
        float f = y == y0 ? 1.18f : (y == y1 - 1 && y1 - y0 > 2 ? 0.74f : 0.96f);
        for (int x = x0; x < x1; ++x) put(x, y, shade(c, x == x0 && f < 1.1f ? 1.08f : f));
    }
}

void Canvas::outline(Rgba c) {
    std::vector<char> edge(std::size_t(w_) * std::size_t(h_), 0);
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            if (filled(x, y)) continue;
            edge[std::size_t(y) * std::size_t(w_) + std::size_t(x)] =
                filled(x - 1, y) || filled(x + 1, y) || filled(x, y - 1) || filled(x, y + 1);
        }
    }
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x)
            if (edge[std::size_t(y) * std::size_t(w_) + std::size_t(x)]) put(x, y, c);
}

void Canvas::mirror() {
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_ / 2; ++x) std::swap(image_.at(x0_ + x, y0_ + y), image_.at(x0_ + w_ - 1 - x, y0_ + y));
}

void Canvas::fade(float f) {
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            Rgba& p = image_.at(x0_ + x, y0_ + y);
            p.a = byte_of(p.a * f);
        }
}

void bleed_edges(Image& image) {
    Image source = image;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (source.at(x, y).a > 0) continue;
            for (auto [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= image.width || ny >= image.height) continue;
                const Rgba& n = source.at(nx, ny);
                if (n.a > 0) {
                    image.at(x, y) = {n.r, n.g, n.b, 0};
                    break;
                }
            }
        }
    }
}

}  // namespace assets::sprite_drawing
