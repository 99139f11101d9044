#pragma once
#include <cstdio>
#include <string>

// A number as the editor's fields show it: fixed notation with six decimals (printf's "%f").
inline std::string format_fixed(double value) {
    const int length = std::snprintf(nullptr, 0, "%f", value);
    if (length <= 0) return std::string();
    std::string text(std::size_t(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%f", value);
    text.resize(std::size_t(length));
    return text;
}

// A path as the editor shows it: the document keeps the file format's backslashes, the labels
// show this system's separator.
inline std::string format_path(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}
