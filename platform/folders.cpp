#include "platform/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

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

namespace {

bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(std::size_t(n));
    }
    return true;
}

// Replaces an existing file through a temporary file in the same folder, so that a reader
// sees either the old or the new text and a failed write leaves the old file intact.
bool replace_file(const std::string& path, std::string_view data) {
    std::string target = path;
    if (char* real = realpath(path.c_str(), nullptr)) {  // write through a symbolic link, not over it
        target = real;
        std::free(real);
    }
    struct stat st;
    if (stat(target.c_str(), &st) != 0) return false;

    std::size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = folder + (slash == std::string::npos ? "/" : "") + "." + base + ".XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = write_all(fd, data);
    if (ok) {
        fchmod(fd, st.st_mode & 07777);
        if (fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Only the owner or root can hand a file over; keeping our own ownership is fine.
        }
    }
    ok = (close(fd) == 0) && ok;
    if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}

bool create_file(const std::string& path, std::string_view data) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = write_all(fd, data);
    ok = (close(fd) == 0) && ok;
    if (!ok) unlink(path.c_str());
    return ok;
}

}  // namespace

bool write_file_whole(const std::string& path, std::string_view data) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return replace_file(path, data);
    return create_file(path, data);
}

}  // namespace platform
