#pragma once

#include <optional>
#include <string_view>

namespace orvex {

// The state icon of a URL row, by its index in the list's state image set.
enum class UrlStateIcon : int { Updating = 2, NoStatus = 3, Answered = 4, Failed = 5, Checking = 8 };

UrlStateIcon StateIconOf(std::string_view row);

struct RowColour
{
    int red, green, blue;
    bool operator==(const RowColour&) const = default;
};

// The tint of a row under an update, under a status check, or failed;
// nothing for the window's own colour.
std::optional<RowColour> RowBackgroundOf(std::string_view row);

// A row whose last status failed and which no update or check is working on.
bool IsFailedRow(std::string_view row);

} // namespace orvex
