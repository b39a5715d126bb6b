// oxupdate end to end: run as the coordinator runs it, against local pages
// served by tests/support/page_fixture_server.py, in headless chromium.
#include "workers/OxupdateRun.h"

#include "imaging/SmallIcon.h"
#include "review/DigestText.h"

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTcpServer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace orvex::oxupdatetest {
namespace {

constexpr const char* kId = "0123456789abcdefghi";
// Slots far from the ones the coordinator's own tests use first.
constexpr int kFirstSlot = 5;
constexpr int kSlots = 5;

std::string ReadFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

bool Exists(const std::string& path) { return QFile::exists(QString::fromStdString(path)); }

UpdateJob Job(const std::string& url, const ProjectFolder& project)
{
    UpdateJob job;
    job.url = url;
    job.projectFolder = project.path();
    job.id = kId;
    job.screenshot = true;
    job.width = 1024;
    job.height = 768;
    job.thumbnail = true;
    return job;
}

// One finished job: what the block says and where the files are.
struct Result
{
    bool finished = false;
    bool marker = false;
    int exitCode = -1;
    ResultBlock block;
};

struct Task
{
    UpdateJob job;
    QProcessEnvironment env;
};

// Runs jobs on as many slots at once; results in the order given.
std::vector<Result> RunJobs(const std::vector<Task>& tasks)
{
    std::vector<Result> results(tasks.size());
    for (std::size_t from = 0; from < tasks.size(); from += kSlots) {
        std::vector<std::unique_ptr<WorkerRun>> runs;
        for (std::size_t i = from; i < tasks.size() && i < from + kSlots; ++i) {
            runs.push_back(std::make_unique<WorkerRun>(kFirstSlot + int(i - from), tasks[i].env));
            EXPECT_TRUE(runs.back()->Start());
            EXPECT_TRUE(runs.back()->SendJob(tasks[i].job));
        }
        for (std::size_t i = 0; i < runs.size(); ++i) {
            Result& result = results[from + i];
            result.finished = runs[i]->Finished();
            result.marker = runs[i]->HasMarker();
            result.exitCode = runs[i]->exitCode();
            result.block = runs[i]->Fields();
        }
    }
    return results;
}

// A port nothing listens on (it was free a moment ago).
int UnusedPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 0;
    const int port = server.serverPort();
    server.close();
    return port;
}

Result RunJob(const UpdateJob& job, const QProcessEnvironment& env = {})
{
    return RunJobs({{job, env}}).front();
}

QProcessEnvironment Env(std::initializer_list<std::pair<const char*, const char*>> pairs)
{
    QProcessEnvironment env;
    for (const auto& [key, value] : pairs)
        env.insert(QString::fromLatin1(key), QString::fromLatin1(value));
    return env;
}

void ExpectCompleted(const Result& result)
{
    EXPECT_TRUE(result.finished);
    EXPECT_TRUE(result.marker);
    EXPECT_EQ(result.exitCode, 0);
}

bool IsDateTimeText(const std::string& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$"));
    return pattern.match(QString::fromStdString(text)).hasMatch();
}

// Rows of a column of the picture whose colour is near the given one.
std::vector<int> RowsOf(const QImage& image, int x, QColor colour)
{
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(x, y);
        if (std::abs(c.red() - colour.red()) < 16 && std::abs(c.green() - colour.green()) < 16 &&
            std::abs(c.blue() - colour.blue()) < 16)
            rows.push_back(y);
    }
    return rows;
}

class OxupdateCaptureTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<PageServer>(); }
    static void TearDownTestSuite() { server_.reset(); }
    void SetUp() override { ASSERT_TRUE(server_->ok()); }

    static std::unique_ptr<PageServer> server_;
};
std::unique_ptr<PageServer> OxupdateCaptureTest::server_;

TEST_F(OxupdateCaptureTest, BasicPageFieldsAndFiles)
{
    const ProjectFolder project;
    const Result result = RunJob(Job(server_->Url("/basic"), project));
    ExpectCompleted(result);
    const ResultBlock& block = result.block;
    EXPECT_EQ(block.code, "7");
    EXPECT_EQ(block.status, "200");
    EXPECT_EQ(block.title, "Fixture Basic Page");
    EXPECT_EQ(block.charset, "UTF-8");
    EXPECT_EQ(block.description, "A page for the capture tests");
    EXPECT_EQ(block.keywords, "capture, fixture, test");
    EXPECT_EQ(block.contentType, "text/html");
    const QDateTime modified(QDate(2015, 10, 21), QTime(7, 28, 0), Qt::UTC);
    EXPECT_EQ(block.lastModified,
              modified.toLocalTime().toString(QStringLiteral("MM/dd/yyyy hh:mm:ss")).toStdString());
    EXPECT_TRUE(IsDateTimeText(block.captured)) << block.captured;
    EXPECT_TRUE(IsDateTimeText(block.updated)) << block.updated;

    // The document as served, and its length from the header.
    const std::string html = ReadFile(project.File("Data", std::string(kId) + ".htm"));
    EXPECT_NE(html.find("<title>Fixture  Basic\n Page</title>"), std::string::npos);
    EXPECT_EQ(block.contentLength, std::to_string(html.size()));

    const std::string text = ReadFile(project.File("Data", std::string(kId) + ".txt"));
    EXPECT_NE(text.find("First paragraph with äöü and “quotes”."), std::string::npos);
    EXPECT_NE(text.find("A division of text."), std::string::npos);

    const std::string headers = ReadFile(project.File("Data", std::string(kId) + ".dh"));
    EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << headers;
    EXPECT_NE(headers.find("Last-Modified: Wed, 21 Oct 2015 07:28:00 GMT\r\n"), std::string::npos);
    EXPECT_EQ(headers.substr(headers.size() - 4), "\r\n\r\n");

    const Digest digest = ReadDigest(project.File("Data", std::string(kId) + ".dt"));
    EXPECT_EQ(digest.section2, RecordList{"A page for the capture tests"});
    EXPECT_EQ(digest.section4, (RecordList{"First paragraph with äöü and “quotes”.",
                                           "Second paragraph spread over lines."}));
    const std::string origin = server_->Url("");
    EXPECT_EQ(digest.links, (RecordList{
                                "\"" + origin + "/relative/page.html\">Relative link<",
                                "\"" + origin + "/rooted?x=1&y=2\">Rooted b link<",
                                "\"http://127.0.0.1:1/elsewhere\">Absolute quoted link<",
                                "\"" + origin + "/basic#frag\">Fragment<",
                                "\"mailto:someone@example.invalid\">Mail<",
                                "\"" + origin + "/image-link\">red<",
                            }));
    const std::string digestBytes = ReadFile(project.File("Data", std::string(kId) + ".dt"));
    EXPECT_EQ(digestBytes.rfind("Fixture Basic Page\r\n\x01\x07\r\n", 0), 0u);

    // The declared PNG icon, in an icon container the URL list reads.
    QImage icon;
    ASSERT_TRUE(LoadSmallIcon(project.File("Icon", std::string(kId) + ".ico"), icon));
    EXPECT_EQ(icon.pixelColor(8, 8), QColor(0, 160, 0));
    EXPECT_EQ(ReadFile(project.File("Icon", std::string(kId) + ".ico")).substr(0, 4),
              std::string("\0\0\1\0", 4));

    const QImage shot(QString::fromStdString(project.File("Screenshot", std::string(kId) + ".png")));
    EXPECT_EQ(shot.width(), 1024);
    EXPECT_EQ(shot.height(), 768); // the page is shorter than a screen
    const QImage thumb(QString::fromStdString(project.File("Screenshot", std::string(kId) + ".jpg")),
                       "JPEG");
    EXPECT_EQ(thumb.size(), QSize(400, 300));
    EXPECT_EQ(project.Files().size(), 7);
}

TEST_F(OxupdateCaptureTest, CharsetsAreReportedAndTextsComeOutInUtf8)
{
    struct Case
    {
        const char* path;
        const char* title;
        const char* charset;
        const char* text;
    };
    const Case cases[] = {
        {"/cp1251", "Страница в кодировке 1251", "windows-1251", "Привет, мир!"},
        // iso-8859-1 is read as its superset, as every browser does.
        {"/latin1", "Café crème", "windows-1252", "Señor Müller's café"},
    };
    std::vector<ProjectFolder> projects(std::size(cases));
    std::vector<Task> tasks;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        tasks.push_back({Job(server_->Url(cases[i].path), projects[i]), {}});
    const std::vector<Result> results = RunJobs(tasks);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].path);
        ExpectCompleted(results[i]);
        EXPECT_EQ(results[i].block.code, "7");
        EXPECT_EQ(results[i].block.title, cases[i].title);
        EXPECT_EQ(results[i].block.charset, cases[i].charset);
        const std::string text = ReadFile(projects[i].File("Data", std::string(kId) + ".txt"));
        EXPECT_NE(text.find(cases[i].text), std::string::npos) << text;
        const Digest digest = ReadDigest(projects[i].File("Data", std::string(kId) + ".dt"));
        EXPECT_EQ(digest.section4, RecordList{cases[i].text});
        // The document source, in the encoding of every other text file.
        const std::string html = ReadFile(projects[i].File("Data", std::string(kId) + ".htm"));
        EXPECT_NE(html.find(cases[i].title), std::string::npos);
    }
}

TEST_F(OxupdateCaptureTest, SiteIcons)
{
    struct Case
    {
        std::string url;
        const char* code;
        std::optional<QColor> colour; // nothing: no icon file
    };
    const QColor green(0, 160, 0);   // /icon.png
    const QColor magenta(200, 0, 200); // /favicon.ico
    const QColor blue(0, 0, 255);    // /icon.gif
    const Case cases[] = {
        {server_->Url("/basic"), "7", green},
        {server_->Url("/noicon"), "7", magenta},
        {server_->Url("/badicon"), "7", magenta},
        {server_->Url("/gificon"), "7", blue},
        // Drawn by the browser: nothing here decodes SVG.
        {server_->BareUrl("/svgicon"), "7", QColor(255, 0, 0)},
        {server_->BareUrl("/dataicon"), "7", QColor(255, 255, 0)},
        // A site without /favicon.ico: nothing declared is no fault,
        // a declared icon that is missing is.
        {server_->BareUrl("/noicon"), "7", std::nullopt},
        {server_->BareUrl("/badicon"), "4", std::nullopt},
    };
    std::vector<ProjectFolder> projects(std::size(cases));
    std::vector<Task> tasks;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        UpdateJob job = Job(cases[i].url, projects[i]);
        job.screenshot = job.thumbnail = false;
        tasks.push_back({job, {}});
    }
    const std::vector<Result> results = RunJobs(tasks);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].url);
        ExpectCompleted(results[i]);
        EXPECT_EQ(results[i].block.code, cases[i].code);
        const std::string path = projects[i].File("Icon", std::string(kId) + ".ico");
        QImage icon;
        EXPECT_EQ(LoadSmallIcon(path, icon), cases[i].colour.has_value());
        if (cases[i].colour) {
            EXPECT_EQ(icon.pixelColor(8, 8), *cases[i].colour);
        }
    }
}

// The lazily loaded images are only fetched once scrolled into view: the
// screenshot shows them only if the page was scrolled before it was taken.
TEST_F(OxupdateCaptureTest, LongPageWithLazyImages)
{
    const ProjectFolder project;
    const Result result = RunJob(Job(server_->Url("/long"), project));
    ExpectCompleted(result);
    EXPECT_EQ(result.block.code, "7");
    const QImage shot(QString::fromStdString(project.File("Screenshot", std::string(kId) + ".png")));
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.width(), 1024);
    EXPECT_GT(shot.height(), 4 * 768);
    // loading="lazy" (red) and the one an IntersectionObserver loads (blue),
    // both far below the first screen.
    const std::vector<int> red = RowsOf(shot, 100, QColor(255, 0, 0));
    const std::vector<int> blue = RowsOf(shot, 100, QColor(0, 0, 255));
    ASSERT_EQ(red.size(), 200u);
    ASSERT_EQ(blue.size(), 200u);
    EXPECT_GT(red.front(), 2 * 768);
    EXPECT_GT(blue.front(), red.back());
    // The thumbnail is the first screen only.
    const QImage thumb(QString::fromStdString(project.File("Screenshot", std::string(kId) + ".jpg")),
                       "JPEG");
    EXPECT_EQ(thumb.size(), QSize(400, 300));
}

TEST_F(OxupdateCaptureTest, ScreenshotHeightIsCapped)
{
    const ProjectFolder project;
    const Result result = RunJob(Job(server_->Url("/huge"), project));
    ExpectCompleted(result);
    EXPECT_EQ(result.block.code, "7");
    const QImage shot(QString::fromStdString(project.File("Screenshot", std::string(kId) + ".png")));
    EXPECT_EQ(shot.size(), QSize(1024, 16384));
}

TEST_F(OxupdateCaptureTest, StatusOfTheFinalDocument)
{
    struct Case
    {
        std::string url;
        const char* code;
        const char* status;
        const char* title;
        int files;
    };
    const Case cases[] = {
        {server_->Url("/redirect/302/2"), "7", "200", "Fixture Basic Page", 7},
        {server_->Url("/redirect/301/3"), "7", "200", "Fixture Basic Page", 7},
        {server_->Url("/missing"), "7", "404", "Not here", 7},
        {PageServer::UrlOn(UnusedPort(), "/"), "0", "", "", 0},
        // A download is not a page.
        {server_->Url("/binary"), "0", "200", "", 0},
        {"not an address", "0", "", "", 0},
    };
    std::vector<ProjectFolder> projects(std::size(cases));
    std::vector<Task> tasks;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        tasks.push_back({Job(cases[i].url, projects[i]), {}});
    const std::vector<Result> results = RunJobs(tasks);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].url);
        ExpectCompleted(results[i]);
        EXPECT_EQ(results[i].block.code, cases[i].code);
        EXPECT_EQ(results[i].block.status, cases[i].status);
        EXPECT_EQ(results[i].block.title, cases[i].title);
        EXPECT_TRUE(IsDateTimeText(results[i].block.updated));
        EXPECT_EQ(projects[i].Files().size(), cases[i].files) << projects[i].Files().join(' ').toStdString();
    }
}

// Pages that are no proper documents, or behave badly, still end in a
// result; none takes the worker down.
TEST_F(OxupdateCaptureTest, OddPages)
{
    struct Case
    {
        const char* path;
        const char* codes; // any of these
        const char* title;
    };
    const Case cases[] = {
        {"/notitle", "7", ""},
        {"/plain", "7", ""},
        {"/empty", "7", ""},
        {"/img/red.png", "7", "red.png (200×200)"},
        // Dialogs would hold the page forever; they are dismissed.
        {"/alert", "7", "Dialogs"},
        // A renderer that never comes back: no text, no screenshots.
        {"/busy", "56", ""},
    };
    std::vector<ProjectFolder> projects(std::size(cases));
    std::vector<Task> tasks;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        tasks.push_back({Job(server_->Url(cases[i].path), projects[i]), {}});
    const std::vector<Result> results = RunJobs(tasks);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].path);
        ExpectCompleted(results[i]);
        ASSERT_EQ(results[i].block.code.size(), 1u);
        EXPECT_NE(std::string(cases[i].codes).find(results[i].block.code), std::string::npos)
            << results[i].block.code;
        EXPECT_EQ(results[i].block.status, "200");
        EXPECT_EQ(results[i].block.title, cases[i].title);
        // Text and digest need the page's renderer; the busy one has none to spare.
        const bool busy = std::string(cases[i].path) == "/busy";
        EXPECT_EQ(Exists(projects[i].File("Data", std::string(kId) + ".txt")), !busy);
        EXPECT_EQ(Exists(projects[i].File("Data", std::string(kId) + ".dt")), !busy);
        EXPECT_TRUE(Exists(projects[i].File("Data", std::string(kId) + ".dh")));
    }
}

TEST_F(OxupdateCaptureTest, PageThatNeverFinishesLoading)
{
    const ProjectFolder project;
    const Result result = RunJob(Job(server_->Url("/never"), project),
                                 Env({{"ORVEX_LOAD_SECONDS", "2"}}));
    ExpectCompleted(result);
    EXPECT_EQ(result.block.code, "1");
    EXPECT_EQ(result.block.status, "200");
    EXPECT_EQ(result.block.title, "Never finishes");
    EXPECT_TRUE(Exists(project.File("Screenshot", std::string(kId) + ".png")));
    EXPECT_TRUE(Exists(project.File("Data", std::string(kId) + ".txt")));
}

TEST_F(OxupdateCaptureTest, OnlyWhatTheJobAsksFor)
{
    const ProjectFolder project;
    UpdateJob job = Job(server_->Url("/basic"), project);
    job.screenshot = false;
    job.thumbnail = false;
    const Result result = RunJob(job);
    ExpectCompleted(result);
    EXPECT_EQ(result.block.code, "7");
    EXPECT_FALSE(Exists(project.File("Screenshot", std::string(kId) + ".png")));
    EXPECT_FALSE(Exists(project.File("Screenshot", std::string(kId) + ".jpg")));
    EXPECT_EQ(project.Files().size(), 5);
}

TEST_F(OxupdateCaptureTest, OtherWindowSizes)
{
    const ProjectFolder project;
    UpdateJob job = Job(server_->Url("/basic"), project);
    job.width = 800;
    job.height = 600;
    const Result result = RunJob(job);
    ExpectCompleted(result);
    const QImage shot(QString::fromStdString(project.File("Screenshot", std::string(kId) + ".png")));
    EXPECT_EQ(shot.size(), QSize(800, 600));
    const QImage thumb(QString::fromStdString(project.File("Screenshot", std::string(kId) + ".jpg")),
                       "JPEG");
    EXPECT_EQ(thumb.size(), QSize(400, 300));
}

// An id that is not 19 characters of 0-9 and a-z never becomes a path.
TEST_F(OxupdateCaptureTest, UnusableJobWritesNothing)
{
    const ProjectFolder project;
    const char* ids[] = {"../../../tmp/xxxxxx", "0123456789abcdefgh", "0123456789ABCDEFGHI", ""};
    for (const char* id : ids) {
        SCOPED_TRACE(id);
        UpdateJob job = Job(server_->Url("/basic"), project);
        job.id = id;
        const Result result = RunJob(job);
        ExpectCompleted(result);
        EXPECT_EQ(result.block.code, "0");
        EXPECT_EQ(result.block.status, "");
        EXPECT_TRUE(IsDateTimeText(result.block.updated));
    }
    UpdateJob noFolder = Job(server_->Url("/basic"), project);
    noFolder.projectFolder = project.path() + "/gone";
    EXPECT_EQ(RunJob(noFolder).block.code, "0");
    EXPECT_EQ(project.Files(), QStringList());
}

TEST_F(OxupdateCaptureTest, NoBrowserIsAFailedCapture)
{
    const ProjectFolder project;
    const Result result = RunJob(Job(server_->Url("/basic"), project),
                                 Env({{"ORVEX_CHROMIUM", "/nonexistent/chromium"}}));
    ExpectCompleted(result);
    EXPECT_EQ(result.block.code, "0");
    EXPECT_EQ(project.Files(), QStringList());
}

TEST_F(OxupdateCaptureTest, ThroughAProxyWithCredentials)
{
    PageServer proxy({QStringLiteral("--proxy"), QStringLiteral("alice:s3cret"),
                      QStringLiteral("--log")});
    ASSERT_TRUE(proxy.ok());
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("orx.ini"));
    {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[Proxy]\r\nUseProxy=1\r\nProxyServer=127.0.0.1\r\nProxyPort=%1\r\n")
                       .arg(proxy.port())
                       .toUtf8());
    }
    QProcessEnvironment env;
    env.insert(QStringLiteral("ORVEX_SETTINGS"), settings);

    const ProjectFolder project;
    UpdateJob job = Job(server_->Url("/basic"), project);
    job.proxyUser = "alice";
    job.proxyPassword = "s3cret";
    const Result result = RunJob(job, env);
    ExpectCompleted(result);
    EXPECT_EQ(result.block.code, "7");
    EXPECT_EQ(result.block.status, "200");
    EXPECT_EQ(result.block.title, "Fixture Basic Page");
    // The page really came through the proxy, with the job's credentials.
    EXPECT_TRUE(proxy.WaitForRequest(QStringLiteral("PROXY GET %1 Basic YWxpY2U6czNjcmV0")
                                         .arg(QString::fromStdString(server_->Url("/basic"))),
                                     5000));

    const ProjectFolder refused;
    UpdateJob wrong = Job(server_->Url("/basic"), refused);
    wrong.proxyUser = "alice";
    wrong.proxyPassword = "wrong";
    const Result denied = RunJob(wrong, env);
    ExpectCompleted(denied);
    EXPECT_NE(denied.block.status, "200");
    EXPECT_NE(denied.block.title, "Fixture Basic Page");
}

TEST_F(OxupdateCaptureTest, StopOrSigtermMidJob)
{
    PageServer logged({QStringLiteral("--log")});
    ASSERT_TRUE(logged.ok());
    for (const bool signal : {false, true}) {
        SCOPED_TRACE(signal ? "SIGTERM" : "stop message");
        const ProjectFolder project;
        WorkerRun run(kFirstSlot, Env({{"ORVEX_LOAD_SECONDS", "60"}}));
        ASSERT_TRUE(run.Start());
        ASSERT_TRUE(run.SendJob(Job(logged.Url("/never"), project)));
        // Mid-job: the page is loading and will not finish.
        ASSERT_TRUE(logged.WaitForRequest(QStringLiteral("GET /hang.js"), 60'000));
        if (signal)
            run.Terminate();
        else
            ASSERT_TRUE(run.SendStop());
        EXPECT_TRUE(run.Finished(10'000));
        EXPECT_FALSE(run.crashed());
        EXPECT_EQ(run.exitCode(), signal ? 128 + SIGTERM : 0);
        EXPECT_FALSE(run.HasMarker());
        EXPECT_EQ(run.LeftoverBrowsers(), 0u);
    }
}

TEST_F(OxupdateCaptureTest, NoJobMeansTheWorkerEndsByItself)
{
    WorkerRun run(kFirstSlot, Env({{"ORVEX_IDLE_SECONDS", "1"}}));
    ASSERT_TRUE(run.Start());
    EXPECT_TRUE(run.Finished(20'000));
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_FALSE(run.HasMarker());
    EXPECT_EQ(run.LeftoverBrowsers(), 0u);
}

// Through the run's shared browser: the same capture, and nothing of one job
// (cookies, site storage) reaches the slot's next.
TEST_F(OxupdateCaptureTest, SharedBrowserKeepsJobsApart)
{
    const std::string name = "orvex-test-" + std::to_string(::getpid()) + "-capture-host";
    HostRun host(name);
    ASSERT_TRUE(host.ready());
    for (const char* mode : {"slot", "fresh"}) {
        SCOPED_TRACE(mode);
        QProcessEnvironment env;
        env.insert(QStringLiteral("ORVEX_BROWSER_SOCKET"), QString::fromStdString(name));
        env.insert(QStringLiteral("ORVEX_CONTEXT_MODE"), QString::fromLatin1(mode));
        const ProjectFolder project;
        const Result basic = RunJob(Job(server_->Url("/basic"), project), env);
        ExpectCompleted(basic);
        EXPECT_EQ(basic.block.code, "7");
        EXPECT_EQ(basic.block.title, "Fixture Basic Page");
        EXPECT_EQ(project.Files().size(), 7);

        const Result setter = RunJob(Job(server_->Url("/cookie"), project), env);
        EXPECT_EQ(setter.block.title, "Cookie setter");
        const Result peek = RunJob(Job(server_->Url("/peek"), project), env);
        ExpectCompleted(peek);
        EXPECT_EQ(peek.block.title, "cookies=[] storage=[]");
    }
}

} // namespace
} // namespace orvex::oxupdatetest
