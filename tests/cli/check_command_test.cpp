// orvexctl check end to end: the real urlstat against a local server on
// 127.0.0.1 (tests/support/http_fixture_server.py). What each URL's record and
// list line hold afterwards, the summary line, --selected, and Ctrl-C.

#include "cli/CtlServerFixture.h"
#include "support/TestFiles.h"
#include "workspace/RecordLayout.h"

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;
using namespace orvex::testfiles;

namespace {


// A port nothing listens on: bound once by the system's choice, then let go.
int RefusedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

QDateTime ParseTime(const std::string& text)
{
    return QDateTime::fromString(QString::fromStdString(text),
                                 QStringLiteral("MM/dd/yyyy hh:mm:ss"));
}

class CheckCommandTest : public CtlServerTest
{
protected:
    CheckCommandTest() : CtlServerTest(QStringLiteral("http_fixture_server.py")) {}
    void SetUp() override
    {
        CtlServerTest::SetUp();
        env_.insert(QStringLiteral("ORVEX_TEST_CHECK_TIMEOUT"), QStringLiteral("2"));
    }
    // Id -> the StatusText column of url list.
    std::map<std::string, std::string> ListedStatus() { return Listed(1); }
};

TEST_F(CheckCommandTest, RecordsTheStatusOfEachUrl)
{
    struct Case
    {
        std::string url;
        std::string code;
        std::string text;
    };
    const std::vector<Case> cases = {
        {Url("/status/200"), "200", "200 Ok"},
        {Url("/status/302"), "302", "302 Found"},
        {Url("/status/301"), "301", "301 Moved Permanently"},
        {Url("/status/404"), "404", "404 Not Found"},
        {Url("/status/500"), "500", "500 Internal Server Error"},
        {Url("/head405"), "200", "200 Ok"}, // the checker falls back to GET
        {Url("/slow"), "0", "0"},           // beyond the time limit
        {"http://127.0.0.1:" + std::to_string(RefusedPort()) + "/", "0", "0"},
    };
    std::vector<std::string> urls;
    for (const Case& c : cases)
        urls.push_back(c.url);
    const std::vector<std::string> ids = AddUrls(urls);
    ASSERT_EQ(ids.size(), cases.size());

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const Result r = Run({"check", "P"});
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Checking completed: 8 of 8 processed, 5 failed.\n");

    const RecordList records = Records();
    const std::map<std::string, std::string> listed = ListedStatus();
    ASSERT_EQ(records.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].url);
        EXPECT_EQ(GetUrlField(records[i], UrlField::Id), ids[i]);
        EXPECT_EQ(GetUrlField(records[i], UrlField::StatusCode), FitField(cases[i].code, 4));
        EXPECT_EQ(GetUrlField(records[i], UrlField::Flags), "0000 000");
        const QDateTime updated = ParseTime(GetUrlField(records[i], UrlField::Updated));
        EXPECT_TRUE(updated.isValid() && before <= updated && updated <= after);
        EXPECT_EQ(listed.at(ids[i]), cases[i].text);
    }
}

TEST_F(CheckCommandTest, SelectedChecksOnlyTheGivenUrls)
{
    const std::vector<std::string> ids =
        AddUrls({Url("/status/200"), Url("/status/404"), Url("/status/302")});
    const Result r = Run({"check", "P", "--selected", QString::fromStdString(ids[2]),
                          QString::fromStdString(ids[1])});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Checking completed: 2 of 2 processed, 1 failed.\n");
    const RecordList records = Records();
    EXPECT_EQ(GetUrlField(records[0], UrlField::StatusCode), "    ");
    EXPECT_EQ(GetUrlField(records[0], UrlField::Updated), std::string(19, ' '));
    EXPECT_EQ(GetUrlField(records[1], UrlField::StatusCode), "404 ");
    EXPECT_EQ(GetUrlField(records[2], UrlField::StatusCode), "302 ");

    const std::string unchanged = ReadBytes(ws() / "Projects" / "00000000" / "urls.dat");
    const Result unknown = Run({"check", "P", "--selected", "nosuchid"});
    EXPECT_EQ(unknown.code, 1);
    EXPECT_EQ(unknown.err,
              "orvexctl: No URL with the Id nosuchid in this project; nothing checked.\n");
    EXPECT_EQ(ReadBytes(ws() / "Projects" / "00000000" / "urls.dat"), unchanged);
}

TEST_F(CheckCommandTest, WrongArgumentsAndAnEmptyProject)
{
    for (const QStringList& args : {QStringList{"check"}, QStringList{"check", "P", "extra"},
                                    QStringList{"check", "P", "--selected"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
    }
    EXPECT_EQ(Run({"check", "Q"}).code, 1);

    const Result r = Run({"check", "P"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Checking completed: 0 of 0 processed, 0 failed.\n");
    EXPECT_TRUE(Records().empty());
}

TEST_F(CheckCommandTest, CtrlCStopsAndKeepsWhatWasRecorded)
{
    env_.insert(QStringLiteral("ORVEX_TEST_CHECK_TIMEOUT"), QStringLiteral("15"));
    std::vector<std::string> urls{Url("/status/200")};
    for (int i = 1; i <= 11; ++i)
        urls.push_back(Url("/slow?" + std::to_string(i)));
    AddUrls(urls);

    QProcess ctl;
    StartCtl(ctl, {"check", "P"});
    // Ten slots: the first URL's slot is taken again by the eleventh, which
    // records the first result; the twelfth then waits.
    ASSERT_TRUE(ServerSaw(" /slow?10"));
    kill(static_cast<pid_t>(ctl.processId()), SIGINT);
    const Result r = Finish(ctl);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Checking stopped: 1 of 12 processed, 0 failed.\n") << r.err;

    const RecordList records = Records();
    ASSERT_EQ(records.size(), 12u);
    EXPECT_EQ(GetUrlField(records[0], UrlField::StatusCode), "200 ");
    for (std::size_t i = 1; i < records.size(); ++i) {
        EXPECT_EQ(GetUrlField(records[i], UrlField::StatusCode), "    ") << i;
        EXPECT_EQ(GetUrlField(records[i], UrlField::Updated), std::string(19, ' ')) << i;
    }
}

} // namespace
