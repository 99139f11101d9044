#pragma once
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/core/ini.h"
#include "engine/core/logger.h"

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
                       const std::string& fallback) {
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

// The writes that read back what read_field reads; a pair writes key + "X", then key + "Y".
inline void write_field(IniBatch& batch, const char* file, IniSection section, const char* key, int value) {
    batch.set_int(section, key, value, file);
}
inline void write_field(IniBatch& batch, const char* file, IniSection section, const char* key, float value) {
    batch.set_float(section, key, value, file);
}
inline void write_field(IniBatch& batch, const char* file, IniSection section, const char* key, bool value) {
    batch.set_bool(section, key, value, file);
}
inline void write_field(IniBatch& batch, const char* file, IniSection section, const char* key,
                        const std::string& value) {
    batch.set_string(section, key, value, file);
}
template <class Pair, class = decltype(Pair::x)>
void write_field(IniBatch& batch, const char* file, IniSection section, const char* key, const Pair& value) {
    write_field(batch, file, section, (std::string(key) + "X").c_str(), value.x);
    write_field(batch, file, section, (std::string(key) + "Y").c_str(), value.y);
}

constexpr double kNoMin = -std::numeric_limits<double>::infinity();
constexpr double kNoMax = std::numeric_limits<double>::infinity();

// A default with the values a file may give a number (or each half of a pair); a value outside
// is brought to the nearest bound. In a table it stands where the default does:
// within(10, 0, kNoMax) is the default 10, and nothing below 0.
template <class T>
struct Ranged {
    T fallback;
    double least, most;
    constexpr operator T() const { return fallback; }
};

template <class T>
constexpr Ranged<T> within(T fallback, double least, double most) {
    return {fallback, least, most};
}

// One row of a table of keys: where the value lives, what a missing or unreadable key gives and,
// for numbers and pairs, the range a value read is brought into (with a warning).
template <class T>
struct IniKey {
    const char* file;
    const char* section;
    const char* key;
    T fallback{};
    double least = kNoMin;
    double most = kNoMax;

    IniKey(const char* file_, const char* section_, const char* key_, T fallback_)
        : file(file_), section(section_), key(key_), fallback(std::move(fallback_)) {}
    template <class F>
    IniKey(const char* file_, const char* section_, const char* key_, Ranged<F> ranged)
        : file(file_),
          section(section_),
          key(key_),
          fallback(T(ranged.fallback)),
          least(ranged.least),
          most(ranged.most) {}

    // The value the file holds now.
    T read() const {
        T value{};
        read_field(value, file, section, key, fallback);
        if constexpr (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) {
            const T was = value;
            if (!bring_into_range(value)) warn_out_of_range(text_of(was), text_of(value));
        } else if constexpr (requires { value.x; }) {
            const T was = value;
            const bool x_in = bring_into_range(value.x);
            const bool y_in = bring_into_range(value.y);
            if (!(x_in && y_in)) warn_out_of_range(text_of(was.x, was.y), text_of(value.x, value.y));
        }
        return value;
    }
    void write(IniBatch& batch, const T& value) const { write_field(batch, file, section, key, value); }
    // Writes this key alone; false when the file could not be written.
    bool store(const T& value) const {
        IniBatch batch;
        write(batch, value);
        return batch.commit();
    }

private:
    // False when the value had to be moved to the nearest bound.
    template <class V>
    bool bring_into_range(V& v) const {
        const double d = double(v);
        if (d >= least && d <= most) return true;
        v = V(d < least ? least : most);
        return false;
    }
    template <class... V>
    static std::string text_of(const V&... parts) {
        std::ostringstream text;
        const char* separator = "";
        ((text << separator << parts, separator = ", "), ...);
        return text.str();
    }
    void warn_out_of_range(const std::string& was, const std::string& now) const {
        log_message(
            LogLevel::Warning,
            std::string(file) + " [" + section + "] " + key + ": " + was + " is out of range, " + now + " is used.",
            "Settings");
    }
};

// A table's rows (type, name, file, section, key, default) as keys: declared in a header and
// defined in one source file.
#define BRAWL_DECLARE_INI_KEY(type, name, file, section, key, fallback) extern const IniKey<type> name;
#define BRAWL_DEFINE_INI_KEY(type, name, file, section, key, fallback) \
    const IniKey<type> name{file, section, key, fallback};
