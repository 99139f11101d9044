#pragma once
#include <array>
#include <cstdint>
#include <list>
#include <vector>

#include "engine/core/callback.h"
#include "game/session/qg_event.h"
#include "game/session/qg_object.h"

// The one object (entity id 1 on every side, reliable channel) that carries the events: it
// queues outgoing events and writes the whole queue into its sync payload, reads the peer's
// queue, holds back delayed events on a client, and dispatches each event (the type's action
// from the event table, then the type's listener).
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

    QGEventHandler(QGGame* game, unsigned int entity_id, bool keep_out = false);

    // Builds an event of the type, copies the type's payload size from payload (zeros when it
    // is null) and queues it.
    void post(EQGEventType type, const void* payload, bool delayed);
    // The same with the payload from a buffer (at most the type's size is taken).
    void post(EQGEventType type, const ByteBuffer& payload, bool delayed);
    // Queues a copy of a built event (creation records carry their own type and flag).
    void enqueue(const QGEvent& event);
    // The type's action, then its listener. Types outside 0 to 29 do nothing.
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

    // Appends the queue's wire form to out (nothing for an empty queue) and empties the queue.
    void write_queue(ByteBuffer& out);
    // Reads a peer's queue; a record whose structure is broken is dropped whole.
    void read_queue(ByteBuffer& in);

    std::vector<QGEvent> queue;
    std::list<DelayedEvent> delayed_events;
    std::array<Callback<void, const void*>, kEventTypeCount> listeners;
    int64_t delay_ms = 0;

private:
    // One received event that passed the checks of its record.
    void deliver(QGEvent&& event);
    // Whether the server may act on the event from the connection it came from.
    bool client_may_send(const QGEvent& event) const;
    // Whether a client may build the object of a creation record.
    bool creation_id_is_new(const QGEvent& event) const;

    std::vector<uint32_t> incoming_types_;
    std::vector<QGEvent> incoming_;
};

// The entity id a creation record (or a removal) starts with; 0 when the payload is shorter.
uint32_t event_entity_id(const QGEvent& event);
