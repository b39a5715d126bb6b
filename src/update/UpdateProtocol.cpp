#include "update/UpdateProtocol.h"

#include "workspace/FixedText.h"

#include <array>
#include <limits>
#include <vector>

namespace orvex {

namespace {

constexpr std::array<std::string_view, kUpdateSlotCount> kSlotNames{
    "505566543839205111127588", "222044009239082305763611", "008665924544641163115543",
    "732511578044950014221559", "168294221404709507951211", "735185015143200410918850",
    "575796840977264097977371", "095339770523376310506665", "132433450462029718858296",
    "284676540602660658338024",
};

constexpr std::string_view kFieldEnd("\x01\x07", 2);
constexpr std::size_t kJobFieldCount = 9;
constexpr std::size_t kHeaderSize = 8;

void AppendField(std::string& text, std::string_view value)
{
    for (char c : value)
        if (c != '\x01')
            text += c;
    text += kFieldEnd;
}

void AppendU32(std::string& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((value >> shift) & 0xFFu);
}

std::uint32_t ReadU32(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    return value;
}

int ReadDimension(std::string_view text)
{
    const long long value = ParseDecimal(text, 0);
    return value >= 0 && value <= std::numeric_limits<int>::max() ? static_cast<int>(value) : 0;
}

} // namespace

std::string_view UpdateSlotName(int slot)
{
    if (slot < 0 || slot >= kUpdateSlotCount)
        return {};
    return kSlotNames[static_cast<std::size_t>(slot)];
}

std::string UpdateWorkerArgument(int slot)
{
    if (slot < 0 || slot >= kUpdateSlotCount)
        return {};
    return "ox" + std::to_string(slot);
}

std::optional<int> SlotFromWorkerArgument(std::string_view argument)
{
    if (argument.size() != 3 || argument.substr(0, 2) != "ox" || argument[2] < '0' ||
        argument[2] > '9')
        return std::nullopt;
    return argument[2] - '0';
}

std::string UpdateSocketName(unsigned uid, int slot)
{
    const std::string_view name = UpdateSlotName(slot);
    if (name.empty())
        return {};
    return "orvex-" + std::to_string(uid) + "-TOXSaver-" + std::string(name);
}

std::string UpdateBlockName(unsigned uid, int slot)
{
    const std::string_view name = UpdateSlotName(slot);
    if (name.empty())
        return {};
    return "/orvex-" + std::to_string(uid) + "-" + std::string(name);
}

std::string EncodeJobText(const UpdateJob& job)
{
    std::string text;
    AppendField(text, job.url);
    AppendField(text, job.proxyUser);
    AppendField(text, job.proxyPassword);
    AppendField(text, job.projectFolder);
    AppendField(text, job.id);
    AppendField(text, job.screenshot ? "PNG" : "0");
    AppendField(text, std::to_string(job.width));
    AppendField(text, std::to_string(job.height));
    AppendField(text, job.thumbnail ? "JPG" : "0");
    return text;
}

std::optional<UpdateJob> DecodeJobText(std::string_view text)
{
    std::vector<std::string_view> fields;
    while (!text.empty()) {
        const std::size_t end = text.find(kFieldEnd);
        if (end == std::string_view::npos || fields.size() == kJobFieldCount)
            return std::nullopt; // an unterminated tail or a tenth field
        fields.push_back(text.substr(0, end));
        text.remove_prefix(end + kFieldEnd.size());
    }
    if (fields.size() != kJobFieldCount)
        return std::nullopt;
    UpdateJob job;
    job.url = fields[0];
    job.proxyUser = fields[1];
    job.proxyPassword = fields[2];
    job.projectFolder = fields[3];
    job.id = fields[4];
    job.screenshot = fields[5] == "PNG";
    job.width = ReadDimension(fields[6]);
    job.height = ReadDimension(fields[7]);
    job.thumbnail = fields[8] == "JPG";
    return job;
}

UpdateMessage JobMessage(const UpdateJob& job)
{
    return {kJobMessageId, EncodeJobText(job)};
}

UpdateMessage StopMessage()
{
    return {kStopMessageId, std::string(4, '\0')};
}

std::string EncodeFrame(const UpdateMessage& message)
{
    std::string out;
    out.reserve(kHeaderSize + message.data.size());
    AppendU32(out, message.id);
    AppendU32(out, static_cast<std::uint32_t>(message.data.size()));
    out += message.data;
    return out;
}

void FrameDecoder::Feed(std::string_view bytes)
{
    if (!broken_)
        buffer_.append(bytes);
}

std::optional<UpdateMessage> FrameDecoder::Next()
{
    if (broken_ || buffer_.size() < kHeaderSize)
        return std::nullopt;
    const std::string_view view(buffer_);
    const std::size_t length = ReadU32(view.substr(4, 4));
    if (length > maxData_) {
        broken_ = true;
        buffer_.clear();
        return std::nullopt;
    }
    if (buffer_.size() < kHeaderSize + length)
        return std::nullopt;
    UpdateMessage message{ReadU32(view.substr(0, 4)),
                          std::string(view.substr(kHeaderSize, length))};
    buffer_.erase(0, kHeaderSize + length);
    return message;
}

} // namespace orvex
