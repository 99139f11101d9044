#pragma once
#include <string>

// The dedicated server program: logging to "server.log", the console title, the launch
// arguments, the machine's addresses, then hosting and the server loop. Returns 0 once the loop
// has ended, whatever ended it; after rejected arguments it shows the usage text and ends the
// process with exit code -1 instead.
int server_main(int argc, char** argv);

// The log as the server keeps it: the file at path and standard output, warnings and worse, both
// bounded against floods.
void configure_server_log(const std::string& path);

// Writes the usage text, waits for a key when standard input is a terminal, and exits with -1.
[[noreturn]] void print_usage_and_exit();
