#include "game/session/qg_event_handler.h"

#include <iostream>
#include <utility>

#include "engine/core/logger.h"
#include "game/session/qg_game.h"

namespace {

// Every event takes at least its type (4 bytes), its flag (1) and its payload size (4).
constexpr size_t kMinEventBytes = 9;

uint32_t u32_at(const QGEvent& event, size_t offset) {
    ByteBuffer in = event.reader();
    uint32_t v = 0;
    if (!in.skip(offset) || !in.read_u32_le(v)) return 0;
    return v;
}

}  // namespace

uint32_t event_entity_id(const QGEvent& event) {
    return u32_at(event, 0);
}

QGEventHandler::QGEventHandler(QGGame* game_, unsigned int entity_id_, bool keep_out)
    : QGObject(game_, entity_id_, true, keep_out) {}

void QGEventHandler::post(EQGEventType type, const void* payload, bool delayed_flag) {
    QGEvent event(type, delayed_flag);
    if (payload) event.set_payload(payload, event.size());
    queue.push_back(std::move(event));
}

void QGEventHandler::post(EQGEventType type, const ByteBuffer& payload, bool delayed_flag) {
    QGEvent event(type, delayed_flag);
    event.set_payload(payload);
    queue.push_back(std::move(event));
}

void QGEventHandler::enqueue(const QGEvent& event) {
    queue.push_back(event);
}

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
    out.write_u32_be(uint32_t(queue.size()));
    for (const QGEvent& event : queue) out.write_u32_le(uint32_t(event.type));
    for (const QGEvent& event : queue) {
        out.write_u8(event.delayed.get() ? 1 : 0);
        out.write_u32_be(event.size());
        out.append(event.data.data(), event.data.size());
    }
    queue.clear();
}

void QGEventHandler::read_queue(ByteBuffer& in) {
    auto drop = [&](const std::string& why) {
        log_message(LogLevel::Warning, "Dropped an event record: " + why, log_class_name_of(*this));
        incoming_.clear();
    };
    uint32_t count = 0;
    if (!in.read_u32_be(count)) return drop("no event count.");
    // The count is checked against the record before anything is allocated for it.
    if (count > in.remaining() / kMinEventBytes)
        return drop(std::to_string(count) + " events claimed in " + std::to_string(in.remaining()) + " bytes.");
    incoming_types_.resize(count);
    for (uint32_t& type : incoming_types_) in.read_u32_le(type);

    incoming_.clear();
    incoming_.reserve(count);
    for (uint32_t type : incoming_types_) {
        uint8_t flag = 0;
        uint32_t size = 0;
        if (!in.read_u8(flag) || !in.read_u32_be(size)) return drop("cut short.");
        if (size > in.remaining())
            return drop("payload of " + std::to_string(size) + " bytes in " + std::to_string(in.remaining()) +
                        " bytes.");
        if (size != event_payload_size(type)) {
            // The actions read fixed layouts; this one cannot reach them.
            log_message(LogLevel::Warning,
                        "Dropped event type " + std::to_string(type) + " with a payload of " +
                            std::to_string(size) + " bytes.",
                        log_class_name_of(*this));
            in.skip(size);
            continue;
        }
        QGEvent event(EQGEventType(type), flag != 0);
        if (size) in.read(event.data.data(), size);
        incoming_.push_back(std::move(event));
    }
    if (!in.ok() || !in.at_end()) return drop("bytes left over.");

    // Delivered only once the whole record has been read: a broken one leaves nothing behind.
    std::vector<QGEvent> events;
    events.swap(incoming_);
    for (QGEvent& event : events) deliver(std::move(event));
}

void QGEventHandler::deliver(QGEvent&& event) {
    if (game && game->is_server) {
        if (!client_may_send(event)) {
            log_message(LogLevel::Warning,
                        "Ignored event type " + std::to_string(uint32_t(event.type)) + " from connection " +
                            (game->current_sender ? std::to_string(*game->current_sender) : std::string("?")) +
                            ".",
                        log_class_name_of(*this));
            return;
        }
        dispatch(event);
        return;
    }
    if (!event.delayed.get()) {
        dispatch(event);
        return;
    }
    const int64_t now = game ? game->now_ms() : 0;
    delayed_events.push_back({now + delay_ms, std::move(event)});
}

bool QGEventHandler::client_may_send(const QGEvent& event) const {
    if (!game->current_sender) return false;
    const unsigned int sender = *game->current_sender;
    const EventSenderRule rule = event_sender_rule(uint32_t(event.type));
    switch (rule.kind) {
    case EventSenderRule::Host: return sender == 0;
    case EventSenderRule::OwnIdAt: return u32_at(event, rule.id_offset) == sender;
    case EventSenderRule::Nobody: return false;
    }
    return false;
}

bool QGEventHandler::creation_id_is_new(const QGEvent& event) const {
    const uint32_t id = event_entity_id(event);
    if (id != 0 && !game->holds_id(id)) return true;
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
    if (!game) return;
    // The server issues its own ids; a client builds each object once.
    if (!game->is_server && is_creation_event(type) && !creation_id_is_new(event)) return;
    if (EventAction action = event_wiring(type).action) action(*this, event);
    const auto& listener = listeners[type];
    if (listener.is_valid()) listener(event.data.data());
}

void QGEventHandler::update(float) {
    if (delayed_events.empty()) return;
    const int64_t now = game ? game->now_ms() : 0;
    // The delay is the same for every event, so they fall due in arrival order.
    while (!delayed_events.empty() && delayed_events.front().due_ms <= now) {
        QGEvent event = std::move(delayed_events.front().event);
        delayed_events.pop_front();
        dispatch(event);
    }
}
