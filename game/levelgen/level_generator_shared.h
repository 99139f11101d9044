#pragma once
// Helpers the level generator's driver and its preset files share; not for use elsewhere.
#include <SDL/SDL.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "game/config/settings.h"
#include "game/levelgen/level_generator.h"
#include "game/levelgen/simplex_noise.h"
#include "game/base/terrain_pixels.h"

namespace levelgen_detail {

// The random number is drawn by the caller before this test, so that a peer whose delegates do
// nothing draws the same sequence.
inline void request(const GeneratorCallbacks* callbacks, GeneratorCallbacks::Entry entry, int x, int y, int w, int h,
                    int r) {
    if (callbacks && callbacks->entries[entry].is_valid()) callbacks->entries[entry](x, y, w, h, r);
}

// x / w as the presets compute it.
inline float ratio(int v, int size) { return static_cast<float>(v) / static_cast<float>(size); }

// Octave noise of the 2D presets, X and Y taken per column and per row.
class NoiseField {
public:
    NoiseField(const LevelParameters& p, int w, int h) : octaves_(std::max(p.octaves, 0)) {
        xs_.resize(std::size_t(w));
        ys_.resize(std::size_t(h));
        for (int x = 0; x < w; ++x)
            xs_[std::size_t(x)] = ratio(x, w) * p.scale_x * 15.0f + p.scale_x * 256.0f * p.offset_x;
        for (int y = 0; y < h; ++y)
            ys_[std::size_t(y)] = ratio(y, h) * p.scale_y * 20.0f + p.scale_y * 256.0f * p.offset_y;
        for (int i = 0; i < octaves_; ++i) factors_.push_back(octave_factor(i));
    }

    // The octave sums of row y, one per column.
    void row(int y, std::vector<float>& out) const {
        out.resize(xs_.size());
        octave_noise_2d_row(xs_.data(), static_cast<int>(xs_.size()), ys_[std::size_t(y)], factors_.data(),
                            static_cast<int>(factors_.size()), out.data());
    }

private:
    int octaves_;
    std::vector<float> xs_, ys_, factors_;
};

// The surface values of the material colours, mapped once per generation.
struct MaterialPixels {
    explicit MaterialPixels(const TerrainPixels& px)
        : air(px.map(color_air)),
          water(px.map(color_water)),
          staticwater(px.map(color_staticwater)),
          explosive(px.map(color_explosive)),
          ladder(px.map(color_ladder)),
          destructible(px.map(color_destructible)),
          indestructible(px.map(color_indestructible)) {}

    uint32_t of_cell(int32_t code) const {
        switch (static_cast<GeneratorCell>(code)) {
        case GeneratorCell::Water: return water;
        case GeneratorCell::Outside: return staticwater;
        case GeneratorCell::Explosive: return explosive;
        case GeneratorCell::Ladder: return ladder;
        case GeneratorCell::Destructible: return destructible;
        case GeneratorCell::Indestructible: return indestructible;
        default: return air;  // Air, ObjectSlot, and nothing else is ever left in the grid
        }
    }

    uint32_t air, water, staticwater, explosive, ladder, destructible, indestructible;
};

}  // namespace levelgen_detail
