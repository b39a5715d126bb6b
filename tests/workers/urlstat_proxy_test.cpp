// urlstat through a proxy: a local proxy that demands Proxy-Authorization,
// logs each request with that header and answers 203 itself, so a 203 can
// only have come through it and a 200 only from the origin server.
#include "workers/UrlstatRun.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace orvex::urlstattest {
namespace {

constexpr int kFromProxy = 203;
constexpr int kFromOrigin = 200;

class UrlstatProxyTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        origin_ = std::make_unique<FixtureServer>();
        proxy_ = std::make_unique<FixtureServer>(QStringList{QStringLiteral("--proxy")});
    }
    static void TearDownTestSuite()
    {
        origin_.reset();
        proxy_.reset();
    }
    void SetUp() override
    {
        ASSERT_NE(origin_->port(), 0);
        ASSERT_NE(proxy_->port(), 0);
        ASSERT_TRUE(dir_.isValid());
        origin_->takeRequests();
        proxy_->takeRequests();
    }

    QString writeSettings(const QString& name, const QString& server, const QString& port)
    {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[Proxy]\r\nUseProxy=1\r\nProxyServer=%1\r\nProxyPort=%2\r\n")
                       .arg(server, port)
                       .toUtf8());
        return path;
    }
    QString proxySettings()
    {
        return writeSettings(QStringLiteral("orx.ini"), QStringLiteral("127.0.0.1"),
                             QString::number(proxy_->port()));
    }

    static std::unique_ptr<FixtureServer> origin_;
    static std::unique_ptr<FixtureServer> proxy_;
    QTemporaryDir dir_;
};
std::unique_ptr<FixtureServer> UrlstatProxyTest::origin_;
std::unique_ptr<FixtureServer> UrlstatProxyTest::proxy_;

QString BasicAuth(const char* userAndPassword)
{
    return QStringLiteral("Basic ") + QString::fromLatin1(QByteArray(userAndPassword).toBase64());
}

// How the token is split into credentials and URL, seen at the proxy.
TEST_F(UrlstatProxyTest, CredentialsReachTheProxy)
{
    struct Case
    {
        const char* prefix;
        const char* path;
        const char* credentials; // nullptr: none sent
    };
    const Case cases[] = {
        {"1alice:secret@", "/status/200", "alice:secret"},
        // The password may hold '@' and ':'; the URL starts at "@http://".
        {"1alice:p@ss:w@rd@", "/status/200", "alice:p@ss:w@rd"},
        // The user name ends at the first ':', so it may hold '@'.
        {"1bob@corp:pw@", "/status/200", "bob@corp:pw"},
        // An '@' in the URL belongs to the URL.
        {"1alice:secret@", "/status/200?who=x@y", "alice:secret"},
        {"1:pw@", "/status/200", ":pw"},
        {"1:@", "/status/200", nullptr},
    };
    const QString settings = proxySettings();
    for (const Case& c : cases) {
        const QString url = origin_->url(QString::fromLatin1(c.path));
        SCOPED_TRACE((QString::fromLatin1(c.prefix) + url).toStdString());
        const UrlstatRun run = RunUrlstat(
            {QStringLiteral("--settings"), settings, QString::fromLatin1(c.prefix) + url});
        // Without credentials the proxy's refusal is the status.
        ExpectStatus(run, c.credentials ? kFromProxy : 407);

        const QStringList seen = proxy_->takeRequests();
        ASSERT_FALSE(seen.isEmpty());
        const QString sent = c.credentials ? BasicAuth(c.credentials) : QStringLiteral("-");
        EXPECT_EQ(seen.last(), QStringLiteral("HEAD %1 %2").arg(url, sent));
        for (const QString& line : seen) // an unauthenticated probe may come first
            EXPECT_TRUE(line.startsWith(QStringLiteral("HEAD %1 ").arg(url))) << line.toStdString();
    }
    EXPECT_EQ(origin_->takeRequests(), QStringList());
}

TEST_F(UrlstatProxyTest, ProxyRefusingTheTunnelIsTheStatusOfAnHttpsUrl)
{
    const QString target = QStringLiteral("127.0.0.1:%1").arg(origin_->port());
    ExpectStatus(RunUrlstat({QStringLiteral("--settings"), proxySettings(),
                             QStringLiteral("1:@https://") + target + QStringLiteral("/")}),
                 407);
    EXPECT_EQ(proxy_->takeRequests(), QStringList{QStringLiteral("CONNECT %1 -").arg(target)});
}

// The flag and the settings file alone choose the route. The environment
// points every way at once (all traffic to the proxy, loopback around it)
// and must be ignored.
TEST_F(UrlstatProxyTest, FlagAndSettingsChooseTheRoute)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString envProxy = QStringLiteral("http://127.0.0.1:%1").arg(proxy_->port());
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"})
        env.insert(QString::fromLatin1(name), envProxy);
    env.insert(QStringLiteral("no_proxy"), QStringLiteral("127.0.0.1,localhost"));
    env.insert(QStringLiteral("NO_PROXY"), QStringLiteral("127.0.0.1,localhost"));

    struct Case
    {
        const char* name;
        QString settings;
        char flag;
        std::optional<int> status;
    };
    const QString port = QString::number(proxy_->port());
    const Case cases[] = {
        {"proxy named, flag 1", proxySettings(), '1', kFromProxy},
        {"proxy named, flag 0", proxySettings(), '0', kFromOrigin},
        {"empty ProxyServer", writeSettings("empty.ini", QString(), port), '1', kFromOrigin},
        {"missing settings file", dir_.filePath(QStringLiteral("none.ini")), '1', kFromOrigin},
        {"bad ProxyPort", writeSettings("badport.ini", "127.0.0.1", "80a"), '1', std::nullopt},
    };
    const QString url = origin_->url(QStringLiteral("/status/200"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString token =
            c.flag == '1' ? QStringLiteral("1u:p@") + url : QStringLiteral("0") + url;
        ExpectStatus(RunUrlstat({QStringLiteral("--settings"), c.settings, token}, env), c.status);
        const bool viaProxy = c.status == kFromProxy;
        const bool direct = c.status == kFromOrigin;
        EXPECT_EQ(proxy_->takeRequests().isEmpty(), !viaProxy);
        EXPECT_EQ(origin_->takeRequests().isEmpty(), !direct);
    }
}

// Without --settings the orx.ini beside the program is read.
TEST_F(UrlstatProxyTest, SettingsBesideTheProgramByDefault)
{
    const QString copy = dir_.filePath(QStringLiteral("urlstat"));
    ASSERT_TRUE(QFile::copy(kUrlstat, copy));
    proxySettings(); // writes orx.ini into the same folder
    const QString url = origin_->url(QStringLiteral("/status/200"));
    ExpectStatus(
        RunUrlstat({QStringLiteral("1u:p@") + url}, QProcessEnvironment::systemEnvironment(), copy),
        kFromProxy);
    const QStringList seen = proxy_->takeRequests();
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.last(), QStringLiteral("HEAD %1 %2").arg(url, BasicAuth("u:p")));
}

} // namespace
} // namespace orvex::urlstattest
