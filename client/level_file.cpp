#include "client/level_file.h"

#include "engine/core/ini.h"

namespace {

constexpr const char* kSection = "level";
// No text a person writes: tells a missing key from an empty one.
constexpr const char* kMissing = "\x01";

// How a key's value is kept: written as a signed 32-bit number or with six decimals; a missing
// key or one whose text is no number keeps the current value.
struct Int {
    template <class T>
    static void write(IniBatch& batch, const std::string& path, const char* key, T value) {
        batch.set_int(kSection, key, int32_t(value), path);
    }
    template <class T>
    static void read(const std::string& path, const char* key, T& value) {
        value = T(ini_read_int(kSection, key, int32_t(value), path));
    }
};
struct Float {
    static void write(IniBatch& batch, const std::string& path, const char* key, float value) {
        batch.set_float(kSection, key, value, path);
    }
    static void read(const std::string& path, const char* key, float& value) {
        value = ini_read_float(kSection, key, value, path);
    }
};
// A seed that is missing or no number is 0.
struct Seed : Int {
    static void read(const std::string& path, const char* key, uint32_t& value) {
        value = uint32_t(ini_read_int(kSection, key, 0, path));
    }
};
// A size whose text is no number is 0, the default size.
struct Size : Int {
    static void read(const std::string& path, const char* key, uint32_t& value) {
        const std::string text = ini_read_string(kSection, key, kMissing, path);
        if (text != kMissing) value = uint32_t(parse_int(text, 0));
    }
};

// The file's keys in the order they are written and read: member, key, kind.
#define BRAWL_LEVEL_FILE_KEYS(X)                \
    X(seed, "seed", Seed)                       \
    X(gen, "gen", Int)                          \
    X(water_level, "waterLevel", Float)         \
    X(octaves, "octaves", Int)                  \
    X(size_x, "sizeX", Size)                    \
    X(size_y, "sizeY", Size)                    \
    X(scale_x, "scaleX", Float)                 \
    X(scale_y, "scaleY", Float)                 \
    X(offset_x, "offsetX", Float)               \
    X(offset_y, "offsetY", Float)               \
    X(solid_threshold, "solidThreshold", Float) \
    X(additional, "additional", Float)

}  // namespace

bool write_level_file(const std::string& path, const LevelParameters& p) {
    IniBatch batch;
#define BRAWL_WRITE_LEVEL_KEY(member, key, kind) kind::write(batch, path, key, p.member);
    BRAWL_LEVEL_FILE_KEYS(BRAWL_WRITE_LEVEL_KEY)
#undef BRAWL_WRITE_LEVEL_KEY
    return batch.commit();
}

LevelParameters read_level_file(const std::string& path, const LevelParameters& current) {
    LevelParameters p = current;
#define BRAWL_READ_LEVEL_KEY(member, key, kind) kind::read(path, key, p.member);
    BRAWL_LEVEL_FILE_KEYS(BRAWL_READ_LEVEL_KEY)
#undef BRAWL_READ_LEVEL_KEY

    p.gen = uint32_t(preset_of(p.gen));
    sanitize_level_parameters(p, false);
    p.size_x = resolve_level_width(p.size_x);
    p.size_y = resolve_level_height(p.size_y);
    return p;
}
