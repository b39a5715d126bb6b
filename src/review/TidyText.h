#pragma once

#include <string>
#include <string_view>

namespace orvex {

// Cleans a title or an excerpt for a review page: trims it, turns separator
// characters (controls, blanks, typographic quotes, dashes, bullet, broken
// bar, section and pilcrow signs and \ / : * ? " < > |) into spaces,
// collapses runs of spaces and breaks words of more than 32 characters so
// that a narrow column can wrap them. Texts are UTF-8; lengths are counted
// in characters.
std::string TidyText(std::string_view text);
std::u32string TidyChars(std::u32string_view text);

} // namespace orvex
