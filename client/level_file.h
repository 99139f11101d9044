#pragma once
#include <string>

#include "game/levelgen/level_parameters.h"

// The level file (extension ".vml"): an ini file whose section "level" holds the generator's
// parameters under the keys "seed", "gen", "waterLevel", "octaves", "sizeX", "sizeY", "scaleX",
// "scaleY", "offsetX", "offsetY", "solidThreshold" and "additional". The parameters the host
// last sent are kept in "current.vml" in the working directory.
constexpr const char* kCurrentLevelFile = "current.vml";

// Writes every key in place: other sections and keys of an existing file stay. `gen` goes out
// as a signed number, so "no preset" is -1. The file is read once and replaced once, whole;
// false when it could not be written (the old file, if any, is left as it was).
[[nodiscard]] bool write_level_file(const std::string& path, const LevelParameters& parameters);

// The parameters of the file over `current`: a missing key, or one whose text is no number,
// keeps the current value (a missing seed is 0). The result is what the server would make of
// it: a preset outside the six is Hills, floats that are not finite take their defaults and the
// rest are clamped to 0..1, octaves to their range, and each size to the level size it gives
// (0 or no number: the default; beyond 4096 or negative: 4096).
LevelParameters read_level_file(const std::string& path, const LevelParameters& current);
