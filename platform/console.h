#pragma once
#include <string>

namespace platform {

// Waits for one key press on a terminal (raw read, no echo). Returns at once when standard
// input is not a terminal.
void wait_for_key();

// Titles the terminal window (an escape sequence when standard output is a terminal).
void set_console_title(const std::string& title);

// There is no console window to hide here; kept so callers read as they do on every system.
void hide_console();

}  // namespace platform
