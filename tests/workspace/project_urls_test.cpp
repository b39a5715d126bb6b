// The URL records of a project and the record changes of New URL, Edit URL
// and Delete selected, with urls.dat damage handling.
#include "support/TestFiles.h"
#include "workspace/Folders.h"
#include "workspace/ProjectUrls.h"
#include "workspace/RecordFile.h"
#include "workspace/RecordLayout.h"
#include "workspace/SaveGate.h"
#include "workspace/SecondsCounter.h"
#include "workspace/UniqueId.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace orvex {
namespace {

using namespace orvex::testfiles;

const fs::path kFixtures = fs::path(ORVEX_TEST_DATA) / "workspace";

std::string Field(const std::string& record, int field)
{
    return TrimText(UrlFieldView(record, field));
}

class ProjectUrlsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        seconds_.Start();
        for (const char* sub : {"Icon", "Screenshot", "Data"})
            fs::create_directories(folder() / sub);
    }
    fs::path folder() const
    {
        return fs::path(dir_.path().toStdString()) / "Projects" / "00000004";
    }
    fs::path urlsFile() const { return folder() / "urls.dat"; }

    // A loaded list of the given URLs, saved.
    ProjectUrls Loaded()
    {
        ProjectUrls urls(folder(), gate_);
        const LoadOutcome outcome = urls.Load();
        EXPECT_TRUE(outcome.status.ok()) << outcome.status.message();
        EXPECT_FALSE(outcome.damage);
        return urls;
    }

    void MakeFiles(const std::string& id)
    {
        for (const fs::path& file : UrlFilePaths(folder(), id))
            WriteBytes(file, "captured for " + id);
    }

    // Gives record i what an update run would have left in it.
    static void PretendCaptured(ProjectUrls& urls, long long i)
    {
        RecordList& r = urls.records();
        SetUrlField(r, i, "12317678", UrlField::Flags);
        SetUrlField(r, i, "01/02/2000 03:04:05", UrlField::Created);
        SetUrlField(r, i, "01/03/2000 03:04:05", UrlField::Updated);
        SetUrlField(r, i, "01/03/2000 03:04:06", UrlField::Captured);
        SetUrlField(r, i, "1234567890123456", UrlField::Reserved8);
        SetUrlField(r, i, "6543210987654321", UrlField::Reserved9);
        SetUrlField(r, i, "404", UrlField::StatusCode);
        SetUrlField(r, i, "A page", UrlField::Title);
        SetUrlField(r, i, "some, keywords", UrlField::Keywords);
        SetUrlField(r, i, "A description", UrlField::Description);
        SetUrlField(r, i, PackProperties({"1234", "text/html", "utf-8", "01/01/2000 00:00:00"}),
                    UrlField::Properties);
    }

    QTemporaryDir dir_;
    SecondsCounter seconds_;
    SaveGate gate_{seconds_};
};

// --- Load and Save ---------------------------------------------------------------

TEST_F(ProjectUrlsTest, LoadCreatesAnEmptyUrlsDat)
{
    ProjectUrls urls = Loaded();
    EXPECT_TRUE(urls.records().empty());
    ASSERT_TRUE(fs::is_regular_file(urlsFile()));
    EXPECT_EQ(fs::file_size(urlsFile()), 0u);
    EXPECT_EQ(urls.urlsFile(), urlsFile());
    EXPECT_EQ(urls.folderName(), "00000004");
    EXPECT_EQ(ProjectUrls(folder() / "", gate_).folderName(), "00000004");
}

TEST_F(ProjectUrlsTest, ReadOnlyLoadCreatesNothingAndSaveRefuses)
{
    ProjectUrls urls(folder(), gate_, AccessMode::ReadOnly);
    EXPECT_TRUE(urls.Load().status.ok());
    EXPECT_FALSE(Exists(urlsFile()));
    urls.AddUrl("http://a.example/");
    EXPECT_FALSE(urls.Save().ok());
    EXPECT_FALSE(Exists(urlsFile()));
}

// --- AddUrls ---------------------------------------------------------------------

TEST_F(ProjectUrlsTest, AddManyUrlsGivesDistinctIdsAndRecords)
{
    ProjectUrls urls = Loaded();
    std::vector<std::string> input;
    for (int i = 0; i < 2000; ++i)
        input.push_back("  http://example.com/page/" + std::to_string(i) + "\t");
    input.push_back(""); // taken as typed, like New URL with an empty text
    input.push_back("http://");
    const std::vector<std::string> ids = urls.AddUrls(input);

    ASSERT_EQ(ids.size(), input.size());
    ASSERT_EQ(urls.records().size(), input.size());
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string& record = urls.records()[i];
        ASSERT_TRUE(IsValidId(ids[i])) << ids[i];
        EXPECT_EQ(std::string(UrlFieldView(record, UrlField::Id)), ids[i]);
        EXPECT_EQ(std::string(UrlFieldView(record, UrlField::Folder)), "00000004");
        EXPECT_EQ(std::string(UrlFieldView(record, UrlField::Url)), TrimText(input[i]));
        EXPECT_EQ(std::string(UrlFieldView(record, UrlField::Flags)), "0000 000");
        EXPECT_EQ(Field(record, UrlField::StatusCode), "");
        EXPECT_EQ(record.size(), kUrlFixedLength + TrimText(input[i]).size());
    }
    EXPECT_EQ(urls.FindRecord(ids[1234]), 1234);
    EXPECT_EQ(urls.FindRecord("5jhzzwa0000000a0000"), -1);

    // Not saved until Save.
    EXPECT_EQ(fs::file_size(urlsFile()), 0u);
    ASSERT_TRUE(urls.Save().ok());
    EXPECT_EQ(LoadList(urlsFile()), urls.records());

    // More added later never repeat an Id of the project.
    const std::vector<std::string> more = urls.AddUrls({"http://more.example/"});
    EXPECT_EQ(std::count(ids.begin(), ids.end(), more[0]), 0);
    EXPECT_EQ(urls.AddUrl(" http://one.example/ ").size(), kIdLength);
    EXPECT_EQ(Field(urls.records().back(), UrlField::Url), "http://one.example/");
}

TEST_F(ProjectUrlsTest, HoldsUrlIsExact)
{
    ProjectUrls urls = Loaded();
    urls.AddUrls({"http://a.example/Path", "http://b.example/"});
    EXPECT_TRUE(urls.HoldsUrl("http://a.example/Path"));
    EXPECT_TRUE(urls.HoldsUrl("  http://a.example/Path  "));
    EXPECT_FALSE(urls.HoldsUrl("http://a.example/path"));
    EXPECT_FALSE(urls.HoldsUrl("http://a.example/Pat"));
    EXPECT_FALSE(urls.HoldsUrl(""));
}

// --- EditUrl -----------------------------------------------------------------------

TEST_F(ProjectUrlsTest, EditClearsTheCaptureAndKeepsIdAndFiles)
{
    ProjectUrls urls = Loaded();
    const std::vector<std::string> ids =
        urls.AddUrls({"http://old.example/", "http://other.example/"});
    PretendCaptured(urls, 0);
    ASSERT_TRUE(urls.Save().ok());
    MakeFiles(ids[0]);
    const std::string before = urls.records()[0];
    const std::string otherBefore = urls.records()[1];

    Status saved = Status::Error("unset");
    ASSERT_EQ(urls.EditUrl(0, "  http://new.example/  ", saved), ProjectUrls::EditResult::Changed);
    EXPECT_TRUE(saved.ok()) << saved.message();
    const std::string& after = urls.records()[0];

    EXPECT_EQ(UrlFieldView(after, UrlField::Id), UrlFieldView(before, UrlField::Id));
    EXPECT_EQ(UrlFieldView(after, UrlField::Folder), UrlFieldView(before, UrlField::Folder));
    EXPECT_EQ(UrlFieldView(after, UrlField::Reserved7), UrlFieldView(before, UrlField::Reserved7));
    EXPECT_EQ(UrlFieldView(after, UrlField::Reserved11),
              UrlFieldView(before, UrlField::Reserved11));
    EXPECT_EQ(UrlFieldView(after, UrlField::Reserved12),
              UrlFieldView(before, UrlField::Reserved12));
    // Flags: position 4 "0" (short URL), position 5 blank (not captured), the rest kept.
    EXPECT_EQ(std::string(UrlFieldView(after, UrlField::Flags)), "1230 678");
    EXPECT_NE(Field(after, UrlField::Created), "01/02/2000 03:04:05");
    EXPECT_EQ(Field(after, UrlField::Created).size(), 19u);
    for (int f : {UrlField::Updated, UrlField::Captured, UrlField::Reserved8, UrlField::Reserved9,
                  UrlField::StatusCode, UrlField::Title, UrlField::Keywords, UrlField::Description,
                  UrlField::Properties}) {
        const FieldSpec layout = UrlFieldSpec(f);
        EXPECT_EQ(std::string(UrlFieldView(after, f)), std::string(layout.width, ' '))
            << "field " << f;
    }
    EXPECT_EQ(std::string(UrlFieldView(after, UrlField::Url)), "http://new.example/");
    EXPECT_EQ(after.size(), kUrlFixedLength + std::string("http://new.example/").size());
    EXPECT_EQ(urls.records()[1], otherBefore);

    // Saved, and the captured files stay under the same Id.
    EXPECT_EQ(LoadList(urlsFile()), urls.records());
    for (const fs::path& file : UrlFilePaths(folder(), ids[0]))
        EXPECT_EQ(ReadBytes(file), "captured for " + ids[0]) << file;
}

TEST_F(ProjectUrlsTest, EditToAUrlTheProjectHoldsIsRefusedAndChangesNothing)
{
    ProjectUrls urls = Loaded();
    urls.AddUrls({"http://a.example/", "http://b.example/"});
    PretendCaptured(urls, 0);
    ASSERT_TRUE(urls.Save().ok());
    const RecordList before = urls.records();
    const std::string fileBefore = ReadBytes(urlsFile());

    Status saved = Status::Ok();
    EXPECT_EQ(urls.EditUrl(0, "http://b.example/", saved), ProjectUrls::EditResult::Duplicate);
    EXPECT_EQ(urls.EditUrl(0, " http://b.example/ ", saved), ProjectUrls::EditResult::Duplicate);
    EXPECT_EQ(urls.records(), before);
    EXPECT_EQ(ReadBytes(urlsFile()), fileBefore);
}

TEST_F(ProjectUrlsTest, EditToAUrlThatDiffersOnlyInCaseIsAccepted)
{
    ProjectUrls urls = Loaded();
    urls.AddUrls({"http://a.example/", "http://b.example/page"});
    Status saved = Status::Ok();
    EXPECT_EQ(urls.EditUrl(0, "http://b.example/PAGE", saved), ProjectUrls::EditResult::Changed);
    EXPECT_TRUE(saved.ok());
    EXPECT_EQ(Field(urls.records()[0], UrlField::Url), "http://b.example/PAGE");
    EXPECT_EQ(Field(urls.records()[1], UrlField::Url), "http://b.example/page");
    // Its own address in another case is a change as well.
    EXPECT_EQ(urls.EditUrl(1, "HTTP://b.example/page", saved), ProjectUrls::EditResult::Changed);
}

TEST_F(ProjectUrlsTest, EditWithTheSameTextChangesNothingNotEvenCreated)
{
    ProjectUrls urls = Loaded();
    urls.AddUrls({"http://a.example/"});
    PretendCaptured(urls, 0);
    ASSERT_TRUE(urls.Save().ok());
    const RecordList before = urls.records();
    const std::string fileBefore = ReadBytes(urlsFile());
    const auto timeBefore = fs::last_write_time(urlsFile());

    Status saved = Status::Ok();
    EXPECT_EQ(urls.EditUrl(0, "http://a.example/", saved), ProjectUrls::EditResult::Unchanged);
    EXPECT_EQ(urls.EditUrl(0, "  http://a.example/\t", saved), ProjectUrls::EditResult::Unchanged);
    EXPECT_EQ(urls.records(), before);
    EXPECT_EQ(Field(urls.records()[0], UrlField::Created), "01/02/2000 03:04:05");
    EXPECT_EQ(ReadBytes(urlsFile()), fileBefore);
    EXPECT_EQ(fs::last_write_time(urlsFile()), timeBefore);
}

TEST_F(ProjectUrlsTest, EditToALongUrlKeepsItWholeAndMarksIt)
{
    ProjectUrls urls = Loaded();
    urls.AddUrls({"http://a.example/"});
    const std::string longUrl = "http://long.example/" + std::string(1980, 'q');
    Status saved = Status::Ok();
    ASSERT_EQ(urls.EditUrl(0, longUrl, saved), ProjectUrls::EditResult::Changed);
    EXPECT_EQ(std::string(UrlFieldView(urls.records()[0], UrlField::Url)), longUrl);
    EXPECT_EQ(UrlFieldView(urls.records()[0], UrlField::Flags)[3], '1');
    EXPECT_EQ(LoadList(urlsFile()), urls.records());

    // Back to a short one: position 4 back to "0".
    ASSERT_EQ(urls.EditUrl(0, "http://short.example/", saved), ProjectUrls::EditResult::Changed);
    EXPECT_EQ(UrlFieldView(urls.records()[0], UrlField::Flags)[3], '0');
    EXPECT_EQ(EditedUrlFlags("0001700x", std::string(513, 'u'))[3], '1');
    EXPECT_EQ(EditedUrlFlags("0001700x", std::string(512, 'u'))[3], '0');
    EXPECT_EQ(EditedUrlFlags("", "u"), "   0    ");
}

TEST_F(ProjectUrlsTest, EditOfAnUnknownRecordChangesNothing)
{
    ProjectUrls urls = Loaded();
    urls.AddUrls({"http://a.example/"});
    const RecordList before = urls.records();
    Status saved = Status::Ok();
    EXPECT_EQ(urls.EditUrl(-1, "http://x/", saved), ProjectUrls::EditResult::NoSuchRecord);
    EXPECT_EQ(urls.EditUrl(1, "http://x/", saved), ProjectUrls::EditResult::NoSuchRecord);
    EXPECT_EQ(urls.records(), before);
}

// --- DeleteUrls -----------------------------------------------------------------------

TEST_F(ProjectUrlsTest, DeleteRemovesRecordsAndTheirSevenFiles)
{
    ProjectUrls urls = Loaded();
    const std::vector<std::string> ids =
        urls.AddUrls({"http://0/", "http://1/", "http://2/", "http://3/", "http://4/"});
    ASSERT_TRUE(urls.Save().ok());
    for (const std::string& id : ids)
        MakeFiles(id);
    // One URL whose thumbnail and icon were never made.
    fs::remove(UrlFilePaths(folder(), ids[3])[0]);
    fs::remove(UrlFilePaths(folder(), ids[3])[2]);
    for (const fs::path& page : ReviewPagePaths(folder()))
        WriteBytes(page, "<html>");
    const RecordList before = urls.records();

    ASSERT_TRUE(urls.DeleteUrls({ids[3], ids[0], ids[1]}).ok());
    const RecordList expected = {before[2], before[4]};
    EXPECT_EQ(urls.records(), expected);
    EXPECT_EQ(LoadList(urlsFile()), expected);
    for (int gone : {0, 1, 3}) {
        for (const fs::path& file : UrlFilePaths(folder(), ids[gone]))
            EXPECT_FALSE(Exists(file)) << file;
    }
    for (int kept : {2, 4}) {
        for (const fs::path& file : UrlFilePaths(folder(), ids[kept]))
            EXPECT_TRUE(Exists(file)) << file;
    }
    // URLs are left: the review pages stay.
    for (const fs::path& page : ReviewPagePaths(folder()))
        EXPECT_TRUE(Exists(page)) << page;

    // The last ones go: so do the review pages.
    ASSERT_TRUE(urls.DeleteUrls({ids[2], ids[4]}).ok());
    EXPECT_TRUE(urls.records().empty());
    EXPECT_EQ(fs::file_size(urlsFile()), 0u);
    for (const fs::path& page : ReviewPagePaths(folder()))
        EXPECT_FALSE(Exists(page)) << page;
    for (const std::string& id : ids) {
        for (const fs::path& file : UrlFilePaths(folder(), id))
            EXPECT_FALSE(Exists(file)) << file;
    }
    EXPECT_TRUE(fs::is_directory(folder() / "Data"));
}

TEST_F(ProjectUrlsTest, DeleteTakesTheFirstRecordOfAnId)
{
    ProjectUrls urls = Loaded();
    const std::vector<std::string> ids = urls.AddUrls({"http://0/", "http://1/"});
    // A second record with the first Id (as a paste could leave).
    urls.records().push_back(urls.records()[0]);
    SetUrlField(urls.records(), 2, "http://copy/", UrlField::Url);
    ASSERT_TRUE(urls.DeleteUrls({ids[0]}).ok());
    ASSERT_EQ(urls.records().size(), 2u);
    EXPECT_EQ(Field(urls.records()[0], UrlField::Url), "http://1/");
    EXPECT_EQ(Field(urls.records()[1], UrlField::Url), "http://copy/");
}

TEST_F(ProjectUrlsTest, DeleteWithAnInvalidIdTouchesNoFileOutside)
{
    ProjectUrls urls = Loaded();
    urls.AddUrls({"http://0/"});
    const fs::path victim = folder().parent_path() / "victim.ico";
    WriteBytes(victim, "v");
    ASSERT_TRUE(urls.DeleteUrls({"../../victim", "../victim"}).ok());
    EXPECT_EQ(urls.records().size(), 1u);
    EXPECT_EQ(ReadBytes(victim), "v");
}

TEST_F(ProjectUrlsTest, DeleteSavesBeforeAnyFileGoes)
{
    ProjectUrls urls = Loaded();
    const std::vector<std::string> ids = urls.AddUrls({"http://0/"});
    ASSERT_TRUE(urls.Save().ok());
    MakeFiles(ids[0]);
    // urls.dat cannot be replaced: a folder stands in its place now.
    fs::remove(urlsFile());
    fs::create_directories(urlsFile() / "blocker");
    EXPECT_FALSE(urls.DeleteUrls({ids[0]}).ok());
    for (const fs::path& file : UrlFilePaths(folder(), ids[0]))
        EXPECT_TRUE(Exists(file)) << file;
}

// --- Damaged and unreadable urls.dat ---------------------------------------------------

class DamagedUrls : public ProjectUrlsTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(DamagedUrls, AreSetAsideAndReported)
{
    fs::copy_file(kFixtures / GetParam(), urlsFile());
    const std::string original = ReadBytes(kFixtures / GetParam());

    ProjectUrls urls(folder(), gate_);
    const LoadOutcome outcome = urls.Load();
    EXPECT_TRUE(outcome.status.ok()) << outcome.status.message();
    ASSERT_TRUE(outcome.damage);
    EXPECT_EQ(outcome.damage->file, urlsFile());
    ASSERT_TRUE(outcome.damage->setAside);
    EXPECT_TRUE(urls.records().empty());

    const std::vector<fs::path> copies = DamagedCopies(urlsFile());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(*outcome.damage->setAside, copies[0]);
    EXPECT_EQ(ReadBytes(copies[0]), original);
    EXPECT_EQ(fs::file_size(urlsFile()), 0u);
    const std::string message = outcome.damage->Message();
    EXPECT_NE(message.find(copies[0].string()), std::string::npos) << message;

    // Work goes on with the fresh list; the set-aside copy is kept as it was.
    urls.AddUrl("http://after.example/");
    ASSERT_TRUE(urls.Save().ok());
    EXPECT_EQ(LoadList(urlsFile()).size(), 1u);
    EXPECT_EQ(ReadBytes(copies[0]), original);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedUrls,
                         ::testing::Values("damaged_garbage.dat", "damaged_truncated.dat"));

TEST_F(ProjectUrlsTest, DamagedUrlsReadOnlyAreAnErrorAndStayInPlace)
{
    fs::copy_file(kFixtures / "damaged_garbage.dat", urlsFile());
    ProjectUrls urls(folder(), gate_, AccessMode::ReadOnly);
    const LoadOutcome outcome = urls.Load();
    EXPECT_FALSE(outcome.status.ok());
    EXPECT_FALSE(outcome.damage);
    EXPECT_TRUE(DamagedCopies(urlsFile()).empty());
    EXPECT_EQ(ReadBytes(urlsFile()), ReadBytes(kFixtures / "damaged_garbage.dat"));
}

TEST_F(ProjectUrlsTest, AnUnreadableUrlsDatIsAnErrorAndSaveRefuses)
{
    // A folder where urls.dat belongs cannot be read (whoever runs the test).
    fs::create_directories(urlsFile());
    WriteBytes(urlsFile() / "inside", "x");
    ProjectUrls urls(folder(), gate_);
    const LoadOutcome outcome = urls.Load();
    EXPECT_FALSE(outcome.status.ok());
    EXPECT_NE(outcome.status.message().find("urls.dat"), std::string::npos)
        << outcome.status.message();
    EXPECT_FALSE(outcome.damage);
    EXPECT_TRUE(urls.records().empty());

    urls.AddUrl("http://a.example/");
    const Status saved = urls.Save();
    EXPECT_FALSE(saved.ok());
    EXPECT_NE(saved.message().find("not saved over"), std::string::npos) << saved.message();
    Status editSaved = Status::Ok();
    EXPECT_EQ(urls.EditUrl(0, "http://b.example/", editSaved), ProjectUrls::EditResult::Changed);
    EXPECT_FALSE(editSaved.ok());
    EXPECT_FALSE(urls.DeleteUrls({}).ok());
    EXPECT_TRUE(fs::is_directory(urlsFile()));
    EXPECT_EQ(ReadBytes(urlsFile() / "inside"), "x");
    EXPECT_TRUE(DamagedCopies(urlsFile()).empty());
}

} // namespace
} // namespace orvex
