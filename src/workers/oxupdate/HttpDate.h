#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace orvex::oxupdate {

// Seconds since the epoch of an HTTP date in any of the three forms servers
// send ("Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
// "Sun Nov  6 08:49:37 1994"); nothing for any other text.
std::optional<std::time_t> ParseHttpDate(std::string_view text);

// The date in local time as the records write date-times ("MM/dd/yyyy
// hh:mm:ss"); empty when the text is not an HTTP date.
std::string HttpDateAsLocalText(std::string_view text);

} // namespace orvex::oxupdate
