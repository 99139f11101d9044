#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/text_util.h"

namespace platform {

namespace {

using detail::iequals;
using detail::trim_blanks;

// Reads and writes are whole-file operations; the lock keeps a read-modify-write of one
// thread from interleaving with another's.
std::mutex& ini_mutex() {
    static std::mutex m;
    return m;
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct Line {
    std::size_t begin = 0;        // first byte of the line
    std::size_t content_end = 0;  // end of the text, before "\r\n" or "\n"
    std::size_t end = 0;          // after the line terminator (== content_end for the last line without one)
    LineKind kind = LineKind::Other;
    std::string_view name;        // section or key name, trimmed
    std::string_view value;       // raw value of a key, trimmed (quotes still on)
    std::size_t value_begin = 0;  // where the value's text starts in the file (after '=' and blanks)
};

std::vector<Line> parse_lines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    // A UTF-8 byte order mark written by some editors is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            line.content_end = line.end = text.size();
        } else {
            line.end = nl + 1;
            line.content_end = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
        }
        pos = line.end;

        std::string_view content = text.substr(line.begin, line.content_end - line.begin);
        std::string_view t = trim_blanks(content);
        if (t.empty()) {
            line.kind = LineKind::Blank;
        } else if (t.front() == ';') {
            line.kind = LineKind::Comment;
        } else if (t.front() == '[') {
            std::size_t close = t.rfind(']');
            if (close != std::string_view::npos) {
                line.kind = LineKind::Section;
                line.name = trim_blanks(t.substr(1, close - 1));
            }
        } else if (std::size_t eq = content.find('='); eq != std::string_view::npos) {
            std::string_view name = trim_blanks(content.substr(0, eq));
            if (!name.empty()) {
                line.kind = LineKind::Key;
                line.name = name;
                std::size_t v = eq + 1;
                while (v < content.size() && detail::is_blank(content[v])) ++v;
                line.value_begin = line.begin + v;
                line.value = trim_blanks(content.substr(v));
            }
        }
        lines.push_back(line);
    }
    return lines;
}

// Index range [first, last) of the lines that belong to the first section of that name
// (header excluded); false when there is none. A later section of the same name is not
// looked at, as with the Windows profile functions.
bool find_section(const std::vector<Line>& lines, std::string_view section, std::size_t& header, std::size_t& last) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Section || !iequals(lines[i].name, section)) continue;
        header = i;
        last = i + 1;
        while (last < lines.size() && lines[last].kind != LineKind::Section) ++last;
        return true;
    }
    return false;
}

std::string finish_value(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    if (value.size() > kIniValueMax) value = value.substr(0, kIniValueMax);
    return std::string(value);
}

bool read_file(const std::string& path, std::string& out, bool& missing) {
    missing = false;
    out.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        missing = (errno == ENOENT || errno == ENOTDIR);
        return false;
    }
    char buffer[16384];
    while (true) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buffer, std::size_t(n));
    }
    close(fd);
    return true;
}

// A file read once and parsed, kept until the file changes: settings are read key by key, and
// parsing the whole file for each key made start-up slow.
struct ParsedFile {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    std::string text;
    std::vector<Line> lines;  // views into text
};

bool same_time(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

std::map<std::string, std::unique_ptr<ParsedFile>>& parsed_files() {
    static std::map<std::string, std::unique_ptr<ParsedFile>> files;
    return files;
}

// The parsed file, or null when it cannot be read. Called under the ini lock.
const ParsedFile* parsed_file(const std::string& path) {
    auto& files = parsed_files();
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        files.erase(path);
        return nullptr;
    }
    auto it = files.find(path);
    if (it != files.end()) {
        const ParsedFile& f = *it->second;
        if (f.device == st.st_dev && f.inode == st.st_ino && f.size == st.st_size &&
            same_time(f.modified, st.st_mtim) && same_time(f.changed, st.st_ctim))
            return &f;
    }
    auto f = std::make_unique<ParsedFile>();
    bool missing = false;
    if (!read_file(path, f->text, missing)) {
        files.erase(path);
        return nullptr;
    }
    f->device = st.st_dev;
    f->inode = st.st_ino;
    f->size = st.st_size;
    f->modified = st.st_mtim;
    f->changed = st.st_ctim;
    f->lines = parse_lines(f->text);
    // Bounded: a program reads a handful of ini files.
    if (files.size() >= 64) files.clear();
    ParsedFile* kept = (files[path] = std::move(f)).get();
    // A file changed within the last file-clock ticks could change again without its time
    // moving: such a copy serves this read only.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t age_ns =
        (int64_t(now.tv_sec) - kept->modified.tv_sec) * 1000000000 + (int64_t(now.tv_nsec) - kept->modified.tv_nsec);
    if (age_ns < 100000000) kept->size = -1;
    return kept;
}

bool valid_section_name(std::string_view s) { return s.find_first_of("]\r\n") == std::string_view::npos; }

// Names that would read back as something else (or break the file) are refused.
bool valid_key_name(std::string_view k) {
    return !k.empty() && k.front() != ';' && k.front() != '[' && k.find_first_of("=\r\n") == std::string_view::npos;
}

}  // namespace

std::string ini_get_string(const std::string& section, const std::string& key, const std::string& fallback,
                           const std::string& path) {
    // The Windows function hands back its default without trailing blanks and within its buffer.
    std::string_view def = fallback;
    while (!def.empty() && detail::is_blank(def.back())) def.remove_suffix(1);
    std::string result(def.substr(0, kIniValueMax));

    std::lock_guard<std::mutex> lock(ini_mutex());
    const ParsedFile* file = parsed_file(native_path(path));
    if (!file) return result;
    const std::vector<Line>& lines = file->lines;
    std::size_t header = 0, last = 0;
    if (!find_section(lines, trim_blanks(section), header, last)) return result;
    std::string_view wanted = trim_blanks(key);
    for (std::size_t i = header + 1; i < last; ++i) {
        if (lines[i].kind == LineKind::Key && iequals(lines[i].name, wanted)) return finish_value(lines[i].value);
    }
    return result;
}

std::vector<std::string> ini_get_section_keys(const std::string& section, const std::string& path) {
    std::vector<std::string> keys;
    std::lock_guard<std::mutex> lock(ini_mutex());
    const ParsedFile* file = parsed_file(native_path(path));
    if (!file) return keys;
    const std::vector<Line>& lines = file->lines;
    std::size_t header = 0, last = 0;
    if (!find_section(lines, trim_blanks(section), header, last)) return keys;
    for (std::size_t i = header + 1; i < last; ++i) {
        if (lines[i].kind != LineKind::Key) continue;
        bool seen = false;
        for (const std::string& k : keys) seen = seen || iequals(k, lines[i].name);
        if (!seen) keys.emplace_back(lines[i].name);
    }
    return keys;
}

namespace {

// Changes one key in the text as a write of it alone would; false, text untouched, for names
// that could not be read back.
bool set_in_text(std::string& text, std::string_view section, std::string_view key, std::string_view value) {
    std::string_view sec = trim_blanks(section);
    std::string_view name = trim_blanks(key);
    if (!valid_section_name(sec) || !valid_key_name(name)) return false;
    // A line break would end the line and let the rest pose as further keys or sections.
    std::string_view val = value.substr(0, value.find_first_of("\r\n"));

    std::size_t first_nl = text.find('\n');
    const char* eol = (first_nl != std::string::npos && first_nl > 0 && text[first_nl - 1] == '\r') ? "\r\n" : "\n";
    std::string entry = std::string(name) + "=" + std::string(val);

    std::vector<Line> lines = parse_lines(text);
    std::size_t header = 0, last = 0;
    std::string updated;
    if (find_section(lines, sec, header, last)) {
        std::size_t anchor = header;
        bool replaced = false;
        for (std::size_t i = header + 1; i < last; ++i) {
            const Line& line = lines[i];
            if (line.kind == LineKind::Key && iequals(line.name, name)) {
                // Keep the line's own spelling of the name and its spacing around '='.
                updated = text.substr(0, line.value_begin) + std::string(val) + text.substr(line.content_end);
                replaced = true;
                break;
            }
            if (line.kind != LineKind::Blank) anchor = i;
        }
        if (!replaced) {
            // After the section's last non-blank line, so trailing blank lines stay between sections.
            const Line& a = lines[anchor];
            if (a.end > a.content_end) updated = text.substr(0, a.end) + entry + eol + text.substr(a.end);
            else updated = text.substr(0, a.end) + eol + entry + text.substr(a.end);
        }
    } else {
        updated = text;
        if (!updated.empty() && updated.back() != '\n') updated += eol;
        updated += "[" + std::string(sec) + "]" + eol + entry + eol;
    }
    text = std::move(updated);
    return true;
}

}  // namespace

bool ini_set_string(const std::string& section, const std::string& key, const std::string& value,
                    const std::string& path) {
    return ini_set_strings({{section, key, value}}, path);
}

bool ini_set_strings(const std::vector<IniEntry>& entries, const std::string& path) {
    std::lock_guard<std::mutex> lock(ini_mutex());
    std::string file = native_path(path);
    std::string text;
    bool missing = false;
    if (!read_file(file, text, missing) && !missing) return false;
    for (const IniEntry& e : entries)
        if (!set_in_text(text, e.section, e.key, e.value)) return false;

    // Our own write may land within the clock tick of the cached copy; never trust that copy.
    parsed_files().erase(file);
    return write_file_whole(file, text);
}

}  // namespace platform
