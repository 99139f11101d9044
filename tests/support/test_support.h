#pragma once
// Helpers shared by the suites: a scratch folder that is removed again, a check that work ends,
// and a disk that is full.
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

namespace test_support {

// Sets or removes an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

class ScratchDir {
public:
    ScratchDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "brawl_test_XXXXXX").string();
        path_ = mkdtemp(templ.data()) ? templ : std::string();
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Writes the bytes exactly as given (no newline translation).
    std::string write(const std::string& name, const std::string& bytes) const {
        std::string p = file(name);
        std::filesystem::create_directories(std::filesystem::path(p).parent_path());
        std::ofstream out(p, std::ios::binary);
        out << bytes;
        return p;
    }

    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private:
    std::string path_;
};

// Runs the work on a thread of its own and waits for it: true when it ended within the time.
// Work that hangs is left running, so a failing suite still ends; the caller keeps alive what
// such work uses.
inline bool ends_within(std::function<void()> work, int seconds = 20) {
    auto task = std::make_shared<std::packaged_task<void()>>(std::move(work));
    auto done = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    return done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready;
}

// Runs the work while this process may write no file beyond `bytes` (a full disk, for the
// writes of the work): a write past it fails instead of ending the process.
inline void with_file_size_limit(rlim_t bytes, const std::function<void()>& work) {
    rlimit limits{};
    getrlimit(RLIMIT_FSIZE, &limits);
    const rlimit tiny{bytes, limits.rlim_max};
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &tiny);
    work();
    setrlimit(RLIMIT_FSIZE, &limits);
    std::signal(SIGXFSZ, old_handler);
}

}  // namespace test_support
