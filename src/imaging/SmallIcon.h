#pragma once

#include <QImage>

#include <filesystem>

namespace orvex {

// Makes the 16 x 16, 24-bit picture the URL list shows for a site icon file.
// The bitmap is made null first. Reads .ico files (BMP or PNG entries; the
// 16 x 16 entry when there is one, else the largest) and plain PNG, GIF, JPEG
// or BMP files stored under the icon's name. Transparency is shown over white.
// A 16 x 16 picture is taken as is; any other size is area-averaged to 16 x 16.
// False when no file exists, or when it cannot be read; a file whose bytes are
// not an image is deleted, so that the list stops trying it, but a file that
// merely could not be opened or read is left alone.
bool LoadSmallIcon(const std::filesystem::path& path, QImage& bitmap);

} // namespace orvex
