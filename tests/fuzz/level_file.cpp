// A level file (.vml): whatever it holds, the parameters read are ones the server accepts.
#include <cmath>

#include "client/level_file.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::with_file(data, size, [](const std::string& path) {
        const LevelParameters p = read_level_file(path, LevelParameters{});
        for (float v : {p.water_level, p.scale_x, p.scale_y, p.offset_x, p.offset_y, p.solid_threshold, p.additional})
            if (!(v >= 0.0f && v <= 1.0f)) std::abort();
        if (p.size_x < 1 || p.size_x > 4096 || p.size_y < 1 || p.size_y > 4096) std::abort();
    });
    return 0;
}
