// The worker's result block: where each field lands, how values are cut and
// cleaned, the completion marker, and the block shared between two mappings.

#include "update/ResultBlock.h"
#include "update/SharedBlock.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

using namespace orvex;

namespace {

std::string At(const ResultBlockBytes& block, std::size_t offset, std::size_t width)
{
    return std::string(block.data() + offset, width);
}

std::string Padded(const std::string& text, std::size_t width)
{
    return text + std::string(width - text.size(), ' ');
}

std::string TestBlockName(const char* tag)
{
    return "/orvex-test-" + std::to_string(getpid()) + "-" + tag;
}

} // namespace

TEST(ResultBlockLayout, FieldsLandAtTheirOffsetsAndReadBack)
{
    ResultBlock fields;
    fields.code = "7";
    fields.captured = "05/14/2007 13:45:30";
    fields.status = "200";
    fields.updated = "05/14/2007 13:45:31";
    fields.title = "A title";
    fields.charset = "utf-8";
    fields.description = "Some description";
    fields.keywords = "k1, k2";
    fields.contentLength = "12345";
    fields.lastModified = "05/01/2007 08:00:00";
    fields.contentType = "text/html; charset=utf-8";

    const ResultBlockBytes block = WriteBlock(fields);
    EXPECT_EQ(At(block, 0, 140), std::string(140, ' ')); // no marker yet
    EXPECT_EQ(At(block, 140, 4), "7   ");
    EXPECT_EQ(At(block, 144, 19), fields.captured);
    EXPECT_EQ(At(block, 163, 4), "200 ");
    EXPECT_EQ(At(block, 167, 19), fields.updated);
    EXPECT_EQ(At(block, 186, 256), Padded("A title", 256));
    EXPECT_EQ(At(block, 442, 24), Padded("utf-8", 24));
    EXPECT_EQ(At(block, 466, 256), Padded("Some description", 256));
    EXPECT_EQ(At(block, 722, 256), Padded("k1, k2", 256));
    EXPECT_EQ(At(block, 978, 8), "12345   ");
    EXPECT_EQ(At(block, 986, 19), fields.lastModified);
    EXPECT_EQ(At(block, 1005, 40), Padded(fields.contentType, 40));
    EXPECT_EQ(At(block, 1045, 2048 - 1045), std::string(2048 - 1045, ' '));

    EXPECT_FALSE(HasBlockMarker(block.data()));
    EXPECT_EQ(ParseBlockText(ReadBlockText(block.data())), fields);
}

TEST(ResultBlockLayout, ValuesAreCleanedAndCutOnCharacterBoundaries)
{
    ResultBlock fields;
    // 255 ASCII bytes then a two-byte character: the character does not fit.
    fields.title = std::string(255, 'x') + "\xC3\xA9" + "tail";
    fields.description = "line one\r\nline two";
    fields.keywords = std::string("a\0b", 3);
    fields.status = "12345"; // wider than its column
    const ResultBlockBytes block = WriteBlock(fields);

    EXPECT_EQ(At(block, 186, 256), std::string(255, 'x') + " ");
    EXPECT_EQ(At(block, 466, 256), Padded("line one  line two", 256));
    EXPECT_EQ(At(block, 722, 256), Padded("a b", 256));
    EXPECT_EQ(At(block, 163, 4), "1234");
    EXPECT_EQ(At(block, 167, 19), std::string(19, ' ')); // the cut did not spill over
}

TEST(ResultBlockText, StopsAtTheFirstZeroAndBlanksLineBreaks)
{
    ResultBlockBytes block;
    block.fill(' ');
    const std::string head = "2088\r\nab";
    std::copy(head.begin(), head.end(), block.begin());
    block[200] = '\0';
    EXPECT_EQ(ReadBlockText(block.data()), "2088  ab" + std::string(192, ' '));

    block[200] = ' ';
    EXPECT_EQ(ReadBlockText(block.data()).size(), kResultBlockSize); // no zero at all

    // Fields beyond a short text are empty.
    const ResultBlock parsed = ParseBlockText(std::string(140, ' ') + "3   05/14/2007");
    EXPECT_EQ(parsed.code, "3");
    EXPECT_EQ(parsed.captured, "05/14/2007");
    EXPECT_EQ(parsed.status, "");
    EXPECT_EQ(parsed.contentType, "");
}

TEST(ResultBlockMarker, WrittenOnlyByItsOwnFunction)
{
    ResultBlock fields;
    fields.code = "7";
    ResultBlockBytes block = WriteBlock(fields);
    block[0] = '2';
    block[1] = '0';
    EXPECT_FALSE(HasBlockMarker(block.data())); // half a marker is none
    WriteBlockMarker(block.data());
    EXPECT_TRUE(HasBlockMarker(block.data()));
    EXPECT_EQ(At(block, 0, 4), "2088");
    EXPECT_EQ(At(block, 140, 4), "7   ");

    // A worker writing fields again does not disturb the marker.
    WriteBlockFields(block.data(), fields);
    EXPECT_TRUE(HasBlockMarker(block.data()));
}

TEST(SharedBlockMapping, SecondMappingSeesWhatTheFirstWrote)
{
    const std::string name = TestBlockName("share");
    {
        SharedBlock coordinator = SharedBlock::Create(name);
        ASSERT_TRUE(coordinator.valid()) << coordinator.error();
        EXPECT_EQ(std::string(coordinator.data(), kResultBlockSize),
                  std::string(kResultBlockSize, ' '));

        SharedBlock worker = SharedBlock::Open(name);
        ASSERT_TRUE(worker.valid()) << worker.error();
        ResultBlock fields;
        fields.code = "5";
        fields.title = "Seen";
        WriteBlockFields(worker.data(), fields);
        WriteBlockMarker(worker.data());

        ASSERT_TRUE(HasBlockMarker(coordinator.data()));
        EXPECT_EQ(ParseBlockText(ReadBlockText(coordinator.data())), fields);

        coordinator.Clear();
        EXPECT_FALSE(HasBlockMarker(worker.data()));

        // A worker letting go does not remove the name.
        { SharedBlock moved = std::move(worker); }
        EXPECT_TRUE(SharedBlock::Open(name).valid());
    }
    // The creator removes it.
    const SharedBlock gone = SharedBlock::Open(name);
    EXPECT_FALSE(gone.valid());
    EXPECT_FALSE(gone.error().empty());
}

TEST(SharedBlockMapping, CreateTakesOverAStaleBlockBlank)
{
    const std::string name = TestBlockName("stale");
    SharedBlock first = SharedBlock::Create(name);
    ASSERT_TRUE(first.valid()) << first.error();
    WriteBlockMarker(first.data());

    SharedBlock second = SharedBlock::Create(name);
    ASSERT_TRUE(second.valid()) << second.error();
    EXPECT_FALSE(HasBlockMarker(first.data()));
}
