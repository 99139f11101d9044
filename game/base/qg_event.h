#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "game/base/session_records.h"
#include "net/sync/networkable.h"

// Which client may send an event of a type to the server: nobody (server-only), only the host's
// own client (connection 0), or, with own_id, a client whose connection id is the named field of
// the type's record.
struct EventSenderRule {
    enum Kind : uint8_t {
        Nobody,
        Host,
    };
    Kind kind = Nobody;
};
constexpr EventSenderRule kServerOnly{EventSenderRule::Nobody};
constexpr EventSenderRule kHostOnly{EventSenderRule::Host};
template <class Record>
struct OwnIdRule {
    uint32_t Record::*field;
};
template <class Record>
constexpr OwnIdRule<Record> own_id(uint32_t Record::*field) {
    return {field};
}

// Every game event that is not a continuously synchronised field, one row per type:
// X(name, number on the wire, payload record, creation record, which client may send it, action).
// A creation record's payload starts with the new entity id (GenerateLevel carries the level's).
// Input and Aim name the sender's player index, which is its connection id. None is the event
// handler's own creation record. The session expands the name, number, record and creation
// columns; game/game_events.cpp, where every record's field list is known, expands the records'
// sizes and decoders, the sender rules and the actions.
#define QG_EVENT_TYPES(X)                                                                                  \
    X(None, 0, NoPayload, false, kServerOnly, nullptr)                                                     \
    X(CreateObject, 1, IdRecord, true, kServerOnly, create_object_action)                                  \
    X(CreatePhysObject, 2, PhysObjectRecord, true, kServerOnly, create_phys_object_action)                 \
    X(CreatePlayer, 3, PlayerRecord, true, kServerOnly, create_player_action)                              \
    X(RemoveObject, 4, IdRecord, false, kServerOnly, remove_object_action)                                 \
    X(GenerateLevel, 5, LevelCreation, true, kHostOnly, generate_level_action)                             \
    X(Explode, 6, Explosion, false, kServerOnly, explode_action)                                           \
    X(JoinGame, 7, JoinRequest, false, own_id(&JoinRequest::player_id), join_game_action)                  \
    X(SetupGame, 8, GameParameters, false, kServerOnly, setup_game_action)                                 \
    X(SetSpawnPositions, 9, SpawnPositions, false, kHostOnly, set_spawn_positions_action)                  \
    X(StartGame, 10, NoPayload, false, kServerOnly, start_game_action)                                     \
    X(Input, 11, PlayerInput, false, own_id(&PlayerInput::player_index), input_action)                     \
    X(Aim, 12, PlayerAim, false, own_id(&PlayerAim::player_index), aim_action)                             \
    X(CreateItem, 13, ItemRecord, true, kServerOnly, create_item_action)                                   \
    X(CreateWeapon, 14, WeaponRecord, true, kServerOnly, create_weapon_action)                             \
    X(CreateProjectile, 15, ProjectileRecord, true, kServerOnly, create_projectile_action)                 \
    X(CreateSpecialItem, 16, SpecialItemRecord, true, kServerOnly, create_special_item_action)             \
    X(CreateTombstone, 17, TombstoneRecord, true, kServerOnly, create_tombstone_action)                    \
    X(CreateMatchController, 18, MatchControllerRecord, true, kServerOnly, create_match_controller_action) \
    X(SpawnEffect, 19, EffectSpawn, false, kServerOnly, nullptr)                                           \
    X(PlaySound, 20, SoundRequest, false, kServerOnly, nullptr)                                            \
    X(Pause, 21, NoPayload, false, kServerOnly, pause_action)                                              \
    X(Resume, 22, NoPayload, false, kServerOnly, resume_action)                                            \
    X(MatchOver, 23, NoPayload, false, kServerOnly, nullptr)                                               \
    X(CreateWaterObject, 24, IdRecord, true, kServerOnly, sph::create_water_object_action)                 \
    X(CreateSweetroll, 25, PlacedObjectRecord, true, kServerOnly, create_sweetroll_action)                 \
    X(PlayerHit, 26, IdRecord, false, kServerOnly, nullptr)                                                \
    X(CreateMapSynchronizer, 27, MapSynchronizerRecord, true, kServerOnly, create_map_synchronizer_action) \
    X(CreateChat, 28, IdRecord, true, kServerOnly, create_chat_action)                                     \
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

// Each type's record: the table's records are declared here, and a caller that posts or listens
// for a type includes its record's own header.
#define QG_EVENT_RECORD_DECLARATION(name, number, Record, creation, sender, action) struct Record;
QG_EVENT_TYPES(QG_EVENT_RECORD_DECLARATION)
#undef QG_EVENT_RECORD_DECLARATION
template <EQGEventType T>
struct EventRecordOf;
#define QG_EVENT_RECORD_OF(name, number, Record, creation, sender, action) \
    template <>                                                            \
    struct EventRecordOf<EQGEventType::name> {                             \
        using type = Record;                                               \
    };
QG_EVENT_TYPES(QG_EVENT_RECORD_OF)
#undef QG_EVENT_RECORD_OF
template <EQGEventType T>
using EventRecord = typename EventRecordOf<T>::type;

class QGEvent;
class QGEventHandler;

// One subscriber of a type: it takes the type's decoded record (subscribe casts it back) while
// its subscription lasts.
struct EventListener {
    std::function<void(const void* record)> call;
    bool active = true;
};
using EventListeners = std::vector<std::shared_ptr<EventListener>>;

// The game library's part of a type: the size its record measures, and the delivery of an event
// whose payload has that size. Delivery asks the type's sender rule first when a sender is given
// (the server's case: whether the client with that connection id may send the event; false, and
// nothing done, when not), then runs the type's action (mostly building the object a creation
// record describes) and hands the decoded record to the live listeners, decoding the payload once.
// Defined above the session (game/game_events.cpp), where the records and actions are known;
// linking the session links it, so it is there before any session runs. Empty for a number
// outside the table.
struct EventWiring {
    uint32_t payload_bytes = 0;
    bool (*deliver)(QGEventHandler& handler, const QGEvent& event, const uint32_t* sender,
                    const EventListeners& listeners) = nullptr;
};
const EventWiring& event_wiring(uint32_t type);

// The fixed payload size of a type; 0 for a number outside the table.
uint32_t event_payload_size(EQGEventType type);
uint32_t event_payload_size(uint32_t type);

// Whether the type is an object's creation record whose payload starts with the new entity id.
bool is_creation_event(uint32_t type);

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

    // The type with its record and the delayed flag. The record is the one the event table names
    // for the type, so a record of another type does not compile.
    template <EQGEventType T>
    void set_record(const EventRecord<T>& record, bool delayed_flag = false) {
        set_type(T);
        set_delayed(delayed_flag);
        set_payload(record_bytes(record));
    }

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

private:
    // The handler queues records it has measured already.
    friend class QGEventHandler;
    // Copies the bytes into the payload: at most the payload's size, the rest stays zero.
    void set_payload(const void* bytes, size_t n);
    void set_payload(const ByteBuffer& bytes) { set_payload(bytes.data(), bytes.size()); }
};
