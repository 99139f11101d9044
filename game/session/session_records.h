#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "engine/core/byte_buffer.h"
#include "engine/core/geometry.h"

// The records of the session flow that travel as event payloads. Each struct is laid out as its
// payload is (fixed-width fields, explicit padding, little-endian on this machine) so that a
// screen may post it as it stands; the codecs below read and write it field by field.

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

// Payload of JoinGame (20 bytes): the name NUL-terminated within 16 bytes, then the connection
// id the handshake gave the client.
struct JoinRequest {
    char name[16] = {};
    uint32_t player_id = 0;

    // Keeps at most 15 bytes of the name, so the terminating NUL always fits.
    void set_name(const std::string& text);
    // The bytes up to the first NUL, or all 16 when a peer sent none.
    std::string get_name() const;
};
static_assert(std::is_standard_layout_v<JoinRequest>);
static_assert(sizeof(JoinRequest) == 20);
static_assert(offsetof(JoinRequest, player_id) == 16);

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

constexpr size_t kEffectSpawnSize = 24;
constexpr size_t kSoundRequestSize = 8;
constexpr size_t kGameParametersSize = 16;
constexpr size_t kJoinRequestSize = 20;
constexpr size_t kSpawnPositionsSize = 132;

void write_game_parameters(ByteBuffer& out, const GameParameters& p);
// False, leaving out unchanged, when fewer than 16 bytes remain.
bool read_game_parameters(ByteBuffer& in, GameParameters& out);

void write_join_request(ByteBuffer& out, const JoinRequest& r);
bool read_join_request(ByteBuffer& in, JoinRequest& out);

void write_spawn_positions(ByteBuffer& out, const SpawnPositions& s);
// False, leaving out unchanged, when fewer than 132 bytes remain or the count exceeds 16 (the
// record's bytes are consumed then; it is dropped with a log line), and when a point within the
// count is not a finite number.
bool read_spawn_positions(ByteBuffer& in, SpawnPositions& out);

void write_effect_spawn(ByteBuffer& out, const EffectSpawn& e);
bool read_effect_spawn(ByteBuffer& in, EffectSpawn& out);

void write_sound_request(ByteBuffer& out, const SoundRequest& r);
bool read_sound_request(ByteBuffer& in, SoundRequest& out);
