#pragma once

#include <filesystem>
#include <string>

namespace orvex::test {

// Debian's chromium, started directly (its /usr/bin wrapper misbehaves headless).
inline const std::filesystem::path kChromium = "/usr/lib/chromium/chromium";

// Loads a page in headless Chromium, lets its scripts run, and returns the
// document as it stands after loading. Chromium gets a fresh profile and HOME
// under scratch. On failure returns false with the reason in error.
bool DumpDom(const std::filesystem::path& page, const std::filesystem::path& scratch,
             std::string& dom, std::string& error);

} // namespace orvex::test
