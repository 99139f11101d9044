#pragma once
#include <string>

namespace platform {

// The text clipboard: kept in process, and mirrored to the X selection when a display and
// a selection tool (xclip or xsel) are available.
void clipboard_set_text(const std::string& text);
std::string clipboard_get_text();

// Switches the X selection on or off (tests keep the clipboard in process).
void clipboard_use_system(bool use);

}  // namespace platform
