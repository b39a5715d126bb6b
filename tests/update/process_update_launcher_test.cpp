// The process launcher's own rules: one run at a time per user, blank blocks,
// and a worker that cannot be started counts as ended at once.
#include "update/ProcessUpdateLauncher.h"
#include "update/ResultBlock.h"

#include <gtest/gtest.h>

#include <QThread>

#include <string>

namespace orvex {
namespace {

TEST(ProcessUpdateLauncherTest, OneRunAtATime)
{
    ProcessUpdateLauncher first("/nonexistent/oxupdate", "/nonexistent/orx.ini");
    ProcessUpdateLauncher second("/nonexistent/oxupdate", "/nonexistent/orx.ini");
    ASSERT_TRUE(first.CreateBlocks()) << first.error();
    EXPECT_EQ(std::string(first.Block(9), kResultBlockSize), std::string(kResultBlockSize, ' '));
    EXPECT_FALSE(second.CreateBlocks()) << "the blocks of a running update would be taken over";
    EXPECT_EQ(second.error(), "Another update is running.");
    first.ReleaseBlocks();
    EXPECT_TRUE(second.CreateBlocks()) << second.error();
    second.ReleaseBlocks();
}

TEST(ProcessUpdateLauncherTest, WorkerThatCannotStartHasEnded)
{
    ProcessUpdateLauncher launcher("/nonexistent/oxupdate", "/nonexistent/orx.ini");
    ASSERT_TRUE(launcher.CreateBlocks());
    EXPECT_TRUE(launcher.WorkerEnded(3)) << "no worker was asked for";
    launcher.StartWorker(3, "job");
    for (int i = 0; i < 200 && !launcher.WorkerEnded(3); ++i)
        QThread::msleep(10);
    EXPECT_TRUE(launcher.WorkerEnded(3));
    EXPECT_EQ(launcher.WorkerPid(3), 0);
    launcher.SendStop(3); // nothing to stop: no harm done
    launcher.EndRun();
    launcher.ReleaseBlocks();
}

} // namespace
} // namespace orvex
