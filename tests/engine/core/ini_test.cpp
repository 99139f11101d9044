#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/ini.h"
#include "support/test_support.h"

namespace {

class IniTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.write("t.ini",
                         "[values]\n"
                         "num=12abc\n"
                         "word=abc\n"
                         "empty=\n"
                         "neg=-7\n"
                         "big=99999999999\n"
                         "flt=2.5xyz\n"
                         "t1=true\n"
                         "t2=1\n"
                         "f1=True\n"
                         "f2=TRUE\n"
                         "f3=yes\n"
                         "f4=0\n"
                         "[colour]\n"
                         "cR=256\n"
                         "cG=-1\n"
                         "cB=300\n"
                         "cA=255\n"
                         "[lists]\n"
                         "names=2\n"
                         "name0=first\n"
                         "nums=3\n"
                         "num0=5\n"
                         "num2=9\n"
                         "negs=-4\n"
                         "huges=2000000000\n"
                         "[anim]\n"
                         "walkStart=3\n"
                         "walkEnd=8\n"
                         "walkSpeed=0.5\n"
                         "walkPlayOnce=true\n"
                         "[nokeys]\n");
    }
    test_support::ScratchDir dir;
    std::string path;
};

}  // namespace

TEST_F(IniTest, IntsReadLikeStreamExtraction) {
    EXPECT_EQ(ini_read_int("values", "num", 3, path), 12);
    EXPECT_EQ(ini_read_int("values", "word", 3, path), 3);
    EXPECT_EQ(ini_read_int("values", "empty", 3, path), 3);
    EXPECT_EQ(ini_read_int("values", "neg", 3, path), -7);
    EXPECT_EQ(ini_read_int("values", "big", 3, path), 3);
    EXPECT_EQ(ini_read_int("values", "missing", 3, path), 3);
    EXPECT_EQ(ini_read_int("VALUES", "NUM", 3, path), 12);  // names match case-insensitively
}

TEST_F(IniTest, FloatsAndTheirDefaultText) {
    EXPECT_FLOAT_EQ(ini_read_float("values", "flt", 1, path), 2.5f);
    // Text that is no number gives the caller's default unchanged, not its six-decimal text.
    for (const char* key : {"word", "empty"}) EXPECT_EQ(ini_read_float("values", key, 1.0f / 3, path), 1.0f / 3);
    // The default travels as six-decimal text.
    EXPECT_EQ(ini_read_float("values", "missing", 0.0000004f, path), 0.0f);
    EXPECT_FLOAT_EQ(ini_read_float("values", "missing", 2.5f, path), 2.5f);
}

TEST_F(IniTest, BoolsAreTrueOnlyForOneOrLowercaseTrue) {
    EXPECT_TRUE(ini_read_bool("values", "t1", false, path));
    EXPECT_TRUE(ini_read_bool("values", "t2", false, path));
    for (const char* key : {"f1", "f2", "f3", "f4"}) EXPECT_FALSE(ini_read_bool("values", key, true, path)) << key;
    EXPECT_TRUE(ini_read_bool("values", "missing", true, path));
    EXPECT_FALSE(ini_read_bool("values", "missing", false, path));
    EXPECT_FALSE(ini_read_bool("values", "empty", true, path));  // present but empty
}

TEST_F(IniTest, EmptyStringIsNotTheDefault) {
    EXPECT_EQ(ini_read_string("values", "empty", "dflt", path), "");
    EXPECT_EQ(ini_read_string("values", "missing", "dflt", path), "dflt");
    EXPECT_EQ(ini_read_string("values", "x", "dflt", dir.file("nofile.ini")), "dflt");
}

TEST_F(IniTest, ColourBytesKeepTheLowEightBits) {
    ColorRGBA c;
    ini_read_rgba(c, "colour", "c", path);
    EXPECT_EQ(c, (ColorRGBA{0, 255, 44, 255}));
    ColorRGB rgb{9, 9, 9};
    ini_read_rgb(rgb, "colour", "missing", path);
    EXPECT_EQ(rgb.r + rgb.g + rgb.b, 0);
}

TEST_F(IniTest, AnimationRecord) {
    AnimationDefinition a;
    ini_read_animation(a, "anim", "walk", path);
    EXPECT_EQ(a.first_frame, 3);
    EXPECT_EQ(a.last_frame, 8);
    EXPECT_FLOAT_EQ(a.speed, 0.5f);
    EXPECT_TRUE(a.play_once);
    ini_read_animation(a, "anim", "jump", path);
    EXPECT_EQ(a.first_frame, 0);
    EXPECT_FLOAT_EQ(a.speed, 1.0f);
    EXPECT_FALSE(a.play_once);
}

TEST_F(IniTest, NumberedListsTakeTheCountKey) {
    std::vector<std::string> names{"stale"};
    ini_read_string_list(names, "lists", "name", path);
    EXPECT_EQ(names, (std::vector<std::string>{"first", ""}));
    std::vector<int> nums;
    ini_read_int_list(nums, "lists", "num", path);
    EXPECT_EQ(nums, (std::vector<int>{5, 0, 9}));
}

TEST_F(IniTest, NegativeOrHugeListCountsStayBounded) {
    std::vector<int> negs{1, 2};
    ini_read_int_list(negs, "lists", "neg", path);
    EXPECT_TRUE(negs.empty());
    std::vector<std::string> huge;
    ini_read_string_list(huge, "lists", "huge", path);
    EXPECT_EQ(huge.size(), std::size_t(kIniListMax));
}

TEST_F(IniTest, SectionKeysInFileOrder) {
    EXPECT_EQ(ini_read_section_keys("anim", path),
              (std::vector<std::string>{"walkStart", "walkEnd", "walkSpeed", "walkPlayOnce"}));
    EXPECT_TRUE(ini_read_section_keys("nokeys", path).empty());
    EXPECT_TRUE(ini_read_section_keys("absent", path).empty());
}

TEST_F(IniTest, WritersRoundTrip) {
    std::string out = dir.file("sub/out.ini");
    std::filesystem::create_directories(dir.file("sub"));
    EXPECT_TRUE(ini_write_bool("s", "b", true, out) && ini_write_bool("s", "c", false, out) &&
                ini_write_float("s", "f", 0.25f, out) && ini_write_int("s", "i", -42, out) &&
                ini_write_string("s", "t", "hello world", out));
    EXPECT_TRUE(ini_read_bool("s", "b", false, out));
    EXPECT_FALSE(ini_read_bool("s", "c", true, out));
    EXPECT_EQ(ini_read_string("s", "b", "", out), "1");
    EXPECT_EQ(ini_read_string("s", "f", "", out), "0.250000");
    EXPECT_EQ(ini_read_int("s", "i", 0, out), -42);
    EXPECT_EQ(ini_read_string("s", "t", "", out), "hello world");
}

TEST(IniPaths, RelativePathsResolveAgainstTheStartDirectory) {
    const std::string& start = working_directory();
    ASSERT_FALSE(start.empty());
    EXPECT_EQ(start.back(), '/');
    EXPECT_EQ(ini_resolve_path("config\\client.ini"), start + "config\\client.ini");
    EXPECT_EQ(ini_resolve_path("D:\\x.ini"), "D:\\x.ini");
    EXPECT_EQ(ini_resolve_path("/etc/x.ini"), "/etc/x.ini");
    EXPECT_EQ(ini_resolve_path("a"), start + "a");

    // A relative ini file under the start directory, named with the system's separators.
    std::filesystem::create_directories("ini_test_tmp");
    EXPECT_TRUE(ini_write_int("rel", "value", 17, "ini_test_tmp\\Rel.ini"));
    EXPECT_EQ(ini_read_int("rel", "value", 0, "ini_test_tmp\\rel.INI"), 17);
    std::filesystem::remove_all("ini_test_tmp");
}

TEST(SplitString, DropsEmptyPieces) {
    EXPECT_EQ(split_string("a\n\nb\n", "\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(split_string("abc", "\n"), (std::vector<std::string>{"abc"}));
    EXPECT_TRUE(split_string("", "\n").empty());
    EXPECT_EQ(split_string("x--y----z", "--"), (std::vector<std::string>{"x", "y", "z"}));
}

TEST(ParseNumbers, LeadingNumberOrFallback) {
    EXPECT_EQ(parse_int("  42px", -1), 42);
    EXPECT_EQ(parse_int("+7", -1), 7);
    EXPECT_EQ(parse_int("px42", -1), -1);
    EXPECT_FLOAT_EQ(parse_float("-1.5e1z", 0), -15.0f);
    EXPECT_FLOAT_EQ(parse_float("", 3), 3.0f);
}

// A batch writes every file it names and answers false when one of them could not be written.
TEST_F(IniTest, BatchWritesEachFileAndReportsAFailure) {
    const std::string nowhere = dir.file("missing/out.ini");
    IniBatch batch;
    batch.set_int("s", "i", 3, path);
    batch.set_string("s", "t", "x", nowhere);
    batch.set_float("s", "f", 0.5f, path);
    EXPECT_FALSE(batch.commit());
    EXPECT_EQ(ini_read_string("s", "i", "", path) + ini_read_string("s", "f", "", path), "30.500000");
    EXPECT_FALSE(ini_write_int("s", "i", 1, nowhere));
    EXPECT_TRUE(batch.commit());  // nothing left to write
}
