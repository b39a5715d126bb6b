#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace orvex {

// Called after each entry of a long folder operation, so that a window can
// keep painting meanwhile.
using KeepAlive = std::function<void()>;

// Creates one folder level (the parent must exist); true when it exists afterwards.
bool MakeFolder(const std::filesystem::path& path);

// Deletes everything below the folder, and with removeFolder the folder itself.
// True when the folder did not exist, or when removeFolder is set and it is gone.
// Links are removed, never followed.
bool ClearFolder(const std::filesystem::path& folder, bool removeFolder,
                 const KeepAlive& keepAlive = {});

// True when the folder is gone afterwards or did not exist.
bool DeleteProjectFolder(const std::filesystem::path& folder, const KeepAlive& keepAlive = {});

// The seven files kept for a URL, in their fixed order
// (.ico, .png, .jpg, .htm, .txt, .dh, .dt), under a project folder...
std::array<std::filesystem::path, 7> UrlFilePaths(const std::filesystem::path& projectFolder,
                                                  std::string_view id);
// ...and side by side in the URL clipboard folder.
std::array<std::filesystem::path, 7> ClipFilePaths(const std::filesystem::path& clipFolder,
                                                   std::string_view id);

// Deletes those of the seven files that exist. An id that is not a valid id is ignored.
void DeleteUrlFiles(const std::filesystem::path& projectFolder, std::string_view id);

// The review pages of a project, one per style.
std::array<std::filesystem::path, 3> ReviewPagePaths(const std::filesystem::path& projectFolder);
void DeleteReviewPages(const std::filesystem::path& projectFolder);

// Path text without its last component ("/" kept with keepSlash); unchanged
// when it ends in "/".
std::string ParentPath(std::string_view path, bool keepSlash);
// The last component; with no "/" the trimmed path, or empty with emptyIfNoSlash.
// A path ending in "/" comes back without that "/".
std::string LastPathPart(std::string_view path, bool emptyIfNoSlash);

} // namespace orvex
