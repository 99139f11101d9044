#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

#include "platform/text_util.h"

namespace platform {

namespace {

bool has_drive_letter(const std::string& path) {
    return path.size() >= 2 && detail::is_ascii_alpha(path[0]) && path[1] == ':';
}

bool entry_exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Among the entries of `folder` (empty meaning the current directory), the one whose name
// equals `name` ignoring ASCII case; the lowest in byte order when several do, so the choice
// does not depend on the order the file system enumerates them in.
bool find_case_insensitive(const std::string& folder, const std::string& name, std::string& found) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return false;
    bool any = false;
    while (dirent* entry = readdir(dir)) {
        std::string_view candidate(entry->d_name);
        if (!detail::iequals(candidate, name)) continue;
        if (!any || candidate < std::string_view(found)) {
            found.assign(candidate);
            any = true;
        }
    }
    closedir(dir);
    return any;
}

// Splits at '/', keeping empty pieces so that repeated separators survive unchanged.
std::vector<std::string> split_components(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t slash = path.find('/', start);
        parts.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return parts;
}

// Makes a path absolute against the current directory and resolves "." and ".." lexically.
// Returns the components; the drive ("c:") when there is one.
std::vector<std::string> absolute_components(const std::string& system_path, std::string& drive) {
    std::string path = native_path(system_path);
    drive.clear();
    if (has_drive_letter(path)) {
        drive = path.substr(0, 2);
        path = path.substr(2);
    } else if (path.empty() || path[0] != '/') {
        path = current_directory() + "/" + path;
    }
    std::vector<std::string> out;
    for (std::string& part : split_components(path)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        out.push_back(std::move(part));
    }
    return out;
}

}  // namespace

bool is_absolute_path(const std::string& path) {
    if (path.empty()) return false;
    // A leading backslash is the system's root-relative form; native_path makes it "/...".
    return path[0] == '/' || path[0] == '\\' || has_drive_letter(path);
}

std::string native_path(const std::string& path) {
    std::string out = path;
    std::replace(out.begin(), out.end(), '\\', '/');
    // Such a path cannot name anything here; it is only carried along.
    if (has_drive_letter(out) || out.empty()) return out;
    if (entry_exists(out)) return out;

    std::vector<std::string> parts = split_components(out);
    std::string result;         // what we hand back, spelled as found on disk where possible
    bool parent_exists = true;  // once a component is missing, nothing below it can match
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        std::string folder = result;  // the folder that holds this component
        if (i > 0) result += '/';
        if (part.empty() || part == "." || part == "..") {
            result += part;
            continue;
        }
        if (parent_exists) {
            std::string exact = result + part;
            if (entry_exists(exact)) {
                result = std::move(exact);
                continue;
            }
            if (i == 0) folder.clear();
            else if (folder.empty()) folder.assign(1, '/');  // not = "/": GCC 12 -O3 warns falsely
            std::string found;
            if (find_case_insensitive(folder, part, found)) {
                result += found;
                continue;
            }
            parent_exists = false;
        }
        result += part;
    }
    return result;
}

std::string current_directory() {
    std::vector<char> buffer(256);
    while (true) {
        if (getcwd(buffer.data(), buffer.size())) break;
        if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    std::string dir(buffer.data());
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

bool set_current_directory(const std::string& path) {
    if (path.empty()) return false;
    return chdir(native_path(path).c_str()) == 0;
}

std::string relative_path(const std::string& from_folder, const std::string& to) {
    std::string from_drive, to_drive;
    std::vector<std::string> from = absolute_components(from_folder, from_drive);
    std::vector<std::string> target = absolute_components(to, to_drive);
    if (!detail::iequals(from_drive, to_drive)) return std::string();

    std::size_t common = 0;
    while (common < from.size() && common < target.size() && from[common] == target[common]) ++common;

    // Built with the system's separator: the result is stored and compared as the system's
    // own strings are (texture names, particle files).
    std::string out;
    for (std::size_t i = common; i < from.size(); ++i) {
        if (!out.empty()) out += '\\';
        out += "..";
    }
    for (std::size_t i = common; i < target.size(); ++i) {
        if (!out.empty()) out += '\\';
        out += target[i];
    }
    return out.empty() ? std::string(".") : out;
}

std::string executable_directory() {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || std::size_t(n) >= buffer.size()) return current_directory();
    std::string exe(buffer.data(), std::size_t(n));
    std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return current_directory();
    if (slash == 0) return "/";
    return exe.substr(0, slash);
}

}  // namespace platform
