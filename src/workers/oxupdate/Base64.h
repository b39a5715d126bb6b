#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvex::oxupdate {

// Standard base64 (with or without padding; line breaks and blanks are
// skipped). Nothing when the text holds anything else.
std::optional<std::string> DecodeBase64(std::string_view text);

// Standard base64 with padding, no line breaks.
std::string EncodeBase64(std::string_view bytes);

} // namespace orvex::oxupdate
