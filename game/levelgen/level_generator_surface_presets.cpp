// The presets that paint straight into the surface: Hills, Cave and Mountain.
#include "game/levelgen/level_generator.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "engine/core/random.h"
#include "game/levelgen/level_generator_shared.h"
#include "game/levelgen/simplex_noise.h"
#include "game/base/terrain_pixels.h"

using namespace levelgen_detail;

namespace {

inline int mod_positive(int v, int n) {
    int m = v % n;
    return m < 0 ? m + n : m;
}

}  // namespace

void generate_hills(const LevelParameters& p, SDL_Surface* surface) {
    SurfaceLock lock(surface);
    TerrainPixels px(surface);
    MaterialPixels colours(px);
    const int w = px.width(), h = px.height();
    const float fh = static_cast<float>(h);

    std::vector<int> line(std::size_t(std::max(w, 0)));
    for (int x = 0; x < w; ++x) {
        float t = ratio(x, w) * (p.scale_x * 20.0f) + p.scale_x * 256.0f * p.offset_x;
        float n = octave_noise_1d(p.octaves, t);
        line[std::size_t(x)] = static_cast<int>((n * (p.scale_y * 2.0f) + (p.offset_y * 2.0f - 1.0f)) * fh);
    }
    const float water_line = 1.0f - p.water_level;
    const double rock_depth = (1.0 - static_cast<double>(p.solid_threshold)) * static_cast<double>(h);
    for (int y = 0; y < h; ++y) {
        const uint32_t sky = ratio(y, h) > water_line ? colours.water : colours.air;
        for (int x = 0; x < w; ++x) {
            int s = line[std::size_t(x)];
            uint32_t c;
            if (y < s) c = sky;
            else c = static_cast<double>(y - s) > rock_depth ? colours.indestructible : colours.destructible;
            px.put(x, y, c);
        }
    }
}

void generate_cave(const LevelParameters& p, SDL_Surface* surface) {
    SurfaceLock lock(surface);
    TerrainPixels px(surface);
    MaterialPixels colours(px);
    const int w = px.width(), h = px.height();
    NoiseField noise(p, w, h);
    const float water_line = 1.0f - p.water_level;
    // Rows are independent and draw no random numbers, so they may run in parallel.
#pragma omp parallel
    {
        std::vector<float> sums;
#pragma omp for schedule(static)
        for (int y = 0; y < h; ++y) {
            const float fy = ratio(y, h);
            const float t = (1.0f - (fy * 2.0f - 1.0f)) * p.additional;
            const uint32_t open = fy > water_line ? colours.water : colours.air;
            const float rock = (1.0f - t * fy) * p.solid_threshold + t;
            noise.row(y, sums);
            for (int x = 0; x < w; ++x) {
                float n = (sums[std::size_t(x)] + 1.0f) * 0.5f;
                uint32_t c;
                if (t > n) c = open;
                else c = n > rock ? colours.indestructible : colours.destructible;
                px.put(x, y, c);
            }
        }
    }
}

void generate_mountain(const LevelParameters& p, SDL_Surface* surface) {
    SurfaceLock lock(surface);
    TerrainPixels px(surface);
    MaterialPixels colours(px);
    const int w = px.width(), h = px.height();
    const float fh = static_cast<float>(h);
    const int octaves = std::clamp(p.octaves, 0, static_cast<int>(kMaxOctaves));

    const int N = 1 << octaves;
    std::vector<int> heights(std::size_t(N), static_cast<int>((p.offset_y * 2.0f - 1.0f) * fh));
    const float s = (fh / static_cast<float>(N)) * p.scale_y * 2.0f;
    const int shift = static_cast<int>(p.offset_x * static_cast<float>(N));

    int step = N;
    for (int level = 0; level < octaves; ++level) {
        const int half = step / 2;
        for (int i = half; i < N; i += step) {
            int a = heights[std::size_t(mod_positive(i - half + shift, N))];
            int b = heights[std::size_t(mod_positive(i + half + shift, N))];
            int r = random_draw();
            heights[std::size_t(mod_positive(i + shift, N))] =
                static_cast<int>((static_cast<float>(r) * 2.0f / 32767.0f - 1.0f) * (static_cast<float>(half) * s) +
                                 static_cast<float>(b - a) * 0.5f + static_cast<float>(a));
        }
        step /= 2;
    }

    std::vector<float> ground(std::size_t(std::max(w, 0))), rock(std::size_t(std::max(w, 0)));
    const float columns_per_pixel = static_cast<float>(N) / static_cast<float>(w);
    for (int x = 0; x < w; ++x) {
        float fx = static_cast<float>(x) * columns_per_pixel;
        int i0 = std::min(static_cast<int>(fx), N - 1);
        int i1 = std::min(i0 + 1, N - 1);
        float v =
            static_cast<float>(heights[std::size_t(i0)]) +
            static_cast<float>(heights[std::size_t(i1)] - heights[std::size_t(i0)]) * (fx - static_cast<float>(i0));
        ground[std::size_t(x)] = fh - v;
        rock[std::size_t(x)] = fh - v * p.solid_threshold;
    }
    const float water_line = 1.0f - p.water_level;
    for (int y = 0; y < h; ++y) {
        const float fy = static_cast<float>(y);
        const uint32_t open = ratio(y, h) > water_line ? colours.water : colours.air;
        for (int x = 0; x < w; ++x) {
            uint32_t c;
            if (fy < ground[std::size_t(x)]) c = open;
            else c = fy < rock[std::size_t(x)] ? colours.destructible : colours.indestructible;
            px.put(x, y, c);
        }
    }
}
