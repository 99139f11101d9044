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

// Every game event that is not a continuously synchronised field, one row per type:
// X(name, number on the wire, payload record, creation record, which client may send it, action).
// A creation record's payload starts with the new entity id (GenerateLevel carries the level's).
// Input and Aim start with the sender's player index, which is its connection id. None is the
// event handler's own creation record. The session expands only the name, number, creation and
// sender columns; game/game_events.cpp expands the records and actions.
#define QG_EVENT_TYPES(X)                                                                                      \
    X(None, 0, NoPayload, false, kServerOnly, nullptr)                                                          \
    X(CreateObject, 1, IdRecord, true, kServerOnly, create_object_action)                                       \
    X(CreatePhysObject, 2, PhysObjectRecord, true, kServerOnly, create_phys_object_action)                      \
    X(CreatePlayer, 3, PlayerRecord, true, kServerOnly, create_player_action)                                   \
    X(RemoveObject, 4, IdRecord, false, kServerOnly, remove_object_action)                                      \
    X(GenerateLevel, 5, LevelCreation, true, kHostOnly, generate_level_action)                                  \
    X(Explode, 6, Explosion, false, kServerOnly, explode_action)                                                \
    X(JoinGame, 7, JoinRequest, false, own_id_at(kJoinRequestIdOffset), join_game_action)                       \
    X(SetupGame, 8, GameParameters, false, kServerOnly, setup_game_action)                                      \
    X(SetSpawnPositions, 9, SpawnPositions, false, kHostOnly, set_spawn_positions_action)                       \
    X(StartGame, 10, NoPayload, false, kServerOnly, start_game_action)                                          \
    X(Input, 11, PlayerInput, false, own_id_at(0), input_action)                                                \
    X(Aim, 12, PlayerAim, false, own_id_at(0), aim_action)                                                      \
    X(CreateItem, 13, ItemRecord, true, kServerOnly, create_item_action)                                        \
    X(CreateWeapon, 14, DefinedItemRecord, true, kServerOnly, create_weapon_action)                             \
    X(CreateProjectile, 15, ProjectileRecord, true, kServerOnly, create_projectile_action)                      \
    X(CreateSpecialItem, 16, DefinedItemRecord, true, kServerOnly, create_special_item_action)                  \
    X(CreateTombstone, 17, TombstoneRecord, true, kServerOnly, create_tombstone_action)                         \
    X(CreateMatchController, 18, MatchControllerRecord, true, kServerOnly, create_match_controller_action)      \
    X(SpawnEffect, 19, EffectSpawn, false, kServerOnly, nullptr)                                                \
    X(PlaySound, 20, SoundRequest, false, kServerOnly, nullptr)                                                 \
    X(Pause, 21, NoPayload, false, kServerOnly, pause_action)                                                   \
    X(Resume, 22, NoPayload, false, kServerOnly, resume_action)                                                 \
    X(MatchOver, 23, NoPayload, false, kServerOnly, nullptr)                                                    \
    X(CreateWaterObject, 24, IdRecord, true, kServerOnly, sph::create_water_object_action)                      \
    X(CreateSweetroll, 25, PlacedObjectRecord, true, kServerOnly, create_sweetroll_action)                      \
    X(PlayerHit, 26, IdRecord, false, kServerOnly, nullptr)                                                     \
    X(CreateMapSynchronizer, 27, MapSynchronizerRecord, true, kServerOnly, create_map_synchronizer_action)      \
    X(CreateChat, 28, IdRecord, true, kServerOnly, create_chat_action)                                          \
    X(CreatePortal, 29, PlacedObjectRecord, true, kServerOnly, create_portal_action)

// Values travel on the wire.
enum class EQGEventType : uint32_t {
#define QG_EVENT_ENUM(name, number, Record, creation, sender, action) name = number,
    QG_EVENT_TYPES(QG_EVENT_ENUM)
#undef QG_EVENT_ENUM
};

// Every type has an action slot and a listener slot, indexed by its number.
#define QG_EVENT_COUNT(name, number, Record, creation, sender, action) +1
constexpr uint32_t kEventTypeCount = 0 QG_EVENT_TYPES(QG_EVENT_COUNT);
#undef QG_EVENT_COUNT

class QGEvent;
class QGEventHandler;

// What the dispatcher does for one event type, mostly building the object a creation record
// describes; types without one reach only their listener.
using EventAction = void (*)(QGEventHandler& handler, const QGEvent& event);

// The game library's part of a type: the size its record measures and its action. Defined above
// the session (game/game_events.cpp), where the records and actions are known; linking the
// session links it, so it is there before any session runs. Empty for a number outside the table.
struct EventWiring {
    uint32_t payload_bytes = 0;
    EventAction action = nullptr;
};
const EventWiring& event_wiring(uint32_t type);

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
    // The payload as its record; false when its field list refused it.
    template <class R>
    bool read(R& record) const {
        ByteBuffer in = reader();
        return read_record(in, record);
    }

    EQGEventType type = EQGEventType::None;
    PrivateWrite<bool, QGEvent> delayed;
    std::vector<uint8_t> data;
};
