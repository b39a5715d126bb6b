#pragma once

#include <string>
#include <string_view>

namespace orvex {

// The content length shown in the detail pane: the first 8 bytes of the
// Properties field in kilobytes, at most three decimals with halves rounded up,
// no trailing zeros, then " KB". A stored "0" shows nothing; a text that is
// not a number counts as 0.
std::string ContentLengthText(std::string_view properties, char decimalPoint);

// The row after its URL was edited: not captured, no status, no page fields,
// Created set anew, the URL padded or cut to its 512 bytes; StoreIndex, Id,
// Reserved12 and Folder kept.
std::string EditedUrlRow(std::string_view row, std::string_view newUrl, std::string_view now);

} // namespace orvex
