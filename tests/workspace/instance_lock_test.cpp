// The workspace lock (who may change a workspace) and the desktop program's
// single-instance lock.
//
// Another holder is a real child process: this test program started again
// with ORVEX_TEST_HOLD_LOCK set runs only LockHolderProcess.HoldsTheLock, which
// takes the lock and keeps it until its standard input closes (or for
// ORVEX_TEST_HOLD_MS milliseconds). QLockFile records the holder's executable
// name (not QCoreApplication::applicationName), so the desktop program is
// stood in for by a copy of this program named "orvex".
#include "support/LockHolder.h"
#include "workspace/InstanceLock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace orvex {
namespace {

using orvex::locktest::LockHolder;

class InstanceLockTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    fs::path workspace() const { return fs::path(dir_.path().toStdString()); }

    // This test program...
    static fs::path Self() { return QCoreApplication::applicationFilePath().toStdString(); }
    // ...and a copy of it named like the desktop program.
    fs::path DesktopStandIn()
    {
        const fs::path folder = fs::path(bin_.path().toStdString()) / "program-folder";
        const fs::path copy = folder / "orvex";
        if (!fs::exists(copy)) {
            fs::create_directories(folder);
            fs::copy_file(Self(), copy);
        }
        return copy;
    }

    QTemporaryDir dir_;
    QTemporaryDir bin_;
};

TEST_F(InstanceLockTest, TheLockIsOrvexLockInTheWorkspace)
{
    EXPECT_EQ(WorkspaceLock::LockPath(workspace()), workspace() / "orvex.lock");
    {
        WorkspaceLock lock(workspace());
        EXPECT_FALSE(lock.held());
        ASSERT_TRUE(lock.Acquire(0));
        EXPECT_TRUE(lock.held());
        EXPECT_TRUE(fs::exists(workspace() / "orvex.lock"));
    }
    // Released with the object.
    EXPECT_FALSE(fs::exists(workspace() / "orvex.lock"));
}

TEST_F(InstanceLockTest, ASecondLockCannotBeTakenWhileOneIsHeld)
{
    auto first = std::make_unique<WorkspaceLock>(workspace());
    ASSERT_TRUE(first->Acquire(0));

    WorkspaceLock second(workspace());
    EXPECT_FALSE(second.Acquire(0));
    EXPECT_FALSE(second.held());
    EXPECT_NE(second.holderMessage().find("busy with another command"), std::string::npos)
        << second.holderMessage();
    EXPECT_NE(second.holderMessage().find(std::to_string(getpid())), std::string::npos)
        << second.holderMessage();

    first.reset();
    EXPECT_TRUE(second.Acquire(0));
}

TEST_F(InstanceLockTest, AnotherProcessHoldingItIsRefusedAndNamed)
{
    LockHolder holder;
    ASSERT_TRUE(holder.Start(Self(), workspace()));
    WorkspaceLock lock(workspace());
    EXPECT_FALSE(lock.Acquire(0));
    EXPECT_NE(lock.holderMessage().find("busy with another command"), std::string::npos)
        << lock.holderMessage();
    EXPECT_NE(lock.holderMessage().find("process " + std::to_string(holder.pid())),
              std::string::npos)
        << lock.holderMessage();
    holder.Release();
    EXPECT_TRUE(lock.Acquire(0));
}

TEST_F(InstanceLockTest, AChangingCommandWaitsForAnotherCommand)
{
    LockHolder holder;
    ASSERT_TRUE(holder.Start(Self(), workspace(), 700));
    WorkspaceLock lock(workspace());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(lock.Acquire(15000)) << lock.holderMessage();
    EXPECT_LT(timer.elapsed(), 14000);
}

TEST_F(InstanceLockTest, TheDesktopProgramHoldingItIsRefusedAtOnce)
{
    LockHolder desktop;
    ASSERT_TRUE(desktop.Start(DesktopStandIn(), workspace()));
    WorkspaceLock lock(workspace());
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(lock.Acquire(10000));
    EXPECT_LT(timer.elapsed(), 3000) << "waited although the desktop program holds it";
    EXPECT_NE(lock.holderMessage().find("open in Orvex"), std::string::npos)
        << lock.holderMessage();
    EXPECT_NE(lock.holderMessage().find(std::to_string(desktop.pid())), std::string::npos)
        << lock.holderMessage();

    desktop.Release();
    EXPECT_TRUE(lock.Acquire(0)) << lock.holderMessage();
}

TEST_F(InstanceLockTest, ALockLeftByADeadDesktopProgramIsTakenOver)
{
    LockHolder desktop;
    ASSERT_TRUE(desktop.Start(DesktopStandIn(), workspace()));
    desktop.Kill();
    // The file is left behind, naming a process that no longer runs.
    ASSERT_TRUE(fs::exists(workspace() / "orvex.lock"));
    WorkspaceLock lock(workspace());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(lock.Acquire(0)) << lock.holderMessage();
    EXPECT_LT(timer.elapsed(), 3000);
}

TEST_F(InstanceLockTest, ALockLeftByADeadCommandIsTakenOver)
{
    LockHolder holder;
    ASSERT_TRUE(holder.Start(Self(), workspace()));
    holder.Kill();
    ASSERT_TRUE(fs::exists(workspace() / "orvex.lock"));
    WorkspaceLock lock(workspace());
    EXPECT_TRUE(lock.Acquire(0)) << lock.holderMessage();
}

TEST_F(InstanceLockTest, AWorkspaceThatCannotBeWrittenIsSaidSo)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root";
    fs::permissions(workspace(), fs::perms::owner_read | fs::perms::owner_exec);
    WorkspaceLock lock(workspace());
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(lock.Acquire(5000));
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_NE(lock.holderMessage().find("cannot be written"), std::string::npos)
        << lock.holderMessage();
    fs::permissions(workspace(), fs::perms::owner_all);
}

// --- SingleInstance -------------------------------------------------------------

TEST_F(InstanceLockTest, OnlyOneDesktopInstance)
{
    // In a runtime folder of its own, never the user's.
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", dir_.path().toLocal8Bit().constData(), 1);

    EXPECT_EQ(SingleInstance::LockPath(), workspace() / "orvex-desktop.lock");
    {
        SingleInstance first;
        ASSERT_TRUE(first.Acquire());
        SingleInstance second;
        EXPECT_FALSE(second.Acquire());
    }
    SingleInstance again;
    EXPECT_TRUE(again.Acquire());

    if (saved)
        setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

} // namespace
} // namespace orvex
