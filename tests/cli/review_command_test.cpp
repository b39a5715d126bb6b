// orvexctl review end to end: run as a child process on a temporary
// workspace, it writes the same three pages the desktop program would, for
// the URLs in record order and the project's title, and prints their paths.
#include "support/ProgramRun.h"
#include "review/ReviewGenerator.h"
#include "workspace/RecordFile.h"
#include "workspace/UrlRows.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace orvex {
namespace {

const QString kOrvexctl = QStringLiteral(ORVEX_BIN_DIR "/orvexctl");

using orvex::testfiles::RunProgram;
using Result = orvex::testfiles::ProgramResult;

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ReviewCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        fs::create_directories(ws());
    }
    fs::path ws() const { return fs::path(dir_.path().toStdString()) / "ws"; }
    fs::path project() const { return ws() / "Projects" / "00000000"; }

    Result Run(const QStringList& args)
    {
        return RunProgram(kOrvexctl,
                          QStringList{"--workspace", QString::fromStdString(ws().string())} + args);
    }
    std::string Ok(const QStringList& args)
    {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 0) << args.join(' ').toStdString() << "\n" << r.err;
        return r.out;
    }

    QTemporaryDir dir_;
};

TEST_F(ReviewCommand, WritesTheThreePagesOfTheProjectAndPrintsTheirPaths)
{
    Ok({"project", "new", "Reading <List> & Co"});
    Ok({"project", "new", "Other"});
    const std::string added =
        Ok({"url", "add", "Reading <List> & Co", "https://b.example/", "http://a.example/?x=1&y=2",
            "https://c.example/"});
    const std::string second = added.substr(20, 19);
    // Captured files for the second URL only.
    std::ofstream(project() / "Screenshot" / (second + ".jpg")) << "thumbnail";
    std::ofstream(project() / "Data" / (second + ".dt"), std::ios::binary)
        << "\x01\x07\r\nWhat the page says.\r\n";

    const Result r = Run({"review", "Reading <List> & Co"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const fs::path folder = fs::absolute(project()).lexically_normal();
    EXPECT_EQ(r.out, (folder / "preview1.html").string() + "\n" +
                         (folder / "preview2.html").string() + "\n" +
                         (folder / "preview3.html").string() + "\n");

    // The same pages as the core routine makes from the rows in record order.
    RecordList records;
    ASSERT_TRUE(LoadRecordFile(project() / "urls.dat", records).ok());
    RecordList rows;
    BuildUrlRows(records, rows);
    const fs::path copy = fs::path(dir_.path().toStdString()) / "copy";
    fs::copy(project(), copy, fs::copy_options::recursive);
    ASSERT_TRUE(GenerateReviews({copy, rows, "Reading <List> & Co"}).ok());
    for (const char* page : {"preview1.html", "preview2.html", "preview3.html"})
        EXPECT_EQ(ReadBytes(project() / page), ReadBytes(copy / page)) << page;

    const std::string simple = ReadBytes(project() / "preview1.html");
    EXPECT_NE(simple.find("<title>Reading &lt;List&gt; &amp; Co</title>"), std::string::npos);
    const std::size_t first = simple.find("<h3>1. <b></b></h3>\r\n<p><a href=\"https://b.example/\">");
    const std::size_t then = simple.find("<h3>2. <b></b></h3>\r\n<p><a href=\"http://a.example/?x=1&amp;y=2\">");
    const std::size_t last = simple.find("<h3>3. <b></b></h3>\r\n<p><a href=\"https://c.example/\">");
    EXPECT_LT(first, then);
    EXPECT_LT(then, last);
    EXPECT_NE(last, std::string::npos);
    EXPECT_NE(simple.find("src=\"./Screenshot/" + second + ".jpg\"></a></p>\r\n<p>What the page says.</p>"),
              std::string::npos);
    // The other project has no pages.
    EXPECT_FALSE(fs::exists(ws() / "Projects" / "00000001" / "preview1.html"));
}

TEST_F(ReviewCommand, UnknownProjectFails)
{
    Ok({"project", "new", "Known"});
    const Result r = Run({"review", "Unknown"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "orvexctl: No project \"Unknown\".\n");
}

TEST_F(ReviewCommand, UsageAndHelp)
{
    for (const QStringList& args : {QStringList{"review"}, QStringList{"review", "a", "b"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("orvexctl [--workspace DIR] review PROJECT\n"), std::string::npos)
            << r.err;
    }
    const Result help = Run({"review", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("orvexctl [--workspace DIR] review PROJECT\n"), std::string::npos);
    EXPECT_NE(Ok({"--help"}).find("  review  PROJECT"), std::string::npos);
    EXPECT_FALSE(fs::exists(ws() / "Projects")); // help and usage touch no workspace
}

} // namespace
} // namespace orvex
