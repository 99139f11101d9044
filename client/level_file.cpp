#include "client/level_file.h"

#include "engine/core/ini.h"

namespace {

constexpr const char* kSection = "level";
// No text a person writes: tells a missing key from an empty one.
constexpr const char* kMissing = "\x01";

// A size key as its text is read: a text that is no number gives 0, the default size.
uint32_t read_size(const std::string& path, const char* key, uint32_t current) {
    const std::string text = ini_read_string(kSection, key, kMissing, path);
    if (text == kMissing) return current;
    return uint32_t(parse_int(text, 0));
}

}  // namespace

void write_level_file(const std::string& path, const LevelParameters& p) {
    ini_write_int(kSection, "seed", int32_t(p.seed), path);
    ini_write_int(kSection, "gen", int32_t(p.gen), path);
    ini_write_float(kSection, "waterLevel", p.water_level, path);
    ini_write_int(kSection, "octaves", p.octaves, path);
    ini_write_int(kSection, "sizeX", int32_t(p.size_x), path);
    ini_write_int(kSection, "sizeY", int32_t(p.size_y), path);
    ini_write_float(kSection, "scaleX", p.scale_x, path);
    ini_write_float(kSection, "scaleY", p.scale_y, path);
    ini_write_float(kSection, "offsetX", p.offset_x, path);
    ini_write_float(kSection, "offsetY", p.offset_y, path);
    ini_write_float(kSection, "solidThreshold", p.solid_threshold, path);
    ini_write_float(kSection, "additional", p.additional, path);
}

LevelParameters read_level_file(const std::string& path, const LevelParameters& current) {
    LevelParameters p = current;
    p.seed = uint32_t(ini_read_int(kSection, "seed", 0, path));
    p.gen = uint32_t(ini_read_int(kSection, "gen", int32_t(current.gen), path));
    p.water_level = ini_read_float(kSection, "waterLevel", current.water_level, path);
    p.octaves = ini_read_int(kSection, "octaves", current.octaves, path);
    p.size_x = read_size(path, "sizeX", current.size_x);
    p.size_y = read_size(path, "sizeY", current.size_y);
    p.scale_x = ini_read_float(kSection, "scaleX", current.scale_x, path);
    p.scale_y = ini_read_float(kSection, "scaleY", current.scale_y, path);
    p.offset_x = ini_read_float(kSection, "offsetX", current.offset_x, path);
    p.offset_y = ini_read_float(kSection, "offsetY", current.offset_y, path);
    p.solid_threshold = ini_read_float(kSection, "solidThreshold", current.solid_threshold, path);
    p.additional = ini_read_float(kSection, "additional", current.additional, path);

    p.gen = uint32_t(preset_of(p.gen));
    sanitize_level_parameters(p, false);
    p.size_x = resolve_level_width(p.size_x);
    p.size_y = resolve_level_height(p.size_y);
    return p;
}
