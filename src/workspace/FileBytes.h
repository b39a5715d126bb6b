#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvex {

// The whole content of a file, read until its end rather than to a size
// announced beforehand, so files under /proc read correctly too. Nothing when
// it cannot be opened or a read fails (a process that has just ended, an I/O
// error). Never throws: the standard stream iterators do on a failed read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

} // namespace orvex
