// The water between a server and a headless client over loopback: the level's free water becomes
// the server's particles, server blasts stir them, the client keeps the occupancy it receives,
// and a malformed stream leaves the client's occupancy as it was.
#include "support/level_test_support.h"
#include "support/water_test_support.h"

using namespace session_test;
using namespace level_test;
using namespace water_test;

TEST_F(LevelTest, TheClientKeepsTheServersOccupancyAndBlastsStirTheWater) {
    ManualNetClock clock{5'000'000};
    LoopbackServer server{clock};
    ConnectResult result;
    ASSERT_TRUE(server.start(1));
    auto player = std::make_unique<QGGame>(nullptr, server.port, sf::IpAddress::LocalHost, result.callback(), &clock);
    ASSERT_TRUE(server.accept_players(1));
    ASSERT_TRUE(eventually([&] { return player->active.load(); }));
    server.activate();
    for (QGGame* g : {server.game.get(), player.get()}) g->match_running = true;
    server.game->paused = false;
    auto pump = [&] { clock.advance(34), server.game->update(0.034f), player->update(0.034f); };

    LevelParameters p = hills(512, 256, 5);
    p.water_level = 0.5f;
    p.offset_y = 0.9f;
    player->event_handler->post<EQGEventType::GenerateLevel>(creation(p));
    ASSERT_TRUE(eventually([&] { return player->terrain().water_object() != nullptr; }, pump));
    sph::WaterObject& served = *server.game->terrain().water_object();
    sph::WaterObject& kept = *player->terrain().water_object();
    EXPECT_TRUE(server.game->level->water == &served && player->level->water == &kept);
    EXPECT_EQ(kept.entity_id, served.entity_id);
    EXPECT_EQ(kept.look(), nullptr);  // headless: nothing is drawn
    ASSERT_GT(served.particles.size(), 50u);

    for (int s = 0; s < 10; ++s) pump();
    // A blast in the water pushes the particles around it away from its centre.
    const float cx = served.particles.x[0] + 4.0f, cy = served.particles.y[0];
    auto spread = [&] {
        float sum = 0.0f;
        for (std::size_t i = 0; i < served.particles.size(); ++i)
            sum += std::min(std::hypot(served.particles.x[i] - cx, served.particles.y[i] - cy), 40.0f);
        return sum;
    };
    const float before = spread();
    server.game->terrain().explode({cx, cy}, 40.0f);
    for (int s = 0; s < 3; ++s) pump();
    EXPECT_GT(spread(), before + 10.0f);

    // Paused, the server's water stands still; the client ends with the very same occupancy.
    server.game->paused = true;
    pump();
    EXPECT_TRUE(eventually([&] { return kept.occupancy() == served.occupancy(); }, pump));
    EXPECT_EQ(served.occupancy_bytes, particle_stream(served));

    // Streams of another depth, cut short, or counting beyond their record change nothing.
    const Quadtree<bool> agreed = kept.occupancy();
    const uint8_t d = uint8_t(served.occupancy().depth());
    for (std::vector<uint8_t> record : {std::vector<uint8_t>{0, 0, 0, 1, uint8_t((d + 1) << 3)},
                                        {0, 0, 0, 1, uint8_t(d << 3 | 0x04)},
                                        {0, 0, 0, 9, uint8_t(d << 3)}}) {
        ByteBuffer packet(record.data(), record.size());
        kept.mode = Networkable::Read;
        kept.current_packet = &packet;
        kept.sync_fields();
        kept.update_sprite();
        EXPECT_TRUE(kept.occupancy() == agreed);
    }
    kept.mode = Networkable::Idle;
    player.reset();
}
