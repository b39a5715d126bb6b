#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// Lines of a record file (or rows built from them), in file order.
using RecordList = std::vector<std::string>;

// Text helpers for fixed-width records. Texts are UTF-8 byte strings; widths
// count bytes, and no cut ever splits a UTF-8 sequence.

// Removes leading and trailing bytes of codes 0 to 32.
std::string_view TrimView(std::string_view text);
std::string TrimText(std::string_view text);

// The longest prefix of at most maxBytes bytes that ends on a character boundary.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);

// Right-pads with blanks to width; a longer text is returned unchanged.
std::string PadRight(std::string_view text, std::size_t width);

// A field value as stored: trimmed, cut to width on a character boundary, padded with blanks.
std::string FitField(std::string_view value, std::size_t width);

// Every CR and LF becomes a blank.
std::string ReplaceLineBreaks(std::string text);

// Unicode lower case (ASCII takes a fast path).
std::string LowerText(std::string_view text);

// A decimal number with optional blanks around it and an optional sign; any
// other text gives the fallback.
long long ParseDecimal(std::string_view text, long long fallback);

} // namespace orvex
