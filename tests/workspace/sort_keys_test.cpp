// Sort keys of the project and URL lists and CompareSortKeys, with the edge
// cases of both lists.

#include "workspace/RecordLayout.h"
#include "workspace/SortKeys.h"
#include "workspace/UrlRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace orvex;

namespace {

const std::string kId = "5hmeiwmdphn21i3v900";
const std::string kCreated = "05/14/2007 13:45:30";

struct UrlSpec
{
    std::string url = "http://example.com/";
    std::string title;
    std::string created = kCreated;
    std::string updated;
    std::string statusCode;

    UrlSpec& Url(std::string v) { return Set(url, std::move(v)); }
    UrlSpec& Title(std::string v) { return Set(title, std::move(v)); }
    UrlSpec& Created(std::string v) { return Set(created, std::move(v)); }
    UrlSpec& Updated(std::string v) { return Set(updated, std::move(v)); }
    UrlSpec& StatusCode(std::string v) { return Set(statusCode, std::move(v)); }

private:
    UrlSpec& Set(std::string& field, std::string v)
    {
        field = std::move(v);
        return *this;
    }
};

std::string UrlRecord(const UrlSpec& s)
{
    RecordList records{MakeUrlRecord(kId, "00000001", s.created, s.url)};
    SetUrlField(records, 0, s.title, UrlField::Title);
    SetUrlField(records, 0, s.updated, UrlField::Updated);
    SetUrlField(records, 0, s.statusCode, UrlField::StatusCode);
    return records[0];
}

RecordList UrlRows(const std::vector<UrlSpec>& specs)
{
    RecordList records;
    for (const UrlSpec& s : specs)
        records.push_back(UrlRecord(s));
    RecordList rows;
    BuildUrlRows(records, rows);
    return rows;
}

std::vector<long long> UrlOrder(const RecordList& rows)
{
    std::vector<long long> order;
    for (const std::string& row : rows)
        order.push_back(RowStoreIndex(UrlRowFieldView(row, UrlRowField::StoreIndex)));
    return order;
}

std::vector<std::string> Titles(const RecordList& rows)
{
    std::vector<std::string> titles;
    for (const std::string& row : rows)
        titles.push_back(TrimText(UrlRowFieldView(row, UrlRowField::Title)));
    return titles;
}

RecordList ProjectRows(const std::vector<std::vector<std::string>>& specs)
{
    // {title, created, updated, description}
    RecordList records;
    for (const auto& s : specs) {
        records.push_back(MakeProjectRecord(kId, "00000000", s[1], s[0], s[3]));
        SetProjectField(records, static_cast<long long>(records.size() - 1), s[2],
                        ProjectField::Updated);
    }
    RecordList rows;
    BuildProjectRows(records, rows);
    return rows;
}

std::vector<long long> ProjectOrder(const RecordList& rows)
{
    std::vector<long long> order;
    for (const std::string& row : rows)
        order.push_back(RowStoreIndex(ProjectFieldView(row, ProjectField::StoreIndex)));
    return order;
}

std::vector<long long> Iota(long long n, bool reverse = false)
{
    std::vector<long long> v;
    for (long long i = 0; i < n; ++i)
        v.push_back(reverse ? n - 1 - i : i);
    return v;
}

const std::string kEAcuteUpper = "\xC3\x89"; // É
const std::string kEAcute = "\xC3\xA9";      // é

} // namespace

// ---------------------------------------------------------------------------
// Captions.

TEST(SortCaptions, UrlListCaptions)
{
    EXPECT_EQ(UrlSortColumnFromCaption("URL"), UrlSortColumn::Url);
    EXPECT_EQ(UrlSortColumnFromCaption("Title"), UrlSortColumn::Title);
    EXPECT_EQ(UrlSortColumnFromCaption("Created"), UrlSortColumn::Created);
    EXPECT_EQ(UrlSortColumnFromCaption("URL Status"), UrlSortColumn::Status);
    EXPECT_EQ(UrlSortColumnFromCaption("Updated"), UrlSortColumn::Updated);
}

TEST(SortCaptions, ProjectListCaptions)
{
    EXPECT_EQ(ProjectSortColumnFromCaption("Title"), ProjectSortColumn::Title);
    EXPECT_EQ(ProjectSortColumnFromCaption("Created"), ProjectSortColumn::Created);
    EXPECT_EQ(ProjectSortColumnFromCaption("Updated"), ProjectSortColumn::Updated);
    EXPECT_EQ(ProjectSortColumnFromCaption("Description"), ProjectSortColumn::Description);
}

TEST(SortCaptions, CaptionThatNamesNoColumn)
{
    for (const char* caption : {"", "url", "Status", "Description", "Bogus", "URL ", " Title"})
        EXPECT_FALSE(UrlSortColumnFromCaption(caption).has_value()) << caption;
    for (const char* caption : {"", "title", "URL", "URL Status", "Bogus"})
        EXPECT_FALSE(ProjectSortColumnFromCaption(caption).has_value()) << caption;
}

TEST(SortCaptions, CaptionThatNamesNoColumnLeavesTheRowsInRecordOrder)
{
    // What RefreshUrlList does with a hand-edited sort caption: no sort at all.
    RecordList rows =
        UrlRows({UrlSpec().Title("cherry"), UrlSpec().Title("apple"), UrlSpec().Title("Banana")});
    const RecordList before = rows;
    if (const auto column = UrlSortColumnFromCaption("Popularity"))
        SortUrlRows(rows, *column, true);
    EXPECT_EQ(rows, before);
    EXPECT_EQ(UrlOrder(rows), Iota(3));
}

// ---------------------------------------------------------------------------
// Key shapes.

TEST(UrlSortKey, LengthsOfTheFiveKeys)
{
    const RecordList rows =
        UrlRows({UrlSpec().Title("T").Updated("01/02/2007 03:04:05").StatusCode("404")});
    EXPECT_EQ(UrlSortKey(rows[0], UrlSortColumn::Url).size(), 520u);
    EXPECT_EQ(UrlSortKey(rows[0], UrlSortColumn::Title).size(), 264u);
    EXPECT_EQ(UrlSortKey(rows[0], UrlSortColumn::Created).size(), 24u);
    EXPECT_EQ(UrlSortKey(rows[0], UrlSortColumn::Status).size(), 48u);
    EXPECT_EQ(UrlSortKey(rows[0], UrlSortColumn::Updated).size(), 24u);
}

TEST(UrlSortKey, KeysKeepTheirLengthForLongUrlsShortRowsAndLengthChangingCase)
{
    std::string longUrl = "HTTP://EXAMPLE.COM/";
    longUrl.append(3000, 'X');
    const std::string kelvin = "\xE2\x84\xAA"; // KELVIN SIGN, lower case is one byte "k"
    std::string title;
    for (int i = 0; i < 85; ++i)
        title += kelvin; // 255 bytes
    const RecordList rows = UrlRows({UrlSpec().Url(longUrl).Title(title)});
    for (auto column : {UrlSortColumn::Url, UrlSortColumn::Title, UrlSortColumn::Created,
                        UrlSortColumn::Status, UrlSortColumn::Updated}) {
        const std::string key = UrlSortKey(rows[0], column);
        EXPECT_EQ(key.substr(key.size() - 8), "       0");
        // A damaged short row still gives full-length keys.
        const std::string shortKey = UrlSortKey(rows[0].substr(0, 40), column);
        EXPECT_EQ(shortKey.size(), key.size());
    }
    EXPECT_EQ(UrlSortKey(rows[0], UrlSortColumn::Url).size(), 520u);
    EXPECT_EQ(UrlSortKey(rows[0], UrlSortColumn::Url).substr(0, 19), "http://example.com/");
    EXPECT_EQ(UrlSortKey(rows[0], UrlSortColumn::Title).size(), 264u);
}

TEST(UrlSortKey, TextKeysAreTheLowerCasedFieldThenTheStoreIndex)
{
    RecordList rows = UrlRows(
        {UrlSpec().Title("x"), UrlSpec().Title("x"), UrlSpec().Title("Hello " + kEAcuteUpper)});
    const std::string key = UrlSortKey(rows[2], UrlSortColumn::Title);
    const std::string title = "hello " + kEAcute;
    EXPECT_EQ(key, title + std::string(256 - title.size(), ' ') + "       2");
    const std::string status =
        UrlSortKey(UrlRows({UrlSpec().StatusCode("404")})[0], UrlSortColumn::Status);
    EXPECT_EQ(status, "404 not found" + std::string(27, ' ') + "       0");
}

TEST(UrlSortKey, DateKeysAreYearMonthDayTime)
{
    const RecordList rows =
        UrlRows({UrlSpec().Created("12/31/2006 23:59:59").Updated("01/02/2007 03:04:05")});
    EXPECT_EQ(UrlSortKey(rows[0], UrlSortColumn::Created), "2006123123:59:59       0");
    EXPECT_EQ(UrlSortKey(rows[0], UrlSortColumn::Updated), "2007010203:04:05       0");
    const RecordList blank = UrlRows({UrlSpec()});
    EXPECT_EQ(UrlSortKey(blank[0], UrlSortColumn::Updated), std::string(16, ' ') + "       0");
}

TEST(ProjectSortKey, KeysOfTheFourColumns)
{
    const RecordList rows = ProjectRows({{"My " + kEAcuteUpper + "TUDE", "12/31/2006 23:59:59",
                                          "01/02/2007 03:04:05", "Some DESCRIPTION"}});
    const std::string title = "my " + kEAcute + "tude";
    EXPECT_EQ(ProjectSortKey(rows[0], ProjectSortColumn::Title),
              title + std::string(128 - title.size(), ' ') + "       0");
    EXPECT_EQ(ProjectSortKey(rows[0], ProjectSortColumn::Created), "2006123123:59:59       0");
    EXPECT_EQ(ProjectSortKey(rows[0], ProjectSortColumn::Updated), "2007010203:04:05       0");
    EXPECT_EQ(ProjectSortKey(rows[0], ProjectSortColumn::Description),
              "some description" + std::string(240, ' ') + "       0");
    EXPECT_EQ(ProjectSortKey(rows[0], ProjectSortColumn::Title).size(), 136u);
    EXPECT_EQ(ProjectSortKey(rows[0], ProjectSortColumn::Description).size(), 264u);
}

// ---------------------------------------------------------------------------
// CompareSortKeys.

TEST(CompareSortKeys, EqualKeysCompareEqual)
{
    EXPECT_EQ(CompareSortKeys("", ""), 0);
    EXPECT_EQ(CompareSortKeys("abc", "abc"), 0);
    const std::string long1(600, ' ');
    EXPECT_EQ(CompareSortKeys(long1, long1), 0);
}

TEST(CompareSortKeys, FirstDifferenceDecidesAtEveryPosition)
{
    for (std::size_t at = 0; at < 40; ++at) {
        std::string a(40, 'm');
        std::string b = a;
        a[at] = 'a';
        b[at] = 'b';
        // Later bytes pointing the other way do not matter.
        if (at + 1 < 40) {
            a[at + 1] = 'z';
            b[at + 1] = 'a';
        }
        EXPECT_LT(CompareSortKeys(a, b), 0) << at;
        EXPECT_GT(CompareSortKeys(b, a), 0) << at;
    }
}

TEST(CompareSortKeys, BytesAreSignedSoHighBytesComeFirst)
{
    EXPECT_LT(CompareSortKeys("\xC8", "a"), 0);     // code 200 before "a"
    EXPECT_LT(CompareSortKeys("\xE9", "a"), 0);     // code 233 before "a"
    EXPECT_LT(CompareSortKeys("\xC3\xA9", "a"), 0); // UTF-8 é before "a"
    EXPECT_LT(CompareSortKeys("\xFF", " "), 0);     // -1 before 32
    EXPECT_LT(CompareSortKeys("\x80", "\xFF"), 0);  // -128 before -1
    EXPECT_LT(CompareSortKeys("\xFF", std::string(1, '\0')), 0);
    EXPECT_GT(CompareSortKeys("\x7F", "\x80"), 0); // 127 after -128
    EXPECT_LT(CompareSortKeys(" ", "0"), 0);       // blank before digits
    // Signedness also decides after a long equal stretch.
    const std::string prefix(17, 'p');
    EXPECT_LT(CompareSortKeys(prefix + "\xC3", prefix + "a"), 0);
    EXPECT_GT(CompareSortKeys(prefix + "a", prefix + "\xC3"), 0);
}

// ---------------------------------------------------------------------------
// Sorting the URL list: its edge cases.

TEST(SortUrlRows, TitlesIgnoreCase)
{
    RecordList rows =
        UrlRows({UrlSpec().Title("cherry"), UrlSpec().Title("Banana"), UrlSpec().Title("apple")});
    SortUrlRows(rows, UrlSortColumn::Title, true);
    EXPECT_EQ(Titles(rows), (std::vector<std::string>{"apple", "Banana", "cherry"}));
    SortUrlRows(rows, UrlSortColumn::Title, false);
    EXPECT_EQ(Titles(rows), (std::vector<std::string>{"cherry", "Banana", "apple"}));
}

TEST(SortUrlRows, NonAsciiFirstCharacterSortsFirst)
{
    RecordList rows = UrlRows({UrlSpec().Title("apple"), UrlSpec().Title(kEAcuteUpper + "clair"),
                               UrlSpec().Title("Zebra"), UrlSpec().Title("0 numbers")});
    SortUrlRows(rows, UrlSortColumn::Title, true);
    EXPECT_EQ(Titles(rows),
              (std::vector<std::string>{kEAcuteUpper + "clair", "0 numbers", "apple", "Zebra"}));
    SortUrlRows(rows, UrlSortColumn::Title, false);
    EXPECT_EQ(Titles(rows).back(), kEAcuteUpper + "clair");
}

TEST(SortUrlRows, CreatedSortsChronologicallyAcrossTheYear)
{
    RecordList rows =
        UrlRows({UrlSpec().Created("01/01/2007 00:00:00"), UrlSpec().Created("12/31/2006 23:59:59"),
                 UrlSpec().Created("02/01/2006 00:00:00")});
    SortUrlRows(rows, UrlSortColumn::Created, true);
    EXPECT_EQ(UrlOrder(rows), (std::vector<long long>{2, 1, 0}));
    SortUrlRows(rows, UrlSortColumn::Created, false);
    EXPECT_EQ(UrlOrder(rows), (std::vector<long long>{0, 1, 2}));
}

TEST(SortUrlRows, UpdatedSortsChronologicallyAndBlankFirst)
{
    RecordList rows = UrlRows({UrlSpec().Updated("01/01/2007 00:00:00"), UrlSpec().Updated(""),
                               UrlSpec().Updated("12/31/2006 23:59:59")});
    SortUrlRows(rows, UrlSortColumn::Updated, true);
    EXPECT_EQ(UrlOrder(rows), (std::vector<long long>{1, 2, 0}));
}

TEST(SortUrlRows, EqualTitlesKeepRecordOrderAscendingAndReverseDescending)
{
    // More than ten rows, so the right-aligned StoreIndex is tested past one digit.
    std::vector<UrlSpec> specs(12, UrlSpec().Title("Same"));
    specs[5].title = "SAME"; // case does not count
    RecordList rows = UrlRows(specs);
    std::reverse(rows.begin(), rows.end()); // the starting order does not matter
    SortUrlRows(rows, UrlSortColumn::Title, true);
    EXPECT_EQ(UrlOrder(rows), Iota(12));
    SortUrlRows(rows, UrlSortColumn::Title, false);
    EXPECT_EQ(UrlOrder(rows), Iota(12, true));
}

TEST(SortUrlRows, EqualDatesAndBlankStatusesTieOnRecordOrder)
{
    RecordList rows = UrlRows(std::vector<UrlSpec>(11));
    for (auto column : {UrlSortColumn::Url, UrlSortColumn::Created, UrlSortColumn::Status,
                        UrlSortColumn::Updated}) {
        SortUrlRows(rows, column, false);
        EXPECT_EQ(UrlOrder(rows), Iota(11, true));
        SortUrlRows(rows, column, true);
        EXPECT_EQ(UrlOrder(rows), Iota(11));
    }
}

TEST(SortUrlRows, ByUrlUsesTheLowerCasedUrl)
{
    RecordList rows =
        UrlRows({UrlSpec().Url("http://b.example/"), UrlSpec().Url("HTTP://A.EXAMPLE/"),
                 UrlSpec().Url("http://c.example/")});
    SortUrlRows(rows, UrlSortColumn::Url, true);
    EXPECT_EQ(UrlOrder(rows), (std::vector<long long>{1, 0, 2}));
}

TEST(SortUrlRows, ByUrlComparesOnlyTheFirst512Characters)
{
    const std::string common = "http://example.com/" + std::string(493, 'a'); // 512
    RecordList rows = UrlRows({UrlSpec().Url(common + "zzz"), UrlSpec().Url(common + "aaa")});
    SortUrlRows(rows, UrlSortColumn::Url, true);
    EXPECT_EQ(UrlOrder(rows), (std::vector<long long>{0, 1})); // a tie: record order
}

TEST(SortUrlRows, ByStatusText)
{
    RecordList rows = UrlRows({UrlSpec().StatusCode("404"), UrlSpec().StatusCode(""),
                               UrlSpec().StatusCode("200"), UrlSpec().StatusCode("0")});
    SortUrlRows(rows, UrlSortColumn::Status, true);
    // blank, "0", "200 ok", "404 not found"
    EXPECT_EQ(UrlOrder(rows), (std::vector<long long>{1, 3, 2, 0}));
}

TEST(SortUrlRows, EmptyListStaysEmpty)
{
    RecordList rows;
    SortUrlRows(rows, UrlSortColumn::Title, true);
    EXPECT_TRUE(rows.empty());
}

// ---------------------------------------------------------------------------
// Sorting the project list.

TEST(SortProjectRows, TitlesIgnoreCaseAndNonAsciiComesFirst)
{
    RecordList rows = ProjectRows({{"cherry", kCreated, "", ""},
                                   {"Banana", kCreated, "", ""},
                                   {kEAcuteUpper + "t" + kEAcute, kCreated, "", ""},
                                   {"apple", kCreated, "", ""}});
    SortProjectRows(rows, ProjectSortColumn::Title, true);
    EXPECT_EQ(ProjectOrder(rows), (std::vector<long long>{2, 3, 1, 0}));
    SortProjectRows(rows, ProjectSortColumn::Title, false);
    EXPECT_EQ(ProjectOrder(rows), (std::vector<long long>{0, 1, 3, 2}));
}

TEST(SortProjectRows, DatesSortChronologicallyAndBlankUpdatedFirst)
{
    RecordList rows = ProjectRows({{"a", "01/01/2007 00:00:00", "01/01/2007 00:00:00", ""},
                                   {"b", "12/31/2006 23:59:59", "", ""},
                                   {"c", "06/15/2006 12:00:00", "12/31/2006 23:59:59", ""}});
    SortProjectRows(rows, ProjectSortColumn::Created, true);
    EXPECT_EQ(ProjectOrder(rows), (std::vector<long long>{2, 1, 0}));
    SortProjectRows(rows, ProjectSortColumn::Updated, true);
    EXPECT_EQ(ProjectOrder(rows), (std::vector<long long>{1, 2, 0}));
    SortProjectRows(rows, ProjectSortColumn::Updated, false);
    EXPECT_EQ(ProjectOrder(rows), (std::vector<long long>{0, 2, 1}));
}

TEST(SortProjectRows, EqualKeysKeepRecordOrderAscendingAndReverseDescending)
{
    std::vector<std::vector<std::string>> specs(12, {"Same", kCreated, "", "Same text"});
    RecordList rows = ProjectRows(specs);
    for (auto column : {ProjectSortColumn::Title, ProjectSortColumn::Created,
                        ProjectSortColumn::Updated, ProjectSortColumn::Description}) {
        SortProjectRows(rows, column, true);
        EXPECT_EQ(ProjectOrder(rows), Iota(12));
        SortProjectRows(rows, column, false);
        EXPECT_EQ(ProjectOrder(rows), Iota(12, true));
    }
}

TEST(SortProjectRows, ByDescription)
{
    RecordList rows = ProjectRows({{"x", kCreated, "", "Zulu"}, {"y", kCreated, "", "alpha"}});
    SortProjectRows(rows, ProjectSortColumn::Description, true);
    EXPECT_EQ(ProjectOrder(rows), (std::vector<long long>{1, 0}));
}
