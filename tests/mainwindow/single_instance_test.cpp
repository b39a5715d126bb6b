// Two real orvex processes: the second ends at once, the first runs on.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(SingleInstance, SecondInstanceExitsAndLeavesTheFirstRunning)
{
    QTemporaryDir runtime;
    QTemporaryDir programFolder; // the workspace lives beside the program
    const QString program = programFolder.path() + "/orvex";
    ASSERT_TRUE(QFile::copy(ORVEX_BIN_DIR "/orvex", program));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    // It holds its lock once it runs.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime.path() + "/orvex-desktop.lock"), 10000);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(program, {});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(10000)) {
        first.kill();
        first.waitForFinished();
    }
}

} // namespace
