#include "engine/core/logger.h"

#include <cxxabi.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/clock.h"
#include "platform/paths.h"

namespace {

const char* const kLevelNames[] = {"", "STATUS", "WARNING", "ERROR", "FATAL ERROR", "FORCED"};

// Held behind a function so that no other file's static initialiser can see it half-built.
struct LogState {
    std::mutex mutex;
    bool logging_enabled = false;
    bool file_logging_enabled = false;
    bool console_output = true;
    int log_level = 0;
    std::string log_file_path = "logfile.txt";
    std::ofstream log_file;
    std::ostream* out = &std::cout;
    // 0: no cap. file_bytes counts what the open file holds; file_ended is set once the closing
    // line is written or a write failed.
    uint64_t file_limit = 0;
    uint64_t file_bytes = 0;
    bool file_ended = false;
    // Standard output's window: open from its first bounded line, with the bytes written in it
    // and the lines left out.
    LogConsoleLimits console_limits;
    bool console_window_open = false;
    int64_t console_window_start = 0;
    uint64_t console_window_bytes = 0;
    uint64_t console_left_out = 0;
    int64_t (*clock)() = nullptr;
    // When the earliest window with lines left out is over (INT64_MAX: none is open).
    int64_t next_count_due = INT64_MAX;
    bool counts_at_exit = false;
    LogPeerLimits peer_limits;
    struct PeerKind {
        int64_t window_start = 0;
        uint32_t written = 0;
        uint64_t left_out = 0;
        LogLevel level = LogLevel::Warning;
        std::string class_name;
        std::string last_left_out;
        // Printed on standard output, outside the log.
        bool printed = false;
    };
    // By peer, then kind.
    std::map<std::pair<std::string, std::string>, PeerKind> peer_kinds;
};

// Peers and kinds remembered at most; beyond it the ones whose window is over are written out
// and forgotten, and if that is not enough, all of them.
constexpr size_t kMaxPeerKinds = 4096;
// Longest kind key and longest remembered line of a kind.
constexpr size_t kMaxKindBytes = 96;
constexpr size_t kMaxRememberedBytes = 240;

thread_local LogPeerScope* current_scope = nullptr;

LogState& state() {
    static LogState* s = new LogState();  // never freed: usable from other objects' destructors
    return *s;
}

// The first (re)open of a run empties the file; later ones append.
void reopen_log_file(LogState& s) {
    bool had_file = s.log_file.is_open();
    std::string path = platform::native_path(s.log_file_path);
    if (!had_file) {
        std::ofstream truncate(path, std::ios::out | std::ios::trunc);
    }
    s.log_file.close();
    s.log_file.clear();
    s.log_file.open(path, std::ios::out | std::ios::app);
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    s.file_bytes = error ? 0 : uint64_t(size);
    s.file_ended = false;
}

void write_file_line_locked(LogState& s, const std::string& line) {
    if (s.file_ended || !s.log_file.is_open()) return;
    const std::string closing = "FORCED: The log file reached its size limit of " + std::to_string(s.file_limit) +
                                " bytes; nothing more is written to it.";
    const bool fits = s.file_limit == 0 || s.file_bytes + line.size() + closing.size() + 2 <= s.file_limit;
    const std::string& text = fits ? line : closing;
    s.log_file << text << '\n';
    s.log_file.flush();
    s.file_bytes += text.size() + 1;
    // A failed write (a full disk, the process's file size limit) is not worth the program.
    if (!fits || !s.log_file) s.file_ended = true;
}

int64_t now_locked(const LogState& s) { return s.clock ? s.clock() : int64_t(platform::monotonic_ms()); }

void put_console_locked(LogState& s, const std::string& line) { *s.out << (line + "\n") << std::flush; }

// Closes the console's window once it is over (a clock that went back closes it too; at exit
// everything does), with the count of what it left out.
void end_console_window_locked(LogState& s, bool at_exit) {
    if (!s.console_window_open) return;
    const int64_t now = now_locked(s);
    if (!at_exit && now >= s.console_window_start && now - s.console_window_start < s.console_limits.window_ms) return;
    s.console_window_open = false;
    if (s.console_left_out == 0) return;
    put_console_locked(s, "FORCED: Left out " + std::to_string(s.console_left_out) + " line" +
                              (s.console_left_out == 1 ? "" : "s") + " on standard output: more than " +
                              std::to_string(s.console_limits.bytes_per_window) + " bytes came within " +
                              std::to_string(s.console_limits.window_ms) + " ms.");
    s.console_left_out = 0;
}

// A bounded line goes out while its window has room and is counted otherwise: many peers
// together can cause lines at any rate, and a bound for the program's life would silence the
// lines an operator needs most.
void write_console_locked(LogState& s, const std::string& line, bool bounded) {
    if (s.console_limits.bytes_per_window == 0) return put_console_locked(s, line);
    end_console_window_locked(s, false);
    if (!bounded) return put_console_locked(s, line);
    if (!s.console_window_open) {
        s.console_window_open = true;
        s.console_window_start = now_locked(s);
        s.console_window_bytes = 0;
    }
    if (s.console_window_bytes + line.size() + 1 <= s.console_limits.bytes_per_window) {
        s.console_window_bytes += line.size() + 1;
        return put_console_locked(s, line);
    }
    ++s.console_left_out;
    if (!s.counts_at_exit) s.counts_at_exit = std::atexit(log_write_left_out) == 0;
}

void write_line_locked(LogState& s, LogLevel lv, const std::string& message, const std::string& class_name,
                       bool from_peer = false) {
    if (!s.logging_enabled) return;
    int level = static_cast<int>(lv);
    if (lv != LogLevel::Forced && level < s.log_level) return;

    std::string line;
    const char* level_name = (level >= 0 && level <= 5) ? kLevelNames[level] : "";
    if (level != 0) {
        line = level_name;
        if (!class_name.empty()) line += " in " + class_name;
        line += ": ";
        line += message;
    } else {
        line = class_name.empty() ? message : class_name + ": " + message;
    }
    // Errors and worse go out whole unless a peer caused them: many peers can cause those too.
    const bool bounded = lv != LogLevel::Forced && (from_peer || lv < LogLevel::Error);
    if (s.console_output) write_console_locked(s, line, bounded);
    if (s.file_logging_enabled) write_file_line_locked(s, line);
}

// The kind of a line: its class and its message with every run of digits as one '#', so that
// lines that differ only in ids, sizes or addresses count together.
std::string kind_of(const std::string& class_name, const std::string& message) {
    std::string kind = class_name + '|';
    for (size_t i = 0; i < message.size() && kind.size() < kMaxKindBytes; ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(message[i])) != 0;
        if (!digit) kind += message[i];
        else if (i == 0 || !std::isdigit(static_cast<unsigned char>(message[i - 1]))) kind += '#';
    }
    return kind;
}

void write_left_out_locked(LogState& s, const std::string& peer, LogState::PeerKind& k) {
    if (k.left_out == 0) return;
    const std::string text = "Left out " + std::to_string(k.left_out) + " similar line" + (k.left_out == 1 ? "" : "s") +
                             " caused by " + peer + "; the last: " + k.last_left_out;
    if (k.printed) write_console_locked(s, text, true);
    else write_line_locked(s, k.level, text, k.class_name, true);
    k.left_out = 0;
    k.last_left_out.clear();
}

void prune_peer_kinds_locked(LogState& s, int64_t now_ms) {
    if (s.peer_kinds.size() <= kMaxPeerKinds) return;
    for (bool all : {false, true}) {
        for (auto it = s.peer_kinds.begin(); it != s.peer_kinds.end();) {
            if (!all && now_ms - it->second.window_start < s.peer_limits.window_ms) {
                ++it;
                continue;
            }
            write_left_out_locked(s, it->first.first, it->second);
            it = s.peer_kinds.erase(it);
        }
        if (s.peer_kinds.size() <= kMaxPeerKinds / 2) return;
    }
}

// Writes the counts of the windows over by now_ms (all of them at INT64_MAX), so that a flood
// that stops still says what it left out.
void write_due_counts_locked(LogState& s, int64_t now_ms) {
    if (now_ms < s.next_count_due) return;
    s.next_count_due = INT64_MAX;
    for (auto& [key, k] : s.peer_kinds) {
        if (k.left_out == 0) continue;
        const int64_t due = k.window_start + s.peer_limits.window_ms;
        if (now_ms >= due || now_ms < k.window_start) {
            write_left_out_locked(s, key.first, k);
            k.window_start = now_ms;
            k.written = 0;
        } else {
            s.next_count_due = std::min(s.next_count_due, due);
        }
    }
}

// A printed line has no level and no class: it counts as a warning of its own kind.
void write_peer_line_locked(LogState& s, const std::string& peer, int64_t now_ms, LogLevel level,
                            const std::string& message, const std::string& class_name, bool printed = false) {
    if (!printed && (level == LogLevel::Forced || static_cast<int>(level) < static_cast<int>(LogLevel::Warning))) {
        write_line_locked(s, level, message, class_name, true);
        return;
    }
    // Lines the level drops cost nothing and count for nothing.
    if (!printed && (!s.logging_enabled || static_cast<int>(level) < s.log_level)) return;
    LogState::PeerKind& k = s.peer_kinds[{peer, kind_of(class_name, message)}];
    k.printed = printed;
    if (k.written == 0 && k.left_out == 0) k.window_start = now_ms;
    // A clock that went back opens a new window too.
    if (now_ms - k.window_start >= s.peer_limits.window_ms || now_ms < k.window_start) {
        write_left_out_locked(s, peer, k);
        k.window_start = now_ms;
        k.written = 0;
    }
    if (k.written < s.peer_limits.per_window) {
        ++k.written;
        if (printed) write_console_locked(s, message, true);
        else write_line_locked(s, level, message, class_name, true);
    } else {
        ++k.left_out;
        k.level = level;
        k.class_name = class_name;
        k.last_left_out = message.substr(0, kMaxRememberedBytes);
        s.next_count_due = std::min(s.next_count_due, k.window_start + s.peer_limits.window_ms);
        if (!s.counts_at_exit) s.counts_at_exit = std::atexit(log_write_left_out) == 0;
    }
    write_due_counts_locked(s, now_ms);
    prune_peer_kinds_locked(s, now_ms);
}

}  // namespace

void log_message(LogLevel level, std::string message, std::string class_name) {
    if (const LogPeerScope* scope = current_scope) {
        log_peer_message(scope->peer, scope->now_ms, level, std::move(message), std::move(class_name));
        return;
    }
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    write_line_locked(s, level, message, class_name);
}

void log_peer_message(const std::string& peer, int64_t now_ms, LogLevel level, std::string message,
                      std::string class_name) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    write_peer_line_locked(s, peer, now_ms, level, message, class_name);
}

void print_console_line(const std::string& line) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    write_console_locked(s, line, false);
}

void log_write_left_out() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    write_due_counts_locked(s, INT64_MAX);
    end_console_window_locked(s, true);
}

void log_write_console_count() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    end_console_window_locked(s, false);
}

void print_peer_line(const std::string& peer, int64_t now_ms, const std::string& line) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    write_peer_line_locked(s, peer, now_ms, LogLevel::Warning, line, "", true);
}

void log_forget_peer(const std::string& peer) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.peer_kinds.lower_bound({peer, std::string()});
    while (it != s.peer_kinds.end() && it->first.first == peer) {
        write_left_out_locked(s, peer, it->second);
        it = s.peer_kinds.erase(it);
    }
}

void log_set_peer_limits(LogPeerLimits limits) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.peer_limits = limits;
}

LogPeerScope::LogPeerScope(std::string peer_, int64_t now_ms_)
    : peer(std::move(peer_)), now_ms(now_ms_), outer_(current_scope) {
    current_scope = this;
}

LogPeerScope::~LogPeerScope() { current_scope = outer_; }

void log_set_file_limit(uint64_t max_bytes) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.file_limit = max_bytes;
}

void log_set_console_limits(LogConsoleLimits limits) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.console_limits = limits;
}

void log_enable() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.logging_enabled) return;
    s.logging_enabled = true;
    write_line_locked(s, LogLevel::Forced, "Logging enabled...", "");
}

void log_enable_file() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.file_logging_enabled) return;
    s.file_logging_enabled = true;
    reopen_log_file(s);
    write_line_locked(s, LogLevel::Forced, "File logging enabled, writing to " + s.log_file_path + "...", "");
}

void log_set_file_path(std::string path) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.log_file_path = path;
    reopen_log_file(s);
    write_line_locked(s, LogLevel::Forced, "Log file path set to " + path + ".", "");
}

void log_set_level(LogLevel level) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.log_level = static_cast<int>(level);
    write_line_locked(s, LogLevel::Forced, "Logging level set to " + std::to_string(int(level)), "");
}

void log_disable_console() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.console_output) return;
    write_line_locked(s, LogLevel::Forced, "Console logging disabled.", "");
    s.console_output = false;
}

std::string log_class_name(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                     std::free);
    return std::string("class ") + (status == 0 && demangled ? demangled.get() : type.name());
}

void log_set_clock_for_tests(int64_t (*now_ms)()) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.clock = now_ms;
}

void log_set_output_for_tests(std::ostream* out) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.out = out ? out : &std::cout;
}

void log_reset_for_tests() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.logging_enabled = false;
    s.file_logging_enabled = false;
    s.console_output = true;
    s.log_level = 0;
    s.log_file_path = "logfile.txt";
    s.log_file.close();
    s.log_file.clear();
    s.file_limit = 0;
    s.file_bytes = 0;
    s.file_ended = false;
    s.console_limits = LogConsoleLimits();
    s.console_window_open = false;
    s.console_left_out = 0;
    s.clock = nullptr;
    s.next_count_due = INT64_MAX;
    s.peer_limits = LogPeerLimits();
    s.peer_kinds.clear();
}
