#include <gtest/gtest.h>

#include <filesystem>

#include "platform/folders.h"
#include "platform/paths.h"
#include "support/test_support.h"

using test_support::ScratchDir;

namespace {

// Restores the current directory when a test changed it.
class DirectoryGuard {
public:
    DirectoryGuard() : saved_(platform::current_directory()) {}
    ~DirectoryGuard() { platform::set_current_directory(saved_); }

private:
    std::string saved_;
};

}  // namespace

TEST(PlatformPaths, AbsoluteForms) {
    EXPECT_TRUE(platform::is_absolute_path("/usr"));
    EXPECT_TRUE(platform::is_absolute_path("C:\\x"));
    EXPECT_TRUE(platform::is_absolute_path("c:/x"));
    EXPECT_TRUE(platform::is_absolute_path("D:"));
    EXPECT_TRUE(platform::is_absolute_path("\\root"));
    EXPECT_FALSE(platform::is_absolute_path("config\\common.ini"));
    EXPECT_FALSE(platform::is_absolute_path("a"));
    EXPECT_FALSE(platform::is_absolute_path(""));
    EXPECT_FALSE(platform::is_absolute_path("1:x"));
}

TEST(PlatformPaths, SeparatorsAndDriveLetters) {
    EXPECT_EQ(platform::native_path("no_such_dir_x\\sub\\file.ini"), "no_such_dir_x/sub/file.ini");
    // A drive-letter path cannot exist here; it is only carried along.
    EXPECT_EQ(platform::native_path("C:\\Games\\x.ini"), "C:/Games/x.ini");
    EXPECT_EQ(platform::native_path(""), "");
}

TEST(PlatformPaths, CaseInsensitiveFallback) {
    ScratchDir dir;
    dir.write("Config/Sub/Common.ini", "x");
    std::string base = dir.path();

    // Exact spelling stays as it is.
    EXPECT_EQ(platform::native_path(base + "/Config/Sub/Common.ini"), base + "/Config/Sub/Common.ini");
    // Each component is matched on its own, nested ones included, with system separators.
    EXPECT_EQ(platform::native_path(base + "\\config\\SUB\\common.INI"), base + "/Config/Sub/Common.ini");
    // A missing last component keeps its spelling (a file about to be created).
    EXPECT_EQ(platform::native_path(base + "\\CONFIG\\sub\\New.ini"), base + "/Config/Sub/New.ini");
    // Below a missing component nothing can match any more.
    EXPECT_EQ(platform::native_path(base + "/config/Missing/SUB"), base + "/Config/Missing/SUB");
    // A trailing separator survives.
    EXPECT_EQ(platform::native_path(base + "\\config\\"), base + "/Config/");
}

TEST(PlatformPaths, CaseInsensitivePrefersExactAndIsDeterministic) {
    ScratchDir dir;
    dir.write("data/File.txt", "upper");
    dir.write("data/file.txt", "lower");
    dir.write("data/FILE.TXT", "caps");
    std::string base = dir.path();
    EXPECT_EQ(platform::native_path(base + "/data/file.txt"), base + "/data/file.txt");
    // No exact match: the lowest name in byte order wins, whatever the directory order.
    EXPECT_EQ(platform::native_path(base + "/data/fILE.txt"), base + "/data/FILE.TXT");
}

TEST(PlatformPaths, RelativePathsResolveAgainstCurrentDirectory) {
    ScratchDir dir;
    dir.write("Gfx/Dummy.png", "x");
    DirectoryGuard guard;
    ASSERT_TRUE(platform::set_current_directory(dir.path()));
    EXPECT_EQ(platform::native_path("gfx\\dummy.png"), "Gfx/Dummy.png");
    EXPECT_TRUE(platform::file_exists("GFX\\DUMMY.PNG"));
    EXPECT_FALSE(platform::file_exists("gfx\\other.png"));

    std::string cwd = platform::current_directory();
    EXPECT_EQ(cwd, std::filesystem::canonical(dir.path()).string());
    EXPECT_NE(cwd.back(), '/');
    EXPECT_TRUE(platform::set_current_directory("GFX"));
    EXPECT_EQ(platform::current_directory(), cwd + "/Gfx");
    EXPECT_FALSE(platform::set_current_directory("no_such_folder"));
    EXPECT_EQ(platform::current_directory(), cwd + "/Gfx");
}

TEST(PlatformPaths, RelativePath) {
    // From a folder (as the working directory with its trailing separator) to a file below it.
    EXPECT_EQ(platform::relative_path("/work/run\\", "/work/run/ani/fire.vp"), "ani\\fire.vp");
    EXPECT_EQ(platform::relative_path("/work/run", "/work/run/ani/fire.vp"), "ani\\fire.vp");
    // Elsewhere on the same root: parent steps stay.
    EXPECT_EQ(platform::relative_path("/work/run/gfx\\", "/work/other/a.png"), "..\\..\\other\\a.png");
    EXPECT_EQ(platform::relative_path("/a/b", "/a/b"), ".");
    // "." and ".." are resolved before comparing.
    EXPECT_EQ(platform::relative_path("/a/./b/../c", "/a/c/d/e"), "d\\e");
    // Drive letters: same drive works, another drive gives no relative path.
    EXPECT_EQ(platform::relative_path("C:\\Games\\run\\", "c:\\Games\\run\\gfx\\x.png"), "gfx\\x.png");
    EXPECT_EQ(platform::relative_path("C:\\Games", "D:\\x.vp"), "");
    EXPECT_EQ(platform::relative_path("/work", "D:\\x.vp"), "");
}

TEST(PlatformPaths, RelativePathUsesSpellingOnDisk) {
    ScratchDir dir;
    dir.write("Run/Gfx/Tex.png", "x");
    std::string base = dir.path();
    // The system's lower-case folder name still finds the folder, so no detour through "..".
    EXPECT_EQ(platform::relative_path(base + "/run/gfx\\", base + "/Run/Gfx/Tex.png"), "Tex.png");
}

TEST(PlatformPaths, ExecutableDirectory) {
    std::string dir = platform::executable_directory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    EXPECT_TRUE(std::filesystem::exists(dir + "/platform_tests"));
}

TEST(PlatformFolders, ListingIsSortedAndAcceptsPatternForms) {
    ScratchDir dir;
    dir.write("Object/Swamp/b.png", "x");
    dir.write("Object/Swamp/B.png", "x");
    dir.write("Object/Swamp/a.png", "x");
    dir.write("Object/Swamp/_z.txt", "x");
    dir.write("Object/Swamp/Sub/inner.png", "x");
    const std::vector<std::string> expected{"B.png", "Sub", "_z.txt", "a.png", "b.png"};

    std::string base = dir.path();
    EXPECT_EQ(platform::list_folder(base + "\\object\\swamp"), expected);
    EXPECT_EQ(platform::list_folder(base + "\\object\\swamp\\"), expected);
    EXPECT_EQ(platform::list_folder(base + "\\object\\swamp\\*"), expected);
    EXPECT_EQ(platform::list_folder(base + "/Object/Swamp/*"), expected);
    EXPECT_EQ(platform::list_folder(base + "/Object/Swamp/*.*"), expected);
    // Other patterns filter, ignoring case as the system's search does.
    EXPECT_EQ(platform::list_folder(base + "/Object/Swamp/*.PNG"),
              (std::vector<std::string>{"B.png", "a.png", "b.png"}));
    EXPECT_EQ(platform::list_folder(base + "/Object/Swamp/?.png"),
              (std::vector<std::string>{"B.png", "a.png", "b.png"}));

    EXPECT_TRUE(platform::list_folder(base + "/Object/Missing").empty());
    EXPECT_TRUE(platform::list_folder(base + "/Object/Missing/*").empty());
    EXPECT_TRUE(platform::list_folder(base + "/Object/Swamp/a.png").empty());
}

TEST(PlatformFolders, RelativeFolderAndBracketNames) {
    ScratchDir dir;
    dir.write("lvl/[1].vml", "x");
    dir.write("lvl/1.vml", "x");
    DirectoryGuard guard;
    ASSERT_TRUE(platform::set_current_directory(dir.path()));
    EXPECT_EQ(platform::list_folder("LVL"), (std::vector<std::string>{"1.vml", "[1].vml"}));
    // A bracket is a plain character in a pattern, not a set.
    EXPECT_EQ(platform::list_folder("lvl\\[1]*"), (std::vector<std::string>{"[1].vml"}));
    EXPECT_EQ(platform::list_folder("*"), (std::vector<std::string>{"lvl"}));
}
