#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/byte_buffer.h"
#include "net/networkable.h"

// Every game event that is not a continuously synchronised field. Values travel on the wire.
enum class EQGEventType : uint32_t {
    None = 0,
    CreateObject = 1,
    CreatePhysObject = 2,
    CreatePlayer = 3,
    RemoveObject = 4,
    GenerateLevel = 5,
    Explode = 6,
    JoinGame = 7,
    SetupGame = 8,
    SetSpawnPositions = 9,
    StartGame = 10,
    Input = 11,
    Aim = 12,
    CreateItem = 13,
    CreateWeapon = 14,
    CreateProjectile = 15,
    CreateSpecialItem = 16,
    CreateTombstone = 17,
    CreateMatchController = 18,
    SpawnEffect = 19,
    PlaySound = 20,
    Pause = 21,
    Resume = 22,
    MatchOver = 23,
    CreateWaterObject = 24,
    CreateSweetroll = 25,
    PlayerHit = 26,
    CreateMapSynchronizer = 27,
    CreateChat = 28,
    CreatePortal = 29,
};

// Types 0 to 29 have an action slot and a listener slot.
constexpr uint32_t kEventTypeCount = 30;

// The fixed payload size of a type; 0 for a type outside 1 to 29.
uint32_t event_payload_size(EQGEventType type);
uint32_t event_payload_size(uint32_t type);

// Whether the type is an object's creation record whose payload starts with the new entity id
// (GenerateLevel included: it carries the level's id).
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
