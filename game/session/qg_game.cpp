#include "game/session/qg_game.h"

#include <chrono>
#include <future>

#include "engine/core/logger.h"
#include "game/entities/qg_player.h"
#include "game/physics/qg_phys_object.h"
#include "game/session/client_session.h"
#include "game/base/drawing_services.h"
#include "game/base/qg_event_handler.h"
#include "game/base/qg_object.h"
#include "game/session/server_session.h"

namespace {

// How often a client busy with long work answers pings: well within the keep-alive interval.
constexpr int kBusyPingMs = 50;

}  // namespace

QGGame::QGGame(DrawingServices* drawing, unsigned short port, sf::IpAddress server, Callback<void, bool> on_connected,
               const NetClock* clock, std::string join_name)
    : clock_(clock), drawing_(drawing), registry_(*this), terrain_(*this), match_(*this) {
    is_server = false;
    hold_event_handler();
    auto client =
        std::make_unique<ClientSession>(*this, clock, port, server, std::move(on_connected), std::move(join_name));
    client_net_ = client.get();
    net_ = std::move(client);
}

QGGame::QGGame(ServerSide, const NetClock* clock) : clock_(clock), registry_(*this), terrain_(*this), match_(*this) {
    is_server = true;
    net_ = std::make_unique<ServerSession>(*this, clock);
    // The first object: it takes id 1, the id it has on every side.
    event_handler = spawn<QGEventHandler>(0);
}

QGGame::QGGame(Offline, DrawingServices* drawing, const NetClock* clock)
    : clock_(clock), drawing_(drawing), registry_(*this), terrain_(*this), match_(*this) {
    is_server = false;
    hold_event_handler();
    auto client = std::make_unique<ClientSession>(*this, clock);
    client_net_ = client.get();
    net_ = std::move(client);
}

void QGGame::hold_event_handler() {
    // The handler's id comes with the connection: the client's network side enters it under id
    // 1, the id it has on every side. The registry owns it meanwhile.
    auto handler = std::make_unique<QGEventHandler>(this, 0);
    event_handler = handler.get();
    registry_.hold(std::move(handler));
}

QGGame::~QGGame() {
    net_->shut_down();
    registry_.clear();
    net_->close_transports();
}

int64_t QGGame::now_ms() const {
    if (clock_) return clock_->now_ms();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void QGGame::update(float dt) {
    if (!active.load(std::memory_order_acquire)) return;
    // What a client's step logs comes of what its server sent: limited per kind as a server
    // limits each client's lines.
    std::optional<LogPeerScope> from_server;
    if (client_net_) from_server.emplace(client_net_->server_peer(), now_ms());

    if (match_running) {
        if (is_server) {
            for (auto& [id, object] : registry_.objects()) {
                if (paused && !object->updates_while_paused()) continue;
                object->update(dt);
            }
            if (!paused) collisions_.run(registry_.physics_objects());
        } else {
            for (auto& [id, object] : registry_.objects())
                if (object->updates_on_client()) object->update(dt);
        }
    }

    flush_registrations();

    net_->exchange();

    if (!is_server) {
        for (auto& [id, object] : registry_.objects()) {
            object->update_sprite();
            if (ObjectLook* look = object->look()) look->update();
        }
    }

    registry_.flush_removals();
}

void QGGame::run_keeping_connection(const std::function<void()>& work) {
    if (is_server || !net_->tcp_transport()) {
        work();
        return;
    }
    // The work runs on a thread of its own while this one answers pings; the join orders what
    // it wrote before everything after.
    std::future<void> done = std::async(std::launch::async, work);
    while (done.wait_for(std::chrono::milliseconds(kBusyPingMs)) != std::future_status::ready) net_->answer_pings();
    done.get();
}

bool QGGame::register_object(std::unique_ptr<QGObject> object) {
    QGObject* taken = registry_.add(std::move(object));
    if (!taken) return false;
    taken->admitted();
    if (drawing_) taken->set_look(drawing_->make_look(*taken));
    return true;
}

void QGGame::flush_registrations() {
    const std::vector<QGObject*>& committed = registry_.commit(is_server);
    // The clients build their copies from the creation records, sent with this step's packet.
    if (!is_server || !event_handler) return;
    for (QGObject* object : committed) {
        QGEvent record;
        object->write_creation_event(record);
        event_handler->enqueue(record);
    }
}

void QGGame::remove_object(unsigned int id) {
    if (id == 0) return;
    if (event_handler && id == event_handler->entity_id) {
        log_message(LogLevel::Warning, "Refused to remove the event handler (EntityID " + std::to_string(id) + ").",
                    log_class_name_of(*this));
        return;
    }
    if (!registry_.remove(id)) return;
    if (is_server && event_handler) event_handler->post<EQGEventType::RemoveObject>(IdRecord{id}, true);
}

void QGGame::play_sound(int sound_id) {
    if (!event_handler) return;
    SoundRequest request;
    request.sound_id = sound_id;
    event_handler->post<EQGEventType::PlaySound>(request);
}
