#pragma once

// Helpers of the capture worker's end-to-end tests: the page fixture server
// as a child process, the shared browser host, and oxupdate itself run the
// way the coordinator runs it (block created first, job over the socket,
// marker awaited).
#include "update/AbstractSocket.h"
#include "ChromiumProcess.h"

#include "update/ResultBlock.h"
#include "update/SharedBlock.h"
#include "update/UpdateProtocol.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include "support/ServerProcess.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <unistd.h>

namespace orvex::oxupdatetest {

inline const QString kWorker = QStringLiteral(ORVEX_BIN_DIR "/oxupdate");
inline const QString kPageServer = QStringLiteral(ORVEX_TEST_SUPPORT "/page_fixture_server.py");

// tests/support/page_fixture_server.py on 127.0.0.1.
class PageServer
{
public:
    explicit PageServer(const QStringList& args = {})
        : server_(kPageServer, args, {QStringLiteral("PORT"), QStringLiteral("BARE")})
    {
    }

    bool ok() const { return port() > 0 && server_.Port(QStringLiteral("BARE")) > 0; }
    int port() const { return server_.Port(); }
    std::string Url(const char* path) const { return UrlOn(port(), path); }
    // The same pages on the port that has no /favicon.ico.
    std::string BareUrl(const char* path) const
    {
        return UrlOn(server_.Port(QStringLiteral("BARE")), path);
    }
    static std::string UrlOn(int port, const char* path)
    {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }

    // The next logged request (servers started with --log), or nothing
    // after ms milliseconds.
    std::optional<QString> NextLine(int ms) { return server_.NextLine(ms); }
    // Waits until a logged request starts with prefix.
    bool WaitForRequest(const QString& prefix, int ms)
    {
        QDeadlineTimer deadline(ms);
        while (const std::optional<QString> line = NextLine(deadline.remainingTime()))
            if (line->startsWith(prefix))
                return true;
        return false;
    }

private:
    testfiles::ServerProcess server_;
};

// A project folder with its three subfolders.
class ProjectFolder
{
public:
    ProjectFolder()
    {
        for (const char* sub : {"Icon", "Screenshot", "Data"})
            QDir(dir_.path()).mkdir(QString::fromLatin1(sub));
    }
    std::string path() const { return dir_.path().toStdString(); }
    std::string File(const char* sub, const std::string& name) const
    {
        return path() + "/" + sub + "/" + name;
    }
    // Every file below the folder, as paths relative to it.
    QStringList Files() const
    {
        QStringList files;
        for (const char* sub : {"Icon", "Screenshot", "Data"})
            for (const QString& name :
                 QDir(dir_.filePath(QString::fromLatin1(sub))).entryList(QDir::Files | QDir::Hidden))
                files << QString::fromLatin1(sub) + QLatin1Char('/') + name;
        return files;
    }

private:
    QTemporaryDir dir_;
};

// `oxupdate ox<slot>` run as the coordinator runs it.
class WorkerRun
{
public:
    // The worker's browser keeps its scratch folders in a folder of this
    // run's own, so what it leaves behind can be looked for.
    explicit WorkerRun(int slot, const QProcessEnvironment& extra = {}) : slot_(slot)
    {
        block_ = SharedBlock::Create(UpdateBlockName(::getuid(), slot));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("ORVEX_BROWSER_SOCKET"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch_.path());
        // No settings file unless a test gives one: no proxy.
        env.insert(QStringLiteral("ORVEX_SETTINGS"), scratch_.filePath(QStringLiteral("none.ini")));
        for (const QString& key : extra.keys())
            env.insert(key, extra.value(key));
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
    }
    ~WorkerRun()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Starts the worker and connects to its socket: every 50 ms for 3 s
    // once the process runs, as the coordinator does.
    bool Start()
    {
        if (!block_.valid())
            return false;
        process_.start(kWorker, {QString::fromStdString(UpdateWorkerArgument(slot_))});
        if (!process_.waitForStarted(10'000))
            return false;
        std::string error;
        fd_ = ConnectAbstractSocket(UpdateSocketName(::getuid(), slot_), 3000, error);
        return fd_ >= 0;
    }
    bool Send(const UpdateMessage& message)
    {
        const std::string frame = EncodeFrame(message);
        return ::write(fd_, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
    }
    bool SendJob(const UpdateJob& job) { return Send(JobMessage(job)); }
    bool SendStop() { return Send(StopMessage()); }
    void Terminate() { process_.terminate(); }

    // Waits for the worker to end (a bound against hanging, not a measure).
    bool Finished(int ms = 120'000) { return process_.waitForFinished(ms); }
    int exitCode() const { return process_.exitCode(); }
    bool crashed() const { return process_.exitStatus() != QProcess::NormalExit; }

    bool HasMarker() const { return HasBlockMarker(block_.data()); }
    ResultBlock Fields() const { return ParseBlockText(ReadBlockText(block_.data())); }

    // Browser processes of this run that are still alive, after giving them
    // a moment to go.
    std::size_t LeftoverBrowsers() const
    {
        const std::string mark = scratch_.path().toStdString();
        for (int i = 0; i < 40; ++i) {
            if (oxupdate::ProcessesMentioning(mark).empty())
                return 0;
            QThread::msleep(100);
        }
        return oxupdate::ProcessesMentioning(mark).size();
    }

private:
    int slot_;
    SharedBlock block_;
    QTemporaryDir scratch_;
    QProcess process_;
    int fd_ = -1;
};

// `oxupdate --browser-host NAME`, as the coordinator keeps it for a run.
class HostRun
{
public:
    explicit HostRun(const std::string& name) : name_(name)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch_.path());
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(kWorker, {QStringLiteral("--browser-host"), QString::fromStdString(name)});
        std::string error;
        if (process_.waitForStarted(10'000)) {
            const int fd = ConnectAbstractSocket(name, 10'000, error);
            ready_ = fd >= 0;
            if (fd >= 0)
                ::close(fd);
        }
    }
    ~HostRun()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    bool ready() const { return ready_; }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    QTemporaryDir scratch_;
    QProcess process_;
    bool ready_ = false;
};

} // namespace orvex::oxupdatetest
