#include "engine/core/ini.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "platform/ini_file.h"
#include "platform/paths.h"

namespace {

std::string format_float(float value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", double(value));
    return buf;
}

}  // namespace

std::string get_working_directory() {
    std::string dir = platform::current_directory();
    // The system's fallback when the directory cannot be read.
    if (dir.empty() || dir.size() > 1022) return "C:\\";
    return dir + "/";
}

const std::string& working_directory() {
    static const std::string dir = get_working_directory();
    return dir;
}

std::string ini_resolve_path(const std::string& path) {
    if (platform::is_absolute_path(path)) return path;
    return working_directory() + path;
}

int parse_int(const std::string& text, int fallback) {
    std::istringstream in(text);
    int value;
    if (in >> value) return value;
    return fallback;
}

float parse_float(const std::string& text, float fallback) {
    std::istringstream in(text);
    float value;
    if (in >> value) return value;
    return fallback;
}

std::string ini_read_string(std::string section, std::string key, std::string fallback, std::string path) {
    return platform::ini_get_string(section, key, fallback, ini_resolve_path(path));
}

int ini_read_int(std::string section, std::string key, int fallback, std::string path) {
    return parse_int(ini_read_string(section, key, std::to_string(fallback), path), fallback);
}

float ini_read_float(std::string section, std::string key, float fallback, std::string path) {
    // A missing key gives the default as its six-decimal text, so it comes back rounded as
    // written; a present value that is no number gives the default itself.
    return parse_float(ini_read_string(section, key, format_float(fallback), path), fallback);
}

bool ini_read_bool(std::string section, std::string key, bool fallback, std::string path) {
    std::string text = ini_read_string(section, key, fallback ? "1" : "0", path);
    return text == "1" || text == "true";
}

bool ini_write_string(std::string section, std::string key, std::string value, std::string path) {
    return platform::ini_set_string(section, key, value, ini_resolve_path(path));
}

bool ini_write_int(std::string section, std::string key, int value, std::string path) {
    return ini_write_string(section, key, std::to_string(value), path);
}

bool ini_write_float(std::string section, std::string key, float value, std::string path) {
    return ini_write_string(section, key, format_float(value), path);
}

bool ini_write_bool(std::string section, std::string key, bool value, std::string path) {
    return ini_write_string(section, key, value ? "1" : "0", path);
}

void IniBatch::set_string(std::string section, std::string key, std::string value, std::string path) {
    path = ini_resolve_path(path);
    auto file = std::find_if(files_.begin(), files_.end(), [&](const File& f) { return f.path == path; });
    if (file == files_.end()) file = files_.insert(files_.end(), File{path, {}});
    file->entries.push_back({std::move(section), std::move(key), std::move(value)});
}

void IniBatch::set_int(std::string section, std::string key, int value, std::string path) {
    set_string(std::move(section), std::move(key), std::to_string(value), std::move(path));
}

void IniBatch::set_float(std::string section, std::string key, float value, std::string path) {
    set_string(std::move(section), std::move(key), format_float(value), std::move(path));
}

void IniBatch::set_bool(std::string section, std::string key, bool value, std::string path) {
    set_string(std::move(section), std::move(key), value ? "1" : "0", std::move(path));
}

bool IniBatch::commit() {
    bool ok = true;
    for (const File& file : files_) ok = platform::ini_set_strings(file.entries, file.path) && ok;
    files_.clear();
    return ok;
}

void ini_read_rgb(ColorRGB& out, std::string section, std::string prefix, std::string path) {
    out.r = uint8_t(ini_read_int(section, prefix + "R", 0, path));
    out.g = uint8_t(ini_read_int(section, prefix + "G", 0, path));
    out.b = uint8_t(ini_read_int(section, prefix + "B", 0, path));
}

void ini_read_rgba(ColorRGBA& out, std::string section, std::string prefix, std::string path) {
    out.r = uint8_t(ini_read_int(section, prefix + "R", 0, path));
    out.g = uint8_t(ini_read_int(section, prefix + "G", 0, path));
    out.b = uint8_t(ini_read_int(section, prefix + "B", 0, path));
    out.a = uint8_t(ini_read_int(section, prefix + "A", 0, path));
}

void ini_read_animation(AnimationDefinition& out, std::string section, std::string prefix, std::string path) {
    out.first_frame = ini_read_int(section, prefix + "Start", 0, path);
    out.last_frame = ini_read_int(section, prefix + "End", 0, path);
    out.speed = ini_read_float(section, prefix + "Speed", 1.0f, path);
    out.play_once = ini_read_bool(section, prefix + "PlayOnce", false, path);
}

fvec2d ini_read_float_pair(std::string section, std::string prefix, fvec2d fallback, std::string path) {
    float y = ini_read_float(section, prefix + "Y", fallback.y, path);
    float x = ini_read_float(section, prefix + "X", fallback.x, path);
    return {x, y};
}

ivec2d ini_read_int_pair(std::string section, std::string prefix, ivec2d fallback, std::string path) {
    int y = ini_read_int(section, prefix + "Y", fallback.y, path);
    int x = ini_read_int(section, prefix + "X", fallback.x, path);
    return {x, y};
}

namespace {

// A negative count gives an empty list; a huge one is cut so that a bad file cannot make
// us allocate without bound.
int list_count(const std::string& section, const std::string& prefix, const std::string& path) {
    int count = ini_read_int(section, prefix + "s", 0, path);
    if (count < 0) return 0;
    return count > kIniListMax ? kIniListMax : count;
}

}  // namespace

void ini_read_string_list(std::vector<std::string>& out, std::string section, std::string prefix, std::string path) {
    int count = list_count(section, prefix, path);
    out.resize(count);
    for (int i = 0; i < count; ++i) out[i] = ini_read_string(section, prefix + std::to_string(unsigned(i)), "", path);
}

void ini_read_int_list(std::vector<int>& out, std::string section, std::string prefix, std::string path) {
    int count = list_count(section, prefix, path);
    out.resize(count);
    for (int i = 0; i < count; ++i) out[i] = ini_read_int(section, prefix + std::to_string(unsigned(i)), 0, path);
}

std::vector<std::string> ini_read_section_keys(std::string section, std::string path) {
    return platform::ini_get_section_keys(section, ini_resolve_path(path));
}

std::vector<std::string> split_string(std::string text, std::string delimiter) {
    std::vector<std::string> pieces;
    if (delimiter.empty()) {
        if (!text.empty()) pieces.push_back(text);
        return pieces;
    }
    std::size_t start = 0;
    for (std::size_t hit; (hit = text.find(delimiter, start)) != std::string::npos; start = hit + delimiter.size()) {
        if (hit > start) pieces.push_back(text.substr(start, hit - start));
    }
    if (start < text.size()) pieces.push_back(text.substr(start));
    return pieces;
}
