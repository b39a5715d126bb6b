// Folders and per-URL files: MakeFolder, ClearFolder,
// DeleteProjectFolder, the seven per-URL files, ParentPath and LastPathPart.
#include "support/TestFiles.h"
#include "workspace/Folders.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace orvex {
namespace {

using namespace orvex::testfiles;

constexpr const char* kId = "5jhzzwa0123456789ab";
constexpr const char* kOtherId = "5jhzzwa0123456789ac";

std::size_t CountEntries(const fs::path& folder)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++n;
    return n;
}

// Gives back write permission below a folder, so that the temporary folder can
// always be removed, whatever a failed test left behind.
void AllowAll(const fs::path& folder)
{
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(folder, ec)) || fs::is_symlink(fs::symlink_status(folder)))
        return;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ec);
    if (!fs::is_directory(folder, ec))
        return;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        AllowAll(entry.path());
}

class FoldersTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    void TearDown() override { AllowAll(root()); }
    fs::path root() const { return fs::path(dir_.path().toStdString()); }

    // Makes a project folder with its three subfolders and the seven files of an Id.
    fs::path MakeProjectWithFiles(const std::string& name, const std::string& id)
    {
        const fs::path project = root() / name;
        fs::create_directories(project / "Icon");
        fs::create_directories(project / "Screenshot");
        fs::create_directories(project / "Data");
        for (const fs::path& file : UrlFilePaths(project, id))
            WriteBytes(file, "captured " + file.filename().string());
        return project;
    }

    QTemporaryDir dir_;
};

// --- MakeFolder -------------------------------------------------------------

TEST_F(FoldersTest, MakeFolderCreatesOneLevel)
{
    EXPECT_TRUE(MakeFolder(root() / "one"));
    EXPECT_TRUE(fs::is_directory(root() / "one"));
    // Existing already: still true, nothing changes.
    WriteBytes(root() / "one" / "file", "x");
    EXPECT_TRUE(MakeFolder(root() / "one"));
    EXPECT_EQ(ReadBytes(root() / "one" / "file"), "x");
}

TEST_F(FoldersTest, MakeFolderNeedsTheParent)
{
    EXPECT_FALSE(MakeFolder(root() / "missing" / "child"));
    EXPECT_FALSE(Exists(root() / "missing"));
}

TEST_F(FoldersTest, MakeFolderOverAFileFails)
{
    WriteBytes(root() / "file", "x");
    EXPECT_FALSE(MakeFolder(root() / "file"));
    EXPECT_EQ(ReadBytes(root() / "file"), "x");
}

// --- ClearFolder ------------------------------------------------------------

TEST_F(FoldersTest, ClearFolderOnAMissingFolderIsTrueAndChangesNothing)
{
    const fs::path missing = root() / "missing";
    EXPECT_TRUE(ClearFolder(missing, false));
    EXPECT_TRUE(ClearFolder(missing, true));
    EXPECT_FALSE(Exists(missing));
    EXPECT_EQ(CountEntries(root()), 0u);
}

TEST_F(FoldersTest, ClearFolderKeepsTheFolderAndReportsFalseWithoutTheFlag)
{
    const fs::path folder = root() / "TMP";
    fs::create_directories(folder / "Clip" / "deeper");
    WriteBytes(folder / "a.txt", "a");
    WriteBytes(folder / ".hidden", "h");
    WriteBytes(folder / "Clip" / "clip.dat", "c");
    WriteBytes(folder / "Clip" / "deeper" / "b.png", "b");

    // The content goes; the result is false without the remove flag.
    EXPECT_FALSE(ClearFolder(folder, false));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(CountEntries(folder), 0u);
}

TEST_F(FoldersTest, ClearFolderWithTheFlagRemovesTheFolder)
{
    const fs::path folder = root() / "00000003";
    fs::create_directories(folder / "Icon");
    fs::create_directories(folder / "Data" / "nested" / "more");
    WriteBytes(folder / "urls.dat", "");
    WriteBytes(folder / "Data" / "nested" / "more" / "x.txt", "x");
    WriteBytes(root() / "sibling.txt", "stays");

    EXPECT_TRUE(ClearFolder(folder, true));
    EXPECT_FALSE(Exists(folder));
    EXPECT_EQ(ReadBytes(root() / "sibling.txt"), "stays");
}

TEST_F(FoldersTest, ClearFolderDeletesReadOnlyFilesAndFilesInReadOnlySubfolders)
{
    // Permission bits do not stop root; the test checks the outcome, so it
    // holds either way: for another user the bits would stop a plain delete.
    const fs::path folder = root() / "00000004";
    fs::create_directories(folder / "Data");
    WriteBytes(folder / "readonly.txt", "r");
    WriteBytes(folder / "Data" / "readonly.htm", "r");
    fs::permissions(folder / "readonly.txt", fs::perms::owner_read | fs::perms::group_read);
    fs::permissions(folder / "Data" / "readonly.htm", fs::perms::owner_read);
    fs::permissions(folder / "Data", fs::perms::owner_read | fs::perms::owner_exec);

    EXPECT_FALSE(ClearFolder(folder, false));
    EXPECT_FALSE(Exists(folder / "readonly.txt"));
    EXPECT_FALSE(Exists(folder / "Data"));
    EXPECT_EQ(CountEntries(folder), 0u);

    // The same with the folder itself read-only, removed with the flag.
    fs::create_directories(folder / "Icon");
    WriteBytes(folder / "Icon" / "x.ico", "i");
    fs::permissions(folder / "Icon" / "x.ico", fs::perms::owner_read);
    fs::permissions(folder / "Icon", fs::perms::owner_read | fs::perms::owner_exec);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_TRUE(ClearFolder(folder, true));
    EXPECT_FALSE(Exists(folder));
}

TEST_F(FoldersTest, ClearFolderRemovesLinksWithoutTouchingTheirTargets)
{
    const fs::path outside = root() / "outside";
    fs::create_directories(outside / "sub");
    WriteBytes(outside / "precious.txt", "keep me");
    WriteBytes(outside / "sub" / "also.txt", "keep me too");

    const fs::path folder = root() / "00000005";
    fs::create_directories(folder / "Data");
    fs::create_directory_symlink(outside, folder / "dirlink");
    fs::create_directory_symlink(outside, folder / "Data" / "deeplink");
    fs::create_symlink(outside / "precious.txt", folder / "filelink");
    fs::create_symlink(root() / "nowhere", folder / "dangling");

    EXPECT_TRUE(ClearFolder(folder, true));
    EXPECT_FALSE(Exists(folder));
    EXPECT_EQ(ReadBytes(outside / "precious.txt"), "keep me");
    EXPECT_EQ(ReadBytes(outside / "sub" / "also.txt"), "keep me too");
}

TEST_F(FoldersTest, ClearFolderGivenALinkNeverFollowsIt)
{
    const fs::path outside = root() / "outside";
    fs::create_directories(outside);
    WriteBytes(outside / "precious.txt", "keep me");
    const fs::path link = root() / "00000006";
    fs::create_directory_symlink(outside, link);

    // Emptying through the link would empty the target: it must not.
    ClearFolder(link, false);
    EXPECT_EQ(ReadBytes(outside / "precious.txt"), "keep me");
    EXPECT_TRUE(fs::is_symlink(link));

    // Removing it removes the link only.
    EXPECT_TRUE(ClearFolder(link, true));
    EXPECT_FALSE(Exists(link));
    EXPECT_EQ(ReadBytes(outside / "precious.txt"), "keep me");
}

TEST_F(FoldersTest, ClearFolderSkipsNamesBeginningWithTwoDots)
{
    // Names that begin with two dots are skipped.
    const fs::path folder = root() / "odd";
    fs::create_directories(folder);
    WriteBytes(folder / "..keep", "k");
    WriteBytes(folder / "plain", "p");
    EXPECT_FALSE(ClearFolder(folder, true));
    EXPECT_TRUE(Exists(folder / "..keep"));
    EXPECT_FALSE(Exists(folder / "plain"));
}

TEST_F(FoldersTest, ClearFolderCallsKeepAliveForEveryEntry)
{
    const fs::path folder = root() / "many";
    fs::create_directories(folder / "sub");
    for (int i = 0; i < 20; ++i)
        WriteBytes(folder / ("f" + std::to_string(i)), "x");
    WriteBytes(folder / "sub" / "g", "x");
    int calls = 0;
    EXPECT_TRUE(ClearFolder(folder, true, [&calls] { ++calls; }));
    EXPECT_GE(calls, 22); // 20 files, the subfolder, and the file in it
}

// --- DeleteProjectFolder ----------------------------------------------------

TEST_F(FoldersTest, DeleteProjectFolderRemovesEverything)
{
    const fs::path project = MakeProjectWithFiles("00000001", kId);
    WriteBytes(project / "urls.dat", "");
    WriteBytes(project / "preview1.html", "<html>");
    // Left behind by the first pass (two dots), taken by the fallback.
    WriteBytes(project / "Data" / "..odd", "x");
    EXPECT_TRUE(DeleteProjectFolder(project));
    EXPECT_FALSE(Exists(project));
}

TEST_F(FoldersTest, DeleteProjectFolderOfAMissingFolderIsTrue)
{
    EXPECT_TRUE(DeleteProjectFolder(root() / "00000009"));
}

TEST_F(FoldersTest, DeleteProjectFolderOfALinkLeavesTheTarget)
{
    const fs::path outside = MakeProjectWithFiles("elsewhere", kId);
    const fs::path link = root() / "00000002";
    fs::create_directory_symlink(outside, link);
    EXPECT_TRUE(DeleteProjectFolder(link));
    EXPECT_FALSE(Exists(link));
    for (const fs::path& file : UrlFilePaths(outside, kId))
        EXPECT_TRUE(fs::exists(file)) << file;
}

// --- The seven per-URL files ------------------------------------------------

TEST_F(FoldersTest, UrlFilePathsAreTheSevenFilesInTheirOrder)
{
    const auto paths = UrlFilePaths("/w/Projects/00000000", kId);
    const std::string id = kId;
    const std::vector<std::string> expected = {"/w/Projects/00000000/Icon/" + id + ".ico",
                                               "/w/Projects/00000000/Screenshot/" + id + ".png",
                                               "/w/Projects/00000000/Screenshot/" + id + ".jpg",
                                               "/w/Projects/00000000/Data/" + id + ".htm",
                                               "/w/Projects/00000000/Data/" + id + ".txt",
                                               "/w/Projects/00000000/Data/" + id + ".dh",
                                               "/w/Projects/00000000/Data/" + id + ".dt"};
    ASSERT_EQ(paths.size(), expected.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(paths[i].string(), expected[i]);

    const auto clip = ClipFilePaths("/w/TMP/Clip", kId);
    for (std::size_t i = 0; i < clip.size(); ++i)
        EXPECT_EQ(clip[i].string(), "/w/TMP/Clip/" + paths[i].filename().string());
}

TEST_F(FoldersTest, DeleteUrlFilesDeletesTheSevenAndNothingElse)
{
    const fs::path project = MakeProjectWithFiles("00000000", kId);
    for (const fs::path& file : UrlFilePaths(project, kOtherId))
        WriteBytes(file, "other");
    WriteBytes(project / "urls.dat", "");

    DeleteUrlFiles(project, kId);
    for (const fs::path& file : UrlFilePaths(project, kId))
        EXPECT_FALSE(Exists(file)) << file;
    for (const fs::path& file : UrlFilePaths(project, kOtherId))
        EXPECT_EQ(ReadBytes(file), "other") << file;
    EXPECT_TRUE(Exists(project / "urls.dat"));
    EXPECT_TRUE(fs::is_directory(project / "Icon"));
    EXPECT_TRUE(fs::is_directory(project / "Screenshot"));
    EXPECT_TRUE(fs::is_directory(project / "Data"));
}

TEST_F(FoldersTest, DeleteUrlFilesToleratesMissingFiles)
{
    // A URL whose thumbnail (and icon) were never made.
    const fs::path project = MakeProjectWithFiles("00000000", kId);
    const auto paths = UrlFilePaths(project, kId);
    fs::remove(paths[0]);
    fs::remove(paths[2]);
    EXPECT_NO_THROW(DeleteUrlFiles(project, kId));
    for (const fs::path& file : paths)
        EXPECT_FALSE(Exists(file)) << file;

    // Nothing at all there, not even the subfolders.
    fs::create_directories(root() / "empty");
    EXPECT_NO_THROW(DeleteUrlFiles(root() / "empty", kId));
    EXPECT_NO_THROW(DeleteUrlFiles(root() / "missing", kId));
}

TEST_F(FoldersTest, DeleteUrlFilesIgnoresAnInvalidId)
{
    // Files that an unchecked Id would reach: ../../victim from Icon/ is the
    // folder above the project, etc/passwd.* likewise.
    const fs::path project = MakeProjectWithFiles("ws/Projects/00000000", kId);
    const fs::path above = root() / "ws" / "Projects";
    fs::create_directories(root() / "ws" / "etc");
    WriteBytes(above / "victim.ico", "v");
    WriteBytes(above / "victim.txt", "v");
    WriteBytes(root() / "ws" / "etc" / "passwd.txt", "v");
    // 19 characters, but upper case: not an id either.
    const std::string upper = "5JHZZWA0123456789AB";
    for (const fs::path& file : UrlFilePaths(project, upper))
        WriteBytes(file, "u");

    for (const std::string& bad :
         {std::string("../../victim"), std::string("../../etc/passwd"),
          std::string("../../../ws/etc/passwd"), upper, std::string(""),
          std::string("5jhzzwa0123456789a"), std::string("5jhzzwa0123456789abc"),
          std::string("5jhzzwa012345678/ab")}) {
        DeleteUrlFiles(project, bad);
    }
    EXPECT_EQ(ReadBytes(above / "victim.ico"), "v");
    EXPECT_EQ(ReadBytes(above / "victim.txt"), "v");
    EXPECT_EQ(ReadBytes(root() / "ws" / "etc" / "passwd.txt"), "v");
    for (const fs::path& file : UrlFilePaths(project, upper))
        EXPECT_TRUE(Exists(file)) << file;
    for (const fs::path& file : UrlFilePaths(project, kId))
        EXPECT_TRUE(Exists(file)) << file;
}

TEST_F(FoldersTest, DeleteReviewPagesRemovesTheThreeStyles)
{
    const fs::path project = MakeProjectWithFiles("00000000", kId);
    const auto pages = ReviewPagePaths(project);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].filename(), "preview1.html");
    EXPECT_EQ(pages[1].filename(), "preview2.html");
    EXPECT_EQ(pages[2].filename(), "preview3.html");
    WriteBytes(pages[0], "1");
    WriteBytes(pages[2], "3"); // preview2.html missing
    WriteBytes(project / "preview4.html", "4");
    DeleteReviewPages(project);
    for (const fs::path& page : pages)
        EXPECT_FALSE(Exists(page));
    EXPECT_TRUE(Exists(project / "preview4.html"));
}

// --- ParentPath and LastPathPart --------------------------------------------

struct ParentCase
{
    const char* path;
    bool keepSlash;
    const char* expected;
};

class ParentPathTable : public ::testing::TestWithParam<ParentCase>
{
};

TEST_P(ParentPathTable, Matches)
{
    const ParentCase& c = GetParam();
    EXPECT_EQ(ParentPath(c.path, c.keepSlash), c.expected)
        << "path \"" << c.path << "\" keepSlash " << c.keepSlash;
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ParentPathTable,
    ::testing::Values(ParentCase{"/x/Projects/00000003", false, "/x/Projects"},
                      ParentCase{"/x/Projects/00000003", true, "/x/Projects/"},
                      // Ending in "/": unchanged, with or without the flag.
                      ParentCase{"/x/Projects/00000003/", false, "/x/Projects/00000003/"},
                      ParentCase{"/x/Projects/00000003/", true, "/x/Projects/00000003/"},
                      ParentCase{"/file", false, ""}, ParentCase{"/file", true, "/"},
                      ParentCase{"/", false, "/"}, ParentCase{"a/b", false, "a"},
                      // No "/" at all: nothing before it.
                      ParentCase{"plain", false, ""}, ParentCase{"plain", true, ""},
                      ParentCase{"", false, ""}, ParentCase{"", true, ""}));

struct LastPartCase
{
    const char* path;
    bool emptyIfNoSlash;
    const char* expected;
};

class LastPathPartTable : public ::testing::TestWithParam<LastPartCase>
{
};

TEST_P(LastPathPartTable, Matches)
{
    const LastPartCase& c = GetParam();
    EXPECT_EQ(LastPathPart(c.path, c.emptyIfNoSlash), c.expected)
        << "path \"" << c.path << "\" emptyIfNoSlash " << c.emptyIfNoSlash;
}

INSTANTIATE_TEST_SUITE_P(
    Folders, LastPathPartTable,
    ::testing::Values(LastPartCase{"/x/Projects/00000003", false, "00000003"},
                      LastPartCase{"/x/Projects/00000003", true, "00000003"},
                      // A trailing "/" gives the path without it.
                      LastPartCase{"/x/Projects/00000003/", false, "/x/Projects/00000003"},
                      LastPartCase{"/x/Projects/00000003/", true, "/x/Projects/00000003"},
                      // No "/": the trimmed text, or empty with the flag.
                      LastPartCase{"  00000003  ", false, "00000003"},
                      LastPartCase{"00000003", true, ""}, LastPartCase{"", false, ""},
                      LastPartCase{"", true, ""}, LastPartCase{"/", false, ""},
                      LastPartCase{"/top", true, "top"},
                      // Only the part after the last "/" counts, blanks kept.
                      LastPartCase{"/x/ a b ", false, " a b "}));

} // namespace
} // namespace orvex
