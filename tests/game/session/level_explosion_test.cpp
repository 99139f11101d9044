// Explosions at session level: what the server carves and posts, how a client repeats it from
// the events alone, chains with their effects, pushes and sound, and the objects near a blast.
#include "support/level_test_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "game/entities/qg_player.h"

using namespace session_test;
using namespace level_test;

namespace {

class Explosions : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        saved_ = {default_explosion_radius, default_explosion_force, default_explosion_damage,
                  default_explosion_particle_time};
        saved_ints_ = {default_explosion_effect_id, default_explosion_particles, default_snd_explode};
        default_explosion_radius = 20.0f;
        default_explosion_force = 100.0f;
        default_explosion_damage = 10.0f;
        default_explosion_effect_id = 3;
        default_explosion_particles = 7;
        default_explosion_particle_time = 0.5f;
        default_snd_explode = 4;
        server = make_server_session();
        server->flush_registrations();
        server->event_handler->queue.clear();
        client = make_headless_client_session();
        server_surface = make_surface(64, 48);
        client_surface = make_surface(64, 48);
        server->terrain().set_surface(server_surface.get());
        client->terrain().set_surface(client_surface.get());
    }
    void TearDown() override {
        default_explosion_radius = saved_[0];
        default_explosion_force = saved_[1];
        default_explosion_damage = saved_[2];
        default_explosion_particle_time = saved_[3];
        default_explosion_effect_id = saved_ints_[0];
        default_explosion_particles = saved_ints_[1];
        default_snd_explode = saved_ints_[2];
        LevelTest::TearDown();
    }

    // The same terrain on both sides.
    void paint(int x, int y, int w, int h, ColorRGBA c) {
        fill(server_surface.get(), x, y, w, h, c);
        fill(client_surface.get(), x, y, w, h, c);
    }
    // What the server posted reaches the client, events of every type in order.
    void deliver_to_client() {
        receive_record(*client->event_handler, record_of(server->event_handler->queue));
        server->event_handler->queue.clear();
        // Delayed effects fall due with the client's clock.
        client->event_handler->delay_ms = 0;
        client->event_handler->update(0.0f);
    }

    std::array<float, 4> saved_{};
    std::array<int, 3> saved_ints_{};
    std::unique_ptr<QGGame> server;
    std::unique_ptr<QGGame> client;
    SurfacePtr server_surface;
    SurfacePtr client_surface;
};

Explosion explosion_of(const QGEvent& e) {
    ByteBuffer in = e.reader();
    Explosion blast;
    EXPECT_TRUE(read_record(in, blast));
    return blast;
}

// Records what a blast callback receives.
struct Affected {
    std::vector<QGPhysObject*> objects;
    std::vector<dvec2d> directions;
    std::vector<float> strengths;
    void on_object(QGPhysObject* o, const dvec2d& d, float s) {
        objects.push_back(o);
        directions.push_back(d);
        strengths.push_back(s);
    }
    Callback<void, QGPhysObject*, const dvec2d&, float> callback() {
        return Callback<void, QGPhysObject*, const dvec2d&, float>(this, &Affected::on_object);
    }
};

// The water's side of a blast.
class WaterProbe : public LevelWater {
public:
    void add_explosion(const dvec2d& centre, float radius) override { blasts.push_back({centre.x, centre.y, radius}); }
    void clear_static_cell(int, int) override { ++cleared; }
    std::vector<Explosion> blasts;
    int cleared = 0;
};

}  // namespace

TEST_F(Explosions, DiscOfDestructibleTerrainBecomesAirAndIsPostedToTheClients) {
    paint(0, 0, 64, 48, color_destructible);
    server->terrain().explode({30.0f, 20.0f}, 10.0f);
    EXPECT_EQ(server->terrain().get_pixel(30, 20), color_air);
    EXPECT_EQ(server->terrain().get_pixel(30, 11), color_air);
    EXPECT_EQ(server->terrain().get_pixel(30, 9), color_destructible);
    EXPECT_EQ(server->terrain().get_pixel(20, 20), color_air);           // the rim: distance exactly 10
    EXPECT_EQ(server->terrain().get_pixel(40, 20), color_destructible);  // the box ends before x + r
    EXPECT_EQ(server->terrain().get_pixel(37, 27), color_air);
    EXPECT_EQ(server->terrain().get_pixel(38, 27), color_destructible);
    ASSERT_EQ(event_types(*server->event_handler), (std::vector<uint32_t>{6}));
    const QGEvent& posted = server->event_handler->queue[0];
    EXPECT_FALSE(posted.delayed.get());
    const Explosion blast = explosion_of(posted);
    EXPECT_EQ(blast.x, 30.0f);
    EXPECT_EQ(blast.y, 20.0f);
    EXPECT_EQ(blast.radius, 10.0f);

    deliver_to_client();
    EXPECT_EQ(surface_hash(client_surface.get()), surface_hash(server_surface.get()));
    EXPECT_TRUE(client->event_handler->queue.empty());  // a client posts nothing
}

TEST_F(Explosions, IndestructibleTerrainTakesTwoBlasts) {
    paint(0, 0, 64, 48, color_indestructible);
    server->terrain().explode({32.0f, 24.0f}, 10.0f);
    EXPECT_EQ(server->terrain().get_pixel(32, 24), color_destructible);
    EXPECT_EQ(server->terrain().get_pixel(32, 13), color_indestructible);
    server->terrain().explode({32.0f, 24.0f}, 10.0f);
    EXPECT_EQ(server->terrain().get_pixel(32, 24), color_air);
    EXPECT_EQ(server->terrain().get_pixel(22, 24), color_air);
    deliver_to_client();
    EXPECT_EQ(surface_hash(client_surface.get()), surface_hash(server_surface.get()));
}

TEST_F(Explosions, ChainExplodesAgainWithEffectsPushesAndSoundAndTheClientEndsTheSame) {
    paint(0, 0, 64, 48, color_destructible);
    paint(10, 30, 50, 10, color_indestructible);
    // A 3 x 4 block of explosive pixels that the blast touches at its left column, and one
    // that touches it only at a corner, which does not chain.
    paint(28, 18, 3, 4, color_explosive);
    paint(31, 22, 1, 1, color_explosive);
    auto* near = server->spawn<RecordingPhys>(0, nullptr, ivec2d{4, 4});
    near->position = {38.0f, 17.0f};
    auto* fixed = server->spawn<RecordingPhys>(0, nullptr, ivec2d{4, 4}, true);
    fixed->position = {20.0f, 17.0f};
    server->flush_registrations();
    server->event_handler->queue.clear();

    random_seed(5);
    server->terrain().explode({27.0f, 19.0f}, 2.0f);
    // The chain of 12 pixels went first: its own disc of radius 1.2 around its first pixel, one
    // effect (ceil(1.2 / 20) squared), the sound; then the blast itself.
    ASSERT_EQ(event_types(*server->event_handler), (std::vector<uint32_t>{6, 19, 20, 6}));
    const Explosion nested = explosion_of(server->event_handler->queue[0]);
    EXPECT_EQ(nested.x, 28.0f);
    EXPECT_EQ(nested.y, 18.0f);
    EXPECT_FLOAT_EQ(nested.radius, 1.2f);
    const QGEvent& effect_event = server->event_handler->queue[1];
    EXPECT_TRUE(effect_event.delayed.get());
    ByteBuffer in = effect_event.reader();
    EffectSpawn effect;
    ASSERT_TRUE(read_record(in, effect));
    EXPECT_EQ(effect.effect_id, 3);
    EXPECT_EQ(effect.particles, 7);
    EXPECT_EQ(effect.particle_time, 0.5f);
    EXPECT_EQ(effect.angle_bits, 0u);
    // Scattered by one pixel at most (the chain's radius is below the configured one).
    EXPECT_LE(std::fabs(effect.x - 28.0f), 1.0f);
    EXPECT_LE(std::fabs(effect.y - 18.0f), 1.0f);
    ByteBuffer sound_in = server->event_handler->queue[2].reader();
    SoundRequest sound;
    ASSERT_TRUE(read_record(sound_in, sound));
    EXPECT_EQ(sound.sound_id, 4);
    EXPECT_EQ(sound.second_word, 0u);
    EXPECT_FALSE(server->event_handler->queue[2].delayed.get());
    EXPECT_EQ(explosion_of(server->event_handler->queue[3]).radius, 2.0f);

    // The whole block went; the diagonal neighbour stayed.
    for (int x = 28; x < 31; ++x)
        for (int y = 18; y < 22; ++y) EXPECT_EQ(server->terrain().get_pixel(x, y), color_air) << x << "," << y;
    EXPECT_EQ(server->terrain().get_pixel(31, 22), color_explosive);

    // The effect pushed the nearby object away from it and, being a player, hurt it.
    EXPECT_GT(near->velocity.x, 0.0f);
    EXPECT_EQ(fixed->velocity, dvec2d(0.0f, 0.0f));

    // The client floods the chain but explodes nothing itself; the server's events make up
    // the rest, in the order they were posted.
    ListenerLog heard;
    heard.listen(*client->event_handler, EQGEventType::SpawnEffect);
    heard.listen(*client->event_handler, EQGEventType::PlaySound);
    deliver_to_client();
    EXPECT_EQ(surface_hash(client_surface.get()), surface_hash(server_surface.get()));
    EXPECT_EQ(heard.types, (std::vector<uint32_t>{20, 19}));  // the effect waited for its delay
    server->registry().size_player_table(0);
}

TEST_F(Explosions, ClientCarvingAloneLeavesTheChainsDiscToTheServer) {
    paint(0, 0, 64, 48, color_destructible);
    paint(28, 18, 3, 4, color_explosive);
    client->terrain().explode({27.0f, 19.0f}, 2.0f);
    EXPECT_TRUE(client->event_handler->queue.empty());
    EXPECT_EQ(client->terrain().get_pixel(30, 21), color_air);           // flooded
    EXPECT_EQ(client->terrain().get_pixel(28, 17), color_destructible);  // only the server's nested disc takes it
    server->terrain().explode({27.0f, 19.0f}, 2.0f);
    EXPECT_EQ(server->terrain().get_pixel(28, 17), color_air);
}

TEST_F(Explosions, BlastsThatAreNotNumbersOrOutsideTheLevelChangeNothing) {
    paint(0, 0, 64, 48, color_destructible);
    const uint64_t before = surface_hash(server_surface.get());
    server->terrain().explode({std::nanf(""), 10.0f}, 10.0f);
    server->terrain().explode({10.0f, 10.0f}, std::numeric_limits<float>::infinity());
    EXPECT_TRUE(server->event_handler->queue.empty());
    server->terrain().explode({10.0f, 10.0f}, 0.0f);
    server->terrain().explode({10.0f, 10.0f}, -5.0f);
    server->terrain().explode({-100.0f, -100.0f}, 20.0f);
    server->terrain().explode({500.0f, 20.0f}, 20.0f);
    EXPECT_EQ(surface_hash(server_surface.get()), before);
    // Received from the network, a blast that is not a number carves nothing either.
    Explosion hostile{std::nanf(""), std::nanf(""), 1e30f};
    client->event_handler->dispatch(make_event(EQGEventType::Explode, record_bytes(hostile)));
    EXPECT_EQ(surface_hash(client_surface.get()), before);
    // Without a level there is nothing to carve.
    server->terrain().set_surface(nullptr);
    server->event_handler->queue.clear();
    server->terrain().explode({10.0f, 10.0f}, 10.0f);
    EXPECT_TRUE(server->event_handler->queue.empty());
    EXPECT_EQ(server->terrain().width(), 0);
}

TEST_F(Explosions, WaterHearsOfEveryDiscAndEveryCarvedPixel) {
    WaterProbe probe;
    auto* level = server->spawn<QGLevel>(0, hills(128, 64));
    level->water = &probe;
    server->terrain().explode({60.0f, 40.0f}, 5.0f);
    ASSERT_EQ(probe.blasts.size(), 1u);
    EXPECT_EQ(probe.blasts[0].x, 60.0f);
    EXPECT_EQ(probe.blasts[0].radius, 5.0f);
    // Every pixel of the disc, whatever it held.
    const PixelRect box = explosion_box({60.0f, 40.0f, 5.0f}, 128, 64);
    int in_disc = 0;
    for (int x = box.x; x < box.x + box.width; ++x)
        for (int y = box.y; y < box.y + box.height; ++y) in_disc += (x - 60) * (x - 60) + (y - 40) * (y - 40) <= 25;
    EXPECT_EQ(in_disc, 79);
    EXPECT_EQ(probe.cleared, in_disc);
}

TEST_F(Explosions, ObjectsNearAPointAreReachedByTheirBoxes) {
    auto* at_point = server->spawn<RecordingPhys>(0, nullptr, ivec2d{10, 10});
    at_point->position = {95.0f, 95.0f};  // centre exactly at the point: skipped
    auto* overlapping = server->spawn<RecordingPhys>(0, nullptr, ivec2d{6, 8});
    overlapping->position = {99.0f, 96.0f};  // centre (102, 100): 2 away, half diagonal 5
    auto* halfway = server->spawn<RecordingPhys>(0, nullptr, ivec2d{6, 8});
    halfway->position = {82.0f, 96.0f};  // centre (85, 100): 15 away, edge 10
    auto* far = server->spawn<RecordingPhys>(0, nullptr, ivec2d{6, 8});
    far->position = {100.0f, 121.0f};  // centre (103, 125): edge beyond 20
    server->flush_registrations();

    Affected seen;
    server->terrain().affect_objects_near({100.0f, 100.0f}, seen.callback(), 20.0f);
    ASSERT_EQ(seen.objects.size(), 2u);
    // In the order of the physics list (objects committed together come in address order).
    const size_t o = seen.objects[0] == overlapping ? 0 : 1, h = 1 - o;
    EXPECT_EQ(seen.objects[o], overlapping);
    EXPECT_EQ(seen.strengths[o], 1.0f);
    EXPECT_EQ(seen.directions[o], dvec2d(1.0f, 0.0f));
    EXPECT_EQ(seen.objects[h], halfway);
    EXPECT_FLOAT_EQ(seen.strengths[h], 0.5f);
    EXPECT_EQ(seen.directions[h], dvec2d(-1.0f, 0.0f));
    const std::vector<QGPhysObject*>& list = server->registry().physics_objects();
    EXPECT_LT(std::find(list.begin(), list.end(), seen.objects[0]),
              std::find(list.begin(), list.end(), seen.objects[1]));

    // A reach of 0 (the configured default radius) touches nothing and divides by nothing.
    Affected none;
    server->terrain().affect_objects_near({100.0f, 100.0f}, none.callback(), 0.0f);
    server->terrain().affect_objects_near({100.0f, 100.0f}, none.callback(), std::nanf(""));
    server->terrain().affect_objects_near({100.0f, 100.0f}, {}, 20.0f);
    EXPECT_TRUE(none.objects.empty());
    // Only the server pushes.
    client->terrain().affect_objects_near({100.0f, 100.0f}, none.callback(), 20.0f);
    EXPECT_TRUE(none.objects.empty());
}

TEST_F(Explosions, DefaultPushMovesByMassSparesStaticAndMasslessObjects) {
    auto* light = server->spawn<RecordingPhys>(0, nullptr, ivec2d{4, 4}, false, 2.0f);
    auto* fixed = server->spawn<RecordingPhys>(0, nullptr, ivec2d{4, 4}, true, 2.0f);
    auto* massless = server->spawn<RecordingPhys>(0, nullptr, ivec2d{4, 4}, false, 1.0f);
    massless->mass = 0.0f;
    server->flush_registrations();
    server->terrain().push_object(light, {0.0f, -1.0f}, 0.5f);
    EXPECT_EQ(light->velocity, dvec2d(0.0f, -25.0f));
    server->terrain().push_object(fixed, {0.0f, -1.0f}, 0.5f);
    EXPECT_EQ(fixed->velocity, dvec2d(0.0f, 0.0f));
    server->terrain().push_object(massless, {0.0f, -1.0f}, 0.5f);
    EXPECT_EQ(massless->velocity, dvec2d(0.0f, 0.0f));

    // A player takes the blast's damage as well.
    server->registry().size_player_table(3);
    auto* player = server->spawn<QGPlayer>(0, 2, 0, "Pushed");
    player->spawn_protection = 0.0f;
    server->flush_registrations();
    EXPECT_TRUE(server->registry().is_player_entity(player->entity_id));
    EXPECT_FALSE(server->registry().is_player_entity(light->entity_id));
    const float health = player->health;
    server->terrain().push_object(player, {1.0f, 0.0f}, 0.25f);
    EXPECT_FLOAT_EQ(health - player->health, 2.5f);
}

TEST_F(Explosions, PixelAccessStaysInsideTheLevel) {
    server->terrain().set_pixel(3, 4, color_ladder);
    EXPECT_EQ(server->terrain().get_pixel(3, 4), color_ladder);
    server->terrain().set_pixel(-1, 4, color_ladder);
    server->terrain().set_pixel(64, 4, color_ladder);
    server->terrain().set_pixel(3, 48, color_ladder);
    EXPECT_EQ(server->terrain().get_pixel(-1, 4), color_air);
    EXPECT_EQ(server->terrain().get_pixel(64, 0), color_air);
}
