// The game's particle effects: images drawn here, and the effect file written through the
// engine's own particle writer, so that the file is exactly what the editor would save.
#include "tools/assets/particle_assets.h"

#include <cmath>
#include <cstdio>

#include "engine/gfx/texture_manager.h"
#include "engine/particles/particle_engine.h"
#include "engine/particles/particle_writer.h"
#include "platform/paths.h"

namespace assets {
namespace {

uint8_t byte_of(float v) { return uint8_t(std::lround(std::fmin(std::fmax(v, 0.0f), 255.0f))); }

float clamp01(float v) { return std::fmin(std::fmax(v, 0.0f), 1.0f); }

// A round blob whose colour runs from `inner` to `outer` and whose alpha falls off softly
// towards the rim; `hardness` above 1 keeps more of the core opaque.
Image soft_blob(int size, Rgba inner, Rgba outer, float hardness) {
    Image image(size, size);
    const float half = size * 0.5f;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float dx = (x + 0.5f - half) / half, dy = (y + 0.5f - half) / half;
            float r = std::sqrt(dx * dx + dy * dy);
            float t = clamp01(r);
            float a = std::pow(clamp01(1.0f - r), 1.0f / hardness);
            image.at(x, y) = {byte_of(inner.r + (outer.r - inner.r) * t), byte_of(inner.g + (outer.g - inner.g) * t),
                              byte_of(inner.b + (outer.b - inner.b) * t), byte_of(a * inner.a)};
        }
    }
    return image;
}

// A shape given by a signed coverage function (1 inside, 0 outside), with a soft edge.
template <typename Coverage>
Image shape(int w, int h, Rgba colour, Coverage coverage) {
    Image image(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // 4x4 samples per pixel for smooth edges.
            float sum = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    float u = (x + (sx + 0.5f) / 4) / w * 2 - 1;
                    float v = (y + (sy + 0.5f) / 4) / h * 2 - 1;
                    sum += coverage(u, v) ? 1.0f : 0.0f;
                }
            }
            Rgba p = colour;
            p.a = byte_of(colour.a * sum / 16);
            image.at(x, y) = p;
        }
    }
    return image;
}

Image plus_sign() {
    return shape(16, 16, {90, 230, 90, 255}, [](float u, float v) {
        return (std::fabs(u) < 0.25f && std::fabs(v) < 0.8f) || (std::fabs(v) < 0.25f && std::fabs(u) < 0.8f);
    });
}

Image sparkle() {
    return shape(16, 16, {220, 255, 210, 255}, [](float u, float v) {
        // A four-pointed star: |u|^0.5 + |v|^0.5 < 1.
        return std::sqrt(std::fabs(u)) + std::sqrt(std::fabs(v)) < 0.95f;
    });
}

Image heart() {
    return shape(16, 16, {255, 90, 150, 255}, [](float u, float v) {
        // The classic heart curve, y up: (x^2 + y^2 - 1)^3 - x^2 y^3 <= 0.
        float x = u * 1.25f, y = -v * 1.25f + 0.15f;
        float a = x * x + y * y - 1;
        return a * a * a - x * x * y * y * y <= 0;
    });
}

Image candy() {
    Image image = soft_blob(16, {255, 250, 250, 255}, {255, 120, 200, 255}, 4.0f);
    // Two pink stripes across the sweet.
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            if (((x + y) / 3) % 2 == 0 && image.at(x, y).a > 0) {
                image.at(x, y).g = 110;
                image.at(x, y).b = 170;
            }
        }
    }
    return image;
}

Image splinter() {
    return shape(16, 8, {170, 115, 55, 255}, [](float u, float v) {
        // A thin wedge, thick at the left end, pointed at the right.
        float half_thickness = 0.7f * (1 - (u + 1) * 0.5f) + 0.1f;
        return std::fabs(v) < half_thickness && std::fabs(u) < 0.95f;
    });
}

Image crumb(Rgba colour) {
    return shape(8, 8, colour, [](float u, float v) {
        float a = std::atan2(v, u);
        float r = 0.75f + 0.15f * std::sin(3 * a + 0.5f);
        return u * u + v * v < r * r;
    });
}

Image flame() {
    Image image(16, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            float dx = (x + 0.5f - 8) / 8, dy = (y + 0.5f - 8) / 8;
            float r = std::sqrt(dx * dx + dy * dy);
            float a = std::pow(clamp01(1 - r), 0.8f);
            // White-blue core, orange rim.
            float t = clamp01(r * 1.4f);
            image.at(x, y) = {byte_of(200 + 55 * t), byte_of(230 - 110 * t), byte_of(255 - 225 * t), byte_of(255 * a)};
        }
    }
    return image;
}

// --- effects -------------------------------------------------------------------------------

struct Prototype {
    const char* texture;
    float width, height;
    float mass;
};

struct EffectRecipe {
    const char* name;
    std::vector<Prototype> prototypes;
    ParticleEffectSettings settings;
};

ParticleEffectSettings make_settings(FloatRange spawn_dx, FloatRange spawn_dy, FloatRange size, float growth,
                                     FloatRange angle, FloatRange alpha, FloatRange force, FloatRange spin,
                                     fvec2d gravity, float friction, float life, float fade_in, float fade_out) {
    return ParticleEffectSettings({0, 0}, spawn_dx, spawn_dy, size, growth, angle, alpha, force, spin, {0.9f, 1.1f},
                                  gravity, {0, 0}, 0, friction, life, fade_in, fade_out, nullptr, false);
}

std::vector<EffectRecipe> effect_recipes() {
    const char* fire = "gfx\\particles\\fire.png";
    const char* smoke = "gfx\\particles\\smoke.png";
    const char* spark = "gfx\\particles\\spark.png";
    const char* blood = "gfx\\particles\\blood.png";
    const char* dust = "gfx\\particles\\dust.png";
    const char* dirt = "gfx\\particles\\dirt.png";
    const char* flame_image = "gfx\\particles\\flame.png";
    const char* plus = "gfx\\particles\\plus.png";
    const char* star = "gfx\\particles\\sparkle.png";
    const char* mist = "gfx\\particles\\cloak.png";
    const char* heart_image = "gfx\\particles\\heart.png";
    const char* candy_image = "gfx\\particles\\candy.png";
    const char* roll = "gfx\\particles\\roll_crumb.png";
    const char* wood = "gfx\\particles\\splinter.png";
    return {
        // 0: fire and smoke thrown out all round, slowing down, sinking a little.
        {"explosion",
         {{fire, 24, 24, 1}, {fire, 18, 18, 1}, {smoke, 26, 26, 1.5f}, {spark, 8, 8, 0.5f}},
         make_settings({-6, 6}, {-6, 6}, {0.8f, 1.5f}, 1.2f, {0, 360}, {200, 255}, {80, 260}, {-180, 180}, {0, 60}, 150,
                       0.6f, 0, 0.4f)},
        // 1: a short spray of red droplets that fall.
        {"hit",
         {{blood, 7, 7, 1}, {blood, 5, 5, 1}},
         make_settings({-3, 3}, {-3, 3}, {0.7f, 1.3f}, 0, {-70, 70}, {220, 255}, {60, 170}, {0, 0}, {0, 450}, 20, 0.4f,
                       0, 0.2f)},
        // 2: a dust puff with dirt crumbs.
        {"small blast",
         {{dust, 14, 14, 1}, {dirt, 5, 5, 0.6f}},
         make_settings({-3, 3}, {-3, 3}, {0.8f, 1.3f}, 0.6f, {0, 360}, {180, 240}, {30, 110}, {-90, 90}, {0, 200}, 60,
                       0.4f, 0, 0.25f)},
        // 3: small flames thrown downwards, shrinking.
        {"exhaust",
         {{flame_image, 10, 10, 1}},
         make_settings({-2, 2}, {-1, 1}, {0.7f, 1.1f}, -0.5f, {165, 195}, {200, 255}, {80, 150}, {-60, 60}, {0, 0}, 0,
                       0.3f, 0, 0.2f)},
        // 4: green plus signs and sparkles rising.
        {"heal",
         {{plus, 10, 10, 1}, {star, 9, 9, 1}},
         make_settings({-16, 16}, {-20, 10}, {0.8f, 1.3f}, 0, {-20, 20}, {200, 255}, {20, 50}, {-45, 45}, {0, -40}, 10,
                       0.8f, 0.1f, 0.4f)},
        // 5: a grey puff of smoke.
        {"cloak",
         {{mist, 24, 24, 1}},
         make_settings({-10, 10}, {-14, 14}, {0.8f, 1.5f}, 1.0f, {0, 360}, {120, 180}, {10, 50}, {-60, 60}, {0, -10},
                       30, 0.7f, 0.1f, 0.5f)},
        // 6: hearts, sweets and crumbs flying out.
        {"sweetroll burst",
         {{heart_image, 12, 12, 1}, {candy_image, 10, 10, 1}, {roll, 6, 6, 0.7f}},
         make_settings({-8, 8}, {-8, 8}, {0.8f, 1.4f}, 0, {0, 360}, {230, 255}, {100, 240}, {-360, 360}, {0, 300}, 20,
                       1.0f, 0, 0.4f)},
        // 7: wooden splinters thrown up, spinning and falling.
        {"crate",
         {{wood, 14, 7, 1}, {wood, 10, 5, 0.8f}},
         make_settings({-16, 16}, {-10, 10}, {0.8f, 1.3f}, 0, {-70, 70}, {230, 255}, {150, 300}, {-540, 540}, {0, 600},
                       10, 0.8f, 0, 0.3f)},
    };
}

}  // namespace

std::vector<ParticleImage> particle_images() {
    return {
        {"gfx\\particles\\fire.png", soft_blob(32, {255, 240, 150, 255}, {240, 90, 10, 255}, 1.6f)},
        {"gfx\\particles\\smoke.png", soft_blob(32, {90, 90, 90, 170}, {60, 60, 60, 170}, 1.0f)},
        {"gfx\\particles\\spark.png", soft_blob(16, {255, 255, 230, 255}, {255, 200, 60, 255}, 2.5f)},
        {"gfx\\particles\\blood.png", soft_blob(16, {200, 20, 20, 255}, {130, 0, 0, 255}, 3.0f)},
        {"gfx\\particles\\dust.png", soft_blob(16, {170, 150, 120, 200}, {120, 100, 80, 200}, 1.2f)},
        {"gfx\\particles\\dirt.png", crumb({100, 70, 40, 255})},
        {"gfx\\particles\\flame.png", flame()},
        {"gfx\\particles\\plus.png", plus_sign()},
        {"gfx\\particles\\sparkle.png", sparkle()},
        {"gfx\\particles\\cloak.png", soft_blob(32, {190, 190, 200, 200}, {140, 140, 155, 200}, 1.0f)},
        {"gfx\\particles\\heart.png", heart()},
        {"gfx\\particles\\candy.png", candy()},
        {"gfx\\particles\\roll_crumb.png", crumb({225, 170, 80, 255})},
        {"gfx\\particles\\splinter.png", splinter()},
    };
}

const std::vector<std::string>& particle_effect_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const EffectRecipe& recipe : effect_recipes()) list.push_back(recipe.name);
        return list;
    }();
    return names;
}

bool write_particle_assets(const std::string& run_folder) {
    bool ok = true;
    for (const ParticleImage& image : particle_images()) {
        std::string path = run_folder + "/" + image.path;
        for (char& c : path) {
            if (c == '\\') c = '/';
        }
        if (!write_png_rgba(path, image.image)) {
            std::fprintf(stderr, "brawl_assets: could not write %s\n", path.c_str());
            ok = false;
        }
    }
    if (!ok) return false;

    // Texture names in the file are relative to the run folder, as the game opens them.
    if (!platform::set_current_directory(run_folder)) {
        std::fprintf(stderr, "brawl_assets: cannot enter %s\n", run_folder.c_str());
        return false;
    }
    CTextureManager textures;
    ParticleLoader::ParticleFileTemplate document(&textures);
    for (const EffectRecipe& recipe : effect_recipes()) {
        ParticleEffectSettings settings = recipe.settings;
        for (const Prototype& p : recipe.prototypes) {
            CTexture* texture = textures.get_texture(true, false, p.texture);
            if (!texture->is_valid()) {
                std::fprintf(stderr, "brawl_assets: cannot load %s back\n", p.texture);
                ok = false;
            }
            auto* particle = new CParticleSprite();
            particle->set_texture(texture);
            particle->set_size(p.width, p.height);
            particle->set_mass(p.mass);
            settings.prototypes.push_back(particle);
        }
        document.events.push_back(settings);
        document.event_names.push_back(recipe.name);
    }
    ok = ok && ParticleLoader::save_file(document, "gfx\\particles.vp");
    if (!ok) std::fprintf(stderr, "brawl_assets: could not write gfx/particles.vp\n");
    for (ParticleEffectSettings& settings : document.events) {
        for (CParticleSprite* p : settings.prototypes) delete p;
    }
    return ok;
}

}  // namespace assets
