#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Names (without folder) of every entry of the folder, files and subfolders alike, without "."
// and "..", sorted by byte order so that every peer sees the same order. Empty when the folder
// cannot be read. A trailing separator or "*" component is accepted and ignored; a last
// component with other wildcards ("*.png", "a?.vml") lists the matching names, ignoring case.
std::vector<std::string> list_folder(const std::string& folder);

// True when the path (a system string) names an existing file or folder.
bool file_exists(const std::string& path);

// Writes the whole file: a new file is created, an existing one is replaced through a temporary
// file in its folder (keeping its mode), so a failed write never leaves a half file behind.
// The path is an OS path. False when nothing could be written.
[[nodiscard]] bool write_file_whole(const std::string& path, std::string_view data);

}  // namespace platform
