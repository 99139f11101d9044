#pragma once
#include <memory>
#include <string>
#include <vector>

// A path with a drive letter or a root is kept; any other is put under the current directory
// as it is now (unlike ini paths, which keep the start-up directory).
std::string make_absolute_path(std::string path);

// The path of the file `to` relative to the folder `from` ("ani\\fire.vp", "..\\x.png"; no
// leading ".\\"); `to` unchanged when no relative path exists.
std::string make_relative_path(std::string from, std::string to);

// The whole file as NUL-terminated text with CR LF turned into LF; null when the file cannot be
// opened or is empty.
std::unique_ptr<char[]> read_text_file(std::string path);

// Entry names of the folder (files and subfolders), sorted by byte order; "object\\swamp",
// "object\\swamp\\" and "object\\swamp\\*" list the same folder.
std::vector<std::string> list_files(std::string folder);

// Native open and save dialogs; "" when cancelled. The filter is "Description|*.ext|...".
std::string open_file_dialog(std::string initial_folder, std::string filter, std::string default_extension,
                             std::string title, int filter_index = 1);
std::string save_file_dialog(std::string initial_folder, std::string filter, std::string default_extension,
                             std::string title, int filter_index = 1);
