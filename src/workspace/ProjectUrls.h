#pragma once

#include "workspace/DamageReport.h"
#include "workspace/FixedText.h"
#include "workspace/SaveGate.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// The URL records of one project (its urls.dat) and the record changes of
// the URL commands, shared by the desktop program and orvexctl.
class ProjectUrls
{
public:
    ProjectUrls(std::filesystem::path projectFolder, SaveGate& gate,
                AccessMode mode = AccessMode::ReadWrite);

    // Loads urls.dat, creating it empty when missing; a damaged one is set aside.
    LoadOutcome Load();
    Status Save();

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path urlsFile() const { return folder_ / "urls.dat"; }
    // The Folder field of records created here: the last part of the folder path.
    std::string folderName() const;

    const RecordList& records() const { return records_; }
    RecordList& records() { return records_; }

    // Appends a new record for each trimmed URL (not saved) and returns their Ids,
    // none of which any record of the project carries already.
    std::vector<std::string> AddUrls(const std::vector<std::string>& urls);
    std::string AddUrl(std::string_view url) { return AddUrls({std::string(url)}).front(); }
    // Index of the first record with this Id, or -1.
    long long FindRecord(std::string_view id) const;
    // Whether a record's trimmed Url equals the text exactly.
    bool HoldsUrl(std::string_view url) const;

    enum class EditResult { Changed, Unchanged, Duplicate, NoSuchRecord };
    // Gives the record a new address as the Edit command does: the capture
    // result, status, times and page fields are cleared, Created is set anew,
    // the Id (and so the captured files) is kept. Saves when changed.
    EditResult EditUrl(long long recordIndex, std::string_view newUrl, Status& saveStatus);

    // Removes the first record of each Id (not saved); returns how many went.
    std::size_t RemoveRecords(const std::vector<std::string>& ids);
    // Removes the first record of each Id, saves, then deletes the URLs'
    // files; the review pages go when no URL is left.
    Status DeleteUrls(const std::vector<std::string>& ids);

private:
    std::filesystem::path folder_;
    SaveGate& gate_;
    AccessMode mode_;
    RecordList records_;
    bool loaded_ = false;
};

// The Flags of a record whose URL was just edited: not captured, and position 4
// telling whether the URL is longer than 512 bytes.
std::string EditedUrlFlags(std::string_view flags, std::string_view newUrl);

} // namespace orvex
