#pragma once
#include <string>

namespace platform {

// True for "/...", for the system's root form "\\..." and for a drive-letter path such as
// "C:\x" or "c:/x".
bool is_absolute_path(const std::string& path);

// Turns one of the system's path strings into a path this OS opens: backslashes become
// slashes, and when the exact path does not exist each component is matched
// case-insensitively against the folder that holds it. Components that do not exist at all
// are kept as written (so the result can name a file about to be created).
std::string native_path(const std::string& path);

// The process's current directory, without a trailing separator; empty on failure.
std::string current_directory();

// Changes the process's current directory; false on failure.
bool set_current_directory(const std::string& path);

// The path of `to` relative to the folder `from`, both taken as absolute (system strings
// accepted; a relative one is taken from the current directory). Components are compared as
// they are spelled on disk (see native_path). The result uses the system's separator, like
// the system's own path strings ("ani\\fire.vp", "..\\gfx\\a.png"), has no leading ".\\", and
// is "." when both name the same folder. Empty when no relative path exists (different drive
// letters).
std::string relative_path(const std::string& from_folder, const std::string& to);

// The folder that holds the running executable, without a trailing separator.
std::string executable_directory();

}  // namespace platform
