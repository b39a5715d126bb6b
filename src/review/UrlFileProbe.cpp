#include "review/UrlFileProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace orvex {

namespace {

int OpenFolder(const std::filesystem::path& folder)
{
    return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

bool IsFileIn(int folder, std::string_view id, const char* extension)
{
    if (folder < 0)
        return false;
    const std::string name = std::string(id) + extension;
    struct stat status {};
    return ::fstatat(folder, name.c_str(), &status, 0) == 0 && S_ISREG(status.st_mode);
}

} // namespace

UrlFileProbe::UrlFileProbe(const std::filesystem::path& projectFolder)
    : icon_(OpenFolder(projectFolder / "Icon")),
      screenshot_(OpenFolder(projectFolder / "Screenshot")),
      data_(OpenFolder(projectFolder / "Data"))
{
}

UrlFileProbe::~UrlFileProbe()
{
    for (int folder : {icon_, screenshot_, data_}) {
        if (folder >= 0)
            ::close(folder);
    }
}

bool UrlFileProbe::HasIcon(std::string_view id) const { return IsFileIn(icon_, id, ".ico"); }

bool UrlFileProbe::HasThumbnail(std::string_view id) const
{
    return IsFileIn(screenshot_, id, ".jpg");
}

Digest UrlFileProbe::ReadDigest(std::string_view id) const
{
    if (data_ < 0)
        return {};
    return ReadDigestAt(data_, (std::string(id) + ".dt").c_str());
}

} // namespace orvex
