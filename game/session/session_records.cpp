#include "game/session/session_records.h"

#include <algorithm>
#include <cstring>

void JoinRequest::set_name(const std::string& text) {
    std::memset(name, 0, sizeof name);
    std::memcpy(name, text.data(), std::min(text.size(), sizeof name - 1));
}

std::string JoinRequest::get_name() const {
    const char* end = static_cast<const char*>(std::memchr(name, 0, sizeof name));
    return std::string(name, end ? size_t(end - name) : sizeof name);
}
