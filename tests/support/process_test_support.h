#pragma once
// One of our programs as a child process in the run folder: standard output and error collected
// through a pipe, standard input from /dev/null.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace process_test {

class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> argv) {
        int out[2];
        if (pipe(out) != 0) return;
        if ((pid_ = fork()) == 0) {
            dup2(out[1], 1);
            dup2(out[1], 2);
            dup2(open("/dev/null", O_RDONLY), 0);
            std::vector<char*> args;
            for (std::string& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            if (chdir(BRAWL_RUN_DIR) == 0) execv(args[0], args.data());
            _exit(127);
        }
        close(out[1]);
        fd_ = out[0];
    }
    ~ChildProcess() {
        if (pid_ > 0 && !status_ && kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
        if (fd_ >= 0) close(fd_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Collects output until the text appears, the process has ended, or the time is up.
    bool wait_for_output(const std::string& text, int timeout_ms) {
        pump(timeout_ms, [&] { return output_.find(text) != std::string::npos; });
        return output_.find(text) != std::string::npos;
    }
    // The exit code once the process has ended within the time (minus the signal when killed).
    std::optional<int> wait_exit(int timeout_ms) {
        pump(timeout_ms, [] { return false; });
        if (!status_) return std::nullopt;
        return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -WTERMSIG(*status_);
    }
    const std::string& output() const { return output_; }

private:
    template <typename Done>
    void pump(int timeout_ms, Done done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (bool ended = false; !done() && !ended && std::chrono::steady_clock::now() < deadline;) {
            int status = 0;
            // Read after the check, so what an ended process wrote is all in.
            if (!status_ && waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
            ended = status_.has_value();
            pollfd p{fd_, POLLIN, 0};
            char buf[4096];
            ssize_t n = 0;
            while (poll(&p, 1, ended ? 0 : 20) > 0 && (n = read(fd_, buf, sizeof buf)) > 0)
                output_.append(buf, size_t(n));
        }
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    std::optional<int> status_;
    std::string output_;
};

}  // namespace process_test
