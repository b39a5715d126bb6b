#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace orvex {

// The 2048-byte block in which a worker leaves its result: fixed text fields,
// left-aligned and blank-padded, and the marker "2088" at offset 0 once done.

constexpr std::size_t kResultBlockSize = 2048;
using ResultBlockBytes = std::array<char, kResultBlockSize>;

struct ResultBlock
{
    std::string code; // '0'..'7'
    std::string captured;
    std::string status; // HTTP status code
    std::string updated;
    std::string title;
    std::string charset;
    std::string description;
    std::string keywords;
    std::string contentLength;
    std::string lastModified;
    std::string contentType;

    bool operator==(const ResultBlock&) const = default;
};

// Writes every field into a block of kResultBlockSize bytes; the marker is
// left alone. Values are cut at their widths on a character boundary; CR, LF
// and zero bytes become blanks so that the block still reads as one text.
void WriteBlockFields(char* block, const ResultBlock& fields);
// A blank block with the fields written, without the marker.
ResultBlockBytes WriteBlock(const ResultBlock& fields);

// The marker goes in last, with release ordering, so that a reader that sees
// it also sees every field written before it.
void WriteBlockMarker(char* block);
bool HasBlockMarker(const char* block);

// The block as text: up to its first zero byte, CR and LF read as blanks.
std::string ReadBlockText(const char* block);
// The fields of a block text, each trimmed of blanks and control characters;
// a field past the end of the text is empty.
ResultBlock ParseBlockText(std::string_view text);

} // namespace orvex
