#pragma once

#include "PageContent.h"

#include <string>
#include <string_view>

namespace orvex::oxupdate {

// The page digest (Data/<Id>.dt) the review pages read: lines ended by CR LF,
// in four sections divided by lines of exactly the bytes 0x01 0x07:
//   1. the title
//   2. the meta description
//   3. one line per link: "absolute address">link text<
//   4. the paragraphs of text, one a line
// Page text can neither end a line early nor fake a divider: line breaks and
// other control characters become blanks.
std::string BuildDigest(const PageContent& page);

// One line of page text: control characters (line breaks included) become
// blanks, runs of blanks become one, and the ends are trimmed.
std::string DigestLine(std::string_view text);

// A link line of section 3. The text loses <, > and "; the address keeps its
// meaning but has those (and blanks) percent-encoded, so the line always reads
// back as the same address and text.
std::string DigestLinkLine(const PageLink& link);

} // namespace orvex::oxupdate
