#pragma once

// A main window over a temporary workspace, with every message box answered
// by the test, and helpers to act on it as a user would.
#include "mainwindow/DetailPane.h"
#include "mainwindow/MessageBoxes.h"
#include "mainwindow/OrvexApplication.h"
#include "mainwindow/ProjectDialog.h"
#include "mainwindow/ProjectListModel.h"
#include "mainwindow/TOrvex.h"
#include "mainwindow/UrlInputDialog.h"
#include "mainwindow/UrlListModel.h"
#include "workspace/IniFile.h"
#include "workspace/RecordFile.h"
#include "workspace/RecordLayout.h"
#include "workspace/Settings.h"
#include "workspace/UniqueId.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <functional>

namespace orvex::testwindow {

namespace fs = std::filesystem;

// Acts on the next modal dialog of type D as soon as it shows.
template <typename D>
void WhenDialogShows(std::function<void(D*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

struct SeedUrl
{
    std::string url;
    std::string statusCode; // blank: never checked
    char result = ' ';      // Flags position 5
    std::string title;
};

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.path().toStdString();
        SetMessageAnswerer([this](const ShownMessage& message) {
            shown.push_back(message);
            if (answers.empty())
                return false;
            const bool answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    void TearDown() override
    {
        window.reset();
        SetMessageAnswerer({});
    }

    void OpenWindow()
    {
        window = std::make_unique<TOrvex>(root);
        ASSERT_TRUE(window->Start());
        window->show();
        QTest::qWait(250); // the deferred start-up step selects the saved project
    }
    void CloseWindow()
    {
        window->close();
        window.reset();
    }

    // Creates a project with URLs through the core, before the window opens.
    std::string SeedProject(const std::string& title, const std::vector<SeedUrl>& urls = {})
    {
        Workspace workspace(root);
        EXPECT_TRUE(workspace.Open().ok());
        std::string id;
        EXPECT_TRUE(workspace.CreateProject(title, "about " + title, id).ok());
        EXPECT_TRUE(workspace.SaveProjects().ok());
        ProjectUrls project(*workspace.ProjectFolder(workspace.projects().back()),
                            workspace.saveGate());
        project.Load();
        for (const SeedUrl& seed : urls) {
            project.AddUrl(seed.url);
            const auto last = static_cast<long long>(project.records().size() - 1);
            std::string flags = std::string(UrlFieldView(project.records().back(), UrlField::Flags));
            flags[4] = seed.result;
            SetUrlField(project.records(), last, flags, UrlField::Flags);
            SetUrlField(project.records(), last, seed.statusCode, UrlField::StatusCode);
            SetUrlField(project.records(), last, seed.title, UrlField::Title);
        }
        EXPECT_TRUE(project.Save().ok());
        return id;
    }

    QString Cell(QTreeView* view, int row, int column) const
    {
        return view->model()->index(row, column).data().toString();
    }
    QStringList Column(QTreeView* view, int column) const
    {
        QStringList texts;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            texts << Cell(view, row, column);
        return texts;
    }
    void ClickHeader(QTreeView* view, int section)
    {
        QHeaderView* header = view->header();
        const QPoint at(header->sectionViewportPosition(section) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    void ClickRow(QTreeView* view, int row, Qt::KeyboardModifiers modifiers = {})
    {
        const QRect rect = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, rect.center());
    }
    RecordList StoredUrls(int projectIndex = 0)
    {
        Workspace workspace(root);
        workspace.Open();
        RecordList records;
        LoadRecordFile(*workspace.ProjectFolder(workspace.projects()[projectIndex]) / "urls.dat",
                       records);
        return records;
    }
    RecordList StoredProjects()
    {
        RecordList records;
        LoadRecordFile(root / "Projects" / "projects.dat", records);
        return records;
    }

    QTemporaryDir dir;
    fs::path root;
    std::unique_ptr<TOrvex> window;
    std::vector<ShownMessage> shown;
    std::deque<bool> answers;
};

} // namespace orvex::testwindow
