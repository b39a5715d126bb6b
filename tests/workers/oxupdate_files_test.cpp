// Where a URL's files go, and that each is written whole or not at all.
#include "CaptureFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex::oxupdate {
namespace {

namespace fs = std::filesystem;

constexpr const char* kId = "0123456789abcdefghi";

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Names in a folder, temporary ones included.
std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CaptureFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        project_ = dir_.path().toStdString();
        for (const char* sub : {"Icon", "Screenshot", "Data"})
            fs::create_directory(project_ / sub);
    }
    QTemporaryDir dir_;
    fs::path project_;
};

TEST_F(CaptureFilesTest, PathsOfTheSevenFiles)
{
    const std::pair<CaptureFile, const char*> cases[] = {
        {CaptureFile::Icon, "Icon/0123456789abcdefghi.ico"},
        {CaptureFile::Screenshot, "Screenshot/0123456789abcdefghi.png"},
        {CaptureFile::Thumbnail, "Screenshot/0123456789abcdefghi.jpg"},
        {CaptureFile::Html, "Data/0123456789abcdefghi.htm"},
        {CaptureFile::Text, "Data/0123456789abcdefghi.txt"},
        {CaptureFile::Headers, "Data/0123456789abcdefghi.dh"},
        {CaptureFile::Digest, "Data/0123456789abcdefghi.dt"},
    };
    for (const auto& [file, relative] : cases)
        EXPECT_EQ(CaptureFilePath(project_, kId, file), project_ / relative);
}

TEST_F(CaptureFilesTest, SafeWriteReplacesWholeAndLeavesNoTemporary)
{
    const fs::path target = project_ / "Data" / "x.txt";
    ASSERT_TRUE(WriteFileSafely(target, "first version, longer"));
    ASSERT_TRUE(WriteFileSafely(target, "second"));
    EXPECT_EQ(ReadAll(target), "second");
    EXPECT_EQ(Names(project_ / "Data"), std::vector<std::string>{"x.txt"});
    ASSERT_TRUE(WriteFileSafely(target, ""));
    EXPECT_EQ(ReadAll(target), "");
}

TEST_F(CaptureFilesTest, SafeWriteIntoAMissingFolderFailsCleanly)
{
    fs::remove_all(project_ / "Data");
    EXPECT_FALSE(WriteFileSafely(project_ / "Data" / "x.txt", "bytes"));
    EXPECT_FALSE(fs::exists(project_ / "Data"));
}

// A link planted where a file goes is replaced, never written through.
TEST_F(CaptureFilesTest, SafeWriteReplacesALinkInsteadOfFollowingIt)
{
    const fs::path outside = project_ / "outside.txt";
    {
        std::ofstream(outside) << "keep me";
    }
    const fs::path target = project_ / "Data" / "x.txt";
    fs::create_symlink(outside, target);
    ASSERT_TRUE(WriteFileSafely(target, "captured"));
    EXPECT_EQ(ReadAll(outside), "keep me");
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_EQ(ReadAll(target), "captured");
}

// The rename is the last step: when it fails, what was there stays and no
// temporary file is left.
TEST_F(CaptureFilesTest, SafeWriteFailureKeepsWhatWasThere)
{
    const fs::path target = project_ / "Data" / "x.txt";
    fs::create_directory(target);
    { std::ofstream(target / "inside") << "kept"; }
    EXPECT_FALSE(WriteFileSafely(target, "new"));
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(ReadAll(target / "inside"), "kept");
    EXPECT_EQ(Names(project_ / "Data"), std::vector<std::string>{"x.txt"});
}

TEST_F(CaptureFilesTest, WritesInTheBackgroundAndReportsEachFile)
{
    CaptureFiles files(project_, kId);
    files.Write(CaptureFile::Text, "page text");
    files.WriteBase64(CaptureFile::Screenshot, "iVBORw0KGgo="); // the PNG signature
    files.WriteBase64(CaptureFile::Thumbnail, "not base64!");
    files.Write(CaptureFile::Digest, "digest");
    files.Finish();

    EXPECT_TRUE(files.Written(CaptureFile::Text));
    EXPECT_TRUE(files.Written(CaptureFile::Screenshot));
    EXPECT_TRUE(files.Written(CaptureFile::Digest));
    EXPECT_FALSE(files.Written(CaptureFile::Thumbnail));
    EXPECT_FALSE(files.Written(CaptureFile::Icon)); // never given
    EXPECT_EQ(ReadAll(CaptureFilePath(project_, kId, CaptureFile::Text)), "page text");
    EXPECT_EQ(ReadAll(CaptureFilePath(project_, kId, CaptureFile::Screenshot)),
              std::string("\x89PNG\r\n\x1a\n"));
    EXPECT_FALSE(fs::exists(CaptureFilePath(project_, kId, CaptureFile::Thumbnail)));
}

TEST_F(CaptureFilesTest, MissingFolderFailsThatFileOnly)
{
    fs::remove_all(project_ / "Icon");
    CaptureFiles files(project_, kId);
    files.Write(CaptureFile::Icon, "icon");
    files.Write(CaptureFile::Html, "<html></html>");
    files.Finish();
    EXPECT_FALSE(files.Written(CaptureFile::Icon));
    EXPECT_TRUE(files.Written(CaptureFile::Html));
}

TEST_F(CaptureFilesTest, AbandonLeavesNoTemporaryBehind)
{
    {
        CaptureFiles files(project_, kId);
        for (int i = 0; i < 50; ++i)
            files.Write(CaptureFile::Html, std::string(100000, 'x'));
        files.Abandon();
    }
    for (const char* sub : {"Icon", "Screenshot", "Data"})
        for (const std::string& name : Names(project_ / sub))
            EXPECT_EQ(name, std::string(kId) + ".htm") << sub;
}

} // namespace
} // namespace orvex::oxupdate
