#pragma once

// A child process that holds a workspace's lock, for the tests of the lock and
// of the commands that respect it. The test program that includes this runs
// as that child when started with ORVEX_TEST_HOLD_LOCK set (see LockHolder).
#include "workspace/InstanceLock.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

namespace orvex::locktest {

namespace fs = std::filesystem;

// --- The child side ------------------------------------------------------------

TEST(LockHolderProcess, HoldsTheLock)
{
    const char* workspace = std::getenv("ORVEX_TEST_HOLD_LOCK");
    if (!workspace)
        GTEST_SKIP() << "runs only as the lock-holding child of the other tests";
    WorkspaceLock lock{fs::path(workspace)};
    const bool held = lock.Acquire(0);
    std::cout << (held ? "LOCK-HELD" : "LOCK-REFUSED") << std::endl;
    if (const char* ms = std::getenv("ORVEX_TEST_HOLD_MS")) {
        QThread::msleep(static_cast<unsigned long>(std::atol(ms)));
        return;
    }
    for (std::string line; std::getline(std::cin, line);) {
    }
}

// --- The parent side ------------------------------------------------------------

// A child process holding a workspace's lock.
class LockHolder
{
public:
    // program: this test program, or a copy of it under another name.
    bool Start(const fs::path& program, const fs::path& workspace,
               std::optional<int> holdMs = std::nullopt)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVEX_TEST_HOLD_LOCK", QString::fromStdString(workspace.string()));
        if (holdMs)
            env.insert("ORVEX_TEST_HOLD_MS", QString::number(*holdMs));
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(QString::fromStdString(program.string()),
                       {"--gtest_filter=LockHolderProcess.HoldsTheLock"});
        if (!process_.waitForStarted(10000))
            return false;
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000) {
            process_.waitForReadyRead(200);
            out += process_.readAllStandardOutput();
            if (out.contains("LOCK-HELD\n"))
                return true;
            if (out.contains("LOCK-REFUSED") || process_.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    qint64 pid() const { return process_.processId(); }
    // Lets the child end normally: it releases the lock.
    void Release()
    {
        process_.closeWriteChannel();
        process_.waitForFinished(10000);
    }
    // Kills the child (SIGKILL): it leaves its lock file behind.
    void Kill()
    {
        process_.kill();
        process_.waitForFinished(10000);
    }
    ~LockHolder()
    {
        if (process_.state() != QProcess::NotRunning)
            Kill();
    }

private:
    QProcess process_;
};

} // namespace orvex::locktest
