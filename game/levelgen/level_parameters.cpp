#include "game/levelgen/level_parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/core/logger.h"

GeneratorPreset preset_of(uint32_t gen) {
    return gen < kGeneratorPresetCount ? static_cast<GeneratorPreset>(gen) : GeneratorPreset::Hills;
}

uint32_t resolve_level_width(uint32_t size_x) {
    if (size_x == 0) return kDefaultLevelWidth;
    return std::min(size_x, kMaxLevelSize);
}

uint32_t resolve_level_height(uint32_t size_y) {
    if (size_y == 0) return kDefaultLevelHeight;
    return std::min(size_y, kMaxLevelSize);
}

namespace {

std::string float_text(float v) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
}

void report(bool log, const char* field, const std::string& was, const std::string& now) {
    if (!log) return;
    log_message(LogLevel::Warning,
                std::string("Level parameter ") + field + " " + was + " is out of range, using " + now, "");
}

int fix_unit_float(float& v, float fallback, const char* field, bool log) {
    float fixed = v;
    if (!std::isfinite(fixed)) fixed = fallback;
    fixed = std::clamp(fixed, 0.0f, 1.0f);
    if (fixed == v) return 0;  // never true for NaN
    report(log, field, float_text(v), float_text(fixed));
    v = fixed;
    return 1;
}

int fix_size(uint32_t& v, const char* field, bool log) {
    if (v <= kMaxLevelSize) return 0;
    report(log, field, std::to_string(v), std::to_string(kMaxLevelSize));
    v = kMaxLevelSize;
    return 1;
}

}  // namespace

int sanitize_level_parameters(LevelParameters& p, bool log) {
    const LevelParameters defaults;
    int changed = 0;
    changed += fix_size(p.size_x, "sizeX", log);
    changed += fix_size(p.size_y, "sizeY", log);
    changed += fix_unit_float(p.water_level, defaults.water_level, "waterLevel", log);
    if (p.octaves < 0 || p.octaves > kMaxOctaves) {
        int32_t fixed = std::clamp(p.octaves, 0, kMaxOctaves);
        report(log, "octaves", std::to_string(p.octaves), std::to_string(fixed));
        p.octaves = fixed;
        ++changed;
    }
    changed += fix_unit_float(p.scale_x, defaults.scale_x, "scaleX", log);
    changed += fix_unit_float(p.scale_y, defaults.scale_y, "scaleY", log);
    changed += fix_unit_float(p.offset_x, defaults.offset_x, "offsetX", log);
    changed += fix_unit_float(p.offset_y, defaults.offset_y, "offsetY", log);
    changed += fix_unit_float(p.solid_threshold, defaults.solid_threshold, "solidThreshold", log);
    changed += fix_unit_float(p.additional, defaults.additional, "additional", log);
    return changed;
}

std::string background_name_for(uint32_t gen, const std::vector<std::string>& names) {
    std::size_t index = static_cast<std::size_t>(preset_of(gen));
    return index < names.size() ? names[index] : std::string();
}

bool sweetroll_draw_hits(int draw, int chance_of_sweetroll) {
    return chance_of_sweetroll > 0 && draw % chance_of_sweetroll == 0;
}
