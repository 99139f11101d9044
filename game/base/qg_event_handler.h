#pragma once
#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "game/base/qg_event.h"
#include "game/base/qg_object.h"

// The wire form of an event queue: the count, every event's type, then each event's delayed flag
// and its payload behind its byte count.
struct EventQueueRecord {
    std::vector<QGEvent> events;
};
// Every event takes at least its type (4 bytes), its flag (1) and its payload's byte count (4).
constexpr size_t kMinEventBytes = 9;
template <class S>
bool serialize(S& s, EventQueueRecord& r) {
    return s.count(r.events, kMinEventBytes) && s.each(r.events, [&](QGEvent& e) { return s.value(e.type); }) &&
           s.each(r.events, [&](QGEvent& e) {
               bool delayed = e.delayed.get();
               if (!s.value(delayed)) return false;
               e.set_delayed(delayed);
               return s.counted_bytes(e.data);
           });
}

// A listener's hold on its type: the listener is called until the subscription is reset or
// destroyed. It may outlive the handler, and a listener may end any subscription, its own too,
// while the handler calls listeners.
class EventSubscription {
public:
    EventSubscription() = default;
    EventSubscription(EventSubscription&& other) noexcept = default;
    EventSubscription& operator=(EventSubscription&& other) noexcept {
        if (this != &other) {
            reset();
            listener_ = std::move(other.listener_);
            list_ = std::move(other.list_);
        }
        return *this;
    }
    ~EventSubscription() { reset(); }
    // The listener leaves its type's list at once, and with it what it holds of its owner; a
    // dispatch under way skips it.
    void reset() {
        if (auto listener = listener_.lock()) {
            listener->active = false;
            if (auto list = list_.lock()) std::erase(*list, listener);
        }
        listener_.reset();
        list_.reset();
    }

private:
    friend class QGEventHandler;
    EventSubscription(std::weak_ptr<EventListener> listener, std::weak_ptr<EventListeners> list)
        : listener_(std::move(listener)), list_(std::move(list)) {}
    std::weak_ptr<EventListener> listener_;
    std::weak_ptr<EventListeners> list_;
};

// The one object (entity id 1 on every side, reliable channel) that carries the events: it
// queues outgoing events and writes the whole queue into its sync payload, reads the peer's
// queue, holds back delayed events on a client, and dispatches each event (the type's action
// from the event table, then the type's listeners, each with the payload decoded once into the
// type's record).
//
// Received events are untrusted: counts and sizes are checked against the record, an event
// whose payload size is not its type's is dropped, the server acts only on the types a client
// may send and ties them to the connection they came from, and a client ignores a creation
// record for an id it already holds.
class QGEventHandler : public QGObject {
public:
    struct DelayedEvent {
        int64_t due_ms;
        QGEvent event;
    };

    QGEventHandler(GameSession* game, unsigned int entity_id);

    // Queues an event of the type with its record (types without a payload take none).
    template <EQGEventType T>
    void post(const EventRecord<T>& record, bool delayed = false) {
        queue_event(T, record_bytes(record), delayed);
    }
    template <EQGEventType T>
    requires std::is_same_v<EventRecord<T>, NoPayload>
    void post(bool delayed = false) { queue_event(T, ByteBuffer(), delayed); }
    // Queues a copy of a built event (creation records carry their own type and flag).
    void enqueue(const QGEvent& event);
    // Server: queues an event that only the client on the connection acts on (news of its own
    // player). It goes to that client alone, behind the next packet to all: the others would
    // read it and do nothing, and on a thin link that reading costs the state they need.
    template <EQGEventType T>
    void post_to(unsigned int connection, const EventRecord<T>& record, bool delayed = false) {
        addressed.push_back({connection, {}});
        addressed.back().event.set_record<T>(record, delayed);
    }

    // Calls the listener with the type's record for every event of the type dispatched, after
    // the type's action, until the subscription ends. A type may have several listeners; they
    // run in the order they subscribed.
    template <EQGEventType T, class F>
    [[nodiscard]] EventSubscription subscribe(F listener) {
        auto entry = std::make_shared<EventListener>();
        entry->call = [f = std::move(listener)](const void* record) { f(*static_cast<const EventRecord<T>*>(record)); };
        return add_listener(uint32_t(T), std::move(entry));
    }
    // The type's listeners whose subscriptions last.
    size_t listener_count(EQGEventType type) const;

    // The type's action, then its listeners. A type outside the event table or a payload of the
    // wrong size does nothing, and neither does, on a client, a creation record of an id held.
    void dispatch(const QGEvent& event);

    // The wire form of the queue; Snapshot and Interpolate do nothing.
    void sync_fields() override;
    // The handler's own creation record: type 0 without payload, ignored by receivers.
    void write_creation_event(QGEvent& event) const override;
    bool updates_on_client() const override { return true; }
    bool updates_while_paused() const override { return true; }
    // Dispatches the delayed events that are due.
    void update(float dt) override;
    // Clients' events reach the server through this object's fields.
    bool accepts_client_fields() const override { return true; }
    // The queue the client on the connection sent; the server acts on what it may send.
    void read_client_fields(ByteBuffer& record, unsigned int sender) override { read_queue(record, sender); }

    // Appends the queue's wire form to out (nothing for an empty queue) and empties the queue.
    void write_queue(ByteBuffer& out);
    // Reads a peer's queue; a record whose structure is broken is dropped whole. On the server
    // the sender is the client's connection; without one nothing is acted on.
    void read_queue(ByteBuffer& in, std::optional<unsigned int> sender = std::nullopt);

    std::vector<QGEvent> queue;
    // What post_to queued, in posting order, until the server sends it.
    struct AddressedEvent {
        unsigned int connection;
        QGEvent event;
    };
    std::vector<AddressedEvent> addressed;
    std::list<DelayedEvent> delayed_events;
    int64_t delay_ms = 0;

private:
    void queue_event(EQGEventType type, const ByteBuffer& payload, bool delayed);
    EventSubscription add_listener(uint32_t type, std::shared_ptr<EventListener> listener);

    // One received event that passed the checks of its record.
    void deliver(QGEvent&& event, std::optional<unsigned int> sender);
    // The type's action, then its listeners, for an event of its type's size; with a sender (on
    // the server), only when that client may send it: false, and nothing done, when not.
    bool act_on(const QGEvent& event, const uint32_t* sender);
    // Whether a client may build the object of a creation record.
    bool creation_id_is_new(const QGEvent& event) const;

    // Shared with the subscriptions, which may outlive the handler.
    std::shared_ptr<std::array<EventListeners, kEventTypeCount>> listeners_ =
        std::make_shared<std::array<EventListeners, kEventTypeCount>>();
};

// The entity id a creation record (or a removal) starts with; 0 when the payload is shorter.
uint32_t event_entity_id(const QGEvent& event);
