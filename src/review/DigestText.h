#pragma once

#include "workspace/FixedText.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// A page digest (Data/<Id>.dt) as the update worker writes it: lines separated
// by CR LF, CR or LF, in sections divided by lines of exactly the bytes 0x01
// 0x07. Section 1 is not used, section 2 and section 4 are excerpt
// candidates, section 3 holds one link a line ("address">text<); anything
// after the fourth divider is ignored.
struct Digest
{
    // Lines as read; only the part an excerpt shows is ever decoded.
    RecordList section2;
    RecordList section4;
    RecordList links; // the lines of section 3, made valid UTF-8
    // Characters in the lines of sections 2 and 4, counted once for every excerpt.
    std::size_t chars2 = 0;
    std::size_t chars4 = 0;
};

Digest ParseDigest(std::string_view bytes);
// A missing or unreadable file gives an empty digest.
Digest ReadDigest(const std::filesystem::path& path);
// The same for a file named relative to an open folder, as openat() reads it.
Digest ReadDigestAt(int folder, const char* name);

// Plain-text excerpt of at most maxLength characters; cut at a space and
// ended by "..." when it reaches maxLength.
std::string SummaryOf(const Digest& digest, std::size_t maxLength);
std::u32string SummaryChars(const Digest& digest, std::size_t maxLength);
// HTML excerpt that keeps the lines of section 4 as lines: indented by
// non-breaking spaces, its text escaped.
std::string ParagraphOf(const Digest& digest, std::size_t maxLength);

// The same, reading the file at path; afterwards list holds the lines of its
// section 3 (none when there is no file).
std::string DigestSummary(const std::filesystem::path& path, RecordList& list,
                          std::size_t maxLength);
std::string DigestParagraph(const std::filesystem::path& path, RecordList& list,
                            std::size_t maxLength);

// One link of section 3, as read from a line of the form "address">text<.
struct DigestLink
{
    std::string address;
    std::string text;
};
// False when the trimmed line is not of that form or its address may not be
// linked (see IsSafeLinkAddress).
bool ParseLinkLine(std::string_view line, DigestLink& link);

// The link box of a page: one <div> a link, addresses and texts escaped.
std::string LinkListHtml(const RecordList& lines);

} // namespace orvex
