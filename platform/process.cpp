#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/paths.h"
#include "platform/spawn.h"
#include "platform/text_util.h"

namespace platform {

namespace {

// The child reports through a close-on-exec pipe: nothing arrives when exec succeeded, an
// 'E' record with errno when it failed, and a detached start sends a 'P' record with the pid
// of the process that will run the program.
void report(int fd, char tag, int32_t value) {
    unsigned char record[5];
    record[0] = static_cast<unsigned char>(tag);
    std::memcpy(record + 1, &value, sizeof value);
    while (write(fd, record, sizeof record) < 0 && errno == EINTR) {
    }
}

void close_range_from(unsigned first, unsigned last, int max_fd) {
    if (first > last) return;
    if (close_range(first, last, 0) == 0) return;
    for (unsigned fd = first; fd <= last && fd < unsigned(max_fd); ++fd) close(int(fd));
}

struct ChildSetup {
    const char* path;
    char* const* argv;
    int stdio[3];  // what becomes 0, 1 and 2; -1 keeps ours
    int report_fd;
    int max_fd;
};

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void exec_child(const ChildSetup& c) {
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    for (int s = 1; s < NSIG; ++s) sigaction(s, &dfl, nullptr);

    // Move the sources out of the way first, so that one of them sitting on 0..2 is not
    // overwritten before it is used.
    int moved[3];
    for (int i = 0; i < 3; ++i) {
        moved[i] = -1;
        if (c.stdio[i] < 0) continue;
        moved[i] = fcntl(c.stdio[i], F_DUPFD_CLOEXEC, 3);
        if (moved[i] < 0) {
            report(c.report_fd, 'E', errno);
            _exit(127);
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (moved[i] >= 0 && dup2(moved[i], i) < 0) {
            report(c.report_fd, 'E', errno);
            _exit(127);
        }
    }
    // Sockets and files of ours (the game's sockets among them) are not the program's business.
    close_range_from(3, unsigned(c.report_fd) - 1, c.max_fd);
    close_range_from(unsigned(c.report_fd) + 1, ~0u, c.max_fd);

    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(c.path, c.argv);
    report(c.report_fd, 'E', errno);
    _exit(127);
}

// Starts the program; returns the pid of the process running it or -1. A detached program runs
// in a session of its own under a short-lived intermediate process, which we reap at once: the
// program is then no child of ours and never lingers as a zombie, whenever it ends.
pid_t spawn_process(const std::string& path, const std::vector<std::string>& args, const int stdio[3], bool detached) {
    std::vector<std::string> strings;
    strings.reserve(args.size() + 1);
    strings.push_back(path);
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return -1;
    long open_max = sysconf(_SC_OPEN_MAX);
    ChildSetup setup{path.c_str(),
                     argv.data(),
                     {stdio[0], stdio[1], stdio[2]},
                     pipe_fds[1],
                     int(open_max > 0 && open_max < 65536 ? open_max : 65536)};

    // No signal handler of ours may run in the child before exec.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    pid_t pid = fork();
    if (pid == 0) {
        close(pipe_fds[0]);
        if (detached) {
            setsid();
            // _Fork runs no fork handlers: this process may only make async-signal-safe calls.
            pid_t grandchild = _Fork();
            if (grandchild < 0) {
                report(pipe_fds[1], 'E', errno);
                _exit(1);
            }
            if (grandchild > 0) {
                report(pipe_fds[1], 'P', grandchild);
                _exit(0);
            }
        }
        exec_child(setup);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    close(pipe_fds[1]);
    if (pid < 0) {
        close(pipe_fds[0]);
        return -1;
    }

    // Two records at most; the pipe reaches its end when exec succeeded or everyone gave up.
    unsigned char buffer[64];
    std::size_t filled = 0;
    while (filled < sizeof buffer) {
        ssize_t n = read(pipe_fds[0], buffer + filled, sizeof buffer - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        filled += std::size_t(n);
    }
    close(pipe_fds[0]);

    bool failed = false;
    pid_t program = detached ? -1 : pid;
    for (std::size_t at = 0; at + 5 <= filled; at += 5) {
        int32_t value;
        std::memcpy(&value, buffer + at + 1, sizeof value);
        if (buffer[at] == 'P') program = pid_t(value);
        else failed = true;
    }
    if (detached || failed) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (failed || program <= 0) return -1;
    return program;
}

bool is_executable_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool ends_with_exe(const std::string& name) {
    return name.size() > 4 && detail::iequals(std::string_view(name).substr(name.size() - 4), ".exe");
}

}  // namespace

namespace detail {

std::string find_executable(const std::string& name) {
    if (name.empty()) return std::string();
    if (name.find('/') != std::string::npos) return is_executable_file(name) ? name : std::string();
    const char* env = std::getenv("PATH");
    std::string path_list = env ? env : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (true) {
        std::size_t colon = path_list.find(':', start);
        std::string dir = path_list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (is_executable_file(candidate)) return candidate;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return std::string();
}

RunResult run_program(const std::string& path, const std::vector<std::string>& args, const std::string* input,
                      bool capture, std::size_t max_output, int timeout_ms) {
    RunResult result;
    int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devnull < 0) return result;
    // A socket for the input, so that a program that exits unread gives EPIPE instead of SIGPIPE.
    int in_pair[2] = {-1, -1};
    int out_pipe[2] = {-1, -1};
    bool ok = true;
    if (input && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in_pair) != 0) ok = false;
    if (ok && capture && pipe2(out_pipe, O_CLOEXEC) != 0) ok = false;
    pid_t pid = -1;
    if (ok) {
        int stdio[3] = {input ? in_pair[1] : devnull, capture ? out_pipe[1] : devnull, devnull};
        pid = spawn_process(path, args, stdio, false);
    }
    close(devnull);
    if (in_pair[1] >= 0) close(in_pair[1]);
    if (out_pipe[1] >= 0) close(out_pipe[1]);
    int in_fd = in_pair[0];
    int out_fd = out_pipe[0];
    if (pid < 0) {
        if (in_fd >= 0) close(in_fd);
        if (out_fd >= 0) close(out_fd);
        return result;
    }
    result.started = true;

    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
    auto remaining_ms = [&]() -> int {
        if (timeout_ms < 0) return -1;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        return left > 0 ? int(left) : 0;
    };

    std::size_t written = 0;
    if (in_fd >= 0 && input->empty()) {
        close(in_fd);
        in_fd = -1;
    }
    if (in_fd >= 0) fcntl(in_fd, F_SETFL, fcntl(in_fd, F_GETFL) | O_NONBLOCK);
    while (in_fd >= 0 || out_fd >= 0) {
        pollfd fds[2];
        nfds_t count = 0;
        if (in_fd >= 0) fds[count++] = {in_fd, POLLOUT, 0};
        if (out_fd >= 0) fds[count++] = {out_fd, POLLIN, 0};
        int wait = remaining_ms();
        if (wait == 0 && timeout_ms >= 0) {
            result.timed_out = true;
            break;
        }
        int n = poll(fds, count, wait);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == in_fd) {
                ssize_t sent =
                    send(in_fd, input->data() + written, input->size() - written, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (sent > 0) written += std::size_t(sent);
                if ((sent < 0 && errno != EAGAIN && errno != EINTR) || written == input->size()) {
                    close(in_fd);
                    in_fd = -1;
                }
            } else {
                char buffer[4096];
                ssize_t got = read(out_fd, buffer, sizeof buffer);
                if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                if (got > 0) {
                    std::size_t room = max_output - result.output.size();
                    result.output.append(buffer, std::min(room, std::size_t(got)));
                }
                if (got <= 0 || result.output.size() >= max_output) {
                    close(out_fd);
                    out_fd = -1;
                }
            }
        }
    }
    if (in_fd >= 0) close(in_fd);
    if (out_fd >= 0) close(out_fd);

    int status = 0;
    bool reaped = false;
    if (!result.timed_out) {
        if (timeout_ms < 0) {
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            reaped = true;
        } else {
            int pause_ms = 1;
            while (true) {
                pid_t w = waitpid(pid, &status, WNOHANG);
                if (w == pid || (w < 0 && errno != EINTR)) {
                    reaped = true;
                    break;
                }
                if (remaining_ms() == 0) {
                    result.timed_out = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min(pause_ms, remaining_ms())));
                pause_ms = std::min(pause_ms * 2, 20);
            }
        }
    }
    if (!reaped) {
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return result;
    }
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    return result;
}

}  // namespace detail

std::string resolve_program(const std::string& program) {
    if (program.empty()) return std::string();
    if (ends_with_exe(program)) {
        // Our programs carry no extension; the system's text names them with one.
        std::string bare = program.substr(0, program.size() - 4);
        std::string native = native_path(bare);
        if (!is_absolute_path(bare)) {
            std::string beside = native_path(executable_directory() + "/" + bare);
            if (is_executable_file(beside)) return beside;
        }
        // The system finds it from the working directory, then along the search path.
        if (is_executable_file(native)) return native.find('/') == std::string::npos ? "./" + native : native;
        if (native.find('/') == std::string::npos) {
            std::string found = detail::find_executable(native);
            if (!found.empty()) return found;
        }
    }
    std::string native = native_path(program);
    return detail::find_executable(native);
}

int start_program(const std::string& program, const std::vector<std::string>& args) {
    std::string path = resolve_program(program);
    if (path.empty()) return -1;
    int devnull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devnull < 0) return -1;
    int stdio[3] = {devnull, -1, -1};
    pid_t pid = spawn_process(path, args, stdio, true);
    close(devnull);
    return pid > 0 ? int(pid) : -1;
}

std::vector<std::string> split_command_line(const std::string& args) {
    // The rules of CommandLineToArgvW for the arguments after the program name:
    // 2n backslashes before a quote give n backslashes and the quote toggles grouping,
    // 2n+1 give n backslashes and a literal quote, other backslashes are literal, and a
    // quote inside a group followed by another quote gives a literal quote.
    std::vector<std::string> out;
    std::string current;
    bool in_arg = false;
    int quotes = 0;
    std::size_t backslashes = 0;
    std::size_t i = 0;
    while (i < args.size()) {
        char c = args[i];
        if (detail::is_blank(c) && quotes == 0) {
            if (in_arg) out.push_back(current);
            current.clear();
            in_arg = false;
            backslashes = 0;
            ++i;
            continue;
        }
        in_arg = true;
        if (c == '\\') {
            current += c;
            ++backslashes;
            ++i;
        } else if (c == '"') {
            if (backslashes % 2 == 0) {
                current.resize(current.size() - backslashes / 2);
                ++quotes;
            } else {
                current.resize(current.size() - backslashes / 2 - 1);
                current += '"';
            }
            ++i;
            backslashes = 0;
            while (i < args.size() && args[i] == '"') {
                if (++quotes == 3) {
                    current += '"';
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2) quotes = 0;
        } else {
            current += c;
            backslashes = 0;
            ++i;
        }
    }
    if (in_arg) out.push_back(current);
    return out;
}

}  // namespace platform
