#pragma once
#include <string>
#include <vector>

#include "engine/core/geometry.h"
#include "platform/ini_file.h"

// Typed access to the system's ini files. Readers never fail: whatever is missing or does not
// parse yields the caller's default. Relative paths resolve against the directory the program
// started in, even if the current directory changes later.

struct AnimationDefinition {
    int32_t first_frame = 0;
    int32_t last_frame = 0;
    float speed = 1.0f;
    bool play_once = false;
};

std::string ini_read_string(std::string section, std::string key, std::string fallback, std::string path);
int ini_read_int(std::string section, std::string key, int fallback, std::string path);
float ini_read_float(std::string section, std::string key, float fallback, std::string path);
bool ini_read_bool(std::string section, std::string key, bool fallback, std::string path);

// Each writes one key and answers whether the file now holds it. Floats are written with six
// decimals, bools as "1" and "0".
[[nodiscard]] bool ini_write_string(std::string section, std::string key, std::string value, std::string path);
[[nodiscard]] bool ini_write_int(std::string section, std::string key, int value, std::string path);
[[nodiscard]] bool ini_write_float(std::string section, std::string key, float value, std::string path);
[[nodiscard]] bool ini_write_bool(std::string section, std::string key, bool value, std::string path);

// Writes gathered and made at once, as the single writes above would make them one after the
// other: each file is read once, its keys changed in the order they were set, and replaced whole
// (a failed write leaves the old file as it was).
class IniBatch {
public:
    void set_string(std::string section, std::string key, std::string value, std::string path);
    void set_int(std::string section, std::string key, int value, std::string path);
    void set_float(std::string section, std::string key, float value, std::string path);
    void set_bool(std::string section, std::string key, bool value, std::string path);
    // Writes every file; true when each holds its keys now. The batch is empty afterwards.
    [[nodiscard]] bool commit();

private:
    struct File {
        std::string path;
        std::vector<platform::IniEntry> entries;
    };
    std::vector<File> files_;
};

void ini_read_rgb(ColorRGB& out, std::string section, std::string prefix, std::string path);
void ini_read_rgba(ColorRGBA& out, std::string section, std::string prefix, std::string path);
void ini_read_animation(AnimationDefinition& out, std::string section, std::string prefix, std::string path);
// Numbered lists: count under prefix + "s", items under prefix + "0", prefix + "1", ...
void ini_read_string_list(std::vector<std::string>& out, std::string section, std::string prefix, std::string path);
void ini_read_int_list(std::vector<int>& out, std::string section, std::string prefix, std::string path);

// A pair of keys prefix + "X" and prefix + "Y"; the Y key is read first, as the game always has.
fvec2d ini_read_float_pair(std::string section, std::string prefix, fvec2d fallback, std::string path);
ivec2d ini_read_int_pair(std::string section, std::string prefix, ivec2d fallback, std::string path);

std::vector<std::string> ini_read_section_keys(std::string section, std::string path);

// Largest count a numbered list accepts; a longer one is cut (its items would not fit the file).
constexpr int kIniListMax = 4096;

// The directory the program started in, with one separator appended; read on first use.
const std::string& working_directory();
// The current directory with one separator appended, read now.
std::string get_working_directory();
// Resolves an ini path: drive-letter and rooted paths as given, others under working_directory().
std::string ini_resolve_path(const std::string& path);

// Pieces of the text between delimiters, empty pieces left out. The delimiter must not be empty.
std::vector<std::string> split_string(std::string text, std::string delimiter);

// Stream extraction of a leading decimal number (blanks skipped, optional sign); the fallback
// when the text does not begin with a number or it does not fit.
int parse_int(const std::string& text, int fallback);
float parse_float(const std::string& text, float fallback);
