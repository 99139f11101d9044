#include "game/qg_event.h"

#include <algorithm>
#include <cstring>

namespace {

// Payload bytes of types 0 to 29, as the records of each type are laid out.
constexpr uint32_t kPayloadSizes[kEventTypeCount] = {
    0,    // None: the event handler's own creation record
    4,    // CreateObject
    56,   // CreatePhysObject
    44,   // CreatePlayer
    4,    // RemoveObject
    52,   // GenerateLevel
    12,   // Explode
    20,   // JoinGame
    16,   // SetupGame
    132,  // SetSpawnPositions
    0,    // StartGame
    12,   // Input
    12,   // Aim
    56,   // CreateItem
    20,   // CreateWeapon
    28,   // CreateProjectile
    20,   // CreateSpecialItem
    28,   // CreateTombstone
    24,   // CreateMatchController
    24,   // SpawnEffect
    8,    // PlaySound
    0,    // Pause
    0,    // Resume
    0,    // MatchOver
    4,    // CreateWaterObject
    12,   // CreateSweetroll
    4,    // PlayerHit
    8,    // CreateMapSynchronizer
    4,    // CreateChat
    12,   // CreatePortal
};

}  // namespace

uint32_t event_payload_size(uint32_t type) {
    return type < kEventTypeCount ? kPayloadSizes[type] : 0;
}

uint32_t event_payload_size(EQGEventType type) {
    return event_payload_size(uint32_t(type));
}

bool is_creation_event(uint32_t type) {
    switch (EQGEventType(type)) {
    case EQGEventType::CreateObject:
    case EQGEventType::CreatePhysObject:
    case EQGEventType::CreatePlayer:
    case EQGEventType::GenerateLevel:
    case EQGEventType::CreateItem:
    case EQGEventType::CreateWeapon:
    case EQGEventType::CreateProjectile:
    case EQGEventType::CreateSpecialItem:
    case EQGEventType::CreateTombstone:
    case EQGEventType::CreateMatchController:
    case EQGEventType::CreateWaterObject:
    case EQGEventType::CreateSweetroll:
    case EQGEventType::CreateMapSynchronizer:
    case EQGEventType::CreateChat:
    case EQGEventType::CreatePortal:
        return true;
    default:
        return false;
    }
}

void QGEvent::set_type(EQGEventType t) {
    if (t == type) return;
    type = t;
    data.assign(event_payload_size(t), 0);
}

void QGEvent::set_payload(const void* bytes, size_t n) {
    std::fill(data.begin(), data.end(), uint8_t(0));
    const size_t count = std::min(n, data.size());
    if (count) std::memcpy(data.data(), bytes, count);
}
