#pragma once
// Checks of our hand-written GLSL sources: the version line, and that every uniform a shader
// declares is also used (a name that only appears in a comment is not used).
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "engine/core/files.h"

namespace shader_test {

// The shader's source, or "" (with a test failure) when it cannot be read.
inline std::string read_source(const std::string& path) {
    auto text = read_text_file(path);
    EXPECT_NE(text, nullptr) << path;
    return text ? std::string(text.get()) : std::string();
}

// Expects "#version 120" first and every declared uniform used; returns the declared names.
inline std::set<std::string> check_uniforms_used(const std::string& source, const std::string& path) {
    EXPECT_EQ(source.rfind("#version 120", 0), 0u) << path;
    std::string code = std::regex_replace(source, std::regex("//[^\n]*"), "");
    std::set<std::string> declared;
    std::regex declaration(R"(uniform\s+\w+\s+(\w+)\s*;)");
    for (std::sregex_iterator it(code.begin(), code.end(), declaration), end; it != end; ++it) {
        std::string name = (*it)[1];
        declared.insert(name);
        std::regex use("\\b" + name + "\\b");
        auto uses = std::distance(std::sregex_iterator(code.begin(), code.end(), use), std::sregex_iterator());
        EXPECT_GE(uses, 2) << name << " is declared but not used in " << path;
    }
    return declared;
}

}  // namespace shader_test
