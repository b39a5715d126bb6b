#include "workspace/Folders.h"

#include "workspace/FixedText.h"
#include "workspace/UniqueId.h"

#include <system_error>
#include <vector>

namespace orvex {

namespace fs = std::filesystem;

bool MakeFolder(const fs::path& path)
{
    std::error_code ec;
    fs::create_directory(path, ec);
    return fs::is_directory(path, ec);
}

bool ClearFolder(const fs::path& folder, bool removeFolder, const KeepAlive& keepAlive)
{
    std::error_code ec;
    const fs::file_status own = fs::symlink_status(folder, ec);
    if (!fs::exists(own))
        return true;
    // A link given as the folder is never followed: its target is left alone,
    // and with removeFolder only the link itself goes.
    if (fs::is_symlink(own)) {
        if (!removeFolder)
            return false;
        fs::remove(folder, ec);
        return !fs::exists(fs::symlink_status(folder, ec));
    }
    // A folder without write or search permission cannot be emptied; allow it first.
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ec);
    std::vector<fs::path> subfolders;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        const std::string name = entry.filename().string();
        if (name.rfind("..", 0) == 0)
            continue;
        std::error_code statusError;
        if (it->is_directory(statusError) && !it->is_symlink(statusError))
            subfolders.push_back(entry);
        else
            fs::remove(entry, statusError); // failures are left in place
        if (keepAlive)
            keepAlive();
    }
    for (const fs::path& sub : subfolders)
        ClearFolder(sub, true, keepAlive);
    if (!removeFolder)
        return false;
    fs::remove(folder, ec);
    return !fs::exists(fs::symlink_status(folder, ec));
}

bool DeleteProjectFolder(const fs::path& folder, const KeepAlive& keepAlive)
{
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(folder, ec)))
        return true;
    if (ClearFolder(folder, true, keepAlive))
        return true;
    // Second try in one sweep, as a fallback for whatever the first pass left.
    fs::remove_all(folder, ec);
    return !fs::exists(fs::symlink_status(folder, ec));
}

std::array<fs::path, 7> UrlFilePaths(const fs::path& projectFolder, std::string_view id)
{
    const std::string base(id);
    return {projectFolder / "Icon" / (base + ".ico"),
            projectFolder / "Screenshot" / (base + ".png"),
            projectFolder / "Screenshot" / (base + ".jpg"),
            projectFolder / "Data" / (base + ".htm"),
            projectFolder / "Data" / (base + ".txt"),
            projectFolder / "Data" / (base + ".dh"),
            projectFolder / "Data" / (base + ".dt")};
}

std::array<fs::path, 7> ClipFilePaths(const fs::path& clipFolder, std::string_view id)
{
    std::array<fs::path, 7> paths = UrlFilePaths(clipFolder, id);
    for (fs::path& path : paths)
        path = clipFolder / path.filename();
    return paths;
}

void DeleteUrlFiles(const fs::path& projectFolder, std::string_view id)
{
    if (!IsValidId(id))
        return;
    std::error_code ec;
    for (const fs::path& path : UrlFilePaths(projectFolder, id))
        fs::remove(path, ec);
}

std::array<fs::path, 3> ReviewPagePaths(const fs::path& projectFolder)
{
    return {projectFolder / "preview1.html", projectFolder / "preview2.html",
            projectFolder / "preview3.html"};
}

void DeleteReviewPages(const fs::path& projectFolder)
{
    std::error_code ec;
    for (const fs::path& path : ReviewPagePaths(projectFolder))
        fs::remove(path, ec);
}

std::string ParentPath(std::string_view path, bool keepSlash)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    if (slash + 1 == path.size())
        return std::string(path);
    return std::string(path.substr(0, keepSlash ? slash + 1 : slash));
}

std::string LastPathPart(std::string_view path, bool emptyIfNoSlash)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return emptyIfNoSlash ? std::string() : TrimText(path);
    if (slash + 1 == path.size())
        return std::string(path.substr(0, slash));
    return std::string(path.substr(slash + 1));
}

} // namespace orvex
