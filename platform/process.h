#pragma once
#include <string>
#include <vector>

namespace platform {

// Starts the program with the arguments, detached from our standard input; returns its pid or
// -1 when it cannot be started (not found, or exec failed). The program runs in a session of its
// own, under the init process rather than as our child (so it never becomes our zombie), with
// our standard output and error and none of our other open files. "brawl_server.exe" and other names ending in ".exe" are looked
// up without the extension beside the running executable first, then as given.
int start_program(const std::string& program, const std::vector<std::string>& args);

// Splits a command-line argument string as a shell-less Windows program would: blanks separate
// arguments, double quotes group, and a backslash before a double quote makes it literal.
std::vector<std::string> split_command_line(const std::string& args);

// Resolves the program name as start_program does; empty when nothing runnable is found.
std::string resolve_program(const std::string& program);

}  // namespace platform
