// Record files: the zlib and plain containers byte for byte, line reading,
// damaged files, the save gate and failed saves.

#include "support/TestFiles.h"
#include "workspace/RecordFile.h"
#include "workspace/RecordLayout.h"
#include "workspace/SaveGate.h"
#include "workspace/SecondsCounter.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zlib.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;
using namespace std::chrono_literals;

namespace {

using namespace orvex::testfiles;

const fs::path kFixtures = fs::path(ORVEX_TEST_DATA) / "records";

const std::string kE2 = "\xC3\xA9"; // é

// Inflates a whole zlib stream with zlib itself, independent of the code under test.
// Fails the test unless the stream ends exactly at the end of the bytes.
std::string Inflate(std::string_view bytes)
{
    z_stream s{};
    EXPECT_EQ(inflateInit(&s), Z_OK);
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    s.avail_in = static_cast<uInt>(bytes.size());
    std::string out;
    char buffer[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        s.next_out = reinterpret_cast<Bytef*>(buffer);
        s.avail_out = sizeof buffer;
        rc = inflate(&s, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - s.avail_out);
    }
    EXPECT_EQ(rc, Z_STREAM_END);
    EXPECT_EQ(s.avail_in, 0u) << "bytes after the end of the stream";
    inflateEnd(&s);
    return out;
}

// A zlib stream at the default level, made with zlib itself.
std::string Deflate(std::string_view text)
{
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                        reinterpret_cast<const Bytef*>(text.data()),
                        static_cast<uLong>(text.size()), Z_DEFAULT_COMPRESSION),
              Z_OK);
    out.resize(size);
    return out;
}

std::vector<std::string> FilesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string UrlOfLength(std::size_t n)
{
    std::string url = "http://example.com/";
    while (url.size() < n)
        url += static_cast<char>('a' + url.size() % 26);
    return url;
}

class RecordFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    fs::path Path(const std::string& name) const
    {
        return fs::path(dir_.path().toStdString()) / name;
    }
    fs::path Dir() const { return fs::path(dir_.path().toStdString()); }

    QTemporaryDir dir_;
    SecondsCounter counter_; // never started: tests move it by hand
    SaveGate gate_{counter_};
};

const RecordList kSentinel{"previous line 1", "previous line 2"};

} // namespace

// ---------------------------------------------------------------------------
// Byte-for-byte layouts of saved files.

TEST_F(RecordFileTest, ProjectRecordsAreSavedByteForByte)
{
    const std::string title = "Caf" + kE2 + " reviews";
    RecordList records{
        MakeProjectRecord("5hmeiwmdphn21i3v900", "00000000", "05/14/2007 13:45:30", title,
                          "First\r\nproject"),
        MakeProjectRecord("5hmeiwmdphn21i3v901", "00000007", "12/31/2006 23:59:59", "Second", ""),
    };
    const fs::path file = Path("projects.dat");
    ASSERT_TRUE(SaveRecordFile(file, records, gate_).ok());

    const std::string bytes = ReadBytes(file);
    ASSERT_GE(bytes.size(), 6u);
    // RFC 1950 header of the default level: CMF 0x78, FLG 0x9C.
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x78);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0x9C);
    EXPECT_EQ((static_cast<unsigned char>(bytes[0]) * 256 + static_cast<unsigned char>(bytes[1])) %
                  31,
              0);

    const std::string text = Inflate(bytes);
    const std::string line0 = "00000000"
                              "5hmeiwmdphn21i3v900"
                              "00000000"
                              "05/14/2007 13:45:30" +
                              std::string(19, ' ') + std::string(200, ' ') + title +
                              std::string(128 - title.size(), ' ') + "First  project" +
                              std::string(256 - 14, ' ');
    const std::string line1 = "00000000"
                              "5hmeiwmdphn21i3v901"
                              "00000007"
                              "12/31/2006 23:59:59" +
                              std::string(19, ' ') + std::string(200, ' ') + "Second" +
                              std::string(122, ' ') + std::string(256, ' ');
    ASSERT_EQ(line0.size(), 657u);
    ASSERT_EQ(line1.size(), 657u);
    EXPECT_EQ(text, line0 + "\r\n" + line1 + "\r\n");
    EXPECT_EQ(text.size(), 2u * (657u + 2u));

    // Adler-32 trailer (big-endian) over the decompressed text.
    const uLong adler = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(text.data()),
                                static_cast<uInt>(text.size()));
    const std::string trailer = bytes.substr(bytes.size() - 4);
    EXPECT_EQ(static_cast<unsigned char>(trailer[0]), (adler >> 24) & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(trailer[1]), (adler >> 16) & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(trailer[2]), (adler >> 8) & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(trailer[3]), adler & 0xFF);

    // The whole file is the zlib stream of that text at the default level.
    EXPECT_EQ(bytes, Deflate(text));
}

TEST_F(RecordFileTest, UrlRecordsAreSavedByteForByte)
{
    const std::vector<std::string> urls{"http://example.com/", UrlOfLength(2000),
                                        "https://b" + kE2 + "cher.example/"};
    RecordList records;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        records.push_back(MakeUrlRecord("5hmeiwmdphn21i3v90" + std::to_string(i), "00000003",
                                        "05/14/2007 13:45:3" + std::to_string(i), urls[i]));
    }
    SetUrlField(records, 1, "404", UrlField::StatusCode);
    SetUrlField(records, 1, "A title", UrlField::Title);
    const fs::path file = Path("urls.dat");
    ASSERT_TRUE(SaveRecordFile(file, records, gate_).ok());

    const std::string bytes = ReadBytes(file);
    const std::string text = Inflate(bytes);
    EXPECT_EQ(bytes, Deflate(text));

    // Split by hand at CR LF: every line is followed by exactly CR LF, no other CR or LF.
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << "last line without CR LF";
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    ASSERT_EQ(lines.size(), 3u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string& line = lines[i];
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
        ASSERT_EQ(line.size(), 1403u + urls[i].size());
        EXPECT_EQ(line.substr(0, 8), "0000 000");                                 // Flags
        EXPECT_EQ(line.substr(8, 19), "5hmeiwmdphn21i3v90" + std::to_string(i));  // Id
        EXPECT_EQ(line.substr(27, 8), "00000003");                                // Folder
        EXPECT_EQ(line.substr(35, 19), "05/14/2007 13:45:3" + std::to_string(i)); // Created
        EXPECT_EQ(line.substr(54, 19), std::string(19, ' '));                     // Updated
        EXPECT_EQ(line.substr(73, 19), std::string(19, ' '));                     // Captured
        EXPECT_EQ(line.substr(92, 100), std::string(100, '0'));                   // Reserved7
        EXPECT_EQ(line.substr(192, 16), std::string(16, ' '));                    // Reserved8
        EXPECT_EQ(line.substr(208, 16), std::string(16, ' '));                    // Reserved9
        EXPECT_EQ(line.substr(224, 4), i == 1 ? "404 " : "    ");                 // StatusCode
        EXPECT_EQ(line.substr(228, 60), std::string(60, ' '));                    // Reserved11
        EXPECT_EQ(line.substr(288, 256), std::string(256, ' '));                  // Reserved12
        EXPECT_EQ(line.substr(544, 256),
                  i == 1 ? FitField("A title", 256) : std::string(256, ' ')); // Title
        EXPECT_EQ(line.substr(800, 256), std::string(256, ' '));              // Keywords
        EXPECT_EQ(line.substr(1056, 256), std::string(256, ' '));             // Description
        EXPECT_EQ(line.substr(1312, 91), std::string(91, ' '));               // Properties
        EXPECT_EQ(line.substr(1403), urls[i]);                                // Url
    }
}

TEST_F(RecordFileTest, SavedFileLoadsBackTheSameLines)
{
    RecordList records;
    for (int i = 0; i < 50; ++i) {
        records.push_back(MakeUrlRecord("5hmeiwmdphn21i3v9" + std::to_string(10 + i), "00000001",
                                        "05/14/2007 13:45:30", UrlOfLength(20 + i * 40)));
    }
    const fs::path file = Path("urls.dat");
    ASSERT_TRUE(SaveRecordFile(file, records, gate_).ok());
    RecordList loaded = kSentinel;
    const LoadResult result = LoadRecordFile(file, loaded);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.kind, LoadResult::Kind::Loaded);
    EXPECT_EQ(loaded, records);
}

TEST_F(RecordFileTest, LargeHighlyCompressibleFileRoundTrips)
{
    // Blank padding compresses far better than 16:1, so loading must grow its buffer.
    RecordList records(6000, MakeUrlRecord("5hmeiwmdphn21i3v900", "00000001", "05/14/2007 13:45:30",
                                           "http://example.com/"));
    const fs::path file = Path("urls.dat");
    ASSERT_TRUE(SaveRecordFile(file, records, gate_).ok());
    const std::size_t textSize = JoinLines(records).size();
    ASSERT_LT(fs::file_size(file) * 16, textSize);
    RecordList loaded;
    ASSERT_TRUE(LoadRecordFile(file, loaded).ok());
    EXPECT_EQ(loaded, records);
}

TEST_F(RecordFileTest, EmptyListSavesAsAZeroByteFile)
{
    const fs::path file = Path("urls.dat");
    ASSERT_TRUE(SaveRecordFile(file, {}, gate_).ok());
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
    // Also when it replaces a file that had records.
    ASSERT_TRUE(SaveRecordFile(file, {"a record"}, gate_).ok());
    EXPECT_GT(fs::file_size(file), 0u);
    ASSERT_TRUE(SaveRecordFile(file, {}, gate_).ok());
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST_F(RecordFileTest, ZeroByteFileLoadsAsAnEmptyList)
{
    const fs::path file = Path("urls.dat");
    WriteBytes(file, "");
    RecordList lines = kSentinel;
    const LoadResult result = LoadRecordFile(file, lines);
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(lines.empty());
}

TEST_F(RecordFileTest, ListOfOneEmptyLineIsNotAnEmptyFile)
{
    const fs::path file = Path("urls.dat");
    ASSERT_TRUE(SaveRecordFile(file, {""}, gate_).ok());
    EXPECT_EQ(Inflate(ReadBytes(file)), "\r\n");
    RecordList lines;
    ASSERT_TRUE(LoadRecordFile(file, lines).ok());
    EXPECT_EQ(lines, RecordList{""});
}

TEST_F(RecordFileTest, SaveReplacesTheOldFileAndLeavesNoTemporaryFile)
{
    const fs::path file = Path("urls.dat");
    ASSERT_TRUE(SaveRecordFile(file, RecordList(100, std::string(1500, 'x')), gate_).ok());
    ASSERT_TRUE(SaveRecordFile(file, {"short"}, gate_).ok());
    EXPECT_EQ(Inflate(ReadBytes(file)), "short\r\n");
    EXPECT_EQ(FilesIn(Dir()), std::vector<std::string>{"urls.dat"});
}

// ---------------------------------------------------------------------------
// Line reading.

TEST(SplitLines, LineEndsAtCrLfLoneCrOrLoneLf)
{
    struct Case
    {
        std::string text;
        RecordList lines;
    };
    const std::vector<Case> cases{
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r", {"a"}},
        {"a\n", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\r\nb\nc\rd\r\n", {"a", "b", "c", "d"}},
        {"\r\n", {""}},
        {"\r", {""}},
        {"\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},   // LF, then a lone CR
        {"a\r\r\nb", {"a", "", "b"}}, // lone CR, then CR LF
        {"a\r\n\nb", {"a", "", "b"}}, // CR LF, then a lone LF
        {"a \t b\r\n", {"a \t b"}},   // blanks and tabs stay
    };
    for (const Case& c : cases) {
        RecordList lines{"stale"};
        SplitLines(c.text, lines);
        EXPECT_EQ(lines, c.lines) << "text: " << ::testing::PrintToString(c.text);
    }
}

TEST(SplitLines, EmbeddedNulBytesStayInTheLine)
{
    RecordList lines;
    SplitLines(std::string("a\0b\r\nc", 6), lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string("a\0b", 3));
    EXPECT_EQ(lines[1], "c");
}

TEST(JoinLines, EveryLineIsFollowedByCrLf)
{
    EXPECT_EQ(JoinLines({}), "");
    EXPECT_EQ(JoinLines({""}), "\r\n");
    EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST_F(RecordFileTest, ZlibFileWithMixedLineEndsMadeAtTestTime)
{
    const fs::path file = Path("urls.dat");
    WriteBytes(file, Deflate("one\r\ntwo\nthree\rfour\r\n\r\nsix"));
    RecordList lines = kSentinel;
    ASSERT_TRUE(LoadRecordFile(file, lines).ok());
    EXPECT_EQ(lines, (RecordList{"one", "two", "three", "four", "", "six"}));
}

// Line ends must be found the same however the decompressed text is cut into
// pieces while it is read: every pattern is tried at every offset, so some copy
// of it straddles each piece boundary whatever the piece size.
TEST(DecompressRecords, LineEndsAcrossAnyPieceBoundary)
{
    const std::vector<std::string> patterns{"ab\r\n",   "a\rbb\n", "abc\rd\rxy\n", "ab\n",
                                            "a\r\rb\n", "ab\n\r",  "a\r\n\r\nb\n", "\r\n"};
    for (const std::string& pattern : patterns) {
        for (std::size_t shift = 0; shift < pattern.size(); ++shift) {
            std::string text(shift, 's');
            while (text.size() < 2300000)
                text += pattern;
            RecordList expected;
            SplitLines(text, expected);
            RecordList lines;
            ASSERT_TRUE(DecompressRecords(Deflate(text), lines));
            EXPECT_EQ(lines.size(), expected.size())
                << "pattern " << ::testing::PrintToString(pattern) << " shift " << shift;
            EXPECT_TRUE(lines == expected)
                << "pattern " << ::testing::PrintToString(pattern) << " shift " << shift;
        }
    }
}

TEST(DecompressRecords, LineLongerThanAnyPiece)
{
    const std::string huge(3u << 20, 'u');
    const std::string text = "first\r\n" + huge + "\r\nlast\r\n";
    RecordList lines;
    ASSERT_TRUE(DecompressRecords(Deflate(text), lines));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "first");
    EXPECT_TRUE(lines[1] == huge);
    EXPECT_EQ(lines[2], "last");
}

TEST(RecordFileFixtures, ZlibFileWithMixedLineEnds)
{
    RecordList lines = kSentinel;
    ASSERT_TRUE(LoadRecordFile(kFixtures / "mixed_line_ends.dat", lines).ok());
    EXPECT_EQ(lines, (RecordList{"first", "second", "third", "fourth", "", "sixth", "", "last"}));
}

TEST(RecordFileFixtures, PlainFileWithMixedLineEnds)
{
    RecordList lines = kSentinel;
    ASSERT_TRUE(LoadPlainRecordFile(kFixtures / "mixed_line_ends.txt", lines).ok());
    EXPECT_EQ(lines, (RecordList{"first", "second", "third", "fourth", "", "sixth", "", "last"}));
}

TEST(RecordFileFixtures, ValidUrlsFileLoads)
{
    RecordList lines = kSentinel;
    const LoadResult result = LoadRecordFile(kFixtures / "valid_urls.dat", lines);
    ASSERT_TRUE(result.ok()) << result.message;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(GetUrlField(lines[0], UrlField::Id), "5hmeiwmdphn21i3v900");
    EXPECT_EQ(GetUrlField(lines[1], UrlField::Url), "https://example.org/a?b=c");
    EXPECT_EQ(GetUrlField(lines[2], UrlField::Created), "05/14/2007 13:45:32");
    EXPECT_EQ(GetUrlField(lines[2], UrlField::Flags), "0000 000");
    for (const std::string& line : lines)
        EXPECT_GT(line.size(), 1403u);
}

// ---------------------------------------------------------------------------
// Damaged files: reported as Damaged, the list keeps its previous content.

class DamagedFixtureTest : public ::testing::TestWithParam<const char*>
{
};

TEST_P(DamagedFixtureTest, IsReportedDamagedAndTheListKeepsItsContent)
{
    const fs::path file = kFixtures / GetParam();
    ASSERT_TRUE(fs::exists(file)) << file;
    RecordList lines = kSentinel;
    const LoadResult result = LoadRecordFile(file, lines);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.kind, LoadResult::Kind::Damaged);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(lines, kSentinel);
}

INSTANTIATE_TEST_SUITE_P(RecordFileFixtures, DamagedFixtureTest,
                         ::testing::Values("damaged_urls.dat", "truncated_urls.dat",
                                           "bad_checksum_urls.dat", "header_only_urls.dat",
                                           "garbage_after_stream_urls.dat"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

TEST_F(RecordFileTest, StreamCutAtAnyLengthIsDamaged)
{
    RecordList records(3, MakeUrlRecord("5hmeiwmdphn21i3v900", "00000001", "05/14/2007 13:45:30",
                                        "http://example.com/"));
    const std::string stream = Deflate(JoinLines(records));
    const fs::path file = Path("urls.dat");
    for (std::size_t n = 1; n < stream.size(); ++n) {
        WriteBytes(file, stream.substr(0, n));
        RecordList lines = kSentinel;
        EXPECT_EQ(LoadRecordFile(file, lines).kind, LoadResult::Kind::Damaged) << n;
        EXPECT_EQ(lines, kSentinel) << n;
    }
}

TEST_F(RecordFileTest, CorruptedDataIsDamaged)
{
    std::string stream = Deflate(JoinLines(RecordList(3, std::string(700, 'r'))));
    stream[stream.size() / 2] = static_cast<char>(stream[stream.size() / 2] ^ 0x5A);
    const fs::path file = Path("urls.dat");
    WriteBytes(file, stream);
    RecordList lines = kSentinel;
    EXPECT_EQ(LoadRecordFile(file, lines).kind, LoadResult::Kind::Damaged);
    EXPECT_EQ(lines, kSentinel);
}

TEST_F(RecordFileTest, PlainTextIsNotAZlibFile)
{
    const fs::path file = Path("urls.dat");
    WriteBytes(file, JoinLines({"0000 000 not compressed"}));
    RecordList lines = kSentinel;
    EXPECT_EQ(LoadRecordFile(file, lines).kind, LoadResult::Kind::Damaged);
    EXPECT_EQ(lines, kSentinel);
}

TEST_F(RecordFileTest, StreamFollowedByAnotherStreamIsDamaged)
{
    // Two complete streams back to back: the file is not what a save writes.
    const fs::path file = Path("urls.dat");
    WriteBytes(file, Deflate("first\r\n") + Deflate("second\r\n"));
    RecordList lines = kSentinel;
    EXPECT_EQ(LoadRecordFile(file, lines).kind, LoadResult::Kind::Damaged);
    EXPECT_EQ(lines, kSentinel);
}

TEST_F(RecordFileTest, MissingFileIsReportedMissingAndTheListKeepsItsContent)
{
    RecordList lines = kSentinel;
    const LoadResult result = LoadRecordFile(Path("no-such.dat"), lines);
    EXPECT_EQ(result.kind, LoadResult::Kind::Missing);
    EXPECT_EQ(lines, kSentinel);
    EXPECT_EQ(LoadPlainRecordFile(Path("no-such.dat"), lines).kind, LoadResult::Kind::Missing);
    EXPECT_EQ(lines, kSentinel);
}

TEST_F(RecordFileTest, UnreadableFileIsReportedUnreadable)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files regardless of their mode";
    const fs::path file = Path("urls.dat");
    WriteBytes(file, Deflate("line\r\n"));
    fs::permissions(file, fs::perms::none);
    RecordList lines = kSentinel;
    EXPECT_EQ(LoadRecordFile(file, lines).kind, LoadResult::Kind::Unreadable);
    EXPECT_EQ(lines, kSentinel);
}

TEST_F(RecordFileTest, FolderInPlaceOfTheFileIsUnreadable)
{
    // A folder named like the record file: the load must fail as a value, not throw.
    const fs::path file = Path("urls.dat");
    fs::create_directory(file);
    RecordList lines = kSentinel;
    LoadResult result;
    EXPECT_NO_THROW(result = LoadRecordFile(file, lines));
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.kind, LoadResult::Kind::Unreadable);
    EXPECT_EQ(lines, kSentinel);
}

// ---------------------------------------------------------------------------
// The save gate.

TEST(SaveGate, TakeAndRelease)
{
    SecondsCounter counter;
    SaveGate gate(counter);
    EXPECT_FALSE(gate.taken());
    EXPECT_TRUE(gate.Take());
    EXPECT_TRUE(gate.taken());
    gate.Release();
    EXPECT_FALSE(gate.taken());
    EXPECT_TRUE(gate.Take());
    gate.Release();
}

TEST(SaveGate, HeldGateGivesUpWhenTheCounterHasMovedOnByFive)
{
    SecondsCounter counter;
    SaveGate gate(counter);
    ASSERT_TRUE(gate.Take());
    std::atomic<bool> done{false};
    std::thread clock([&] {
        std::this_thread::sleep_for(100ms);
        while (!done) {
            counter.Advance();
            std::this_thread::sleep_for(20ms);
        }
    });
    EXPECT_FALSE(gate.Take());
    done = true;
    clock.join();
    EXPECT_TRUE(gate.taken()); // still held by its first holder
    gate.Release();
}

TEST(SaveGate, CounterWrappingAroundStillCountsFive)
{
    SecondsCounter counter;
    counter.Advance(UINT32_MAX - 1); // two short of wrapping
    SaveGate gate(counter);
    ASSERT_TRUE(gate.Take());
    std::atomic<bool> done{false};
    std::atomic<std::uint32_t> advanced{0};
    std::thread clock([&] {
        std::this_thread::sleep_for(100ms);
        while (!done && advanced < 100) {
            counter.Advance();
            ++advanced;
            std::this_thread::sleep_for(20ms);
        }
    });
    EXPECT_FALSE(gate.Take());
    done = true;
    clock.join();
    EXPECT_LT(advanced.load(), 100u) << "the wait did not end at the wrap";
}

TEST(SaveGate, HolderThatDidNotGetTheGateDoesNotReleaseIt)
{
    SecondsCounter counter;
    SaveGate gate(counter);
    ASSERT_TRUE(gate.Take());
    std::atomic<bool> done{false};
    std::thread clock([&] {
        while (!done) {
            counter.Advance();
            std::this_thread::sleep_for(10ms);
        }
    });
    {
        SaveGateHolder holder(gate);
        EXPECT_FALSE(holder.held());
    }
    done = true;
    clock.join();
    EXPECT_TRUE(gate.taken());
    gate.Release();
    {
        SaveGateHolder holder(gate);
        EXPECT_TRUE(holder.held());
        EXPECT_TRUE(gate.taken());
    }
    EXPECT_FALSE(gate.taken());
}

TEST_F(RecordFileTest, HeldGateMakesTheSaveGiveUpAfterFiveSecondsAndTheFileStaysUntouched)
{
    const fs::path file = Path("urls.dat");
    const std::string original = Deflate("original record\r\n");
    WriteBytes(file, original);
    const auto originalTime = fs::last_write_time(file);

    ASSERT_TRUE(gate_.Take()); // another save holds the gate
    std::atomic<bool> saveReturned{false};
    std::atomic<bool> returnedEarly{false};
    std::thread clock([&] {
        std::this_thread::sleep_for(200ms); // the save is waiting by now
        for (int i = 0; i < 4; ++i) {
            counter_.Advance();
            std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(300ms);
        returnedEarly = saveReturned.load();
        counter_.Advance(); // the fifth second
        // Should the save have started late, keep time moving so that the test ends.
        for (int i = 0; i < 100 && !saveReturned; ++i) {
            std::this_thread::sleep_for(50ms);
            counter_.Advance();
        }
    });
    const Status status = SaveRecordFile(file, {"new record"}, gate_);
    const std::uint32_t secondsAtReturn = counter_.value();
    saveReturned = true;
    clock.join();

    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.message().empty());
    EXPECT_FALSE(returnedEarly) << "gave up before the counter moved on by 5";
    EXPECT_EQ(secondsAtReturn, 5u);
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(fs::last_write_time(file), originalTime);
    EXPECT_EQ(FilesIn(Dir()), std::vector<std::string>{"urls.dat"});
    EXPECT_TRUE(gate_.taken()); // the failed save did not release someone else's gate
    gate_.Release();
}

TEST_F(RecordFileTest, HeldGatePlainSaveAlsoGivesUp)
{
    const fs::path file = Path("clip.dat");
    WriteBytes(file, "original\r\n");
    ASSERT_TRUE(gate_.Take());
    std::atomic<bool> done{false};
    std::thread clock([&] {
        std::this_thread::sleep_for(100ms);
        for (int i = 0; i < 300 && !done; ++i) {
            counter_.Advance();
            std::this_thread::sleep_for(20ms);
        }
    });
    const Status status = SavePlainRecordFile(file, {"new"}, gate_);
    done = true;
    clock.join();
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(ReadBytes(file), "original\r\n");
    gate_.Release();
}

TEST_F(RecordFileTest, GateReleasedWithinFiveSecondsLetsTheSaveProceed)
{
    const fs::path file = Path("urls.dat");
    WriteBytes(file, Deflate("original\r\n"));
    ASSERT_TRUE(gate_.Take());
    std::thread other([&] {
        std::this_thread::sleep_for(150ms);
        counter_.Advance(4);
        std::this_thread::sleep_for(50ms);
        gate_.Release();
    });
    const Status status = SaveRecordFile(file, {"new record"}, gate_);
    other.join();
    EXPECT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(Inflate(ReadBytes(file)), "new record\r\n");
    EXPECT_FALSE(gate_.taken()); // the save released the gate again
}

TEST_F(RecordFileTest, SaveReleasesTheGateAfterwards)
{
    ASSERT_TRUE(SaveRecordFile(Path("a.dat"), {"x"}, gate_).ok());
    EXPECT_FALSE(gate_.taken());
    // And after a failed write too.
    EXPECT_FALSE(SaveRecordFile(Path("missing/a.dat"), {"x"}, gate_).ok());
    EXPECT_FALSE(gate_.taken());
}

// ---------------------------------------------------------------------------
// Failed saves.

TEST_F(RecordFileTest, SaveIntoAMissingFolderFailsAndLeavesNothingBehind)
{
    const fs::path file = Path("no-such-folder") / "urls.dat";
    const Status status = SaveRecordFile(file, {"a record"}, gate_);
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.message().empty());
    EXPECT_FALSE(fs::exists(Path("no-such-folder")));
    EXPECT_TRUE(FilesIn(Dir()).empty());

    // The empty list too.
    EXPECT_FALSE(SaveRecordFile(file, {}, gate_).ok());
    EXPECT_FALSE(SavePlainRecordFile(file, {"a record"}, gate_).ok());
    EXPECT_TRUE(FilesIn(Dir()).empty());
}

TEST_F(RecordFileTest, SaveOverAFolderFailsAndKeepsTheFolder)
{
    const fs::path file = Path("urls.dat");
    fs::create_directory(file);
    EXPECT_FALSE(SaveRecordFile(file, {"a record"}, gate_).ok());
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_EQ(FilesIn(Dir()), std::vector<std::string>{"urls.dat"});
}

// ---------------------------------------------------------------------------
// The plain container (clip.dat).

TEST_F(RecordFileTest, PlainFileIsTheLinesWithCrLf)
{
    const fs::path file = Path("clip.dat");
    const RecordList records{
        MakeUrlRecord("5hmeiwmdphn21i3v900", "00000002", "05/14/2007 13:45:30", "http://a/"),
        MakeUrlRecord("5hmeiwmdphn21i3v901", "00000002", "05/14/2007 13:45:31", "http://b/"),
    };
    ASSERT_TRUE(SavePlainRecordFile(file, records, gate_).ok());
    EXPECT_EQ(ReadBytes(file), records[0] + "\r\n" + records[1] + "\r\n");
    RecordList loaded = kSentinel;
    ASSERT_TRUE(LoadPlainRecordFile(file, loaded).ok());
    EXPECT_EQ(loaded, records);

    ASSERT_TRUE(SavePlainRecordFile(file, {}, gate_).ok());
    EXPECT_EQ(fs::file_size(file), 0u);
    ASSERT_TRUE(LoadPlainRecordFile(file, loaded).ok());
    EXPECT_TRUE(loaded.empty());
}

// ---------------------------------------------------------------------------
// Compression helpers.

TEST(CompressRecords, EmptyListGivesNoBytesAndNoBytesGiveAnEmptyList)
{
    std::string out = "stale";
    ASSERT_TRUE(CompressRecords({}, out));
    EXPECT_TRUE(out.empty());
    RecordList lines = kSentinel;
    ASSERT_TRUE(DecompressRecords("", lines));
    EXPECT_TRUE(lines.empty());
}

TEST(CompressRecords, StreamIsZlibAtTheDefaultLevel)
{
    const RecordList lines{"one", "two"};
    std::string out;
    ASSERT_TRUE(CompressRecords(lines, out));
    EXPECT_EQ(out, Deflate("one\r\ntwo\r\n"));
    RecordList back;
    ASSERT_TRUE(DecompressRecords(out, back));
    EXPECT_EQ(back, lines);
}

// ---------------------------------------------------------------------------
// Setting a damaged file aside.

TEST_F(RecordFileTest, DamagedFileIsRenamedAside)
{
    const fs::path file = Path("urls.dat");
    WriteBytes(file, "damaged one");
    const auto first = SetAsideDamagedFile(file);
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ReadBytes(*first), "damaged one");
    EXPECT_EQ(first->parent_path(), Dir());
    EXPECT_EQ(first->filename().string().rfind("urls.dat.damaged-", 0), 0u) << first->filename();

    // A second damaged file of the same name never overwrites the first.
    WriteBytes(file, "damaged two");
    const auto second = SetAsideDamagedFile(file);
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*first, *second);
    EXPECT_EQ(ReadBytes(*first), "damaged one");
    EXPECT_EQ(ReadBytes(*second), "damaged two");

    EXPECT_FALSE(SetAsideDamagedFile(Path("no-such.dat")).has_value());
}
