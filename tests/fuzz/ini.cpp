// An ini file through the platform reader and every typed reader of the engine, in the sections
// "a" and "b" (the keys of "a" are read one by one as well).
#include "engine/core/ini.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::with_file(data, size, [](const std::string& path) {
        for (const std::string& key : platform::ini_get_section_keys("a", path))
            platform::ini_get_string("a", key, "", path);
        for (const char* section : {"a", "b"}) {
            ColorRGBA rgba;
            ini_read_rgba(rgba, section, "c", path);
            AnimationDefinition animation;
            ini_read_animation(animation, section, "n", path);
            std::vector<std::string> texts;
            ini_read_string_list(texts, section, "t", path);
            std::vector<int> numbers;
            ini_read_int_list(numbers, section, "i", path);
            ini_read_float_pair(section, "f", {}, path);
            ini_read_int_pair(section, "p", {}, path);
            ini_read_bool(section, "b", false, path);
        }
    });
    return 0;
}
