#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvex {

// Text helpers of the review pages. Review texts are cut and measured in
// characters (Unicode code points), so they are decoded from UTF-8 first; a
// byte that is not part of valid UTF-8 becomes U+FFFD, so the pages, which
// declare UTF-8, always are UTF-8.

std::u32string DecodeUtf8(std::string_view text);
// The first maxChars characters only, as DecodeUtf8 would give them.
std::u32string DecodeUtf8Prefix(std::string_view text, std::size_t maxChars);
// How many characters DecodeUtf8 would give.
std::size_t CountChars(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);
void AppendUtf8(std::string& out, char32_t c);
// Writes one character at dest (room for 4 bytes); returns the end.
char* EncodeUtf8(char* dest, char32_t c);
bool IsValidUtf8(std::string_view text);

// Removes leading and trailing characters of codes 0 to 32.
std::u32string_view TrimChars(std::u32string_view text);

// The first limit characters followed by "..." when the text is longer; else the text.
std::string CutWithEllipsis(std::string_view text, std::size_t limit);

// Appends the text with & < > " replaced by character references, so that it
// stays text both between tags and inside a double-quoted attribute.
void AppendEscaped(std::string& out, std::string_view text);
void AppendEscaped(std::string& out, std::u32string_view text);
std::string EscapeHtml(std::string_view text);

// Whether an address may become a link: its scheme, as a browser would read
// it, is http, https, ftp or file. Anything else (javascript:, data:, a
// relative address) gives no link.
bool IsSafeLinkAddress(std::string_view address);

} // namespace orvex
