#pragma once
// Helpers of the media suites: the log captured into a string for the duration of a test.
#include <sstream>
#include <string>

#include "engine/core/logger.h"

namespace test_support {

class LogCapture {
public:
    LogCapture() {
        log_reset_for_tests();
        log_set_output_for_tests(&out_);
        log_enable();
        log_set_level(LogLevel::None);
        out_.str("");
    }
    ~LogCapture() {
        log_reset_for_tests();
        log_set_output_for_tests(nullptr);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text() const { return out_.str(); }
    bool contains(const std::string& needle) const { return text().find(needle) != std::string::npos; }
    int count(const std::string& needle) const {
        int n = 0;
        std::string all = text();
        for (std::size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1)) ++n;
        return n;
    }
    void clear() { out_.str(""); }

private:
    std::ostringstream out_;
};

}  // namespace test_support
