// Particle spawning, emitters, motion and life, headless.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "engine/core/random.h"
#include "engine/particles/particle_engine.h"
#include "support/media_test_support.h"
#include "support/sprite_test_support.h"

namespace {

// An effect whose draws are all fixed (min == max), with one prototype of the given size.
struct FixedEffect {
    ParticleEffectSettings settings;
    CParticleSprite* prototype = new CParticleSprite();

    FixedEffect(float w = 10, float h = 10) {
        prototype->set_size(w, h);
        settings.prototypes.push_back(prototype);
    }
    ~FixedEffect() {
        for (CParticleSprite* p : settings.prototypes) delete p;
    }
    FixedEffect(const FixedEffect&) = delete;
    FixedEffect& operator=(const FixedEffect&) = delete;
};

int32_t add(CParticleEngine& engine, ParticleEffectSettings& settings) {
    int32_t index = engine.add_effect();
    engine.get_effect(index)->settings = &settings;
    return index;
}

std::size_t live(CParticleEngine& engine, int32_t index) { return engine.get_effect(index)->particles.size(); }

// One fixed effect in an engine of its own; the engine goes before the settings it points to.
struct Rig {
    FixedEffect fx;
    CParticleEngine engine;
    int32_t index;
    explicit Rig(float w = 10, float h = 10) : fx(w, h), index(add(engine, fx.settings)) {}
    CParticleSprite* spawn(int32_t count = 1, float x = 0, float y = 0) {
        engine.spawn_effect(index, count, 0, x, y, 0);
        return engine.get_effect(index)->particles.back();
    }
    std::size_t live() { return ::live(engine, index); }
};

int g_hook_calls = 0;
std::size_t g_hook_particles = 0;
void counting_hook(ParticleEffectSettings*, std::vector<CParticleSprite*>* particles, float) {
    ++g_hook_calls;
    g_hook_particles = particles->size();
}

}  // namespace

TEST(ParticleEngine, RangesDrawFromTheSharedGenerator) {
    random_seed(1);
    FloatRange r{1, 2};
    EXPECT_FLOAT_EQ(r.draw(), 1 + 41 / 32767.0f);
    EXPECT_FLOAT_EQ(r.draw(), 1 + 18467 / 32767.0f);
    EXPECT_EQ((FloatRange{5, 5}.draw()), 5);
}

TEST(ParticleEngine, SpawnDrawsItsValuesInAFixedOrder) {
    Rig rig;
    ParticleEffectSettings& s = rig.fx.settings;
    s.size_factor = {1, 2};
    s.spawn_dx = s.spawn_dy = {0, 10};
    s.alpha = {0, 255};
    random_seed(1);  // draws 41 (prototype), 18467 (size), 6334 (dx), 26500 (dy), 19169 (alpha)
    CParticleSprite* p = rig.spawn(1, 100, 200);
    ASSERT_EQ(rig.live(), 1u);
    const float f = 1 + 18467 / 32767.0f;
    EXPECT_FLOAT_EQ(p->get_width(), 10 * f);
    EXPECT_FLOAT_EQ(p->get_x(), 6334 / 32767.0f * 10 + 100 - 10 * f * 0.5f);
    EXPECT_FLOAT_EQ(p->get_y(), 26500 / 32767.0f * 10 + 200 - 10 * f * 0.5f);
    EXPECT_FLOAT_EQ(p->get_alpha(), 19169 / 32767.0f * 255);
    EXPECT_EQ(p->get_parent(), &rig.engine);
    EXPECT_EQ(p->get_age(), 0);
}

TEST(ParticleEngine, SpawnAtOnceOrSpreadOverTime) {
    Rig now, spread;
    now.spawn(10);
    EXPECT_EQ(now.live(), 10u);
    EXPECT_TRUE(now.engine.get_emitters().empty());

    spread.fx.settings.life_time = 100;
    spread.engine.spawn_effect(spread.index, 10, 1.0f, 0, 0, 0);
    EXPECT_EQ(spread.live(), 0u);
    ASSERT_EQ(spread.engine.get_emitters().size(), 1u);
    std::vector<std::size_t> counts;
    for (int i = 0; i < 4; ++i) {
        std::size_t before = spread.live();
        spread.engine.update(0.25f);
        counts.push_back(spread.live() - before);
    }
    EXPECT_EQ(counts, (std::vector<std::size_t>{2, 3, 2, 3}));
    EXPECT_TRUE(spread.engine.get_emitters().empty());
}

TEST(ParticleEngine, BadRequestsSpawnNothing) {
    Rig rig;
    CParticleEngine& engine = rig.engine;
    int32_t bare = engine.add_effect();  // no settings yet
    // Index, count and the duration of the plain spawn; spawning at the settings' position tries both.
    for (auto [index, count, duration] :
         {std::tuple{rig.index, 0, 0.0f}, {rig.index, -4, 1.0f}, {7, 5, 0.0f}, {-2, 5, 0.0f}, {bare, 3, 0.0f}}) {
        engine.spawn_effect(index, count, duration, 0, 0, 0);
        for (float spread : {0.0f, 2.0f}) engine.spawn_effect_at_settings_position(index, count, spread);
    }
    EXPECT_EQ(rig.live() + live(engine, bare), 0u);
    EXPECT_TRUE(engine.get_emitters().empty());
    engine.remove_effect(9);
    engine.remove_effect(-1);
    ParticleEffectSettings empty;
    engine.get_effect(bare)->settings = &empty;
    engine.spawn_effect(bare, 3, 0, 0, 0, 0);
    EXPECT_EQ(live(engine, bare), 0u);
    engine.update(0.1f);  // neither the refused requests nor the bare effects left anything to run
    EXPECT_EQ(rig.live() + live(engine, bare), 0u);
    EXPECT_EQ(engine.get_effect_count(), 2);
    EXPECT_TRUE(engine.get_emitters().empty());
}

TEST(ParticleEngine, EmitterOfARemovedEffectIsDropped) {
    Rig rig;
    rig.engine.spawn_effect(rig.index, 10, 2.0f, 0, 0, 0);
    rig.engine.remove_effect(rig.index);
    rig.engine.update(0.5f);
    EXPECT_TRUE(rig.engine.get_emitters().empty());
}

TEST(ParticleEngine, EjectionImpulseDependsOnAngleAndMass) {
    Rig rig;
    rig.fx.settings.ejection_force = {100, 100};
    // mass, angle: velocity, rotation; a negative mass is thrown the same way
    const struct {
        float mass, angle;
        fvec2d velocity;
        float rotation;
    } rows[] = {{2, 0, {0, -50}, 0}, {2, 90, {50, 0}, -90}, {-2, 90, {50, 0}, -90}};
    for (const auto& row : rows) {
        rig.fx.prototype->set_mass(row.mass);
        rig.fx.settings.ejection_angle = {row.angle, row.angle};
        CParticleSprite* p = rig.spawn();
        EXPECT_NEAR(p->get_velocity().x, row.velocity.x, 1e-4f) << &row - rows;
        EXPECT_NEAR(p->get_velocity().y, row.velocity.y, 1e-4f) << &row - rows;
        EXPECT_FLOAT_EQ(p->get_rotation(), row.rotation) << &row - rows;
    }
}

TEST(ParticleEngine, FadeInFadeOutAndTheEndOfLife) {
    Rig out, in;
    out.fx.settings.fade_out_time = in.fx.settings.fade_in_time = 0.5f;
    out.fx.settings.alpha = in.fx.settings.alpha = {200, 200};
    CParticleSprite* p = out.spawn();
    for (int i = 0; i < 2; ++i) out.engine.update(0.25f);
    EXPECT_FLOAT_EQ(p->get_alpha(), 200);
    out.engine.update(0.25f);
    EXPECT_FLOAT_EQ(p->get_age(), 0.75f);
    EXPECT_FLOAT_EQ(p->get_alpha(), 100);
    EXPECT_FALSE(p->is_finished());
    out.engine.update(0.25f);  // the age lands exactly on the life time
    EXPECT_FLOAT_EQ(p->get_age(), 1.0f);
    EXPECT_TRUE(p->is_finished());
    EXPECT_EQ(p->get_alpha(), 0);
    // Deleted with the next compaction, every 30th update.
    for (int i = 4; i < 29; ++i) out.engine.update(0.25f);
    EXPECT_EQ(out.live(), 1u);
    out.engine.update(0.25f);
    EXPECT_EQ(out.live(), 0u);
    EXPECT_NE(out.engine.get_effect(out.index), nullptr);  // kept when empty

    p = in.spawn();
    EXPECT_EQ(p->get_alpha(), 0);
    in.engine.update(0.25f);
    EXPECT_FLOAT_EQ(p->get_alpha(), 100);
    in.engine.update(0.5f);  // the fade-in ends within the step
    EXPECT_FLOAT_EQ(p->get_alpha(), 200);
}

TEST(ParticleEngine, LifeOfZeroOrLessEndsAtOnce) {
    for (float life : {0.0f, -1.0f, std::nanf("")}) {
        Rig rig;
        rig.fx.settings.life_time = life;
        rig.spawn(2);
        for (CParticleSprite* p : rig.engine.get_effect(rig.index)->particles)
            EXPECT_TRUE(p->is_finished() && p->get_alpha() == 0) << life;
        for (int i = 0; i < 30; ++i) rig.engine.update(0.1f);
        EXPECT_EQ(rig.live(), 0u) << life;
    }
}

TEST(ParticleEngine, PrototypesAndFreshParticlesNeverFinish) {
    CParticleSprite prototype;
    EXPECT_EQ(prototype.get_age(), -1);
    prototype.update(1000);
    EXPECT_FALSE(prototype.is_finished());
    EXPECT_EQ(prototype.get_alpha(), 255);
    prototype.set_finished(true);  // the owner's flag still counts
    EXPECT_TRUE(prototype.is_finished());
}

TEST(ParticleEngine, GrowthKeepsTheParticleCentred) {
    Rig rig(10, 20);
    rig.fx.settings.scale_factor = 1.0f;
    CParticleSprite* p = rig.spawn(1, 50, 60);
    for (auto [dt, w, h] : {std::tuple{0.0f, 10.0f, 20.0f}, {0.5f, 15.0f, 30.0f}, {0.5f, 20.0f, 40.0f}}) {
        if (dt > 0) rig.engine.update(dt);
        EXPECT_FLOAT_EQ(p->get_width(), w);
        EXPECT_FLOAT_EQ(p->get_height(), h);
        const float slack = dt > 0 ? 1e-4f : 0.0f;  // exact at spawn
        EXPECT_NEAR(p->get_x() + p->get_width() / 2, 50, slack);
        EXPECT_NEAR(p->get_y() + p->get_height() / 2, 60, slack);
    }
}

TEST(ParticleEngine, GravityFrictionAndThePullToTheCentre) {
    Rig rig;
    rig.fx.settings.gravity = {0, 100};
    rig.fx.settings.life_time = 100;
    CParticleSprite* p = rig.spawn();
    rig.engine.update(0.5f);
    EXPECT_FLOAT_EQ(p->get_velocity().y, 50);
    EXPECT_FLOAT_EQ(p->get_y(), -5 + 25);  // moved by the new velocity

    // Friction slows along the motion; one that would reverse it, or any on a massless particle, stops it.
    const struct {
        float mass, friction;
        fvec2d after;
    } rows[] = {{1, 20, {1.8f, 2.4f}}, {1, 100, {0, 0}}, {0, 1, {0, 0}}};
    for (const auto& row : rows) {
        p->set_mass(row.mass);
        p->set_velocity({3, 4});
        p->apply_friction(row.friction, 0.1f);
        const float slack = row.after == fvec2d(0, 0) ? 0.0f : 1e-5f;  // a stop is exact
        EXPECT_NEAR(p->get_velocity().x, row.after.x, slack) << &row - rows;
        EXPECT_NEAR(p->get_velocity().y, row.after.y, slack) << &row - rows;
    }
    p->set_mass(2);
    p->set_position(0, 0);  // centre (5, 5)
    p->attract({5, 15}, 40, 0.5f);
    EXPECT_NEAR(p->get_velocity().x, 0, 1e-5f);
    EXPECT_NEAR(p->get_velocity().y, 10, 1e-5f);
    p->attract({5, 5}, 40, 0.5f);  // at the centre: nothing
    EXPECT_NEAR(p->get_velocity().y, 10, 1e-5f);
}

TEST(ParticleEngine, StaticEffectsNeitherMoveNorAgeButRunTheirHook) {
    Rig rig;
    rig.fx.settings.is_static = true;
    rig.fx.settings.gravity = {0, 100};
    rig.fx.settings.update_hook = counting_hook;
    CParticleSprite* p = rig.spawn(2);
    g_hook_calls = 0;
    for (int i = 0; i < 5; ++i) rig.engine.update(1.0f);
    EXPECT_EQ(p->get_age(), 0);
    EXPECT_EQ(p->get_y(), -5);
    EXPECT_EQ(p->get_velocity(), fvec2d(0, 0));
    EXPECT_EQ(g_hook_calls, 5);
    EXPECT_EQ(g_hook_particles, 2u);
}

TEST(ParticleEngine, EffectsThatOwnTheirSettingsFreeThem) {
    test_support::LogCapture log;
    int deleted = 0;
    struct Counted : CParticleSprite {
        int* counter;
        explicit Counted(int* c) : counter(c) {}
        ~Counted() override { ++*counter; }
    };
    {
        CParticleEngine engine;
        auto* settings = new ParticleEffectSettings();
        settings->prototypes.push_back(new Counted(&deleted));
        int32_t owned = add(engine, *settings);
        engine.get_effect(owned)->owns_settings = true;
        engine.get_effect(owned)->keep_when_empty = false;
        engine.spawn_effect(owned, 3, 0, 0, 0, 0);
        EXPECT_EQ(live(engine, owned), 3u);
        engine.remove_effect(owned);  // the live copies, the prototype and the record
        EXPECT_EQ(deleted, 1);
        EXPECT_EQ(engine.get_effect(owned), nullptr);
    }
    for (const char* event : {"Instance created.", "All particle effects removed.", "Instance removed."})
        EXPECT_TRUE(log.contains(std::string("STATUS in class CParticleEngine: ") + event)) << event;
}

TEST(ParticleEngine, EmptyEffectsGoUnlessKept) {
    Rig rig;
    rig.fx.settings.life_time = 0.1f;
    int32_t dropped = add(rig.engine, rig.fx.settings);
    rig.engine.get_effect(dropped)->keep_when_empty = false;
    rig.engine.spawn_effect(-1, 2, 0, 0, 0, 0);
    for (int i = 0; i < 30; ++i) rig.engine.update(0.1f);
    EXPECT_NE(rig.engine.get_effect(rig.index), nullptr);
    EXPECT_EQ(rig.engine.get_effect(dropped), nullptr);
    EXPECT_EQ(rig.engine.get_effect_count(), 2);  // indexes stay
}

TEST(ParticleEngine, SpareRangeAndPositionAreTheSameBits) {
    ParticleEffectSettings s;
    EXPECT_EQ(s.position, (ivec2d{0, 0}));
    s.position = {int32_t(0x7FC01234), -7};  // a NaN payload as a float
    FloatRange r = s.get_spare_range();
    EXPECT_TRUE(std::isnan(r.min));
    s.set_spare_range(r);
    EXPECT_EQ(s.position, (ivec2d{int32_t(0x7FC01234), -7}));
    s.set_spare_range({1.5f, -2});
    EXPECT_EQ(s.position.x, std::bit_cast<int32_t>(1.5f));
}

TEST(ParticleEngine, IndexMinusOneSpawnsInEveryEffectAtItsOwnPosition) {
    FixedEffect a, b;
    a.settings.position = {100, 40};
    b.settings.position = {-30, 7};
    b.settings.ejection_angle = {0, 0};
    CParticleEngine engine;
    int32_t ia = add(engine, a.settings);
    int32_t gap = engine.add_effect();
    int32_t ib = add(engine, b.settings);
    engine.remove_effect(gap);  // a free entry in the middle
    engine.spawn_effect(-1, 3, 0, 0, 0, 0);
    engine.spawn_effect_at_settings_position(-1, 5, 0);
    for (auto [index, at] : {std::pair{ia, a.settings.position}, std::pair{ib, b.settings.position}}) {
        const auto& particles = engine.get_effect(index)->particles;
        ASSERT_EQ(particles.size(), 8u);
        for (std::size_t i = 3; i < particles.size(); ++i) {
            EXPECT_FLOAT_EQ(particles[i]->get_x() + particles[i]->get_width() * 0.5f, float(at.x));
            EXPECT_FLOAT_EQ(particles[i]->get_y() + particles[i]->get_height() * 0.5f, float(at.y));
            EXPECT_FLOAT_EQ(particles[i]->get_rotation(), 0);
        }
    }
    EXPECT_EQ(engine.add_effect(), gap);  // the free entry is reused
    // Spread over time: an emitter at the effect's position, nothing yet.
    EXPECT_TRUE(engine.get_emitters().empty());
    engine.spawn_effect_at_settings_position(ia, 10, 2.0f);
    EXPECT_EQ(live(engine, ia), 8u);
    ASSERT_EQ(engine.get_emitters().size(), 1u);
    const ParticleEmitter& e = engine.get_emitters()[0];
    EXPECT_EQ(std::tie(e.count, e.effect_index, e.x, e.y, e.angle), std::make_tuple(10, ia, 100.0f, 40.0f, 0.0f));
    EXPECT_FLOAT_EQ(e.duration, 2.0f);
}

TEST(ParticleEngine, AFloodOfRequestsStaysWithinTheLimitsAndSpreadSpawnsWaitForRoom) {
    Rig flood, spread;
    flood.fx.settings.life_time = spread.fx.settings.life_time = 100;
    const ParticleLimits& limits = flood.engine.limits;
    for (std::size_t frame = 1; frame <= 3; ++frame, flood.engine.update(0.016f)) {
        for (int i = 0; i < 1000; ++i) flood.spawn(4096);  // what one packet of a hostile server asks
        EXPECT_EQ(flood.live(), std::min(frame * limits.spawns_per_update, limits.live));
    }
    spread.engine.limits = {100, 10, 2};
    for (int i = 0; i < 3; ++i) spread.engine.spawn_effect(spread.index, 25, 0.01f, 0, 0, 0);
    EXPECT_EQ(spread.engine.get_emitters().size(), 2u);
    std::vector<std::size_t> counts;
    for (int i = 0; i < 5; ++i, counts.push_back(spread.live())) spread.engine.update(1.0f);
    EXPECT_EQ(counts, (std::vector<std::size_t>{10, 20, 30, 40, 50}));
    EXPECT_TRUE(spread.engine.get_emitters().empty());
}
