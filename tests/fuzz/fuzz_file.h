#pragma once
// Fuzz bytes as a file for the readers that take a path: written to one file of this process,
// read through `read`, then removed and looked up once more so the ini cache forgets it (a
// rewrite within one clock tick could otherwise look unchanged).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ini_file.h"

namespace fuzz {

template <class Read>
void with_file(const uint8_t* data, size_t size, Read read) {
    static const std::string path = "/tmp/brawl_fuzz_" + std::to_string(getpid()) + ".ini";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) std::abort();
    read(path);
    std::remove(path.c_str());
    platform::ini_get_section_keys("", path);
}

}  // namespace fuzz
