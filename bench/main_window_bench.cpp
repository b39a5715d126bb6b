// Times the main window over a large project: opening it until its first rows
// are painted, and a header-click sort; prints the window's resident memory.
//
// Usage: bench_main_window [URL count, default 100000]
#include "mainwindow/TOrvex.h"
#include "workspace/ProjectUrls.h"
#include "workspace/RecordLayout.h"
#include "workspace/Workspace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace orvex;

namespace {

void Report(const char* what, qint64 ns)
{
    std::printf("%-40s %9.1f ms\n", what, static_cast<double>(ns) / 1e6);
}

long ResidentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    }
    return -1;
}

void Seed(const std::filesystem::path& root, int count)
{
    Workspace workspace(root);
    std::string id;
    workspace.Open();
    workspace.CreateProject("Small", "", id);
    workspace.CreateProject("Large", "", id);
    workspace.SaveProjects();
    ProjectUrls project(*workspace.ProjectFolder(workspace.projects().back()), workspace.saveGate());
    project.Load();
    std::vector<std::string> urls;
    for (int i = 0; i < count; ++i)
        urls.push_back("http://www.site" + std::to_string(i % 5000) + ".example/page/" +
                       std::to_string(i));
    project.AddUrls(urls);
    for (std::size_t i = 0; i < project.records().size(); ++i) {
        SetUrlField(project.records(), static_cast<long long>(i), i % 7 ? "200" : "404",
                    UrlField::StatusCode);
        SetUrlField(project.records(), static_cast<long long>(i),
                    "Page title " + std::to_string((i * 7919) % count), UrlField::Title);
    }
    project.Save();
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    Seed(dir.path().toStdString(), count);
    std::printf("%d URLs\n", count);

    TOrvex window(dir.path().toStdString());
    window.Start();
    window.show();
    QTest::qWait(300); // the deferred start opens the first project (small)
    const long before = ResidentKiB();

    QElapsedTimer timer;
    timer.start();
    window.SelectProjectRow(1); // opens the large project
    window.urlView()->viewport()->repaint();
    Report("open project until first rows painted", timer.nsecsElapsed());

    QHeaderView* header = window.urlView()->header();
    for (int section : {0, 0, 1, 3}) {
        const QString caption = header->model()->headerData(section, Qt::Horizontal).toString();
        timer.start();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        window.urlView()->viewport()->repaint();
        const std::string what = "header click sort by " + caption.toStdString();
        Report(what.c_str(), timer.nsecsElapsed());
    }
    std::printf("%-40s %9ld KiB (%ld KiB before opening it)\n", "resident memory with it open",
                ResidentKiB(), before);
    return 0;
}
