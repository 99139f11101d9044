#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "engine/core/logger.h"
#include "support/test_support.h"

namespace {

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        log_reset_for_tests();
        log_set_output_for_tests(&out);
    }
    void TearDown() override {
        log_reset_for_tests();
        log_set_output_for_tests(nullptr);
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> r;
        std::istringstream in(out.str());
        for (std::string l; std::getline(in, l);) r.push_back(l);
        return r;
    }
    std::ostringstream out;
};

struct Reporter {
    virtual ~Reporter() = default;
};
struct DerivedReporter : Reporter {};

}  // namespace

TEST_F(LoggerTest, NothingIsWrittenWhileLoggingIsOff) {
    log_message(LogLevel::Forced, "forced", "");
    log_message(LogLevel::Error, "error", "class X");
    log_set_level(LogLevel::Warning);
    EXPECT_EQ(out.str(), "");
}

TEST_F(LoggerTest, LevelFilterKeepsForcedLines) {
    log_enable();
    log_set_level(LogLevel::Warning);
    out.str("");
    log_message(LogLevel::Status, "dropped", "");
    log_message(LogLevel::Warning, "w", "");
    log_message(LogLevel::Error, "e", "");
    log_message(LogLevel::FatalError, "f", "");
    log_message(LogLevel::Forced, "x", "");
    log_message(LogLevel::None, "plain", "");
    EXPECT_EQ(lines(), (std::vector<std::string>{"WARNING: w", "ERROR: e", "FATAL ERROR: f", "FORCED: x"}));
}

TEST_F(LoggerTest, LineFormatsByLevelAndClass) {
    log_enable();
    out.str("");
    log_message(LogLevel::Status, "Instance initialized.", "class CFPSControl");
    log_message(LogLevel::Error, "bad", "");
    log_message(LogLevel::None, "hello", "class CThing");
    log_message(LogLevel::None, "bare", "");
    EXPECT_EQ(lines(), (std::vector<std::string>{"STATUS in class CFPSControl: Instance initialized.", "ERROR: bad",
                                                 "class CThing: hello", "bare"}));
}

TEST_F(LoggerTest, EnableTwiceWritesOnceAndLevelLineShowsNumberOnly) {
    log_enable();
    log_enable();
    log_set_level(LogLevel::Warning);
    EXPECT_EQ(lines(), (std::vector<std::string>{"FORCED: Logging enabled...", "FORCED: Logging level set to 2"}));
}

TEST_F(LoggerTest, ClassNameIsDemangledRuntimeType) {
    DerivedReporter d;
    const Reporter& base = d;
    EXPECT_EQ(log_class_name_of(base), "class (anonymous namespace)::DerivedReporter");
    EXPECT_EQ(log_class_name(typeid(int)), "class int");
}

TEST_F(LoggerTest, FileIsEmptiedOnlyByTheFirstOpen) {
    test_support::ScratchDir dir;
    std::string path = dir.write("game.log", "old contents\n");
    log_set_file_path(path);  // first open of the run: empties
    log_enable();
    log_enable_file();  // reopens for appending, does not empty again
    log_message(LogLevel::Error, "one", "");
    log_set_file_path(path);  // a later call appends
    log_message(LogLevel::Error, "two", "");
    EXPECT_EQ(dir.read("game.log"), "FORCED: File logging enabled, writing to " + path +
                                        "...\nERROR: one\nFORCED: Log file path set to " + path + ".\nERROR: two\n");
}

TEST_F(LoggerTest, LinesFromTwoThreadsNeverInterleave) {
    log_enable();
    out.str("");
    const std::string a(200, 'a'), b(200, 'b');
    auto writer = [](const std::string& text) {
        for (int i = 0; i < 500; ++i) log_message(LogLevel::Error, text, "class T");
    };
    std::thread t1(writer, a), t2(writer, b);
    t1.join();
    t2.join();
    auto all = lines();
    ASSERT_EQ(all.size(), 1000u);
    for (const auto& l : all) EXPECT_TRUE(l == "ERROR in class T: " + a || l == "ERROR in class T: " + b) << l;
}

TEST_F(LoggerTest, WithoutTheConsoleLinesGoToTheFileOnly) {
    test_support::ScratchDir dir;
    log_enable();
    log_set_file_path(dir.file("quiet.txt"));
    log_enable_file();
    log_disable_console();
    const std::size_t console_lines = lines().size();
    log_disable_console();
    log_message(LogLevel::Error, "after", "class X");
    EXPECT_EQ(lines().size(), console_lines);
    EXPECT_NE(dir.read("quiet.txt").find("after"), std::string::npos);
}

TEST_F(LoggerTest, ACappedFileStopsJustBelowItsCap) {
    test_support::ScratchDir dir;
    log_set_file_limit(4096);
    log_set_file_path(dir.file("capped.log"));
    log_enable_file();
    log_enable();
    for (int i = 0; i < 500; ++i) log_message(LogLevel::Error, std::string(40, 'x'), "class T");
    EXPECT_TRUE(dir.read("capped.log").size() <= 4096u && dir.read("capped.log").size() > 3000u);
}

TEST_F(LoggerTest, LinesAPeerCausesAreLimitedPerPeerAndKindAndTheRestCounted) {
    log_enable();
    log_set_peer_limits({3, 1000});
    for (int i = 0; i < 40; ++i)
        log_peer_message("1.2.3.4:5", 100 + i, LogLevel::Warning, i % 2 ? "Bad record " + std::to_string(i) : "Odd",
                         "");
    log_peer_message("6.7.8.9:10", 1100, LogLevel::Warning, "Bad record 5", "");
    log_peer_message("1.2.3.4:5", 1200, LogLevel::Warning, "Odd", "");  // counts came as windows ended
    ASSERT_EQ(lines().size(), 1u + 3 + 3 + 1 + 1 + 1 + 1);
    EXPECT_TRUE(lines()[8].find("17") != std::string::npos && lines()[10].find("17") != std::string::npos);
    LogPeerScope scope("1.2.3.4:5", 1210);
    for (int i = 0; i < 4; ++i) log_message(LogLevel::Warning, "Bad record 1", "");  // three written, one counted
    log_forget_peer("1.2.3.4:5");                                                    // the count
    EXPECT_EQ(lines().size(), 15u);
}

// A flood is cut to its window's budget and counted when the window ends, lines print again after
// it; errors and printed lines (longer than what a flood's budget can have left) always go out.
TEST_F(LoggerTest, APrintedFloodSaysWhatItLeftOutAndStandardOutputIsBoundedPerWindowNotForLife) {
    log_set_peer_limits({1, 1000});
    for (int i = 0; i < 3; ++i) print_peer_line("1.2.3.4", 10 + i, "Newcomer " + std::to_string(i));
    log_write_left_out();  // as at exit
    EXPECT_EQ(lines().size(), 2u);
    static int64_t console_now = 0;
    log_set_clock_for_tests([] { return console_now; });
    log_set_console_limits({4096, 1000});
    log_enable();
    const std::string flood(40, 'x'), always(60, 'y');
    for (int64_t window : {100, 1100}) {
        console_now = window, out.str("");
        for (int i = 0; i < 500; ++i) log_peer_message(std::to_string(i), window, LogLevel::Warning, flood, "");
        log_message(LogLevel::Error, always, "");
        print_console_line(always);
        console_now = window + 999, log_write_console_count();  // not over yet
        const std::vector<std::string> all = lines();
        const auto printed = std::count(all.begin(), all.end(), "WARNING: " + flood);
        ASSERT_TRUE(printed > 0 && printed < 500 && all.end()[-2] == "ERROR: " + always && all.back() == always);
        console_now = window + 1000, log_write_console_count();
        EXPECT_NE(lines().back().find(" " + std::to_string(500 - printed) + " "), std::string::npos);
    }
}
