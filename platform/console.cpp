#include "platform/console.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

void wait_for_key() {
    if (!isatty(STDIN_FILENO)) return;
    termios saved;
    if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
    termios raw = saved;
    raw.c_lflag &= tcflag_t(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return;
    char c;
    while (read(STDIN_FILENO, &c, 1) < 0 && errno == EINTR) {
    }
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

void set_console_title(const std::string& title) {
    if (!isatty(STDOUT_FILENO)) return;
    // Control characters would end the sequence early or start another one.
    std::string clean;
    for (char c : title)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) clean += c;
    std::fputs(("\033]0;" + clean + "\007").c_str(), stdout);
    std::fflush(stdout);
}

void hide_console() {}

}  // namespace platform
