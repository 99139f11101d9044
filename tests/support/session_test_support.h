#pragma once
// Shared pieces of the session suites: terrain surfaces of material colours, objects that record
// what the world step does to them, a captured log, and a server session on loopback built the
// way the server's hosting builds it (without the LAN announcement).
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "game/entities/entity_records.h"
#include "game/levelgen/level_parameters.h"
#include "game/match/qg_match_controller.h"
#include "game/physics/qg_phys_object.h"
#include "game/base/qg_event.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/base/qg_object.h"
#include "game/terrain/qg_level.h"
#include "game/terrain/qg_map_synchronizer.h"
#include "game/terrain/terrain_carver.h"
#include "net/sync/net_clock.h"
#include "net/transport/tcp_server.h"
#include "net/transport/udp.h"
#include "support/surface_test_support.h"

namespace session_test {

using surface_test::set_material_colors;
using surface_test::SurfaceDeleter;
using surface_test::SurfacePtr;

// A 32-bit terrain surface filled with air.
inline SurfacePtr make_surface(int w, int h) { return surface_test::make_surface(w, h, color_air); }

// Fills the rectangle [x, x + w) x [y, y + h), cut to the surface.
inline void fill(SDL_Surface* s, int x, int y, int w, int h, ColorRGBA c) {
    for (int yy = std::max(y, 0); yy < std::min(y + h, s->h); ++yy)
        for (int xx = std::max(x, 0); xx < std::min(x + w, s->w); ++xx) {
            uint32_t v = c.to_pixel();
            std::memcpy(static_cast<uint8_t*>(s->pixels) + yy * s->pitch + xx * 4, &v, 4);
        }
}

// Collects the warnings the code under test logs.
class LogCapture {
public:
    LogCapture() {
        log_reset_for_tests();
        log_set_output_for_tests(&out_);
        log_enable();
        log_set_level(LogLevel::Warning);
    }
    ~LogCapture() {
        log_reset_for_tests();
        log_set_output_for_tests(nullptr);
    }
    bool contains(const std::string& text) const { return out_.str().find(text) != std::string::npos; }
    std::string text() const { return out_.str(); }

private:
    std::ostringstream out_;
};

// What the world step did, in order: "update 7", "sprite 7", "pair 3 5", "terrain 3".
using Journal = std::vector<std::string>;

class RecordingObject : public QGObject {
public:
    RecordingObject(GameSession* game, unsigned int id, Journal* journal, bool reliable = false)
        : QGObject(game, id, reliable), journal_(journal) {}
    ~RecordingObject() override {
        if (deleted_flag) *deleted_flag = true;
    }
    bool updates_on_client() const override { return on_client; }
    bool updates_while_paused() const override { return while_paused; }
    void update(float) override {
        journal_->push_back("update " + std::to_string(entity_id));
        if (on_update) on_update();
    }
    void update_sprite() override { journal_->push_back("sprite " + std::to_string(entity_id)); }

    bool on_client = false;
    bool while_paused = false;
    bool* deleted_flag = nullptr;
    std::function<void()> on_update;

private:
    Journal* journal_;
};

// A physics object that records its updates and collisions.
class RecordingPhys : public QGPhysObject {
public:
    RecordingPhys(GameSession* game, unsigned int id, Journal* journal, ivec2d size, bool is_static = false,
                  float mass = 1.0f, float bounce = 0.0f, unsigned short group = 1, unsigned short mask = 0xffff)
        : QGPhysObject(game, id, size, is_static, mass, 0.0f, 0.0f, bounce, group, mask, 0.0f), journal_(journal) {}
    ~RecordingPhys() override {
        if (deleted_flag) *deleted_flag = true;
    }
    void update(float dt) override {
        if (journal_) journal_->push_back("update " + std::to_string(entity_id));
        if (simulate) QGPhysObject::update(dt);
    }
    void on_object_collision(QGPhysObject* other, const dvec2d& impact) override {
        if (journal_) journal_->push_back("pair " + std::to_string(entity_id) + " " + std::to_string(other->entity_id));
        last_object_impact = impact;
        ++object_collisions;
    }
    void on_terrain_collision(const dvec2d& impact) override {
        if (journal_) journal_->push_back("terrain " + std::to_string(entity_id));
        last_terrain_impact = impact;
        ++terrain_collisions;
    }

    bool simulate = false;
    bool* deleted_flag = nullptr;
    dvec2d last_object_impact;
    dvec2d last_terrain_impact;
    int object_collisions = 0;
    int terrain_collisions = 0;

private:
    Journal* journal_;
};

// A server session without transports, active and running: the world step's own behaviour.
inline std::unique_ptr<QGGame> make_server_session(const NetClock* clock = nullptr) {
    auto game = std::make_unique<QGGame>(QGGame::ServerSide{}, clock);
    game->active = true;
    game->match_running = true;
    game->paused = false;
    return game;
}

// A level holding a copy of the 32-bit terrain, as a match's server holds it (the physics then
// reads the level's solid mask), from the quickest preset, which places nothing, and no water.
inline QGLevel& make_level_of(QGGame& game, SDL_Surface* terrain) {
    const LevelParameters hills{uint32_t(GeneratorPreset::Hills), 0, uint32_t(terrain->w), uint32_t(terrain->h), 0.0f};
    auto* level = game.spawn<QGLevel>(0, hills);
    // A level is never larger than kMaxLevelSize: a larger terrain is cut to it.
    const int w = std::min(terrain->w, level->surface()->w), h = std::min(terrain->h, level->surface()->h);
    for (int y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(level->surface()->pixels) + y * level->surface()->pitch,
                    static_cast<uint8_t*>(terrain->pixels) + y * terrain->pitch, size_t(w) * 4);
    level->solid_mask.build(level->surface());
    return *level;
}

// A client session without a connection, active and running, for the client rules of the step
// and of the dispatcher; headless unless given drawing services. Its event handler has id 1.
inline std::unique_ptr<QGGame> make_headless_client_session(const NetClock* clock = nullptr,
                                                            DrawingServices* drawing = nullptr) {
    auto game = std::make_unique<QGGame>(QGGame::Offline{}, drawing, clock);
    game->active = true;
    game->match_running = true;
    game->paused = false;
    return game;
}

// Applies a record to an object's fields (an event handler's queue) as a received sync record would be.
inline void receive_record(Networkable& handler, ByteBuffer record) {
    handler.mode = Networkable::Read;
    handler.current_packet = &record;
    handler.sync_fields();
    handler.mode = Networkable::Idle;
    handler.current_packet = nullptr;
}

// Applies a record to an object's fields as the server reads it from the client on a connection.
inline void receive_client_record(QGObject& object, ByteBuffer record, unsigned int sender) {
    object.read_client_fields(record, sender);
}

// The handler's wire form of the given events.
inline ByteBuffer record_of(const std::vector<QGEvent>& events) {
    QGEventHandler writer(nullptr, 1);
    for (const QGEvent& e : events) writer.enqueue(e);
    ByteBuffer out;
    writer.write_queue(out);
    return out;
}

// An event whose payload starts with the bytes (cut to the type's size, the rest zero): records
// no field list would write.
inline QGEvent make_event(EQGEventType type, const ByteBuffer& payload, bool delayed = false) {
    QGEvent e(type, delayed);
    std::copy_n(payload.data(), std::min(payload.size(), e.data.size()), e.data.begin());
    return e;
}

// The types of the handler's queue, in order.
inline std::vector<uint32_t> event_types(const QGEventHandler& handler) {
    std::vector<uint32_t> out;
    for (const QGEvent& e : handler.queue) out.push_back(uint32_t(e.type));
    return out;
}

inline ByteBuffer u32_payload(uint32_t v) {
    ByteBuffer b;
    b.write_u32_le(v);
    return b;
}

// A reliable object with one field of its own. It announces itself with a four-byte event
// that has no action, so a client builds its copy from that event's listener (BeaconBuilder).
class Beacon : public QGObject {
public:
    Beacon(GameSession* game, unsigned int id) : QGObject(game, id, true) {}
    void sync_fields() override {
        writes += mode == Write;
        sync_field(value);
    }
    void write_creation_event(QGEvent& event) const override {
        event.set_record<EQGEventType::PlayerHit>(IdRecord{entity_id});
    }
    int32_t value = 0;
    int writes = 0;
};

struct BeaconBuilder {
    explicit BeaconBuilder(QGGame& client)
        : built(client.event_handler->subscribe<EQGEventType::PlayerHit>(
              [game = &client](const IdRecord& r) { game->spawn<Beacon>(r.id); })) {}
    EventSubscription built;
};

// Polls a condition, doing `step` between tests, for up to timeout_ms of real time: only a bound
// on a failing test, with room for a machine loaded many times over.
inline bool eventually(const std::function<bool()>& done, const std::function<void()>& step = {},
                       int timeout_ms = 30000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (step) step();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
}

// A server session with its transports on loopback, built as the server's hosting builds it:
// transports installed, the game set up, the listener on a free port with UDP bound to the same
// number, the players accepted, then the handler entered into the reliable map and the session
// activated. No LAN announcement, no public address.
class LoopbackServer {
public:
    explicit LoopbackServer(const NetClock& clock) : clock_(clock) {}

    // False when no port could be had for both TCP and UDP. make_udp builds the UDP transport
    // (a plain one when empty).
    bool start(uint32_t player_count, int32_t lives = 3, std::function<std::unique_ptr<Udp>()> make_udp = {}) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            game = std::make_unique<QGGame>(QGGame::ServerSide{}, &clock_);
            auto tcp_owned = std::make_unique<TcpServer>();
            auto udp_owned = make_udp ? make_udp() : std::make_unique<Udp>();
            tcp = tcp_owned.get();
            udp = udp_owned.get();
            game->network().install_transports(std::move(tcp_owned), std::move(udp_owned));
            GameParameters params;
            params.player_count = player_count;
            params.lives = lives;
            params.respawn_time = 2.5f;
            game->match_setup().setup_game(params);
            if (!tcp->listen_start(0, 0)) continue;
            port = tcp->listening_port();
            if (udp->bind(port)) return true;
        }
        return false;
    }

    // Accepts until count clients are connected (their connect threads must be running).
    bool accept_players(size_t count) {
        return eventually([&] { return tcp->client_count() >= count; }, [&] { tcp->accept_client(); });
    }

    // Accepts until count clients are connected and waits until the client session has joined.
    bool admit(const QGGame& client, size_t count) {
        return accept_players(count) && eventually([&] { return client.active.load(); });
    }

    void activate() {
        game->registry().reliable_objects()[game->event_handler->entity_id] = game->event_handler;
        game->quit = false;
        game->active = true;
    }

    std::unique_ptr<QGGame> game;
    TcpServer* tcp = nullptr;
    Udp* udp = nullptr;
    unsigned short port = 0;

private:
    const NetClock& clock_;
};

// Remembers the connect result that the session's connect thread reports.
struct ConnectResult {
    std::atomic<int> calls{0};
    std::atomic<bool> value{false};
    void on_result(bool ok) {
        value = ok;
        ++calls;
    }
    Callback<void, bool> callback() { return Callback<void, bool>(this, &ConnectResult::on_result); }
};

// Records the order in which listeners of several types run, with their records' bytes.
struct ListenerLog {
    std::vector<uint32_t> types;
    std::vector<std::vector<uint8_t>> payloads;
    std::vector<EventSubscription> subscriptions;

    // The type comes at run time, a subscription names its record at compile time: a case per row.
    void listen(QGEventHandler& handler, EQGEventType type) {
        switch (type) {
#define LISTEN(name, number, Record, creation, sender, action)                \
    case EQGEventType::name:                                                  \
        return subscriptions.push_back(handler.subscribe<EQGEventType::name>( \
            [this](const Record& r) { types.push_back(number), payloads.push_back(record_bytes(r).bytes()); }));
            QG_EVENT_TYPES(LISTEN)
#undef LISTEN
        }
    }
};

}  // namespace session_test
