#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "platform/ini_file.h"
#include "support/test_support.h"

using platform::ini_get_section_keys;
using platform::ini_get_string;
using platform::ini_set_string;
using test_support::ScratchDir;

namespace {

const char* const kSample =
    "; settings\n"
    "[System]\n"
    "Width = 1280 \n"
    "\theight\t=\t720\t\n"
    "name=\"  quoted value  \"\n"
    "single='x'\n"
    "half=\"open\n"
    "mixed=\"a'\n"
    "empty=\n"
    "blanks =   \n"
    "not a key line\n"
    ";commented=1\n"
    "  ; indented=2\n"
    "eq=a=b\n"
    "width=second\n"
    "[ Spaced Section ]\n"
    "k=v\n"
    "[empty section]\n"
    "\n"
    "[system]\n"
    "late=1\n";

}  // namespace

TEST(PlatformIni, LookupRules) {
    ScratchDir dir;
    std::string path = dir.write("sample.ini", kSample);

    // Names ignore case; values lose surrounding blanks and tabs.
    EXPECT_EQ(ini_get_string("system", "WIDTH", "d", path), "1280");
    EXPECT_EQ(ini_get_string("SYSTEM", "Height", "d", path), "720");
    // One pair of matching quotes goes; blanks inside stay.
    EXPECT_EQ(ini_get_string("System", "name", "d", path), "  quoted value  ");
    EXPECT_EQ(ini_get_string("System", "single", "d", path), "x");
    EXPECT_EQ(ini_get_string("System", "half", "d", path), "\"open");
    EXPECT_EQ(ini_get_string("System", "mixed", "d", path), "\"a'");
    // Present but empty is not missing.
    EXPECT_EQ(ini_get_string("System", "empty", "d", path), "");
    EXPECT_EQ(ini_get_string("System", "blanks", "d", path), "");
    EXPECT_EQ(ini_get_string("System", "missing", "d", path), "d");
    // Comments and lines without '=' are no keys; only the first '=' splits.
    EXPECT_EQ(ini_get_string("System", ";commented", "d", path), "d");
    EXPECT_EQ(ini_get_string("System", "commented", "d", path), "d");
    EXPECT_EQ(ini_get_string("System", "indented", "d", path), "d");
    EXPECT_EQ(ini_get_string("System", "not a key line", "d", path), "d");
    EXPECT_EQ(ini_get_string("System", "eq", "d", path), "a=b");
    // The first key and the first section of a name win; a repeated section is not read.
    EXPECT_EQ(ini_get_string("System", "width", "d", path), "1280");
    EXPECT_EQ(ini_get_string("System", "late", "d", path), "d");
    // Section names are trimmed too.
    EXPECT_EQ(ini_get_string("spaced section", "K", "d", path), "v");
    EXPECT_EQ(ini_get_string("empty section", "k", "d", path), "d");
    EXPECT_EQ(ini_get_string("nosection", "k", "d", path), "d");
}

TEST(PlatformIni, MissingFileAndDefaults) {
    ScratchDir dir;
    std::string path = dir.file("absent.ini");
    EXPECT_EQ(ini_get_string("a", "b", "fallback", path), "fallback");
    // The default comes back as the Windows function hands it: without trailing blanks, cut.
    EXPECT_EQ(ini_get_string("a", "b", " pad  \t", path), " pad");
    EXPECT_EQ(ini_get_string("a", "b", std::string(2000, 'q'), path).size(), platform::kIniValueMax);
    EXPECT_TRUE(ini_get_section_keys("a", path).empty());
    // A folder is not a file.
    EXPECT_EQ(ini_get_string("a", "b", "fallback", dir.path()), "fallback");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(PlatformIni, CrlfSystemPathsAndLongValues) {
    ScratchDir dir;
    std::string long_value(1500, 'v');
    long_value[1022] = 'L';
    dir.write("Config/Common.ini",
              "\xEF\xBB\xBF[net]\r\nport=4200\r\nname = \"srv\" \r\nlong=" + long_value + "\r\nlast=end");
    // System string with backslashes and another case than on disk.
    std::string path = dir.path() + "\\config\\common.INI";
    EXPECT_EQ(ini_get_string("net", "port", "d", path), "4200");
    EXPECT_EQ(ini_get_string("net", "name", "d", path), "srv");
    EXPECT_EQ(ini_get_string("net", "last", "d", path), "end");
    std::string got = ini_get_string("net", "long", "d", path);
    ASSERT_EQ(got.size(), 1023u);
    EXPECT_EQ(got.back(), 'L');
    EXPECT_EQ(ini_get_section_keys("NET", path), (std::vector<std::string>{"port", "name", "long", "last"}));
}

TEST(PlatformIni, SectionKeys) {
    ScratchDir dir;
    std::string path = dir.write("sample.ini", kSample);
    EXPECT_EQ(
        ini_get_section_keys("system", path),
        (std::vector<std::string>{"Width", "height", "name", "single", "half", "mixed", "empty", "blanks", "eq"}));
    EXPECT_EQ(ini_get_section_keys("Spaced Section", path), (std::vector<std::string>{"k"}));
    EXPECT_TRUE(ini_get_section_keys("empty section", path).empty());
    EXPECT_TRUE(ini_get_section_keys("nosection", path).empty());
}

TEST(PlatformIni, WriteReplacesOnlyItsLine) {
    ScratchDir dir;
    const std::string before =
        "; keep me\n"
        "[Host]\n"
        "  Name = old name  \n"
        "port=4200\n"
        "\n"
        "[Other]\n"
        "name=untouched\n";
    std::string path = dir.write("config.ini", before);
    ASSERT_TRUE(ini_set_string("host", "NAME", "new", path));
    // The line keeps its spelling of the name and its spacing; nothing else moves.
    EXPECT_EQ(dir.read("config.ini"),
              "; keep me\n"
              "[Host]\n"
              "  Name = new\n"
              "port=4200\n"
              "\n"
              "[Other]\n"
              "name=untouched\n");
    EXPECT_EQ(ini_get_string("Host", "name", "d", path), "new");
    EXPECT_EQ(ini_get_string("Other", "name", "d", path), "untouched");

    ASSERT_TRUE(ini_set_string("Host", "port", "", path));
    EXPECT_EQ(ini_get_string("Host", "port", "d", path), "");
}

TEST(PlatformIni, WriteAppendsKeyAndSection) {
    ScratchDir dir;
    std::string path = dir.write("config.ini",
                                 "[Host]\n"
                                 "port=4200\n"
                                 "; trailing comment\n"
                                 "\n"
                                 "\n"
                                 "[Other]\n"
                                 "a=1");
    // A new key goes after the section's last line, before the blank lines.
    ASSERT_TRUE(ini_set_string("HOST", "lives", "5", path));
    // A new key in the last section, whose last line has no line end.
    ASSERT_TRUE(ini_set_string("other", "b", "2", path));
    ASSERT_TRUE(ini_set_string("New", "x", "y", path));
    EXPECT_EQ(dir.read("config.ini"),
              "[Host]\n"
              "port=4200\n"
              "; trailing comment\n"
              "lives=5\n"
              "\n"
              "\n"
              "[Other]\n"
              "a=1\n"
              "b=2\n"
              "[New]\n"
              "x=y\n");
    // A section that exists twice receives the key in its first occurrence.
    std::string twice = dir.write("twice.ini", "[s]\na=1\n[t]\n[S]\nb=2\n");
    ASSERT_TRUE(ini_set_string("s", "b", "3", twice));
    EXPECT_EQ(dir.read("twice.ini"), "[s]\na=1\nb=3\n[t]\n[S]\nb=2\n");
    EXPECT_EQ(ini_get_string("s", "b", "d", twice), "3");
}

TEST(PlatformIni, WriteCreatesFileAndKeepsCrlf) {
    ScratchDir dir;
    std::string path = dir.file("fresh.ini");
    ASSERT_TRUE(ini_set_string("host", "name", "VORTELUNE", path));
    ASSERT_TRUE(ini_set_string("host", "port", "4200", path));
    EXPECT_EQ(dir.read("fresh.ini"), "[host]\nname=VORTELUNE\nport=4200\n");

    std::string crlf = dir.write("crlf.ini", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n");
    ASSERT_TRUE(ini_set_string("a", "x", "10", crlf));
    ASSERT_TRUE(ini_set_string("a", "z", "3", crlf));
    ASSERT_TRUE(ini_set_string("c", "w", "4", crlf));
    EXPECT_EQ(dir.read("crlf.ini"), "[a]\r\nx=10\r\nz=3\r\n\r\n[b]\r\ny=2\r\n[c]\r\nw=4\r\n");

    // Into a file without a line end at all: it still ends without one.
    std::string bare = dir.write("bare.ini", "[a]");
    ASSERT_TRUE(ini_set_string("a", "k", "v", bare));
    EXPECT_EQ(dir.read("bare.ini"), "[a]\nk=v");

    // A folder that does not exist cannot take the file.
    EXPECT_FALSE(ini_set_string("a", "k", "v", dir.file("missing/dir.ini")));
}

TEST(PlatformIni, WriteRefusesWhatCannotRoundTrip) {
    ScratchDir dir;
    const std::string before = "[a]\nk=1\n";
    std::string path = dir.write("guard.ini", before);
    // A line break in a value would smuggle in keys or sections: only the first line is kept.
    ASSERT_TRUE(ini_set_string("a", "k", "2\n[evil]\nx=1", path));
    EXPECT_EQ(dir.read("guard.ini"), "[a]\nk=2\n");
    EXPECT_TRUE(ini_get_section_keys("evil", path).empty());
    // Names that would read back as something else are refused and the file stays.
    EXPECT_FALSE(ini_set_string("a", "x=y", "1", path));
    EXPECT_FALSE(ini_set_string("a", "", "1", path));
    EXPECT_FALSE(ini_set_string("a", ";c", "1", path));
    EXPECT_FALSE(ini_set_string("a]", "k", "1", path));
    EXPECT_FALSE(ini_set_string("a\nb", "k", "1", path));
    EXPECT_EQ(dir.read("guard.ini"), "[a]\nk=2\n");
}

TEST(PlatformIni, WriteKeepsModeAndFollowsLinks) {
    ScratchDir dir;
    std::string real = dir.write("real.ini", "[a]\nk=1\n");
    chmod(real.c_str(), 0640);
    std::string link = dir.file("link.ini");
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    ASSERT_TRUE(ini_set_string("a", "k", "2", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(dir.read("real.ini"), "[a]\nk=2\n");
    struct stat st;
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 2);
}

TEST(PlatformIni, ConcurrentWritersLoseNothing) {
    ScratchDir dir;
    std::string path = dir.file("threads.ini");
    auto writer = [&](const std::string& prefix) {
        for (int i = 0; i < 40; ++i)
            ASSERT_TRUE(ini_set_string("s", prefix + std::to_string(i), std::to_string(i), path));
    };
    std::thread a(writer, "a"), b(writer, "b");
    a.join();
    b.join();
    EXPECT_EQ(ini_get_section_keys("s", path).size(), 80u);
    EXPECT_EQ(ini_get_string("s", "b39", "d", path), "39");
}

// Reads are served from a parsed copy; a file rewritten in place by someone else, even at the
// same size within one tick of the file clock, is read afresh, and so is a file that goes away.
TEST(PlatformIni, ReadsFollowChangesMadeBehindTheirBack) {
    ScratchDir dir;
    std::string path = dir.write("live.ini", "[s]\nk=1\n");
    for (const char* value : {"2", "3", "4"}) {
        EXPECT_NE(ini_get_string("s", "k", "d", path), value);
        dir.write("live.ini", std::string("[s]\nk=") + value + "\n");
        EXPECT_EQ(ini_get_string("s", "k", "d", path), value);
        EXPECT_EQ(ini_get_section_keys("s", path), std::vector<std::string>{"k"});
    }
    std::filesystem::remove(path);
    EXPECT_EQ(ini_get_string("s", "k", "d", path), "d");
}

// Several keys in one write leave the bytes the same keys written one by one leave; a refused
// name or a file that cannot be written leaves the old file as it was.
TEST(PlatformIni, SeveralKeysInOneWriteAsOneByOne) {
    ScratchDir dir;
    const std::vector<platform::IniEntry> keys = {
        {"level", "seed", "5"}, {"Level", "gen", "-1"}, {"other", "k", "v"}, {"level", "SEED", "6"}};
    for (const char* before : {"", "; c\n[LEVEL]\nseed = 1\n\n[x]\na=1", "[x]\r\na=1\r\n[level]\r\ngen=2\r\n"}) {
        const std::string single = dir.write("single.ini", before), batch = dir.write("batch.ini", before);
        for (const platform::IniEntry& e : keys) ASSERT_TRUE(ini_set_string(e.section, e.key, e.value, single));
        ASSERT_TRUE(platform::ini_set_strings(keys, batch));
        EXPECT_EQ(dir.read("batch.ini"), dir.read("single.ini")) << before;
    }
    std::vector<platform::IniEntry> refused = keys;
    refused.push_back({"level", "a=b", "1"});
    EXPECT_FALSE(platform::ini_set_strings(refused, dir.write("guard.ini", "[level]\nseed=1\n")));
    EXPECT_EQ(dir.read("guard.ini"), "[level]\nseed=1\n");

    // A file-size limit stands in for a full disk: the temporary copy cannot be written whole.
    const std::string kept = dir.write("kept.ini", "[level]\nseed=1\n");
    test_support::with_file_size_limit(20, [&] { EXPECT_FALSE(platform::ini_set_strings(keys, kept)); });
    EXPECT_EQ(dir.read("kept.ini"), "[level]\nseed=1\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 4);
}
