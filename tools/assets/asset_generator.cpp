// Lays out the generated part of the run folder: images under gfx/, sounds under snd/, the
// window icon and the particle effects. Usage: brawl_assets <run folder>
#include <SDL/SDL_mixer.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tools/assets/asset_writers.h"
#include "tools/assets/level_assets.h"
#include "tools/assets/particle_assets.h"
#include "tools/assets/widget_assets.h"
#include "tools/assets/entity_assets.h"
#include "tools/assets/match_screen_assets.h"

namespace {

using assets::Image;
using assets::Rgba;

constexpr int kSampleRate = 44100;
constexpr float kPi = 3.14159265358979f;

uint8_t to_byte(float v) { return uint8_t(std::lround(std::fmin(std::fmax(v, 0.0f), 255.0f))); }

// Images ------------------------------------------------------------------------------------------

// Four opaque quadrants: red top-left, green top-right, blue bottom-left, white bottom-right.
Image quadrant_texture() {
    Image image(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            bool right = x >= 32, bottom = y >= 32;
            Rgba& p = image.at(x, y);
            if (!right && !bottom) p = {255, 0, 0, 255};
            else if (right && !bottom) p = {0, 255, 0, 255};
            else if (!right) p = {0, 0, 255, 255};
            else p = {255, 255, 255, 255};
        }
    }
    return image;
}

// Every pixel different, on an odd width so that rows are padded in memory.
Image odd_width_texture() {
    Image image(13, 7);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            image.at(x, y) = {uint8_t(20 * x), uint8_t(40 * y), uint8_t(255 - 15 * (x + y)), 255};
        }
    }
    return image;
}

Image palette_texture() {
    const Rgba colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}};
    Image image(16, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) image.at(x, y) = colours[(y / 8) * 2 + x / 8];
    }
    return image;
}

Image gradient_texture(int w, int h) {
    Image image(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.at(x, y) = {uint8_t(255 * x / (w - 1)), uint8_t(255 * y / (h - 1)), 128, 255};
        }
    }
    return image;
}

// Opaque blue with a white frame 4 pixels wide: shows whether border strips are stretched.
Image bordered_texture() {
    Image image(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            bool frame = x < 4 || y < 4 || x >= 28 || y >= 28;
            image.at(x, y) = frame ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 255, 255};
        }
    }
    return image;
}

// Red along the edges, clear over the middle two thirds: the post-process damage flash. A band
// of even width, so the corners (where the HUD panels sit) are no redder than the sides.
Image damage_texture() {
    Image image(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const float u = (x + 0.5f) / 256.0f, v = (y + 0.5f) / 256.0f;
            const float edge = std::fmin(std::fmin(u, 1.0f - u), std::fmin(v, 1.0f - v));
            const float band = std::fmax(1.0f - edge / 0.18f, 0.0f);
            image.at(x, y) = {190, 10, 0, to_byte(std::pow(band, 1.5f) * 200.0f)};
        }
    }
    return image;
}

// An orange disc with a dark ring and a light diamond, on a clear background.
Image window_icon() {
    Image image(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            float dx = x + 0.5f - 16.0f, dy = y + 0.5f - 16.0f;
            float r = std::sqrt(dx * dx + dy * dy);
            Rgba p = {0, 0, 0, 0};
            if (r < 14.5f) p = {230, 120, 30, 255};
            if (r >= 12.5f && r < 14.5f) p = {120, 50, 10, 255};
            if (std::fabs(dx) + std::fabs(dy) < 7.0f) p = {255, 235, 200, 255};
            image.at(x, y) = p;
        }
    }
    return image;
}

// The particle editor's icon: a burst of blue sparks around a white core, on a clear background.
Image editor_icon() {
    Image image(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            float dx = x + 0.5f - 16.0f, dy = y + 0.5f - 16.0f;
            float r = std::sqrt(dx * dx + dy * dy);
            float spoke = std::fabs(std::sin(std::atan2(dy, dx) * 4.0f));
            Rgba p = {0, 0, 0, 0};
            if (r < 15.0f && spoke > 0.85f) p = {60, 120, 230, 255};
            if (r < 6.0f) p = {250, 250, 255, 255};
            image.at(x, y) = p;
        }
    }
    return image;
}

// Sounds ------------------------------------------------------------------------------------------

enum class Wave { Sine, Square, Saw, Noise };

struct Layer {
    Wave wave;
    float start;      // seconds
    float length;     // seconds
    float freq_from;  // Hz; for noise the low-pass cut-off
    float freq_to;    // swept exponentially over the layer
    float attack;     // seconds of fade-in
    float decay;      // exponential decay per second
    float gain;
    float vibrato_hz = 0;
    float vibrato_depth = 0;  // relative pitch swing
};

struct SoundRecipe {
    const char* file;
    std::vector<Layer> layers;
};

// Deterministic noise, so that every build writes the same files.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed ? seed : 1) {}
    float next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return float(state_) / 2147483648.0f - 1.0f;
    }

private:
    uint32_t state_;
};

std::vector<float> synthesize(const SoundRecipe& recipe, uint32_t seed) {
    float total = 0;
    for (const Layer& layer : recipe.layers) total = std::fmax(total, layer.start + layer.length);
    std::vector<float> out(std::size_t(total * kSampleRate) + 1, 0.0f);
    Noise noise(seed);
    for (const Layer& layer : recipe.layers) {
        std::size_t first = std::size_t(layer.start * kSampleRate);
        std::size_t count = std::size_t(layer.length * kSampleRate);
        float phase = 0, filtered = 0;
        for (std::size_t i = 0; i < count && first + i < out.size(); ++i) {
            float t = float(i) / kSampleRate;
            float progress = t / layer.length;
            float freq = layer.freq_from * std::pow(layer.freq_to / layer.freq_from, progress);
            if (layer.vibrato_hz > 0) {
                freq *= 1.0f + layer.vibrato_depth * std::sin(2 * kPi * layer.vibrato_hz * t);
            }
            phase = std::fmod(phase + freq / kSampleRate, 1.0f);
            float value = 0;
            switch (layer.wave) {
            case Wave::Sine: value = std::sin(2 * kPi * phase); break;
            case Wave::Square: value = phase < 0.5f ? 0.6f : -0.6f; break;
            case Wave::Saw: value = 2 * phase - 1; break;
            case Wave::Noise: {
                float alpha = 1 - std::exp(-2 * kPi * freq / kSampleRate);
                filtered += alpha * (noise.next() - filtered);
                value = filtered * 2.5f;
                break;
            }
            }
            float envelope = layer.attack > 0 ? std::fmin(t / layer.attack, 1.0f) : 1.0f;
            envelope *= std::exp(-layer.decay * t);
            float tail = layer.length - t;  // 5 ms fade-out against clicks
            if (tail < 0.005f) envelope *= tail / 0.005f;
            out[first + i] += value * envelope * layer.gain;
        }
    }
    // The mixer adds its channels and cuts what leaves the sample range: with every sound peaking
    // below full scale over the channel count, even all channels at their peaks at once do not
    // clip (a little margin kept for rounding).
    const float loudest = 0.96f / float(MIX_CHANNELS);
    float peak = 0;
    for (float s : out) peak = std::fmax(peak, std::fabs(s));
    if (peak > 0) {
        for (float& s : out) s *= loudest / peak;
    }
    return out;
}

const std::vector<SoundRecipe>& sound_recipes() {
    using W = Wave;
    static const std::vector<SoundRecipe> recipes = {
        {"explosion.wav", {{W::Noise, 0, 0.8f, 2000, 200, 0, 4, 1.0f}, {W::Sine, 0, 0.8f, 60, 35, 0, 5, 0.6f}}},
        {"jump.wav", {{W::Square, 0, 0.15f, 220, 520, 0.005f, 8, 0.5f}}},
        {"spawn.wav",
         {{W::Sine, 0, 0.12f, 440, 440, 0.005f, 4, 0.6f},
          {W::Sine, 0.1f, 0.12f, 554, 554, 0.005f, 4, 0.6f},
          {W::Sine, 0.2f, 0.2f, 659, 659, 0.005f, 5, 0.6f}}},
        {"death.wav", {{W::Saw, 0, 0.5f, 400, 90, 0.01f, 3, 0.6f, 8, 0.05f}}},
        {"sweetroll_jump.wav", {{W::Sine, 0, 0.2f, 600, 1100, 0.003f, 8, 0.7f}}},
        {"sweetroll_burst.wav",
         {{W::Noise, 0, 0.6f, 6000, 1500, 0, 6, 0.8f}, {W::Sine, 0, 0.4f, 300, 150, 0, 8, 0.5f}}},
        {"blaster.wav", {{W::Square, 0, 0.15f, 1400, 300, 0.002f, 12, 0.6f}}},
        {"rocket_launch.wav",
         {{W::Noise, 0, 0.4f, 300, 3000, 0.04f, 3, 0.9f}, {W::Saw, 0, 0.4f, 80, 160, 0.04f, 3, 0.3f}}},
        {"throw.wav", {{W::Noise, 0, 0.2f, 800, 2500, 0.06f, 6, 0.7f}}},
        {"shotgun.wav", {{W::Noise, 0, 0.3f, 5000, 400, 0, 10, 1.0f}, {W::Sine, 0, 0.3f, 90, 50, 0, 9, 0.6f}}},
        // Played about twelve times a second while the jetpack fires: shorter than 80 ms.
        {"jetpack.wav", {{W::Noise, 0, 0.07f, 900, 700, 0.005f, 2, 0.8f}}},
        {"drill.wav",
         {{W::Saw, 0, 0.12f, 110, 120, 0.005f, 1, 0.6f, 30, 0.1f}, {W::Noise, 0, 0.12f, 3000, 3000, 0.005f, 1, 0.2f}}},
        {"pop.wav", {{W::Sine, 0, 0.15f, 900, 250, 0, 25, 0.9f}}},
        {"heal.wav", {{W::Sine, 0, 0.2f, 660, 660, 0.01f, 4, 0.6f}, {W::Sine, 0.15f, 0.25f, 990, 990, 0.01f, 4, 0.5f}}},
        {"cloak.wav", {{W::Sine, 0, 0.4f, 1200, 400, 0.02f, 3, 0.6f, 12, 0.08f}}},
        {"crate_open.wav",
         {{W::Saw, 0, 0.2f, 180, 140, 0.01f, 2, 0.4f, 25, 0.15f}, {W::Noise, 0.18f, 0.12f, 600, 200, 0, 20, 0.9f}}},
        {"portal_enter.wav", {{W::Sine, 0, 0.5f, 200, 900, 0.02f, 1, 0.6f, 10, 0.1f}}},
        {"portal_exit.wav", {{W::Sine, 0, 0.5f, 900, 200, 0.02f, 1, 0.6f, 10, 0.1f}}},
    };
    return recipes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <run folder>\n", argv[0]);
        return 2;
    }
    const std::string run = argv[1];
    bool ok = true;
    auto check = [&ok](bool written, const std::string& path) {
        if (!written) {
            std::fprintf(stderr, "brawl_assets: could not write %s\n", path.c_str());
            ok = false;
        }
    };

    check(assets::write_ico(run + "/dravix.ico", window_icon()), "dravix.ico");
    check(assets::write_ico(run + "/gfx/ico/KX.ico", editor_icon()), "gfx/ico/KX.ico");
    check(assets::write_png_rgba(run + "/gfx/damagetexture.png", damage_texture()), "gfx/damagetexture.png");

    // Images the engine's test suites load.
    check(assets::write_png_rgba(run + "/gfx/test/quadrants.png", quadrant_texture()), "gfx/test/quadrants.png");
    check(assets::write_png_rgb(run + "/gfx/test/odd_width_rgb.png", odd_width_texture()),
          "gfx/test/odd_width_rgb.png");
    check(assets::write_png_palette(run + "/gfx/test/palette.png", palette_texture()), "gfx/test/palette.png");
    check(assets::write_png_rgba(run + "/gfx/test/npot_100x60.png", gradient_texture(100, 60)),
          "gfx/test/npot_100x60.png");
    check(assets::write_png_rgba(run + "/gfx/test/bordered.png", bordered_texture()), "gfx/test/bordered.png");

    uint32_t seed = 1;
    for (const SoundRecipe& recipe : sound_recipes()) {
        std::string path = run + "/snd/" + recipe.file;
        check(assets::write_wav(path, synthesize(recipe, seed++), kSampleRate), path);
    }

    check(assets::write_level_assets(run), "level templates, backgrounds and gfx/dummy.png");

    check(assets::write_widget_assets(run), "widget skins under gfx/ and gfx/partEd/");
    check(assets::write_entity_assets(run), "player, item, weapon, projectile, portal and sweetroll images");
    check(assets::write_match_screen_assets(run), "load screen, panel and spawn marker");

    // Last: it works from inside the run folder.
    check(assets::write_particle_assets(run), "gfx/particles.vp");
    return ok ? 0 : 1;
}
