// The workspace tree and its project index: opening,
// CreateProject, NextFolderNumber, titles, rename, DeleteProjects, damage.
#include "support/TestFiles.h"
#include "workspace/RecordFile.h"
#include "workspace/RecordLayout.h"
#include "workspace/UniqueId.h"
#include "workspace/Workspace.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace orvex {
namespace {

using namespace orvex::testfiles;

const fs::path kFixtures = fs::path(ORVEX_TEST_DATA) / "workspace";

std::string Field(const std::string& record, int field)
{
    return TrimText(ProjectFieldView(record, field));
}

class WorkspaceTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    fs::path root() const { return fs::path(dir_.path().toStdString()); }
    fs::path projects() const { return root() / "Projects"; }

    // A workspace whose projects.dat is the given fixture.
    void UseFixture(const char* name)
    {
        fs::create_directories(projects());
        fs::copy_file(kFixtures / name, projects() / "projects.dat");
    }

    std::string Create(Workspace& ws, std::string_view title, std::string_view description = {})
    {
        std::string id;
        const Status status = ws.CreateProject(title, description, id);
        EXPECT_TRUE(status.ok()) << status.message();
        return id;
    }

    QTemporaryDir dir_;
};

// --- Open ---------------------------------------------------------------------

TEST_F(WorkspaceTest, OpenMakesProjectsTmpAndAnEmptyIndex)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    EXPECT_TRUE(fs::is_directory(projects()));
    EXPECT_TRUE(fs::is_directory(root() / "TMP"));
    ASSERT_TRUE(fs::is_regular_file(projects() / "projects.dat"));
    EXPECT_EQ(fs::file_size(projects() / "projects.dat"), 0u);
    EXPECT_TRUE(ws.projects().empty());
    EXPECT_TRUE(ws.TakeDamageReports().empty());

    EXPECT_EQ(ws.projectsFile(), projects() / "projects.dat");
    EXPECT_EQ(ws.tmpDir(), root() / "TMP");
    EXPECT_EQ(ws.clipDir(), root() / "TMP" / "Clip");
    EXPECT_EQ(ws.settingsFile(), root() / "orx.ini");
}

TEST_F(WorkspaceTest, OpenKeepsWhatIsThere)
{
    UseFixture("projects_folders_0_and_7.dat");
    const std::string before = ReadBytes(projects() / "projects.dat");
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    ASSERT_EQ(ws.projects().size(), 2u);
    EXPECT_EQ(Field(ws.projects()[0], ProjectField::Title), "First");
    EXPECT_EQ(Field(ws.projects()[0], ProjectField::Description), "the first project");
    EXPECT_EQ(Field(ws.projects()[1], ProjectField::Folder), "00000007");
    EXPECT_EQ(ReadBytes(projects() / "projects.dat"), before);
}

TEST_F(WorkspaceTest, OpenReadOnlyCreatesNothing)
{
    Workspace ws(root(), AccessMode::ReadOnly);
    ASSERT_TRUE(ws.Open().ok());
    EXPECT_TRUE(ws.projects().empty());
    EXPECT_FALSE(Exists(projects()));
    EXPECT_FALSE(Exists(root() / "TMP"));
    EXPECT_FALSE(ws.SaveProjects().ok());
    std::string id;
    EXPECT_FALSE(ws.CreateProject("P", "", id).ok());
    EXPECT_TRUE(id.empty());
    EXPECT_FALSE(Exists(projects()));
}

TEST_F(WorkspaceTest, OpenFailsWhenProjectsCannotBeMade)
{
    WriteBytes(projects(), "a file where the folder belongs");
    Workspace ws(root());
    const Status status = ws.Open();
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.message(), "Unable to create \"Projects\" folder!    ");
}

// --- CreateProject and NextFolderNumber ----------------------------------------

TEST_F(WorkspaceTest, FirstProjectGetsFolder00000000WithItsSubfolders)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    EXPECT_EQ(ws.NextFolderNumber(), 0);
    const std::string id = Create(ws, "  My project  ", "  about it  ");
    EXPECT_TRUE(IsValidId(id)) << id;

    const fs::path folder = projects() / "00000000";
    EXPECT_TRUE(fs::is_directory(folder / "Icon"));
    EXPECT_TRUE(fs::is_directory(folder / "Screenshot"));
    EXPECT_TRUE(fs::is_directory(folder / "Data"));

    ASSERT_EQ(ws.projects().size(), 1u);
    const std::string& record = ws.projects()[0];
    EXPECT_EQ(record.size(), kProjectRecordLength);
    EXPECT_EQ(std::string(ProjectFieldView(record, ProjectField::Flags)), "00000000");
    EXPECT_EQ(std::string(ProjectFieldView(record, ProjectField::Id)), id);
    EXPECT_EQ(std::string(ProjectFieldView(record, ProjectField::Folder)), "00000000");
    EXPECT_TRUE(QRegularExpression("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$")
                    .match(QString::fromStdString(Field(record, ProjectField::Created)))
                    .hasMatch())
        << record;
    EXPECT_EQ(std::string(ProjectFieldView(record, ProjectField::Updated)), std::string(19, ' '));
    EXPECT_EQ(std::string(ProjectFieldView(record, ProjectField::Title)),
              PadRight("My project", 128));
    EXPECT_EQ(std::string(ProjectFieldView(record, ProjectField::Description)),
              PadRight("about it", 256));
    EXPECT_EQ(ws.ProjectFolder(record), folder);

    // Not saved by CreateProject itself; saved by SaveProjects.
    EXPECT_EQ(fs::file_size(projects() / "projects.dat"), 0u);
    ASSERT_TRUE(ws.SaveProjects().ok());
    EXPECT_EQ(LoadList(projects() / "projects.dat"), ws.projects());

    EXPECT_EQ(ws.NextFolderNumber(), 1);
    Create(ws, "Second");
    ASSERT_EQ(ws.projects().size(), 2u);
    EXPECT_EQ(Field(ws.projects()[1], ProjectField::Folder), "00000001");
}

TEST_F(WorkspaceTest, NextFolderNumberFollowsTheLargestFolder)
{
    UseFixture("projects_folders_0_and_7.dat");
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    EXPECT_EQ(ws.NextFolderNumber(), 8);
    Create(ws, "Eighth");
    ASSERT_EQ(ws.projects().size(), 3u);
    EXPECT_EQ(Field(ws.projects()[2], ProjectField::Folder), "00000008");
    EXPECT_TRUE(fs::is_directory(projects() / "00000008" / "Data"));
}

TEST_F(WorkspaceTest, AFolderOnDiskWithoutARecordIsSkipped)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    Create(ws, "Zero");
    ASSERT_TRUE(ws.SaveProjects().ok());
    // Folder 00000001 exists, but projects.dat only knows 00000000.
    fs::create_directories(projects() / "00000001");
    WriteBytes(projects() / "00000001" / "leftover.txt", "old");

    EXPECT_EQ(ws.NextFolderNumber(), 1);
    Create(ws, "Two");
    ASSERT_EQ(ws.projects().size(), 2u);
    EXPECT_EQ(Field(ws.projects()[1], ProjectField::Folder), "00000002");
    EXPECT_EQ(ReadBytes(projects() / "00000001" / "leftover.txt"), "old");
}

TEST_F(WorkspaceTest, ADanglingLinkTakesItsNumberToo)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    fs::create_symlink(root() / "nowhere", projects() / "00000000");
    Create(ws, "After the link");
    ASSERT_EQ(ws.projects().size(), 1u);
    EXPECT_EQ(Field(ws.projects()[0], ProjectField::Folder), "00000001");
    EXPECT_TRUE(fs::is_symlink(projects() / "00000000"));
}

TEST_F(WorkspaceTest, FolderNumbersDoNotGrowPastEightDigits)
{
    fs::create_directories(projects());
    SaveList(projects() / "projects.dat", {MakeProjectRecord("5jhzzwa0000000z0000", "99999999",
                                                             "01/01/2007 00:00:00", "Last", "")});
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    std::string id;
    const Status status = ws.CreateProject("Too far", "", id);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.message(), "Error!    ");
    EXPECT_TRUE(id.empty());
    EXPECT_EQ(ws.projects().size(), 1u);
    EXPECT_FALSE(Exists(projects() / "100000000"));
    EXPECT_FALSE(Exists(projects() / "10000000"));
}

TEST_F(WorkspaceTest, CreateProjectFailsWhenTheFolderCannotBeMade)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    // Projects replaced by a file after opening: no project folder can be made.
    fs::remove(projects() / "projects.dat");
    fs::remove(projects());
    WriteBytes(projects(), "not a folder");
    std::string id;
    const Status status = ws.CreateProject("P", "", id);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.message(), "Error!    ");
    EXPECT_TRUE(id.empty());
    EXPECT_TRUE(ws.projects().empty());
}

TEST_F(WorkspaceTest, CreatedIdsDiffer)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    std::vector<std::string> ids;
    for (int i = 0; i < 20; ++i)
        ids.push_back(Create(ws, "P" + std::to_string(i)));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end());
    ASSERT_EQ(ws.projects().size(), 20u);
    EXPECT_EQ(Field(ws.projects()[19], ProjectField::Folder), "00000019");
}

TEST_F(WorkspaceTest, TitlesAreCutAndLineBreaksBecomeBlanks)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    Create(ws, std::string(200, 't'), "line one\r\nline two");
    ASSERT_EQ(ws.projects().size(), 1u);
    const std::string& record = ws.projects()[0];
    EXPECT_EQ(record.size(), kProjectRecordLength);
    EXPECT_EQ(Field(record, ProjectField::Title), std::string(128, 't'));
    EXPECT_EQ(Field(record, ProjectField::Description), "line one  line two");
}

// --- TitleExists ----------------------------------------------------------------

TEST_F(WorkspaceTest, TitleExistsIsExactIncludingCase)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    Create(ws, "Alpha");
    EXPECT_TRUE(ws.TitleExists("Alpha"));
    EXPECT_TRUE(ws.TitleExists("  Alpha \t"));
    EXPECT_FALSE(ws.TitleExists("alpha"));
    EXPECT_FALSE(ws.TitleExists("ALPHA"));
    EXPECT_FALSE(ws.TitleExists("Alph"));
    EXPECT_FALSE(ws.TitleExists("Alpha beta"));

    // Two titles that differ only in case are both accepted.
    Create(ws, "alpha");
    EXPECT_TRUE(ws.TitleExists("alpha"));
    EXPECT_EQ(ws.projects().size(), 2u);

    // Unicode case counts too.
    Create(ws, "Ärger");
    EXPECT_TRUE(ws.TitleExists("Ärger"));
    EXPECT_FALSE(ws.TitleExists("ärger"));
}

TEST_F(WorkspaceTest, TitleExistsComparesWhatWouldBeStored)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    const std::string long128(128, 'x');
    Create(ws, long128);
    // Longer titles are stored cut to 128: the same project title.
    EXPECT_TRUE(ws.TitleExists(long128 + "yyy"));
    Create(ws, "two words");
    EXPECT_TRUE(ws.TitleExists("two\nwords"));
    EXPECT_FALSE(ws.TitleExists(""));
}

// --- RenameProject -------------------------------------------------------------

TEST_F(WorkspaceTest, RenameSetsTitleAndDescriptionAndSaves)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    Create(ws, "Old", "old words");
    Create(ws, "Other", "other words");
    ASSERT_TRUE(ws.SaveProjects().ok());
    const std::string before = ws.projects()[0];

    ASSERT_TRUE(ws.RenameProject(0, "  New  ", "new\nwords").ok());
    const std::string& after = ws.projects()[0];
    EXPECT_EQ(after.size(), kProjectRecordLength);
    EXPECT_EQ(Field(after, ProjectField::Title), "New");
    EXPECT_EQ(Field(after, ProjectField::Description), "new words");
    for (int f :
         {ProjectField::Flags, ProjectField::Id, ProjectField::Folder, ProjectField::Created,
          ProjectField::Updated, ProjectField::Reserved6, ProjectField::Reserved7})
        EXPECT_EQ(ProjectFieldView(after, f), ProjectFieldView(before, f)) << "field " << f;
    EXPECT_EQ(LoadList(projects() / "projects.dat"), ws.projects());
    EXPECT_EQ(Field(ws.projects()[1], ProjectField::Title), "Other");

    EXPECT_FALSE(ws.RenameProject(5, "x", "y").ok());
}

// --- FindProjects and ProjectFolder ----------------------------------------------

TEST_F(WorkspaceTest, FindProjectsByIdOrExactTitle)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    const std::string a = Create(ws, "Same");
    const std::string b = Create(ws, "Same");
    const std::string c = Create(ws, "Single");
    EXPECT_EQ(ws.FindProjects(c), std::vector<std::size_t>{2});
    EXPECT_EQ(ws.FindProjects(b), std::vector<std::size_t>{1});
    EXPECT_EQ(ws.FindProjects("Single"), std::vector<std::size_t>{2});
    EXPECT_EQ(ws.FindProjects("  Single "), std::vector<std::size_t>{2});
    EXPECT_EQ(ws.FindProjects("Same"), (std::vector<std::size_t>{0, 1}));
    EXPECT_TRUE(ws.FindProjects("single").empty());
    EXPECT_TRUE(ws.FindProjects("nothing").empty());
    EXPECT_TRUE(ws.FindProjects(a.substr(0, 18)).empty());
}

TEST_F(WorkspaceTest, ProjectFolderNeedsEightDigits)
{
    Workspace ws(root());
    const auto record = [](std::string_view folder) {
        return MakeProjectRecord("5jhzzwa0000000a0000", folder, "01/01/2007 00:00:00", "T", "");
    };
    EXPECT_EQ(ws.ProjectFolder(record("00000012")), projects() / "00000012");
    for (const char* bad :
         {"../../x", "abc", "", "0000001", "0000001a", "/etc", "..", "-0000001", "0000 001"})
        EXPECT_FALSE(ws.ProjectFolder(record(bad))) << bad;
    EXPECT_FALSE(ws.ProjectFolder("short record"));
}

// --- DeleteProjects --------------------------------------------------------------

TEST_F(WorkspaceTest, DeleteProjectsRemovesFoldersAndExactlyTheChosenRecords)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    for (const char* title : {"A", "B", "C", "D", "E"})
        Create(ws, title);
    WriteBytes(projects() / "00000001" / "urls.dat", "");
    WriteBytes(projects() / "00000001" / "Data" / "x.txt", "x");
    WriteBytes(projects() / "00000003" / "preview1.html", "<html>");
    ASSERT_TRUE(ws.SaveProjects().ok());
    const RecordList before = ws.projects();

    Status saved = Status::Ok();
    // Chosen out of order, one twice: B and D go.
    const auto survived = ws.DeleteProjects({3, 1, 3}, saved);
    EXPECT_TRUE(saved.ok()) << saved.message();
    EXPECT_TRUE(survived.empty());
    EXPECT_FALSE(Exists(projects() / "00000001"));
    EXPECT_FALSE(Exists(projects() / "00000003"));
    for (const char* kept : {"00000000", "00000002", "00000004"})
        EXPECT_TRUE(fs::is_directory(projects() / kept / "Data")) << kept;

    const RecordList expected = {before[0], before[2], before[4]};
    EXPECT_EQ(ws.projects(), expected);
    EXPECT_EQ(LoadList(projects() / "projects.dat"), expected);

    // Out-of-range indices are ignored.
    EXPECT_TRUE(ws.DeleteProjects({17}, saved).empty());
    EXPECT_EQ(ws.projects(), expected);
}

TEST_F(WorkspaceTest, DeleteProjectsWithAMissingFolderRemovesTheRecord)
{
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    Create(ws, "A");
    Create(ws, "B");
    ASSERT_TRUE(ws.SaveProjects().ok());
    fs::remove_all(projects() / "00000000");
    Status saved = Status::Ok();
    EXPECT_TRUE(ws.DeleteProjects({0}, saved).empty());
    ASSERT_EQ(ws.projects().size(), 1u);
    EXPECT_EQ(Field(ws.projects()[0], ProjectField::Title), "B");
}

TEST_F(WorkspaceTest, ARecordWithABadFolderNeverLeadsToADeletion)
{
    // The workspace is <tmp>/ws; Projects/../../x is <tmp>/x.
    const fs::path wsRoot = root() / "ws";
    fs::create_directories(wsRoot / "Projects" / "abc");
    fs::create_directories(wsRoot / "Projects" / "00000001" / "Data");
    fs::create_directories(root() / "x");
    WriteBytes(root() / "x" / "precious.txt", "keep");
    WriteBytes(wsRoot / "Projects" / "abc" / "precious.txt", "keep");
    fs::copy_file(kFixtures / "projects_bad_folders.dat", wsRoot / "Projects" / "projects.dat");

    Workspace ws(wsRoot);
    ASSERT_TRUE(ws.Open().ok());
    ASSERT_EQ(ws.projects().size(), 3u);
    EXPECT_FALSE(ws.ProjectFolder(ws.projects()[0]));
    EXPECT_FALSE(ws.ProjectFolder(ws.projects()[1]));
    const RecordList before = ws.projects();

    Status saved = Status::Ok();
    auto survived = ws.DeleteProjects({0, 1}, saved);
    std::sort(survived.begin(), survived.end());
    EXPECT_EQ(survived, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(ws.projects(), before);
    EXPECT_EQ(ReadBytes(root() / "x" / "precious.txt"), "keep");
    EXPECT_EQ(ReadBytes(wsRoot / "Projects" / "abc" / "precious.txt"), "keep");

    // With a proper one among them, only the proper one goes.
    survived = ws.DeleteProjects({0, 2, 1}, saved);
    std::sort(survived.begin(), survived.end());
    EXPECT_EQ(survived, (std::vector<std::size_t>{0, 1}));
    EXPECT_FALSE(Exists(wsRoot / "Projects" / "00000001"));
    EXPECT_EQ(ws.projects(), (RecordList{before[0], before[1]}));
    EXPECT_EQ(ReadBytes(root() / "x" / "precious.txt"), "keep");
    EXPECT_EQ(ReadBytes(wsRoot / "Projects" / "abc" / "precious.txt"), "keep");
    EXPECT_EQ(LoadList(wsRoot / "Projects" / "projects.dat"), ws.projects());
}

TEST_F(WorkspaceTest, DeletingAProjectWhoseFolderIsALinkKeepsTheTarget)
{
    fs::create_directories(projects());
    fs::create_directories(root() / "elsewhere" / "Data");
    WriteBytes(root() / "elsewhere" / "Data" / "precious.txt", "keep");
    fs::create_directory_symlink(root() / "elsewhere", projects() / "00000000");
    SaveList(projects() / "projects.dat", {MakeProjectRecord("5jhzzwa0000000a0000", "00000000",
                                                             "01/01/2007 00:00:00", "Linked", "")});
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    Status saved = Status::Ok();
    EXPECT_TRUE(ws.DeleteProjects({0}, saved).empty());
    EXPECT_FALSE(Exists(projects() / "00000000"));
    EXPECT_EQ(ReadBytes(root() / "elsewhere" / "Data" / "precious.txt"), "keep");
}

// --- Damaged and unreadable projects.dat ---------------------------------------------

class DamagedIndex : public WorkspaceTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(DamagedIndex, IsSetAsideAndReported)
{
    UseFixture(GetParam());
    const std::string original = ReadBytes(kFixtures / GetParam());
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    EXPECT_TRUE(ws.projects().empty());

    const std::vector<fs::path> copies = DamagedCopies(projects() / "projects.dat");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadBytes(copies[0]), original);
    EXPECT_EQ(fs::file_size(projects() / "projects.dat"), 0u);

    const std::vector<DamageReport> reports = ws.TakeDamageReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].file, projects() / "projects.dat");
    ASSERT_TRUE(reports[0].setAside);
    EXPECT_EQ(*reports[0].setAside, copies[0]);
    const std::string message = reports[0].Message();
    EXPECT_NE(message.find((projects() / "projects.dat").string()), std::string::npos) << message;
    EXPECT_NE(message.find(copies[0].string()), std::string::npos) << message;
    EXPECT_TRUE(ws.TakeDamageReports().empty());

    // The fresh, empty list works; the set-aside file stays as it was.
    std::string id;
    ASSERT_TRUE(ws.CreateProject("After", "", id).ok());
    ASSERT_TRUE(ws.SaveProjects().ok());
    EXPECT_EQ(ReadBytes(copies[0]), original);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedIndex,
                         ::testing::Values("damaged_garbage.dat", "damaged_truncated.dat"));

TEST_F(WorkspaceTest, ADamagedIndexSetAsideTwiceKeepsBothCopies)
{
    UseFixture("damaged_garbage.dat");
    {
        Workspace ws(root());
        ASSERT_TRUE(ws.Open().ok());
    }
    fs::remove(projects() / "projects.dat");
    fs::copy_file(kFixtures / "damaged_truncated.dat", projects() / "projects.dat");
    Workspace ws(root());
    ASSERT_TRUE(ws.Open().ok());
    const std::vector<fs::path> copies = DamagedCopies(projects() / "projects.dat");
    ASSERT_EQ(copies.size(), 2u);
    std::vector<std::string> contents = {ReadBytes(copies[0]), ReadBytes(copies[1])};
    std::sort(contents.begin(), contents.end());
    std::vector<std::string> expected = {ReadBytes(kFixtures / "damaged_garbage.dat"),
                                         ReadBytes(kFixtures / "damaged_truncated.dat")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(contents, expected);
}

TEST_F(WorkspaceTest, ADamagedIndexReadOnlyIsAnErrorAndStaysInPlace)
{
    UseFixture("damaged_garbage.dat");
    Workspace ws(root(), AccessMode::ReadOnly);
    EXPECT_FALSE(ws.Open().ok());
    EXPECT_TRUE(DamagedCopies(projects() / "projects.dat").empty());
    EXPECT_EQ(ReadBytes(projects() / "projects.dat"), ReadBytes(kFixtures / "damaged_garbage.dat"));
}

TEST_F(WorkspaceTest, AnUnreadableIndexIsAnErrorAndNeverSavedOver)
{
    fs::create_directories(projects() / "projects.dat");
    WriteBytes(projects() / "projects.dat" / "inside", "x");
    Workspace ws(root());
    const Status opened = ws.Open();
    EXPECT_FALSE(opened.ok());
    EXPECT_NE(opened.message().find("projects.dat"), std::string::npos) << opened.message();
    EXPECT_TRUE(ws.TakeDamageReports().empty());
    EXPECT_TRUE(DamagedCopies(projects() / "projects.dat").empty());

    EXPECT_FALSE(ws.SaveProjects().ok());
    std::string id;
    EXPECT_FALSE(ws.CreateProject("P", "", id).ok());
    EXPECT_FALSE(Exists(projects() / "00000000"));
    EXPECT_TRUE(fs::is_directory(projects() / "projects.dat"));
    EXPECT_EQ(ReadBytes(projects() / "projects.dat" / "inside"), "x");
}

} // namespace
} // namespace orvex
