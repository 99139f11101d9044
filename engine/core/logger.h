#pragma once
#include <string>
#include <typeinfo>

// One process-wide text log: standard output, and a file once file logging is on.
enum class LogLevel : int {
    None = 0,
    Status = 1,
    Warning = 2,
    Error = 3,
    FatalError = 4,
    Forced = 5,
};

void log_message(LogLevel level, std::string message, std::string class_name);
void log_enable();
void log_enable_file();
void log_set_file_path(std::string path);
void log_set_level(LogLevel level);
// Takes the log off standard output for the rest of the run (a program without a console);
// the file, when on, still gets every line. Says so once, on the console, before it goes quiet.
void log_disable_console();

// "class " + the demangled name of the type, as the log names a reporting object.
std::string log_class_name(const std::type_info& type);

template <typename T>
std::string log_class_name_of(const T& object) {
    return log_class_name(typeid(object));
}

// Where standard output goes is the process's business; tests redirect the log's own stream.
void log_set_output_for_tests(std::ostream* out);
// Puts the process-wide state back to its start values (logging off, level 0, no file).
void log_reset_for_tests();
