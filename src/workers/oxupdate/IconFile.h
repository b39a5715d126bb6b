#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvex::oxupdate {

// Turns the bytes of a site icon into the content of a real .ico file:
//  - an .ico whose entries decode is kept as it is;
//  - a PNG of at most 256 x 256 pixels becomes the single entry of an icon
//    container (PNG entries are valid in .ico files);
//  - anything else the image decoders read (GIF, JPEG, BMP, larger PNGs) is
//    decoded, reduced to at most 256 x 256 and stored as a PNG entry.
// Nothing when the bytes are not a picture (an HTML error page, an SVG).
std::optional<std::string> MakeIconFile(std::string_view bytes);

// An icon container holding one PNG entry of the given size (1..256).
std::string WrapPngInIco(std::string_view png, int width, int height);

// Bytes larger than this are not taken as an icon.
constexpr std::size_t kMaxIconBytes = 1024 * 1024;

} // namespace orvex::oxupdate
