// The coordinator-worker protocol: slot names, arguments, the job text and the
// framing of messages on a slot's socket.

#include "update/UpdateProtocol.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace orvex;

namespace {

UpdateJob SampleJob()
{
    UpdateJob job;
    job.url = "http://127.0.0.1:8080/page?x=1";
    job.proxyUser = "user";
    job.proxyPassword = "p w";
    job.projectFolder = "/home/u/Orvex/00000003";
    job.id = "1179150330000000001";
    job.screenshot = true;
    job.width = 1024;
    job.height = 768;
    job.thumbnail = false;
    return job;
}

} // namespace

TEST(UpdateSlots, NamesArgumentsAndEndpoints)
{
    EXPECT_EQ(UpdateSlotName(0), "505566543839205111127588");
    EXPECT_EQ(UpdateSlotName(9), "284676540602660658338024");
    EXPECT_EQ(UpdateSlotName(10), "");
    EXPECT_EQ(UpdateSlotName(-1), "");
    std::set<std::string_view> distinct;
    for (int slot = 0; slot < kUpdateSlotCount; ++slot) {
        const std::string_view name = UpdateSlotName(slot);
        EXPECT_EQ(name.size(), 24u);
        EXPECT_EQ(name.find_first_not_of("0123456789"), std::string_view::npos) << name;
        distinct.insert(name);
        EXPECT_EQ(SlotFromWorkerArgument(UpdateWorkerArgument(slot)), slot);
    }
    EXPECT_EQ(distinct.size(), std::size_t(kUpdateSlotCount));
    EXPECT_EQ(UpdateWorkerArgument(3), "ox3");
    for (const char* bad : {"", "ox", "ox10", "Ox1", "oxa", "ox-"})
        EXPECT_FALSE(SlotFromWorkerArgument(bad).has_value()) << bad;

    EXPECT_EQ(UpdateSocketName(1000, 2), "orvex-1000-TOXSaver-008665924544641163115543");
    EXPECT_EQ(UpdateBlockName(1000, 2), "/orvex-1000-008665924544641163115543");
    EXPECT_EQ(UpdateSocketName(1000, 11), "");
    EXPECT_EQ(UpdateBlockName(1000, 11), "");
}

TEST(UpdateJobText, ExactBytesAndRoundTrip)
{
    const UpdateJob job = SampleJob();
    const std::string sep("\x01\x07", 2);
    const std::string expected = "http://127.0.0.1:8080/page?x=1" + sep + "user" + sep + "p w" +
                                 sep + "/home/u/Orvex/00000003" + sep + "1179150330000000001" +
                                 sep + "PNG" + sep + "1024" + sep + "768" + sep + "0" + sep;
    EXPECT_EQ(EncodeJobText(job), expected);
    EXPECT_EQ(DecodeJobText(expected), job);

    const UpdateMessage message = JobMessage(job);
    EXPECT_EQ(message.id, 0x99E45FC3u);
    EXPECT_EQ(message.data, expected); // no terminator

    UpdateJob other; // empty proxy fields, thumbnail only
    other.url = "http://a.test/";
    other.thumbnail = true;
    const std::optional<UpdateJob> decoded = DecodeJobText(EncodeJobText(other));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, other);
}

TEST(UpdateJobText, DecoderRefusesAnythingButNineFields)
{
    const std::string sep("\x01\x07", 2);
    const std::string nine = EncodeJobText(SampleJob());
    const std::string cases[] = {
        "",
        nine.substr(0, nine.size() - 2),  // last field unterminated
        nine.substr(0, nine.size() - 1),  // half a separator at the end
        nine + "extra" + sep,             // ten fields
        nine + "tail",                    // trailing bytes
        "a" + sep + "b" + sep,            // two fields
    };
    for (const std::string& text : cases)
        EXPECT_FALSE(DecodeJobText(text).has_value()) << text.size();

    // Width and height that are not numbers read as 0 rather than failing the job.
    const std::string odd = "u" + sep + sep + sep + "f" + sep + "id" + sep + "0" + sep + "wide" +
                            sep + "-5" + sep + "JPG" + sep;
    const std::optional<UpdateJob> job = DecodeJobText(odd);
    ASSERT_TRUE(job.has_value());
    EXPECT_EQ(job->width, 0);
    EXPECT_EQ(job->height, 0);
    EXPECT_FALSE(job->screenshot);
    EXPECT_TRUE(job->thumbnail);
}

TEST(UpdateJobText, SeparatorBytesInsideAFieldCannotShiftTheFields)
{
    UpdateJob job = SampleJob();
    job.proxyPassword = std::string("a\x01\x07" "b", 4);
    const std::optional<UpdateJob> decoded = DecodeJobText(EncodeJobText(job));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->proxyPassword, std::string("a\x07" "b", 3));
    EXPECT_EQ(decoded->projectFolder, job.projectFolder);
}

TEST(UpdateFrames, StopMessageBytes)
{
    EXPECT_EQ(EncodeFrame(StopMessage()),
              std::string("\x76\x6F\xE8\x68\x04\x00\x00\x00\x00\x00\x00\x00", 12));
}

TEST(UpdateFrames, DecoderCopesWithAnySplitOfTheStream)
{
    const UpdateMessage job = JobMessage(SampleJob());
    const UpdateMessage empty{7, ""};
    const std::string stream = EncodeFrame(job) + EncodeFrame(empty) + EncodeFrame(StopMessage());

    for (std::size_t chunk : {std::size_t(1), std::size_t(3), std::size_t(8), stream.size()}) {
        FrameDecoder decoder;
        std::vector<UpdateMessage> got;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            decoder.Feed(std::string_view(stream).substr(at, chunk));
            while (std::optional<UpdateMessage> message = decoder.Next())
                got.push_back(*message);
        }
        ASSERT_EQ(got.size(), 3u) << "chunk " << chunk;
        EXPECT_EQ(got[0], job);
        EXPECT_EQ(got[1], empty);
        EXPECT_EQ(got[2], StopMessage());
        EXPECT_FALSE(decoder.Broken());
    }
}

TEST(UpdateFrames, OversizedLengthBreaksTheStream)
{
    FrameDecoder decoder(16);
    decoder.Feed(EncodeFrame({1, std::string(17, 'x')}));
    EXPECT_FALSE(decoder.Next().has_value());
    EXPECT_TRUE(decoder.Broken());
    decoder.Feed(EncodeFrame({2, "ok"}));
    EXPECT_FALSE(decoder.Next().has_value());
}
