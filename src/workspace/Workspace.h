#pragma once

#include "workspace/DamageReport.h"
#include "workspace/FixedText.h"
#include "workspace/Folders.h"
#include "workspace/SaveGate.h"
#include "workspace/SecondsCounter.h"
#include "workspace/Status.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

// The workspace folder tree and its project index, shared by the desktop
// program and orvexctl: Projects/ with projects.dat and a folder per project,
// TMP/ with the URL clipboard, and orx.ini.
class Workspace
{
public:
    explicit Workspace(std::filesystem::path root, AccessMode mode = AccessMode::ReadWrite);

    // Makes Projects and TMP when missing and loads the project index,
    // creating it empty when missing. Damage found is kept for damageReports().
    Status Open();

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path projectsDir() const { return root_ / "Projects"; }
    std::filesystem::path tmpDir() const { return root_ / "TMP"; }
    std::filesystem::path clipDir() const { return tmpDir() / "Clip"; }
    std::filesystem::path projectsFile() const { return projectsDir() / "projects.dat"; }
    std::filesystem::path settingsFile() const { return root_ / "orx.ini"; }

    AccessMode mode() const { return mode_; }
    SecondsCounter& seconds() { return seconds_; }
    SaveGate& saveGate() { return gate_; }

    const RecordList& projects() const { return projects_; }
    Status SaveProjects();
    // Damaged record files set aside since the last call.
    std::vector<DamageReport> TakeDamageReports();
    void AddDamageReport(DamageReport report) { damage_.push_back(std::move(report)); }

    // Largest Folder number of the project records plus one (0 for none).
    int NextFolderNumber() const;
    // Exact comparison of trimmed titles, case included.
    bool TitleExists(std::string_view title) const;
    // Makes the folder and its Icon, Screenshot and Data subfolders, appends the
    // record (not saved). Returns the new Id, or an error "Error!    ".
    Status CreateProject(std::string_view title, std::string_view description, std::string& id);
    // Sets Title and Description of a record and saves the index.
    Status RenameProject(std::size_t recordIndex, std::string_view title,
                         std::string_view description);
    // Sets the Updated time of a record (after an update run) and saves the index.
    Status SetProjectUpdated(std::size_t recordIndex, std::string_view time);
    // Removes the folders of the given records; records whose folder is gone are
    // removed and the index saved. Returns the indices (as given) whose folder survived.
    std::vector<std::size_t> DeleteProjects(std::vector<std::size_t> recordIndices,
                                            Status& saveStatus, const KeepAlive& keepAlive = {});

    // The folder of a project record; nothing when its Folder field is not eight digits.
    std::optional<std::filesystem::path> ProjectFolder(std::string_view record) const;
    // Indices of the records whose Id, or else trimmed Title, equals the text.
    std::vector<std::size_t> FindProjects(std::string_view idOrTitle) const;

private:
    std::filesystem::path root_;
    AccessMode mode_;
    SecondsCounter seconds_;
    SaveGate gate_{seconds_};
    RecordList projects_;
    bool projectsLoaded_ = false;
    std::vector<DamageReport> damage_;
};

} // namespace orvex
