#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "game/base/record_stream.h"

// The generator presets chosen by LevelParameters::gen; every value above Cave is Hills.
enum class GeneratorPreset : uint32_t {
    Swamp = 0,
    Submarine = 1,
    Skyscraper = 2,
    Mountain = 3,
    Cave = 4,
    Hills = 5,
};
constexpr uint32_t kGeneratorPresetCount = 6;

GeneratorPreset preset_of(uint32_t gen);

// What the generator makes a level from. Travels as the last 48 bytes of LevelCreation, fields
// back to back, little-endian; the defaults are those of a fresh LevelCreation.
struct LevelParameters {
    uint32_t gen = 0;
    uint32_t seed = 0;
    uint32_t size_x = 2048;  // 0 means 2048; at most 4096
    uint32_t size_y = 1024;  // 0 means 1024; at most 4096
    float water_level = 0.3f;
    int32_t octaves = 1;
    float scale_x = 0.5f;
    float scale_y = 0.5f;
    float offset_x = 0.5f;
    float offset_y = 0.5f;
    float solid_threshold = 0.5f;
    float additional = 0.5f;

    bool operator==(const LevelParameters&) const = default;
};
static_assert(std::is_standard_layout_v<LevelParameters>);
static_assert(sizeof(LevelParameters) == 48);
static_assert(offsetof(LevelParameters, water_level) == 16);
static_assert(offsetof(LevelParameters, octaves) == 20);
static_assert(offsetof(LevelParameters, additional) == 44);

// Payload of the GenerateLevel event and the level's creation record: the level's entity id,
// then its parameters.
struct LevelCreation {
    uint32_t level_entity_id = 0;
    LevelParameters parameters;

    LevelCreation() = default;
    bool operator==(const LevelCreation&) const = default;
};
static_assert(std::is_standard_layout_v<LevelCreation>);
static_assert(sizeof(LevelCreation) == 52);
static_assert(offsetof(LevelCreation, parameters) == 4);

template <class S>
bool serialize(S& s, LevelParameters& p) {
    return s.value(p.gen) && s.value(p.seed) && s.value(p.size_x) && s.value(p.size_y) && s.value(p.water_level) &&
           s.value(p.octaves) && s.value(p.scale_x) && s.value(p.scale_y) && s.value(p.offset_x) &&
           s.value(p.offset_y) && s.value(p.solid_threshold) && s.value(p.additional);
}
template <class S>
bool serialize(S& s, LevelCreation& c) {
    return s.value(c.level_entity_id) && serialize(s, c.parameters);
}

// Size bounds of a level.
constexpr uint32_t kDefaultLevelWidth = 2048;
constexpr uint32_t kDefaultLevelHeight = 1024;
constexpr uint32_t kMaxLevelSize = 4096;
// Beyond this the noise octaves only add rounding noise and Mountain's 2^octaves table grows
// without bound; the host's screen offers 1 to 10.
constexpr int32_t kMaxOctaves = 16;

// The surface size a size field asks for: 0 gives the default, more than 4096 gives 4096.
uint32_t resolve_level_width(uint32_t size_x);
uint32_t resolve_level_height(uint32_t size_y);

// Level parameters come from the host's client through the server, so they are untrusted. This
// brings them into the range every preset handles without dividing by zero, overflowing or
// running for ever: NaN and infinite floats take their defaults, every float is clamped to 0..1
// (the range the host's screen offers), octaves to 0..kMaxOctaves and sizes to at most 4096
// (0 still means the default). Valid parameters are left untouched, so running it on the server
// and again on receipt gives every peer the same values. Answers the number of fields changed;
// with `log` set each change is logged as a warning.
int sanitize_level_parameters(LevelParameters& p, bool log = true);

// The background picture of a preset from the configured list (one name per preset): values
// above the last preset show the Hills picture, as they generate Hills; "" when the list has no
// entry for the preset.
std::string background_name_for(uint32_t gen, const std::vector<std::string>& names);

// The level's sweetroll draw: a draw r makes a sweetroll when r modulo the configured chance is
// 0. A chance of 0 (or less) makes none, and is never divided by.
bool sweetroll_draw_hits(int draw, int chance_of_sweetroll);
