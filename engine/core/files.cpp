#include "engine/core/files.h"

#include <cstdio>

#include "engine/core/ini.h"
#include "platform/dialogs.h"
#include "platform/folders.h"
#include "platform/paths.h"

std::string make_absolute_path(std::string path) {
    if (platform::is_absolute_path(path)) return path;
    return get_working_directory() + path;
}

std::string make_relative_path(std::string from, std::string to) {
    std::string relative = platform::relative_path(from, to);
    return relative.empty() ? to : relative;
}

std::unique_ptr<char[]> read_text_file(std::string path) {
    std::FILE* file = std::fopen(platform::native_path(make_absolute_path(path)).c_str(), "rb");
    if (!file) return nullptr;
    std::unique_ptr<char[]> text;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long size = std::ftell(file);
        if (size > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
            text.reset(new char[std::size_t(size) + 1]);
            // Read no more than the size taken above, even if the file grows meanwhile.
            std::size_t got = std::fread(text.get(), 1, std::size_t(size), file);
            std::size_t out = 0;
            for (std::size_t i = 0; i < got; ++i) {
                if (text[i] == '\r' && i + 1 < got && text[i + 1] == '\n') continue;
                text[out++] = text[i];
            }
            text[out] = '\0';
        }
    }
    std::fclose(file);
    return text;
}

std::vector<std::string> list_files(std::string folder) { return platform::list_folder(make_absolute_path(folder)); }

namespace {

std::string run_dialog(bool save, std::string initial_folder, std::string filter, std::string default_extension,
                       std::string title, int filter_index) {
    platform::FileDialogRequest request;
    request.save = save;
    request.initial_folder = std::move(initial_folder);
    request.filter = std::move(filter);
    request.default_extension = std::move(default_extension);
    request.title = std::move(title);
    request.filter_index = filter_index;
    return platform::file_dialog(request);
}

}  // namespace

std::string open_file_dialog(std::string initial_folder, std::string filter, std::string default_extension,
                             std::string title, int filter_index) {
    return run_dialog(false, initial_folder, filter, default_extension, title, filter_index);
}

std::string save_file_dialog(std::string initial_folder, std::string filter, std::string default_extension,
                             std::string title, int filter_index) {
    return run_dialog(true, initial_folder, filter, default_extension, title, filter_index);
}
