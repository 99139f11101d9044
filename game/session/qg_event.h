#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "game/session/session_records.h"
#include "net/sync/networkable.h"

// Which client may send an event of a type to the server.
struct EventSenderRule {
    enum Kind : uint8_t {
        Nobody,   // server-only
        Host,     // only the host's own client (connection 0)
        OwnIdAt,  // a client whose connection id is the u32 at byte id_offset of the payload
    };
    Kind kind = Nobody;
    uint32_t id_offset = 0;
};
constexpr EventSenderRule kServerOnly{EventSenderRule::Nobody, 0};
constexpr EventSenderRule kHostOnly{EventSenderRule::Host, 0};
constexpr EventSenderRule own_id_at(uint32_t offset) { return {EventSenderRule::OwnIdAt, offset}; }

// A joining client names itself by the player id of its request.
constexpr uint32_t kJoinRequestIdOffset = offsetof(JoinRequest, player_id);

// Every game event that is not a continuously synchronised field, one line per type:
// X(name, number on the wire, payload bytes, creation record, which client may send it).
// A creation record's payload starts with the new entity id (GenerateLevel carries the level's).
// Input and Aim start with the sender's player index, which is its connection id. None is the
// event handler's own creation record.
#define QG_EVENT_TYPES(X)                                                   \
    X(None, 0, 0, false, kServerOnly)                                       \
    X(CreateObject, 1, 4, true, kServerOnly)                                \
    X(CreatePhysObject, 2, 56, true, kServerOnly)                           \
    X(CreatePlayer, 3, 44, true, kServerOnly)                               \
    X(RemoveObject, 4, 4, false, kServerOnly)                               \
    X(GenerateLevel, 5, 52, true, kHostOnly)                                \
    X(Explode, 6, 12, false, kServerOnly)                                   \
    X(JoinGame, 7, 20, false, own_id_at(kJoinRequestIdOffset))              \
    X(SetupGame, 8, 16, false, kServerOnly)                                 \
    X(SetSpawnPositions, 9, 132, false, kHostOnly)                          \
    X(StartGame, 10, 0, false, kServerOnly)                                 \
    X(Input, 11, 12, false, own_id_at(0))                                   \
    X(Aim, 12, 12, false, own_id_at(0))                                     \
    X(CreateItem, 13, 56, true, kServerOnly)                                \
    X(CreateWeapon, 14, 20, true, kServerOnly)                              \
    X(CreateProjectile, 15, 28, true, kServerOnly)                          \
    X(CreateSpecialItem, 16, 20, true, kServerOnly)                         \
    X(CreateTombstone, 17, 28, true, kServerOnly)                           \
    X(CreateMatchController, 18, 24, true, kServerOnly)                     \
    X(SpawnEffect, 19, 24, false, kServerOnly)                              \
    X(PlaySound, 20, 8, false, kServerOnly)                                 \
    X(Pause, 21, 0, false, kServerOnly)                                     \
    X(Resume, 22, 0, false, kServerOnly)                                    \
    X(MatchOver, 23, 0, false, kServerOnly)                                 \
    X(CreateWaterObject, 24, 4, true, kServerOnly)                          \
    X(CreateSweetroll, 25, 12, true, kServerOnly)                           \
    X(PlayerHit, 26, 4, false, kServerOnly)                                 \
    X(CreateMapSynchronizer, 27, 8, true, kServerOnly)                      \
    X(CreateChat, 28, 4, true, kServerOnly)                                 \
    X(CreatePortal, 29, 12, true, kServerOnly)

// Values travel on the wire.
enum class EQGEventType : uint32_t {
#define QG_EVENT_ENUM(name, number, bytes, creation, sender) name = number,
    QG_EVENT_TYPES(QG_EVENT_ENUM)
#undef QG_EVENT_ENUM
};

// Every type has an action slot and a listener slot, indexed by its number.
#define QG_EVENT_COUNT(name, number, bytes, creation, sender) +1
constexpr uint32_t kEventTypeCount = 0 QG_EVENT_TYPES(QG_EVENT_COUNT);
#undef QG_EVENT_COUNT

// The fixed payload size of a type; 0 for a number outside the table.
uint32_t event_payload_size(EQGEventType type);
uint32_t event_payload_size(uint32_t type);

// Whether the type is an object's creation record whose payload starts with the new entity id.
bool is_creation_event(uint32_t type);

// Which client may send the type; nobody for a number outside the table.
EventSenderRule event_sender_rule(uint32_t type);

// One event message. Copies are deep: the copy owns a payload of its own.
class QGEvent {
public:
    QGEvent() = default;
    explicit QGEvent(EQGEventType t, bool delayed_flag = false) {
        set_type(t);
        set_delayed(delayed_flag);
    }

    // A new type gets a zeroed payload of that type's size; the same type keeps its payload.
    void set_type(EQGEventType t);
    void set_delayed(bool d) { delayed = d; }

    // Copies the bytes into the payload: at most the payload's size, the rest stays zero.
    void set_payload(const void* bytes, size_t n);
    void set_payload(const ByteBuffer& bytes) { set_payload(bytes.data(), bytes.size()); }

    uint32_t size() const { return uint32_t(data.size()); }
    // A buffer over a copy of the payload, for decoding.
    ByteBuffer reader() const { return ByteBuffer(data.data(), data.size()); }

    EQGEventType type = EQGEventType::None;
    PrivateWrite<bool, QGEvent> delayed;
    std::vector<uint8_t> data;
};
