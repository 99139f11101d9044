#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "support/test_support.h"

using test_support::ScratchDir;

namespace {

// Sets an environment variable for the scope of a test and puts the old value back.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~EnvGuard() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string write_script(const ScratchDir& dir, const std::string& name, const std::string& body) {
    std::string path = dir.write(name, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
    return path;
}

// Waits until the file exists (the started program renames it into place when done).
bool wait_for_file(const std::string& path, int timeout_ms = 3000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < until) {
        if (std::filesystem::exists(path)) return true;
        platform::sleep_ms(5);
    }
    return false;
}

}  // namespace

TEST(PlatformClock, MonotonicAndSleep) {
    const uint64_t start = platform::monotonic_ms();
    const uint32_t tick = platform::tick_count_ms();
    const uint64_t read = platform::monotonic_ms();
    // The 32-bit tick is the 64-bit clock's low half, wrapping with it.
    EXPECT_LE(uint32_t(tick - uint32_t(start)), uint32_t(read - start));
    platform::sleep_ms(25);
    const uint64_t after = platform::monotonic_ms();
    EXPECT_GE(after, read + 25);
    EXPECT_GE(uint32_t(platform::tick_count_ms() - tick), 25u);
    platform::sleep_ms(0);
    EXPECT_GE(platform::monotonic_ms(), after);
}

TEST(PlatformConsole, NoWaitWithoutTerminal) {
    // Standard input that never delivers a key: a pipe whose other end stays open.
    int key_pipe[2];
    ASSERT_EQ(pipe(key_pipe), 0);
    const int saved = dup(STDIN_FILENO);
    ASSERT_GE(saved, 0);
    dup2(key_pipe[0], STDIN_FILENO);
    EXPECT_TRUE(test_support::ends_within([] { platform::wait_for_key(); }, 10));
    close(key_pipe[1]);  // ends a wait that read the pipe after all
    dup2(saved, STDIN_FILENO);
    for (int fd : {saved, key_pipe[0]}) close(fd);
    platform::hide_console();
}

TEST(PlatformProcess, SplitCommandLine) {
    using V = std::vector<std::string>;
    // As the host menu builds it.
    EXPECT_EQ(platform::split_command_line("4200 2 5 5.000000 2.500000 false true \"VORTELUNE\""),
              (V{"4200", "2", "5", "5.000000", "2.500000", "false", "true", "VORTELUNE"}));
    EXPECT_EQ(platform::split_command_line("1 \"my \\\"best\\\" server\""), (V{"1", "my \"best\" server"}));
    EXPECT_EQ(platform::split_command_line("\"a b\"c d"), (V{"a bc", "d"}));
    // Blanks and tabs separate, repeated ones too; nothing at all gives no argument.
    EXPECT_EQ(platform::split_command_line("  a \t b  "), (V{"a", "b"}));
    EXPECT_EQ(platform::split_command_line(""), V{});
    EXPECT_EQ(platform::split_command_line("   "), V{});
    // An empty group is an empty argument.
    EXPECT_EQ(platform::split_command_line("\"\" x"), (V{"", "x"}));
    // Backslashes are literal unless they come before a quote.
    EXPECT_EQ(platform::split_command_line("a\\b c\\\\d"), (V{"a\\b", "c\\\\d"}));
    EXPECT_EQ(platform::split_command_line("\"x\\\\\" y"), (V{"x\\", "y"}));
    EXPECT_EQ(platform::split_command_line("a\\\\\\\"b"), (V{"a\\\"b"}));
    // A quote doubled inside a group is a literal quote that also ends the group.
    EXPECT_EQ(platform::split_command_line("\"a\"\"b c"), (V{"a\"b", "c"}));
    EXPECT_EQ(platform::split_command_line("\"a\"\"b\" c"), (V{"a\"b c"}));
    // A name ending in a backslash swallows its closing quote, as on the original system.
    EXPECT_EQ(platform::split_command_line("1 \"srv\\\" 2"), (V{"1", "srv\" 2"}));
}

TEST(PlatformProcess, ResolveProgram) {
    EXPECT_EQ(platform::resolve_program("/bin/true"), "/bin/true");
    EXPECT_EQ(platform::resolve_program("\\bin\\true"), "/bin/true");
    EXPECT_FALSE(platform::resolve_program("sh").empty());
    EXPECT_EQ(platform::resolve_program("/no/such/program"), "");
    EXPECT_EQ(platform::resolve_program("no_such_program_4711.exe"), "");
    EXPECT_EQ(platform::resolve_program(""), "");
    // A folder or a file without execute permission is not runnable.
    EXPECT_EQ(platform::resolve_program("/bin"), "");
    // ".exe" names map to our program without extension beside the running executable.
    EXPECT_EQ(platform::resolve_program("platform_tests.exe"), platform::executable_directory() + "/platform_tests");

    ScratchDir dir;
    write_script(dir, "tool", "exit 0\n");
    dir.write("plain", "not executable");
    std::string saved = platform::current_directory();
    ASSERT_TRUE(platform::set_current_directory(dir.path()));
    // Found from the working directory, matching case as the system's file names do.
    EXPECT_EQ(platform::resolve_program("TOOL.EXE"), "./tool");
    EXPECT_EQ(platform::resolve_program("plain.exe"), "");
    platform::set_current_directory(saved);
}

TEST(PlatformProcess, StartProgramDetachedWithArguments) {
    ScratchDir dir;
    // An fd of ours without close-on-exec must not reach the program.
    int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    std::string out = dir.file("out");
    std::string script =
        "{ echo $$; printf '%s|' \"$@\"; echo; readlink /proc/$$/fd/0; "
        "cut -d' ' -f6 /proc/$$/stat; "
        "if [ -e /proc/$$/fd/" +
        std::to_string(leaked) +
        " ]; then echo leak; else echo clean; fi; "
        "} > " +
        out + ".tmp && mv " + out + ".tmp " + out;
    int pid = platform::start_program("/bin/sh", {"-c", script, "sh", "a b", "c\"d", ""});
    close(leaked);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(wait_for_file(out));

    std::istringstream lines(dir.read("out"));
    std::string reported_pid, args, in, session, fds;
    std::getline(lines, reported_pid);
    std::getline(lines, args);
    std::getline(lines, in);
    std::getline(lines, session);
    std::getline(lines, fds);
    EXPECT_EQ(reported_pid, std::to_string(pid));
    EXPECT_EQ(args, "a b|c\"d||");
    EXPECT_EQ(in, "/dev/null");
    EXPECT_NE(session, std::to_string(getsid(0)));
    EXPECT_EQ(fds, "clean");

    // It is not our child, so it cannot be left behind as our zombie.
    errno = 0;
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(PlatformProcess, StartProgramFailures) {
    EXPECT_GT(platform::start_program("/bin/true", {}), 0);
    EXPECT_EQ(platform::start_program("/no/such/program", {}), -1);
    EXPECT_EQ(platform::start_program("no_such_program_4711.exe", {"x"}), -1);
    ScratchDir dir;
    // Executable bit but nothing exec can run: the failure is reported, not a pid.
    std::string bogus = dir.write("bogus",
                                  "\x7f"
                                  "ELF garbage");
    chmod(bogus.c_str(), 0755);
    EXPECT_EQ(platform::start_program(bogus, {}), -1);
}

TEST(PlatformDialogs, InjectedHandlersAnswer) {
    platform::FileDialogRequest seen;
    platform::set_file_dialog_handler([&](const platform::FileDialogRequest& r) {
        seen = r;
        return std::string("/tmp/level.vml");
    });
    platform::FileDialogRequest request;
    request.save = true;
    request.filter = "Level Files (*.vml)|*.vml";
    request.default_extension = "vml";
    request.title = "Save...";
    EXPECT_EQ(platform::file_dialog(request), "/tmp/level.vml");
    EXPECT_TRUE(seen.save);
    EXPECT_EQ(seen.filter, request.filter);
    EXPECT_EQ(seen.title, "Save...");

    platform::MessageBoxRequest box;
    box.caption = "Warning";
    box.text = "Continue?";
    platform::set_message_box_handler([](const platform::MessageBoxRequest& r) {
        return r.text == "Continue?" ? platform::MessageBoxResult::Yes : platform::MessageBoxResult::No;
    });
    EXPECT_EQ(platform::message_box(box), platform::MessageBoxResult::Yes);

    // Empty handlers restore the real dialogs, which without a display cancel.
    platform::set_file_dialog_handler({});
    platform::set_message_box_handler({});
    EnvGuard no_display("DISPLAY", nullptr);
    EXPECT_EQ(platform::file_dialog(request), "");
    EXPECT_EQ(platform::message_box(box), platform::MessageBoxResult::No);
    box.yes_no = false;
    EXPECT_EQ(platform::message_box(box), platform::MessageBoxResult::Cancel);
}

TEST(PlatformDialogs, DialogToolGetsLiteralArguments) {
    ScratchDir dir;
    // A stand-in for zenity: records its arguments, prints the prepared answer, exits with the code.
    write_script(dir, "zenity",
                 "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$FAKE_DIR/args\"\n"
                 "cat \"$FAKE_DIR/answer\"\n"
                 "exit \"$(cat \"$FAKE_DIR/code\")\"\n");
    EnvGuard path("PATH", (dir.path() + ":/usr/bin:/bin").c_str());
    EnvGuard display("DISPLAY", ":4711");
    EnvGuard fake("FAKE_DIR", dir.path().c_str());

    dir.write("answer", "/levels/my level\n");
    dir.write("code", "0");
    platform::FileDialogRequest request;
    request.save = true;
    request.initial_folder = dir.path() + "\\ANI";
    dir.write("ani/keep", "");
    request.filter = "Level Files (*.vml)|*.vml|All|*.a;*.b";
    request.filter_index = 2;
    request.default_extension = ".vml";
    request.title = "Save as... $(touch injected)";
    EXPECT_EQ(platform::file_dialog(request), "/levels/my level.vml");
    EXPECT_EQ(dir.read("args"),
              "--file-selection\n--save\n--confirm-overwrite\n--title=Save as... $(touch injected)\n"
              "--filename=" +
                  dir.path() +
                  "/ani/\n--file-filter=All | *.a *.b\n"
                  "--file-filter=Level Files (*.vml) | *.vml\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("injected")));

    // A chosen name with an extension keeps it; an open dialog adds nothing.
    dir.write("answer", "/levels/a.txt\n");
    EXPECT_EQ(platform::file_dialog(request), "/levels/a.txt");
    dir.write("answer", "/levels/plain\n");
    request.save = false;
    EXPECT_EQ(platform::file_dialog(request), "/levels/plain");
    // Cancelled.
    dir.write("code", "1");
    EXPECT_EQ(platform::file_dialog(request), "");

    platform::MessageBoxRequest box;
    box.caption = "Warning";
    box.text = "Delete <b>this</b>?";
    dir.write("answer", "");
    dir.write("code", "0");
    EXPECT_EQ(platform::message_box(box), platform::MessageBoxResult::Yes);
    EXPECT_EQ(dir.read("args"), "--question\n--no-markup\n--title=Warning\n--text=Delete <b>this</b>?\n");
    dir.write("code", "1");
    EXPECT_EQ(platform::message_box(box), platform::MessageBoxResult::No);
    box.yes_no = false;
    EXPECT_EQ(platform::message_box(box), platform::MessageBoxResult::Ok);
}

TEST(PlatformClipboard, InProcessRoundTrip) {
    platform::clipboard_use_system(false);
    platform::clipboard_set_text("");
    EXPECT_EQ(platform::clipboard_get_text(), "");
    platform::clipboard_set_text("ell");
    EXPECT_EQ(platform::clipboard_get_text(), "ell");
    // The clipboard carries NUL-terminated text.
    platform::clipboard_set_text(std::string("ab\0cd", 5));
    EXPECT_EQ(platform::clipboard_get_text(), "ab");

    // With the system clipboard switched on but no display, the text stays in process.
    EnvGuard no_display("DISPLAY", nullptr);
    platform::clipboard_use_system(true);
    platform::clipboard_set_text("hello");
    EXPECT_EQ(platform::clipboard_get_text(), "hello");
    platform::clipboard_use_system(false);
}

TEST(PlatformClipboard, SelectionToolAndFallback) {
    ScratchDir dir;
    // A stand-in for xclip that keeps the selection in a file.
    write_script(dir, "xclip",
                 "case \"$*\" in\n"
                 "*-i*) cat > \"$FAKE_DIR/clip\" ;;\n"
                 "*-o*) [ -e \"$FAKE_DIR/hang\" ] && exec sleep 120; cat \"$FAKE_DIR/clip\" || exit 1 ;;\n"
                 "esac\n");
    EnvGuard path("PATH", (dir.path() + ":/usr/bin:/bin").c_str());
    EnvGuard display("DISPLAY", ":4711");
    EnvGuard fake("FAKE_DIR", dir.path().c_str());
    platform::clipboard_use_system(true);

    platform::clipboard_set_text("from us");
    EXPECT_EQ(dir.read("clip"), "from us");
    dir.write("clip", "from another program");
    EXPECT_EQ(platform::clipboard_get_text(), "from another program");

    // The tool failing: the text kept in process.
    std::filesystem::remove(dir.file("clip"));
    EXPECT_EQ(platform::clipboard_get_text(), "from us");

    // The tool hanging (a dead X server): given up long before the tool would end.
    dir.write("hang", "");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::clipboard_get_text(), "from us");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));

    platform::clipboard_use_system(false);
}
