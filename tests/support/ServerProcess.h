#pragma once

// A local test server (one of the Python scripts in tests/support) run as a
// child process on 127.0.0.1. It announces its ports first, one line each
// ("PORT 41234"), then may log one line per request it receives; it ends
// when its standard input closes.
#include <QDeadlineTimer>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvex::testfiles {

class ServerProcess
{
public:
    // announced: the names of the port lines the script prints first.
    ServerProcess(const QString& script, const QStringList& args,
                  const QStringList& announced = {QStringLiteral("PORT")})
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("python3"), QStringList{script} + args);
        for (qsizetype i = 0; i < announced.size(); ++i) {
            const std::optional<QString> line = NextLine(10'000);
            if (!line)
                break;
            const qsizetype blank = line->indexOf(QLatin1Char(' '));
            if (blank > 0 && announced.contains(line->left(blank)))
                ports_.insert(line->left(blank), line->mid(blank + 1).toInt());
        }
    }
    ~ServerProcess()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // The announced port of that name; 0 when none came.
    int Port(const QString& name = QStringLiteral("PORT")) const { return ports_.value(name, 0); }

    // The next line the server printed, or nothing after ms milliseconds.
    std::optional<QString> NextLine(int ms)
    {
        QDeadlineTimer deadline(ms);
        while (!process_.canReadLine()) {
            if (deadline.hasExpired() || !process_.waitForReadyRead(deadline.remainingTime()))
                return std::nullopt;
        }
        return QString::fromUtf8(process_.readLine()).trimmed();
    }

private:
    QProcess process_;
    QMap<QString, int> ports_;
};

} // namespace orvex::testfiles
