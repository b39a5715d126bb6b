// orvexctl update end to end: the real coordinator, update workers and shared
// headless browser against pages served on 127.0.0.1
// (tests/support/page_fixture_server.py). What the records, the captured
// files and the review pages hold afterwards, Ctrl-C, a worker killed
// mid-job and one that never answers; and that nothing is left running.

#include "cli/CtlServerFixture.h"
#include "support/ProcessScan.h"
#include "support/TestFiles.h"
#include "workspace/RecordLayout.h"

#include <QUuid>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace orvex;
using namespace orvex::testfiles;

namespace {

// Width and height from a PNG's header; 0 x 0 when it is not one.
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& bytes)
{
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
        return {0, 0};
    const auto word = [&](std::size_t at) {
        return (std::uint32_t(std::uint8_t(bytes[at])) << 24) |
               (std::uint32_t(std::uint8_t(bytes[at + 1])) << 16) |
               (std::uint32_t(std::uint8_t(bytes[at + 2])) << 8) | std::uint8_t(bytes[at + 3]);
    };
    return {word(16), word(20)};
}

std::string Trimmed(const std::string& line, int field)
{
    return std::string(TrimView(GetUrlField(line, field)));
}

class UpdateCommandTest : public CtlServerTest
{
protected:
    UpdateCommandTest()
        : CtlServerTest(QStringLiteral("page_fixture_server.py"), {QStringLiteral("--log")})
    {
    }
    void SetUp() override
    {
        CtlServerTest::SetUp();
        // Everything the run starts inherits the mark, so what survives it can be found.
        mark_ = "ORVEX_TEST_MARK=" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUtf8();
        env_.insert(QString::fromUtf8(mark_.left(mark_.indexOf('='))),
                    QString::fromUtf8(mark_.mid(mark_.indexOf('=') + 1)));
        env_.insert(QStringLiteral("ORVEX_LOAD_SECONDS"), QStringLiteral("3"));
    }
    void TearDown() override
    {
        const std::vector<pid_t> left = ProcessesLeft(mark_);
        EXPECT_TRUE(left.empty()) << left.size() << " processes of the run are still there";
        for (pid_t pid : left)
            kill(pid, SIGKILL);
        CtlServerTest::TearDown();
    }
    // The running worker of slot 0 (its command line ends in "ox0"), or 0.
    pid_t WorkerOfSlotZero() const
    {
        for (pid_t pid : ProcessesWithEnvironment(mark_)) {
            const std::string cmdline = ReadBytes("/proc/" + std::to_string(pid) + "/cmdline");
            if (cmdline.size() >= 4 && cmdline.compare(cmdline.size() - 4, 4, "ox0\0"s) == 0)
                return pid;
        }
        return 0;
    }

    QByteArray mark_;
};

TEST_F(UpdateCommandTest, CapturesEveryUrlWithItsFiles)
{
    const std::vector<std::string> ids =
        AddUrls({Url("/basic"), Url("/long"), Url("/redirect/302/1"), Url("/redirect/301/1"),
                 Url("/missing")});
    ASSERT_EQ(ids.size(), 5u);
    const Result r = Run({"update", "P", "--threads", "3"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Update completed: 5 of 5 processed, 1 failed, in ", 0), 0u) << r.out;

    struct Expected
    {
        const char* status;
        const char* result; // the list's Result column
    };
    // A redirect is followed to its end: the final document's status counts.
    const Expected expected[] = {
        {"200", "Ok"}, {"200", "Ok"}, {"200", "Ok"}, {"200", "Ok"}, {"404", "Failed"}};
    const RecordList records = Records();
    const std::map<std::string, std::string> result = Listed(2);
    ASSERT_EQ(records.size(), 5u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Trimmed(records[i], UrlField::StatusCode), expected[i].status);
        EXPECT_EQ(result.at(ids[i]), expected[i].result);
        EXPECT_NE(Trimmed(records[i], UrlField::Captured), "");
        EXPECT_EQ(Trimmed(records[i], UrlField::Flags).substr(0, 2), "00");
    }
    EXPECT_EQ(Trimmed(records[0], UrlField::Title), "Fixture Basic Page");
    EXPECT_EQ(Trimmed(records[0], UrlField::Description), "A page for the capture tests");
    EXPECT_EQ(Trimmed(records[0], UrlField::Keywords), "capture, fixture, test");

    // The seven files of the basic page; the long page's screenshot runs past the first screen.
    const fs::path folder = Folder();
    for (const std::string& file :
         {"Icon/" + ids[0] + ".ico", "Screenshot/" + ids[0] + ".png",
          "Screenshot/" + ids[0] + ".jpg", "Data/" + ids[0] + ".htm", "Data/" + ids[0] + ".txt",
          "Data/" + ids[0] + ".dh", "Data/" + ids[0] + ".dt"})
        EXPECT_GT(fs::exists(folder / file) ? fs::file_size(folder / file) : 0u, 0u) << file;
    const auto [width, height] = PngSize(ReadBytes(folder / "Screenshot" / (ids[1] + ".png")));
    EXPECT_EQ(width, 800u) << "the default page size is 800 x 600";
    EXPECT_GT(height, 600u);

    // The project is stamped and its review pages are written.
    const std::string projects = Run({"project", "list"}).out;
    EXPECT_NE(projects.find("\tP"), std::string::npos);
    const RecordList project = LoadList(ws() / "Projects" / "projects.dat");
    ASSERT_EQ(project.size(), 1u);
    EXPECT_NE(std::string(TrimView(GetProjectField(project[0], ProjectField::Updated))), "");
    for (const char* page : {"preview1.html", "preview2.html", "preview3.html"})
        EXPECT_TRUE(fs::exists(folder / page)) << page;
}

TEST_F(UpdateCommandTest, CtrlCStopsTheRun)
{
    env_.insert(QStringLiteral("ORVEX_LOAD_SECONDS"), QStringLiteral("30"));
    std::vector<std::string> urls;
    for (int i = 0; i < 5; ++i)
        urls.push_back(Url("/never?" + std::to_string(i)));
    AddUrls(urls);
    QProcess ctl;
    StartCtl(ctl, {"update", "P", "--threads", "2"});
    ASSERT_TRUE(ServerSaw("/hang.js"));
    kill(static_cast<pid_t>(ctl.processId()), SIGINT);
    const Result r = Finish(ctl);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Update stopped: 0 of 5 processed, 0 failed, in ", 0), 0u) << r.out;
    // Rows of a stopped run get no result; the project is still stamped.
    for (const std::string& record : Records())
        EXPECT_EQ(Trimmed(record, UrlField::StatusCode), "");
    EXPECT_TRUE(fs::exists(Folder() / "preview1.html"));
}

TEST_F(UpdateCommandTest, KilledWorkerFailsOnlyItsUrl)
{
    env_.insert(QStringLiteral("ORVEX_LOAD_SECONDS"), QStringLiteral("30"));
    const std::vector<std::string> ids = AddUrls({Url("/never"), Url("/basic")});
    QProcess ctl;
    StartCtl(ctl, {"update", "P", "--threads", "1"});
    ASSERT_TRUE(ServerSaw("/hang.js"));
    const pid_t worker = WorkerOfSlotZero();
    ASSERT_GT(worker, 0);
    kill(worker, SIGKILL);
    const Result r = Finish(ctl);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Update completed: 2 of 2 processed, 1 failed, in ", 0), 0u) << r.out;
    const std::map<std::string, std::string> result = Listed(2);
    EXPECT_EQ(result.at(ids[0]), "Failed");
    EXPECT_EQ(result.at(ids[1]), "Ok") << "the shared browser survived the killed worker";
}

TEST_F(UpdateCommandTest, WorkerThatNeverAnswersTimesOut)
{
    // A copy of orvexctl beside a worker that starts but never takes its job.
    const fs::path bin = fs::path(dir_.path().toStdString()) / "bin";
    fs::create_directories(bin);
    fs::copy_file(ORVEX_BIN_DIR "/orvexctl", bin / "orvexctl");
    WriteBytes(bin / "oxupdate", "#!/bin/sh\nexec sleep 120\n");
    fs::permissions(bin / "oxupdate", fs::perms::owner_all);
    env_.insert(QStringLiteral("ORVEX_TEST_JOB_TIMEOUT"), QStringLiteral("2"));
    AddUrls({Url("/basic")});

    QProcess ctl;
    ctl.setProcessEnvironment(env_);
    ctl.start(QString::fromStdString((bin / "orvexctl").string()),
              {"--workspace", QString::fromStdString(ws().string()), "update", "P"});
    ASSERT_TRUE(ctl.waitForStarted(10000));
    const Result r = Finish(ctl);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Update completed: 1 of 1 processed, 1 failed, in ", 0), 0u) << r.out;
    EXPECT_EQ(Listed(2).begin()->second, "Failed");
    EXPECT_EQ(Trimmed(Records().at(0), UrlField::StatusCode), "") << "no status was found";
}

TEST_F(UpdateCommandTest, WrongArguments)
{
    AddUrls({Url("/basic")});
    for (const QStringList& args :
         {QStringList{"update"}, QStringList{"update", "--threads", "2"},
          QStringList{"update", "P", "--threads", "11"}, QStringList{"update", "P", "--threads"},
          QStringList{"update", "P", "--selected"}, QStringList{"update", "P", "--from"},
          QStringList{"update", "P", "--bogus"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
    }
    const Result unknown = Run({"update", "P", "--selected", "nosuchid"});
    EXPECT_EQ(unknown.code, 1);
    EXPECT_EQ(unknown.err,
              "orvexctl: No URL with the Id nosuchid in this project; nothing updated.\n");
    EXPECT_EQ(Run({"update", "Q"}).code, 1);
}

} // namespace
