#include "engine/particles/particle_engine.h"

#include <bit>
#include <cmath>

#include "engine/core/logger.h"
#include "engine/core/random.h"

namespace {

constexpr float kMassEpsilon = 1e-5f;

}  // namespace

float FloatRange::draw() const { return float(random_draw()) / 32767.0f * (max - min) + min; }

// --- ParticleEffectSettings ------------------------------------------------------------------

ParticleEffectSettings::ParticleEffectSettings(ivec2d position_, FloatRange spawn_dx_, FloatRange spawn_dy_,
                                               FloatRange size_factor_, float scale_factor_, FloatRange ejection_angle_,
                                               FloatRange alpha_, FloatRange ejection_force_,
                                               FloatRange rotation_speed_, FloatRange mass_factor_, fvec2d gravity_,
                                               ivec2d gravity_center_, float gravity_to_center_, float friction_,
                                               float life_time_, float fade_in_time_, float fade_out_time_,
                                               ParticleUpdateHook update_hook_, bool is_static_)
    : position(position_),
      spawn_dx(spawn_dx_),
      spawn_dy(spawn_dy_),
      size_factor(size_factor_),
      scale_factor(scale_factor_),
      ejection_angle(ejection_angle_),
      alpha(alpha_),
      ejection_force(ejection_force_),
      rotation_speed(rotation_speed_),
      mass_factor(mass_factor_),
      gravity(gravity_),
      gravity_center(gravity_center_),
      gravity_to_center(gravity_to_center_),
      friction(friction_),
      life_time(life_time_),
      fade_in_time(fade_in_time_),
      fade_out_time(fade_out_time_),
      update_hook(update_hook_),
      is_static(is_static_) {}

FloatRange ParticleEffectSettings::get_spare_range() const {
    return {std::bit_cast<float>(position.x), std::bit_cast<float>(position.y)};
}

void ParticleEffectSettings::set_spare_range(FloatRange range) {
    position = {std::bit_cast<int32_t>(range.min), std::bit_cast<int32_t>(range.max)};
}

// --- CParticleSprite -------------------------------------------------------------------------

CParticleSprite::CParticleSprite(CSprite* parent_) : CImageSpriteEx(parent_) {}

bool CParticleSprite::is_finished() {
    // A life that has started ends when the age reaches it; NaN ages count as ended.
    return CImageSpriteEx::is_finished() || (!(age < 0) && !(age < life));
}

float CParticleSprite::get_mass() { return mass; }
void CParticleSprite::set_mass(float m) { mass = m; }
fvec2d CParticleSprite::get_velocity() { return velocity; }
void CParticleSprite::set_velocity(fvec2d v) { velocity = v; }
float CParticleSprite::get_angular_velocity() { return angular_velocity; }
void CParticleSprite::set_angular_velocity(float v) { angular_velocity = v; }
bool CParticleSprite::is_frozen() { return frozen; }
void CParticleSprite::set_frozen(bool f) { frozen = f; }

void CParticleSprite::start_life(float growth_, float life_, float fade_in_, float fade_out_) {
    if (age < 0) {
        base_alpha = get_alpha();
        base_width = get_width();
        base_height = get_height();
    }
    if (!(life_ > 0)) {
        // No life to live: finished at once and never shown, rather than never starting (a
        // particle that never starts would never finish either).
        set_alpha(0);
        life = 0;
        fade_in = 0;
        fade_out = 0;
        growth = growth_;
        age = 0;
        return;
    }
    if (fade_in_ > 0) set_alpha(0);
    life = life_;
    fade_in = fade_in_;
    fade_out = fade_out_;
    growth = growth_;
    age = 0;
}

void CParticleSprite::on_update(float dt) {
    if (!frozen) {
        move_by(velocity.x * dt, velocity.y * dt);
        rotate_by(angular_velocity * dt);
    }
    if (age < 0 || !(age < life)) {
        if (!(age < 0) && get_alpha() != 0) set_alpha(0);
        return;
    }
    if (age < fade_in && fade_in <= age + dt) set_alpha(base_alpha);
    age += dt;
    if (!(age < life)) {
        // The life ended in this step: the particle is finished and not drawn again.
        set_alpha(0);
    } else if (fade_in > 0 && age <= fade_in) {
        set_alpha(age / fade_in * base_alpha);
    } else if (fade_out > 0 && life - fade_out <= age && age <= life) {
        set_alpha((life - age) / fade_out * base_alpha);
    }
    const float g = age / life * growth + 1;
    const float w0 = get_width(), h0 = get_height();
    set_width(g * base_width);
    set_height(g * base_height);
    set_x(get_x() + (w0 - get_width()) * 0.5f);
    set_y(get_y() + (h0 - get_height()) * 0.5f);
}

void CParticleSprite::attract(fvec2d point, float strength, float dt) {
    const fvec2d c(get_x() + get_width() * 0.5f, get_y() + get_height() * 0.5f);
    if (point == c) return;
    const fvec2d d = point - c;
    const float len = std::sqrt(d.x * d.x + d.y * d.y);
    if (std::fabs(mass) > kMassEpsilon) velocity += d / len * strength / mass * dt;
}

void CParticleSprite::apply_friction(float strength, float dt) {
    if (velocity.x == 0 && velocity.y == 0) return;
    const float speed = velocity.length();
    const float slowing = strength * dt;
    // Friction that would stop the particle within the step stops it; a massless particle is
    // stopped by any friction at all.
    const bool stops = mass != 0 ? speed < std::fabs(slowing / mass) : slowing != 0;
    if (stops) {
        velocity = {0, 0};
    } else if (std::fabs(mass) > kMassEpsilon) {
        velocity += velocity / speed * strength * -1.0f / mass * dt;
    }
}

// --- CParticleEngine -------------------------------------------------------------------------

CParticleEngine::CParticleEngine(CSprite* parent_) : CSprite(parent_) {
    log_message(LogLevel::Status, "Instance created.", log_class_name_of(*this));
}

CParticleEngine::~CParticleEngine() {
    clear_effects();
    log_message(LogLevel::Status, "Instance removed.", log_class_name_of(*this));
}

int32_t CParticleEngine::add_effect() {
    for (std::size_t i = 0; i < effects.size(); ++i) {
        if (!effects[i]) {
            effects[i] = new ParticleEffect();
            return int32_t(i);
        }
    }
    effects.push_back(new ParticleEffect());
    return int32_t(effects.size()) - 1;
}

ParticleEffect* CParticleEngine::get_effect(int32_t index) {
    if (index < 0 || index >= int32_t(effects.size())) return nullptr;
    return effects[std::size_t(index)];
}

std::size_t CParticleEngine::live_particle_count() const {
    std::size_t count = 0;
    for (const ParticleEffect* effect : effects)
        if (effect) count += effect->particles.size();
    return count;
}

bool CParticleEngine::may_spawn() const {
    return spawned_since_update_ < limits.spawns_per_update && live_particle_count() < limits.live;
}

void CParticleEngine::spawn_particle(ParticleEffect* effect, float x_, float y_, float angle) {
    if (!effect || !effect->settings) return;
    ParticleEffectSettings& s = *effect->settings;
    if (s.prototypes.empty() || !may_spawn()) return;
    ++spawned_since_update_;
    const int pick = random_draw() % int(s.prototypes.size());
    const CParticleSprite* prototype = s.prototypes[std::size_t(pick)];
    if (!prototype) return;
    auto* p = new CParticleSprite(*prototype);
    effect->particles.push_back(p);
    p->set_parent(this);

    const float f = s.size_factor.draw();
    p->set_width(p->get_width() * f);
    p->set_height(p->get_height() * f);
    p->set_x(s.spawn_dx.draw() + x_ - p->get_width() * 0.5f);
    p->set_y(s.spawn_dy.draw() + y_ - p->get_height() * 0.5f);
    p->set_alpha(s.alpha.draw());
    p->set_mass(p->get_mass() * s.mass_factor.draw());
    p->set_angular_velocity(s.rotation_speed.draw());
    const float a = s.ejection_angle.draw() + angle;
    p->set_rotation(p->get_rotation() - a);

    const float force = s.ejection_force.draw();
    const float r = a / 180.0f * 3.1415927f;
    fvec2d impulse(std::sin(r) * force, -(std::cos(r) * force));
    const float m = p->get_mass();
    if (m < 0) impulse = impulse * -1.0f;
    if (std::fabs(m) > kMassEpsilon) p->set_velocity(p->get_velocity() + impulse / m);

    p->start_life(s.scale_factor, s.life_time, s.fade_in_time, s.fade_out_time);
}

void CParticleEngine::spawn_effect(int32_t index, int32_t count, float duration, float x_, float y_, float angle) {
    if (count <= 0) return;
    if (index == -1) {
        for (int32_t i = 0; i < int32_t(effects.size()); ++i) {
            spawn_effect(i, count, duration, x_, y_, angle);
        }
        return;
    }
    ParticleEffect* effect = get_effect(index);
    if (!effect) return;
    if (duration > 0) {
        if (emitters.size() < limits.emitters) emitters.push_back({count, 0, duration, 0, index, x_, y_, angle});
        return;
    }
    for (int32_t i = 0; i < count && may_spawn(); ++i) spawn_particle(effect, x_, y_, angle);
}

void CParticleEngine::spawn_effect_at_settings_position(int32_t index, int32_t count, float duration) {
    if (count <= 0) return;
    if (index == -1) {
        for (int32_t i = 0; i < int32_t(effects.size()); ++i) {
            spawn_effect_at_settings_position(i, count, duration);
        }
        return;
    }
    ParticleEffect* effect = get_effect(index);
    // An effect without settings has no position to spawn at (and nothing to spawn).
    if (!effect || !effect->settings) return;
    const ivec2d at = effect->settings->position;
    spawn_effect(index, count, duration, float(at.x), float(at.y), 0);
}

void CParticleEngine::remove_effect(int32_t index) {
    ParticleEffect* effect = get_effect(index);
    if (!effect) return;
    for (CParticleSprite* p : effect->particles) delete p;
    effect->particles.clear();
    if (effect->owns_settings && effect->settings) {
        for (CParticleSprite* p : effect->settings->prototypes) delete p;
        delete effect->settings;
    }
    delete effect;
    effects[std::size_t(index)] = nullptr;
}

void CParticleEngine::remove_finished_particles() {
    for (int32_t i = int32_t(effects.size()) - 1; i >= 0; --i) {
        ParticleEffect* effect = effects[std::size_t(i)];
        if (!effect) continue;
        std::vector<CParticleSprite*>& list = effect->particles;
        for (std::size_t j = list.size(); j-- > 0;) {
            if (list[j]->is_finished()) {
                delete list[j];
                list.erase(list.begin() + std::ptrdiff_t(j));
            }
        }
        if (list.empty() && !effect->keep_when_empty) remove_effect(i);
    }
}

void CParticleEngine::clear_effects() {
    for (int32_t i = 0; i < int32_t(effects.size()); ++i) remove_effect(i);
    log_message(LogLevel::Status, "All particle effects removed.", log_class_name_of(*this));
}

void CParticleEngine::draw(SDL_Surface* screen) {
    if (!is_visible()) return;
    for (ParticleEffect* effect : effects) {
        if (!effect) continue;
        for (CParticleSprite* p : effect->particles) p->draw(screen);
    }
}

void CParticleEngine::update(float dt) {
    // Emitters: each spawns what its share of the elapsed time calls for.
    std::vector<std::size_t> spent;
    for (std::size_t e = 0; e < emitters.size(); ++e) {
        ParticleEmitter& emitter = emitters[e];
        ParticleEffect* effect = get_effect(emitter.effect_index);
        if (!effect) {
            spent.push_back(e);
            continue;
        }
        emitter.elapsed += dt;
        float due = emitter.elapsed / emitter.duration * float(emitter.count);
        if (!(due < float(emitter.count))) due = float(emitter.count);
        if (due < 0) due = 0;
        const int32_t n = int32_t(due) - emitter.spawned;
        // What the limits hold back now is due again at the next update.
        for (int32_t k = 0; k < n && emitter.spawned < emitter.count && may_spawn(); ++k) {
            spawn_particle(effect, emitter.x, emitter.y, emitter.angle);
            ++emitter.spawned;
        }
        if (emitter.spawned >= emitter.count) spent.push_back(e);
    }
    for (std::size_t k = spent.size(); k-- > 0;) {
        emitters.erase(emitters.begin() + std::ptrdiff_t(spent[k]));
    }

    // Motion: gravity, friction and the pull to the centre, then the particle's own update.
    for (std::size_t i = 0; i < effects.size(); ++i) {
        ParticleEffect* effect = effects[i];
        if (!effect || !effect->settings) continue;
        ParticleEffectSettings* s = effect->settings;
        if (!s->is_static) {
            const fvec2d centre(float(s->gravity_center.x), float(s->gravity_center.y));
            for (CParticleSprite* p : effect->particles) {
                const float m = p->get_mass();
                if (std::fabs(m) > kMassEpsilon) p->set_velocity(p->get_velocity() + s->gravity / m * dt);
                p->apply_friction(s->friction, dt);
                p->attract(centre, s->gravity_to_center, dt);
                p->update(dt);
            }
        }
        if (s->update_hook) s->update_hook(s, &effect->particles, dt);
    }

    if (++update_counter > 29) {
        update_counter = 0;
        remove_finished_particles();
    }
    spawned_since_update_ = 0;
}
