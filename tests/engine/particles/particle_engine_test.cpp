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

std::size_t live(CParticleEngine& engine, int32_t index) {
    return engine.get_effect(index)->particles.size();
}

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
    FloatRange flat{5, 5};
    EXPECT_EQ(flat.draw(), 5);
}

TEST(ParticleEngine, SpawnDrawsItsValuesInAFixedOrder) {
    FixedEffect fx;
    ParticleEffectSettings& s = fx.settings;
    s.size_factor = {1, 2};
    s.spawn_dx = {0, 10};
    s.spawn_dy = {0, 10};
    s.alpha = {0, 255};
    CParticleEngine engine;
    int32_t index = add(engine, s);
    random_seed(1);  // draws 41 (prototype), 18467 (size), 6334 (dx), 26500 (dy), 19169 (alpha)
    engine.spawn_effect(index, 1, 0, 100, 200, 0);
    ASSERT_EQ(live(engine, index), 1u);
    CParticleSprite* p = engine.get_effect(index)->particles[0];
    const float f = 1 + 18467 / 32767.0f;
    EXPECT_FLOAT_EQ(p->get_width(), 10 * f);
    EXPECT_FLOAT_EQ(p->get_x(), 6334 / 32767.0f * 10 + 100 - 10 * f * 0.5f);
    EXPECT_FLOAT_EQ(p->get_y(), 26500 / 32767.0f * 10 + 200 - 10 * f * 0.5f);
    EXPECT_FLOAT_EQ(p->get_alpha(), 19169 / 32767.0f * 255);
    EXPECT_EQ(p->get_parent(), &engine);
    EXPECT_EQ(p->get_age(), 0);
}

TEST(ParticleEngine, SpawnAtOnceOrSpreadOverTime) {
    FixedEffect fx;
    CParticleEngine engine;
    int32_t index = add(engine, fx.settings);
    engine.spawn_effect(index, 10, 0, 0, 0, 0);
    EXPECT_EQ(live(engine, index), 10u);
    EXPECT_TRUE(engine.get_emitters().empty());

    CParticleEngine spread;
    int32_t other = add(spread, fx.settings);
    fx.settings.life_time = 100;
    spread.spawn_effect(other, 10, 1.0f, 0, 0, 0);
    EXPECT_EQ(live(spread, other), 0u);
    ASSERT_EQ(spread.get_emitters().size(), 1u);
    std::vector<std::size_t> counts;
    for (int i = 0; i < 4; ++i) {
        std::size_t before = live(spread, other);
        spread.update(0.25f);
        counts.push_back(live(spread, other) - before);
    }
    EXPECT_EQ(counts, (std::vector<std::size_t>{2, 3, 2, 3}));
    EXPECT_TRUE(spread.get_emitters().empty());
}

TEST(ParticleEngine, IndexMinusOneSpawnsInEveryEffect) {
    FixedEffect a, b;
    CParticleEngine engine;
    int32_t ia = add(engine, a.settings);
    int32_t gap = engine.add_effect();
    int32_t ib = add(engine, b.settings);
    engine.remove_effect(gap);  // a free entry in the middle
    engine.spawn_effect(-1, 3, 0, 0, 0, 0);
    EXPECT_EQ(live(engine, ia), 3u);
    EXPECT_EQ(live(engine, ib), 3u);
    EXPECT_EQ(engine.add_effect(), gap);  // the free entry is reused
}

TEST(ParticleEngine, BadRequestsSpawnNothing) {
    FixedEffect fx;
    CParticleEngine engine;
    int32_t index = add(engine, fx.settings);
    engine.spawn_effect(index, 0, 0, 0, 0, 0);
    engine.spawn_effect(index, -4, 1, 0, 0, 0);
    engine.spawn_effect(7, 5, 0, 0, 0, 0);
    engine.spawn_effect(-2, 5, 0, 0, 0, 0);
    EXPECT_EQ(live(engine, index), 0u);
    EXPECT_TRUE(engine.get_emitters().empty());
    engine.remove_effect(9);
    engine.remove_effect(-1);

    int32_t bare = engine.add_effect();  // no settings yet
    engine.spawn_effect(bare, 3, 0, 0, 0, 0);
    EXPECT_EQ(live(engine, bare), 0u);
    ParticleEffectSettings empty;
    engine.get_effect(bare)->settings = &empty;
    engine.spawn_effect(bare, 3, 0, 0, 0, 0);
    EXPECT_EQ(live(engine, bare), 0u);
    engine.update(0.1f);  // neither the refused requests nor the bare effects left anything to run
    EXPECT_EQ(live(engine, index) + live(engine, bare), 0u);
    EXPECT_EQ(engine.get_effect_count(), 2);
    EXPECT_TRUE(engine.get_emitters().empty());
}

TEST(ParticleEngine, EmitterOfARemovedEffectIsDropped) {
    FixedEffect fx;
    CParticleEngine engine;
    int32_t index = add(engine, fx.settings);
    engine.spawn_effect(index, 10, 2.0f, 0, 0, 0);
    engine.remove_effect(index);
    engine.update(0.5f);
    EXPECT_TRUE(engine.get_emitters().empty());
}

TEST(ParticleEngine, EjectionImpulseDependsOnAngleAndMass) {
    FixedEffect fx;
    fx.prototype->set_mass(2);
    fx.settings.ejection_force = {100, 100};
    CParticleEngine engine;
    int32_t index = add(engine, fx.settings);
    engine.spawn_effect(index, 1, 0, 0, 0, 0);
    CParticleSprite* up = engine.get_effect(index)->particles[0];
    EXPECT_NEAR(up->get_velocity().x, 0, 1e-4f);
    EXPECT_NEAR(up->get_velocity().y, -50, 1e-4f);
    EXPECT_FLOAT_EQ(up->get_rotation(), 0);

    fx.settings.ejection_angle = {90, 90};
    engine.spawn_effect(index, 1, 0, 0, 0, 0);
    CParticleSprite* right = engine.get_effect(index)->particles[1];
    EXPECT_NEAR(right->get_velocity().x, 50, 1e-4f);
    EXPECT_NEAR(right->get_velocity().y, 0, 1e-4f);
    EXPECT_FLOAT_EQ(right->get_rotation(), -90);

    fx.prototype->set_mass(-2);  // a negative mass is thrown the same way
    engine.spawn_effect(index, 1, 0, 0, 0, 0);
    EXPECT_NEAR(engine.get_effect(index)->particles[2]->get_velocity().x, 50, 1e-4f);
}

TEST(ParticleEngine, FadeOutAndTheEndOfLife) {
    FixedEffect fx;
    fx.settings.fade_out_time = 0.5f;
    fx.settings.alpha = {200, 200};
    CParticleEngine engine;
    int32_t index = add(engine, fx.settings);
    engine.spawn_effect(index, 1, 0, 0, 0, 0);
    CParticleSprite* p = engine.get_effect(index)->particles[0];
    engine.update(0.25f);
    engine.update(0.25f);
    EXPECT_FLOAT_EQ(p->get_alpha(), 200);
    engine.update(0.25f);
    EXPECT_FLOAT_EQ(p->get_age(), 0.75f);
    EXPECT_FLOAT_EQ(p->get_alpha(), 100);
    EXPECT_FALSE(p->is_finished());
    engine.update(0.25f);  // the age lands exactly on the life time
    EXPECT_FLOAT_EQ(p->get_age(), 1.0f);
    EXPECT_TRUE(p->is_finished());
    EXPECT_EQ(p->get_alpha(), 0);
    // Deleted with the next compaction, every 30th update.
    for (int i = 4; i < 29; ++i) engine.update(0.25f);
    EXPECT_EQ(live(engine, index), 1u);
    engine.update(0.25f);
    EXPECT_EQ(live(engine, index), 0u);
    EXPECT_NE(engine.get_effect(index), nullptr);  // kept when empty
}

TEST(ParticleEngine, FadeInStartsInvisible) {
    FixedEffect fx;
    fx.settings.fade_in_time = 0.5f;
    fx.settings.alpha = {200, 200};
    CParticleEngine engine;
    int32_t index = add(engine, fx.settings);
    engine.spawn_effect(index, 1, 0, 0, 0, 0);
    CParticleSprite* p = engine.get_effect(index)->particles[0];
    EXPECT_EQ(p->get_alpha(), 0);
    engine.update(0.25f);
    EXPECT_FLOAT_EQ(p->get_alpha(), 100);
    engine.update(0.5f);  // the fade-in ends within the step
    EXPECT_FLOAT_EQ(p->get_alpha(), 200);
}

TEST(ParticleEngine, LifeOfZeroOrLessEndsAtOnce) {
    for (float life : {0.0f, -1.0f, std::nanf("")}) {
        FixedEffect fx;
        fx.settings.life_time = life;
        CParticleEngine engine;
        int32_t index = add(engine, fx.settings);
        engine.spawn_effect(index, 2, 0, 0, 0, 0);
        for (CParticleSprite* p : engine.get_effect(index)->particles) {
            EXPECT_TRUE(p->is_finished()) << life;
            EXPECT_EQ(p->get_alpha(), 0) << life;
        }
        for (int i = 0; i < 30; ++i) engine.update(0.1f);
        EXPECT_EQ(live(engine, index), 0u) << life;
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
    FixedEffect fx(10, 20);
    fx.settings.scale_factor = 1.0f;
    CParticleEngine engine;
    int32_t index = add(engine, fx.settings);
    engine.spawn_effect(index, 1, 0, 50, 60, 0);
    CParticleSprite* p = engine.get_effect(index)->particles[0];
    auto centre = [p] { return fvec2d(p->get_x() + p->get_width() / 2, p->get_y() + p->get_height() / 2); };
    EXPECT_EQ(centre(), fvec2d(50, 60));
    engine.update(0.5f);
    EXPECT_FLOAT_EQ(p->get_width(), 15);
    EXPECT_FLOAT_EQ(p->get_height(), 30);
    EXPECT_NEAR(centre().x, 50, 1e-4f);
    EXPECT_NEAR(centre().y, 60, 1e-4f);
    engine.update(0.5f);
    EXPECT_FLOAT_EQ(p->get_width(), 20);
    EXPECT_NEAR(centre().y, 60, 1e-4f);
}

TEST(ParticleEngine, GravityFrictionAndThePullToTheCentre) {
    FixedEffect fx;
    fx.settings.gravity = {0, 100};
    fx.settings.life_time = 100;
    CParticleEngine engine;
    int32_t index = add(engine, fx.settings);
    engine.spawn_effect(index, 1, 0, 0, 0, 0);
    CParticleSprite* p = engine.get_effect(index)->particles[0];
    engine.update(0.5f);
    EXPECT_FLOAT_EQ(p->get_velocity().y, 50);
    EXPECT_FLOAT_EQ(p->get_y(), -5 + 25);  // moved by the new velocity

    p->set_velocity({3, 4});
    p->apply_friction(20, 0.1f);  // slows by 2 along the motion
    EXPECT_NEAR(p->get_velocity().x, 1.8f, 1e-5f);
    EXPECT_NEAR(p->get_velocity().y, 2.4f, 1e-5f);
    p->apply_friction(100, 0.1f);  // would reverse it: stops it
    EXPECT_EQ(p->get_velocity(), fvec2d(0, 0));
    p->set_mass(0);
    p->set_velocity({3, 4});
    p->apply_friction(1, 0.1f);  // massless: any friction stops it, no division by zero
    EXPECT_EQ(p->get_velocity(), fvec2d(0, 0));

    p->set_mass(2);
    p->set_position(0, 0);  // centre (5, 5)
    p->attract({5, 15}, 40, 0.5f);
    EXPECT_NEAR(p->get_velocity().x, 0, 1e-5f);
    EXPECT_NEAR(p->get_velocity().y, 10, 1e-5f);
    p->attract({5, 5}, 40, 0.5f);  // at the centre: nothing
    EXPECT_NEAR(p->get_velocity().y, 10, 1e-5f);
}

TEST(ParticleEngine, StaticEffectsNeitherMoveNorAgeButRunTheirHook) {
    FixedEffect fx;
    fx.settings.is_static = true;
    fx.settings.gravity = {0, 100};
    fx.settings.update_hook = counting_hook;
    CParticleEngine engine;
    int32_t index = add(engine, fx.settings);
    engine.spawn_effect(index, 2, 0, 0, 0, 0);
    CParticleSprite* p = engine.get_effect(index)->particles[0];
    g_hook_calls = 0;
    for (int i = 0; i < 5; ++i) engine.update(1.0f);
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
    EXPECT_TRUE(log.contains("STATUS in class CParticleEngine: Instance created."));
    EXPECT_TRUE(log.contains("STATUS in class CParticleEngine: All particle effects removed."));
    EXPECT_TRUE(log.contains("STATUS in class CParticleEngine: Instance removed."));
}

TEST(ParticleEngine, EmptyEffectsGoUnlessKept) {
    FixedEffect fx;
    fx.settings.life_time = 0.1f;
    CParticleEngine engine;
    int32_t kept = add(engine, fx.settings);
    int32_t dropped = add(engine, fx.settings);
    engine.get_effect(dropped)->keep_when_empty = false;
    engine.spawn_effect(-1, 2, 0, 0, 0, 0);
    for (int i = 0; i < 30; ++i) engine.update(0.1f);
    EXPECT_NE(engine.get_effect(kept), nullptr);
    EXPECT_EQ(engine.get_effect(dropped), nullptr);
    EXPECT_EQ(engine.get_effect_count(), 2);  // indexes stay
}

TEST(ParticleEngine, SpareRangeAndPositionAreTheSameBits) {
    ParticleEffectSettings s;
    EXPECT_EQ(s.position, (ivec2d{0, 0}));
    s.position = {int32_t(0x7FC01234), -7};  // a NaN payload as a float
    FloatRange r = s.get_spare_range();
    EXPECT_TRUE(std::isnan(r.min));
    s.set_spare_range(r);
    EXPECT_EQ(s.position.x, int32_t(0x7FC01234));
    EXPECT_EQ(s.position.y, -7);
    s.set_spare_range({1.5f, -2});
    EXPECT_EQ(s.position.x, std::bit_cast<int32_t>(1.5f));
}

TEST(ParticleEngine, SpawnAtTheSettingsPositionUsesEachEffectsOwnPosition) {
    FixedEffect a, b;
    a.settings.position = {100, 40};
    b.settings.position = {-30, 7};
    b.settings.ejection_angle = {0, 0};
    CParticleEngine engine;
    int32_t ia = add(engine, a.settings);
    int32_t gap = engine.add_effect();
    int32_t ib = add(engine, b.settings);
    engine.remove_effect(gap);
    engine.spawn_effect_at_settings_position(-1, 5, 0);
    ASSERT_EQ(live(engine, ia), 5u);
    ASSERT_EQ(live(engine, ib), 5u);
    for (auto [index, at] : {std::pair{ia, a.settings.position}, std::pair{ib, b.settings.position}}) {
        for (CParticleSprite* p : engine.get_effect(index)->particles) {
            EXPECT_FLOAT_EQ(p->get_x() + p->get_width() * 0.5f, float(at.x));
            EXPECT_FLOAT_EQ(p->get_y() + p->get_height() * 0.5f, float(at.y));
            EXPECT_FLOAT_EQ(p->get_rotation(), 0);
        }
    }

    CParticleEngine other;
    int32_t index = add(other, a.settings);
    int32_t bare = other.add_effect();  // no settings: nothing to spawn
    for (auto [i, count] : {std::pair{index, 0}, std::pair{index, -3}, std::pair{7, 5},
                            std::pair{-2, 5}, std::pair{bare, 5}}) {
        other.spawn_effect_at_settings_position(i, count, 0);
        other.spawn_effect_at_settings_position(i, count, 2.0f);
    }
    EXPECT_EQ(live(other, index) + live(other, bare), 0u);
    EXPECT_TRUE(other.get_emitters().empty());

    other.spawn_effect_at_settings_position(index, 10, 2.0f);
    EXPECT_EQ(live(other, index), 0u);
    ASSERT_EQ(other.get_emitters().size(), 1u);
    const ParticleEmitter& e = other.get_emitters()[0];
    EXPECT_EQ(e.count, 10);
    EXPECT_EQ(e.effect_index, index);
    EXPECT_FLOAT_EQ(e.duration, 2.0f);
    EXPECT_EQ(e.x, 100);
    EXPECT_EQ(e.y, 40);
    EXPECT_EQ(e.angle, 0);
}
