#pragma once

#include "workspace/FixedText.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::test {

// One URL of a fixture project and which of its files exist.
struct FixtureUrl
{
    std::string id;
    std::string title;
    std::string url;
    bool icon = false;
    bool thumbnail = false;
    std::optional<std::string> digest; // bytes of Data/<Id>.dt
};

// The digest divider line, without its line end.
inline constexpr std::string_view kDivider = "\x01\x07";

// Makes the project folder with its Icon, Screenshot and Data folders and the
// URLs' files, and returns the URL list rows in the given order.
RecordList MakeFixtureProject(const std::filesystem::path& folder,
                              const std::vector<FixtureUrl>& urls);

// The text with control characters shown as \xNN, for test names and messages.
std::string Printable(std::string_view text);

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);

// The project behind the hand-written pages in tests/data/review.
inline constexpr std::string_view kGoldenTitle = "Field Notes & Reading <2024>";
std::vector<FixtureUrl> GoldenUrls();

} // namespace orvex::test
