#pragma once
// One of our programs as a child process in a run folder: standard output and error collected
// through a pipe, standard input from /dev/null. And scratch run folders whose match phases are
// short, so that a whole match between the real programs takes a few seconds.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <SFML/Network/TcpListener.hpp>

#include "engine/core/ini.h"

namespace process_test {

// A loopback port nobody listens on right now; 0 when none could be had.
inline unsigned short free_port() {
    sf::TcpListener probe;
    if (probe.listen(sf::Socket::AnyPort, sf::IpAddress(127, 0, 0, 1)) != sf::Socket::Done) return 0;
    return probe.getLocalPort();
}

// Lays out the run folder in the empty folder: its entries linked, but the named ones copied (so
// that what is written to them stays there) and the logs left out.
inline void lay_out_run_folder(const std::string& to, std::initializer_list<std::string> copied) {
    namespace fs = std::filesystem;
    for (const fs::directory_entry& entry : fs::directory_iterator(BRAWL_RUN_DIR)) {
        const std::string name = entry.path().filename().string();
        const fs::path target = fs::path(to) / name;
        if (std::find(copied.begin(), copied.end(), name) != copied.end())
            fs::copy(entry.path(), target, fs::copy_options::recursive);
        else if (name.find(".log") == std::string::npos) fs::create_symlink(entry.path(), target);
    }
}

// Shortens the countdown, the ending and the result display in the folder's own copy of the
// configuration, which the programs started in it read. The result still shows for a second,
// long enough to look at the scoreboard.
inline void shorten_match_phases(const std::string& run_folder) {
    const std::string common = run_folder + "/config/common.ini";
    const bool written = ini_write_float("timing", "readyTime", 0.25f, common) &&
                         ini_write_float("timing", "endingTimeout", 0.25f, common) &&
                         ini_write_float("timing", "resultDisplayTime", 1.0f, common);
    if (!written) throw std::runtime_error("cannot shorten the match phases in " + common);
}

class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> argv, const std::string& folder = BRAWL_RUN_DIR) {
        int out[2];
        if (pipe(out) != 0) return;
        if ((pid_ = fork()) == 0) {
            dup2(out[1], 1);
            dup2(out[1], 2);
            dup2(open("/dev/null", O_RDONLY), 0);
            std::vector<char*> args;
            for (std::string& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            if (chdir(folder.c_str()) == 0) execv(args[0], args.data());
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
