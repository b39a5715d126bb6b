// Fixed-width record layouts: field columns and widths, reading and writing
// single fields (cuts, paddings, trimming, line breaks, UTF-8), out-of-range
// arguments, damaged short lines and the builders of new records.

#include "workspace/RecordLayout.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>
#include <vector>

using namespace orvex;

namespace {

const std::string kE2 = "\xC3\xA9";           // é, 2 bytes
const std::string kEuro = "\xE2\x82\xAC";     // €, 3 bytes
const std::string kGrin = "\xF0\x9F\x98\x80"; // U+1F600, 4 bytes

// ---------------------------------------------------------------------------
// The three layouts, as the record formats define them (not copied from the code).

struct Column
{
    int field;
    std::size_t first;
    std::size_t width;
};

const std::vector<Column> kProjectColumns{
    {1, 1, 8},    {2, 9, 19},    {3, 28, 8},    {4, 36, 19},   {5, 55, 19},
    {6, 74, 100}, {7, 174, 100}, {8, 274, 128}, {9, 402, 256},
};
const Column kProjectStoreIndex{10, 658, 8};

const std::vector<Column> kUrlColumns{
    {1, 1, 8},      {2, 9, 19},     {3, 28, 8},      {4, 36, 19},    {5, 55, 19},   {6, 74, 19},
    {7, 93, 100},   {8, 193, 16},   {9, 209, 16},    {10, 225, 4},   {11, 229, 60}, {12, 289, 256},
    {13, 545, 256}, {14, 801, 256}, {15, 1057, 256}, {16, 1313, 91},
};

const std::vector<Column> kUrlRowColumns{
    {1, 1, 8},    {2, 9, 8},      {3, 17, 19},    {4, 36, 19},    {5, 55, 16},
    {6, 71, 19},  {7, 90, 40},    {8, 130, 19},   {9, 149, 256},  {10, 405, 256},
    {11, 661, 8}, {12, 669, 256}, {13, 925, 256}, {14, 1181, 91}, {15, 1272, 512},
};

enum class Kind { Project, Url, UrlRow };

struct Layout
{
    Kind kind;
    const char* name;
    std::size_t length; // length of the fixed part
    std::string tail;   // what follows the fixed part in a sample line
    int lastField;      // highest field number a setter accepts
    FieldSpec (*fieldOf)(int);
    std::string (*get)(std::string_view, int);
    void (*set)(RecordList&, long long, std::string_view, int);
};

const Layout& LayoutOf(Kind kind)
{
    static const Layout project{Kind::Project,    "Project",       657, "", 9, &ProjectFieldSpec,
                                &GetProjectField, &SetProjectField};
    static const Layout url{Kind::Url, "Url",         1403,         "http://example.com/tail",
                            17,        &UrlFieldSpec, &GetUrlField, &SetUrlField};
    static const Layout row{Kind::UrlRow,     "UrlRow",        1783,           "", 15,
                            &UrlRowFieldSpec, &GetUrlRowField, &SetUrlRowField};
    switch (kind) {
    case Kind::Project:
        return project;
    case Kind::Url:
        return url;
    case Kind::UrlRow:
        break;
    }
    return row;
}

const std::vector<Column>& ColumnsOf(Kind kind)
{
    switch (kind) {
    case Kind::Project:
        return kProjectColumns;
    case Kind::Url:
        return kUrlColumns;
    case Kind::UrlRow:
        break;
    }
    return kUrlRowColumns;
}

char Mark(int field)
{
    return static_cast<char>('A' + field - 1);
}

// A full line whose every field is filled with its own letter.
std::string MarkedLine(Kind kind)
{
    std::string line;
    for (const Column& c : ColumnsOf(kind))
        line.append(c.width, Mark(c.field));
    return line + LayoutOf(kind).tail;
}

struct FieldCase
{
    Kind kind;
    Column column;
};

std::ostream& operator<<(std::ostream& os, const FieldCase& c)
{
    return os << LayoutOf(c.kind).name << " field " << c.column.field;
}

std::vector<FieldCase> AllFixedFields()
{
    std::vector<FieldCase> cases;
    for (Kind kind : {Kind::Project, Kind::Url, Kind::UrlRow}) {
        for (const Column& c : ColumnsOf(kind))
            cases.push_back({kind, c});
    }
    return cases;
}

class FixedFieldTest : public ::testing::TestWithParam<FieldCase>
{
protected:
    const Layout& layout() const { return LayoutOf(GetParam().kind); }
    const Column& column() const { return GetParam().column; }
    int field() const { return column().field; }
    std::size_t begin() const { return column().first - 1; }
    std::size_t width() const { return column().width; }

    // Sets the field of a marked line and returns the new line.
    std::string SetOnMarked(std::string_view value) const
    {
        RecordList list{MarkedLine(GetParam().kind)};
        layout().set(list, 0, value, field());
        return list[0];
    }

    // The line around the field is unchanged and keeps its length.
    void ExpectOnlyFieldChanged(const std::string& line) const
    {
        const std::string before = MarkedLine(GetParam().kind);
        ASSERT_EQ(line.size(), before.size());
        EXPECT_EQ(line.substr(0, begin()), before.substr(0, begin()));
        EXPECT_EQ(line.substr(begin() + width()), before.substr(begin() + width()));
    }

    std::string FieldOf(const std::string& line) const { return line.substr(begin(), width()); }
};

TEST_P(FixedFieldTest, SpecGivesFirstColumnAndWidth)
{
    const FieldSpec found = layout().fieldOf(field());
    EXPECT_EQ(found.first, column().first);
    EXPECT_EQ(found.width, width());
}

TEST_P(FixedFieldTest, ReadsExactlyItsColumns)
{
    EXPECT_EQ(layout().get(MarkedLine(GetParam().kind), field()),
              std::string(width(), Mark(field())));
}

TEST_P(FixedFieldTest, LongerValueIsCutToTheWidth)
{
    std::string value;
    for (std::size_t i = 0; value.size() < width() + 7; ++i)
        value += static_cast<char>('a' + i % 26);
    const std::string line = SetOnMarked(value);
    ExpectOnlyFieldChanged(line);
    EXPECT_EQ(FieldOf(line), value.substr(0, width()));
}

TEST_P(FixedFieldTest, ValueOfExactlyTheWidthIsKeptWhole)
{
    const std::string value(width(), 'v');
    const std::string line = SetOnMarked(value);
    ExpectOnlyFieldChanged(line);
    EXPECT_EQ(FieldOf(line), value);
}

TEST_P(FixedFieldTest, ShorterValueIsPaddedWithBlanks)
{
    const std::string line = SetOnMarked("ab");
    ExpectOnlyFieldChanged(line);
    EXPECT_EQ(FieldOf(line), "ab" + std::string(width() - 2, ' '));
    EXPECT_EQ(layout().get(line, field()), FieldOf(line));
}

TEST_P(FixedFieldTest, EmptyValueStoresBlanks)
{
    const std::string line = SetOnMarked("");
    ExpectOnlyFieldChanged(line);
    EXPECT_EQ(FieldOf(line), std::string(width(), ' '));
}

TEST_P(FixedFieldTest, LeadingAndTrailingBlanksAndControlCharactersAreTrimmed)
{
    const std::string line = SetOnMarked(std::string("\t\x01  a b \x1f\r\n \0", 13));
    ExpectOnlyFieldChanged(line);
    EXPECT_EQ(FieldOf(line), "a b" + std::string(width() - 3, ' '));
}

TEST_P(FixedFieldTest, TrimmingComesBeforeTheCut)
{
    // Forty leading blanks must not use up the width.
    const std::string value = std::string(40, ' ') + std::string(width() + 3, 'q');
    const std::string line = SetOnMarked(value);
    ExpectOnlyFieldChanged(line);
    EXPECT_EQ(FieldOf(line), std::string(width(), 'q'));
}

TEST_P(FixedFieldTest, LineBreaksInsideBecomeBlanks)
{
    const std::string line = SetOnMarked("a\rb\nc\r\nd");
    ExpectOnlyFieldChanged(line);
    EXPECT_EQ(line.find('\r'), std::string::npos);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const std::string expected = std::string("a b c  d").substr(0, width());
    EXPECT_EQ(FieldOf(line), expected + std::string(width() - expected.size(), ' '));
}

TEST_P(FixedFieldTest, OtherControlCharactersInsideAreKept)
{
    const std::string line = SetOnMarked("a\tb");
    EXPECT_EQ(FieldOf(line), "a\tb" + std::string(width() - 3, ' '));
}

TEST_P(FixedFieldTest, MultibyteCharacterStraddlingTheCutIsNotSplit)
{
    for (const std::string& ch : {kE2, kEuro, kGrin}) {
        SCOPED_TRACE(ch.size());
        // The character starts one byte before the end of the field and so on.
        for (std::size_t inside = 1; inside < ch.size(); ++inside) {
            const std::size_t lead = width() - inside;
            const std::string line = SetOnMarked(std::string(lead, 'x') + ch + "yz");
            ExpectOnlyFieldChanged(line);
            EXPECT_EQ(FieldOf(line), std::string(lead, 'x') + std::string(inside, ' '));
        }
        // A character that ends exactly at the last column is kept.
        const std::string fits = std::string(width() - ch.size(), 'x') + ch;
        const std::string line = SetOnMarked(fits + "yz");
        ExpectOnlyFieldChanged(line);
        EXPECT_EQ(FieldOf(line), fits);
    }
}

TEST_P(FixedFieldTest, MultibyteValueRoundTrips)
{
    const std::string value = "Gr" + kE2 + "n " + kEuro + " " + kGrin;
    const std::string line = SetOnMarked(value);
    if (value.size() <= width()) {
        EXPECT_EQ(TrimText(layout().get(line, field())), value);
    } else {
        EXPECT_EQ(TrimText(layout().get(line, field())), TrimText(Utf8Prefix(value, width())));
    }
}

TEST_P(FixedFieldTest, IndexOutOfRangeChangesNothing)
{
    const RecordList original{MarkedLine(GetParam().kind), MarkedLine(GetParam().kind)};
    for (long long index : {-1LL, 2LL, 3LL, 1000LL, LLONG_MIN, LLONG_MAX}) {
        RecordList list = original;
        layout().set(list, index, "changed", field());
        EXPECT_EQ(list, original) << index;
    }
    RecordList empty;
    layout().set(empty, 0, "changed", field());
    EXPECT_TRUE(empty.empty());
}

TEST_P(FixedFieldTest, SecondRecordOfAListIsTheOneChanged)
{
    RecordList list{MarkedLine(GetParam().kind), MarkedLine(GetParam().kind),
                    MarkedLine(GetParam().kind)};
    layout().set(list, 1, "second", field());
    EXPECT_EQ(list[0], MarkedLine(GetParam().kind));
    EXPECT_EQ(list[2], MarkedLine(GetParam().kind));
    EXPECT_EQ(TrimText(layout().get(list[1], field())), std::string("second").substr(0, width()));
}

TEST_P(FixedFieldTest, LineEndingInsideTheFieldReadsWhatIsThere)
{
    const std::string line = MarkedLine(GetParam().kind).substr(0, begin() + 3);
    EXPECT_EQ(layout().get(line, field()), std::string(3, Mark(field())));
}

TEST_P(FixedFieldTest, LineEndingBeforeTheFieldReadsEmpty)
{
    const std::string marked = MarkedLine(GetParam().kind);
    EXPECT_EQ(layout().get(marked.substr(0, begin()), field()), "");
    if (begin() > 0) {
        EXPECT_EQ(layout().get(marked.substr(0, begin() - 1), field()), "");
    }
    EXPECT_EQ(layout().get("", field()), "");
}

TEST_P(FixedFieldTest, WriteIntoAShortLinePutsTheValueAfterThePrefix)
{
    const std::string marked = MarkedLine(GetParam().kind);
    // The line ends inside the field: the prefix is kept, nothing follows the value.
    {
        RecordList list{marked.substr(0, begin() + 3)};
        layout().set(list, 0, "new", field());
        EXPECT_EQ(list[0], marked.substr(0, begin()) + FitField("new", width()));
    }
    // The line ends well before the field: it stays short and misaligned.
    {
        const std::size_t keep = begin() / 2;
        RecordList list{marked.substr(0, keep)};
        layout().set(list, 0, "new", field());
        EXPECT_EQ(list[0], marked.substr(0, keep) + FitField("new", width()));
    }
    // An empty line.
    {
        RecordList list{""};
        layout().set(list, 0, "new", field());
        EXPECT_EQ(list[0], FitField("new", width()));
    }
}

std::string FieldCaseName(const ::testing::TestParamInfo<FieldCase>& info)
{
    return std::string(LayoutOf(info.param.kind).name) + "Field" +
           std::to_string(info.param.column.field);
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, FixedFieldTest, ::testing::ValuesIn(AllFixedFields()),
                         FieldCaseName);

// ---------------------------------------------------------------------------
// Layout totals.

TEST(RecordLayout, ColumnsAreContiguousAndAddUpToTheRecordLengths)
{
    for (Kind kind : {Kind::Project, Kind::Url, Kind::UrlRow}) {
        std::size_t next = 1;
        for (const Column& c : ColumnsOf(kind)) {
            EXPECT_EQ(c.first, next) << LayoutOf(kind).name << " " << c.field;
            next += c.width;
        }
        EXPECT_EQ(next - 1, LayoutOf(kind).length) << LayoutOf(kind).name;
    }
    EXPECT_EQ(kProjectRecordLength, 657u);
    EXPECT_EQ(kProjectRowLength, 665u);
    EXPECT_EQ(kUrlFixedLength, 1403u);
    EXPECT_EQ(kUrlRowLength, 1783u);
}

TEST(RecordLayout, ProjectRowStoreIndexAndUrlFieldSpecs)
{
    const FieldSpec storeIndex = ProjectFieldSpec(10);
    EXPECT_EQ(storeIndex.first, kProjectStoreIndex.first);
    EXPECT_EQ(storeIndex.width, kProjectStoreIndex.width);
    const FieldSpec url = UrlFieldSpec(17);
    EXPECT_EQ(url.first, 1404u);
    EXPECT_EQ(url.width, 0u); // to the end of the line
}

TEST(RecordLayout, SpecsOfFieldNumbersOutOfRangeAreEmpty)
{
    for (int f : {INT_MIN, -1, 0, 11, 100, INT_MAX})
        EXPECT_EQ(ProjectFieldSpec(f).first, 0u) << f;
    for (int f : {INT_MIN, -1, 0, 18, INT_MAX})
        EXPECT_EQ(UrlFieldSpec(f).first, 0u) << f;
    for (int f : {INT_MIN, -1, 0, 16, INT_MAX})
        EXPECT_EQ(UrlRowFieldSpec(f).first, 0u) << f;
}

// ---------------------------------------------------------------------------
// Field numbers out of range.

TEST(RecordLayout, ReadsOfFieldNumbersOutOfRangeAreEmpty)
{
    const std::string project = MarkedLine(Kind::Project);
    const std::string projectRow = project + "       3";
    const std::string url = MarkedLine(Kind::Url);
    const std::string row = MarkedLine(Kind::UrlRow);
    for (int f : {INT_MIN, -1, 0, 10, 11, INT_MAX})
        EXPECT_EQ(GetProjectField(projectRow, f), "") << f;
    for (int f : {INT_MIN, -1, 0, 11, INT_MAX})
        EXPECT_EQ(GetProjectRowField(projectRow, f), "") << f;
    for (int f : {INT_MIN, -1, 0, 18, INT_MAX})
        EXPECT_EQ(GetUrlField(url, f), "") << f;
    for (int f : {INT_MIN, -1, 0, 16, INT_MAX})
        EXPECT_EQ(GetUrlRowField(row, f), "") << f;
}

TEST(RecordLayout, WritesOfFieldNumbersOutOfRangeChangeNothing)
{
    for (Kind kind : {Kind::Project, Kind::Url, Kind::UrlRow}) {
        const Layout& layout = LayoutOf(kind);
        const RecordList original{MarkedLine(kind)};
        for (int f : {INT_MIN, -1, 0, layout.lastField + 1, layout.lastField + 2, INT_MAX}) {
            RecordList list = original;
            layout.set(list, 0, "changed", f);
            EXPECT_EQ(list, original) << layout.name << " field " << f;
        }
    }
}

TEST(RecordLayout, ProjectStoreIndexIsARowFieldOnly)
{
    const std::string row = MarkedLine(Kind::Project) + "      42";
    EXPECT_EQ(GetProjectRowField(row, 10), "      42");
    EXPECT_EQ(GetProjectField(row, 10), "");
    for (int f = 1; f <= 9; ++f)
        EXPECT_EQ(GetProjectRowField(row, f), GetProjectField(row, f)) << f;
    // SetProjectField knows fields 1-9 only.
    RecordList list{row};
    SetProjectField(list, 0, "7", 10);
    EXPECT_EQ(list[0], row);
}

// ---------------------------------------------------------------------------
// Project Description: nothing follows it.

TEST(ProjectFields, DescriptionDropsStrayCharactersAfterColumn657)
{
    const std::string record = MarkedLine(Kind::Project);
    RecordList list{record + "STRAY CHARACTERS"};
    SetProjectField(list, 0, "new description", 9);
    ASSERT_EQ(list[0].size(), 657u);
    EXPECT_EQ(list[0].substr(0, 401), record.substr(0, 401));
    EXPECT_EQ(list[0].substr(401), FitField("new description", 256));
}

TEST(ProjectFields, OtherFieldsKeepStrayCharacters)
{
    const std::string record = MarkedLine(Kind::Project);
    RecordList list{record + "STRAY"};
    SetProjectField(list, 0, "new title", 8);
    EXPECT_EQ(list[0].size(), 662u);
    EXPECT_EQ(list[0].substr(657), "STRAY");
}

TEST(ProjectFields, TitleOf200CharactersKeepsItsFirst128)
{
    std::string title;
    for (int i = 0; i < 200; ++i)
        title += static_cast<char>('a' + i % 26);
    RecordList list{MarkedLine(Kind::Project)};
    SetProjectField(list, 0, title, 8);
    EXPECT_EQ(GetProjectField(list[0], 8), title.substr(0, 128));
    SetProjectField(list, 0, "   Leading blanks", 8);
    EXPECT_EQ(TrimText(GetProjectField(list[0], 8)), "Leading blanks");
    EXPECT_EQ(GetProjectField(list[0], 8).substr(0, 14), "Leading blanks");
}

// ---------------------------------------------------------------------------
// The Url of a URL record runs to the end of the line.

TEST(UrlField, ReadsFromColumn1404ToTheEndOfTheLine)
{
    const std::string fixed = MarkedLine(Kind::Url).substr(0, 1403);
    EXPECT_EQ(GetUrlField(fixed + "http://a.example/x y", 17), "http://a.example/x y");
    EXPECT_EQ(GetUrlField(fixed, 17), "");
    EXPECT_EQ(GetUrlField(fixed.substr(0, 1000), 17), "");
    EXPECT_EQ(GetUrlField(fixed + "h", 17), "h");
}

TEST(UrlField, SetStoresA2000CharacterUrlWhole)
{
    std::string url = "http://example.com/";
    while (url.size() < 2000)
        url += static_cast<char>('a' + url.size() % 26);
    RecordList list{MarkedLine(Kind::Url)};
    SetUrlField(list, 0, url, 17);
    ASSERT_EQ(list[0].size(), 1403u + 2000u);
    EXPECT_EQ(list[0].substr(0, 1403), MarkedLine(Kind::Url).substr(0, 1403));
    EXPECT_EQ(GetUrlField(list[0], 17), url);
}

TEST(UrlField, SetTrimsButNeitherPadsNorCuts)
{
    RecordList list{MarkedLine(Kind::Url)};
    SetUrlField(list, 0, " \t http://x.example/ \r\n", 17);
    EXPECT_EQ(list[0], MarkedLine(Kind::Url).substr(0, 1403) + "http://x.example/");
    SetUrlField(list, 0, "", 17);
    EXPECT_EQ(list[0], MarkedLine(Kind::Url).substr(0, 1403));
}

TEST(UrlField, SetReplacesLineBreaksInsideTheUrl)
{
    RecordList list{MarkedLine(Kind::Url)};
    SetUrlField(list, 0, "http://x/\r\nb\rc\nd", 17);
    EXPECT_EQ(GetUrlField(list[0], 17), "http://x/  b c d");
}

TEST(UrlField, SetKeepsAMultibyteUrlWhole)
{
    const std::string url = "http://b" + kE2 + "cher.example/" + kEuro + kGrin;
    RecordList list{MarkedLine(Kind::Url)};
    SetUrlField(list, 0, url, 17);
    EXPECT_EQ(GetUrlField(list[0], 17), url);
}

TEST(UrlField, SetOnAShortLineFollowsWhatPrefixThereIs)
{
    RecordList list{MarkedLine(Kind::Url).substr(0, 100)};
    SetUrlField(list, 0, "http://x/", 17);
    EXPECT_EQ(list[0], MarkedLine(Kind::Url).substr(0, 100) + "http://x/");
}

TEST(UrlField, FixedFieldsKeepALongUrlBehindThem)
{
    const std::string url = std::string(3000, 'u');
    RecordList list{MarkedLine(Kind::Url).substr(0, 1403) + url};
    SetUrlField(list, 0, "Props", 16);
    SetUrlField(list, 0, "Title", 13);
    EXPECT_EQ(GetUrlField(list[0], 17), url);
    EXPECT_EQ(list[0].size(), 1403u + 3000u);
}

// ---------------------------------------------------------------------------
// The Url of a URL row: 512 columns, a longer URL stays whole in the row.

TEST(UrlRowField, LongUrlReadsAsItsFirst512Characters)
{
    std::string url;
    for (int i = 0; i < 2000; ++i)
        url += static_cast<char>('a' + i % 26);
    const std::string row = MarkedLine(Kind::UrlRow).substr(0, 1271) + url;
    EXPECT_EQ(GetUrlRowField(row, 15), url.substr(0, 512));
    // Fields before it are unaffected.
    EXPECT_EQ(GetUrlRowField(row, 14), std::string(91, Mark(14)));
}

TEST(UrlRowField, LongUrlIsNotCutInsideACharacter)
{
    for (const std::string& ch : {kE2, kEuro, kGrin}) {
        const std::string url = std::string(511, 'a') + ch + std::string(100, 'b');
        const std::string row = MarkedLine(Kind::UrlRow).substr(0, 1271) + url;
        EXPECT_EQ(GetUrlRowField(row, 15), std::string(511, 'a')) << ch.size();
    }
}

TEST(UrlRowField, SetUrlFitsTheValueInto512Columns)
{
    RecordList rows{MarkedLine(Kind::UrlRow).substr(0, 1271) + std::string(700, 'o')};
    SetUrlRowField(rows, 0, "http://short/", 15);
    EXPECT_EQ(rows[0], MarkedLine(Kind::UrlRow).substr(0, 1271) + FitField("http://short/", 512));
}

// ---------------------------------------------------------------------------
// New records.

TEST(MakeProjectRecord, ExactBytes)
{
    const std::string record = MakeProjectRecord("5hmeiwmdphn21i3v900", "00000007",
                                                 "05/14/2007 13:45:30", "My project", "About it");
    const std::string expected = "00000000" + std::string("5hmeiwmdphn21i3v900") + "00000007" +
                                 "05/14/2007 13:45:30" + std::string(19, ' ') +
                                 std::string(100, ' ') + std::string(100, ' ') +
                                 FitField("My project", 128) + FitField("About it", 256);
    ASSERT_EQ(expected.size(), 657u);
    EXPECT_EQ(record, expected);
    EXPECT_EQ(GetProjectField(record, 1), "00000000");
    EXPECT_EQ(GetProjectField(record, 2), "5hmeiwmdphn21i3v900");
    EXPECT_EQ(GetProjectField(record, 3), "00000007");
    EXPECT_EQ(GetProjectField(record, 4), "05/14/2007 13:45:30");
    EXPECT_EQ(GetProjectField(record, 5), std::string(19, ' '));
    EXPECT_EQ(GetProjectField(record, 6), std::string(100, ' '));
    EXPECT_EQ(GetProjectField(record, 7), std::string(100, ' '));
    EXPECT_EQ(TrimText(GetProjectField(record, 8)), "My project");
    EXPECT_EQ(TrimText(GetProjectField(record, 9)), "About it");
}

TEST(MakeProjectRecord, TitleAndDescriptionAreTrimmedCutAndFreedOfLineBreaks)
{
    const std::string longTitle = "  " + std::string(200, 't');
    const std::string record =
        MakeProjectRecord("5hmeiwmdphn21i3v900", "00000000", "05/14/2007 13:45:30", longTitle,
                          "line one\r\nline two\rthree\nfour  \r\n");
    ASSERT_EQ(record.size(), 657u);
    EXPECT_EQ(GetProjectField(record, 8), std::string(128, 't'));
    EXPECT_EQ(GetProjectField(record, 9), FitField("line one  line two three four", 256));
    EXPECT_EQ(record.find_first_of("\r\n"), std::string::npos);
}

TEST(MakeProjectRecord, MultibyteTitleAtTheCutIsNotSplit)
{
    const std::string title = std::string(127, 'x') + kE2;
    const std::string record =
        MakeProjectRecord("5hmeiwmdphn21i3v900", "00000000", "05/14/2007 13:45:30", title, "");
    ASSERT_EQ(record.size(), 657u);
    EXPECT_EQ(GetProjectField(record, 8), std::string(127, 'x') + " ");
}

TEST(MakeProjectRecord, AlwaysComesOutAt657)
{
    const std::string record =
        MakeProjectRecord(std::string(30, 'i'), "123456789012", std::string(25, 'c'),
                          std::string(300, 't'), std::string(300, 'd'));
    EXPECT_EQ(record.size(), 657u);
    EXPECT_EQ(GetProjectField(record, 3), "12345678");
}

TEST(MakeUrlRecord, ExactBytes)
{
    const std::string record = MakeUrlRecord("5hmeiwmdphn21i3v900", "00000003",
                                             "05/14/2007 13:45:30", "  http://example.com/  ");
    std::string expected = "0000 000";
    expected += "5hmeiwmdphn21i3v900";
    expected += "00000003";
    expected += "05/14/2007 13:45:30";
    expected += std::string(19, ' ');  // Updated
    expected += std::string(19, ' ');  // Captured
    expected += std::string(100, '0'); // Reserved7
    expected += std::string(16, ' ');  // Reserved8
    expected += std::string(16, ' ');  // Reserved9
    expected += std::string(4, ' ');   // StatusCode
    expected += std::string(60, ' ');  // Reserved11
    expected += std::string(256, ' '); // Reserved12
    expected += std::string(256, ' '); // Title
    expected += std::string(256, ' '); // Keywords
    expected += std::string(256, ' '); // Description
    expected += std::string(91, ' ');  // Properties
    ASSERT_EQ(expected.size(), 1403u);
    expected += "http://example.com/";
    EXPECT_EQ(record, expected);
    EXPECT_EQ(GetUrlField(record, 1), "0000 000");
    EXPECT_EQ(GetUrlField(record, 7), std::string(100, '0'));
    EXPECT_EQ(GetUrlField(record, 10), "    ");
    EXPECT_EQ(GetUrlField(record, 17), "http://example.com/");
}

TEST(MakeUrlRecord, LongUrlIsKeptWholeAndLineBreaksBecomeBlanks)
{
    const std::string url = "http://example.com/" + std::string(1981, 'p');
    const std::string record =
        MakeUrlRecord("5hmeiwmdphn21i3v900", "00000003", "05/14/2007 13:45:30", url);
    EXPECT_EQ(record.size(), 1403u + 2000u);
    EXPECT_EQ(GetUrlField(record, 17), url);
    const std::string broken =
        MakeUrlRecord("5hmeiwmdphn21i3v900", "00000003", "05/14/2007 13:45:30", "http://a/\r\nb");
    EXPECT_EQ(GetUrlField(broken, 17), "http://a/  b");
}

// ---------------------------------------------------------------------------
// Properties and StoreIndex.

TEST(Properties, PackedInto91BytesAtTheSubColumns)
{
    const std::string packed =
        PackProperties({"12345", "text/html", "utf-8", "Mon, 14 May 2007 13:45"});
    ASSERT_EQ(packed.size(), 91u);
    EXPECT_EQ(packed.substr(0, 8), "12345   ");
    EXPECT_EQ(packed.substr(8, 40), FitField("text/html", 40));
    EXPECT_EQ(packed.substr(48, 24), FitField("utf-8", 24));
    EXPECT_EQ(packed.substr(72, 19), "Mon, 14 May 2007 13"); // cut to 19
}

TEST(Properties, EachPartIsTrimmedCutAndPadded)
{
    const std::string packed = PackProperties(
        {" 1234567890 ", std::string(50, 't'), "\tiso-8859-1\r\n", std::string(18, 'x') + kE2});
    ASSERT_EQ(packed.size(), 91u);
    EXPECT_EQ(packed.substr(0, 8), "12345678");
    EXPECT_EQ(packed.substr(8, 40), std::string(40, 't'));
    EXPECT_EQ(packed.substr(48, 24), FitField("iso-8859-1", 24));
    EXPECT_EQ(packed.substr(72, 19), std::string(18, 'x') + " ");
}

TEST(Properties, UnpackReadsTheFourParts)
{
    const HttpProperties p =
        UnpackProperties(PackProperties({"42", "image/png", "", "05/14/2007 13:45:30"}));
    EXPECT_EQ(p.contentLength, "42");
    EXPECT_EQ(p.contentType, "image/png");
    EXPECT_EQ(p.charset, "");
    EXPECT_EQ(p.lastModified, "05/14/2007 13:45:30");
    // A short (damaged) field gives what is there.
    const HttpProperties shortOne = UnpackProperties("99      text/pl");
    EXPECT_EQ(shortOne.contentLength, "99");
    EXPECT_EQ(shortOne.contentType, "text/pl");
    EXPECT_EQ(shortOne.charset, "");
    EXPECT_EQ(UnpackProperties("").contentLength, "");
}

TEST(StoreIndexText, RightAlignedInEightColumns)
{
    EXPECT_EQ(StoreIndexText(0), "       0");
    EXPECT_EQ(StoreIndexText(7), "       7");
    EXPECT_EQ(StoreIndexText(1234), "    1234");
    EXPECT_EQ(StoreIndexText(99999999), "99999999");
}

} // namespace
