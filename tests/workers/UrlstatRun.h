#pragma once

// Helpers of the urlstat end-to-end tests: the fixture server run as a child
// process, and urlstat itself run as the scheduler runs it.
#include "support/ServerProcess.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>

// Readable failure messages for the Qt text types (found by argument lookup).
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{';
    for (const QString& text : list)
        *out << " \"" << text.toStdString() << '"';
    *out << " }";
}

namespace orvex::urlstattest {

inline const QString kUrlstat = QStringLiteral(ORVEX_BIN_DIR "/urlstat");
inline const QString kServerScript = QStringLiteral(ORVEX_TEST_SUPPORT "/http_fixture_server.py");

// tests/support/http_fixture_server.py on 127.0.0.1; it logs one line per
// request it receives, read here in order.
class FixtureServer
{
public:
    explicit FixtureServer(const QStringList& args = {}) : server_(kServerScript, args) {}

    int port() const { return server_.Port(); }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
    }

    // The next logged request, or nothing after `ms` milliseconds.
    std::optional<QString> nextLine(int ms) { return server_.NextLine(ms); }

    // Every request logged since the last call: a marker request sent here
    // is logged after all of them, as each checker has ended before.
    QStringList takeRequests()
    {
        const QString mark = QStringLiteral("/mark-%1").arg(++marks_);
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port()));
        EXPECT_TRUE(socket.waitForConnected(5000));
        socket.write("GET " + mark.toUtf8() + " HTTP/1.0\r\nHost: mark\r\n\r\n");
        socket.waitForBytesWritten(5000);
        QStringList lines;
        while (const std::optional<QString> line = nextLine(10'000)) {
            if (line->startsWith(QLatin1String("GET ") + mark))
                return lines;
            lines << *line;
        }
        ADD_FAILURE() << "marker request never logged";
        return lines;
    }

private:
    testfiles::ServerProcess server_;
    int marks_ = 0;
};

struct UrlstatRun
{
    bool finished = false;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    int exitCode = -1;
    QString out;
};

inline UrlstatRun
RunUrlstat(const QStringList& args,
           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
           const QString& program = kUrlstat)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, args);
    UrlstatRun run;
    run.finished = process.waitForFinished(40'000);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(3000);
    }
    run.exitStatus = process.exitStatus();
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

// What the scheduler sees: the printed status, or nothing with a non-zero exit.
inline void ExpectStatus(const UrlstatRun& run, std::optional<int> status)
{
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.exitStatus, QProcess::NormalExit);
    if (status) {
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, QString::number(*status) + QLatin1Char('\n'));
    } else {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, QString());
    }
}

} // namespace orvex::urlstattest
