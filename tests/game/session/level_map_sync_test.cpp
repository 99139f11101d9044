// The map synchronizer on its own: the tiles the server writes, the client's early entry and
// status line, and streams a hostile server could send.
#include "support/level_test_support.h"

#include <cstring>
#include <string>
#include <vector>

#include "game/terrain/qg_map_synchronizer.h"

using namespace session_test;
using namespace level_test;

namespace {

struct StatusLine {
    std::vector<std::string> shown;
    void show(const std::string& text) { shown.push_back(text); }
    Callback<void, const std::string&> callback() {
        return Callback<void, const std::string&>(this, &StatusLine::show);
    }
};

// One Write pass of the object, as the reliable transport does it.
ByteBuffer write_pass(Networkable& o) {
    ByteBuffer out;
    o.mode = Networkable::Write;
    o.current_packet = &out;
    o.sync_fields();
    o.mode = Networkable::Idle;
    o.current_packet = nullptr;
    return out;
}

// A received record: the Snapshot pass, then the Read pass over the record's own bytes.
void read_pass(Networkable& o, const ByteBuffer& record) {
    ByteBuffer snapshot;
    o.mode = Networkable::Snapshot;
    o.current_packet = &snapshot;
    o.sync_fields();
    EXPECT_TRUE(snapshot.empty());  // no snapshot, so no interpolation either
    ByteBuffer in(record.data(), record.size());
    o.mode = Networkable::Read;
    o.current_packet = &in;
    o.sync_fields();
    o.mode = Networkable::Idle;
    o.current_packet = nullptr;
}

ByteBuffer tile_record(ivec2d offset, const std::vector<unsigned char>& bytes) {
    ByteBuffer b;
    b.write_i32_le(offset.x);
    b.write_i32_le(offset.y);
    b.write_u32_be(uint32_t(bytes.size()));
    b.append(bytes.data(), bytes.size());
    return b;
}

class MapSync : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        server = make_server_session();
        server->flush_registrations();
        server->spawn<QGLevel>(0, hills(300, 290));
        server->flush_registrations();
        // Blasts in two tiles, so the server's map differs from a fresh one.
        server->terrain().explode({20.0f, 200.0f}, 30.0f);
        server->terrain().explode({280.0f, 280.0f}, 25.0f);
        server->event_handler->queue.clear();

        client = make_headless_client_session();
        client->local_player_id = 3;
        client->status_hook = status.callback();
        client->spawn<QGLevel>(40, hills(300, 290));
        client->flush_registrations();
    }

    StatusLine status;
    std::unique_ptr<QGGame> server;
    std::unique_ptr<QGGame> client;
};

}  // namespace

TEST_F(MapSync, ServerSendsTheLevelTileByTileThenRemovesTheSynchronizer) {
    auto* sync = server->spawn<QGMapSynchronizer>(0, 3);
    EXPECT_TRUE(sync->reliable);
    server->flush_registrations();
    auto records = events_of(*server->event_handler, EQGEventType::CreateMapSynchronizer);
    ASSERT_EQ(records.size(), 1u);
    ByteBuffer in = records[0].reader();
    uint32_t id = 0, target = 0;
    ASSERT_TRUE(in.read_u32_le(id));
    ASSERT_TRUE(in.read_u32_le(target));
    EXPECT_EQ(id, sync->entity_id);
    EXPECT_EQ(target, 3u);
    EXPECT_EQ(server->registry().find_object(id), sync);
    server->event_handler->queue.clear();

    // Rows of tiles from the top-left: two of 256 and 44 pixels in each of two rows.
    const std::vector<ivec2d> expected{{0, 0}, {256, 0}, {0, 256}, {256, 256}};
    SurfacePtr copy = make_surface(300, 290);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(server->registry().removal_queue().empty()) << i;
        ByteBuffer record = write_pass(*sync);
        ivec2d offset;
        uint32_t n = 0;
        ASSERT_TRUE(record.read_i32_le(offset.x));
        ASSERT_TRUE(record.read_i32_le(offset.y));
        ASSERT_TRUE(record.read_u32_be(n));
        ASSERT_EQ(n, record.remaining());
        EXPECT_EQ(offset, expected[i]);
        std::vector<unsigned char> bytes(record.read_pointer(), record.read_pointer() + n);
        EXPECT_EQ(bytes, encode_map_tile(server->terrain().surface(), offset, material_colors));
        ASSERT_TRUE(apply_map_tile(copy.get(), offset, bytes, material_colors));
    }
    EXPECT_EQ(surface_hash(copy.get()), surface_hash(server->terrain().surface()));
    EXPECT_EQ(server->registry().removal_queue().count(id), 1u);
    EXPECT_EQ(event_types(*server->event_handler), (std::vector<uint32_t>{4}));
    // Once done it writes nothing more, and goes at the end of the step.
    EXPECT_TRUE(write_pass(*sync).empty());
    server->registry().flush_removals();
    EXPECT_EQ(server->registry().find_object(id), nullptr);
}

TEST_F(MapSync, SynchronizerRemovedBeforeItsCommitLeavesNoEntryBehind) {
    // Every client shows the status line, the newcomer (3) and a player (5) alike.
    for (uint32_t target : {3u, 5u}) {
        status.shown.clear();
        client->event_handler->dispatch([&] {
            ByteBuffer b;
            b.write_u32_le(70);
            b.write_u32_le(target);
            return make_event(EQGEventType::CreateMapSynchronizer, b);
        }());
        ASSERT_EQ(client->registry().reliable_objects().count(70), 1u);
        EXPECT_EQ(client->registry().find_object(70), nullptr);
        client->remove_object(70);
        EXPECT_EQ(client->registry().reliable_objects().count(70), 0u);
        EXPECT_FALSE(client->registry().holds(70));
        client->update(0.0f);  // the send and receive walk the map: nothing dangles there
        EXPECT_EQ(status.shown, (std::vector<std::string>{"Syncing current map state with server...", ""}));
    }
}

TEST_F(MapSync, HostileTilesAreRejectedAndTheClientGoesOn) {
    auto* receiver = client->spawn<QGMapSynchronizer>(90, 3);
    client->flush_registrations();
    const uint64_t before = surface_hash(client->terrain().surface());
    const std::vector<unsigned char> good = encode_map_tile(server->terrain().surface(), {0, 0}, material_colors);
    ASSERT_GT(good.size(), 4u);

    LogCapture log;
    std::vector<ByteBuffer> hostile;
    // Depths of other tile sizes.
    hostile.push_back(tile_record({0, 0}, {0x00, 0xFF, 0xFF}));
    hostile.push_back(tile_record({0, 0}, {0x38, 0x00}));
    // Cut short.
    hostile.push_back(tile_record({0, 0}, std::vector<unsigned char>(good.begin(), good.begin() + 3)));
    // A code beyond the palette (15 of 0 to 9).
    hostile.push_back(tile_record({0, 0}, {0x43, 0xC0}));
    // Offsets that are no tile of the level.
    hostile.push_back(tile_record({256, 512}, good));
    hostile.push_back(tile_record({-256, 0}, good));
    hostile.push_back(tile_record({100, 0}, good));
    // Empty stream.
    hostile.push_back(tile_record({0, 0}, {}));
    // A byte count far beyond the record, and a record without the count at all.
    ByteBuffer liar;
    liar.write_i32_le(0);
    liar.write_i32_le(0);
    liar.write_u32_be(0xFFFFFFF0u);
    liar.write_u8(0x40);
    hostile.push_back(liar);
    ByteBuffer stub;
    stub.write_i32_le(0);
    hostile.push_back(stub);
    for (const ByteBuffer& record : hostile) read_pass(*receiver, record);
    EXPECT_EQ(surface_hash(client->terrain().surface()), before);
    EXPECT_TRUE(log.contains("rejected"));
    EXPECT_TRUE(log.contains("Dropped a map tile record that is cut short."));

    // Garbage of every length: never a crash, never a change beyond what a valid tile does.
    random_seed(77);
    for (int i = 0; i < 300; ++i) {
        std::vector<unsigned char> junk(size_t(random_below(40)));
        for (auto& b : junk) b = static_cast<unsigned char>(random_below(256));
        if (!junk.empty()) junk[0] = static_cast<unsigned char>((junk[0] & 0x07) | (8 << 3));
        read_pass(*receiver, tile_record({0, 0}, junk));
    }
    client->update(0.0f);

    // A good tile still goes through afterwards.
    read_pass(*receiver, tile_record({0, 0}, good));
    SurfacePtr expected = make_surface(300, 290);
    std::memcpy(expected->pixels, client->terrain().surface()->pixels,
                size_t(client->terrain().surface()->pitch) * 290);
    EXPECT_TRUE(apply_map_tile(expected.get(), {0, 0}, good, material_colors));
    EXPECT_EQ(surface_hash(client->terrain().surface()), surface_hash(expected.get()));
    solid_terrain::SolidMask fresh;  // the physics sees the tile's craters too
    fresh.build(client->terrain().surface());
    for (int i = 0; i < 1 << 16; ++i)
        ASSERT_EQ(client->level->solid_mask.next_solid(i & 255, i >> 8, 290), fresh.next_solid(i & 255, i >> 8, 290));

    // A tile for a client that has no level is dropped with a line.
    client->remove_object(40);
    client->update(0.0f);
    ASSERT_EQ(client->level, nullptr);
    read_pass(*receiver, tile_record({0, 0}, good));
    EXPECT_TRUE(log.contains("Dropped a map tile: there is no level to apply it to."));
}

TEST_F(MapSync, TheStreamsOfAConnectionThatLeftStopAndGo) {
    auto* gone = server->spawn<QGMapSynchronizer>(0, 3);
    auto* staying = server->spawn<QGMapSynchronizer>(0, 4);
    server->flush_registrations();
    const size_t before = server->registry().objects().size();
    server->spawn<QGMapSynchronizer>(0, 3);  // not committed yet
    server->network().on_disconnect(nullptr, 3, 0, Connection());
    EXPECT_TRUE(write_pass(*gone).empty() && server->registry().pending_objects().empty());
    server->registry().flush_removals();
    EXPECT_EQ(server->registry().objects().size(), before - 1);
    EXPECT_FALSE(write_pass(*staying).empty());
}
