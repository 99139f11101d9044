#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "engine/core/byte_buffer.h"
#include "engine/core/geometry.h"
#include "game/base/record_stream.h"

// The records of the session flow that travel as event payloads; the field lists below read,
// write and measure each, and declare every field's range. The fixed-width structs keep their
// payload's layout (explicit padding) so that the two stay easy to compare.

// Where an object is, in its creation record and its state record alike: both coordinates numbers.
inline constexpr Finite kPositionRange{};

// Most collider side (of an object, a carried item) a creation record may claim, in pixels.
constexpr int32_t kMaxRecordColliderSide = 4096;

// Most player slots a session has; spawn lists and player tables never hold more.
constexpr uint32_t kMaxPlayers = 16;
constexpr uint32_t kMaxSpawnPositions = 16;

// Payload of SetupGame (16 bytes).
struct GameParameters {
    uint32_t player_count = 0;
    int32_t lives = 0;
    float respawn_time = 0.0f;
    uint8_t teams = 0;
    uint8_t friendly_fire = 0;
    uint8_t padding[2] = {0, 0};
};
static_assert(std::is_standard_layout_v<GameParameters>);
static_assert(sizeof(GameParameters) == 16);

// Payload of JoinGame (20 bytes): the name in 16 bytes (text: at most 15 characters go out),
// then the connection id the handshake gave the client.
struct JoinRequest {
    std::string name;
    uint32_t player_id = 0;
};

// Payload of SetSpawnPositions (132 bytes): the number of valid entries, then 16 points.
struct SpawnPositions {
    struct Point {
        float x = 0.0f;
        float y = 0.0f;
    };
    uint32_t count = 0;
    Point positions[kMaxSpawnPositions];

    SpawnPositions() = default;
};
static_assert(std::is_standard_layout_v<SpawnPositions>);
static_assert(sizeof(SpawnPositions) == 132);

// Payload of SpawnEffect (24 bytes): a particle effect the server announces; the fourth word is
// the spawn angle's bits (the server sends 0).
struct EffectSpawn {
    int32_t effect_id = 0;
    int32_t particles = 0;
    float particle_time = 0.0f;
    uint32_t angle_bits = 0;
    float x = 0.0f;
    float y = 0.0f;
};
static_assert(std::is_standard_layout_v<EffectSpawn>);
static_assert(sizeof(EffectSpawn) == 24);

// Payload of PlaySound (8 bytes): the sound's index and a second word (the loop count; 0).
struct SoundRequest {
    int32_t sound_id = 0;
    uint32_t second_word = 0;
};
static_assert(std::is_standard_layout_v<SoundRequest>);
static_assert(sizeof(SoundRequest) == 8);

// Why a player's health changed.
enum class DamageType : uint32_t {
    Fall = 1,
    Drowning = 2,
    Impact = 3,
    Weapon = 4,
    Sweetroll = 5,
    Environment = 6,
};

// A player index that names nobody (the "no owner" index of carried items).
constexpr uint32_t kNoPlayerIndex = 17;

// The cause of a health change (12 bytes where records carry it).
struct DamageCause {
    DamageType type = DamageType::Environment;
    uint32_t weapon_definition = 0;
    uint32_t source_player = kNoPlayerIndex;
};
static_assert(sizeof(DamageCause) == 12);

// Any number of lives (0 or less: no limit); the flags are bytes tested against 0.
template <class S>
bool serialize(S& s, GameParameters& p) {
    return s.value(p.player_count, 1u, kMaxPlayers) && s.value(p.lives) && s.finite(p.respawn_time) &&
           s.value(p.teams) && s.value(p.friendly_fire) && s.pad(2);
}

// Any connection id: spectators' ids lie beyond the player slots, and the join ignores them.
template <class S>
bool serialize(S& s, JoinRequest& r) {
    return s.text(r.name, 16) && s.value(r.player_id);
}

// The count indexes the 16 points, and the points within it become player positions.
template <class S>
bool serialize(S& s, SpawnPositions& r) {
    if (!s.value(r.count) || !s.check(r.count <= kMaxSpawnPositions, "more spawn points than a list holds."))
        return false;
    for (uint32_t i = 0; i < kMaxSpawnPositions; ++i) {
        auto& p = r.positions[i];
        if (!(i < r.count ? s.finite(p.x) && s.finite(p.y) : s.value(p.x) && s.value(p.y))) return false;
    }
    return true;
}

// The effect index names an effect of the particle file, which the drawing side holds and checks;
// the angle's bits are taken as they come (a spawn angle that is no number counts as 0).
template <class S>
bool serialize(S& s, EffectSpawn& e) {
    return s.value(e.effect_id, 0, INT32_MAX) && s.value(e.particles, 0, INT32_MAX) && s.finite(e.particle_time) &&
           s.value(e.angle_bits) && s.finite(e.x) && s.finite(e.y);
}

// A sound index of the audio side (negative: no sound); the second word is a loop count, and a
// negative one would loop for ever.
template <class S>
bool serialize(S& s, SoundRequest& r) {
    return s.value(r.sound_id) && s.value(r.second_word, 0u, uint32_t(INT32_MAX));
}

// One id: an entity's (CreateObject, RemoveObject, CreateWaterObject, CreateChat) or a player's
// index (PlayerHit).
struct IdRecord {
    uint32_t id = 0;
};
template <class S>
bool serialize(S& s, IdRecord& r) {
    return s.value(r.id);
}
