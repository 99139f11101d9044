#include "platform/folders.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/paths.h"

namespace platform {

std::vector<std::string> list_folder(const std::string& folder) {
    // The system hands a folder, a folder with a trailing separator, or a folder followed by a
    // search pattern ("object\\swamp\\*"); a last component with a wildcard is that pattern.
    std::string path = folder;
    std::string pattern;
    std::size_t sep = path.find_last_of("/\\");
    std::string last = sep == std::string::npos ? path : path.substr(sep + 1);
    if (last.find_first_of("*?") != std::string::npos) {
        pattern = last;
        path = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
    }
    // "*.*" matches every name there, also those without a point.
    if (pattern == "*" || pattern == "*.*") pattern.clear();
    // Only '*' and '?' are wildcards here; a bracket is an ordinary character.
    std::string glob;
    for (char c : pattern) glob += (c == '[') ? std::string("[[]") : std::string(1, c);

    std::vector<std::string> names;
    DIR* dir = opendir(path.empty() ? "." : native_path(path).c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (!pattern.empty() && fnmatch(glob.c_str(), name.c_str(), FNM_CASEFOLD | FNM_NOESCAPE) != 0) continue;
        names.push_back(std::move(name));
    }
    closedir(dir);
    // Byte order, so that every peer picks the same entry by index.
    std::sort(names.begin(), names.end());
    return names;
}

bool file_exists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st;
    return stat(native_path(path).c_str(), &st) == 0;
}

}  // namespace platform
