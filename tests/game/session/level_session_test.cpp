// The level between a server and headless clients over loopback: the host's parameters build
// the same terrain everywhere, server blasts leave every client's copy identical, a late joiner
// gets the current map tile by tile, and a hostile map stream does not stop a client.
#include "support/level_test_support.h"

#include <algorithm>
#include <string>
#include <vector>

#include "game/terrain/qg_map_synchronizer.h"
#include "net/transport/tcp_client.h"

using namespace session_test;
using namespace level_test;

namespace {

std::unique_ptr<QGGame> connect_client(unsigned short port, ConnectResult& result, const NetClock& clock) {
    return std::make_unique<QGGame>(nullptr, port, sf::IpAddress::LocalHost, result.callback(), &clock);
}

struct StatusLine {
    std::vector<std::string> shown;
    void show(const std::string& text) { shown.push_back(text); }
    Callback<void, const std::string&> callback() {
        return Callback<void, const std::string&>(this, &StatusLine::show);
    }
};

// A server object that poses as a map synchronizer for one client and sends it garbage.
class HostileSynchronizer : public QGObject {
public:
    HostileSynchronizer(GameSession* game, unsigned int id, unsigned int target_)
        : QGObject(game, id, true), target(target_) {}
    void write_creation_event(QGEvent& event) const override {
        event.set_record<EQGEventType::CreateMapSynchronizer>(MapSynchronizerRecord{entity_id, target});
    }
    void sync_fields() override {
        if (mode != Write || !current_packet) return;
        ByteBuffer& out = *current_packet;
        const int variant = sent++ % 6;
        out.write_i32_le(variant == 3 ? 512 : 0);
        out.write_i32_le(0);
        // The count and the codes: wrong depth, cut short, code 15, outside the level, a count beyond the record.
        const std::pair<uint32_t, std::vector<uint8_t>> streams[] = {
            {2, {0x38, 0x00}}, {1, {0x41}}, {2, {0x43, 0xC0}}, {2, {0x40, 0x00}}, {0x7FFFFFFF, {0x40}}};
        if (variant < 5) {
            out.write_u32_be(streams[variant].first);
            for (uint8_t code : streams[variant].second) out.write_u8(code);
        } else {
            out.write_u32_be(32);
            for (int i = 0; i < 32; ++i) out.write_u8(uint8_t(0x47 + 31 * i + 17 * sent));
        }
    }
    unsigned int target;
    int sent = 0;
};

QGMapSynchronizer* find_synchronizer(QGGame& game) {
    for (auto& [id, object] : game.registry().objects())
        if (auto* s = dynamic_cast<QGMapSynchronizer*>(object)) return s;
    for (QGObject* object : game.registry().pending_objects())
        if (auto* s = dynamic_cast<QGMapSynchronizer*>(object)) return s;
    return nullptr;
}

class LevelLoopback : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        ASSERT_TRUE(server.start(1));
        player = connect_client(server.port, player_result, clock);
        ASSERT_TRUE(server.accept_players(1));
        ASSERT_TRUE(eventually([&] { return player->active.load(); }));
        server.activate();
        // The client dispatches delayed events only while a match runs.
        player->match_running = true;
        player->status_hook = player_status.callback();
    }
    void TearDown() override {
        player.reset();
        LevelTest::TearDown();
    }

    void pump() {
        clock.advance(34);
        server.game->update(0.034f);
        player->update(0.034f);
    }

    // The newcomer's connect thread answers its id on the same clock: it stands still until the
    // server has the newcomer, however long the thread waits for a core. Gives what was printed,
    // released before any failure (a capture left open aborts the next).
    std::string newcomer_joins() {
        testing::internal::CaptureStdout();
        newcomer_registered = eventually([&] { return server.tcp->client_count() == 2; },
                                         [&] { server.game->update(0.034f), player->update(0.034f); });
        return testing::internal::GetCapturedStdout();
    }

    // The host's client sends the level parameters; the server builds the level and its record
    // builds the client's.
    void host_generates(const LevelParameters& p) {
        player->event_handler->post<EQGEventType::GenerateLevel>(creation(p));
        ASSERT_TRUE(eventually([&] { return server.game->level && player->level; }, [&] { pump(); }));
        ASSERT_EQ(player->level->entity_id, server.game->level->entity_id);
    }

    // The same explosive block painted into both copies: the presets used here have none.
    void paint_on_both(int x, int y, int w, int h, ColorRGBA c) {
        fill(server.game->terrain().surface(), x, y, w, h, c);
        fill(player->terrain().surface(), x, y, w, h, c);
    }

    ManualNetClock clock{7'000'000};
    LoopbackServer server{clock};
    ConnectResult player_result;
    std::unique_ptr<QGGame> player;
    StatusLine player_status;
    bool newcomer_registered = false;
};

}  // namespace

TEST_F(LevelLoopback, ServerBlastsLeaveTheClientsSurfaceIdentical) {
    default_explosion_radius = 16.0f;
    host_generates(hills(512, 256, 11));
    EXPECT_EQ(surface_hash(player->terrain().surface()), surface_hash(server.game->terrain().surface()));

    paint_on_both(100, 100, 40, 6, color_explosive);
    paint_on_both(139, 106, 3, 30, color_explosive);
    paint_on_both(300, 120, 60, 60, color_indestructible);
    ListenerLog heard;
    heard.listen(*player->event_handler, EQGEventType::SpawnEffect);
    heard.listen(*player->event_handler, EQGEventType::PlaySound);

    const uint64_t before = surface_hash(server.game->terrain().surface());
    random_seed(3);
    server.game->terrain().explode({98.0f, 103.0f}, 6.0f);  // sets the block off: a chain of 330 pixels
    server.game->terrain().explode({330.0f, 150.0f}, 20.0f);
    server.game->terrain().explode({330.0f, 150.0f}, 20.0f);
    server.game->terrain().explode({500.0f, 250.0f}, 30.0f);  // over the corner
    server.game->terrain().explode({250.0f, 60.0f}, 12.5f);
    ASSERT_NE(surface_hash(server.game->terrain().surface()), before);
    // The whole chain went, far beyond the blast that set it off.
    EXPECT_EQ(server.game->terrain().get_pixel(140, 135), color_air);
    EXPECT_EQ(server.game->terrain().get_pixel(139, 100), color_air);

    ASSERT_TRUE(eventually(
        [&] {
            return surface_hash(player->terrain().surface()) == surface_hash(server.game->terrain().surface()) &&
                   std::count(heard.types.begin(), heard.types.end(), 19u) > 0;
        },
        [&] { pump(); }));
    EXPECT_EQ(std::count(heard.types.begin(), heard.types.end(), 20u), 1);
    for (int i = 0; i < 5; ++i) pump();
    EXPECT_EQ(surface_hash(player->terrain().surface()), surface_hash(server.game->terrain().surface()));
}

TEST_F(LevelLoopback, LateJoinerReceivesTheCurrentMapTileByTile) {
    host_generates(hills(600, 300, 5));
    server.game->match_running = true;
    // Blasts in the first tile (which travels with the synchronizer's own record), in the
    // middle, and in the last, partial tile.
    server.game->terrain().explode({30.0f, 40.0f}, 25.0f);
    server.game->terrain().explode({300.0f, 200.0f}, 40.0f);
    server.game->terrain().explode({590.0f, 290.0f}, 30.0f);
    const auto same_terrain = [&](QGGame& client) {
        return surface_hash(client.terrain().surface()) == surface_hash(server.game->terrain().surface());
    };
    ASSERT_TRUE(eventually([&] { return same_terrain(*player); }, [&] { pump(); }));
    // A mark only the player has: tiles meant for somebody else must not touch it.
    fill(player->terrain().surface(), 10, 10, 5, 5, color_ladder);

    const TcpLink& player_link = dynamic_cast<TcpClient&>(*player->network().tcp_transport()).link();
    const uint64_t player_before = player_link.bytes_received();
    ConnectResult spectator_result;
    auto spectator = connect_client(server.port, spectator_result, clock);
    StatusLine spectator_status;
    spectator->status_hook = spectator_status.callback();
    const std::string out = newcomer_joins();
    ASSERT_TRUE(newcomer_registered);
    EXPECT_NE(out.find("A spectator joins the game."), std::string::npos);
    EXPECT_NE(out.find("Sending current map to spectator..."), std::string::npos);
    ASSERT_TRUE(eventually([&] { return spectator->active.load(); }));
    EXPECT_EQ(spectator->local_player_id, 1u);
    spectator->match_running = true;
    QGMapSynchronizer* sync = find_synchronizer(*server.game);
    ASSERT_NE(sync, nullptr);
    EXPECT_EQ(sync->target, 1u);
    const unsigned int sync_id = sync->entity_id;

    auto all = [&] {
        pump();
        spectator->update(0.034f);
    };
    ASSERT_TRUE(eventually(
        [&] {
            return spectator->level && !server.game->registry().holds(sync_id) &&
                   surface_hash(spectator->terrain().surface()) == surface_hash(server.game->terrain().surface());
        },
        all));
    EXPECT_LT((player_link.bytes_received() - player_before) * 4,  // the tiles went to the spectator alone
              dynamic_cast<TcpClient&>(*spectator->network().tcp_transport()).link().bytes_received());
    // The removal reaches the clients after their latency and clears the status line.
    ASSERT_TRUE(eventually([&] { return spectator_status.shown.size() == 2; }, all));
    EXPECT_EQ(spectator_status.shown, (std::vector<std::string>{"Syncing current map state with server...", ""}));
    EXPECT_FALSE(spectator->registry().holds(sync_id));
    EXPECT_EQ(surface_hash(spectator->terrain().surface()), surface_hash(server.game->terrain().surface()));

    // The player built the synchronizer too, showed and cleared the same line, and kept its own
    // pixels.
    ASSERT_TRUE(eventually([&] { return !player->registry().holds(sync_id); }, all));
    EXPECT_EQ(player_status.shown, spectator_status.shown);
    EXPECT_EQ(player->terrain().get_pixel(12, 12), color_ladder);

    // From now on the spectator follows the blasts like everybody else.
    server.game->terrain().explode({150.0f, 150.0f}, 20.0f);
    ASSERT_TRUE(eventually([&] { return same_terrain(*spectator); }, all));
    spectator.reset();
}

TEST_F(LevelLoopback, AJoinerThatReadsNothingIsSentNoMoreOfItsMapThanItsConnectionHolds) {
    host_generates(hills(2048, 1024, 5));
    SDL_Surface* s = server.game->terrain().surface();  // a checkerboard: tiles of tens of kilobytes
    for (int i = 0; i < s->w * s->h; ++i)
        static_cast<uint32_t*>(s->pixels)[i] = ((i + i / s->w) % 2 ? color_destructible : color_air).to_pixel();
    ConnectResult joined;
    auto spectator = connect_client(server.port, joined, clock);
    newcomer_joins();
    ASSERT_TRUE(newcomer_registered && eventually([&] { return spectator->active.load(); }));
    for (int i = 0; i < 60; ++i) pump();  // the spectator reads nothing meanwhile
    EXPECT_NE(find_synchronizer(*server.game), nullptr);
    EXPECT_TRUE(eventually([&] { return surface_hash(spectator->terrain().surface()) == surface_hash(s); },
                           [&] { pump(), spectator->update(0.034f); }));
}

TEST_F(LevelLoopback, SpectatorBeforeTheLevelGetsNoMapStream) {
    server.game->match_running = true;
    ConnectResult spectator_result;
    auto spectator = connect_client(server.port, spectator_result, clock);
    const std::string out = newcomer_joins();
    ASSERT_TRUE(newcomer_registered);
    EXPECT_EQ(out.find("Sending current map to spectator..."), std::string::npos);
    EXPECT_EQ(find_synchronizer(*server.game), nullptr);
    spectator.reset();
}

TEST_F(LevelLoopback, HostileMapStreamIsRejectedAndTheClientGoesOn) {
    host_generates(hills(256, 256, 8));
    const uint64_t map = surface_hash(player->terrain().surface());
    auto* hostile = server.game->spawn<HostileSynchronizer>(0, 0);
    LogCapture log;
    ASSERT_TRUE(eventually([&] { return hostile->sent >= 24; }, [&] { pump(); }));
    for (int i = 0; i < 3; ++i) pump();
    EXPECT_NE(find_synchronizer(*player), nullptr);
    EXPECT_EQ(surface_hash(player->terrain().surface()), map);
    EXPECT_TRUE(log.contains("rejected"));
    EXPECT_TRUE(player->active.load());
    EXPECT_FALSE(player->quit.load());

    // The connection still carries the game.
    server.game->remove_object(hostile->entity_id);
    server.game->terrain().explode({128.0f, 128.0f}, 40.0f);
    ASSERT_TRUE(eventually(
        [&] {
            return surface_hash(player->terrain().surface()) == surface_hash(server.game->terrain().surface()) &&
                   find_synchronizer(*player) == nullptr;
        },
        [&] { pump(); }));
    EXPECT_NE(surface_hash(player->terrain().surface()), map);
    EXPECT_EQ(player_status.shown, (std::vector<std::string>{"Syncing current map state with server...", ""}));
}
