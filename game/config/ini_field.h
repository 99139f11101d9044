#pragma once
#include <string>
#include <vector>

#include "engine/core/ini.h"

// One overloaded read per field type, so a table of fields (file, section, key, default) expands
// to the same call on every row. A pair reads key + "X" and key + "Y", a colour key + "R", "G",
// "B" (and "A"), a list the count key + "s" and the items key + "0", key + "1", ...; colours and
// lists have no default of their own: black and empty.
using IniSection = const std::string&;

inline void read_field(int& out, const char* file, IniSection section, const char* key, int fallback) {
    out = ini_read_int(section, key, fallback, file);
}
inline void read_field(float& out, const char* file, IniSection section, const char* key, float fallback) {
    out = ini_read_float(section, key, fallback, file);
}
inline void read_field(bool& out, const char* file, IniSection section, const char* key, bool fallback) {
    out = ini_read_bool(section, key, fallback, file);
}
inline void read_field(std::string& out, const char* file, IniSection section, const char* key,
                       const char* fallback) {
    out = ini_read_string(section, key, fallback, file);
}
inline void read_field(fvec2d& out, const char* file, IniSection section, const char* key, fvec2d fallback) {
    out = ini_read_float_pair(section, key, fallback, file);
}
inline void read_field(ivec2d& out, const char* file, IniSection section, const char* key, ivec2d fallback) {
    out = ini_read_int_pair(section, key, fallback, file);
}
inline void read_field(ColorRGB& out, const char* file, IniSection section, const char* key, ColorRGB) {
    ini_read_rgb(out, section, key, file);
}
inline void read_field(ColorRGBA& out, const char* file, IniSection section, const char* key, ColorRGBA) {
    ini_read_rgba(out, section, key, file);
}
inline void read_field(std::vector<std::string>& out, const char* file, IniSection section, const char* key,
                       const std::vector<std::string>&) {
    ini_read_string_list(out, section, key, file);
}
inline void read_field(std::vector<int>& out, const char* file, IniSection section, const char* key,
                       const std::vector<int>&) {
    ini_read_int_list(out, section, key, file);
}
