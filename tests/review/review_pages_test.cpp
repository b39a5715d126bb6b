// The three review pages of a fixture project, compared byte for byte with
// pages written by hand in tests/data/review, and what the generators do
// around them: empty projects, progress and stopping, failures, bad Ids.
#include "ReviewFixture.h"
#include "review/ReviewGenerator.h"
#include "workspace/RecordLayout.h"
#include "workspace/UrlRows.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace orvex {
namespace {

using test::ReadBytes;

const fs::path kExpected = fs::path(ORVEX_TEST_DATA) / "review";
const std::string kTail = "</table>\r\n</div>\r\n</body>\r\n</html>\r\n";
constexpr int kStyles[] = {ReviewStyle::Simple, ReviewStyle::Gallery, ReviewStyle::GrayGranite};

std::string Expected(int style)
{
    return ReadBytes(kExpected / ("preview" + std::to_string(style) + ".html"));
}

// Where two pages first differ, with some context, for a readable failure.
std::string Difference(const std::string& actual, const std::string& expected)
{
    const auto mismatch = std::mismatch(actual.begin(), actual.end(), expected.begin(),
                                        expected.end());
    const std::size_t at = static_cast<std::size_t>(mismatch.first - actual.begin());
    const std::size_t from = at > 60 ? at - 60 : 0;
    return "first difference at byte " + std::to_string(at) + "\n  actual:   ..." +
           actual.substr(from, 120) + "\n  expected: ..." + expected.substr(from, 120);
}

class ReviewPages : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    fs::path folder() const { return fs::path(dir_.path().toStdString()) / "00000000"; }
    std::string Page(int style) const { return ReadBytes(ReviewPagePath(folder(), style)); }
    bool PageExists(int style) const { return fs::exists(ReviewPagePath(folder(), style)); }
    ReviewInput Input(const RecordList& rows) const
    {
        return {folder(), rows, std::string(test::kGoldenTitle)};
    }

    QTemporaryDir dir_;
};

TEST_F(ReviewPages, EqualTheHandWrittenPages)
{
    const RecordList rows = test::MakeFixtureProject(folder(), test::GoldenUrls());
    const Status status = GenerateReviews(Input(rows));
    ASSERT_TRUE(status.ok()) << status.message();
    for (int style : kStyles) {
        const std::string actual = Page(style);
        const std::string expected = Expected(style);
        ASSERT_FALSE(expected.empty()) << "missing expected page " << style;
        EXPECT_TRUE(actual == expected) << "preview" << style << ".html: "
                                        << Difference(actual, expected);
    }
}

TEST_F(ReviewPages, EachGeneratorWritesItsOwnPageOnly)
{
    const RecordList rows = test::MakeFixtureProject(folder(), test::GoldenUrls());
    using Generator = Status (*)(const ReviewInput&, const ReviewProgress&);
    const Generator generators[] = {GenerateSimpleReview, GenerateGalleryReview,
                                    GenerateGrayGraniteReview};
    for (int style : kStyles) {
        for (int other : kStyles)
            fs::remove(ReviewPagePath(folder(), other));
        ASSERT_TRUE(generators[style - 1](Input(rows), {}).ok());
        for (int other : kStyles)
            EXPECT_EQ(PageExists(other), other == style) << style << " wrote " << other;
        EXPECT_TRUE(Page(style) == Expected(style)) << Difference(Page(style), Expected(style));
    }
}

TEST_F(ReviewPages, EmptyProjectGivesFrameOnly)
{
    fs::create_directories(folder());
    ASSERT_TRUE(GenerateReviews(Input({})).ok());
    // The hand-written pages up to their first URL row are head, style sheet and body head.
    const std::string firstRow[] = {"<tr><td><h3>", "<tr><td><p>", "<tr>\r\n<td class=left>"};
    for (int style : kStyles) {
        const std::string expected = Expected(style);
        const std::size_t rowsStart = expected.find(firstRow[style - 1]);
        ASSERT_NE(rowsStart, std::string::npos);
        EXPECT_EQ(Page(style), expected.substr(0, rowsStart) + kTail) << "style " << style;
    }
}

TEST_F(ReviewPages, GalleryClosesAFullRowOnce)
{
    std::vector<test::FixtureUrl> urls = test::GoldenUrls();
    urls.resize(5);
    const RecordList rows = test::MakeFixtureProject(folder(), urls);
    ASSERT_TRUE(GenerateGalleryReview(Input(rows)).ok());
    const std::string page = Page(ReviewStyle::Gallery);
    auto count = [&page](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = page.find(what); at != std::string::npos; at = page.find(what, at + 1))
            ++n;
        return n;
    };
    // One row for the heading, one for the five pictures.
    EXPECT_EQ(count("<tr>"), 2u);
    EXPECT_EQ(count("</tr>"), 2u);
    EXPECT_NE(page.find("<br><br></p></td>\r\n</tr>\r\n</table>"), std::string::npos);
}

TEST_F(ReviewPages, ReportProgressPerUrlAndPage)
{
    const RecordList rows = test::MakeFixtureProject(folder(), test::GoldenUrls());
    int calls = 0;
    ASSERT_TRUE(GenerateReviews(Input(rows), [&calls] { return ++calls, true; }).ok());
    EXPECT_EQ(calls, 3 * static_cast<int>(rows.size()));
    calls = 0;
    ASSERT_TRUE(GenerateGalleryReview(Input(rows), [&calls] { return ++calls, true; }).ok());
    EXPECT_EQ(calls, static_cast<int>(rows.size()));
}

TEST_F(ReviewPages, StoppedRunWritesNoPage)
{
    const RecordList rows = test::MakeFixtureProject(folder(), test::GoldenUrls());
    for (int style : kStyles)
        test::WriteBytes(ReviewPagePath(folder(), style), "old page");
    int calls = 0;
    const Status status = GenerateReviews(Input(rows), [&calls] { return ++calls < 7; });
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.message(), kReviewStopped);
    EXPECT_EQ(calls, 7);
    for (int style : kStyles)
        EXPECT_EQ(Page(style), "old page");
}

TEST_F(ReviewPages, MissingProjectFolderIsAnError)
{
    const RecordList rows;
    const Status status = GenerateReviews(Input(rows));
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find(folder().string()), std::string::npos) << status.message();
    EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(ReviewPages, PageThatCannotBeWrittenIsReportedAndTheOthersStillWritten)
{
    const RecordList rows = test::MakeFixtureProject(folder(), test::GoldenUrls());
    fs::create_directories(ReviewPagePath(folder(), ReviewStyle::Gallery)); // a folder in its way
    const Status status = GenerateReviews(Input(rows));
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("preview2.html"), std::string::npos) << status.message();
    EXPECT_TRUE(Page(ReviewStyle::Simple) == Expected(ReviewStyle::Simple));
    EXPECT_TRUE(Page(ReviewStyle::GrayGranite) == Expected(ReviewStyle::GrayGranite));
}

TEST_F(ReviewPages, InvalidIdNamesNoFile)
{
    // Files lie where the bad Ids would lead; none of them may be used.
    fs::create_directories(folder() / "Data");
    fs::create_directories(folder() / "Icon");
    fs::create_directories(folder() / "Screenshot");
    fs::create_directories(folder().parent_path() / "outside");
    const std::string bad[] = {"GOLDENURL0000000001", "../../outside/x.dt.", "short"};
    for (const std::string& id : bad) {
        test::WriteBytes(folder() / "Icon" / (id + ".ico"), "icon");
        test::WriteBytes(folder() / "Screenshot" / (id + ".jpg"), "thumbnail");
    }
    test::WriteBytes(folder() / "Data" / (bad[0] + ".dt"),
                     "\x01\x07\r\n\x01\x07\r\n\"http://a.example/\">LEAK<\r\n\x01\x07\r\nLEAK\r\n");
    RecordList records;
    for (const std::string& id : bad)
        records.push_back(MakeUrlRecord(id, "00000000", "05/14/2024 10:00:00", "http://a.example/"));
    RecordList rows;
    BuildUrlRows(records, rows);
    ASSERT_TRUE(GenerateReviews(Input(rows)).ok());
    for (int style : kStyles) {
        const std::string page = Page(style);
        for (const std::string& id : bad)
            EXPECT_EQ(page.find(id), std::string::npos) << style << " refers to " << id;
        EXPECT_EQ(page.find("LEAK"), std::string::npos) << style;
        EXPECT_EQ(page.find("<img"), std::string::npos) << style;
    }
}

TEST(ReviewStyleNames, CaptionsAndPagePaths)
{
    EXPECT_EQ(ReviewStyleCaption(1), "Simple");
    EXPECT_EQ(ReviewStyleCaption(2), "Gallery");
    EXPECT_EQ(ReviewStyleCaption(3), "Gray Granite");
    EXPECT_EQ(ReviewStyleCaption(0), "");
    EXPECT_EQ(ReviewPagePath("/p", 3), fs::path("/p/preview3.html"));
    EXPECT_EQ(ReviewPagePath("/p", 4), fs::path());
    EXPECT_EQ(ReviewPagePath("/p", 0), fs::path());
}

} // namespace
} // namespace orvex
