// Physics objects: the physics step, the pair response and the terrain pass on synthetic
// surfaces of material colours.
#include "game/terrain/qg_level.h"
#include "support/session_test_support.h"

#include <cmath>
#include <set>

using namespace session_test;

namespace {

class PhysicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        set_material_colors();
        gravity = {0.0f, 500.0f};
        step_height = 5;
        game = make_server_session();
    }

    // An object of the session that the tests move by hand (registered, never committed).
    RecordingPhys* box(ivec2d size, float bounce = 0.0f, bool is_static = false, float mass = 1.0f) {
        return game->spawn<RecordingPhys>(0, nullptr, size, is_static, mass, bounce);
    }

    // Moves the object from one place to another as a physics step would, then runs the
    // terrain pass.
    static void move(QGPhysObject* o, dvec2d from, dvec2d to) {
        o->previous_position = from;
        o->position = to;
        QGPhysObject::collide_with_terrain(o);
    }

    std::unique_ptr<QGGame> game;
};

}  // namespace

TEST_F(PhysicsTest, StepIntegratesGravityBuoyancyAndDrag) {
    QGPhysObject o(game.get(), 0, {4, 4}, false, 1.0f, 0.5f, 0.25f, 0.0f, 1, 1, 2.0f);
    o.position = {100.0f, 100.0f};
    o.velocity = {10.0f, 0.0f};
    o.submersion = 0.5f;
    o.on_ground = true;
    o.update(0.1f);
    // Gravity 50 and the water's lift of 50 cancel; the ground's drag takes 5 % of vx.
    EXPECT_EQ(o.previous_position, dvec2d(100.0f, 100.0f));
    EXPECT_FLOAT_EQ(o.velocity.y, 0.0f);
    EXPECT_FLOAT_EQ(o.position.x, 101.0f);
    EXPECT_FLOAT_EQ(o.velocity.x, 9.5f);
    // A whole pixel crossed clears the contact flags.
    EXPECT_FALSE(o.on_ground);

    // In the air the air drag applies.
    o.position = {10.2f, 10.2f};
    o.velocity = {2.0f, 0.0f};
    o.submersion = 0.0f;
    o.on_ground = false;
    o.on_ladder = true;
    o.update(0.1f);
    EXPECT_FLOAT_EQ(o.velocity.y, 50.0f - 50.0f * 0.25f * 0.1f);
    EXPECT_FLOAT_EQ(o.velocity.x, 2.0f - 2.0f * 0.25f * 0.1f);
    EXPECT_FLOAT_EQ(o.position.y, 15.2f);
    EXPECT_FALSE(o.on_ladder);

    // A climber on a ladder does not fall; a static object does not accelerate.
    QGPhysObject climber(game.get(), 0, {4, 4}, false, 1.0f, 0, 0, 0, 1, 1, 0);
    climber.can_climb = true;
    climber.on_ladder = true;
    climber.position = {5.5f, 5.5f};
    climber.update(0.1f);
    EXPECT_EQ(climber.velocity, dvec2d());
    QGPhysObject fixed(game.get(), 0, {4, 4}, true, 1.0f, 0, 0, 0, 1, 1, 3.0f);
    fixed.submersion = 1.0f;
    fixed.update(0.1f);
    EXPECT_EQ(fixed.velocity, dvec2d());
    // The gravity factor scales the pull.
    QGPhysObject feather(game.get(), 0, {4, 4}, false, 1.0f, 0, 0, 0, 1, 1, 0);
    feather.gravity_factor = 0.5f;
    feather.update(0.1f);
    EXPECT_FLOAT_EQ(feather.velocity.y, 25.0f);
}

TEST_F(PhysicsTest, LandingAndCeilingLeaveOneFreeRowAndBounceBack) {
    auto surface = make_surface(100, 100);
    fill(surface.get(), 0, 60, 100, 40, color_earth);
    game->terrain().set_surface(surface.get());
    auto* o = box({10, 10}, 0.5f);
    o->velocity = {0.0f, 300.0f};
    move(o, {20.0f, 45.0f}, {20.0f, 55.5f});
    // Rows 49 to 58 hold the box; row 59 stays free above the floor at row 60.
    EXPECT_EQ(o->position, dvec2d(20.0f, 49.0f));
    EXPECT_TRUE(o->on_ground);
    EXPECT_FLOAT_EQ(o->velocity.y, -150.0f);
    EXPECT_EQ(o->terrain_collisions, 1);
    EXPECT_EQ(o->last_terrain_impact, dvec2d(0.0f, 300.0f));
    EXPECT_FALSE(o->overlaps_terrain(20, 49, 10, 10, false));
    EXPECT_TRUE(o->overlaps_terrain(20, 51, 10, 10, false));

    // A fall within one pixel row is not swept at all.
    o->on_ground = false;
    move(o, {20.0f, 49.1f}, {20.0f, 49.9f});
    EXPECT_EQ(o->terrain_collisions, 1);
    EXPECT_FALSE(o->on_ground);

    // A ceiling stops a rise the same way.
    fill(surface.get(), 0, 0, 100, 28, color_rock);
    o->velocity = {0.0f, -200.0f};
    move(o, {40.0f, 35.0f}, {40.0f, 25.0f});
    EXPECT_EQ(o->position, dvec2d(40.0f, 29.0f));
    EXPECT_FLOAT_EQ(o->velocity.y, 100.0f);
    EXPECT_FALSE(o->on_ground);
}

TEST_F(PhysicsTest, WalkingRightStepsUpALowStepButAHighWallStops) {
    auto surface = make_surface(120, 100);
    fill(surface.get(), 0, 60, 120, 40, color_earth);
    fill(surface.get(), 40, 48, 80, 12, color_earth);  // a step 12 rows high from column 40
    game->terrain().set_surface(surface.get());
    // Three columns moved allow 15 rows; the box also sinks one row, as a walker under gravity does.
    auto* walker = box({10, 10});
    walker->velocity = {30.0f, 10.0f};
    move(walker, {28.0f, 49.0f}, {31.5f, 50.2f});
    EXPECT_EQ(walker->position, dvec2d(31.0f, 38.0f));  // standing on the step's top row 48
    EXPECT_TRUE(walker->on_ground);
    EXPECT_FLOAT_EQ(walker->velocity.x, 30.0f);
    EXPECT_FALSE(walker->overlaps_terrain(31, 38, 10, 10, false));

    // A wall 40 rows high in a level, painted through the session as the game writes its terrain.
    game->spawn<QGLevel>(0, LevelParameters{5, 7, 120, 100});  // the hills preset places nothing
    SessionTerrain& terrain = game->terrain();
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 120; ++x)
            terrain.set_pixel(x, y, y >= 60 ? color_earth : x >= 40 && y >= 20 ? color_destructible : color_air);
    auto* blocked = box({10, 10}, 0.5f);
    blocked->velocity = {30.0f, 0.0f};
    move(blocked, {28.0f, 49.0f}, {31.5f, 49.0f});
    // Stopped with one free column (39) before the wall at 40; vx reversed and scaled.
    EXPECT_EQ(blocked->position, dvec2d(29.0f, 49.0f));
    EXPECT_FLOAT_EQ(blocked->velocity.x, -15.0f);
    EXPECT_EQ(blocked->last_terrain_impact, dvec2d(30.0f, 0.0f));
    EXPECT_TRUE(blocked->on_ground);  // the floor below still holds it

    // Sinking a row while walking into the wall keeps the box above the floor.
    auto* diagonal = box({10, 10});
    diagonal->velocity = {30.0f, 10.0f};
    move(diagonal, {28.0f, 49.0f}, {31.5f, 50.2f});
    EXPECT_EQ(diagonal->position.x, 29.0f);
    EXPECT_LE(diagonal->position.y + 10.0f, 60.0f);
    EXPECT_FALSE(diagonal->overlaps_terrain(29, int(diagonal->position.y), 10, 10, false));

    terrain.explode({50.0f, 50.0f}, 25.0f);  // a blast through the wall opens the way
    move(blocked, {29.0f, 49.0f}, {33.5f, 49.0f});
    EXPECT_EQ(blocked->position, dvec2d(33.5f, 49.0f));
}

TEST_F(PhysicsTest, WalkingLeftIsTheMirrorImage) {
    auto surface = make_surface(120, 100);
    fill(surface.get(), 0, 60, 120, 40, color_earth);
    fill(surface.get(), 0, 20, 40, 40, color_rock);  // a wall up to column 39
    game->terrain().set_surface(surface.get());
    auto* o = box({10, 10}, 0.5f);
    o->velocity = {-30.0f, 0.0f};
    move(o, {43.0f, 49.0f}, {38.5f, 49.0f});
    // Stopped with one free column (40) after the wall at 39.
    EXPECT_EQ(o->position, dvec2d(41.0f, 49.0f));
    EXPECT_FLOAT_EQ(o->velocity.x, 15.0f);
    EXPECT_TRUE(o->on_ground);

    // A one-column move into the wall is seen too: the column entered is the one read.
    auto* slow = box({10, 10});
    slow->velocity = {-5.0f, 0.0f};
    move(slow, {40.0f, 49.0f}, {39.5f, 49.0f});
    EXPECT_GE(slow->position.x, 40.0f);
    EXPECT_EQ(slow->terrain_collisions, 1);
}

TEST_F(PhysicsTest, BoxBlockedAtItsFirstColumnStaysOnWholePixels) {
    auto surface = make_surface(100, 100);
    fill(surface.get(), 50, 0, 50, 100, color_indestructible);
    game->terrain().set_surface(surface.get());
    auto* o = box({10, 10});
    o->velocity = {5.0f, 0.0f};
    move(o, {40.0f, 20.0f}, {40.5f + 0.9f, 20.0f});
    // The span left is narrower than the box; it is centred in it (integer halves).
    EXPECT_EQ(o->position.x, 40.0f);
    EXPECT_EQ(o->terrain_collisions, 1);
}

TEST_F(PhysicsTest, PixelMaterialsAndTheLadderProbe) {
    auto surface = make_surface(50, 50);
    fill(surface.get(), 10, 0, 5, 50, color_ladder);
    fill(surface.get(), 30, 0, 5, 50, color_water);
    fill(surface.get(), 35, 0, 5, 50, color_staticwater);
    game->terrain().set_surface(surface.get());
    auto* o = box({4, 4});
    EXPECT_FALSE(o->overlaps_terrain(30, 5, 10, 4, false));
    EXPECT_FALSE(o->overlaps_terrain(10, 5, 4, 4, false));
    EXPECT_FALSE(o->on_ladder);
    EXPECT_FALSE(o->overlaps_terrain(10, 5, 4, 4, true));
    EXPECT_TRUE(o->on_ladder);
    for (ColorRGBA solid :
         {color_earth, color_rock, color_destructible, color_indestructible, color_explosive, ColorRGBA{1, 2, 3, 4}})
        EXPECT_TRUE(o->is_solid_pixel(solid, false));
    // Without bit 0 in the mask nothing is solid and the terrain pass does nothing.
    o->collision_mask = 0xfffe;
    EXPECT_FALSE(o->is_solid_pixel(color_rock, false));
    fill(surface.get(), 0, 40, 50, 10, color_rock);
    o->velocity = {0, 100};
    move(o, {20, 30}, {20, 45});
    EXPECT_EQ(o->position, dvec2d(20, 45));
    EXPECT_EQ(o->terrain_collisions, 0);

    // The ladder probe of a moving object sets on_ladder.
    auto* climber = box({4, 4});
    move(climber, {11.0f, 5.0f}, {11.0f, 7.0f});
    EXPECT_TRUE(climber->on_ladder);
    game->spawn<QGLevel>(0, LevelParameters{5, 7, 50, 50});  // also in a level painted after its mask was built
    for (int p = 0; p < 2500; ++p)
        game->terrain().set_pixel(p % 50, p / 50, p % 50 / 5 == 2 ? color_ladder : color_air);
    move(climber = box({4, 4}), {11.0f, 5.0f}, {11.0f, 7.0f});
    EXPECT_TRUE(climber->on_ladder);
}

TEST_F(PhysicsTest, BoxesAreShiftedIntoTheSurface) {
    auto surface = make_surface(20, 20);
    fill(surface.get(), 0, 0, 1, 1, color_rock);    // top-left corner
    fill(surface.get(), 19, 19, 1, 1, color_rock);  // bottom-right corner
    game->terrain().set_surface(surface.get());
    auto* o = box({4, 4});
    EXPECT_TRUE(o->overlaps_terrain(-50, -50, 3, 3, false));
    EXPECT_TRUE(o->overlaps_terrain(500, 500, 3, 3, false));
    EXPECT_FALSE(o->overlaps_terrain(5, 5, 3, 3, false));
    // A box larger than the surface is cut to it.
    EXPECT_TRUE(o->overlaps_terrain(3, 3, 100, 100, false));
    EXPECT_FALSE(o->overlaps_terrain(3, 3, 0, 5, false));
}

TEST_F(PhysicsTest, BoxTestAnswersAsAColumnByColumnReading) {
    // The box test reads rows whole for speed; its answer and its effect on on_ladder must be
    // those of reading x outer, y inner and stopping at the first solid pixel.
    auto surface = make_surface(12, 10);
    game->terrain().set_surface(surface.get());
    const ColorRGBA palette[] = {color_air, color_air, color_ladder, color_rock, color_water};
    uint32_t seed = 99;
    auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % uint32_t(n));
    };
    auto* probe = box({1, 1});
    for (int round = 0; round < 400; ++round) {
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) fill(surface.get(), x, y, 1, 1, palette[next(round % 3 == 0 ? 3 : 5)]);
        const int bx = next(16) - 2, by = next(14) - 2, bw = next(14), bh = next(12);
        const bool climbing = next(2) == 1;

        bool expected = false;
        bool expected_ladder = false;
        {
            const int x0 = std::max(bx <= 0 ? 0 : std::min(bx, 12 - bw), 0);
            const int y0 = std::max(by <= 0 ? 0 : std::min(by, 10 - bh), 0);
            for (int cx = x0; cx < std::min(x0 + bw, 12) && !expected; ++cx)
                for (int cy = y0; cy < std::min(y0 + bh, 10); ++cy) {
                    uint32_t v;
                    std::memcpy(&v, static_cast<uint8_t*>(surface->pixels) + cy * surface->pitch + cx * 4, 4);
                    const ColorRGBA c = ColorRGBA::from_pixel(v);
                    if (c == color_ladder && climbing) expected_ladder = true;
                    if (c == color_rock) {
                        expected = true;
                        break;
                    }
                }
        }
        probe->on_ladder = false;
        EXPECT_EQ(probe->overlaps_terrain(bx, by, bw, bh, climbing), expected) << "round " << round;
        EXPECT_EQ(probe->on_ladder, expected_ladder) << "round " << round;
    }
}

// The mask's search down a column from every start, across its words of 64 rows.
TEST_F(PhysicsTest, SolidMaskFindsTheFirstSolidRowBelowAnyStart) {
    auto surface = make_surface(1, 200);
    const std::set<int> rows = {0, 62, 64, 70, 128, 129, 190};
    for (int y : rows) fill(surface.get(), 0, y, 1, 1, color_rock);
    solid_terrain::SolidMask mask;
    mask.build(surface.get());
    for (int y = 0; y < 200; ++y) {
        const auto first = rows.lower_bound(y);  // below the limit 150, or the limit
        ASSERT_EQ(mask.next_solid(0, y, 150), first != rows.end() && *first < 150 ? *first : 150) << y;
    }
}

// Long moves skip the rows of air by the level's mask: they end where reading every row ends.
TEST_F(PhysicsTest, LongVerticalMovesEndAlikeOverTheLevelsMaskAndOverPlainPixels) {
    auto surface = make_surface(64, 256);
    auto next = [seed = 5u](int n) mutable { return int(((seed = seed * 1103515245u + 12345u) >> 16) % uint32_t(n)); };
    for (int i = 0; i < 60; ++i) fill(surface.get(), next(64), next(256), 1 + next(12), 1 + next(3), color_rock);
    auto plain = make_server_session();
    plain->terrain().set_surface(surface.get());
    make_level_of(*game, surface.get());
    QGPhysObject* pair[] = {box({1, 1}), plain->spawn<RecordingPhys>(0, nullptr, ivec2d{1, 1})};
    for (int round = 0; round < 500; ++round) {
        const dvec2d from(float(next(64)), float(next(256))), to(from.x + float(next(9) - 4), float(next(256)));
        const ivec2d size{1 + next(20), 1 + next(20)};
        for (QGPhysObject* o : pair) {
            o->size = size;
            move(o, from, to);
        }
        ASSERT_EQ(pair[0]->position, pair[1]->position) << round;
    }
}

TEST_F(PhysicsTest, MissingOrTooSmallSurfacesAreNeverReadOutside) {
    auto* o = box({30, 30}, 0.5f);
    o->velocity = {100, 100};
    // No terrain: nothing to meet, nothing read.
    move(o, {5, 5}, {40, 40});
    EXPECT_EQ(o->position, dvec2d(40, 40));
    EXPECT_FALSE(o->overlaps_terrain(0, 0, 30, 30, false));

    // A surface smaller than the object, all solid: every sweep stays inside it.
    auto tiny = make_surface(8, 6);
    fill(tiny.get(), 0, 0, 8, 6, color_rock);
    game->terrain().set_surface(tiny.get());
    EXPECT_TRUE(o->overlaps_terrain(0, 0, 30, 30, true));
    const dvec2d moves[][2] = {{{0, 0}, {40, 40}},  {{40, 40}, {-40, -40}}, {{-5, 3}, {3, -5}},
                               {{2, 2}, {2.5, 90}}, {{7, 1}, {-60, 1}},     {{1e9f, -1e9f}, {-1e9f, 1e9f}},
                               {{0, 0}, {NAN, 3}}};
    for (const auto& m : moves) {
        o->velocity = {50, -50};
        move(o, m[0], m[1]);
        EXPECT_FALSE(std::isnan(o->position.y));
    }

    // Objects of every size near every edge of a small mixed surface.
    auto mixed = make_surface(16, 12);
    fill(mixed.get(), 0, 8, 16, 4, color_earth);
    fill(mixed.get(), 6, 0, 2, 12, color_rock);
    game->terrain().set_surface(mixed.get());
    uint32_t seed = 12345;
    auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % uint32_t(n));
    };
    for (int i = 0; i < 3000; ++i) {
        auto* r = box({next(24), next(24)}, 0.5f);
        r->velocity = {float(next(200) - 100), float(next(200) - 100)};
        move(r, {float(next(60) - 20), float(next(60) - 20)}, {float(next(60) - 20), float(next(60) - 20)});
        game->remove_object(r->entity_id);
    }
}

TEST_F(PhysicsTest, EqualMassesShareTheSeparationEqually) {
    auto* a = box({10, 10}, 1.0f);
    auto* b = box({10, 10}, 1.0f);
    a->position = {0.0f, 0.0f};
    b->position = {8.0f, 0.0f};
    a->velocity = {5.0f, 0.0f};
    b->velocity = {-5.0f, 0.0f};
    QGPhysObject::collide_pair(a, b);
    // Side 0 (a goes left) with a depth of 2: each moves by 1.
    EXPECT_FLOAT_EQ(a->position.x, -1.0f);
    EXPECT_FLOAT_EQ(b->position.x, 9.0f);
    EXPECT_FLOAT_EQ(a->velocity.x, -5.0f);
    EXPECT_FLOAT_EQ(b->velocity.x, 5.0f);
    EXPECT_EQ(a->last_object_impact, dvec2d(10.0f, 0.0f));
    EXPECT_EQ(b->last_object_impact, dvec2d(10.0f, 0.0f));

    // A heavier b moves less.
    auto* c = box({10, 10}, 0.0f, false, 3.0f);
    auto* d = box({10, 10}, 0.0f, false, 1.0f);
    c->position = {0.0f, 0.0f};
    d->position = {0.0f, 6.0f};
    QGPhysObject::collide_pair(d, c);
    // d above c? d is below: side 3 (d must go down) with depth 4; d takes 3/4 of it.
    EXPECT_FLOAT_EQ(d->position.y, 9.0f);
    EXPECT_FLOAT_EQ(c->position.y, -1.0f);
    EXPECT_TRUE(c->on_ground);
    EXPECT_FALSE(d->on_ground);
}

TEST_F(PhysicsTest, SideTiesGoToTheFirstSideAndTouchingIsNoOverlap) {
    auto* a = box({10, 10});
    auto* b = box({10, 10});
    a->position = {0.0f, 0.0f};
    b->position = {5.0f, 5.0f};
    QGPhysObject::collide_pair(a, b);
    // The depths to the left and upwards are both 5: side 0 comes first, so a goes left.
    EXPECT_FLOAT_EQ(a->position.x, -2.5f);
    EXPECT_FLOAT_EQ(a->position.y, 0.0f);

    auto* e = box({10, 10});
    auto* f = box({10, 10});
    e->position = {0.0f, 0.0f};
    f->position = {10.0f, 0.0f};
    QGPhysObject::collide_pair(e, f);
    EXPECT_EQ(e->object_collisions, 0);
    EXPECT_EQ(f->position, dvec2d(10.0f, 0.0f));
}

TEST_F(PhysicsTest, StaticObjectsOnlyHearOfEachOtherOrPushTheMovingOne) {
    auto* s1 = box({10, 10}, 0.0f, true);
    auto* s2 = box({10, 10}, 0.0f, true);
    s1->position = {0, 0};
    s2->position = {5, 2};
    QGPhysObject::collide_pair(s1, s2);
    EXPECT_EQ(s1->object_collisions, 1);
    EXPECT_EQ(s2->object_collisions, 1);
    EXPECT_EQ(s1->position, dvec2d(0, 0));
    EXPECT_EQ(s2->position, dvec2d(5, 2));
    EXPECT_FALSE(s1->on_ground);

    // A falling box lands on a static platform (b static, side 2: a goes up).
    auto* faller = box({10, 10}, 1.0f);
    auto* platform = box({40, 10}, 0.0f, true);
    faller->position = {5, 2};
    faller->velocity = {0, 80};
    platform->position = {0, 10};
    QGPhysObject::collide_pair(faller, platform);
    EXPECT_EQ(faller->position, dvec2d(5, 0));
    EXPECT_FLOAT_EQ(faller->velocity.y, -40.0f);
    EXPECT_TRUE(faller->on_ground);
    EXPECT_EQ(platform->position, dvec2d(0, 10));

    // The same with the static one first (a static, b moves).
    auto* roof = box({40, 10}, 0.0f, true);
    auto* riser = box({10, 10}, 1.0f);
    roof->position = {0, 0};
    riser->position = {5, 8};
    riser->velocity = {0, -60};
    QGPhysObject::collide_pair(roof, riser);
    // Side 2 for roof (it must go up) means the riser goes below it.
    EXPECT_EQ(riser->position, dvec2d(5, 10));
    EXPECT_FLOAT_EQ(riser->velocity.y, 30.0f);
    EXPECT_EQ(roof->position, dvec2d(0, 0));
}

TEST_F(PhysicsTest, PlayersDoNotMeetPlayersButMeetTheTerrainAndOthers) {
    auto surface = make_surface(100, 100);
    fill(surface.get(), 0, 60, 100, 40, color_earth);
    game->terrain().set_surface(surface.get());
    auto* p1 = game->spawn<RecordingPhys>(0, nullptr, ivec2d{10, 10}, false, 1.0f, 0.0f, 2, 0xfff1);
    auto* p2 = game->spawn<RecordingPhys>(0, nullptr, ivec2d{10, 10}, false, 1.0f, 0.0f, 2, 0xfff1);
    auto* crate = game->spawn<RecordingPhys>(0, nullptr, ivec2d{10, 10}, false, 1.0f, 0.0f, 0x10, 0xffff);
    p1->position = {0, 0};
    p2->position = {5, 0};
    crate->position = {3, 3};
    QGPhysObject::collide_pair(p1, p2);
    EXPECT_EQ(p1->object_collisions + p2->object_collisions, 0);
    EXPECT_EQ(p2->position, dvec2d(5, 0));
    QGPhysObject::collide_pair(p1, crate);
    EXPECT_EQ(p1->object_collisions, 1);
    EXPECT_EQ(crate->object_collisions, 1);
    move(p1, {20, 45}, {20, 55});
    EXPECT_TRUE(p1->on_ground);
}

TEST_F(PhysicsTest, OneSidedInterestCallsOnlyThatSideAndMovesNothing) {
    auto* sensor = box({10, 10});
    auto* rock = box({10, 10});
    sensor->collision_mask = 0x4;
    rock->collision_group = 0x4;
    rock->collision_mask = 0;
    sensor->position = {0, 0};
    rock->position = {4, 0};
    QGPhysObject::collide_pair(sensor, rock);
    EXPECT_EQ(sensor->object_collisions, 1);
    EXPECT_EQ(rock->object_collisions, 0);
    EXPECT_EQ(sensor->position, dvec2d(0, 0));
    EXPECT_EQ(rock->position, dvec2d(4, 0));
}

TEST_F(PhysicsTest, WaterCoverageSetsSubmersion) {
    auto surface = make_surface(100, 100);
    game->terrain().set_surface(surface.get());
    struct Water {
        float answer = 0.0f;
        float query(float, float, float, float) { return answer; }
    } water;
    game->terrain().set_water_coverage(Callback<float, float, float, float, float>(&water, &Water::query));
    auto* o = box({10, 10});
    for (const auto& [answer, submersion] : {std::pair(0.4f, 0.4f), std::pair(7.0f, 1.0f), std::pair(NAN, 0.0f)}) {
        water.answer = answer;
        move(o, o->position, o->position + dvec2d(0.0f, 2.0f));
        EXPECT_FLOAT_EQ(o->submersion, submersion);
    }
    // A box held at rest on a floor still learns of the water rising around it.
    fill(surface.get(), 0, 50, 100, 50, color_earth);
    o->position = {10.0f, 39.0f};
    o->on_ground = o->simulate = true;
    water.answer = 0.6f;
    o->update(1.0f / 60.0f);
    EXPECT_FLOAT_EQ(o->submersion, 0.6f);
}

// Dropped boxes come to rest, bouncing or not, and hold still until their floor goes.
TEST_F(PhysicsTest, ServerStepLetsABoxFallAndRestStillOnTheFloor) {
    auto surface = make_surface(100, 100);
    game->terrain().set_surface(surface.get());
    for (const float bounce : {0.0f, 0.2f, 0.45f}) {
        fill(surface.get(), 0, 80, 100, 20, color_earth);
        auto* o = game->spawn<QGPhysObject>(0, ivec2d{8, 8}, false, 1.0f, 3.0f, 0.1f, bounce, 1, 1, 0.0f);
        o->position = {30.0f, 10.0f};
        for (const int floor : {80, 90}) {
            for (int i = 0; i < 120; ++i) game->update(1.0f / 60.0f);
            const dvec2d rested = o->position;
            for (int i = 0; i < 60; ++i, game->update(1.0f / 60.0f))
                ASSERT_TRUE(o->position == rested && o->velocity == dvec2d() && o->on_ground) << bounce;
            EXPECT_NEAR(o->position.y + 8.0f, floor - 0.5f, 0.5f);  // at most one free row under it
            fill(surface.get(), 20, 70, 30, 20, color_air);
        }
        game->remove_object(o->entity_id);
    }
}
