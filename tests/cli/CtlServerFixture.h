#pragma once

// End-to-end fixture for orvexctl commands that reach the network: a local
// server on 127.0.0.1 (one of the scripts in tests/support) started for each
// test, a fresh workspace with project P, and helpers to run orvexctl in it.

#include "support/ServerProcess.h"
#include "support/TestFiles.h"
#include "workspace/RecordLayout.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace orvex::testfiles {

inline const QString kOrvexctl = QStringLiteral(ORVEX_BIN_DIR "/orvexctl");

class CtlServerTest : public ::testing::Test
{
protected:
    // The server script (in tests/support) and its arguments.
    explicit CtlServerTest(QString serverScript, QStringList serverArgs = {})
        : serverScript_(std::move(serverScript)), serverArgs_(std::move(serverArgs))
    {
    }

    void SetUp() override
    {
        server_ = std::make_unique<ServerProcess>(
            QStringLiteral(ORVEX_TEST_SUPPORT "/") + serverScript_, serverArgs_);
        port_ = server_->Port();
        ASSERT_GT(port_, 0) << "the server did not announce its port";
        std::filesystem::create_directories(ws());
        env_ = QProcessEnvironment::systemEnvironment();
        ASSERT_EQ(Run({"project", "new", "P"}).code, 0);
    }
    void TearDown() override { server_.reset(); }

    struct Result
    {
        int code = -1;
        std::string out;
        std::string err;
    };

    void StartCtl(QProcess& process, const QStringList& args)
    {
        process.setProcessEnvironment(env_);
        process.start(kOrvexctl,
                      QStringList{"--workspace", QString::fromStdString(ws().string())} + args);
        ASSERT_TRUE(process.waitForStarted(10000));
        process.closeWriteChannel();
    }
    static Result Finish(QProcess& process)
    {
        Result r;
        if (!process.waitForFinished(180000)) {
            process.kill();
            process.waitForFinished();
        }
        r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        r.out = process.readAllStandardOutput().toStdString();
        r.err = process.readAllStandardError().toStdString();
        return r;
    }
    Result Run(const QStringList& args)
    {
        QProcess process;
        StartCtl(process, args);
        return Finish(process);
    }

    std::string Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    // Adds the URLs to project P; returns their Ids in order.
    std::vector<std::string> AddUrls(const std::vector<std::string>& urls)
    {
        QStringList args{"url", "add", "P"};
        for (const std::string& url : urls)
            args << QString::fromStdString(url);
        const Result r = Run(args);
        EXPECT_EQ(r.code, 0) << r.err;
        std::vector<std::string> ids;
        std::istringstream in(r.out);
        for (std::string id; std::getline(in, id);)
            ids.push_back(id);
        return ids;
    }
    std::filesystem::path Folder() const { return ws() / "Projects" / "00000000"; }
    RecordList Records() const { return LoadList(Folder() / "urls.dat"); }
    // Id -> the text of column (0-based) of the url list line.
    std::map<std::string, std::string> Listed(int column)
    {
        std::map<std::string, std::string> values;
        std::istringstream in(Run({"url", "list", "P"}).out);
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> fields;
            std::istringstream cells(line);
            for (std::string cell; std::getline(cells, cell, '\t');)
                fields.push_back(cell);
            if (fields.size() > static_cast<std::size_t>(column))
                values[fields[0]] = fields[column];
        }
        return values;
    }
    // Waits for the server to log a request line ending in this text.
    bool ServerSaw(const std::string& target)
    {
        const QString ending = QString::fromStdString(target);
        while (const std::optional<QString> line = server_->NextLine(30000)) {
            if (line->endsWith(ending))
                return true;
        }
        return false;
    }
    std::filesystem::path ws() const
    {
        return std::filesystem::path(dir_.path().toStdString()) / "ws";
    }

    QTemporaryDir dir_;
    std::unique_ptr<ServerProcess> server_;
    int port_ = 0;
    QProcessEnvironment env_;

private:
    QString serverScript_;
    QStringList serverArgs_;
};

} // namespace orvex::testfiles
