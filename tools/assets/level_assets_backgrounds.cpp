// The level backgrounds, one per generator preset, drawn from fixed seeds.
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "tools/assets/asset_writers.h"
#include "tools/assets/level_assets.h"
#include "tools/assets/level_drawing.h"

namespace assets {
using namespace level_drawing;
namespace {

struct Rgb {
    float r, g, b;
};

Rgb mix(Rgb a, Rgb b, float t) { return {lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t)}; }
Rgb scale(Rgb a, float f) { return {a.r * f, a.g * f, a.b * f}; }

class Canvas {
public:
    Canvas(int w, int h) : width(w), height(h), pixels_(std::size_t(w) * std::size_t(h), Rgb{0, 0, 0}) {}

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    Rgb& at(int x, int y) { return pixels_[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    void blend(int x, int y, Rgb c, float alpha) {
        if (inside(x, y)) at(x, y) = mix(at(x, y), c, clamp01(alpha));
    }
    Plot brush(Rgb c, float alpha = 1.0f) {
        return [this, c, alpha](int x, int y) { blend(x, y, c, alpha); };
    }

    // Colour stops over the height, as fractions of it.
    void gradient(const std::vector<std::pair<float, Rgb>>& stops) {
        for (int y = 0; y < height; ++y) {
            float f = (y + 0.5f) / float(height);
            Rgb c = stops.front().second;
            for (std::size_t i = 1; i < stops.size(); ++i) {
                if (f <= stops[i].first) {
                    float t = smoothstep(stops[i - 1].first, stops[i].first, f);
                    c = mix(stops[i - 1].second, stops[i].second, t);
                    break;
                }
                c = stops[i].second;
            }
            for (int x = 0; x < width; ++x) at(x, y) = c;
        }
    }

    // Everything below the profile's row in each column.
    void fill_below(const std::function<float(int)>& profile, Rgb c, float alpha = 1.0f) {
        for (int x = 0; x < width; ++x) {
            float edge = profile(x);
            for (int y = std::max(0, int(std::floor(edge))); y < height; ++y)
                blend(x, y, c, alpha * clamp01(y + 1.0f - edge));  // the edge pixel partly
        }
    }

    Image image() const {
        Image out(width, height);
        auto byte = [](float v) { return uint8_t(std::lround(std::fmin(std::fmax(v, 0.0f), 255.0f))); };
        for (std::size_t i = 0; i < pixels_.size(); ++i)
            out.pixels[i] = {byte(pixels_[i].r), byte(pixels_[i].g), byte(pixels_[i].b), 255};
        return out;
    }

    int width, height;

private:
    std::vector<Rgb> pixels_;
};

constexpr int kBgW = 1024, kBgH = 512;

// A bare tree: a trunk and forking branches.
void bare_branch(Canvas& canvas, Dice& dice, float x, float y, float angle, float length, float width, int depth,
                 Rgb c) {
    float x1 = x + std::sin(angle) * length, y1 = y - std::cos(angle) * length;
    line_pixels(x, y, x1, y1, width, canvas.brush(c));
    if (depth == 0) return;
    int forks = dice.next() < 0.3f ? 3 : 2;
    for (int i = 0; i < forks; ++i) {
        float turn = dice.range(0.25f, 0.75f) * (i % 2 ? 1.0f : -1.0f) + dice.range(-0.15f, 0.15f);
        bare_branch(canvas, dice, x1, y1, angle + turn, length * dice.range(0.55f, 0.75f),
                    std::fmax(width * 0.62f, 1.0f), depth - 1, c);
    }
}

Image background_swamp() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {34, 46, 36}}, {0.45f, {86, 104, 70}}, {0.68f, {150, 160, 112}}, {1.0f, {70, 80, 52}}});
    // A pale sun behind the haze.
    ellipse_pixels(700, 190, 70, 70, [&](int x, int y) {
        float d = std::hypot(x + 0.5f - 700.0f, y + 0.5f - 190.0f) / 70.0f;
        canvas.blend(x, y, {214, 216, 170}, (1.0f - d) * 0.6f + (d < 0.45f ? 0.35f : 0.0f));
    });
    const uint32_t seed = 11;
    // Three rows of dead trees, fading into the fog with distance.
    const Rgb fog{150, 160, 112};
    for (int layer = 0; layer < 3; ++layer) {
        float depth = 1.0f - float(layer) / 3.0f;  // 1 = farthest
        Rgb c = mix({24, 32, 24}, fog, 0.65f * depth);
        float ground = 330.0f + 45.0f * float(layer);
        canvas.fill_below([&](int x) { return ground + 10.0f * fbm(x / 90.0f, float(layer), 3, seed + 7); }, c);
        Dice dice(seed + uint32_t(layer) * 31u);
        float scale_f = 0.6f + 0.4f * float(layer);
        for (float x = dice.range(0, 60); x < kBgW + 40; x += dice.range(70.0f, 170.0f) * scale_f) {
            float height = dice.range(90.0f, 170.0f) * scale_f;
            float lean = dice.range(-0.12f, 0.12f);
            bare_branch(canvas, dice, x, ground + 6.0f, lean, height * 0.55f, 7.0f * scale_f, 4, c);
        }
    }
    // Drifting fog and the murky water in front.
    for (int y = 0; y < kBgH; ++y) {
        for (int x = 0; x < kBgW; ++x) {
            float n = fbm(x / 160.0f, y / 40.0f, 4, seed + 3);
            float band = std::exp(-std::pow((y - 360.0f) / 70.0f, 2.0f));
            canvas.blend(x, y, fog, smoothstep(0.45f, 0.8f, n) * 0.5f * band);
        }
    }
    canvas.fill_below([](int) { return 452.0f; }, {44, 58, 38});
    for (int y = 452; y < kBgH; ++y) {
        for (int x = 0; x < kBgW; ++x) {
            float ripple = fbm(x / 40.0f, y / 3.0f, 2, seed + 5);
            canvas.blend(x, y, {120, 134, 88}, smoothstep(0.62f, 0.8f, ripple) * 0.35f);
        }
    }
    return canvas.image();
}

Image background_submarine() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {46, 134, 178}}, {0.35f, {18, 78, 130}}, {1.0f, {4, 18, 42}}});
    const uint32_t seed = 23;
    // Light shafts from the surface, slanting and fading with depth.
    Dice dice(seed);
    std::vector<std::pair<float, float>> rays;  // position at the top, width
    for (int i = 0; i < 9; ++i) rays.push_back({dice.range(-100.0f, float(kBgW)), dice.range(14.0f, 46.0f)});
    for (int y = 0; y < kBgH; ++y) {
        float fade = std::pow(1.0f - float(y) / kBgH, 1.6f);
        for (int x = 0; x < kBgW; ++x) {
            float light = 0.0f;
            for (const auto& [rx, rw] : rays) {
                float d = (x - (rx + y * 0.35f)) / rw;
                light += std::exp(-d * d);
            }
            light *= 0.22f * fade * (0.7f + 0.6f * fbm(x / 50.0f, y / 200.0f, 2, seed + 1));
            canvas.blend(x, y, {190, 235, 245}, light);
        }
    }
    // Drifting specks and a few bubbles.
    for (int i = 0; i < 500; ++i) {
        int x = int(dice.range(0, kBgW)), y = int(dice.range(0, kBgH));
        canvas.blend(x, y, {170, 210, 220}, dice.range(0.15f, 0.5f) * (1.0f - float(y) / kBgH));
    }
    for (int i = 0; i < 24; ++i) {
        float x = dice.range(0, kBgW), y = dice.range(40, 400), r = dice.range(2.0f, 5.0f);
        ring_pixels(x, y, r, r - 1.2f, canvas.brush({200, 235, 245}, 0.45f));
    }
    // Sea floor with rocks and kelp.
    canvas.fill_below([&](int x) { return 455.0f + 30.0f * fbm(x / 120.0f, 0.3f, 4, seed + 2); }, {10, 30, 44});
    for (float x = dice.range(0, 40); x < kBgW; x += dice.range(30.0f, 90.0f)) {
        float base = 470.0f, height = dice.range(40.0f, 120.0f), sway = dice.range(0.0f, 6.28f);
        for (float t = 0.0f; t < 1.0f; t += 0.01f) {
            float kx = x + 8.0f * std::sin(sway + t * 7.0f) * t, ky = base - height * t;
            ellipse_pixels(kx, ky, 2.2f * (1.2f - t), 2.0f, canvas.brush({14, 52, 44}));
        }
    }
    canvas.fill_below([&](int x) { return 485.0f + 12.0f * fbm(x / 60.0f, 2.0f, 3, seed + 4); }, {6, 20, 30});
    return canvas.image();
}

Image background_skyscraper() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {34, 28, 78}}, {0.4f, {126, 62, 112}}, {0.68f, {232, 120, 92}}, {0.85f, {252, 186, 110}}});
    ellipse_pixels(330, 400, 60, 60, canvas.brush({255, 226, 160}, 0.9f));
    const uint32_t seed = 37;
    // A faint far skyline, then the near one with lit windows.
    struct Layer {
        Rgb colour;
        float min_h, max_h, min_w, max_w;
        bool windows;
    };
    const Layer layers[] = {{{150, 82, 120}, 80, 230, 22, 60, false}, {{28, 20, 44}, 110, 330, 34, 96, true}};
    Dice dice(seed);
    for (const Layer& layer : layers) {
        for (float x = -20.0f; x < kBgW;) {
            float w = dice.range(layer.min_w, layer.max_w), h = dice.range(layer.min_h, layer.max_h);
            int x0 = int(x), x1 = int(x + w), top = kBgH - int(h);
            rect_pixels(x0, top, x1, kBgH, canvas.brush(layer.colour));
            if (dice.next() < 0.35f) {  // a stepped crown or an antenna
                rect_pixels(x0 + int(w * 0.25f), top - 14, x1 - int(w * 0.25f), top, canvas.brush(layer.colour));
                rect_pixels(int(x + w * 0.5f) - 1, top - 44, int(x + w * 0.5f) + 1, top - 14,
                            canvas.brush(layer.colour));
            }
            if (layer.windows) {
                uint32_t building = uint32_t(x0 + 1000);
                for (int wy = top + 8; wy < kBgH - 6; wy += 10) {
                    for (int wx = x0 + 5; wx + 4 < x1 - 3; wx += 8) {
                        float lit = hash01(wx, wy, seed + building);
                        if (lit < 0.42f)
                            rect_pixels(wx, wy, wx + 4, wy + 5, canvas.brush({255, 214, 130}, 0.55f + lit));
                    }
                }
            }
            x += w + dice.range(0.0f, 10.0f);
        }
    }
    return canvas.image();
}

// A ridge line: sharp peaks from folded noise.
float ridge(int x, float base, float amplitude, float period, uint32_t seed) {
    float n = fbm(x / period, 0.7f, 5, seed);
    float folded = 1.0f - std::fabs(2.0f * n - 1.0f);
    return base - amplitude * folded * folded;
}

Image background_mountain() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {140, 178, 218}}, {0.6f, {214, 228, 238}}, {1.0f, {232, 238, 240}}});
    const uint32_t seed = 41;
    struct Range {
        float base, amplitude, period;
        Rgb colour;
        bool snow;
    };
    const Range ranges[] = {{330, 230, 260, {168, 184, 206}, true},
                            {400, 170, 190, {124, 144, 172}, true},
                            {470, 120, 140, {86, 104, 128}, false}};
    for (int i = 0; i < 3; ++i) {
        const Range& r = ranges[i];
        uint32_t s = seed + uint32_t(i) * 17u;
        auto profile = [&](int x) { return ridge(x, r.base, r.amplitude, r.period, s); };
        canvas.fill_below(profile, r.colour);
        if (r.snow) {
            // Caps on the high peaks, following the ridge with a ragged lower edge.
            for (int x = 0; x < kBgW; ++x) {
                float top = profile(x);
                float line = r.base - r.amplitude * 0.5f;
                if (top >= line) continue;
                float depth = std::fmin((line - top) * 0.6f, 26.0f + 22.0f * fbm(x / 9.0f, 3.0f, 3, s));
                for (int y = std::max(0, int(top)); y < int(top + depth); ++y)
                    canvas.blend(x, y, {244, 246, 250}, 0.85f);
            }
        }
        // Haze at the foot of each range.
        for (int y = 0; y < kBgH; ++y)
            for (int x = 0; x < kBgW; ++x)
                if (y >= profile(x))
                    canvas.blend(x, y, {214, 228, 238}, 0.35f * smoothstep(r.base - 120.0f, r.base + 60.0f, float(y)));
    }
    return canvas.image();
}

Image background_cave() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {6, 8, 22}}, {1.0f, {26, 24, 52}}});
    const uint32_t seed = 53;
    // Faint nebula and stars.
    for (int y = 0; y < kBgH; ++y) {
        for (int x = 0; x < kBgW; ++x) {
            float n = fbm(x / 180.0f, y / 120.0f, 5, seed);
            canvas.blend(x, y, {86, 50, 120}, smoothstep(0.5f, 0.85f, n) * 0.4f);
        }
    }
    Dice dice(seed);
    for (int i = 0; i < 700; ++i) {
        int x = int(dice.range(0, kBgW)), y = int(dice.range(0, kBgH));
        float b = dice.next();
        canvas.blend(x, y, {236, 236, 255}, 0.3f + 0.7f * b);
        if (b > 0.93f) {
            for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
                canvas.blend(x + dx, y + dy, {236, 236, 255}, 0.4f);
        }
    }
    // Distant floating rocks: lumpy, flat on top, tapering below.
    const Rgb rock_far{44, 40, 62};
    for (int i = 0; i < 6; ++i) {
        float cx = 110.0f + 160.0f * float(i) + dice.range(-30, 30), cy = dice.range(150, 360);
        float rx = dice.range(26, 60), ry = rx * 0.45f;
        uint32_t s = seed + uint32_t(i) * 13u;
        for (int y = int(cy - ry); y <= int(cy + 2.6f * ry); ++y) {
            for (int x = int(cx - rx * 1.3f); x <= int(cx + rx * 1.3f); ++x) {
                float dx = (x - cx) / rx, dy = y < cy ? (y - cy) / ry : (y - cy) / (2.4f * ry);
                float lumpy = 1.0f + 0.35f * (fbm(x / 14.0f, y / 14.0f, 3, s) - 0.5f) * 2.0f;
                if (dx * dx + dy * dy < lumpy && dy > -0.55f)
                    canvas.blend(x, y, scale(rock_far, 1.15f - 0.35f * clamp01((y - cy) / (2.4f * ry))), 1.0f);
            }
        }
    }
    // The cave mouth: rock with stalactites above, rubble below, dark walls on the sides.
    const Rgb rock{30, 26, 30};
    auto teeth = [&](int x, uint32_t s) {
        float spike = hash01(x / 18, 0, s);
        float phase = (x % 18) / 18.0f;
        return spike * 70.0f * (1.0f - std::fabs(2.0f * phase - 1.0f));
    };
    for (int x = 0; x < kBgW; ++x) {
        float edge_x = std::fmin(float(x), float(kBgW - 1 - x));
        float top = 40.0f + 40.0f * fbm(x / 70.0f, 1.0f, 4, seed + 1) + teeth(x, seed + 2);
        top += 260.0f * std::exp(-edge_x / 60.0f);
        for (int y = 0; y < int(top) && y < kBgH; ++y) canvas.blend(x, y, rock, 1.0f);
        float bottom = kBgH - 30.0f - 30.0f * fbm(x / 50.0f, 2.0f, 4, seed + 3) - 0.6f * teeth(x + 9, seed + 4);
        bottom -= 260.0f * std::exp(-edge_x / 60.0f);
        for (int y = std::max(0, int(bottom)); y < kBgH; ++y) canvas.blend(x, y, rock, 1.0f);
    }
    // Grain in the rock.
    for (int y = 0; y < kBgH; ++y) {
        for (int x = 0; x < kBgW; ++x) {
            Rgb& p = canvas.at(x, y);
            if (std::fabs(p.r - rock.r) < 0.5f && std::fabs(p.b - rock.b) < 0.5f)
                p = scale(rock, 0.75f + 0.5f * fbm(x / 6.0f, y / 6.0f, 3, seed + 5));
        }
    }
    return canvas.image();
}

Image background_hills() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {62, 132, 226}}, {0.7f, {160, 206, 250}}, {1.0f, {190, 224, 252}}});
    const uint32_t seed = 67;
    ellipse_pixels(170, 90, 90, 90, [&](int x, int y) {
        float d = std::hypot(x + 0.5f - 170.0f, y + 0.5f - 90.0f) / 90.0f;
        canvas.blend(x, y, {255, 250, 220}, d < 0.35f ? 1.0f : (1.0f - d) * 0.5f);
    });
    // Clouds, thinning towards the horizon.
    for (int y = 0; y < kBgH; ++y) {
        float height_fade = 1.0f - smoothstep(150.0f, 330.0f, float(y));
        for (int x = 0; x < kBgW; ++x) {
            float n = fbm(x / 150.0f, y / 55.0f, 5, seed);
            float a = smoothstep(0.52f, 0.72f, n) * height_fade;
            Rgb shade = mix({255, 255, 255}, {206, 220, 238}, smoothstep(0.7f, 0.5f, n));
            canvas.blend(x, y, shade, a * 0.95f);
        }
    }
    // Rolling hills, far to near.
    canvas.fill_below(
        [&](int x) { return 340.0f + 50.0f * std::sin(x / 160.0f) + 40.0f * fbm(x / 120.0f, 1.0f, 4, seed + 1); },
        {126, 176, 150});
    canvas.fill_below(
        [&](int x) { return 400.0f + 36.0f * std::sin(x / 110.0f + 2.0f) + 30.0f * fbm(x / 90.0f, 2.0f, 4, seed + 2); },
        {88, 156, 80});
    canvas.fill_below(
        [&](int x) { return 460.0f + 20.0f * std::sin(x / 70.0f + 4.0f) + 18.0f * fbm(x / 60.0f, 3.0f, 3, seed + 3); },
        {62, 128, 52});
    return canvas.image();
}

}  // namespace

void write_level_backgrounds(const SaveImage& save) {
    // One per generator preset, in preset order, as config\client.ini [backgrounds] names them.
    save("gfx/bg_swamp.png", background_swamp(), true);
    save("gfx/bg_submarine.png", background_submarine(), true);
    save("gfx/bg_skyscraper.png", background_skyscraper(), true);
    save("gfx/bg_mountain.png", background_mountain(), true);
    save("gfx/bg_cave.png", background_cave(), true);
    save("gfx/bg_hills.png", background_hills(), true);
}

}  // namespace assets
