#include "game/session/session_records.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/core/logger.h"

void JoinRequest::set_name(const std::string& text) {
    std::memset(name, 0, sizeof name);
    std::memcpy(name, text.data(), std::min(text.size(), sizeof name - 1));
}

std::string JoinRequest::get_name() const {
    const char* end = static_cast<const char*>(std::memchr(name, 0, sizeof name));
    return std::string(name, end ? size_t(end - name) : sizeof name);
}

void write_game_parameters(ByteBuffer& out, const GameParameters& p) {
    out.write_u32_le(p.player_count);
    out.write_i32_le(p.lives);
    out.write_f32_le(p.respawn_time);
    out.write_u8(p.teams);
    out.write_u8(p.friendly_fire);
    out.write_u16_le(0);
}

bool read_game_parameters(ByteBuffer& in, GameParameters& out) {
    if (!in.ok() || in.remaining() < kGameParametersSize) {
        in.fail();
        return false;
    }
    GameParameters p;
    in.read_u32_le(p.player_count);
    in.read_i32_le(p.lives);
    in.read_f32_le(p.respawn_time);
    in.read_u8(p.teams);
    in.read_u8(p.friendly_fire);
    in.skip(2);
    out = p;
    return true;
}

void write_join_request(ByteBuffer& out, const JoinRequest& r) {
    out.append(r.name, sizeof r.name);
    out.write_u32_le(r.player_id);
}

bool read_join_request(ByteBuffer& in, JoinRequest& out) {
    if (!in.ok() || in.remaining() < kJoinRequestSize) {
        in.fail();
        return false;
    }
    in.read(out.name, sizeof out.name);
    in.read_u32_le(out.player_id);
    return true;
}

void write_spawn_positions(ByteBuffer& out, const SpawnPositions& s) {
    out.write_u32_le(s.count);
    for (const auto& p : s.positions) {
        out.write_f32_le(p.x);
        out.write_f32_le(p.y);
    }
}

bool read_spawn_positions(ByteBuffer& in, SpawnPositions& out) {
    if (!in.ok() || in.remaining() < kSpawnPositionsSize) {
        in.fail();
        return false;
    }
    SpawnPositions s;
    in.read_u32_le(s.count);
    for (auto& p : s.positions) {
        in.read_f32_le(p.x);
        in.read_f32_le(p.y);
    }
    // The count indexes the 16 points: a larger one would read past them.
    if (s.count > kMaxSpawnPositions) {
        log_message(LogLevel::Warning,
                    "Dropped spawn positions claiming " + std::to_string(s.count) + " of at most " +
                        std::to_string(kMaxSpawnPositions) + " points.",
                    log_class_name(typeid(SpawnPositions)));
        return false;
    }
    // The points become player positions: they must be numbers.
    for (uint32_t i = 0; i < s.count; ++i) {
        if (std::isfinite(s.positions[i].x) && std::isfinite(s.positions[i].y)) continue;
        log_message(LogLevel::Warning, "Dropped spawn positions holding a point that is not a number.",
                    log_class_name(typeid(SpawnPositions)));
        return false;
    }
    out = s;
    return true;
}

void write_effect_spawn(ByteBuffer& out, const EffectSpawn& e) {
    out.write_i32_le(e.effect_id);
    out.write_i32_le(e.particles);
    out.write_f32_le(e.particle_time);
    out.write_u32_le(e.angle_bits);
    out.write_f32_le(e.x);
    out.write_f32_le(e.y);
}

bool read_effect_spawn(ByteBuffer& in, EffectSpawn& out) {
    if (!in.ok() || in.remaining() < kEffectSpawnSize) {
        in.fail();
        return false;
    }
    EffectSpawn e;
    in.read_i32_le(e.effect_id);
    in.read_i32_le(e.particles);
    in.read_f32_le(e.particle_time);
    in.read_u32_le(e.angle_bits);
    in.read_f32_le(e.x);
    in.read_f32_le(e.y);
    out = e;
    return true;
}

void write_sound_request(ByteBuffer& out, const SoundRequest& r) {
    out.write_i32_le(r.sound_id);
    out.write_u32_le(r.second_word);
}

bool read_sound_request(ByteBuffer& in, SoundRequest& out) {
    if (!in.ok() || in.remaining() < kSoundRequestSize) {
        in.fail();
        return false;
    }
    SoundRequest r;
    in.read_i32_le(r.sound_id);
    in.read_u32_le(r.second_word);
    out = r;
    return true;
}
