#pragma once
#include <cstdint>
#include <string>
#include <typeinfo>

// One process-wide text log: standard output, and a file once file logging is on.
enum class LogLevel : int {
    None = 0,
    Status = 1,
    Warning = 2,
    Error = 3,
    FatalError = 4,
    Forced = 5,
};

void log_message(LogLevel level, std::string message, std::string class_name);
void log_enable();
void log_enable_file();
void log_set_file_path(std::string path);
void log_set_level(LogLevel level);
// Takes the log off standard output for the rest of the run (a program without a console);
// the file, when on, still gets every line. Says so once, on the console, before it goes quiet.
void log_disable_console();

// Caps the log file at max_bytes (0: no cap): the line that would cross it is replaced by one
// closing line, and the file gets nothing more. A write that fails (a full disk, a file size
// limit) ends the file's part of the log the same way, without ending the program.
void log_set_file_limit(uint64_t max_bytes);
// The cap of the programs' log files: a peer can cause warnings at any rate for as long as it
// stays connected.
constexpr uint64_t kProgramLogLimitBytes = 16 * 1024 * 1024;
// Bounds what the log writes on standard output to bytes_per_window in each window of window_ms
// (0: no bound): its lines below ERROR and the lines a peer causes at any level, for many peers
// together cause lines at any rate, however each one is limited. Once a window is over (seen at
// the next line, at log_write_console_count, or at exit) the count of the lines it left out is
// written; the file still gets them. Errors and worse that no peer caused, the log's own lines and
// the printed lines below always go out.
struct LogConsoleLimits {
    uint64_t bytes_per_window = 0;
    int64_t window_ms = 10000;
};
void log_set_console_limits(LogConsoleLimits limits);
// The dedicated server's bound: a few hundred lines every ten seconds.
constexpr LogConsoleLimits kProgramConsoleLimits{16 * 1024, 10000};
// Writes the count of the console's window if it is over, so that a flood that stops still says
// what it left out without waiting for the next line.
void log_write_console_count();
// Prints one line on standard output, outside the log and outside its bound: the players'
// arrivals and departures, the match's progress, network failures.
void print_console_line(const std::string& line);

// Lines that a peer's input causes, at any rate the peer chooses: within a window of
// window_ms, at most per_window warning lines per peer and kind (the reporting class and the
// message with its numbers left out) are written; the lines left out are counted and the count
// is written with the next line of any peer once that window is over, when the peer is
// forgotten, and at the latest when the program exits. Statuses pass unlimited, errors and worse
// are limited as warnings.
struct LogPeerLimits {
    uint32_t per_window = 10;
    int64_t window_ms = 10000;
};
void log_set_peer_limits(LogPeerLimits limits);
// Logs one line caused by what peer sent, now_ms on the caller's clock.
void log_peer_message(const std::string& peer, int64_t now_ms, LogLevel level, std::string message,
                      std::string class_name);
// Prints one line on standard output, outside the log, that a peer's doing causes (a newcomer
// arriving, leaving), limited per peer and kind as its warnings are and within the console's
// bound; what is left out is counted on standard output the same way.
void print_peer_line(const std::string& peer, int64_t now_ms, const std::string& line);
// Writes the counts still open for the peer and forgets it (a connection that closed).
void log_forget_peer(const std::string& peer);
// Writes every count still open, of every peer and of the console (done at exit too).
void log_write_left_out();

// While one lives, every log_message of this thread is taken as caused by the peer, as
// log_peer_message; within nested scopes the innermost one counts.
class LogPeerScope {
public:
    LogPeerScope(std::string peer, int64_t now_ms);
    ~LogPeerScope();
    LogPeerScope(const LogPeerScope&) = delete;
    LogPeerScope& operator=(const LogPeerScope&) = delete;

    const std::string peer;
    const int64_t now_ms;

private:
    LogPeerScope* outer_;
};

// "class " + the demangled name of the type, as the log names a reporting object.
std::string log_class_name(const std::type_info& type);

template <typename T>
std::string log_class_name_of(const T& object) {
    return log_class_name(typeid(object));
}

// Where standard output goes is the process's business; tests redirect the log's own stream.
void log_set_output_for_tests(std::ostream* out);
// The clock of the console's windows, in milliseconds (nullptr: the monotonic clock).
void log_set_clock_for_tests(int64_t (*now_ms)());
// Puts the process-wide state back to its start values (logging off, level 0, no file).
void log_reset_for_tests();
