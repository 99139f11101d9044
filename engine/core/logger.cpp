#include "engine/core/logger.h"

#include <cxxabi.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>

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
};

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
}

void write_line_locked(LogState& s, LogLevel lv, const std::string& message,
                       const std::string& class_name) {
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
    if (s.console_output) {
        *s.out << line << '\n';
        s.out->flush();
    }
    if (s.file_logging_enabled && s.log_file.is_open()) {
        s.log_file << line << '\n';
        s.log_file.flush();
    }
}

}  // namespace

void log_message(LogLevel level, std::string message, std::string class_name) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    write_line_locked(s, level, message, class_name);
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
    write_line_locked(s, LogLevel::Forced,
                      "File logging enabled, writing to " + s.log_file_path + "...", "");
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
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    return std::string("class ") + (status == 0 && demangled ? demangled.get() : type.name());
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
}
