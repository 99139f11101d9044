#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <filesystem>

#include "engine/core/files.h"
#include "engine/core/ini.h"
#include "platform/dialogs.h"
#include "support/test_support.h"

TEST(Files, MakeAbsolutePath) {
    std::string cwd = get_working_directory();
    EXPECT_EQ(make_absolute_path("C:\\data\\x.png"), "C:\\data\\x.png");
    EXPECT_EQ(make_absolute_path("/usr/share/x"), "/usr/share/x");
    EXPECT_EQ(make_absolute_path("a"), cwd + "a");
    EXPECT_EQ(make_absolute_path("gfx\\dummy.png"), cwd + "gfx\\dummy.png");
}

TEST(Files, ReadTextFile) {
    test_support::ScratchDir dir;
    EXPECT_EQ(read_text_file(dir.write("empty.txt", "")), nullptr);
    EXPECT_EQ(read_text_file(dir.file("missing.txt")), nullptr);
    auto text = read_text_file(dir.write("crlf.txt", "one\r\ntwo\r\nthree"));
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text.get(), "one\ntwo\nthree");
    auto lone_cr = read_text_file(dir.write("cr.txt", "a\rb\r"));
    ASSERT_NE(lone_cr, nullptr);
    EXPECT_STREQ(lone_cr.get(), "a\rb\r");
}

TEST(Files, ReadTextFileOfAFileThatChangesWhileReadStaysInItsBuffer) {
    test_support::ScratchDir dir;
    std::string path = dir.write("changing.txt", std::string(4096, 'a'));
    constexpr std::size_t kMaxSize = 1 << 20;
    std::atomic<bool> stop{false};
    // The file grows up to kMaxSize, is cut back to nothing, and grows again.
    std::thread writer([&] {
        const std::string chunk(4096, 'b');
        while (!stop) {
            std::FILE* f = std::fopen(path.c_str(), "wb");
            for (std::size_t n = 0; n + chunk.size() <= kMaxSize && !stop; n += chunk.size()) {
                std::fwrite(chunk.data(), 1, chunk.size(), f);
                std::fflush(f);
            }
            std::fclose(f);
        }
    });
    // Each read takes at most what the file held when it was measured (the sanitizer build
    // reports any write past the buffer).
    for (int i = 0; i < 300; ++i) {
        auto text = read_text_file(path);
        if (text) {
            EXPECT_LE(std::strlen(text.get()), kMaxSize);
        }
    }
    stop = true;
    writer.join();
}

TEST(Files, ReadTextFileOfAFileThatGrowsStaysInItsBuffer) {
    // A FIFO reports size 0 and a device endless data; neither may overrun the buffer.
    auto zero = read_text_file("/dev/zero");
    EXPECT_EQ(zero, nullptr);
    test_support::ScratchDir dir;
    std::string big(100000, 'x');
    auto text = read_text_file(dir.write("big.txt", big));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::strlen(text.get()), big.size());
}

TEST(Files, ListFilesSortedWithPatterns) {
    test_support::ScratchDir dir;
    dir.write("swamp/b.png", "1");
    dir.write("swamp/A.png", "1");
    std::filesystem::create_directories(dir.file("swamp/sub"));
    const std::vector<std::string> expected{"A.png", "b.png", "sub"};
    EXPECT_EQ(list_files(dir.file("swamp")), expected);
    EXPECT_EQ(list_files(dir.file("swamp") + "\\"), expected);
    EXPECT_EQ(list_files(dir.file("swamp") + "\\*"), expected);
    EXPECT_TRUE(list_files(dir.file("nothing")).empty());
}

TEST(Files, DialogsReturnTheAnswerOrEmptyOnCancel) {
    platform::FileDialogRequest seen;
    platform::set_file_dialog_handler([&](const platform::FileDialogRequest& r) {
        seen = r;
        return std::string(r.save ? "/tmp/level.vml" : "");
    });
    EXPECT_EQ(open_file_dialog("levels", "Level Files (*.vml)|*.vml", "vml", "Open"), "");
    EXPECT_FALSE(seen.save);
    EXPECT_EQ(seen.filter, "Level Files (*.vml)|*.vml");
    EXPECT_EQ(save_file_dialog("levels", "Level Files (*.vml)|*.vml", "vml", "Save"), "/tmp/level.vml");
    EXPECT_TRUE(seen.save);
    EXPECT_EQ(seen.title, "Save");
    platform::set_file_dialog_handler(nullptr);
}
