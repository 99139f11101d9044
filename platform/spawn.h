#pragma once
// Starting helper programs without a shell (used by process, dialog and clipboard code; not part
// of the platform interface).
#include <string>
#include <vector>

namespace platform::detail {

// The executable file the name denotes: a name with a '/' as it stands, any other one looked up
// in PATH. Empty when nothing executable is found.
std::string find_executable(const std::string& name);

struct RunResult {
    bool started = false;    // false when the program could not be executed at all
    bool timed_out = false;  // killed after the time limit
    int exit_code = -1;      // the exit status when it ended normally, else -1
    std::string output;      // standard output, at most the requested number of bytes
};

// Runs the program (argv[0] = path) to its end with `input` on its standard input (nothing:
// /dev/null) and collects up to `max_output` bytes of its standard output when `capture` is set
// (otherwise it goes to /dev/null, as standard error always does). With `timeout_ms` >= 0 the
// program is killed when it runs longer. Blocks the calling thread meanwhile.
RunResult run_program(const std::string& path, const std::vector<std::string>& args, const std::string* input,
                      bool capture, std::size_t max_output, int timeout_ms);

}  // namespace platform::detail
