#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvex {

// What the coordinator and an update worker say to each other: slot names, the
// worker's argument, the job and stop messages and their framing on the socket.

constexpr int kUpdateSlotCount = 10;
constexpr std::uint32_t kJobMessageId = 0x99E45FC3u;
constexpr std::uint32_t kStopMessageId = 0x68E86F76u;

// The slot's fixed name; empty for a slot outside 0..9.
std::string_view UpdateSlotName(int slot);

// "ox0".."ox9"; empty for a slot outside 0..9.
std::string UpdateWorkerArgument(int slot);
// The slot named by a worker argument; nothing for any other text.
std::optional<int> SlotFromWorkerArgument(std::string_view argument);

// Name of the slot's socket in the abstract namespace (without the leading zero
// byte) and of its POSIX shared-memory block. Empty for a slot outside 0..9.
std::string UpdateSocketName(unsigned uid, int slot);
std::string UpdateBlockName(unsigned uid, int slot);

struct UpdateJob
{
    std::string url;
    std::string proxyUser;
    std::string proxyPassword;
    std::string projectFolder;
    std::string id;
    bool screenshot = false; // "PNG"
    int width = 0;
    int height = 0;
    bool thumbnail = false; // "JPG"

    bool operator==(const UpdateJob&) const = default;
};

struct UpdateMessage
{
    std::uint32_t id = 0;
    std::string data;

    bool operator==(const UpdateMessage&) const = default;
};

// The job text: nine fields, each followed by the bytes 0x01 0x07. A 0x01 byte
// inside a field could fake a separator, so the encoder drops it.
std::string EncodeJobText(const UpdateJob& job);
// Nothing unless the text is exactly nine terminated fields. A width or height
// that is not a number reads as 0.
std::optional<UpdateJob> DecodeJobText(std::string_view text);

UpdateMessage JobMessage(const UpdateJob& job);
UpdateMessage StopMessage();

// One message on the socket: id (u32 LE), data length (u32 LE), data.
std::string EncodeFrame(const UpdateMessage& message);

// Collects frames from reads of any size. A frame announcing more than
// maxData bytes marks the stream broken; the peer is then to be dropped.
class FrameDecoder
{
public:
    explicit FrameDecoder(std::size_t maxData = 64 * 1024) : maxData_(maxData) {}

    void Feed(std::string_view bytes);
    // The next complete message, if one has arrived.
    std::optional<UpdateMessage> Next();
    bool Broken() const { return broken_; }

private:
    std::size_t maxData_;
    std::string buffer_;
    bool broken_ = false;
};

} // namespace orvex
