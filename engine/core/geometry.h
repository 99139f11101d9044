#pragma once
#include <cmath>
#include <cstdint>

// Small value types of sprite geometry and colours, and the overlap tests built on them.

struct ColorRGB {
    uint8_t r = 0, g = 0, b = 0;
};

struct ColorRGBA {
    uint8_t r = 0, g = 0, b = 0, a = 0;

    bool operator==(const ColorRGBA& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const ColorRGBA& o) const { return !(*this == o); }

    // A terrain surface pixel: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7.
    uint32_t to_pixel() const { return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b; }
    static ColorRGBA from_pixel(uint32_t p) {
        return {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)};
    }
};

struct fvec2d {
    float x = 0, y = 0;
    fvec2d() = default;
    fvec2d(float x_, float y_) : x(x_), y(y_) {}

    fvec2d operator+(const fvec2d& o) const { return {x + o.x, y + o.y}; }
    fvec2d operator-(const fvec2d& o) const { return {x - o.x, y - o.y}; }
    fvec2d operator*(float f) const { return {x * f, y * f}; }
    fvec2d operator/(float f) const { return {x / f, y / f}; }
    fvec2d& operator+=(const fvec2d& o) {
        x += o.x;
        y += o.y;
        return *this;
    }
    fvec2d& operator-=(const fvec2d& o) {
        x -= o.x;
        y -= o.y;
        return *this;
    }
    bool operator==(const fvec2d& o) const { return x == o.x && y == o.y; }
    bool operator!=(const fvec2d& o) const { return !(*this == o); }

    float dot(const fvec2d& o) const { return x * o.x + y * o.y; }
    float length() const { return std::sqrt(x * x + y * y); }
};

// The game world's vectors: two 32-bit floats, synchronised as 8 raw bytes.
using dvec2d = fvec2d;
static_assert(sizeof(dvec2d) == 8);

struct ivec2d {
    int32_t x = 0, y = 0;
    bool operator==(const ivec2d& o) const { return x == o.x && y == o.y; }
    bool operator!=(const ivec2d& o) const { return !(*this == o); }
};

// Four corners around an outline. From a rectangle (x, y, w, h) in y-down space:
// c[0] = (x, y + h), c[1] = (x + w, y + h), c[2] = (x + w, y), c[3] = (x, y).
struct fquad2d {
    fvec2d c[4];

    fquad2d() = default;
    fquad2d(fvec2d c0, fvec2d c1, fvec2d c2, fvec2d c3) : c{c0, c1, c2, c3} {}
    static fquad2d from_rect(float x, float y, float w, float h) {
        return {{x, y + h}, {x + w, y + h}, {x + w, y}, {x, y}};
    }
    fvec2d centre() const { return (c[0] + c[1] + c[2] + c[3]) / 4.0f; }
};

struct QuadBounds {
    float x, y, width, height;
};

bool less_by_x(const fvec2d& a, const fvec2d& b);
bool less_by_y(const fvec2d& a, const fvec2d& b);

// Signed angle in degrees in [-180, 180]: negative when b lies counter-clockwise of a in
// y-up terms (cross product > 0); 0 when either vector is zero.
float angle_between(fvec2d a, fvec2d b);

QuadBounds quad_bounds(const fquad2d& q);
bool point_in_quad(fvec2d p, const fquad2d& q);

// Separating-axis test of two outlines. On overlap, `axis` receives the edge vector of least
// penetration and `contact` a corner of one quad that lies in the other (left unchanged when
// the outlines only cross).
bool quads_overlap(const fquad2d& a, const fquad2d& b, fvec2d* contact = nullptr, fvec2d* axis = nullptr);
