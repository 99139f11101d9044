// The portal's swirl and the sweetroll creature.
#include <cmath>

#include "tools/assets/entity_sprites.h"
#include "tools/assets/sprite_drawing.h"

namespace assets::entity_sprites {
namespace {

using namespace sprite_drawing;

constexpr float kPi = 3.14159265f;
const Rgba kOutline = rgba(34, 20, 30);

// One portal frame: a glowing oval rim around a three-armed swirl turned by `phase`; `glow`
// (0-1) floods the centre with light as something passes through.
void draw_portal(Canvas& c, float phase, float glow) {
    const float cx = 32, cy = 48, rx = 29, ry = 45;
    const Rgba deep = rgba(36, 10, 78), bright = rgba(130, 96, 255), core = rgba(236, 226, 255);
    const Rgba rim = rgba(206, 126, 255), rim_hot = rgba(255, 214, 255);
    for (int y = 0; y < c.height(); ++y) {
        for (int x = 0; x < c.width(); ++x) {
            float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
            float d = std::sqrt(dx * dx + dy * dy);
            if (d > 1.0f) continue;
            if (d > 0.88f) {
                float a = std::atan2(dy, dx);
                c.put(x, y, std::sin(a * 5.0f + phase * 2.0f) > 0.55f ? rim_hot : rim);
                continue;
            }
            float a = std::atan2(dy, dx);
            float swirl = 0.5f + 0.5f * std::sin(3.0f * a + 9.0f * d - phase);
            float v = swirl * 0.7f + (1.0f - d) * 0.5f;
            float band = std::floor(v * 4.0f) / 4.0f;  // a few flat tones, not a gradient
            Rgba colour = band < 0.5f ? mix(deep, bright, band * 2.0f) : mix(bright, core, (band - 0.5f) * 1.2f);
            if (d < glow * 0.75f) colour = mix(colour, core, 0.75f);
            colour.a = 236;
            c.put(x, y, colour);
        }
    }
    // Sparks circling inside the rim.
    for (int i = 0; i < 6; ++i) {
        float a = phase * 0.5f + float(i) * kPi / 3.0f;
        float sx = cx + std::cos(a) * rx * 0.72f, sy = cy + std::sin(a) * ry * 0.72f;
        c.rect(int(sx), int(sy) - 1, int(sx) + 1, int(sy) + 2, rgba(255, 255, 255));
        c.rect(int(sx) - 1, int(sy), int(sx) + 2, int(sy) + 1, rgba(255, 255, 255));
    }
    c.outline(kOutline);
}

// The sweetroll facing right: a round cinnamon bun with icing, big eyes and small feet.
void draw_sweetroll(Canvas& c, int step) {
    const Rgba bun = rgba(212, 146, 72), cinnamon = rgba(140, 76, 34), icing = rgba(252, 246, 236);
    const Rgba shoe = rgba(96, 52, 30);
    float bob = step == 1 ? -1.5f : 0.0f;
    float lift[2] = {step == 0 ? 3.0f : 0.0f, step == 2 ? 3.0f : 0.0f};
    c.lit_ellipse(22, 60 - lift[0], 6, 3.5f, shade(shoe, 0.8f));
    c.lit_ellipse(40, 60 - lift[1], 6, 3.5f, shoe);
    const float cx = 31, cy = 38 + bob;
    c.lit_ellipse(cx, cy, 23, 19, bun);
    // The spiral, centred toward the back.
    for (float t = 0.6f; t < 5.6f * kPi; t += 0.08f) {
        float r = 1.2f * t;
        float x = cx - 4 + std::cos(t) * r * 0.95f, y = cy + 2 + std::sin(t) * r * 0.8f;
        if (std::fabs(x - cx) / 22.0f + std::fabs(y - cy) / 18.0f < 1.05f) c.put(int(x), int(y), cinnamon);
    }
    // Icing over the top with drips.
    for (int x = 10; x < 53; ++x) {
        float dx = (x + 0.5f - cx) / 23.0f;
        if (std::fabs(dx) >= 1.0f) continue;
        float top = cy - 19.0f * std::sqrt(1.0f - dx * dx);
        float drip = 6.0f + 3.0f * std::sin(float(x) * 0.9f) + (x % 9 == 0 ? 5.0f : 0.0f);
        for (int y = int(top); y < int(top + drip); ++y)
            if (c.filled(x, y)) c.put(x, y, y == int(top) || y == int(top) + 1 ? icing : shade(icing, 0.93f));
    }
    // Face on the front side.
    for (float ex : {38.0f, 47.0f}) {
        c.ellipse(ex, cy + 2, 3.3f, 4.2f, rgba(30, 20, 30));
        c.rect(int(ex), int(cy), int(ex) + 2, int(cy) + 2, rgba(255, 255, 255));
    }
    c.ellipse(35, cy + 8, 2.5f, 1.5f, rgba(240, 120, 130));
    c.ellipse(51, cy + 8, 2.0f, 1.5f, rgba(240, 120, 130));
    c.line(41, cy + 9, 44, cy + 9, 1.2f, rgba(90, 40, 30));
    c.outline(kOutline);
}

// Burst frame k of 13: chunks of bun and icing fly apart, shrink and scatter crumbs.
void draw_burst(Canvas& c, int k) {
    const Rgba bun = rgba(212, 146, 72), icing = rgba(252, 246, 236), cinnamon = rgba(140, 76, 34);
    float t = float(k) / 12.0f;
    if (t < 0.35f) {
        float r = 10.0f + 50.0f * t;
        level_drawing::ring_pixels(32, 38, r, r - 3.0f, [&](int x, int y) {
            if (c.inside(x, y)) c.put(x, y, rgba(255, 236, 190, 200));
        });
    }
    for (int i = 0; i < 8; ++i) {
        float a = float(i) * kPi / 4.0f + 0.3f;
        float dist = 10.0f + 20.0f * t;
        float x = 32 + std::cos(a) * dist, y = 38 + std::sin(a) * dist * 0.8f + 14.0f * t * t;
        float size = 8.0f * (1.0f - t) + 1.5f;
        c.lit_ellipse(x, y, size, size * 0.8f, i % 3 == 0 ? icing : bun);
        if (size > 4.0f) c.ellipse(x - 1, y, size * 0.3f, size * 0.25f, cinnamon);
    }
    for (int i = 0; i < 14; ++i) {
        float a = float(i) * 0.45f;
        float dist = 6.0f + 30.0f * t * (0.6f + 0.4f * float(i % 3));
        int x = int(32 + std::cos(a) * dist), y = int(38 + std::sin(a) * dist + 18.0f * t * t);
        c.rect(x, y, x + 2, y + 2, i % 2 ? bun : cinnamon);
    }
    c.outline(kOutline);
}

}  // namespace

Image portal_sheet() {
    constexpr int w = 64, h = 96, columns = 8;
    Image image = level_drawing::blank(w * columns, h * 3);
    for (int i = 0; i < 8; ++i) {
        float turn = 2.0f * kPi * float(i) / 8.0f;
        Canvas idle(image, i * w, 0, w, h), enter(image, i * w, h, w, h), exit(image, i * w, 2 * h, w, h);
        draw_portal(idle, turn, 0.0f);                           // 0-7: loops
        draw_portal(enter, turn * 2.0f, float(i) / 7.0f);        // 8-15: spins up, floods
        draw_portal(exit, turn * 2.0f, 1.0f - float(i) / 7.0f);  // 16-23: fades back
    }
    bleed_edges(image);
    return image;
}

Image sweetroll_sheet() {
    constexpr int tile = 64, columns = 5, rows = 4;
    Image image = level_drawing::blank(tile * columns, tile * rows);
    auto frame = [&](int index) {
        return Canvas(image, (index % columns) * tile, (index / columns) * tile, tile, tile);
    };
    for (int step = 0; step < 3; ++step) {
        Canvas left = frame(step), right = frame(3 + step);
        draw_sweetroll(left, step);
        left.mirror();
        draw_sweetroll(right, step);
    }
    for (int k = 0; k < 13; ++k) {
        Canvas burst = frame(6 + k);
        draw_burst(burst, k);
    }
    bleed_edges(image);
    return image;
}

}  // namespace assets::entity_sprites
