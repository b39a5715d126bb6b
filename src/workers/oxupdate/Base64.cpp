#include "Base64.h"

#include <array>
#include <cstdint>

namespace orvex::oxupdate {

namespace {

constexpr std::uint8_t kSkip = 0xFE;
constexpr std::uint8_t kBad = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeTable()
{
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table)
        entry = kBad;
    constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kDigits[i])] = static_cast<std::uint8_t>(i);
    for (const char c : {' ', '\t', '\r', '\n'})
        table[static_cast<unsigned char>(c)] = kSkip;
    return table;
}

constexpr std::array<std::uint8_t, 256> kTable = MakeTable();

} // namespace

std::optional<std::string> DecodeBase64(std::string_view text)
{
    while (!text.empty() && (text.back() == '=' || kTable[static_cast<unsigned char>(text.back())] == kSkip))
        text.remove_suffix(1);
    std::string out;
    out.reserve(text.size() / 4 * 3 + 3);
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const std::uint8_t value = kTable[static_cast<unsigned char>(c)];
        if (value == kSkip)
            continue;
        if (value == kBad)
            return std::nullopt;
        bits = (bits << 6) | value;
        if (++count == 4) {
            out.push_back(static_cast<char>((bits >> 16) & 0xFF));
            out.push_back(static_cast<char>((bits >> 8) & 0xFF));
            out.push_back(static_cast<char>(bits & 0xFF));
            bits = 0;
            count = 0;
        }
    }
    if (count == 1)
        return std::nullopt; // six bits cannot end a byte
    if (count == 2) {
        out.push_back(static_cast<char>((bits >> 4) & 0xFF));
    } else if (count == 3) {
        out.push_back(static_cast<char>((bits >> 10) & 0xFF));
        out.push_back(static_cast<char>((bits >> 2) & 0xFF));
    }
    return out;
}

std::string EncodeBase64(std::string_view bytes)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t bits = (std::uint32_t(std::uint8_t(bytes[i])) << 16) |
                                   (std::uint32_t(std::uint8_t(bytes[i + 1])) << 8) |
                                   std::uint32_t(std::uint8_t(bytes[i + 2]));
        out.push_back(kDigits[(bits >> 18) & 63]);
        out.push_back(kDigits[(bits >> 12) & 63]);
        out.push_back(kDigits[(bits >> 6) & 63]);
        out.push_back(kDigits[bits & 63]);
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const std::uint32_t bits = (std::uint32_t(std::uint8_t(bytes[i])) << 16) |
                                   (two ? std::uint32_t(std::uint8_t(bytes[i + 1])) << 8 : 0);
        out.push_back(kDigits[(bits >> 18) & 63]);
        out.push_back(kDigits[(bits >> 12) & 63]);
        out.push_back(two ? kDigits[(bits >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

} // namespace orvex::oxupdate
