// Small parsers of the worker: HTTP dates, proxy settings, numbers from the
// environment, base64.
#include "Base64.h"
#include "HttpDate.h"
#include "WorkerConfig.h"

#include "workspace/UniqueId.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

namespace orvex::oxupdate {
namespace {

TEST(HttpDate, TheThreeFormsServersSend)
{
    constexpr std::time_t kSunday = 784111777; // 1994-11-06 08:49:37 UTC
    const char* forms[] = {
        "Sun, 06 Nov 1994 08:49:37 GMT",
        "Sunday, 06-Nov-94 08:49:37 GMT",
        "Sun Nov  6 08:49:37 1994",
        "sun, 6 nov 1994 08:49:37 gmt",
        "  Sun, 06 Nov 1994 08:49:37 GMT  ",
    };
    for (const char* form : forms)
        EXPECT_EQ(ParseHttpDate(form), std::optional<std::time_t>(kSunday)) << form;
    EXPECT_EQ(ParseHttpDate("Thu, 01 Jan 1970 00:00:00 GMT"), std::optional<std::time_t>(0));
    EXPECT_EQ(ParseHttpDate("Tue, 29 Feb 2000 12:00:00 GMT"),
              std::optional<std::time_t>(951825600));
    EXPECT_EQ(ParseHttpDate("Wed, 21 Oct 15 07:28:00 GMT"), std::optional<std::time_t>(1445412480));
}

TEST(HttpDate, AnythingElseIsNoDate)
{
    const char* bad[] = {
        "",
        "yesterday",
        "Sun, 06 Nov 1994 08:49:37",       // no zone
        "Sun, 06 Nov 1994 08:49:37 CET",   // not GMT
        "Sun, 31 Nov 1994 08:49:37 GMT",   // no such day
        "Mon, 29 Feb 1900 08:49:37 GMT",   // not a leap year
        "Sun, 06 Foo 1994 08:49:37 GMT",
        "Sun, 06 Nov 1994 24:00:00 GMT",
        "Sun, 06 Nov 1994 8:49:37 GMT",
        "Sun, 06 Nov 199 08:49:37 GMT",
        "1994-11-06T08:49:37Z",
    };
    for (const char* text : bad)
        EXPECT_EQ(ParseHttpDate(text), std::nullopt) << text;
}

TEST(HttpDate, LocalTextLikeTheRecords)
{
    const QDateTime utc(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC);
    EXPECT_EQ(HttpDateAsLocalText("Sun, 06 Nov 1994 08:49:37 GMT"), DateTimeText(utc.toLocalTime()));
    EXPECT_EQ(HttpDateAsLocalText("garbage"), "");
}

TEST(ProxySettings, AddressForTheBrowser)
{
    struct Case
    {
        const char* server;
        const char* port;
        const char* address; // nullptr: refused
    };
    const Case cases[] = {
        {"proxy.example", "8080", "http://proxy.example:8080"},
        {"127.0.0.1", "3128", "http://127.0.0.1:3128"},
        {"http://proxy.example/", "80", "http://proxy.example:80"},
        {"proxy.example", "", "http://proxy.example"},
        {"[::1]", "8080", "http://[::1]:8080"},
        {"proxy.example", "08080", "http://proxy.example:8080"},
        {"", "8080", nullptr},
        {"proxy.example", "0", nullptr},
        {"proxy.example", "65536", nullptr},
        {"proxy.example", "80a", nullptr},
        // Separators of the browser's proxy rules must not sneak in.
        {"a.example;https=b.example", "80", nullptr},
        {"a.example b.example", "80", nullptr},
        {"socks5://a.example", "80", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.server) + " " + c.port);
        std::string error;
        const std::optional<std::string> address = ProxyAddress(c.server, c.port, error);
        if (c.address) {
            EXPECT_EQ(address, std::optional<std::string>(c.address));
        } else {
            EXPECT_EQ(address, std::nullopt);
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST(WorkerConfig, SecondsFromTheEnvironment)
{
    EXPECT_EQ(ParseSeconds("30", 300), std::optional<int>(30));
    EXPECT_EQ(ParseSeconds("300", 300), std::optional<int>(300));
    for (const char* bad : {"", "0", "-1", "301", "1.5", "x", " 5", "9999999"})
        EXPECT_EQ(ParseSeconds(bad, 300), std::nullopt) << bad;
    EXPECT_EQ(ParseSeconds(nullptr, 300), std::nullopt);
}

class WorkerConfigFile : public ::testing::Test
{
protected:
    void TearDown() override
    {
        unsetenv("ORVEX_SETTINGS");
        unsetenv("ORVEX_LOAD_SECONDS");
        unsetenv("ORVEX_CONTEXT_MODE");
    }
    void WriteSettings(const char* text)
    {
        QFile file(dir_.filePath(QStringLiteral("orx.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        setenv("ORVEX_SETTINGS", file.fileName().toLocal8Bit().constData(), 1);
    }
    QTemporaryDir dir_;
};

TEST_F(WorkerConfigFile, ProxyOnlyWhenSwitchedOn)
{
    WriteSettings("[Proxy]\r\nUseProxy=1\r\nProxyServer=127.0.0.1\r\nProxyPort=3128\r\n");
    EXPECT_EQ(ReadWorkerConfig().proxyServer, "http://127.0.0.1:3128");
    WriteSettings("[Proxy]\r\nUseProxy=0\r\nProxyServer=127.0.0.1\r\nProxyPort=3128\r\n");
    EXPECT_EQ(ReadWorkerConfig().proxyServer, "");
    WriteSettings("[Proxy]\r\nUseProxy=1\r\nProxyServer=\r\nProxyPort=3128\r\n");
    const WorkerConfig none = ReadWorkerConfig();
    EXPECT_EQ(none.proxyServer, "");
    EXPECT_EQ(none.proxyError, "");
}

TEST_F(WorkerConfigFile, UnusableProxyIsAnErrorNotADirectRoute)
{
    WriteSettings("[Proxy]\r\nUseProxy=1\r\nProxyServer=127.0.0.1\r\nProxyPort=http\r\n");
    const WorkerConfig config = ReadWorkerConfig();
    EXPECT_EQ(config.proxyServer, "");
    EXPECT_NE(config.proxyError, "");
}

TEST_F(WorkerConfigFile, EnvironmentOverrides)
{
    WriteSettings("");
    setenv("ORVEX_LOAD_SECONDS", "7", 1);
    setenv("ORVEX_CONTEXT_MODE", "fresh", 1);
    const WorkerConfig config = ReadWorkerConfig();
    EXPECT_EQ(config.loadLimit, std::chrono::seconds(7));
    EXPECT_EQ(config.contextMode, ContextMode::Fresh);
    setenv("ORVEX_LOAD_SECONDS", "never", 1);
    setenv("ORVEX_CONTEXT_MODE", "other", 1);
    const WorkerConfig defaults = ReadWorkerConfig();
    EXPECT_EQ(defaults.loadLimit, std::chrono::seconds(30));
    EXPECT_EQ(defaults.contextMode, ContextMode::Slot);
}

TEST(Base64, Decoding)
{
    struct Case
    {
        const char* text;
        const char* bytes; // nullptr: not base64
    };
    const Case cases[] = {
        {"", ""},
        {"Zg==", "f"},
        {"Zm8=", "fo"},
        {"Zm9v", "foo"},
        {"Zm9vYg", "foob"},
        {"Zm9v\r\nYmFy", "foobar"},
        {"Zm9v!", nullptr},
        {"Z", nullptr},
        {"Zm9vY", nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> bytes = DecodeBase64(c.text);
        if (c.bytes)
            EXPECT_EQ(bytes, std::optional<std::string>(c.bytes)) << c.text;
        else
            EXPECT_EQ(bytes, std::nullopt) << c.text;
    }
    EXPECT_EQ(DecodeBase64("AP8Q"), std::optional<std::string>(std::string("\0\xff\x10", 3)));
}

TEST(Base64, EncodingReadsBack)
{
    EXPECT_EQ(EncodeBase64(""), "");
    EXPECT_EQ(EncodeBase64("f"), "Zg==");
    EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
    EXPECT_EQ(EncodeBase64("foo"), "Zm9v");
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    for (std::size_t length = 0; length < 8; ++length)
        EXPECT_EQ(DecodeBase64(EncodeBase64(all.substr(0, length) + all)),
                  std::optional<std::string>(all.substr(0, length) + all));
}

} // namespace
} // namespace orvex::oxupdate
