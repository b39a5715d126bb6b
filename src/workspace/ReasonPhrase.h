#pragma once

#include <string>
#include <string_view>

namespace orvex {

// The reason text shown after an HTTP status code; empty for codes it does not know.
std::string_view ReasonPhrase(int code);

// "<code> <reason>" padded to the 40 bytes of a row's StatusText. A blank
// stored code shows as "0"; a code that is not a number reads as 0.
std::string StatusTextFor(std::string_view storedCode);

// The status text of a list row: like StatusTextFor, except that a URL that
// has no status code yet shows an empty status (and so the "no status" icon).
std::string RowStatusText(std::string_view storedCode);

} // namespace orvex
