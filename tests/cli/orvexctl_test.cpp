// orvexctl end to end: every command run as a child process on a temporary
// workspace (always with --workspace), its exact output, exit status and
// effect on the files.
//
// The desktop program holding the workspace is stood in for by a copy of this
// test program named "orvex" running only LockHolderProcess.HoldsTheLock (see
// instance_lock_test.cpp): QLockFile records the holder's executable name,
// not QCoreApplication::applicationName, so a lock taken in this process
// under setApplicationName("orvex") would not look like the desktop program.
#include "support/LockHolder.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"
#include "workspace/Folders.h"
#include "workspace/InstanceLock.h"
#include "workspace/ProjectUrls.h"
#include "workspace/RecordFile.h"
#include "workspace/RecordLayout.h"
#include "workspace/SaveGate.h"
#include "workspace/SecondsCounter.h"
#include "workspace/UniqueId.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace orvex {
namespace {

using namespace orvex::testfiles;

const fs::path kFixtures = fs::path(ORVEX_TEST_DATA) / "workspace";
const QString kOrvexctl = QStringLiteral(ORVEX_BIN_DIR "/orvexctl");

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<fs::path> DamagedCopies(const fs::path& file)
{
    std::vector<fs::path> found;
    const std::string prefix = file.filename().string() + ".damaged-";
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(entry.path());
    }
    return found;
}

bool IsDateTime(const std::string& text)
{
    static const QRegularExpression re("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$");
    return re.match(QString::fromStdString(text)).hasMatch();
}

using orvex::locktest::LockHolder;

// --- Running orvexctl ------------------------------------------------------------

using Result = ProgramResult;

class OrvexctlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        fs::create_directories(ws());
        fs::create_directories(cwd());
    }
    fs::path base() const { return fs::path(dir_.path().toStdString()); }
    fs::path ws() const { return base() / "ws"; }
    fs::path cwd() const { return base() / "cwd"; }
    fs::path projects() const { return ws() / "Projects"; }
    fs::path projectsFile() const { return projects() / "projects.dat"; }
    fs::path project(int n) const
    {
        char name[16];
        std::snprintf(name, sizeof name, "%08d", n);
        return projects() / name;
    }

    // Runs orvexctl with exactly these arguments.
    Result RunRaw(const QStringList& args, const QByteArray& input = {})
    {
        return RunProgram(kOrvexctl, args, input, QString::fromStdString(cwd().string()));
    }

    // Runs orvexctl --workspace <ws> args...
    Result Run(const QStringList& args, const QByteArray& input = {})
    {
        return RunRaw(QStringList{"--workspace", QString::fromStdString(ws().string())} + args,
                      input);
    }

    // Runs a command that must succeed; returns its standard output.
    std::string Ok(const QStringList& args, const QByteArray& input = {})
    {
        const Result r = Run(args, input);
        EXPECT_EQ(r.code, 0) << args.join(' ').toStdString() << "\n" << r;
        EXPECT_EQ(r.err, "") << args.join(' ').toStdString();
        return r.out;
    }

    std::string NewProject(const QString& title, const QString& description = {})
    {
        QStringList args{"project", "new", title};
        if (!description.isNull())
            args << description;
        const std::string out = Ok(args);
        EXPECT_EQ(out.size(), kIdLength + 1) << out;
        EXPECT_TRUE(out.ends_with('\n')) << out;
        return out.substr(0, kIdLength);
    }

    std::vector<std::string> AddUrls(const QString& project, const QStringList& urls)
    {
        return Lines(Ok(QStringList{"url", "add", project} + urls));
    }

    RecordList ProjectRecords() { return LoadList(projectsFile()); }
    RecordList UrlRecords(int n) { return LoadList(project(n) / "urls.dat"); }

    void MakeFiles(int n, const std::string& id)
    {
        for (const fs::path& file : UrlFilePaths(project(n), id))
            WriteBytes(file, "captured");
    }

    // This test program, and a copy of it named like the desktop program.
    static fs::path Self() { return QCoreApplication::applicationFilePath().toStdString(); }
    fs::path DesktopStandIn()
    {
        const fs::path copy = base() / "program-folder" / "orvex";
        if (!fs::exists(copy)) {
            fs::create_directories(copy.parent_path());
            fs::copy_file(Self(), copy);
        }
        return copy;
    }

    QTemporaryDir dir_;
};

// --- Help and usage -------------------------------------------------------------------

TEST_F(OrvexctlTest, HelpGoesToStandardOutput)
{
    Result r = Run({"--help"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out.starts_with("Usage: orvexctl [--workspace DIR] COMMAND")) << r.out;
    EXPECT_NE(r.out.find("project list | new | rename | delete"), std::string::npos);
    EXPECT_NE(r.out.find("url     list | add | edit | delete"), std::string::npos);
    EXPECT_NE(r.out.find("Exit status: 0 on success, 1 on a failure, 2 on wrong usage."),
              std::string::npos);

    r = Run({"url", "--help"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.err, "");
    for (const char* line : {"orvexctl [--workspace DIR] url list PROJECT\n",
                             "orvexctl [--workspace DIR] url add PROJECT URL...\n",
                             "orvexctl [--workspace DIR] url add PROJECT -\n",
                             "orvexctl [--workspace DIR] url edit PROJECT ID NEWURL\n",
                             "orvexctl [--workspace DIR] url delete PROJECT ID...\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    r = Run({"project", "--help"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.err, "");
    for (const char* line :
         {"orvexctl [--workspace DIR] project list\n",
          "orvexctl [--workspace DIR] project new TITLE [DESCRIPTION]\n",
          "orvexctl [--workspace DIR] project rename PROJECT TITLE [DESCRIPTION]\n",
          "orvexctl [--workspace DIR] project delete PROJECT...\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    // A subcommand's --help, and -h, explain the command too.
    EXPECT_EQ(Run({"url", "add", "--help"}).out, Run({"url", "--help"}).out);
    EXPECT_EQ(Run({"project", "new", "-h"}).out, Run({"project", "--help"}).out);
    EXPECT_EQ(Run({"-h"}).out, Run({"--help"}).out);
    // Help touches no workspace.
    EXPECT_FALSE(Exists(projects()));
}

struct UsageCase
{
    std::vector<const char*> args;
    const char* about; // a word the usage text must hold
};

class OrvexctlUsage : public OrvexctlTest, public ::testing::WithParamInterface<UsageCase>
{
};

TEST_P(OrvexctlUsage, IsExitTwoWithUsageOnStandardError)
{
    QStringList args;
    for (const char* arg : GetParam().args)
        args << arg;
    const Result r = Run(args);
    EXPECT_EQ(r.code, 2) << r;
    EXPECT_EQ(r.out, "") << r;
    EXPECT_NE(r.err.find("Usage"), std::string::npos) << r;
    EXPECT_NE(r.err.find(GetParam().about), std::string::npos) << r;
    // Wrong usage changes nothing, and does not even open the workspace.
    EXPECT_FALSE(Exists(projects()));
    EXPECT_FALSE(Exists(ws() / "orvex.lock"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrvexctlUsage,
    ::testing::Values(
        UsageCase{{}, "COMMAND"}, UsageCase{{"bogus"}, "COMMAND"},
        UsageCase{{"--bogus", "project", "list"}, "COMMAND"}, UsageCase{{"project"}, "project new"},
        UsageCase{{"project", "bogus"}, "project new"},
        UsageCase{{"project", "list", "extra"}, "project list"},
        UsageCase{{"project", "new"}, "project new"},
        UsageCase{{"project", "new", "a", "b", "c"}, "project new"},
        UsageCase{{"project", "rename", "a"}, "project rename"},
        UsageCase{{"project", "rename", "a", "b", "c", "d"}, "project rename"},
        UsageCase{{"project", "delete"}, "project delete"}, UsageCase{{"url"}, "url add"},
        UsageCase{{"url", "bogus"}, "url add"}, UsageCase{{"url", "list"}, "url list"},
        UsageCase{{"url", "list", "a", "b"}, "url list"}, UsageCase{{"url", "add", "P"}, "url add"},
        UsageCase{{"url", "edit", "P", "id"}, "url edit"},
        UsageCase{{"url", "edit", "P", "id", "u", "v"}, "url edit"},
        UsageCase{{"url", "delete", "P"}, "url delete"}));

TEST_F(OrvexctlTest, WorkspaceWithoutAValueIsWrongUsage)
{
    const Result r = RunRaw({"--workspace"});
    EXPECT_EQ(r.code, 2) << r;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Usage"), std::string::npos) << r;
}

TEST_F(OrvexctlTest, AMissingWorkspaceFolderIsAFailure)
{
    const QString missing = QString::fromStdString((base() / "no-such-folder").string());
    for (const QStringList& args :
         {QStringList{"project", "list"}, QStringList{"project", "new", "P"}}) {
        const Result r = RunRaw(QStringList{"--workspace", missing} + args);
        EXPECT_EQ(r.code, 1) << r;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r;
    }
    EXPECT_FALSE(Exists(base() / "no-such-folder"));
    // --workspace=DIR is the same option.
    const Result r = RunRaw({"--workspace=" + missing, "project", "list"});
    EXPECT_EQ(r.code, 1) << r;
}

// --- Projects ---------------------------------------------------------------------------

TEST_F(OrvexctlTest, ProjectNewPrintsTheIdAndMakesTheFolders)
{
    const std::string id = NewProject("First");
    EXPECT_TRUE(IsValidId(id)) << id;
    for (const char* sub : {"Icon", "Screenshot", "Data"})
        EXPECT_TRUE(fs::is_directory(project(0) / sub)) << sub;
    EXPECT_TRUE(fs::is_directory(ws() / "TMP"));
    const RecordList records = ProjectRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::string(ProjectFieldView(records[0], ProjectField::Id)), id);
    EXPECT_EQ(std::string(ProjectFieldView(records[0], ProjectField::Folder)), "00000000");
    EXPECT_EQ(TrimText(ProjectFieldView(records[0], ProjectField::Title)), "First");
    // The lock is released when the command ends.
    EXPECT_FALSE(Exists(ws() / "orvex.lock"));

    const std::string second = NewProject("  Second  ", "  what it is  ");
    EXPECT_NE(second, id);
    const RecordList after = ProjectRecords();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(TrimText(ProjectFieldView(after[1], ProjectField::Title)), "Second");
    EXPECT_EQ(TrimText(ProjectFieldView(after[1], ProjectField::Description)), "what it is");
    EXPECT_EQ(std::string(ProjectFieldView(after[1], ProjectField::Folder)), "00000001");
}

TEST_F(OrvexctlTest, ProjectListPrintsTabSeparatedLinesInRecordOrder)
{
    EXPECT_EQ(Ok({"project", "list"}), "");
    const std::string a = NewProject("Zeta", "last by name");
    const std::string b = NewProject("alpha_with  blanks");
    const std::string c = NewProject("Mid");
    // Give B an Updated time and a tab in its title, as an update run or a
    // hand edit could leave them.
    RecordList records = ProjectRecords();
    SetProjectField(records, 1, "03/04/2007 05:06:07", ProjectField::Updated);
    records[1].replace(ProjectFieldSpec(ProjectField::Title).first - 1 + 5, 1, "\t");
    SaveList(projectsFile(), records);
    const auto created = [&records](std::size_t i) {
        return TrimText(ProjectFieldView(records[i], ProjectField::Created));
    };
    ASSERT_TRUE(IsDateTime(created(0))) << created(0);

    const std::string expected = a + "\t00000000\t" + created(0) + "\t\tZeta\n" + b +
                                 "\t00000001\t" + created(1) +
                                 "\t03/04/2007 05:06:07\talpha with  blanks\n" + c +
                                 "\t00000002\t" + created(2) + "\t\tMid\n";
    EXPECT_EQ(Ok({"project", "list"}), expected);
}

TEST_F(OrvexctlTest, ANewProjectWithAnExistingTitleIsRefused)
{
    NewProject("Alpha");
    const std::string before = ReadBytes(projectsFile());
    for (const QString& title : {QString("Alpha"), QString("  Alpha  ")}) {
        const Result r = Run({"project", "new", title, "a description"});
        EXPECT_EQ(r.code, 1) << r;
        EXPECT_EQ(r.out, "");
        // The message of the window, trailing blanks trimmed.
        EXPECT_EQ(r.err, "orvexctl: Project already exists!\n");
    }
    EXPECT_EQ(ReadBytes(projectsFile()), before);
    EXPECT_FALSE(Exists(project(1)));

    // A title that differs only in letter case is another title.
    NewProject("alpha");
    NewProject("ALPHA");
    EXPECT_EQ(ProjectRecords().size(), 3u);
}

TEST_F(OrvexctlTest, ProjectRenameByIdOrTitle)
{
    const std::string id = NewProject("Old", "kept words");
    NewProject("Other", "other words");

    // Without a description the project keeps its own.
    EXPECT_EQ(Ok({"project", "rename", "Old", "New title"}), "");
    RecordList records = ProjectRecords();
    EXPECT_EQ(TrimText(ProjectFieldView(records[0], ProjectField::Title)), "New title");
    EXPECT_EQ(TrimText(ProjectFieldView(records[0], ProjectField::Description)), "kept words");
    EXPECT_EQ(std::string(ProjectFieldView(records[0], ProjectField::Id)), id);

    // By Id, with a new description.
    EXPECT_EQ(Ok({"project", "rename", QString::fromStdString(id), "Newer", "new words"}), "");
    records = ProjectRecords();
    EXPECT_EQ(TrimText(ProjectFieldView(records[0], ProjectField::Title)), "Newer");
    EXPECT_EQ(TrimText(ProjectFieldView(records[0], ProjectField::Description)), "new words");
    EXPECT_EQ(TrimText(ProjectFieldView(records[1], ProjectField::Description)), "other words");

    // An empty description is a description.
    EXPECT_EQ(Ok({"project", "rename", "Newer", "Newer", ""}), "");
    EXPECT_EQ(TrimText(ProjectFieldView(ProjectRecords()[0], ProjectField::Description)), "");

    const std::string before = ReadBytes(projectsFile());
    const Result r = Run({"project", "rename", "Nobody", "X"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_EQ(r.err, "orvexctl: No project \"Nobody\".\n");
    EXPECT_EQ(ReadBytes(projectsFile()), before);
}

TEST_F(OrvexctlTest, AmbiguousAndUnknownProjects)
{
    {
        // Two projects of one title can come from the window's Rename.
        Workspace workspace(ws());
        ASSERT_TRUE(workspace.Open().ok());
        std::string id;
        ASSERT_TRUE(workspace.CreateProject("Same", "", id).ok());
        ASSERT_TRUE(workspace.CreateProject("Same", "", id).ok());
        ASSERT_TRUE(workspace.SaveProjects().ok());
    }
    const std::string second = std::string(ProjectFieldView(ProjectRecords()[1], ProjectField::Id));
    for (const QStringList& args :
         {QStringList{"url", "list", "Same"}, QStringList{"url", "add", "Same", "http://a/"},
          QStringList{"project", "delete", "Same"},
          QStringList{"project", "rename", "Same", "X"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 1) << r;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "orvexctl: Several projects are titled \"Same\"; name one by its Id.\n");
    }
    for (const QStringList& args :
         {QStringList{"url", "list", "same"}, QStringList{"url", "add", "Nope", "http://a/"},
          QStringList{"project", "delete", "Nope"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 1) << r;
        EXPECT_NE(r.err.find("orvexctl: No project \""), std::string::npos) << r;
    }
    // By Id it is one project.
    const std::vector<std::string> ids = AddUrls(QString::fromStdString(second), {"http://a/"});
    EXPECT_EQ(ids.size(), 1u);
    EXPECT_EQ(UrlRecords(1).size(), 1u);
    EXPECT_FALSE(Exists(project(0) / "urls.dat"));
    // The title is matched trimmed.
    EXPECT_EQ(Lines(Ok({"url", "list", QString::fromStdString(" " + second + " ")})).size(), 1u);
}

TEST_F(OrvexctlTest, ProjectDeleteRemovesFoldersAndExactlyThoseRecords)
{
    const std::string a = NewProject("A");
    const std::string b = NewProject("B");
    const std::string c = NewProject("C");
    const std::string d = NewProject("D");
    AddUrls("B", {"http://b/"});
    WriteBytes(project(1) / "preview1.html", "<html>");
    const RecordList before = ProjectRecords();

    // One unknown name: nothing is deleted.
    Result r = Run({"project", "delete", "B", "Nope"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_EQ(ProjectRecords(), before);
    EXPECT_TRUE(fs::is_directory(project(1)));

    EXPECT_EQ(Ok({"project", "delete", "D", QString::fromStdString(b)}), "");
    EXPECT_FALSE(Exists(project(1)));
    EXPECT_FALSE(Exists(project(3)));
    EXPECT_TRUE(fs::is_directory(project(0) / "Data"));
    EXPECT_TRUE(fs::is_directory(project(2) / "Data"));
    EXPECT_EQ(ProjectRecords(), (RecordList{before[0], before[2]}));
    const std::vector<std::string> listed = Lines(Ok({"project", "list"}));
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed[0].starts_with(a + "\t00000000\t")) << listed[0];
    EXPECT_TRUE(listed[1].starts_with(c + "\t00000002\t")) << listed[1];

    // Folder numbers are not reused while a larger one is in use.
    NewProject("E");
    EXPECT_TRUE(fs::is_directory(project(3)));
}

TEST_F(OrvexctlTest, ARecordWithABadFolderIsNeverUsedForADeletion)
{
    fs::create_directories(projects());
    fs::copy_file(kFixtures / "projects_bad_folders.dat", projectsFile());
    // Projects/../../x is <tmp>/x.
    fs::create_directories(base() / "x");
    WriteBytes(base() / "x" / "precious.txt", "keep");
    fs::create_directories(projects() / "abc");
    WriteBytes(projects() / "abc" / "precious.txt", "keep");
    const std::string before = ReadBytes(projectsFile());

    for (const char* title : {"Escaping", "Letters"}) {
        Result r = Run({"project", "delete", title});
        EXPECT_EQ(r.code, 1) << r;
        EXPECT_NE(r.err.find("could not be removed"), std::string::npos) << r;
        r = Run({"url", "list", title});
        EXPECT_EQ(r.code, 1) << r;
        EXPECT_NE(r.err.find("no valid folder"), std::string::npos) << r;
        r = Run({"url", "add", title, "http://a/"});
        EXPECT_EQ(r.code, 1) << r;
    }
    EXPECT_EQ(ReadBytes(projectsFile()), before);
    EXPECT_EQ(ReadBytes(base() / "x" / "precious.txt"), "keep");
    EXPECT_EQ(ReadBytes(projects() / "abc" / "precious.txt"), "keep");
    EXPECT_FALSE(Exists(projects() / "abc" / "urls.dat"));
    EXPECT_FALSE(Exists(base() / "x" / "urls.dat"));
}

// --- URLs ---------------------------------------------------------------------------------

TEST_F(OrvexctlTest, UrlAddPrintsOneIdALineAndSkipsBlanks)
{
    NewProject("P");
    const std::vector<std::string> ids =
        AddUrls("P", {"http://a.example/", "", "   ", "  http://b.example/x  ", "http://"});
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 3u);
    for (const std::string& id : ids)
        EXPECT_TRUE(IsValidId(id)) << id;

    const RecordList records = UrlRecords(0);
    ASSERT_EQ(records.size(), 3u);
    const auto created = [&records](std::size_t i) {
        return TrimText(UrlFieldView(records[i], UrlField::Created));
    };
    ASSERT_TRUE(IsDateTime(created(0))) << created(0);
    const std::string expected = ids[0] + "\t\t\t" + created(0) + "\t\t\thttp://a.example/\n" +
                                 ids[1] + "\t\t\t" + created(1) + "\t\t\thttp://b.example/x\n" +
                                 ids[2] + "\t\t\t" + created(2) + "\t\t\thttp://\n";
    EXPECT_EQ(Ok({"url", "list", "P"}), expected);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::string(UrlFieldView(records[i], UrlField::Folder)), "00000000");

    // Only blanks: nothing added, nothing printed.
    EXPECT_EQ(Ok({"url", "add", "P", " "}), "");
    EXPECT_EQ(UrlRecords(0).size(), 3u);
}

TEST_F(OrvexctlTest, UrlAddFromStandardInput)
{
    NewProject("Many");
    QByteArray input;
    std::vector<std::string> urls;
    for (int i = 0; i < 3000; ++i) {
        const std::string url = "http://example.com/page/" + std::to_string(i);
        urls.push_back(url);
        // Mixed line ends, blanks around, blank lines between.
        input += QByteArray::fromStdString(i % 3 == 0 ? "  " + url + " \r\n" : url + "\n");
        if (i % 100 == 0)
            input += "\n   \r\n";
    }
    input += "http://example.com/last-without-line-end";
    urls.push_back("http://example.com/last-without-line-end");

    QElapsedTimer timer;
    timer.start();
    const std::vector<std::string> ids = Lines(Ok({"url", "add", "Many", "-"}, input));
    std::cout << "[ info ] url add - of " << urls.size() << " URLs took " << timer.elapsed()
              << " ms\n";
    ASSERT_EQ(ids.size(), urls.size());
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());

    const std::vector<std::string> listed = Lines(Ok({"url", "list", "Many"}));
    ASSERT_EQ(listed.size(), urls.size());
    for (std::size_t i = 0; i < urls.size(); ++i) {
        ASSERT_TRUE(listed[i].starts_with(ids[i] + "\t")) << listed[i];
        ASSERT_TRUE(listed[i].ends_with("\t" + urls[i])) << listed[i];
    }

    // Empty input adds nothing.
    EXPECT_EQ(Ok({"url", "add", "Many", "-"}, ""), "");
    EXPECT_EQ(UrlRecords(0).size(), urls.size());
}

TEST_F(OrvexctlTest, UrlListShowsStatusResultTimesAndTitle)
{
    NewProject("P");
    const std::vector<std::string> ids = AddUrls("P", {"http://a.example/", "http://b.example/"});
    {
        // What an update run would leave.
        SecondsCounter seconds;
        SaveGate gate(seconds);
        ProjectUrls urls(project(0), gate);
        ASSERT_TRUE(urls.Load().status.ok());
        RecordList& r = urls.records();
        SetUrlField(r, 0, "00007000", UrlField::Flags);
        SetUrlField(r, 0, "04/05/2007 06:07:08", UrlField::Updated);
        SetUrlField(r, 0, "404", UrlField::StatusCode);
        SetUrlField(r, 0, "Not\there", UrlField::Title);
        SetUrlField(r, 1, "00000000", UrlField::Flags);
        SetUrlField(r, 1, "200", UrlField::StatusCode);
        ASSERT_TRUE(urls.Save().ok());
    }
    const RecordList records = UrlRecords(0);
    const auto created = [&records](std::size_t i) {
        return TrimText(UrlFieldView(records[i], UrlField::Created));
    };
    const std::string expected = ids[0] + "\t404 Not Found\tOk\t" + created(0) +
                                 "\t04/05/2007 06:07:08\tNot here\thttp://a.example/\n" + ids[1] +
                                 "\t200 Ok\tFailed\t" + created(1) + "\t\t\thttp://b.example/\n";
    EXPECT_EQ(Ok({"url", "list", "P"}), expected);
}

TEST_F(OrvexctlTest, UrlListShowsALongUrlWhole)
{
    NewProject("P");
    const std::string longUrl = "http://long.example/" + std::string(1500, 'q');
    const std::vector<std::string> ids = AddUrls("P", {QString::fromStdString(longUrl)});
    const std::vector<std::string> listed = Lines(Ok({"url", "list", "P"}));
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_TRUE(listed[0].ends_with("\t" + longUrl));
}

TEST_F(OrvexctlTest, UrlEdit)
{
    NewProject("P");
    const std::vector<std::string> ids =
        AddUrls("P", {"http://a.example/", "http://b.example/page", "http://c.example/"});
    MakeFiles(0, ids[0]);
    {
        SecondsCounter seconds;
        SaveGate gate(seconds);
        ProjectUrls urls(project(0), gate);
        ASSERT_TRUE(urls.Load().status.ok());
        SetUrlField(urls.records(), 0, "01/01/2000 00:00:00", UrlField::Created);
        SetUrlField(urls.records(), 0, "404", UrlField::StatusCode);
        SetUrlField(urls.records(), 0, "Old title", UrlField::Title);
        ASSERT_TRUE(urls.Save().ok());
    }
    const QString id0 = QString::fromStdString(ids[0]);

    // An address the project holds already: refused, nothing changes.
    std::string before = ReadBytes(project(0) / "urls.dat");
    Result r = Run({"url", "edit", "P", id0, "http://b.example/page"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "orvexctl: URL already exists!\n");
    EXPECT_EQ(ReadBytes(project(0) / "urls.dat"), before);

    // The same text: nothing changes, not even Created.
    EXPECT_EQ(Ok({"url", "edit", "P", id0, "  http://a.example/ "}), "");
    EXPECT_EQ(ReadBytes(project(0) / "urls.dat"), before);

    // An unknown Id.
    r = Run({"url", "edit", "P", "5jhzzwa0000000a0000", "http://new.example/"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_NE(r.err.find("No URL with the Id 5jhzzwa0000000a0000"), std::string::npos) << r;
    EXPECT_EQ(ReadBytes(project(0) / "urls.dat"), before);

    // Differing only in case: accepted. Status and title are cleared, the Id
    // and the captured files stay.
    EXPECT_EQ(Ok({"url", "edit", "P", id0, "http://B.example/page"}), "");
    const RecordList records = UrlRecords(0);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(std::string(UrlFieldView(records[0], UrlField::Id)), ids[0]);
    EXPECT_EQ(TrimText(UrlFieldView(records[0], UrlField::Url)), "http://B.example/page");
    EXPECT_EQ(TrimText(UrlFieldView(records[0], UrlField::StatusCode)), "");
    EXPECT_EQ(TrimText(UrlFieldView(records[0], UrlField::Title)), "");
    EXPECT_NE(TrimText(UrlFieldView(records[0], UrlField::Created)), "01/01/2000 00:00:00");
    for (const fs::path& file : UrlFilePaths(project(0), ids[0]))
        EXPECT_TRUE(Exists(file)) << file;
    const std::vector<std::string> listed = Lines(Ok({"url", "list", "P"}));
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0], ids[0] + "\t\t\t" + TrimText(UrlFieldView(records[0], UrlField::Created)) +
                             "\t\t\thttp://B.example/page");
}

TEST_F(OrvexctlTest, UrlDeleteRemovesRecordsFilesAndAtLastTheReviewPages)
{
    NewProject("P");
    const std::vector<std::string> ids =
        AddUrls("P", {"http://0/", "http://1/", "http://2/", "http://3/"});
    for (const std::string& id : ids)
        MakeFiles(0, id);
    for (const fs::path& page : ReviewPagePaths(project(0)))
        WriteBytes(page, "<html>");
    const QString id1 = QString::fromStdString(ids[1]);
    const QString id3 = QString::fromStdString(ids[3]);

    // One unknown Id: refused, nothing changes.
    const std::string before = ReadBytes(project(0) / "urls.dat");
    Result r = Run({"url", "delete", "P", id1, "5jhzzwa0000000a0000"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_NE(r.err.find("nothing deleted"), std::string::npos) << r;
    EXPECT_EQ(ReadBytes(project(0) / "urls.dat"), before);
    for (const fs::path& file : UrlFilePaths(project(0), ids[1]))
        EXPECT_TRUE(Exists(file)) << file;

    EXPECT_EQ(Ok({"url", "delete", "P", id3, id1}), "");
    RecordList records = UrlRecords(0);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(std::string(UrlFieldView(records[0], UrlField::Id)), ids[0]);
    EXPECT_EQ(std::string(UrlFieldView(records[1], UrlField::Id)), ids[2]);
    for (int gone : {1, 3}) {
        for (const fs::path& file : UrlFilePaths(project(0), ids[gone]))
            EXPECT_FALSE(Exists(file)) << file;
    }
    for (int kept : {0, 2}) {
        for (const fs::path& file : UrlFilePaths(project(0), ids[kept]))
            EXPECT_TRUE(Exists(file)) << file;
    }
    for (const fs::path& page : ReviewPagePaths(project(0)))
        EXPECT_TRUE(Exists(page)) << page;

    EXPECT_EQ(
        Ok({"url", "delete", "P", QString::fromStdString(ids[0]), QString::fromStdString(ids[2])}),
        "");
    EXPECT_EQ(Ok({"url", "list", "P"}), "");
    EXPECT_EQ(fs::file_size(project(0) / "urls.dat"), 0u);
    for (const fs::path& page : ReviewPagePaths(project(0)))
        EXPECT_FALSE(Exists(page)) << page;
}

// --- Damage ---------------------------------------------------------------------------

TEST_F(OrvexctlTest, ADamagedUrlsDatIsSetAsideAndReported)
{
    NewProject("P");
    AddUrls("P", {"http://a/"});
    fs::remove(project(0) / "urls.dat");
    fs::copy_file(kFixtures / "damaged_truncated.dat", project(0) / "urls.dat");
    const std::string original = ReadBytes(kFixtures / "damaged_truncated.dat");

    // The command that finds it stops with exit 1, and adds nothing.
    Result r = Run({"url", "add", "P", "http://b/"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_EQ(r.out, "");
    const std::vector<fs::path> copies = DamagedCopies(project(0) / "urls.dat");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadBytes(copies[0]), original);
    EXPECT_TRUE(r.err.starts_with("orvexctl: ")) << r;
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r;
    EXPECT_NE(r.err.find(copies[0].string()), std::string::npos) << r;
    EXPECT_EQ(fs::file_size(project(0) / "urls.dat"), 0u);

    // The next command works on the fresh, empty list.
    EXPECT_EQ(Ok({"url", "list", "P"}), "");
    EXPECT_EQ(AddUrls("P", {"http://c/"}).size(), 1u);
    EXPECT_EQ(ReadBytes(copies[0]), original);

    // url list finds damage the same way.
    fs::remove(project(0) / "urls.dat");
    fs::copy_file(kFixtures / "damaged_garbage.dat", project(0) / "urls.dat");
    r = Run({"url", "list", "P"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(DamagedCopies(project(0) / "urls.dat").size(), 2u);
}

TEST_F(OrvexctlTest, ADamagedProjectsDatIsSetAsideAndReported)
{
    fs::create_directories(projects());
    fs::copy_file(kFixtures / "damaged_garbage.dat", projectsFile());
    Result r = Run({"project", "new", "P"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r;
    const std::vector<fs::path> copies = DamagedCopies(projectsFile());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadBytes(copies[0]), ReadBytes(kFixtures / "damaged_garbage.dat"));
    EXPECT_FALSE(Exists(project(0)));

    EXPECT_EQ(Ok({"project", "list"}), "");
    NewProject("P");
    EXPECT_EQ(Lines(Ok({"project", "list"})).size(), 1u);
}

TEST_F(OrvexctlTest, AnUnreadableUrlsDatIsAFailureAndNeverSavedOver)
{
    NewProject("P");
    fs::create_directories(project(0) / "urls.dat" / "inside");
    for (const QStringList& args :
         {QStringList{"url", "list", "P"}, QStringList{"url", "add", "P", "http://a/"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 1) << r;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("urls.dat"), std::string::npos) << r;
    }
    EXPECT_TRUE(fs::is_directory(project(0) / "urls.dat" / "inside"));
    EXPECT_TRUE(DamagedCopies(project(0) / "urls.dat").empty());
}

// --- The desktop program's lock -----------------------------------------------------------

TEST_F(OrvexctlTest, ChangingCommandsRefuseWhileTheDesktopProgramHoldsTheWorkspace)
{
    const std::string id = NewProject("P");
    const std::vector<std::string> ids = AddUrls("P", {"http://a/", "http://b/"});
    const std::string projectsBefore = ReadBytes(projectsFile());
    const std::string urlsBefore = ReadBytes(project(0) / "urls.dat");

    LockHolder desktop;
    ASSERT_TRUE(desktop.Start(DesktopStandIn(), ws()));
    const QString u0 = QString::fromStdString(ids[0]);
    for (const QStringList& args :
         {QStringList{"project", "new", "Q"}, QStringList{"project", "rename", "P", "R"},
          QStringList{"project", "delete", "P"}, QStringList{"url", "add", "P", "http://c/"},
          QStringList{"url", "edit", "P", u0, "http://d/"},
          QStringList{"url", "delete", "P", u0}}) {
        QElapsedTimer timer;
        timer.start();
        const Result r = Run(args);
        EXPECT_LT(timer.elapsed(), 5000) << args.join(' ').toStdString() << " waited";
        EXPECT_EQ(r.code, 1) << args.join(' ').toStdString() << "\n" << r;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.err.starts_with("orvexctl: The workspace is open in Orvex")) << r;
        EXPECT_NE(r.err.find("Close Orvex first"), std::string::npos) << r;
    }
    EXPECT_EQ(ReadBytes(projectsFile()), projectsBefore);
    EXPECT_EQ(ReadBytes(project(0) / "urls.dat"), urlsBefore);
    EXPECT_FALSE(Exists(project(1)));

    // Reading still works meanwhile.
    const std::vector<std::string> projectsListed = Lines(Ok({"project", "list"}));
    ASSERT_EQ(projectsListed.size(), 1u);
    EXPECT_TRUE(projectsListed[0].starts_with(id + "\t00000000\t")) << projectsListed[0];
    EXPECT_TRUE(projectsListed[0].ends_with("\tP")) << projectsListed[0];
    EXPECT_EQ(Lines(Ok({"url", "list", "P"})).size(), 2u);

    desktop.Release();
    NewProject("Q");
    EXPECT_EQ(Lines(Ok({"project", "list"})).size(), 2u);
}

TEST_F(OrvexctlTest, AChangingCommandWaitsForAnotherCommandToFinish)
{
    NewProject("P");
    LockHolder other; // this test program: not the desktop program
    ASSERT_TRUE(other.Start(Self(), ws(), 700));
    QElapsedTimer timer;
    timer.start();
    NewProject("Q");
    EXPECT_LT(timer.elapsed(), 9000);
    EXPECT_EQ(ProjectRecords().size(), 2u);
}

} // namespace
} // namespace orvex
