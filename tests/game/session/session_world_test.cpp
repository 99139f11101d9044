// The world step: its order, the pause rules, registration, commit and removal.
#include <algorithm>
#include <cstring>
#include <deque>

#include "game/entities/qg_player.h"
#include "support/session_test_support.h"

using namespace session_test;

namespace {

std::string updated(unsigned int id) { return "update " + std::to_string(id); }

class WorldStep : public ::testing::Test {
protected:
    // One step done, with the queue and the journal emptied after it.
    void settle(QGGame& game) {
        game.update(0.0f);
        game.event_handler->queue.clear();
        journal.clear();
    }
    std::unique_ptr<QGGame> settled_server() {
        auto game = make_server_session();
        settle(*game);
        return game;
    }
    // A server session over air with a floor of `material` from row `top` down. The colour is read
    // once the material colours are set, hence the reference.
    std::unique_ptr<QGGame> server_on_floor(int w, int h, int top, const ColorRGBA& material) {
        set_material_colors();
        terrain = make_surface(w, h);
        fill(terrain.get(), 0, top, w, h - top, material);
        auto game = make_server_session();
        game->terrain().set_surface(terrain.get());
        return game;
    }
    // A running server with a player table of `slots`, a player in each of `seats`.
    static std::unique_ptr<QGGame> seated_server(size_t slots, std::initializer_list<size_t> seats) {
        auto game = make_server_session();
        game->registry().size_player_table(slots);
        for (size_t seat : seats) game->spawn<QGPlayer>(0, unsigned(seat), 0u, "P" + std::to_string(seat));
        game->update(0.0f);
        return game;
    }
    // What one step ran.
    Journal stepped(QGGame& game, float dt = 0.0f) {
        journal.clear();
        game.update(dt);
        return journal;
    }
    RecordingObject* record(QGGame& game, unsigned int id = 0) { return game.spawn<RecordingObject>(id, &journal); }
    // Turns true when the object is deleted.
    const bool& watch(auto* o) { return *(o->deleted_flag = &deleted_.emplace_back(false)); }

    Journal journal;
    SurfacePtr terrain;

private:
    std::deque<bool> deleted_;
};
using Registration = WorldStep;
using SessionFlow = WorldStep;

}  // namespace

TEST_F(WorldStep, IdleUntilActiveThenCommitsWhatWaited) {
    auto game = make_server_session();
    game->active = false;
    auto* a = record(*game);
    EXPECT_TRUE(stepped(*game, 0.1f).empty());
    EXPECT_EQ(game->registry().find_object(a->entity_id), nullptr);
    EXPECT_EQ(game->registry().pending_objects().size(), 2u);  // the event handler and a
    game->active = true;
    // Committed by the first active step, not updated in it.
    EXPECT_TRUE(stepped(*game, 0.1f).empty());
    EXPECT_EQ(game->registry().find_object(a->entity_id), a);
    EXPECT_EQ(game->registry().unreliable_objects().count(a->entity_id), 1u);
    EXPECT_EQ(game->registry().reliable_objects().count(game->event_handler->entity_id), 1u);
    EXPECT_EQ(stepped(*game, 0.1f), Journal{updated(a->entity_id)});
}

TEST_F(WorldStep, ServerIssuesIdsFromOneAndIgnoresRequestedIds) {
    auto game = make_server_session();
    EXPECT_EQ(game->event_handler->entity_id, 1u);
    EXPECT_EQ(record(*game, 77)->entity_id, 2u);
    EXPECT_EQ(record(*game)->entity_id, 3u);
    // An object built without the session keeps its id and stays out of the registry.
    RecordingObject outside(nullptr, 9, &journal);
    EXPECT_EQ(outside.entity_id, 9u);
    QGEventHandler private_handler(game.get(), 1);
    EXPECT_EQ(private_handler.entity_id, 1u);
    EXPECT_EQ(game->registry().pending_objects().size(), 3u);
}

TEST_F(WorldStep, ObjectsRunInIdOrderAndPauseRules) {
    auto game = make_server_session();
    for (int i = 0; i < 3; ++i) record(*game)->while_paused = i == 1;
    settle(*game);
    EXPECT_EQ(stepped(*game), (Journal{"update 2", "update 3", "update 4"}));
    game->paused = true;
    EXPECT_EQ(stepped(*game), (Journal{"update 3"}));
    // Nothing runs before the match starts, but commits do.
    game->paused = false;
    game->match_running = false;
    auto* d = record(*game);
    EXPECT_TRUE(stepped(*game).empty());
    EXPECT_EQ(game->registry().find_object(d->entity_id), d);
}

TEST_F(WorldStep, ClientRunsOnlyLocalObjectsWhateverThePauseAndCallsEverySpriteHook) {
    auto game = make_headless_client_session();
    record(*game, 10);
    record(*game, 11)->on_client = true;
    settle(*game);
    game->paused = true;
    EXPECT_EQ(stepped(*game), (Journal{"update 11", "sprite 10", "sprite 11"}));
    game->match_running = false;
    EXPECT_EQ(stepped(*game), (Journal{"sprite 10", "sprite 11"}));
}

TEST_F(WorldStep, ObjectMadeDuringAStepIsCommittedAndAnnouncedInThatStepButNotUpdated) {
    auto game = settled_server();
    auto* maker = record(*game);
    settle(*game);
    RecordingObject* made = nullptr;
    maker->on_update = [&] { made = made ? made : record(*game); };
    game->update(0.0f);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(journal, Journal{updated(maker->entity_id)});
    EXPECT_EQ(game->registry().find_object(made->entity_id), made);
    ASSERT_EQ(event_types(*game->event_handler), (std::vector<uint32_t>{uint32_t(EQGEventType::CreateObject)}));
    EXPECT_EQ(event_entity_id(game->event_handler->queue[0]), made->entity_id);
}

TEST_F(WorldStep, RemovalDuringAStepTakesEffectAtItsEnd) {
    auto game = make_server_session();
    auto* first = record(*game);
    auto* second = record(*game);
    const bool& second_deleted = watch(second);
    const unsigned int second_id = second->entity_id;
    settle(*game);
    first->on_update = [&] { game->remove_object(second_id), game->remove_object(second_id); };
    game->update(0.0f);
    // Still updated in the step that removed it.
    EXPECT_EQ(journal, (Journal{updated(first->entity_id), updated(second_id)}));
    EXPECT_TRUE(second_deleted);
    EXPECT_EQ(game->registry().find_object(second_id), nullptr);
    EXPECT_EQ(game->registry().unreliable_objects().count(second_id), 0u);
    // One removal, posted once, delayed.
    ASSERT_EQ(game->event_handler->queue.size(), 1u);
    const QGEvent& removal = game->event_handler->queue[0];
    EXPECT_EQ(removal.type, EQGEventType::RemoveObject);
    EXPECT_TRUE(removal.delayed.get());
    EXPECT_EQ(event_entity_id(removal), second_id);
}

TEST_F(WorldStep, RemovingAPendingObjectDeletesItAtOnce) {
    auto game = settled_server();
    auto* phys = game->spawn<RecordingPhys>(0, &journal, ivec2d{4, 4});
    const bool& deleted = watch(phys);
    const unsigned int id = phys->entity_id;
    ASSERT_EQ(game->registry().pending_physics().size(), 1u);
    game->remove_object(id);
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(game->registry().pending_objects().empty());
    EXPECT_TRUE(game->registry().pending_physics().empty());
    game->update(0.0f);
    EXPECT_EQ(game->registry().find_object(id), nullptr);
    EXPECT_TRUE(game->registry().physics_objects().empty());
    // The clients still hear of it (they ignore an id they never had).
    ASSERT_FALSE(game->event_handler->queue.empty());
    EXPECT_EQ(game->event_handler->queue[0].type, EQGEventType::RemoveObject);
}

TEST_F(WorldStep, UnknownRemovalsAndTheEventHandlerAreLeftAlone) {
    auto game = settled_server();
    LogCapture log;
    game->remove_object(4242);
    game->remove_object(game->event_handler->entity_id);
    game->update(0.0f);
    EXPECT_TRUE(game->event_handler->queue.empty());
    EXPECT_EQ(game->registry().find_object(1), game->event_handler);
    EXPECT_TRUE(log.contains("Refused to remove the event handler"));
}

TEST_F(WorldStep, PhysicsObjectsJoinTheListAtCommitInAddressOrderAndLeaveOnRemoval) {
    auto game = make_server_session();
    std::vector<QGPhysObject*> made;
    for (int i = 0; i < 5; ++i) made.push_back(game->spawn<RecordingPhys>(0, nullptr, ivec2d{2, 2}));
    EXPECT_TRUE(game->registry().physics_objects().empty());
    game->update(0.0f);
    std::vector<QGPhysObject*> by_address = made;
    std::sort(by_address.begin(), by_address.end());
    EXPECT_EQ(game->registry().physics_objects(), by_address);
    game->remove_object(made[2]->entity_id);
    game->update(0.0f);
    by_address.erase(std::find(by_address.begin(), by_address.end(), made[2]));
    EXPECT_EQ(game->registry().physics_objects(), by_address);
}

TEST_F(WorldStep, CollisionPassMeetsLaterObjectsBeforeTheTerrainAndStopsWhilePaused) {
    auto game = server_on_floor(200, 100, 60, color_earth);
    // Three overlapping boxes falling into the floor.
    for (int i = 0; i < 3; ++i) {
        auto* b = game->spawn<RecordingPhys>(0, &journal, ivec2d{10, 10});
        b->position = {50.0f + 2 * i, 48.0f};
        b->simulate = false;
    }
    settle(*game);
    std::vector<std::string> names;
    for (QGPhysObject* p : game->registry().physics_objects()) {
        names.push_back(std::to_string(p->entity_id));
        p->previous_position = p->position;
        p->position.y += 5.0f;
    }
    game->paused = true;
    EXPECT_TRUE(stepped(*game).empty());
    game->paused = false;
    game->update(0.0f);
    // Every update first, then per object: its pairs with the later objects, then its terrain.
    Journal expected;
    for (auto& [id, o] : game->registry().objects())
        if (id != 1) expected.push_back(updated(id));
    for (size_t i = 0; i < names.size(); ++i) {
        for (size_t j = i + 1; j < names.size(); ++j) {
            expected.push_back("pair " + names[i] + " " + names[j]);
            expected.push_back("pair " + names[j] + " " + names[i]);
        }
        expected.push_back("terrain " + names[i]);
    }
    EXPECT_EQ(journal, expected);
}

TEST_F(WorldStep, CollisionPassMatchesEveryPairInListOrderOverAPile) {
    // A pile of boxes of many sizes (a wide one, empty and inverted ones among them) against
    // unlisted twins stepped by a plain walk over every pair: positions and speeds agree bit for bit.
    auto game = make_server_session();
    uint32_t seed = 7;
    auto next = [&seed](int n) { return int(((seed = seed * 1664525u + 1013904223u) >> 8) % uint32_t(n)); };
    for (int i = 0; i < 400; ++i) {
        ivec2d size{2 + next(20), 2 + next(20)};
        if (i % 97 == 0) size = {next(3) - 1, -next(5)};
        if (i == 200) size = {600, 12};
        auto* o = game->spawn<QGPhysObject>(0, size, next(8) == 0, 0.5f + next(30) / 10.0f, 1.0f, 0.1f,
                                            next(90) / 100.0f, uint16_t(1 << next(3)), 0xffff, 0.0f);
        o->position = {float(next(300)), float(next(200))};
        o->velocity = {float(next(200) - 100), float(next(200) - 100)};
    }
    game->update(0.0f);
    auto twin_of = [](const QGPhysObject* o) {
        auto twin =
            std::make_unique<QGPhysObject>(nullptr, 0, o->size, o->static_flag, o->mass, o->friction, o->air_friction,
                                           o->bounce, o->collision_group, o->collision_mask, o->buoyancy);
        twin->position = o->position;
        twin->velocity = o->velocity;
        return twin;
    };
    std::vector<std::unique_ptr<QGPhysObject>> twins;
    for (QGPhysObject* o : game->registry().physics_objects()) twins.push_back(twin_of(o));
    for (int step = 0; step < 60; ++step) {
        // Midway a fifth of the pile is carried far off; later one object leaves the list and another joins.
        for (size_t i = 0; step == 20 && i < twins.size(); i += 5) {
            game->registry().physics_objects()[i]->position.x += 4000.0f;
            twins[i]->position.x += 4000.0f;
        }
        QGPhysObject* joined = nullptr;
        if (step == 40) {
            game->remove_object(game->registry().physics_objects()[7]->entity_id);
            joined = game->spawn<QGPhysObject>(0, ivec2d{6, 6}, false, 1.0f, 1.0f, 0.1f, 0.5f, 2, 0xffff, 0.0f);
            joined->position = {150.0f, 100.0f};
        }
        game->update(1.0f / 60.0f);
        for (auto& t : twins) t->update(1.0f / 60.0f);
        for (size_t i = 0; i < twins.size(); ++i)
            for (size_t j = i + 1; j < twins.size(); ++j) QGPhysObject::collide_pair(twins[i].get(), twins[j].get());
        if (joined) {
            twins.erase(twins.begin() + 7);
            const auto& list = game->registry().physics_objects();
            twins.insert(twins.begin() + (std::find(list.begin(), list.end(), joined) - list.begin()), twin_of(joined));
        }
        ASSERT_EQ(game->registry().physics_objects().size(), twins.size());
        for (size_t i = 0; i < twins.size(); ++i) {
            const QGPhysObject& o = *game->registry().physics_objects()[i];
            ASSERT_EQ(std::memcmp(&o.position, &twins[i]->position, sizeof o.position), 0) << step << " " << i;
            ASSERT_EQ(std::memcmp(&o.velocity, &twins[i]->velocity, sizeof o.velocity), 0) << step << " " << i;
        }
    }
}

// A contact reaction that carries another object elsewhere: the pass must meet that object
// where it now is, whether the reaction came from a pair or from the terrain.
TEST_F(WorldStep, AReactionThatMovesAnotherObjectIsSeenByTheRestOfThePass) {
    struct Carrier : RecordingPhys {
        using RecordingPhys::RecordingPhys;
        void on_object_collision(QGPhysObject* other, const dvec2d& impact) override {
            RecordingPhys::on_object_collision(other, impact);
            if (cargo) cargo->position = {100, 10};
        }
        void on_terrain_collision(const dvec2d& impact) override {
            RecordingPhys::on_terrain_collision(impact);
            if (cargo) cargo->position = {100, 10};
        }
        QGPhysObject* cargo = nullptr;
    };
    for (const bool by_terrain : {false, true}) {
        SCOPED_TRACE(by_terrain ? "terrain" : "pair");
        auto game = server_on_floor(200, 100, 60, color_earth);
        // One object a step, so that the list holds them in the order made.
        auto make = [&](auto* o, dvec2d at) {
            o->position = o->previous_position = at;
            game->update(0.0f);
            return o;
        };
        auto* carrier = make(game->spawn<Carrier>(0, nullptr, ivec2d{4, 4}), {20, 20});
        auto* touched = make(game->spawn<RecordingPhys>(0, nullptr, ivec2d{4, 4}), {60, 20});
        // Filed far away, behind the object it will be carried onto.
        auto* waiting = make(game->spawn<RecordingPhys>(0, nullptr, ivec2d{4, 4}, true), {101, 11});
        auto* cargo = make(game->spawn<RecordingPhys>(0, nullptr, ivec2d{4, 4}), {180, 10});
        carrier->cargo = cargo;
        if (by_terrain) carrier->position = {20, 58};  // into the floor at row 60
        if (by_terrain) cargo->position = {NAN, NAN};  // filed nowhere until carried
        else touched->position = {22, 20};
        game->update(0.0f);
        EXPECT_EQ(touched->object_collisions, by_terrain ? 0 : 1);
        EXPECT_EQ(carrier->terrain_collisions, by_terrain ? 1 : 0);
        EXPECT_EQ(cargo->object_collisions, 1);
        EXPECT_EQ(waiting->object_collisions, 1);
    }
}

// One object goes and another comes in the same step, so the list keeps its length: the reacting
// object shifted into the place of a plain one still reacts to the plain object before it.
TEST_F(WorldStep, AReactingObjectShiftedIntoAPlainOnesPlaceStillReacts) {
    auto game = server_on_floor(200, 100, 60, color_earth);
    auto plain = [&](dvec2d at) {
        auto* o = game->spawn<QGPhysObject>(0, ivec2d{4, 4}, true, 1.0f, 1.0f, 0.1f, 0.0f, 1, 0xffff, 0.0f);
        o->position = o->previous_position = at;
        game->update(0.0f);
        return o;
    };
    QGPhysObject* first = plain({20, 20});
    QGPhysObject* going = plain({150, 20});
    auto* reacting = game->spawn<RecordingPhys>(0, nullptr, ivec2d{4, 4});
    reacting->position = reacting->previous_position = {60, 20};
    game->update(0.0f);
    game->update(0.0f);
    game->remove_object(going->entity_id);
    plain({180, 20});
    ASSERT_EQ(game->registry().physics_objects(),
              (std::vector<QGPhysObject*>{first, reacting, game->registry().physics_objects()[2]}));
    reacting->position = {22, 20};
    game->update(0.0f);
    EXPECT_EQ(reacting->object_collisions, 1);
}

TEST_F(WorldStep, OneStaticObjectNeverMeetsTheTerrain) {
    auto game = server_on_floor(40, 40, 20, color_rock);
    auto* fixed = game->spawn<RecordingPhys>(0, &journal, ivec2d{4, 4}, true);
    fixed->position = {5, 30};
    fixed->previous_position = {5, 10};
    settle(*game);
    EXPECT_EQ(stepped(*game), Journal{updated(fixed->entity_id)});
    EXPECT_EQ(fixed->position, dvec2d(5, 30));
}

TEST_F(Registration, IdZeroIsRefusedOnAClient) {
    auto game = make_headless_client_session();
    LogCapture log;
    EXPECT_EQ(record(*game), nullptr);
    EXPECT_TRUE(log.contains("Tried to register Object with invalid EntityID NULL. Object not registered."));
    EXPECT_TRUE(game->registry().pending_objects().empty());
}

TEST_F(Registration, CommittedIdIsReplacedAtTheNextCommit) {
    auto game = make_headless_client_session();
    auto* old_one = game->spawn<RecordingObject>(20, &journal, true);
    const bool& old_deleted = watch(old_one);
    game->update(0.0f);
    ASSERT_EQ(game->registry().reliable_objects().count(20), 1u);
    LogCapture log;
    auto* new_one = record(*game, 20);
    EXPECT_TRUE(
        log.contains("Re-registering EntityID 20. Replacing existing object, this may cause access violations."));
    // The old object stays until the commit, outside every walk over the registry.
    EXPECT_FALSE(old_deleted);
    EXPECT_EQ(game->registry().find_object(20), old_one);
    game->update(0.0f);
    EXPECT_TRUE(old_deleted);
    EXPECT_EQ(game->registry().find_object(20), new_one);
    EXPECT_EQ(game->registry().reliable_objects().count(20), 0u);
    EXPECT_EQ(game->registry().unreliable_objects().count(20), 1u);
}

// Of two pending objects with one id only the first commits; a dropped physics object leaves no list entry.
TEST_F(Registration, TwoPendingObjectsWithOneIdCommitOnlyTheFirst) {
    auto game = make_headless_client_session();
    LogCapture log;
    auto* a = record(*game, 31);
    const bool& b_deleted = watch(record(*game, 31));
    auto* first = game->spawn<QGPhysObject>(40, ivec2d{2, 2}, false, 1, 0, 0, 0, 1, 1, 0);
    game->spawn<QGPhysObject>(40, ivec2d{3, 3}, false, 1, 0, 0, 0, 1, 1, 0);
    EXPECT_TRUE(game->registry().holds(31));
    EXPECT_EQ(game->registry().find_object(31), nullptr);
    game->update(0.0f);
    EXPECT_EQ(game->registry().find_object(31), a);
    EXPECT_TRUE(b_deleted);
    EXPECT_TRUE(log.contains("Dropped a second new object with EntityID 31."));
    ASSERT_EQ(game->registry().physics_objects().size(), 1u);
    EXPECT_EQ(game->registry().physics_objects()[0], first);
    EXPECT_EQ(game->registry().find_object(40), first);
}

TEST_F(Registration, PlayerSlotIsClearedWhenThePlayerGoes) {
    auto game = seated_server(3, {1});
    QGPlayer* player = game->registry().players()[1];
    EXPECT_EQ(game->registry().get_player(1), player);
    EXPECT_EQ(game->registry().get_player(7), nullptr);
    game->remove_object(player->entity_id);
    game->update(0.0f);
    EXPECT_EQ(game->registry().players()[1], nullptr);
    EXPECT_TRUE(game->registry().physics_objects().empty());
}

TEST_F(SessionFlow, SetupGameSizesThePlayerTableAndServerAnnouncesIt) {
    auto game = settled_server();
    game->quit = true;
    testing::internal::CaptureStdout();
    game->match_setup().setup_game(GameParameters{4, -1, 3.5f, 1});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Performing initial game setup.\n");
    EXPECT_EQ(game->registry().players().size(), 4u);
    EXPECT_EQ(game->rules.player_count, 4u);
    EXPECT_EQ(game->rules.lives, -1);
    EXPECT_EQ(game->rules.respawn_time, 3.5f);
    EXPECT_TRUE(game->rules.teams);
    EXPECT_FALSE(game->rules.friendly_fire);
    EXPECT_FALSE(game->quit);
    ASSERT_EQ(game->event_handler->queue.size(), 1u);
    const QGEvent& e = game->event_handler->queue[0];
    EXPECT_EQ(e.type, EQGEventType::SetupGame);
    EXPECT_EQ(e.data, (std::vector<uint8_t>{4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x60, 0x40, 1, 0, 0, 0}));
}

TEST_F(SessionFlow, ServerDisconnectRulesEndTheSession) {
    // The host's client leaving before the start ends it.
    {
        auto game = seated_server(2, {1});
        game->match_running = false;
        game->network().on_disconnect(nullptr, 0, 0, Connection());
        EXPECT_TRUE(game->quit);
    }
    // During the match a player leaving is removed; the session goes on while others remain.
    auto game = seated_server(3, {0, 2});
    const unsigned int p2_id = game->registry().players()[2]->entity_id;
    game->network().on_disconnect(nullptr, 2, 0, Connection());
    EXPECT_FALSE(game->quit);
    EXPECT_TRUE(game->match_running);
    EXPECT_EQ(game->registry().removal_queue().count(p2_id), 1u);
    game->update(0.0f);
    EXPECT_EQ(game->registry().players()[2], nullptr);
    // The last one leaving ends it.
    game->network().on_disconnect(nullptr, 0, 0, Connection());
    EXPECT_TRUE(game->quit);
    EXPECT_FALSE(game->match_running);
}
