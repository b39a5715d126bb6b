#include "support/TestFiles.h"
#include "workspace/IniFile.h"
#include "workspace/Settings.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace orvex {
namespace {

using namespace orvex::testfiles;

const fs::path kFixtures = fs::path(ORVEX_TEST_DATA) / "ini";
constexpr int kScreenW = 1280;
constexpr int kScreenH = 1024;

std::string ToCrLf(std::string_view bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        out +=
            bytes[i] == '\r' || bytes[i] == '\n' ? std::string("\r\n") : std::string(1, bytes[i]);
    }
    if (!out.empty() && !out.ends_with("\r\n"))
        out += "\r\n";
    return out;
}

// Every setting under the name of its key, as text: the oracle of the tables below.
std::map<std::string, std::string> Flatten(const Settings& s)
{
    const auto b = [](bool v) { return std::string(v ? "1" : "0"); };
    const auto i = [](int v) { return std::to_string(v); };
    const auto o = [](std::optional<int> v) { return v ? std::to_string(*v) : "centred"; };
    // clang-format off
    std::map<std::string, std::string> m{
        {"SaveDocType", i(s.saveDocType)}, {"SaveScrType", i(s.saveScrType)},
        {"ImportDirectory", s.importDirectory}, {"HTMLDirectory", s.htmlDirectory},
        {"ScrDirectory", s.scrDirectory}, {"PreviewDirectory", s.previewDirectory},
        {"PreviewStyle", i(s.previewStyle)},
        {"StartSelected", b(s.startSelected)}, {"UpdateSelected", b(s.updateSelected)},
        {"UpdateTray", b(s.updateTray)}, {"CreateScr", b(s.createScr)},
        {"CreateThumb", b(s.createThumb)}, {"ThreadCount", i(s.threadCount)},
        {"ScrSize", i(s.scrSize)}, {"ScrWidth", i(s.scrWidth)}, {"ScrHeight", i(s.scrHeight)},
        {"UseProxy", b(s.useProxy)}, {"ProxyServer", s.proxyServer}, {"ProxyPort", s.proxyPort},
        {"ProxyUser", s.proxyUser}, {"ProxyPassw", s.proxyPassw},
        {"ShrinkScr", b(s.shrinkScr)}, {"Preview", s.preview},
        {"WinMax", b(s.winMax)}, {"Height", i(s.height)}, {"Width", i(s.width)},
        {"Top", o(s.top)}, {"Left", o(s.left)}, {"SH", i(s.sh)}, {"WU", i(s.wu)},
        {"ShowMode", i(s.showMode)},
        {"SortColPreview", s.sortColPreview}, {"SortPlusPreview", b(s.sortPlusPreview)},
        {"SortColURLs", s.sortColURLs}, {"SortPlusURLs", b(s.sortPlusURLs)},
        {"WBHeight", i(s.wbHeight)}, {"WBWidth", i(s.wbWidth)},
        {"WBTop", i(s.wbTop)}, {"WBLeft", i(s.wbLeft)}};
    // clang-format on
    for (std::size_t n = 0; n < 4; ++n) {
        m["Column" + i(n + 1) + "Preview"] = i(s.projectColumns[n]);
        m["Col" + i(n + 1) + "Preview"] = i(s.projectColumnWidths[n]);
    }
    for (std::size_t n = 0; n < 5; ++n) {
        m["Column" + i(n + 1) + "URLs"] = i(s.urlColumns[n]);
        m["Col" + i(n + 1) + "URLs"] = i(s.urlColumnWidths[n]);
    }
    return m;
}

// A state where no value is its default and every range rule holds.
Settings Scrambled()
{
    Settings s;
    s.saveDocType = 4, s.saveScrType = 2, s.previewStyle = 3, s.threadCount = 10;
    s.importDirectory = "/home/ann/My Links", s.htmlDirectory = "/srv/a=b";
    s.scrDirectory = "/tmp/shots; old", s.previewDirectory = "/var/x y";
    s.startSelected = s.updateSelected = s.updateTray = true;
    s.createScr = s.createThumb = false;
    s.scrSize = 6, s.scrWidth = 1600, s.scrHeight = 1200;
    s.useProxy = true, s.proxyServer = "proxy.example", s.proxyPort = "3128";
    s.proxyUser = "ann smith", s.proxyPassw = "p=ss; word";
    s.shrinkScr = true, s.preview = "0000000000000000042";
    s.winMax = true, s.height = 600, s.width = 800, s.top = -5, s.left = 40;
    s.sh = 150, s.wu = 260, s.showMode = 2;
    s.projectColumns = {4, 0, 2, 1}, s.projectColumnWidths = {50, 60, 70, 80};
    s.urlColumns = {5, 4, 0, 2, 1}, s.urlColumnWidths = {10, 20, 30, 40, 50};
    s.sortColPreview = "Created", s.sortPlusPreview = false;
    s.sortColURLs = "URL Status", s.sortPlusURLs = false;
    s.wbHeight = 500, s.wbWidth = 700, s.wbTop = 10, s.wbLeft = 20;
    return s;
}

// Loads from a start state unlike the defaults, so a key the loader skips shows.
Settings LoadFromText(std::string_view text, int screenW = kScreenW, int screenH = kScreenH)
{
    Settings s = Scrambled();
    const IniFile ini = IniFile::Parse(text);
    LoadLayout(ini, s);
    LoadOptions(ini, s, screenW, screenH);
    return s;
}

} // namespace

void PrintTo(const Settings& s, std::ostream* os)
{
    for (const auto& [key, value] : Flatten(s))
        *os << key << '=' << value << "; ";
}

namespace {

// ---- The INI document ----

TEST(IniFileTest, SplitsLinesAtEveryKindOfLineEnd)
{
    for (const std::string_view bytes :
         {"[S]\r\nA=1\r\nB=2\r\n", "[S]\nA=1\nB=2\n", "[S]\rA=1\rB=2\r", "[S]\r\nA=1\rB=2",
          "\xEF\xBB\xBF[S]\nA=1\nB=2"}) { // a byte order mark is dropped
        SCOPED_TRACE(testing::PrintToString(std::string(bytes)));
        const IniFile ini = IniFile::Parse(bytes);
        EXPECT_EQ(ini.value("S", "A"), "1");
        EXPECT_EQ(ini.value("S", "B"), "2");
        EXPECT_EQ(ini.serialize(), "[S]\r\nA=1\r\nB=2\r\n");
    }
}

TEST(IniFileTest, KeepsEveryLineOfOddFiles)
{
    for (const char* name : {"hand_edited_crlf.ini", "mixed_line_ends.ini", "garbage_values.ini",
                             "out_of_range.ini", "missing_keys.ini", "empty.ini"}) {
        SCOPED_TRACE(name);
        const std::string bytes = ReadBytes(kFixtures / name);
        EXPECT_EQ(IniFile::Parse(bytes).serialize(), ToCrLf(bytes));
    }
}

TEST(IniFileTest, ReadsHandEditedFile)
{
    const std::string bytes = ReadBytes(kFixtures / "hand_edited_crlf.ini");
    ASSERT_NE(bytes.find("[Program]\r\n"), std::string::npos) << "the fixture lost its CR LF";
    const IniFile ini = IniFile::Parse(bytes);
    struct Case
    {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"Program", "ImportDirectory", "/home/ann/My Links"}, // trimmed, inner blank kept
        {"PROGRAM", "importdirectory", "/home/ann/My Links"}, // names ignore case
        {"Program", "Preview", "0000000000000000001"},        // the ';' line above is a comment
        {"Program", ";Preview", std::nullopt},
        {"Window", "Width", "900"},  // first occurrence wins, across repeated sections
        {"Window", "Height", "640"}, // a repeated section adds its keys
        {"Custom", "Colour", "blue; not a comment"},
        {"", "Stray", std::nullopt}, // entries before the first header are not read
        {"Program", "Stray", std::nullopt},
        {"Window", "this line has no equals sign", std::nullopt},
        {"Nowhere", "Width", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.value(c.section, c.key), c.expected);
    }
    // A header without its bracket still ends the section before it.
    EXPECT_EQ(IniFile::Parse("[Window]\nSH=1\n[Broken\nWU=5\n").value("Window", "WU"),
              std::nullopt);
    // Values are taken as they are: quotes are part of the text.
    EXPECT_EQ(IniFile::Parse("[S]\nK = \"a b\" \n").value("S", "K"), "\"a b\"");
}

TEST(IniFileTest, ReadsIntegersByLeadingSignAndDigits)
{
    struct Case
    {
        const char* stored; // nullptr: the key is absent
        int expected;
    };
    // clang-format off
    const Case cases[] = {
        {nullptr, 77}, {"", 77}, {"42", 42}, {"  42  ", 42}, {"+7", 7}, {"-7", -7},
        {"12abc", 12}, {"1e3", 1}, {"0x10", 0}, {"abc", 0}, {"-", 0}, {"--1", 0}, {"- 1", 0},
        {"2147483647", INT_MAX}, {"99999999999999999999", INT_MAX},
        {"9223372036854775808", INT_MAX}, {"-2147483648", INT_MIN}, {"-99999999999", INT_MIN},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(absent)");
        const IniFile ini =
            IniFile::Parse("[S]\n" + (c.stored ? "K=" + std::string(c.stored) : ""));
        EXPECT_EQ(ini.intValue("S", "K", 77), c.expected);
        EXPECT_EQ(ini.boolValue("S", "K", true), c.expected != 0);
    }
}

TEST(IniFileTest, SetValueReplacesInPlaceOrAppendsToItsSection)
{
    IniFile ini =
        IniFile::Parse("; top\r\n[A]\r\nx = 1 ; note\r\nY=2\r\n\r\n[B]\r\nz=3\r\n[a]\r\nm=4\r\n");
    ini.setValue("a", "X", "10");             // replaced where it stands
    ini.setValue("A", "M", "40");             // found in the repeated section
    ini.setValue("A", "New", "n");            // after the section's last entry, before the blank
    ini.setValue("B", "Multi", "one\r\ntwo"); // a line break would split the entry
    ini.setBool("C", "On", true);             // a new section at the end
    ini.setInt("C", "Num", -3);
    EXPECT_EQ(ini.serialize(), "; top\r\n[A]\r\nX=10\r\nY=2\r\nNew=n\r\n\r\n[B]\r\nz=3\r\n"
                               "Multi=one  two\r\n[a]\r\nM=40\r\n\r\n[C]\r\nOn=1\r\nNum=-3\r\n");
    EXPECT_EQ(ini.value("b", "multi"), "one  two");
}

TEST(IniFileTest, LoadsAndSavesFiles)
{
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    IniFile ini = IniFile::Parse("[Old]\nk=v\n");
    ASSERT_TRUE(ini.Load(folder / "absent.ini")) << "a missing file is an empty document";
    EXPECT_TRUE(ini.empty());

    ini.setValue("S", "K", "first");
    ASSERT_TRUE(ini.Save(folder / "out.ini"));
    ini.setValue("S", "K", "second");
    ASSERT_TRUE(ini.Save(folder / "out.ini"));
    EXPECT_EQ(ReadBytes(folder / "out.ini"), "[S]\r\nK=second\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
        << "no temporary file may be left behind";

    IniFile reloaded;
    ASSERT_TRUE(reloaded.Load(folder / "out.ini"));
    EXPECT_EQ(reloaded.value("S", "K"), "second");
    EXPECT_FALSE(reloaded.Load(folder)) << "a folder is not a readable file";
    EXPECT_EQ(reloaded.value("S", "K"), "second") << "a failed load changes nothing";
    EXPECT_FALSE(ini.Save(folder / "no-such-folder" / "out.ini"));
}

// ---- Settings keys ----

// Each key: its section, the value an absent key gives, then stored texts and
// the values they give.
struct KeyCase
{
    const char* section;
    const char* key;
    const char* absent;
    std::vector<std::pair<const char*, const char*>> stored;
};

const std::vector<KeyCase> kKeyCases = {
    {"Program", "SaveDocType", "1", {{"4", "4"}, {"5", "1"}, {"0", "1"}}},
    {"Program", "SaveScrType", "5", {{"1", "1"}, {"6", "5"}, {"0", "5"}}},
    {"Program", "ImportDirectory", "", {{"/home/ann/My Links", "/home/ann/My Links"}}},
    {"Program", "HTMLDirectory", "", {{"/a=b;c", "/a=b;c"}}},
    {"Program", "ScrDirectory", "", {{"\"/q\"", "\"/q\""}}},
    {"Program", "PreviewDirectory", "", {{" /x ", "/x"}}},
    {"Style", "PreviewStyle", "1", {{"3", "3"}, {"4", "1"}, {"0", "1"}}},
    {"Update", "StartSelected", "0", {{"1", "1"}}},
    {"Update", "UpdateSelected", "0", {{"-5", "1"}}},
    {"Update", "UpdateTray", "0", {{"2", "1"}}},
    {"Update", "CreateScr", "1", {{"0", "0"}, {"abc", "0"}}},
    {"Update", "CreateThumb", "1", {{"0", "0"}}},
    {"Update", "ThreadCount", "3", {{"1", "1"}, {"10", "10"}, {"0", "3"}, {"11", "3"}}},
    {"Screenshot", "ScrSize", "2", {{"1", "1"}, {"6", "6"}, {"0", "2"}, {"7", "2"}}},
    {"Proxy", "UseProxy", "0", {{"1", "1"}}},
    {"Proxy", "ProxyServer", "", {{"proxy.lan", "proxy.lan"}}},
    {"Proxy", "ProxyPort", "", {{"8080", "8080"}}},
    {"Proxy", "ProxyUser", "", {{"ann smith", "ann smith"}}},
    {"Proxy", "ProxyPassw", "", {{"p=ss; wd", "p=ss; wd"}}},
    {"Program", "ShrinkScr", "0", {{"1", "1"}}},
    {"Program", "Preview", "", {{"0000000000000000001", "0000000000000000001"}}},
    {"Window", "WinMax", "0", {{"1", "1"}}},
    {"Window", "Height", "552", {{"600", "600"}}},
    {"Window", "Width", "775", {{"800", "800"}}},
    {"Window", "Top", "centred", {{"5000", "5000"}, {"-20", "-20"}}},
    {"Window", "Left", "centred", {{"0", "0"}}},
    {"Window", "SH", "220", {{"9999", "9999"}}},
    {"Window", "WU", "300", {{"9999", "9999"}}},
    {"Window", "ShowMode", "1", {{"2", "2"}, {"3", "1"}, {"0", "1"}}},
    {"Window", "Column1Preview", "1", {{"4", "4"}}},
    {"Window", "Column2Preview", "2", {{"0", "0"}, {"5", "2"}}},
    {"Window", "Column3Preview", "3", {{"1", "1"}}},
    {"Window", "Column4Preview", "4", {{"-1", "4"}}},
    {"Window", "Col1Preview", "300", {{"2", "180"}, {"4", "4"}}},
    {"Window", "Col2Preview", "120", {{"3", "190"}}},
    {"Window", "Col3Preview", "120", {{"999", "999"}, {"1", "120"}}},
    {"Window", "Col4Preview", "200", {{"0", "200"}}},
    {"Window", "SortColPreview", "", {{"Created", "Created"}}},
    {"Window", "SortPlusPreview", "1", {{"0", "0"}, {"2", "1"}}},
    {"Window", "Column1URLs", "1", {{"5", "5"}}},
    {"Window", "Column2URLs", "2", {{"6", "2"}}},
    {"Window", "Column3URLs", "3", {{"0", "0"}}},
    {"Window", "Column4URLs", "4", {{"0", "0"}}},
    {"Window", "Column5URLs", "5", {{"1", "1"}}},
    {"Window", "Col1URLs", "300", {{"2", "180"}}},
    {"Window", "Col2URLs", "120", {{"3", "190"}}},
    {"Window", "Col3URLs", "120", {{"-4", "120"}}},
    {"Window", "Col4URLs", "200", {{"3", "80"}, {"4", "4"}}},
    {"Window", "Col5URLs", "200", {{"0", "200"}}},
    {"Window", "SortColURLs", "", {{"URL Status", "URL Status"}}},
    {"Window", "SortPlusURLs", "1", {{"0", "0"}}},
    {"Window", "WBHeight", "768", {{"500", "500"}}},
    {"Window", "WBWidth", "1024", {{"700", "700"}}},
    {"Window", "WBTop", "0", {{"-30", "-30"}}},
    {"Window", "WBLeft", "0", {{"9000", "9000"}}},
};

// The page size keys depend on ScrSize and have their own table below.
bool CoveredByKeyTable(const std::string& key)
{
    return key == "ScrWidth" || key == "ScrHeight" ||
           std::any_of(kKeyCases.begin(), kKeyCases.end(),
                       [&](const KeyCase& c) { return key == c.key; });
}

TEST(SettingsTest, EveryKeyHasItsDefaultAndRangeRule)
{
    for (const auto& [key, value] : Flatten(Settings{}))
        EXPECT_TRUE(CoveredByKeyTable(key)) << key << " has no row";
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(Flatten(LoadFromText("")).at(c.key), c.absent) << "(absent)";
        for (const auto& [stored, expected] : c.stored) {
            const std::string text = "[" + std::string(c.section) + "]\r\n" + c.key + "=" + stored;
            EXPECT_EQ(Flatten(LoadFromText(text)).at(c.key), expected) << "stored: " << stored;
        }
    }
}

TEST(SettingsTest, ColumnArrangementIsResetAsAWhole)
{
    struct Case
    {
        const char* window;
        std::array<int, 4> project;
        std::array<int, 5> urls;
    };
    const Case cases[] = {
        {"Column1Preview=4\nColumn2Preview=7\nColumn3Preview=2\nColumn4Preview=1",
         {1, 2, 3, 4},
         {1, 2, 3, 4, 5}},
        {"Column1Preview=4\nColumn2Preview=0\nColumn3Preview=2\nColumn4Preview=1",
         {4, 0, 2, 1},
         {1, 2, 3, 4, 5}},
        {"Column1URLs=5\nColumn2URLs=0\nColumn5URLs=1", {1, 2, 3, 4}, {5, 0, 3, 4, 1}},
        {"Column1URLs=5\nColumn2URLs=0\nColumn5URLs=-1\nColumn1Preview=3",
         {3, 2, 3, 4},
         {1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        const Settings s = LoadFromText(std::string("[Window]\n") + c.window);
        EXPECT_EQ(s.projectColumns, c.project);
        EXPECT_EQ(s.urlColumns, c.urls);
    }
}

TEST(SettingsTest, ScreenshotSizeFollowsScrSize)
{
    struct Case
    {
        const char* screenshot;
        int width;
        int height;
    };
    const Case cases[] = {
        {"", 800, 600},
        {"ScrSize=1\nScrWidth=3000\nScrHeight=5", 640, 480},
        {"ScrSize=2\nScrWidth=1600", 800, 600},
        {"ScrSize=3", 1024, 768},
        {"ScrSize=4", 1280, 960},
        {"ScrSize=5\nScrWidth=10", 1920, 1080}, // the screen size passed in
        {"ScrSize=6", 1024, 768},
        {"ScrSize=6\nScrWidth=1600\nScrHeight=1200", 1600, 1200},
        {"ScrSize=6\nScrWidth=2400\nScrHeight=1", 2400, 1},
        {"ScrSize=6\nScrWidth=3000\nScrHeight=700", 1024, 768},
        {"ScrSize=6\nScrWidth=1200\nScrHeight=0", 1024, 768},
        {"ScrSize=6\nScrWidth=0\nScrHeight=2401", 1024, 768},
        {"ScrSize=9\nScrWidth=1600\nScrHeight=1200", 800, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screenshot);
        const Settings s = LoadFromText(std::string("[Screenshot]\n") + c.screenshot, 1920, 1080);
        EXPECT_EQ(s.scrWidth, c.width);
        EXPECT_EQ(s.scrHeight, c.height);
    }
}

// ---- Window placement ----

TEST(WindowPlacementTest, CentresRoundingTowardZero)
{
    EXPECT_EQ(CentredOffset(1280, 775), 252);
    EXPECT_EQ(CentredOffset(1024, 552), 236);
    EXPECT_EQ(CentredOffset(700, 775), -37); // not -38
    EXPECT_EQ(CentredOffset(801, 800), 0);
    EXPECT_EQ(StoredMainWindowBounds(LoadFromText(""), kScreenW, kScreenH),
              (WindowBounds{252, 236, 775, 552}));
    EXPECT_EQ(StoredMainWindowBounds(LoadFromText("[Window]\nLeft=-3\nHeight=1000"), 1280, 1024),
              (WindowBounds{-3, 12, 775, 1000}));
}

TEST(WindowPlacementTest, BringsWindowsOntoTheScreen)
{
    struct Case
    {
        WindowBounds in;
        WindowBounds out;
    };
    const Case cases[] = {
        {{100, 100, 775, 552}, {100, 100, 775, 552}},
        {{0, 961, 775, 552}, {0, 960, 775, 552}},
        {{0, 960, 775, 552}, {0, 960, 775, 552}},
        {{1217, 0, 775, 552}, {1216, 0, 775, 552}},
        {{1216, 0, 775, 552}, {1216, 0, 775, 552}},
        {{0, 0, 1281, 995}, {0, 0, 1280, 994}},
        {{0, 0, 1280, 994}, {0, 0, 1280, 994}},
        {{-500, -500, 775, 552}, {-500, -500, 775, 552}}, // only the far edges are checked
        {{5000, 5000, 3000, 3000}, {1216, 960, 1280, 994}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.in.left << "," << c.in.top << " " << c.in.width << "x" << c.in.height);
        EXPECT_EQ(BringOntoScreen(c.in, 1280, 1024), c.out);
    }
    const Settings saved = LoadFromText("[Window]\nTop=5000\n");
    EXPECT_EQ(BringOntoScreen(StoredMainWindowBounds(saved, 1280, 1024), 1280, 1024).top, 960);
}

TEST(WindowPlacementTest, CapsPaneSizes)
{
    EXPECT_EQ(CapPaneSize(220, 400), 220);
    EXPECT_EQ(CapPaneSize(380, 400), 380);
    EXPECT_EQ(CapPaneSize(381, 400), 380);
    EXPECT_EQ(CapPaneSize(300, 10), -10);
}

// ---- The settings file on disk ----

// The values a load gives when nothing is stored: ScrSize 2 sets 800 by 600.
Settings LoadedDefaults()
{
    Settings s;
    s.scrWidth = 800, s.scrHeight = 600;
    return s;
}

class SettingsFileTest : public testing::Test
{
protected:
    QTemporaryDir dir;
    fs::path folder = dir.path().toStdString();
    fs::path file = folder / kSettingsFileName;
};

TEST_F(SettingsFileTest, MissingFileGivesDefaults)
{
    Settings s = Scrambled();
    ASSERT_TRUE(LoadSettingsFile(file, s, kScreenW, kScreenH));
    EXPECT_EQ(s, LoadedDefaults());
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(SettingsFileTest, FixturesLoadAsExpected)
{
    struct Case
    {
        const char* name;
        void (*change)(Settings&); // from the loaded defaults
    };
    const Case cases[] = {
        {"empty.ini", [](Settings&) {}},
        {"hand_edited_crlf.ini",
         [](Settings& s) {
             s.importDirectory = "/home/ann/My Links", s.preview = "0000000000000000001";
             s.width = 900, s.height = 640;
         }},
        {"mixed_line_ends.ini",
         [](Settings& s) { s.threadCount = 5, s.previewStyle = 2, s.top = 10; }},
        {"missing_keys.ini",
         [](Settings& s) { s.winMax = true, s.projectColumns[2] = 0, s.createThumb = false; }},
        {"garbage_values.ini",
         [](Settings& s) {
             s.createScr = false, s.updateTray = true, s.previewStyle = 2;
             s.scrSize = 6, s.scrWidth = 1280, s.scrHeight = 720;
             s.width = -12, s.height = 600, s.sh = INT_MAX, s.left = 0;
             s.projectColumnWidths[0] = 180, s.urlColumnWidths[3] = 80;
         }},
        {"out_of_range.ini",
         [](Settings& s) {
             s.scrSize = 6, s.scrWidth = 1024, s.scrHeight = 768;
             s.sh = 5000, s.top = 5000, s.left = 9000;
             s.projectColumnWidths = {180, 190, 120, 200};
             s.urlColumnWidths = {180, 190, 120, 80, 200};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings expected = LoadedDefaults();
        c.change(expected);
        Settings s = Scrambled();
        ASSERT_TRUE(LoadSettingsFile(kFixtures / c.name, s, kScreenW, kScreenH));
        EXPECT_EQ(s, expected);
    }
}

TEST_F(SettingsFileTest, EveryKeyRoundTripsUnderItsSection)
{
    const Settings original = Scrambled();
    ASSERT_TRUE(SaveSettingsFile(file, original));
    Settings loaded;
    ASSERT_TRUE(LoadSettingsFile(file, loaded, kScreenW, kScreenH));
    EXPECT_EQ(loaded, original);

    const IniFile saved = IniFile::Parse(ReadBytes(file));
    const auto values = Flatten(original);
    for (const KeyCase& c : kKeyCases)
        EXPECT_EQ(saved.value(c.section, c.key), values.at(c.key)) << c.section << "/" << c.key;
    EXPECT_EQ(saved.value("Screenshot", "ScrWidth"), "1600");
    EXPECT_EQ(saved.value("Screenshot", "ScrHeight"), "1200");
}

TEST_F(SettingsFileTest, WritesPlainCrLfLinesInSectionOrder)
{
    ASSERT_TRUE(SaveSettingsFile(file, Scrambled()));
    const std::string bytes = ReadBytes(file);
    EXPECT_EQ(bytes, ToCrLf(bytes)) << "every line ends in CR LF";
    for (const char* line :
         {"\r\nImportDirectory=/home/ann/My Links\r\n", "\r\nHTMLDirectory=/srv/a=b\r\n",
          "\r\nScrDirectory=/tmp/shots; old\r\n", "\r\nProxyPassw=p=ss; word\r\n",
          "\r\nSortColURLs=URL Status\r\n", "\r\nPreviewDirectory=/var/x y\r\nShrinkScr=1\r\n"})
        EXPECT_NE(bytes.find(line), std::string::npos) << testing::PrintToString(line);
    std::size_t at = 0;
    for (const char* header : {"[Program]", "[Style]", "[Update]", "[Screenshot]", "[Proxy]",
                               "[Window]\r\nTop=-5\r\n"}) {
        at = bytes.find(header, at);
        EXPECT_NE(at, std::string::npos) << header << " missing or out of order";
    }
}

TEST_F(SettingsFileTest, SavingKeepsWhatItDoesNotKnow)
{
    fs::copy_file(kFixtures / "hand_edited_crlf.ini", file);
    ASSERT_TRUE(SaveSettingsFile(file, Scrambled()));
    const std::string bytes = ReadBytes(file);
    for (const char* line :
         {"; Orvex settings, kept by hand\r\n", "Stray=before any section\r\n",
          ";Preview=0000000000000000999\r\n", "this line has no equals sign\r\n"})
        EXPECT_NE(bytes.find(line), std::string::npos) << line;
    EXPECT_EQ(IniFile::Parse(bytes).value("Custom", "Colour"), "blue; not a comment");
    Settings loaded;
    ASSERT_TRUE(LoadSettingsFile(file, loaded, kScreenW, kScreenH));
    EXPECT_EQ(loaded, Scrambled());
}

TEST_F(SettingsFileTest, SavingOptionsLeavesTheLayoutAlone)
{
    WriteBytes(file, "[Window]\r\nWidth=900\r\n[Screenshot]\r\nScrSize=1\r\nScrWidth=3000\r\n");
    Settings s;
    ASSERT_TRUE(LoadSettingsFile(file, s, kScreenW, kScreenH));
    s.width = 1000;
    ASSERT_TRUE(SaveOptionsFile(file, s));
    const IniFile saved = IniFile::Parse(ReadBytes(file));
    EXPECT_EQ(saved.value("Window", "Width"), "900");
    EXPECT_EQ(saved.value("Window", "Top"), std::nullopt);
    EXPECT_EQ(saved.value("Update", "ThreadCount"), "3");
    // A fixed screenshot size replaces the stored one from the first save on.
    EXPECT_EQ(saved.value("Screenshot", "ScrWidth"), "640");
    EXPECT_EQ(saved.value("Screenshot", "ScrHeight"), "480");
}

TEST_F(SettingsFileTest, UnreadableFileChangesNothing)
{
    fs::create_directory(file);
    Settings s = Scrambled();
    EXPECT_FALSE(LoadSettingsFile(file, s, kScreenW, kScreenH));
    EXPECT_EQ(s, Scrambled());
    EXPECT_FALSE(SaveSettingsFile(file, s));
    EXPECT_TRUE(fs::is_directory(file));
}

TEST_F(SettingsFileTest, ErrShowMarkerCountsOnlyAsAFile)
{
    EXPECT_FALSE(ErrShowMarkerExists(folder));
    fs::create_directory(folder / kErrShowMarkerName);
    EXPECT_FALSE(ErrShowMarkerExists(folder));
    fs::remove(folder / kErrShowMarkerName);
    WriteBytes(folder / kErrShowMarkerName, "");
    EXPECT_TRUE(ErrShowMarkerExists(folder));
}

} // namespace
} // namespace orvex
