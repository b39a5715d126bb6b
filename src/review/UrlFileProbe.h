#pragma once

#include "review/DigestText.h"

#include <filesystem>
#include <string_view>

namespace orvex {

// Looks up the files kept for URLs in one project folder: the icon, the
// thumbnail and the digest. The Icon, Screenshot and Data folders are opened
// once, so each lookup of a large project resolves one name, not a whole path.
// Ids must be valid Ids; a missing folder has no files.
class UrlFileProbe
{
public:
    explicit UrlFileProbe(const std::filesystem::path& projectFolder);
    ~UrlFileProbe();
    UrlFileProbe(const UrlFileProbe&) = delete;
    UrlFileProbe& operator=(const UrlFileProbe&) = delete;

    bool HasIcon(std::string_view id) const;      // Icon/<Id>.ico
    bool HasThumbnail(std::string_view id) const; // Screenshot/<Id>.jpg
    Digest ReadDigest(std::string_view id) const; // Data/<Id>.dt; empty when missing

private:
    int icon_ = -1;
    int screenshot_ = -1;
    int data_ = -1;
};

} // namespace orvex
