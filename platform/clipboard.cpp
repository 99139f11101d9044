#include "platform/clipboard.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/spawn.h"

namespace platform {

namespace {

constexpr int kToolTimeoutMs = 1000;             // a dead X server must not stall the frame loop
constexpr std::size_t kMaxClipboard = 1u << 20;  // more than any text field takes

struct Clipboard {
    std::mutex mutex;
    std::string text;
    bool use_system = true;
};

Clipboard& clipboard() {
    static Clipboard c;
    return c;
}

struct SelectionTool {
    std::string path;
    std::vector<std::string> set_args;
    std::vector<std::string> get_args;
};

bool find_selection_tool(SelectionTool& tool) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return false;
    tool.path = detail::find_executable("xclip");
    if (!tool.path.empty()) {
        tool.set_args = {"-selection", "clipboard", "-i"};
        tool.get_args = {"-selection", "clipboard", "-o"};
        return true;
    }
    tool.path = detail::find_executable("xsel");
    if (!tool.path.empty()) {
        tool.set_args = {"--clipboard", "--input"};
        tool.get_args = {"--clipboard", "--output"};
        return true;
    }
    return false;
}

// The clipboard carries NUL-terminated text.
std::string up_to_nul(const std::string& s) { return s.substr(0, s.find('\0')); }

}  // namespace

void clipboard_set_text(const std::string& text) {
    Clipboard& c = clipboard();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.text = up_to_nul(text);
    SelectionTool tool;
    if (c.use_system && find_selection_tool(tool))
        detail::run_program(tool.path, tool.set_args, &c.text, false, 0, kToolTimeoutMs);
}

std::string clipboard_get_text() {
    Clipboard& c = clipboard();
    std::lock_guard<std::mutex> lock(c.mutex);
    SelectionTool tool;
    if (c.use_system && find_selection_tool(tool)) {
        detail::RunResult run =
            detail::run_program(tool.path, tool.get_args, nullptr, true, kMaxClipboard, kToolTimeoutMs);
        if (run.exit_code == 0 && !run.timed_out) return up_to_nul(run.output);
    }
    return c.text;
}

void clipboard_use_system(bool use) {
    Clipboard& c = clipboard();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.use_system = use;
}

}  // namespace platform
