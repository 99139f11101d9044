#include "platform/dialogs.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/paths.h"
#include "platform/spawn.h"

namespace platform {

namespace {

struct Handlers {
    std::mutex mutex;
    std::function<std::string(const FileDialogRequest&)> file;
    std::function<MessageBoxResult(const MessageBoxRequest&)> box;
};

Handlers& handlers() {
    static Handlers h;
    return h;
}

// zenity, when there is a display to show it on; empty otherwise.
std::string dialog_tool() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return std::string();
    return detail::find_executable("zenity");
}

std::vector<std::string> split_filter(const std::string& filter) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= filter.size()) {
        std::size_t bar = filter.find('|', start);
        if (bar == std::string::npos) bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    return parts;
}

// "Description|*.a;*.b|Other|*.x" becomes one "Description | *.a *.b" argument per pair, the
// pair chosen by the (1-based) filter index first, since the first one is preselected.
std::vector<std::string> zenity_filters(const std::string& filter, int filter_index) {
    std::vector<std::string> parts = split_filter(filter);
    std::vector<std::string> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i + 1].empty()) continue;
        std::string patterns = parts[i + 1];
        for (char& c : patterns)
            if (c == ';') c = ' ';
        std::string description = parts[i].empty() ? patterns : parts[i];
        filters.push_back("--file-filter=" + description + " | " + patterns);
    }
    std::size_t chosen = filter_index > 0 ? std::size_t(filter_index - 1) : 0;
    if (chosen > 0 && chosen < filters.size()) {
        std::string first = filters[chosen];
        filters.erase(filters.begin() + long(chosen));
        filters.insert(filters.begin(), first);
    }
    return filters;
}

}  // namespace

std::string file_dialog(const FileDialogRequest& request) {
    std::function<std::string(const FileDialogRequest&)> handler;
    {
        std::lock_guard<std::mutex> lock(handlers().mutex);
        handler = handlers().file;
    }
    if (handler) return handler(request);

    std::string zenity = dialog_tool();
    if (zenity.empty()) return std::string();
    std::vector<std::string> args{"--file-selection"};
    if (request.save) {
        args.push_back("--save");
        args.push_back("--confirm-overwrite");
    }
    if (!request.title.empty()) args.push_back("--title=" + request.title);
    if (!request.initial_folder.empty()) {
        std::string folder = native_path(request.initial_folder);
        if (folder.back() != '/') folder += '/';
        args.push_back("--filename=" + folder);
    }
    for (std::string& f : zenity_filters(request.filter, request.filter_index)) args.push_back(std::move(f));

    detail::RunResult run = detail::run_program(zenity, args, nullptr, true, 65536, -1);
    if (!run.started || run.exit_code != 0) return std::string();
    std::string chosen = run.output;
    while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
    if (chosen.empty()) return std::string();

    if (request.save) {
        // As the system's save dialog does, a name typed without extension gets the default one.
        std::string ext = request.default_extension;
        if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
        std::size_t slash = chosen.rfind('/');
        std::string base = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
        if (!ext.empty() && base.find('.') == std::string::npos) chosen += "." + ext;
    }
    return chosen;
}

MessageBoxResult message_box(const MessageBoxRequest& request) {
    std::function<MessageBoxResult(const MessageBoxRequest&)> handler;
    {
        std::lock_guard<std::mutex> lock(handlers().mutex);
        handler = handlers().box;
    }
    if (handler) return handler(request);

    MessageBoxResult refused = request.yes_no ? MessageBoxResult::No : MessageBoxResult::Cancel;
    std::string zenity = dialog_tool();
    if (zenity.empty()) {
        // Nobody can answer; at least the text is not lost.
        std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
        return refused;
    }
    std::vector<std::string> args{request.yes_no ? "--question" : "--info", "--no-markup", "--title=" + request.caption,
                                  "--text=" + request.text};
    detail::RunResult run = detail::run_program(zenity, args, nullptr, false, 0, -1);
    if (!run.started) return refused;
    if (!request.yes_no) return MessageBoxResult::Ok;
    return run.exit_code == 0 ? MessageBoxResult::Yes : MessageBoxResult::No;
}

void set_file_dialog_handler(std::function<std::string(const FileDialogRequest&)> handler) {
    std::lock_guard<std::mutex> lock(handlers().mutex);
    handlers().file = std::move(handler);
}

void set_message_box_handler(std::function<MessageBoxResult(const MessageBoxRequest&)> handler) {
    std::lock_guard<std::mutex> lock(handlers().mutex);
    handlers().box = std::move(handler);
}

}  // namespace platform
