// Times the record work behind a large project: adding, saving, loading,
// building the list rows and sorting them by each URL list column; then adding
// URLs through orvexctl as a script would.
//
// Usage: bench_workspace [URL count, default 100000] [orvexctl URL count, default 10000]
#include "workspace/ProjectUrls.h"
#include "workspace/RecordLayout.h"
#include "workspace/SortKeys.h"
#include "workspace/UrlRows.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <random>

using namespace orvex;

namespace {

void Report(const char* what, qint64 ns)
{
    std::printf("%-34s %9.1f ms\n", what, static_cast<double>(ns) / 1e6);
}

std::vector<std::string> MakeUrls(int count)
{
    std::vector<std::string> urls;
    urls.reserve(static_cast<std::size_t>(count));
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i)
        urls.push_back("http://www.site" + std::to_string(random() % 5000) + ".example/section/" +
                       std::to_string(i) + "/page.html");
    return urls;
}

// Gives most records what a capture leaves behind, so rows and keys are realistic.
void FillCaptureFields(RecordList& records)
{
    static const char* const words[] = {"Garden", "news", "Archive", "zebra", "Ölmühle", "index",
                                        "blog", "Shop", "école", "Travel"};
    static const char* const codes[] = {"200", "200", "200", "302", "404", "500", "", "0"};
    std::mt19937 random(11);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto index = static_cast<long long>(i);
        const std::string title = std::string(words[random() % 10]) + " " + words[random() % 10] +
                                  " page " + std::to_string(random() % 100000);
        char date[32];
        std::snprintf(date, sizeof date, "%02lu/%02lu/20%02lu %02lu:%02lu:%02lu", 1 + random() % 12,
                      1 + random() % 28, 10 + random() % 16, random() % 24, random() % 60,
                      random() % 60);
        SetUrlField(records, index, title, UrlField::Title);
        SetUrlField(records, index, codes[random() % 8], UrlField::StatusCode);
        SetUrlField(records, index, date, UrlField::Updated);
        SetUrlField(records, index, "Keywords of the page", UrlField::Keywords);
    }
}

int AddThroughOrvexctl(const QString& workspace, int count)
{
    const QString orvexctl = QStringLiteral(ORVEX_BIN_DIR "/orvexctl");
    QProcess create;
    create.start(orvexctl, {"--workspace", workspace, "project", "new", "Scripted"});
    create.waitForFinished(-1);
    QByteArray input;
    for (const std::string& url : MakeUrls(count))
        input += QByteArray::fromStdString(url) + '\n';
    QElapsedTimer timer;
    timer.start();
    QProcess add;
    add.start(orvexctl, {"--workspace", workspace, "url", "add", "Scripted", "-"});
    add.write(input);
    add.closeWriteChannel();
    add.waitForFinished(-1);
    const qint64 ns = timer.nsecsElapsed();
    if (add.exitCode() != 0) {
        std::printf("orvexctl url add failed: %s\n", add.readAllStandardError().constData());
        return 1;
    }
    const std::string what = "orvexctl url add - (" + std::to_string(count) + ")";
    Report(what.c_str(), ns);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int cliCount = argc > 2 ? std::atoi(argv[2]) : 10000;
    QTemporaryDir dir;
    Workspace workspace(dir.path().toStdString());
    std::string id;
    if (!workspace.Open() || !workspace.CreateProject("Bench", "", id) || !workspace.SaveProjects()) {
        std::printf("cannot set up a workspace in %s\n", qPrintable(dir.path()));
        return 1;
    }
    const auto folder = *workspace.ProjectFolder(workspace.projects().front());
    std::printf("%d URLs\n", count);

    const std::vector<std::string> urls = MakeUrls(count);
    QElapsedTimer timer;
    {
        ProjectUrls project(folder, workspace.saveGate());
        project.Load();
        timer.start();
        project.AddUrls(urls);
        Report("add", timer.nsecsElapsed());
        FillCaptureFields(project.records());
        timer.start();
        project.Save();
        Report("save urls.dat", timer.nsecsElapsed());
    }

    ProjectUrls project(folder, workspace.saveGate());
    timer.start();
    project.Load();
    const qint64 loadNs = timer.nsecsElapsed();
    Report("load urls.dat", loadNs);
    RecordList rows;
    timer.start();
    BuildUrlRows(project.records(), rows);
    const qint64 buildNs = timer.nsecsElapsed();
    Report("build rows", buildNs);
    Report("load + build rows", loadNs + buildNs);

    for (const char* caption : {"URL", "Title", "Created", "URL Status", "Updated"}) {
        for (bool ascending : {true, false}) {
            timer.start();
            SortUrlRows(rows, *UrlSortColumnFromCaption(caption), ascending);
            const std::string what =
                std::string("sort by ") + caption + (ascending ? " (ascending)" : " (descending)");
            Report(what.c_str(), timer.nsecsElapsed());
        }
    }

    QTemporaryDir cliDir;
    return cliCount > 0 ? AddThroughOrvexctl(cliDir.path(), cliCount) : 0;
}
