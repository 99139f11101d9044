#include "game/base/qg_event_handler.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "engine/core/logger.h"
#include "game/base/game_session.h"

namespace {

uint32_t u32_at(const QGEvent& event, size_t offset) {
    ByteBuffer in = event.reader();
    uint32_t v = 0;
    if (!in.skip(offset) || !in.read_u32_le(v)) return 0;
    return v;
}

}  // namespace

uint32_t event_entity_id(const QGEvent& event) { return u32_at(event, 0); }

QGEventHandler::QGEventHandler(GameSession* game_, unsigned int entity_id_) : QGObject(game_, entity_id_, true) {}

void QGEventHandler::queue_event(EQGEventType type, const ByteBuffer& payload, bool delayed_flag) {
    QGEvent event(type, delayed_flag);
    event.set_payload(payload);
    queue.push_back(std::move(event));
}

EventSubscription QGEventHandler::add_listener(uint32_t type, std::shared_ptr<EventListener> listener) {
    EventListeners& listeners = (*listeners_)[type];
    listeners.push_back(listener);
    return EventSubscription(listener, std::shared_ptr<EventListeners>(listeners_, &listeners));
}

size_t QGEventHandler::listener_count(EQGEventType type) const {
    const uint32_t t = uint32_t(type);
    if (t >= kEventTypeCount) return 0;
    return (*listeners_)[t].size();
}

void QGEventHandler::enqueue(const QGEvent& event) { queue.push_back(event); }

void QGEventHandler::write_creation_event(QGEvent& event) const {
    event.set_type(EQGEventType::None);
    event.set_delayed(false);
}

void QGEventHandler::sync_fields() {
    if (!current_packet) return;
    if (mode == Write) write_queue(*current_packet);
    else if (mode == Read) read_queue(*current_packet);
}

void QGEventHandler::write_queue(ByteBuffer& out) {
    if (queue.empty()) return;
    EventQueueRecord record;
    record.events.swap(queue);
    wrote_news = true;
    write_record(out, record);
}

void QGEventHandler::read_queue(ByteBuffer& in, std::optional<unsigned int> sender) {
    // The counts are checked against the record before anything is allocated for them.
    EventQueueRecord record;
    RecordStream<RecordMode::Read> stream(in, &typeid(*this));
    if (!serialize(stream, record) || !in.ok() || !in.at_end()) {
        log_message(LogLevel::Warning, "Dropped an event record: its structure is broken.", log_class_name_of(*this));
        return;
    }
    // Delivered only once the whole record has been read: a broken one leaves nothing behind.
    for (QGEvent& event : record.events) {
        if (event.size() != event_payload_size(uint32_t(event.type))) {
            // The actions read fixed layouts; this one cannot reach them.
            log_message(LogLevel::Warning,
                        "Dropped event type " + std::to_string(uint32_t(event.type)) + " with a payload of " +
                            std::to_string(event.size()) + " bytes.",
                        log_class_name_of(*this));
            continue;
        }
        deliver(std::move(event), sender);
    }
}

void QGEventHandler::deliver(QGEvent&& event, std::optional<unsigned int> sender) {
    if (game && game->is_server) {
        const uint32_t from = sender.value_or(0);
        if (!sender || !act_on(event, &from))
            log_message(LogLevel::Warning,
                        "Ignored event type " + std::to_string(uint32_t(event.type)) + " from connection " +
                            (sender ? std::to_string(*sender) : std::string("?")) + ".",
                        log_class_name_of(*this));
        return;
    }
    if (!event.delayed.get()) {
        act_on(event, nullptr);
        return;
    }
    const int64_t now = game ? game->now_ms() : 0;
    delayed_events.push_back({now + delay_ms, std::move(event)});
}

bool QGEventHandler::creation_id_is_new(const QGEvent& event) const {
    const uint32_t id = event_entity_id(event);
    if (id != 0 && !game->registry().holds(id)) return true;
    log_message(LogLevel::Warning,
                "Ignored a creation record (type " + std::to_string(uint32_t(event.type)) + ") for EntityID " +
                    std::to_string(id) + ", which is " + (id == 0 ? "invalid." : "already taken."),
                log_class_name_of(*this));
    return false;
}

void QGEventHandler::dispatch(const QGEvent& event) {
    const uint32_t type = uint32_t(event.type);
    if (type >= kEventTypeCount) return;
    if (event.size() != event_payload_size(type)) {
        log_message(LogLevel::Warning,
                    "Dropped event type " + std::to_string(type) + " with a payload of " +
                        std::to_string(event.size()) + " bytes.",
                    log_class_name_of(*this));
        return;
    }
    act_on(event, nullptr);
}

bool QGEventHandler::act_on(const QGEvent& event, const uint32_t* sender) {
    const uint32_t type = uint32_t(event.type);
    const EventWiring& wiring = event_wiring(type);
    // A number outside the table: the server refuses it, a client does nothing.
    if (!wiring.deliver) return !sender;
    if (!game) return true;
    // The server issues its own ids; a client builds each object once.
    if (!game->is_server && is_creation_event(type) && !creation_id_is_new(event)) return true;
    return wiring.deliver(*this, event, sender, (*listeners_)[type]);
}

void QGEventHandler::update(float) {
    if (delayed_events.empty()) return;
    const int64_t now = game ? game->now_ms() : 0;
    // The delay is the same for every event, so they fall due in arrival order.
    while (!delayed_events.empty() && delayed_events.front().due_ms <= now) {
        QGEvent event = std::move(delayed_events.front().event);
        delayed_events.pop_front();
        // Its size was checked as it arrived.
        act_on(event, nullptr);
    }
}
