#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/scene/rotatable_sprite.h"

class CParticleSprite;
struct ParticleEffectSettings;

// A range values are drawn from with the process-wide generator:
// random_draw() / 32767 * (max - min) + min.
struct FloatRange {
    float min = 0, max = 0;
    float draw() const;
};

// Called after each update of an effect with its settings and its live particles.
using ParticleUpdateHook = void (*)(ParticleEffectSettings* settings, std::vector<CParticleSprite*>* particles,
                                    float dt);

// One effect description: the prototype particles a spawn copies and the ranges and constants
// that place, throw and move the copies. Copying a record copies the prototype pointers, not
// the sprites; whoever holds the record owns them.
struct ParticleEffectSettings {
    std::vector<CParticleSprite*> prototypes;
    // Two 32-bit words that files carry after the prototypes. The editor reads them as the
    // effect's spawn position; the game reads nothing from them. Kept bit for bit either way.
    ivec2d position;
    FloatRange spawn_dx;
    FloatRange spawn_dy;
    FloatRange size_factor{1, 1};
    // Growth over the life time: 1 doubles the size by the end.
    float scale_factor = 0;
    // Degrees added to the spawn angle; 0 throws upwards, 90 to the right.
    FloatRange ejection_angle;
    FloatRange alpha{255, 255};
    FloatRange ejection_force;
    // Degrees per second.
    FloatRange rotation_speed;
    FloatRange mass_factor{1, 1};
    fvec2d gravity;
    ivec2d gravity_center;
    float gravity_to_center = 0;
    float friction = 0;
    float life_time = 1.0f;
    float fade_in_time = 0;
    float fade_out_time = 0;
    // Never stored in files.
    ParticleUpdateHook update_hook = nullptr;
    // The engine neither moves nor ages the effect's particles.
    bool is_static = false;

    ParticleEffectSettings() = default;
    ParticleEffectSettings(ivec2d position, FloatRange spawn_dx, FloatRange spawn_dy, FloatRange size_factor,
                           float scale_factor, FloatRange ejection_angle, FloatRange alpha, FloatRange ejection_force,
                           FloatRange rotation_speed, FloatRange mass_factor, fvec2d gravity, ivec2d gravity_center,
                           float gravity_to_center, float friction, float life_time, float fade_in_time,
                           float fade_out_time, ParticleUpdateHook update_hook, bool is_static);

    // The same two words seen as a float range (min, max), as the game's engine names them.
    FloatRange get_spare_range() const;
    void set_spare_range(FloatRange range);
};

// One slot of the engine's effect table.
struct ParticleEffect {
    ParticleEffectSettings* settings = nullptr;  // set by the caller after add_effect
    std::vector<CParticleSprite*> particles;     // owned
    bool keep_when_empty = true;
    // Removing the effect then deletes the settings and their prototypes.
    bool owns_settings = false;
};

// A spawn spread over time.
struct ParticleEmitter {
    int32_t count = 0;
    int32_t spawned = 0;
    float duration = 0;
    float elapsed = 0;
    int32_t effect_index = 0;
    float x = 0, y = 0;
    float angle = 0;
};

// One particle: a turning image sprite that flies, spins, fades in and out and grows over its
// life. A prototype (never started) lives for ever; a started particle is finished once its
// age reaches its life time.
class CParticleSprite : public CImageSpriteEx {
public:
    explicit CParticleSprite(CSprite* parent = nullptr);
    CParticleSprite(const CParticleSprite&) = default;
    CParticleSprite& operator=(const CParticleSprite&) = default;

    bool is_finished() override;
    // Moves, turns, ages, fades and grows the particle; run by the image sprite's update.
    void on_update(float dt) override;

    virtual float get_mass();
    virtual void set_mass(float mass);
    virtual fvec2d get_velocity();
    virtual void set_velocity(fvec2d velocity);
    virtual float get_angular_velocity();
    virtual void set_angular_velocity(float degrees_per_second);
    virtual bool is_frozen();
    virtual void set_frozen(bool frozen);

    // Starts (or restarts) the life; the first start takes the current alpha and size as the
    // base that fading and growth work from. A life time of 0 or less ends the life at once.
    void start_life(float growth, float life, float fade_in, float fade_out);
    // Pulls the particle's centre towards the point.
    void attract(fvec2d point, float strength, float dt);
    void apply_friction(float strength, float dt);

    float get_age() const { return age; }
    float get_life() const { return life; }

protected:
    float mass = 1.0f;
    fvec2d velocity;
    float angular_velocity = 0;
    bool frozen = false;
    float base_alpha = 255;
    float base_width = 0;
    float base_height = 0;
    float growth = 0;
    float life = 1.0f;
    float fade_in = 0;
    float fade_out = 0;
    // Seconds lived; negative until the life starts.
    float age = -1;
};

// How much an engine takes on, whatever it is asked: far above what the game's effects reach in a
// big fight, so that only a flood of requests (from a hostile server, say) meets them. Beyond a
// bound a spawn at once is left out, and an emitter waits for a later update.
struct ParticleLimits {
    // Particles held, finished ones not yet deleted included.
    std::size_t live = 16384;
    // Particles spawned from the end of one update to the end of the next.
    std::size_t spawns_per_update = 8192;
    // Emitters waiting; a spawn spread over time beyond it is left out.
    std::size_t emitters = 4096;
};

// A sprite that keeps a table of effects (indexes stay valid; a null entry is free), spawns
// particles at once or spread over time, moves and draws them, and deletes finished ones
// every 30th update.
class CParticleEngine : public CSprite {
public:
    explicit CParticleEngine(CSprite* parent = nullptr);
    CParticleEngine(const CParticleEngine&) = delete;
    CParticleEngine& operator=(const CParticleEngine&) = delete;
    ~CParticleEngine() override;

    // A new empty effect in the first free entry, else appended; its index.
    int32_t add_effect();
    // The effect at the index, or null for an index outside the table or a free entry.
    ParticleEffect* get_effect(int32_t index);
    int32_t get_effect_count() const { return int32_t(effects.size()); }
    const std::vector<ParticleEmitter>& get_emitters() const { return emitters; }
    // Particles of every effect, finished ones not yet deleted included.
    std::size_t live_particle_count() const;

    // One particle copied from a random prototype and thrown from (x, y) at `angle` degrees;
    // nothing once a bound of the limits is reached.
    void spawn_particle(ParticleEffect* effect, float x, float y, float angle);
    // `count` particles of the effect (index -1: of every effect), all at once or, with a
    // duration above 0, spread over that many seconds.
    void spawn_effect(int32_t index, int32_t count, float duration, float x, float y, float angle);
    // As spawn_effect, from the effect's own stored position at angle 0 (the editor's preview).
    void spawn_effect_at_settings_position(int32_t index, int32_t count, float duration);
    void remove_effect(int32_t index);
    void remove_finished_particles();
    void clear_effects();

    void draw(SDL_Surface* screen) override;
    void update(float dt) override;

    ParticleLimits limits;

private:
    // Whether another particle is within the limits.
    bool may_spawn() const;

    std::vector<ParticleEffect*> effects;
    std::vector<ParticleEmitter> emitters;
    int32_t update_counter = 0;
    std::size_t spawned_since_update_ = 0;
};
