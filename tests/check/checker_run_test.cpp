// Running checker processes: reading the status they print, what counts as no
// status, the time limit and cutting a check off (the checker gets SIGTERM),
// and ten slots at once. Small shell scripts stand in for the checker.

#include "check/CheckerRun.h"
#include "check/ProcessCheckLauncher.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

using namespace orvex;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class CheckerRunTest : public ::testing::Test
{
protected:
    // A checker script; "$MARK" names a file it may write into.
    std::string Script(const std::string& name, const std::string& body)
    {
        const fs::path file = Dir() / name;
        std::ofstream(file) << "#!/bin/sh\nMARK='" << Mark(name).string() << "'\n" << body << "\n";
        fs::permissions(file, fs::perms::owner_all);
        return file.string();
    }
    fs::path Mark(const std::string& name) { return Dir() / (name + ".mark"); }
    fs::path Dir() const { return dir_.path().toStdString(); }

    // Waits (bounded) for a file to appear; no duration is asserted.
    static bool Appears(const fs::path& file)
    {
        for (int i = 0; i < 500 && !fs::exists(file); ++i)
            std::this_thread::sleep_for(10ms);
        return fs::exists(file);
    }
    static std::string Read(const fs::path& file)
    {
        std::ifstream in(file);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Sleeps until terminated; tells when it is ready and records the SIGTERM.
    const std::string kSleeper = "trap 'echo term > \"$MARK\"; kill $! 2>/dev/null; exit 0' TERM\n"
                                 "sleep 60 &\ntouch \"$MARK.ready\"\nwait";
    fs::path Ready(const std::string& name) { return Dir() / (name + ".mark.ready"); }

private:
    QTemporaryDir dir_;
};

TEST(CheckerOutput, OnlyAPositiveDecimalIsAStatus)
{
    const std::pair<std::string, int> cases[] = {
        {"200\n", 200}, {" 302 \r\n", 302},     {"", 0}, {"abc\n", 0}, {"-5\n", 0},
        {"0\n", 0},     {"404 Not Found\n", 0},
    };
    for (const auto& [output, code] : cases)
        EXPECT_EQ(ParseCheckerOutput(output), code) << output;
}

TEST_F(CheckerRunTest, StatusComesFromOutputAndExitStatus)
{
    const std::pair<std::string, int> cases[] = {
        {"echo 404", 404},       {"printf 301", 301},         {"exit 3", 0}, // no status
        {"echo 200; exit 1", 0}, // a status with a failing exit does not count
        {"echo hello", 0},       {"echo 500 >&2; exit 0", 0}, // only standard output carries the
                                                              // status
    };
    int n = 0;
    for (const auto& [body, code] : cases) {
        const std::string script = Script("c" + std::to_string(n++), body);
        EXPECT_EQ(RunChecker({script}, 10s, -1), code) << body;
    }
    EXPECT_EQ(RunChecker({(Dir() / "missing").string()}, 10s, -1), 0);
}

TEST_F(CheckerRunTest, ArgumentsArePassedAsGiven)
{
    const std::string script = Script("args", "printf '%s|' \"$@\" > \"$MARK\"; echo 200");
    unsetenv("ORVEX_TEST_CHECK_TIMEOUT");
    ProcessCheckLauncher launcher(script, ProcessCheckLauncher::CheckerArguments("/w s/orx.ini"));
    ASSERT_TRUE(launcher.Start(0, "1u:p w@http://a.test/?q=1&r"));
    for (int i = 0; i < 500 && launcher.Running(0); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(launcher.Running(0));
    EXPECT_EQ(launcher.ExitCode(0), 200);
    EXPECT_EQ(Read(Mark("args")), "--settings|/w s/orx.ini|1u:p w@http://a.test/?q=1&r|");

    setenv("ORVEX_TEST_CHECK_TIMEOUT", "2.5", 1);
    EXPECT_EQ(ProcessCheckLauncher::CheckerArguments("orx.ini"),
              (std::vector<std::string>{"--settings", "orx.ini", "--timeout", "2.5"}));
    unsetenv("ORVEX_TEST_CHECK_TIMEOUT");
}

TEST_F(CheckerRunTest, OverrunningCheckerIsTerminatedAndYieldsZero)
{
    const std::string script = Script("slow", "echo 200\n" + kSleeper);
    EXPECT_EQ(RunChecker({script}, 1s, -1), 0);
    ASSERT_TRUE(Appears(Mark("slow")));
    EXPECT_EQ(Read(Mark("slow")), "term\n");
}

TEST_F(CheckerRunTest, CheckerIgnoringSigtermIsKilled)
{
    const std::string script = Script("stubborn", "trap '' TERM\nwhile :; do sleep 1; done");
    EXPECT_EQ(RunChecker({script}, 100ms, -1), 0); // returns at all: it was killed
}

TEST_F(CheckerRunTest, CutOffFreesTheSlotAtOnceAndEndsTheChecker)
{
    const std::string sleeper = Script("sleeper", kSleeper);
    ProcessCheckLauncher launcher(sleeper, {});
    ASSERT_TRUE(launcher.Start(3, "0http://a.test/"));
    EXPECT_TRUE(launcher.Running(3));
    ASSERT_TRUE(Appears(Ready("sleeper")));
    EXPECT_FALSE(launcher.Running(4));
    launcher.CutOff(3);
    EXPECT_FALSE(launcher.Running(3));
    EXPECT_EQ(launcher.ExitCode(3), 0);
    ASSERT_TRUE(Appears(Mark("sleeper")));

    // Checks still running when the launcher goes are ended too.
    {
        ProcessCheckLauncher other(sleeper, {});
        fs::remove(Mark("sleeper"));
        fs::remove(Ready("sleeper"));
        ASSERT_TRUE(other.Start(0, "0http://b.test/"));
        ASSERT_TRUE(Appears(Ready("sleeper")));
    }
    EXPECT_TRUE(fs::exists(Mark("sleeper")));
}

TEST_F(CheckerRunTest, TenSlotsRunAtOnce)
{
    // Each check prints the number at the end of its URL; all wait for a common go.
    const fs::path go = Dir() / "go";
    const std::string script = Script("ten", "while [ ! -e '" + go.string() +
                                                 "' ]; do sleep 0.05; done\n"
                                                 "echo \"${1##*/}\"");
    ProcessCheckLauncher launcher(script, {});
    for (int slot = 0; slot < 10; ++slot)
        ASSERT_TRUE(launcher.Start(slot, "0http://a.test/" + std::to_string(200 + slot)));
    for (int slot = 0; slot < 10; ++slot)
        EXPECT_TRUE(launcher.Running(slot)) << slot;
    std::ofstream(go.string()) << "go";
    for (int slot = 0; slot < 10; ++slot) {
        for (int i = 0; i < 1000 && launcher.Running(slot); ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(launcher.ExitCode(slot), 200 + slot) << slot;
    }
}

} // namespace
