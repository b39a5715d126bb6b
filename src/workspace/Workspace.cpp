#include "workspace/Workspace.h"

#include "workspace/RecordFile.h"
#include "workspace/RecordLayout.h"
#include "workspace/UniqueId.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

namespace orvex {

namespace fs = std::filesystem;

Workspace::Workspace(fs::path root, AccessMode mode) : root_(std::move(root)), mode_(mode)
{
    seconds_.Start();
}

Status Workspace::Open()
{
    projects_.clear();
    projectsLoaded_ = false;
    if (mode_ == AccessMode::ReadWrite) {
        if (!MakeFolder(projectsDir()))
            return Status::Error("Unable to create \"Projects\" folder!    ");
        if (!MakeFolder(tmpDir()))
            return Status::Error("Unable to create \"Tmp\" folder!    ");
    }
    LoadOutcome outcome = LoadWorkspaceRecords(projectsFile(), projects_, mode_, gate_);
    if (outcome.damage)
        damage_.push_back(*outcome.damage);
    if (!outcome.status)
        return outcome.status;
    projectsLoaded_ = true;
    return Status::Ok();
}

Status Workspace::SaveProjects()
{
    if (mode_ == AccessMode::ReadOnly)
        return Status::Error("The workspace is open read-only.");
    if (!projectsLoaded_)
        return Status::Error("The project index could not be read; it is not saved over.");
    return SaveRecordFile(projectsFile(), projects_, gate_);
}

std::vector<DamageReport> Workspace::TakeDamageReports()
{
    std::vector<DamageReport> out;
    out.swap(damage_);
    return out;
}

int Workspace::NextFolderNumber() const
{
    long long largest = -1;
    for (const std::string& record : projects_)
        largest = std::max(largest, ParseDecimal(ProjectFieldView(record, ProjectField::Folder), 0));
    return static_cast<int>(largest + 1);
}

bool Workspace::TitleExists(std::string_view title) const
{
    // Compared as it would be stored: line breaks as blanks, cut to the field.
    const std::string stored = ReplaceLineBreaks(FitField(title, 128));
    const std::string_view wanted = TrimView(stored);
    return std::any_of(projects_.begin(), projects_.end(), [wanted](const std::string& record) {
        return TrimView(ProjectFieldView(record, ProjectField::Title)) == wanted;
    });
}

Status Workspace::CreateProject(std::string_view title, std::string_view description,
                                std::string& id)
{
    id.clear();
    const Status failed = Status::Error("Error!    ");
    if (mode_ == AccessMode::ReadOnly || !projectsLoaded_)
        return failed;
    int number = NextFolderNumber();
    char name[16];
    std::error_code ec;
    for (;; ++number) {
        // A Folder field holds eight digits; a larger number would be cut in
        // the record and name another project's folder.
        if (number > 99999999)
            return failed;
        std::snprintf(name, sizeof name, "%08d", number);
        // Any entry of that name, a dangling link included, takes the number.
        if (!fs::exists(fs::symlink_status(projectsDir() / name, ec)))
            break;
    }
    const fs::path folder = projectsDir() / name;
    bool made = MakeFolder(folder);
    if (made) {
        for (const char* sub : {"Icon", "Screenshot", "Data"})
            made = MakeFolder(folder / sub) && made;
    }
    if (!made)
        return failed;
    const std::string newId = MakeUniqueId();
    const std::string record =
        MakeProjectRecord(newId, name, NowText(), TrimView(title), TrimView(description));
    if (record.empty())
        return failed;
    projects_.push_back(record);
    id = newId;
    return Status::Ok();
}

Status Workspace::RenameProject(std::size_t recordIndex, std::string_view title,
                                std::string_view description)
{
    if (recordIndex >= projects_.size())
        return Status::Error("No such project.");
    const auto index = static_cast<long long>(recordIndex);
    SetProjectField(projects_, index, title, ProjectField::Title);
    SetProjectField(projects_, index, description, ProjectField::Description);
    return SaveProjects();
}

Status Workspace::SetProjectUpdated(std::size_t recordIndex, std::string_view time)
{
    if (recordIndex >= projects_.size())
        return Status::Error("No such project.");
    SetProjectField(projects_, static_cast<long long>(recordIndex), time, ProjectField::Updated);
    return SaveProjects();
}

std::vector<std::size_t> Workspace::DeleteProjects(std::vector<std::size_t> recordIndices,
                                                   Status& saveStatus,
                                                   const KeepAlive& keepAlive)
{
    saveStatus = Status::Ok();
    std::vector<std::size_t> survived;
    std::vector<std::size_t> gone;
    for (std::size_t index : recordIndices) {
        if (index >= projects_.size())
            continue;
        const std::optional<fs::path> folder = ProjectFolder(projects_[index]);
        // A record whose Folder is not a folder name of ours never leads to a deletion.
        if (folder && DeleteProjectFolder(*folder, keepAlive))
            gone.push_back(index);
        else
            survived.push_back(index);
    }
    if (gone.empty())
        return survived;
    std::sort(gone.begin(), gone.end());
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    for (auto it = gone.rbegin(); it != gone.rend(); ++it)
        projects_.erase(projects_.begin() + static_cast<std::ptrdiff_t>(*it));
    saveStatus = SaveProjects();
    return survived;
}

std::optional<fs::path> Workspace::ProjectFolder(std::string_view record) const
{
    const std::string_view folder = TrimView(ProjectFieldView(record, ProjectField::Folder));
    if (!IsValidFolderName(folder))
        return std::nullopt;
    return projectsDir() / std::string(folder);
}

std::vector<std::size_t> Workspace::FindProjects(std::string_view idOrTitle) const
{
    const std::string_view wanted = TrimView(idOrTitle);
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < projects_.size(); ++i) {
        if (TrimView(ProjectFieldView(projects_[i], ProjectField::Id)) == wanted)
            return {i};
    }
    for (std::size_t i = 0; i < projects_.size(); ++i) {
        if (TrimView(ProjectFieldView(projects_[i], ProjectField::Title)) == wanted)
            found.push_back(i);
    }
    return found;
}

} // namespace orvex
