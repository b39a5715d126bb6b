#pragma once

#include <QString>

#include <string_view>

namespace orvex {

// Record texts are UTF-8 bytes; widgets take QString.
inline QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace orvex
