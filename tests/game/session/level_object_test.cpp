// The level object and its look: placement, its life on server and clients, sweetroll draws,
// particle effects, the view it fits and follows, and who owns the terrain surface.
#include "support/level_test_support.h"

#include <cmath>
#include <string>
#include <vector>

#include "engine/gfx/shader.h"
#include "engine/gfx/texture.h"
#include "engine/gfx/texture_manager.h"
#include "engine/particles/particle_engine.h"
#include "engine/scene/image_sprite.h"
#include "engine/scene/sprite_manager.h"
#include "game/drawing/game_drawing.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_sweetroll.h"
#include "game/entities/qg_weapon.h"

using namespace session_test;
using namespace level_test;

namespace {

ItemDefinition item_of(int type, int w, int h) {
    ItemDefinition d;
    d.type = type;
    d.collider_size = {w, h};
    return d;
}
WeaponDefinition weapon_of(int w, int h) {
    WeaponDefinition d;
    d.collider_size = {w, h};
    return d;
}

bool listens_for_effects(QGGame& g) { return g.event_handler->listener_count(EQGEventType::SpawnEffect) > 0; }

class Level : public LevelTest {
protected:
    void TearDown() override {
        chance_of_sweetroll = chance_before_;
        background_names = backgrounds_before_;
        camera_viewport_height = viewport_before_;
        LevelTest::TearDown();
    }

private:
    int chance_before_ = chance_of_sweetroll;
    std::vector<std::string> backgrounds_before_ = background_names;
    float viewport_before_ = camera_viewport_height;
};

// A client session without a connection drawing through its own sprite manager and shader
// factory (no window: GL calls do nothing). The drawing services outlive the session.
class DrawingClient : public Level {
protected:
    void SetUp() override {
        Level::SetUp();
        view = std::make_unique<CSpriteManager>();
        shaders = std::make_unique<CShaderFactory>();
        drawing = std::make_unique<GameDrawing>(view.get(), shaders.get(), nullptr);
        game = make_headless_client_session(nullptr, drawing.get());
    }
    void TearDown() override {
        game.reset();
        view->update(0.0f);
        shaders.reset();
        view.reset();
        Level::TearDown();
    }
    static LevelLook& look(QGLevel* level) { return *look_of<LevelLook>(level); }
    QGLevel* make_level(const LevelParameters& p, unsigned int id = 50) {
        auto* level = game->spawn<QGLevel>(id, p);
        game->flush_registrations();
        return level;
    }
    // As the server's removal does, at the end of a step.
    void remove_level() { game->remove_object(game->level->entity_id), game->registry().flush_removals(); }
    CTexture* dummy_texture(bool read_only = false, bool reload = false) {
        return view->get_texture_manager()->get_texture(read_only, reload, "gfx/dummy.png");
    }
    void set_view(float w, float h) { view->set_width(w), view->set_height(h); }

    std::unique_ptr<CSpriteManager> view;
    std::unique_ptr<CShaderFactory> shaders;
    std::unique_ptr<GameDrawing> drawing;
    std::unique_ptr<QGGame> game;
};

QGEvent effect_event(int id, int particles, float x = 10.0f, float y = 20.0f) {
    EffectSpawn e;
    e.effect_id = id;
    e.particles = particles;
    e.x = x;
    e.y = y;
    return make_event(EQGEventType::SpawnEffect, record_bytes(e), true);
}

size_t live_particles(CParticleEngine& engine) {
    size_t n = 0;
    for (int i = 0; i < engine.get_effect_count(); ++i)
        if (ParticleEffect* e = engine.get_effect(i)) n += e->particles.size();
    return n;
}

}  // namespace

// --- what goes where ---

TEST_F(Level, ItemsAndWeaponsThatFitAreChosenByTheDrawAndCentredInTheBox) {
    item_definitions = {item_of(0, 32, 32), item_of(1, 80, 20), item_of(2, 64, 64)};
    weapon_definitions = {weapon_of(70, 10), weapon_of(40, 20), weapon_of(60, 60)};
    const struct {
        const char* what;
        bool weapon;
        int x, y, w, h, draw;
        unsigned int definition;
        dvec2d position;
    } cases[] = {
        {"candidates 0 and 2: 7 modulo 2 picks the second", false, 100, 200, 64, 64, 7, 2, {100.0f, 200.0f}},
        {"and 6 the first, centred", false, 100, 200, 64, 64, 6, 0, {116.0f, 216.0f}},
        {"a box wide enough for the flat one only", false, 0, 0, 90, 30, 12345, 1, {5.0f, 5.0f}},
        {"odd leftovers are halved in float", false, 0, 0, 33, 33, 0, 0, {0.5f, 0.5f}},
        {"a draw below zero still names a candidate", false, 0, 0, 64, 64, -1, 2, {0.0f, 0.0f}},
        {"weapons from their own table", true, 10, 10, 64, 64, 3, 2, {12.0f, 12.0f}},
        {"weapons, the other candidate", true, 10, 10, 64, 64, 4, 1, {22.0f, 32.0f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto chosen = c.weapon ? choose_random_weapon(c.x, c.y, c.w, c.h, c.draw)
                               : choose_random_item(c.x, c.y, c.w, c.h, c.draw);
        ASSERT_TRUE(chosen);
        EXPECT_EQ(chosen->definition, c.definition);
        EXPECT_EQ(chosen->position, c.position);
    }
    EXPECT_FALSE(choose_random_item(0, 0, 31, 64, 3));
    item_definitions.clear();
    EXPECT_FALSE(choose_random_item(0, 0, 640, 640, 3));
    EXPECT_TRUE(choose_random_weapon(10, 10, 64, 64, 4));  // the weapons do not need the items
    weapon_definitions.clear();
    EXPECT_FALSE(choose_random_weapon(10, 10, 64, 64, 4));
}

TEST_F(Level, CratesTakeTheFirstCrateDefinitionAtTheCornerAndPortalsOnlySmallBoxes) {
    item_definitions = {item_of(0, 32, 32), item_of(2, 20, 20)};
    EXPECT_FALSE(choose_crate(5, 6));
    item_definitions = {item_of(0, 32, 32), item_of(3, 200, 200), item_of(3, 10, 10)};
    auto crate = choose_crate(5, 6);
    ASSERT_TRUE(crate);
    EXPECT_TRUE(crate->definition == 1u && crate->position == dvec2d(5.0f, 6.0f));
    portal_definition.collider_size = {100, 150};
    auto portal = choose_portal_position(30, 40, 64, 64);
    ASSERT_TRUE(portal);
    EXPECT_EQ(*portal, dvec2d(30.0f, 40.0f));
    EXPECT_TRUE(choose_portal_position(0, 0, 100, 150));
    EXPECT_FALSE(choose_portal_position(0, 0, 101, 150));
    portal_definition.collider_size = {48, 48};
    EXPECT_FALSE(choose_portal_position(30, 40, 64, 64));
}

// --- the level on each side ---

TEST_F(Level, ServerLevelBecomesTheSessionsTerrainAndItsRecordCarriesItsParameters) {
    auto game = make_server_session();
    const LevelParameters p = hills(300, 200);
    auto* level = game->spawn<QGLevel>(0, p);
    EXPECT_EQ(game->level, level);
    ASSERT_NE(level->surface(), nullptr);
    EXPECT_EQ(game->terrain().surface(), level->surface());
    EXPECT_TRUE(game->terrain().width() == 300 && game->terrain().height() == 200);
    EXPECT_EQ(level->look(), nullptr);
    EXPECT_EQ(level->water, nullptr);  // the session's generate_level builds it
    EXPECT_EQ(level->sweetroll_timer, 2.0f);
    EXPECT_FALSE(level->updates_while_paused() || level->reliable);
    // The server issued the id; every client builds its copy from the record.
    game->update(0.0f);
    ASSERT_EQ(game->registry().find_object(level->entity_id), level);
    EXPECT_EQ(game->registry().unreliable_objects().count(level->entity_id), 1u);
    auto records = events_of(*game->event_handler, EQGEventType::GenerateLevel);
    ASSERT_EQ(records.size(), 1u);
    LevelCreation record;
    ASSERT_TRUE(records[0].read(record));
    EXPECT_EQ(record.level_entity_id, level->entity_id);
    EXPECT_EQ(record.parameters, p);
    // The surface goes with the level.
    game->remove_object(level->entity_id);
    game->update(0.0f);
    EXPECT_TRUE(game->level == nullptr && game->terrain().surface() == nullptr);
    EXPECT_EQ(game->terrain().width(), 0);
}

TEST_F(Level, GeneratedLevelParametersAreBroughtIntoRangeAndASecondRecordIsIgnored) {
    auto game = make_server_session();
    LogCapture log;
    log_set_level(LogLevel::Status);
    LevelParameters hostile = hills(5000, 9);
    hostile.water_level = std::nanf("");
    hostile.octaves = 1000;
    hostile.scale_y = -3.0f;
    game->match_setup().generate_level(creation(hostile, 77));
    ASSERT_NE(game->level, nullptr);
    LevelParameters expected = hostile;
    EXPECT_GT(sanitize_level_parameters(expected, false), 0);
    EXPECT_EQ(game->level->parameters, expected);
    EXPECT_EQ(game->terrain().width(), 4096);
    EXPECT_NE(game->level->entity_id, 77u);
    EXPECT_TRUE(log.contains("Received level parameters, generating...") && log.contains("Level generation finished."));
    QGLevel* first = game->level;
    game->match_setup().generate_level(creation(hills(64, 64)));
    EXPECT_TRUE(game->level == first && game->terrain().width() == 4096);
    EXPECT_EQ(game->registry().pending_objects().size(), 3u);  // the event handler, the one level and its water
}

TEST_F(Level, HeadlessClientBuildsTheLevelFromItsRecordWithTheServersSurfaceAndNoLook) {
    const LevelParameters p = hills(400, 300, 99);
    SurfacePtr reference(generate_level_surface(nullptr, false, nullptr, p));
    ASSERT_TRUE(reference);
    auto client = make_headless_client_session();
    client->event_handler->dispatch(level_event(creation(p, 9)));
    ASSERT_NE(client->level, nullptr);
    EXPECT_EQ(client->level->entity_id, 9u);
    EXPECT_EQ(surface_hash(client->level->surface()), surface_hash(reference.get()));
    client->update(0.0f);
    EXPECT_EQ(client->registry().find_object(9), client->level);
    EXPECT_EQ(client->level->look(), nullptr);
    EXPECT_FALSE(listens_for_effects(*client));
    client->event_handler->dispatch(effect_event(0, 5));  // plays nowhere
    // A record for an id the client holds builds nothing.
    LogCapture log;
    client->event_handler->dispatch(level_event(creation(hills(64, 64), 9)));
    EXPECT_EQ(client->terrain().width(), 400);
    EXPECT_TRUE(log.contains("Ignored a creation record (type 5) for EntityID 9"));
}

TEST_F(Level, OnlyTheServerPlacesAndBothSidesDrawTheSameNumbers) {
    weapon_definitions = {weapon_of(32, 32)};
    item_definitions = {item_of(3, 40, 40)};
    LevelParameters swamp = hills(640, 480, 3);
    swamp.gen = 0;
    auto expect_placed = [](const LevelObject& o, LevelObjectKind kind, dvec2d position) {
        EXPECT_EQ(o.kind, kind);
        EXPECT_EQ(o.placement.definition, 0u);
        EXPECT_EQ(o.placement.position, position);
    };

    auto server = make_server_session();
    auto* on_server = server->spawn<QGLevel>(0, swamp);
    // The swamp asks for one weapon in the 64-pixel box at (288, 128); its green slots for crates.
    const std::vector<LevelObject> placed = on_server->placements;
    for (const LevelObject& o : placed) EXPECT_EQ(o.placement.definition, 0u);
    ASSERT_EQ(std::ranges::count(placed, LevelObjectKind::Weapon, &LevelObject::kind), 1);
    const auto weapon = std::ranges::find(placed, LevelObjectKind::Weapon, &LevelObject::kind);
    EXPECT_EQ(weapon->placement.position, dvec2d(288.0f + 16.0f, 128.0f + 16.0f));
    const int after_server = random_draw();
    auto client = make_headless_client_session();
    auto* on_client = client->spawn<QGLevel>(5, swamp);
    EXPECT_TRUE(on_client->placements.empty());
    EXPECT_EQ(random_draw(), after_server);
    EXPECT_EQ(surface_hash(on_client->surface()), surface_hash(on_server->surface()));
    // A client's callbacks answer false and note nothing.
    EXPECT_FALSE(on_client->place_random_weapon(0, 0, 64, 64, 1) || on_client->place_crate(0, 0, 64, 64, 1));
    EXPECT_TRUE(on_client->placements.empty());
    on_server->placements.clear();
    EXPECT_TRUE(on_server->place_crate(7, 8, 64, 64, 1));
    ASSERT_EQ(on_server->placements.size(), 1u);
    expect_placed(on_server->placements[0], LevelObjectKind::SpecialItem, {7.0f, 8.0f});
    portal_definition.collider_size = {64, 96};
    EXPECT_TRUE(on_server->place_portal(1, 2, 64, 64, 0));
    expect_placed(on_server->placements.back(), LevelObjectKind::Portal, {1.0f, 2.0f});
    EXPECT_FALSE(on_server->place_portal(1, 2, 65, 64, 0));
    EXPECT_FALSE(on_server->place_random_item(0, 0, 30, 30, 0));  // nothing fits
    EXPECT_EQ(on_server->placements.size(), 2u);

    // A session builds what its level placed, in that order after the level, then the water.
    auto session = make_server_session();
    session->flush_registrations();
    session->match_setup().generate_level(creation(swamp));
    ASSERT_NE(session->level, nullptr);
    EXPECT_TRUE(session->level->placements.empty());
    ASSERT_NE(session->level->water, nullptr);
    std::vector<QGObject*> made(session->registry().pending_objects().begin(),
                                session->registry().pending_objects().end());
    ASSERT_EQ(made.size(), placed.size() + 2);
    EXPECT_EQ(made.front(), session->level);
    EXPECT_EQ(made.back(), dynamic_cast<QGObject*>(session->level->water));
    EXPECT_EQ(dynamic_cast<QGWeapon*>(made[weapon - placed.begin() + 1])->position, weapon->placement.position);
}

TEST_F(Level, ServerDrawsForASweetrollEveryTwoSecondsWithTheConfiguredChance) {
    auto game = make_server_session();
    auto* level = game->spawn<QGLevel>(0, hills(128, 64));
    game->flush_registrations();
    // The sweetrolls the session built since the last run.
    std::vector<dvec2d> built;
    auto run = [&](int chance, int steps, float dt) {
        chance_of_sweetroll = chance;
        built.clear();
        game->flush_registrations();
        for (int i = 0; i < steps; ++i) level->update(dt);
        for (QGObject* o : game->registry().pending_objects())
            if (auto* sweetroll = dynamic_cast<QGSweetroll*>(o)) built.push_back(sweetroll->position);
    };

    run(1, 4, 0.5f);
    EXPECT_TRUE(built.empty());  // 2.0 seconds: the timer is at 0, not below
    level->update(0.5f);
    EXPECT_TRUE(built.empty());  // no spawn point to come from
    EXPECT_FLOAT_EQ(level->sweetroll_timer, 2.0f);
    game->spawn_positions = {{10.0f, 20.0f}, {30.0f, 40.0f}};
    run(1, 10, 2.5f);
    ASSERT_EQ(built.size(), 10u);
    for (const dvec2d& b : built) EXPECT_TRUE(b == dvec2d(10.0f, 20.0f) || b == dvec2d(30.0f, 40.0f));

    // A draw r hits when r % 50 is 0 and then draws its spawn point: replay the generator.
    random_seed(12345);
    int expected = 0;
    for (int i = 0; i < 2000; ++i) {
        if (!sweetroll_draw_hits(random_draw(), 50)) continue;
        ++expected;
        random_draw();
    }
    random_seed(12345);
    run(50, 2000, 2.01f);
    EXPECT_EQ(int(built.size()), expected);
    EXPECT_TRUE(expected > 10 && expected < 90) << expected;
    chance_of_sweetroll = 1;  // the timer stands still during a pause
    game->flush_registrations();
    level->sweetroll_timer = 0.5f;
    game->paused = true;
    game->update(1.0f);
    EXPECT_EQ(level->sweetroll_timer, 0.5f);
    EXPECT_TRUE(game->registry().pending_objects().empty());
}

// --- drawing ---

TEST_F(DrawingClient, TerrainDrawsTheSurfaceThroughTheCachedTextureWithBackgroundAndEffects) {
    LevelLook& l = look(make_level(hills(512, 256)));
    CTexture* texture = dummy_texture();
    EXPECT_EQ(l.terrain_texture, texture);
    EXPECT_EQ(texture->get_surface(), game->level->surface());
    EXPECT_TRUE(l.texture_holds_surface());
    EXPECT_FALSE(texture->is_linear_filtering());
    EXPECT_EQ(l.terrain_sprite->get_texture(), texture);
    EXPECT_TRUE(l.terrain_sprite->get_width() == 512.0f && l.terrain_sprite->get_height() == 256.0f);
    EXPECT_GE(view->find_child(l.terrain_sprite), 0);
    EXPECT_EQ(l.background_sprite->get_parent(), l.terrain_sprite);
    EXPECT_FLOAT_EQ(l.background_sprite->get_z(), -0.999f);
    EXPECT_EQ(l.background_sprite->get_width(), 512.0f);
    ASSERT_NE(l.background_sprite->get_texture(), nullptr);
    EXPECT_EQ(static_cast<CTexture*>(l.background_sprite->get_texture())->get_name(),
              background_name_for(5, background_names));
    EXPECT_EQ(l.particle_engine->get_parent(), l.terrain_sprite);
    EXPECT_FLOAT_EQ(l.particle_engine->get_z(), 0.2f);
    EXPECT_GT(l.effect_count(), 0);
}

TEST_F(DrawingClient, AnnouncedEffectsStartOnlyForIdsOfTheParticleFile) {
    QGLevel* level = make_level(hills(256, 128));
    CParticleEngine& engine = *look(level).particle_engine;
    const int effects = look(level).effect_count();
    ASSERT_GT(effects, 0);
    LogCapture log;
    auto dispatch = [&](const QGEvent& e) { game->event_handler->dispatch(e); };
    dispatch(effect_event(0, 6));
    EXPECT_EQ(engine.get_effect(0)->particles.size(), 6u);

    const size_t before = live_particles(engine);
    for (int id : {effects, -1, 0x7fffffff}) dispatch(effect_event(id, 6));
    EXPECT_EQ(live_particles(engine), before);
    EXPECT_EQ(engine.get_effect_count(), effects);
    const std::string n = std::to_string(effects);
    EXPECT_TRUE(log.contains("Ignored particle effect " + n + ": the particle file holds " + n + " effects."));

    // A hostile count is held to the cap; positions that are not numbers start nothing.
    for (const QGEvent& e : {effect_event(0, 1 << 30), effect_event(0, 3, std::nanf(""), 1.0f)}) {
        dispatch(e);
        EXPECT_EQ(engine.get_effect(0)->particles.size(), 6u + size_t(kMaxEffectParticles));
    }
}

TEST_F(DrawingClient, LevelGivesTheTextureItsOwnImageBackAndFreesNothingTwice) {
    CTexture* dummy = dummy_texture();
    const int dummy_width = dummy->get_image_width();
    ASSERT_GT(dummy_width, 0);
    ASSERT_NE(dummy_width, 640);
    // Another sprite shares the entry, so the manager keeps it when the terrain sprite goes.
    auto* holder = new CImageSprite();
    view->add_child(holder);
    holder->set_texture(dummy);

    LevelLook& first = look(make_level(hills(640, 320)));
    CImageSprite* sprite = first.terrain_sprite;
    EXPECT_EQ(first.terrain_texture, dummy);
    EXPECT_EQ(dummy->get_image_width(), 640);
    remove_level();
    EXPECT_FALSE(listens_for_effects(*game));
    EXPECT_FALSE(dummy->get_surface() == nullptr);
    EXPECT_EQ(dummy->get_image_width(), dummy_width);
    EXPECT_TRUE(sprite->is_finished());
    view->update(0.0f);
    EXPECT_LT(view->find_child(sprite), 0);
    // The next level draws through the same entry; a blast refreshes it from the level's pixels.
    QGLevel* second = make_level(hills(320, 160), 51);
    EXPECT_EQ(look(second).terrain_texture, dummy);
    EXPECT_EQ(dummy->get_image_width(), 320);
    game->terrain().explode({100.0f, 100.0f}, 30.0f);
    EXPECT_EQ(dummy->get_surface(), second->surface());
    // Alone, the terrain sprite takes the entry with it (the manager frees the image the level
    // gave back), and a third level gets an entry of its own. A double free would show under
    // the sanitizer when TearDown drops the session before the services.
    holder->set_finished(true);
    remove_level();
    view->update(0.0f);
    EXPECT_LT(view->get_texture_manager()->find_texture("gfx/dummy.png"), 0);
    LevelLook& third = look(make_level(hills(256, 128), 52));
    EXPECT_TRUE(third.texture_holds_surface());
    EXPECT_EQ(third.terrain_texture->get_image_width(), 256);
}

TEST_F(DrawingClient, TextureReloadedOrUnloadedWhileTheLevelLivesLeavesItsSurface) {
    QGLevel* level = make_level(hills(256, 128));
    SDL_Surface* surface = level->surface();
    ASSERT_TRUE(look(level).texture_holds_surface());
    const uint64_t before = surface_hash(surface);
    // Reloaded: the texture reads its own image again and only lets go of the terrain.
    CTexture* reloaded = dummy_texture(false, true);
    EXPECT_EQ(reloaded, look(level).terrain_texture);
    EXPECT_NE(reloaded->get_surface(), surface);
    EXPECT_FALSE(look(level).texture_holds_surface());
    EXPECT_EQ(game->terrain().surface(), surface);
    EXPECT_EQ(surface_hash(level->surface()), before);  // a freed surface stops the sanitizer here
    game->terrain().explode({100.0f, 60.0f}, 20.0f);
    EXPECT_NE(surface_hash(level->surface()), before);
    remove_level();
    view->update(0.0f);

    // Unloaded once its sprite let go: the level keeps its surface and never touches the
    // texture again, through a blast or its end.
    QGLevel* second = make_level(hills(256, 128), 51);
    look(second).terrain_sprite->set_texture(nullptr);
    ASSERT_TRUE(view->get_texture_manager()->unload_texture("gfx/dummy.png"));
    EXPECT_FALSE(look(second).texture_holds_surface());
    EXPECT_TRUE(game->terrain().surface() == second->surface() && surface_hash(second->surface()) == before);
    game->terrain().explode({100.0f, 60.0f}, 20.0f);
    remove_level();
    EXPECT_EQ(game->terrain().surface(), nullptr);
}

TEST_F(DrawingClient, DummyCachedReadOnlyIsMadeWritableForTheLevel) {
    CTexture* cached = dummy_texture(true);
    LevelLook& l = look(make_level(hills(200, 100)));
    EXPECT_EQ(l.terrain_texture, cached);
    EXPECT_FALSE(cached->is_read_only());
    EXPECT_TRUE(l.texture_holds_surface());
    EXPECT_EQ(l.terrain_sprite->get_width(), 200.0f);
    remove_level();
    EXPECT_NE(cached->get_image_width(), 200);
}

TEST_F(DrawingClient, PresetsBeyondTheBackgroundListShowNoPicture) {
    // A preset past the list, and any preset of an empty list.
    const struct {
        std::vector<std::string> names;
        int gen;
    } cases[] = {{{"gfx\\bg_swamp.png", "gfx\\bg_submarine.png"}, 99}, {{}, 2}};
    unsigned int id = 50;
    for (const auto& c : cases) {
        background_names = c.names;
        LevelParameters p = hills(128, 64);
        p.gen = c.gen;
        EXPECT_EQ(look(make_level(p, id++)).background_sprite->get_texture(), nullptr) << c.gen;
        remove_level();
    }
}

TEST_F(DrawingClient, WholeLevelIsFittedIntoTheViewAndCentred) {
    set_view(1024.0f, 768.0f);
    // 1024 / 768 <= 2048 / 1024: the widths decide; for a tall level the heights.
    const struct {
        uint32_t w, h;
        float scale, x, y;
    } cases[] = {{2048, 1024, 0.5f, 0, 128}, {256, 1024, 0.75f, (1024.0f - 192.0f) * 0.5f, 0}};
    unsigned int id = 50;
    for (const auto& c : cases) {
        make_level(hills(c.w, c.h), id++);
        EXPECT_FLOAT_EQ(view->get_scale(), c.scale) << c.w;
        EXPECT_FLOAT_EQ(view->get_x(), c.x) << c.w;
        EXPECT_FLOAT_EQ(view->get_y(), c.y) << c.w;
        remove_level();
    }
}

TEST_F(DrawingClient, FocusCentresThePointButNeverShowsBeyondTheLevel) {
    set_view(800.0f, 600.0f);
    QGLevel* level = make_level(hills(2048, 1024));
    view->set_scale(1.0f);
    view->set_x(0.0f);
    view->set_y(0.0f);
    // The view's edges stay within the level's.
    const struct {
        float x, y, view_x, view_y;
    } cases[] = {{100, 500, 0, -200}, {1000, 500, -600, -200}, {2000, 1000, 800 - 2048, 600 - 1024}};
    for (const auto& c : cases) {
        look(level).focus_view(c.x, c.y);
        EXPECT_FLOAT_EQ(view->get_x(), c.view_x) << c.x;
        EXPECT_FLOAT_EQ(view->get_y(), c.view_y) << c.x;
    }
    // Narrower than the view: centred whatever the point.
    remove_level();
    level = make_level(hills(512, 256), 51);
    view->set_scale(1.0f);
    for (float x : {0.0f, 256.0f, 500.0f}) {
        look(level).focus_view(x, 10.0f);
        EXPECT_FLOAT_EQ(view->get_x(), 144.0f);
        EXPECT_FLOAT_EQ(view->get_y(), 172.0f);
    }
}

TEST_F(DrawingClient, OwnLivingPlayerIsFollowedDuringTheMatchOtherwiseTheLevelIsFitted) {
    set_view(800.0f, 720.0f);
    camera_viewport_height = 360.0f;
    QGLevel* level = make_level(hills(2048, 1024));
    game->local_player_id = 0;
    auto* player = game->spawn<QGPlayer>(60, 0, 0, "Me");
    player->position = dvec2d(1000.0f, 500.0f) - dvec2d(float(player->size.x), float(player->size.y)) * 0.5f;
    const dvec2d followed_centre = player->collider_centre();
    const float health = player->health;
    // Followed: the point mid-view; from the step after death, and after the match, the whole level.
    const struct {
        bool alive, running;
        float scale;
    } cases[] = {{true, true, 2.0f}, {false, true, 800.0f / 2048.0f}, {true, false, 800.0f / 2048.0f}};
    for (const auto& c : cases) {
        player->health = c.alive ? health : 0.0f;
        game->match_running = c.running;
        for (int step = 0; step < 2; ++step) look(level).update();
        EXPECT_FLOAT_EQ(view->get_scale(), c.scale) << c.alive << c.running;
        if (c.scale != 2.0f) continue;
        const fvec2d on_screen = view->point_to_global(followed_centre);
        EXPECT_FLOAT_EQ(on_screen.x, 400.0f);
        EXPECT_FLOAT_EQ(on_screen.y, 360.0f);
    }
}
