// Checks many URLs against a local server with a pool of urlstat processes,
// as the Check URLs scheduler runs them, and prints URLs per second.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>

#include <cstdio>
#include <functional>

namespace {

const QString kUrlstat = QStringLiteral(ORVEX_BIN_DIR "/urlstat");
const QString kServerScript = QStringLiteral(ORVEX_FIXTURE_SERVER);

struct PoolRun
{
    int checked = 0;
    int answered200 = 0;
    qint64 elapsedMs = 0;
};

PoolRun CheckAll(const QStringList& tokens, int parallel)
{
    PoolRun run;
    QEventLoop loop;
    int next = 0;
    int running = 0;
    QElapsedTimer clock;
    clock.start();

    std::function<void()> startMore;
    const auto done = [&](QProcess* process, bool got200) {
        ++run.checked;
        run.answered200 += got200 ? 1 : 0;
        --running;
        process->deleteLater();
        startMore();
        if (running == 0 && next == tokens.size())
            loop.quit();
    };
    startMore = [&] {
        while (running < parallel && next < tokens.size()) {
            auto* process = new QProcess;
            ++running;
            QObject::connect(process, &QProcess::finished, process,
                             [&, process](int code, QProcess::ExitStatus status) {
                                 done(process, status == QProcess::NormalExit && code == 0 &&
                                                   process->readAllStandardOutput() == "200\n");
                             });
            QObject::connect(process, &QProcess::errorOccurred, process,
                             [&, process](QProcess::ProcessError error) {
                                 if (error == QProcess::FailedToStart)
                                     done(process, false);
                             });
            process->start(kUrlstat, {tokens[next++]});
        }
    };
    startMore();
    if (running > 0)
        loop.exec();
    run.elapsedMs = clock.elapsed();
    return run;
}

void Report(const char* what, const PoolRun& run)
{
    const double seconds = static_cast<double>(run.elapsedMs) / 1000.0;
    std::printf("%-34s %5d URLs in %7.3f s = %8.1f URLs/s (%d answered 200)\n", what, run.checked,
                seconds, seconds > 0 ? run.checked / seconds : 0.0, run.answered200);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    QProcess server;
    server.start(QStringLiteral("python3"), {kServerScript});
    if (!server.waitForReadyRead(10'000) || !server.canReadLine()) {
        std::fprintf(stderr, "fixture server did not start\n");
        return 1;
    }
    const QByteArray first = server.readLine().trimmed();
    if (!first.startsWith("PORT ")) {
        std::fprintf(stderr, "fixture server did not report its port\n");
        return 1;
    }
    const int port = first.mid(5).toInt();
    // The server logs every request; keep its pipe from filling up.
    QObject::connect(&server, &QProcess::readyReadStandardOutput, &server,
                     [&server] { server.readAllStandardOutput(); });

    const auto tokens = [port](int count) {
        QStringList list;
        for (int i = 0; i < count; ++i)
            list << QStringLiteral("0http://127.0.0.1:%1/status/200?n=%2").arg(port).arg(i);
        return list;
    };
    Report("ten checkers at a time:", CheckAll(tokens(1000), 10));
    Report("one checker at a time:", CheckAll(tokens(100), 1));

    server.closeWriteChannel();
    if (!server.waitForFinished(3000))
        server.kill();
    return 0;
}
