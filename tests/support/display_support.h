#pragma once
// Shared by the display suites: opening the X display can fail for a moment while the server is
// busy with other clients, and a server that stops answering must end the suite with a clue.
#include <SDL/SDL.h>
#include <dirent.h>
#include <execinfo.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "engine/app/game_base.h"

namespace test_support {

// Starts SDL video on X11 only, with bounded tries; the framework's own SDL_Init finds it up. Any
// other driver is a silent fallback (SDL 1.2 picks a text-mode one that takes over the terminal).
inline bool start_sdl_video() {
    setenv("SDL_VIDEODRIVER", "x11", 1);
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        SDL_SetError("DISPLAY is not set: the display suites need an X server (Xvfb will do)");
        return false;
    }
    if (CGameBase::start_video()) return true;
    SDL_SetError("the X server at %s did not take a connection", display);
    return false;
}

namespace watchdog_detail {

inline std::atomic<bool> stack_written{false};

inline void write_own_stack(int) {
    void* frames[64];
    backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
    stack_written = true;
}

inline void write_text(const std::string& text) { (void)!write(STDERR_FILENO, text.data(), text.size()); }

// Each other thread in turn writes its own stack (only reachable from inside it) to stderr.
inline void write_all_stacks() {
    const int signal_number = SIGRTMIN + 5;
    struct sigaction action = {};
    action.sa_handler = write_own_stack;
    action.sa_flags = SA_RESTART;
    sigaction(signal_number, &action, nullptr);
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return;
    while (dirent* entry = readdir(tasks)) {
        const pid_t tid = pid_t(std::atoi(entry->d_name));
        if (tid <= 0 || tid == gettid()) continue;
        std::string name;
        std::getline(std::ifstream("/proc/self/task/" + std::to_string(tid) + "/comm"), name);
        write_text("--- thread " + std::to_string(tid) + " (" + name + (tid == getpid() ? ", main" : "") + "):\n");
        stack_written = false;
        if (tgkill(getpid(), tid, signal_number) != 0) continue;
        // A thread that blocks the signal never answers.
        for (int i = 0; i < 200 && !stack_written; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!stack_written) write_text("(no answer)\n");
    }
    closedir(tasks);
}

}  // namespace watchdog_detail

// Ends the process with every thread's stack when `step` has not finished within
// BRAWL_DISPLAY_WATCHDOG_SECONDS, or 60 s, far beyond what a working X server needs.
class DisplayWatchdog {
public:
    explicit DisplayWatchdog(std::string step) : step_(std::move(step)) {
        const char* text = std::getenv("BRAWL_DISPLAY_WATCHDOG_SECONDS");
        const double limit = text && std::atof(text) > 0 ? std::atof(text) : 60;
        void* frames[1];
        backtrace(frames, 1);  // loads the unwinder now, not inside a signal handler
        thread_ = std::thread([this, limit] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (done_.wait_for(lock, std::chrono::duration<double>(limit), [this] { return finished_; })) return;
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", limit);
            const std::string failure = "Display watchdog: " + step_ + " has not finished after " + seconds +
                                        " s; is the X server answering? Stacks of every thread:\n";
            watchdog_detail::write_text(failure);
            watchdog_detail::write_all_stacks();
            watchdog_detail::write_text("FAILED: " + failure.substr(0, failure.find(';')) + ".\n");
            _exit(1);
        });
    }
    ~DisplayWatchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::string step_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace test_support
