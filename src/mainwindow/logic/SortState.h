#pragma once

#include <string>
#include <string_view>

namespace orvex {

// The sort column (by caption, empty for none) and direction of a list.
struct SortState
{
    std::string caption;
    bool ascending = true;

    // A header click: the same column again flips the direction, another
    // column sorts ascending. Without toggle the direction stays.
    void Choose(std::string_view newCaption, bool toggle)
    {
        if (toggle)
            ascending = newCaption == caption ? !ascending : true;
        caption = newCaption;
    }
};

} // namespace orvex
