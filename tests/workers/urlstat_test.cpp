// urlstat end to end: the real program against a local HTTP server, checking
// the printed status, the exit code and the requests the server received.
#include "workers/UrlstatRun.h"

#include <QTcpServer>

#include <memory>
#include <string>

namespace orvex::urlstattest {
namespace {

class UrlstatTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<FixtureServer>(); }
    static void TearDownTestSuite() { server_.reset(); }
    void SetUp() override
    {
        ASSERT_NE(server_->port(), 0) << "fixture server did not start";
        server_->takeRequests(); // forget what earlier tests left behind
    }

    static std::unique_ptr<FixtureServer> server_;
};
std::unique_ptr<FixtureServer> UrlstatTest::server_;

struct OriginCase
{
    const char* name;
    const char* path;
    std::optional<int> status;
    QStringList requests; // as the server logged them, in order
    const char* timeout = nullptr;
};

void PrintTo(const OriginCase& c, std::ostream* out)
{
    *out << c.name;
}

class OriginStatusTest : public UrlstatTest, public ::testing::WithParamInterface<OriginCase>
{
};

TEST_P(OriginStatusTest, PrintsTheStatusAfterTheExpectedRequests)
{
    const OriginCase& c = GetParam();
    QStringList args;
    if (c.timeout)
        args << QStringLiteral("--timeout") << QString::fromLatin1(c.timeout);
    args << QStringLiteral("0") + server_->url(QString::fromLatin1(c.path));
    ExpectStatus(RunUrlstat(args), c.status);
    EXPECT_EQ(server_->takeRequests(), c.requests);
}

const QString kHead = QStringLiteral("HEAD ");
const QString kGet = QStringLiteral("GET ");

INSTANTIATE_TEST_SUITE_P(
    Answers, OriginStatusTest,
    ::testing::Values(
        OriginCase{"Ok", "/status/200", 200, {kHead + "/status/200"}},
        // Redirects are the status, never followed.
        OriginCase{"Found", "/status/302", 302, {kHead + "/status/302"}},
        OriginCase{"Moved", "/status/301", 301, {kHead + "/status/301"}},
        OriginCase{"NotFound", "/status/404", 404, {kHead + "/status/404"}},
        OriginCase{"ServerError", "/status/500", 500, {kHead + "/status/500"}},
        OriginCase{"QueryKept", "/status/200?a=1&b=x@y", 200, {kHead + "/status/200?a=1&b=x@y"}},
        // HEAD refused in each way: one GET follows.
        OriginCase{"Head405", "/head405", 200, {kHead + "/head405", kGet + "/head405"}},
        OriginCase{"Head501", "/head501", 200, {kHead + "/head501", kGet + "/head501"}},
        OriginCase{"HeadHangsUp", "/headclose", 200, {kHead + "/headclose", kGet + "/headclose"}},
        // 405 to GET as well: still a status.
        OriginCase{
            "AlwaysRefused", "/status/405", 405, {kHead + "/status/405", kGet + "/status/405"}},
        // The GET ends at the headers; waiting for this body would run out of time.
        OriginCase{"BodyNeverEnds", "/endless", 200, {kHead + "/endless", kGet + "/endless"}, "5"},
        OriginCase{"NoAnswerAtAll", "/close", std::nullopt, {kHead + "/close", kGet + "/close"}},
        OriginCase{"AnswerTooLate", "/slow", std::nullopt, {kHead + "/slow"}, "2"}),
    [](const ::testing::TestParamInfo<OriginCase>& info) { return std::string(info.param.name); });

TEST_F(UrlstatTest, RefusedConnectionGivesNoStatus)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 freePort = probe.serverPort();
    probe.close();
    ExpectStatus(RunUrlstat({QStringLiteral("0http://127.0.0.1:%1/").arg(freePort)}), std::nullopt);
}

// Bad tokens and URLs: no status, and nothing reaches the server.
TEST_F(UrlstatTest, BadInputGivesNoStatus)
{
    const QString base = QStringLiteral("127.0.0.1:%1/status/200").arg(server_->port());
    const QStringList tokens{
        QString(),
        QStringLiteral("0"),
        QStringLiteral("0") + base,       // no scheme
        QStringLiteral("0ftp://") + base, // only http and https
        QStringLiteral("0gopher://") + base,
        QStringLiteral("0file:///etc/hostname"),
        QStringLiteral("0http://"), // no host
        QStringLiteral("0http://no-such-host.invalid/"),
        QStringLiteral("0https://") + base, // TLS against plain HTTP fails
        QStringLiteral("2http://") + base,  // unknown proxy flag
        QStringLiteral("http://") + base,   // no flag
        QStringLiteral("1http://") + base,  // flag 1 without user:password@
    };
    for (const QString& token : tokens) {
        SCOPED_TRACE(token.toStdString());
        ExpectStatus(RunUrlstat({QStringLiteral("--timeout"), QStringLiteral("5"), token}),
                     std::nullopt);
    }
    EXPECT_EQ(server_->takeRequests(), QStringList());
}

TEST_F(UrlstatTest, TokenOfAtMost2048BytesIsChecked)
{
    QString token = QStringLiteral("0") + server_->url(QStringLiteral("/status/200?pad="));
    token += QString(2048 - token.size(), QLatin1Char('x'));
    ASSERT_EQ(token.toUtf8().size(), 2048);
    ExpectStatus(RunUrlstat({token}), 200);
    EXPECT_EQ(server_->takeRequests().size(), 1);

    ExpectStatus(RunUrlstat({token + QLatin1Char('x')}), std::nullopt);
    EXPECT_EQ(server_->takeRequests(), QStringList());
}

TEST_F(UrlstatTest, MalformedCommandLineIsAUsageError)
{
    const QString token = QStringLiteral("0") + server_->url(QStringLiteral("/status/200"));
    const QList<QStringList> commandLines{
        {},
        {token, token},
        {QStringLiteral("--timeout"), QStringLiteral("0"), token},
        {QStringLiteral("--timeout"), QStringLiteral("21"), token},
        {QStringLiteral("--timeout"), QStringLiteral("abc"), token},
        {QStringLiteral("--settings")},
        {QStringLiteral("--verbose"), token},
    };
    for (const QStringList& args : commandLines) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const UrlstatRun run = RunUrlstat(args);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, QString());
    }
    EXPECT_EQ(server_->takeRequests(), QStringList());
}

TEST_F(UrlstatTest, SigtermWhileWaitingEndsAtOnceWithoutOutput)
{
    QProcess checker;
    checker.start(kUrlstat, {QStringLiteral("0") + server_->url(QStringLiteral("/slow?sigterm"))});
    ASSERT_TRUE(checker.waitForStarted(5000));
    // The request is out and the answer is 30 s away; the checker's own limit is 20 s.
    std::optional<QString> logged;
    while ((logged = server_->nextLine(10'000)) && *logged != kHead + "/slow?sigterm") {
    }
    ASSERT_TRUE(logged) << "the checker's request never arrived";

    checker.terminate();
    const bool ended = checker.waitForFinished(5000);
    if (!ended)
        checker.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(checker.exitStatus(), QProcess::NormalExit); // handled, not killed by the signal
    EXPECT_EQ(checker.exitCode(), 128 + 15);
    EXPECT_EQ(checker.readAllStandardOutput(), QByteArray());
}

} // namespace
} // namespace orvex::urlstattest
