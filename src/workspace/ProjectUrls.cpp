#include "workspace/ProjectUrls.h"

#include "workspace/Folders.h"
#include "workspace/RecordFile.h"
#include "workspace/RecordLayout.h"
#include "workspace/UniqueId.h"

#include <unordered_map>
#include <unordered_set>

namespace orvex {

namespace fs = std::filesystem;

ProjectUrls::ProjectUrls(fs::path projectFolder, SaveGate& gate, AccessMode mode)
    : folder_(std::move(projectFolder)), gate_(gate), mode_(mode)
{
}

LoadOutcome ProjectUrls::Load()
{
    loaded_ = false;
    LoadOutcome outcome = LoadWorkspaceRecords(urlsFile(), records_, mode_, gate_);
    loaded_ = outcome.status.ok();
    return outcome;
}

Status ProjectUrls::Save()
{
    if (mode_ == AccessMode::ReadOnly)
        return Status::Error("The project is open read-only.");
    if (!loaded_)
        return Status::Error("The URL list of " + folder_.string() +
                             " could not be read; it is not saved over.");
    return SaveRecordFile(urlsFile(), records_, gate_);
}

std::string ProjectUrls::folderName() const
{
    std::string path = folder_.string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return LastPathPart(path, false);
}

std::vector<std::string> ProjectUrls::AddUrls(const std::vector<std::string>& urls)
{
    // Ids are unique by their time stamps; checking against the project's own
    // Ids also covers ids made by another process in the same millisecond.
    std::unordered_set<std::string> taken;
    taken.reserve(records_.size() + urls.size());
    for (const std::string& record : records_)
        taken.emplace(UrlFieldView(record, UrlField::Id));
    const std::string folder = folderName();
    const std::string now = NowText();
    std::vector<std::string> ids;
    ids.reserve(urls.size());
    records_.reserve(records_.size() + urls.size());
    for (const std::string& url : urls) {
        std::string id = MakeUniqueId();
        while (!taken.insert(id).second)
            id = MakeUniqueId();
        records_.push_back(MakeUrlRecord(id, folder, now, url));
        ids.push_back(std::move(id));
    }
    return ids;
}

long long ProjectUrls::FindRecord(std::string_view id) const
{
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (UrlFieldView(records_[i], UrlField::Id) == id)
            return static_cast<long long>(i);
    }
    return -1;
}

bool ProjectUrls::HoldsUrl(std::string_view url) const
{
    const std::string_view wanted = TrimView(url);
    for (const std::string& record : records_) {
        if (TrimView(UrlFieldView(record, UrlField::Url)) == wanted)
            return true;
    }
    return false;
}

std::string EditedUrlFlags(std::string_view flags, std::string_view newUrl)
{
    std::string out = PadRight(flags.substr(0, std::min<std::size_t>(flags.size(), 8)), 8);
    out[3] = TrimView(newUrl).size() > kRowUrlWidth ? '1' : '0';
    out[4] = ' ';
    return out;
}

ProjectUrls::EditResult ProjectUrls::EditUrl(long long recordIndex, std::string_view newUrl,
                                             Status& saveStatus)
{
    saveStatus = Status::Ok();
    if (recordIndex < 0 || static_cast<std::size_t>(recordIndex) >= records_.size())
        return EditResult::NoSuchRecord;
    const std::string_view url = TrimView(newUrl);
    const std::string& record = records_[static_cast<std::size_t>(recordIndex)];
    if (TrimView(UrlFieldView(record, UrlField::Url)) == url)
        return EditResult::Unchanged;
    if (HoldsUrl(url))
        return EditResult::Duplicate;

    const std::string flags = EditedUrlFlags(UrlFieldView(record, UrlField::Flags), url);
    const std::string now = NowText();
    SetUrlField(records_, recordIndex, flags, UrlField::Flags);
    SetUrlField(records_, recordIndex, now, UrlField::Created);
    for (int field : {UrlField::Updated, UrlField::Captured, UrlField::Reserved8,
                      UrlField::Reserved9, UrlField::StatusCode, UrlField::Title,
                      UrlField::Keywords, UrlField::Description, UrlField::Properties})
        SetUrlField(records_, recordIndex, "", field);
    SetUrlField(records_, recordIndex, url, UrlField::Url);
    saveStatus = Save();
    return EditResult::Changed;
}

std::size_t ProjectUrls::RemoveRecords(const std::vector<std::string>& ids)
{
    // One pass: each requested Id takes away the first record that carries it.
    std::unordered_map<std::string_view, int> pending;
    for (const std::string& id : ids)
        ++pending[id];
    RecordList kept;
    kept.reserve(records_.size());
    for (std::string& record : records_) {
        const auto it = pending.find(UrlFieldView(record, UrlField::Id));
        if (it != pending.end() && it->second > 0)
            --it->second;
        else
            kept.push_back(std::move(record));
    }
    const std::size_t removed = records_.size() - kept.size();
    records_ = std::move(kept);
    return removed;
}

Status ProjectUrls::DeleteUrls(const std::vector<std::string>& ids)
{
    RemoveRecords(ids);
    // The list is saved before any file goes, so a failed save loses nothing.
    if (Status saved = Save(); !saved)
        return saved;
    for (const std::string& id : ids)
        DeleteUrlFiles(folder_, id);
    if (records_.empty())
        DeleteReviewPages(folder_);
    return Status::Ok();
}

} // namespace orvex
