#pragma once

#include "workspace/RecordFile.h"

#include <filesystem>
#include <optional>
#include <string>

namespace orvex {

// What happened to a record file that could not be read.
struct DamageReport
{
    std::filesystem::path file;
    std::optional<std::filesystem::path> setAside; // empty when even the rename failed
    std::string Message() const;
};

// The outcome of loading one record file of the workspace.
struct LoadOutcome
{
    Status status = Status::Ok();          // failed: the file exists but cannot be read
    std::optional<DamageReport> damage;    // the file was damaged and set aside
};

enum class AccessMode { ReadWrite, ReadOnly };

// Loads a zlib record file the way the workspace does: a missing file is
// created empty (read-write) or read as empty; a damaged one is set aside and
// reported, then created empty; one that cannot be read is an error and the
// list is not to be saved over it.
LoadOutcome LoadWorkspaceRecords(const std::filesystem::path& path, RecordList& lines,
                                 AccessMode mode, SaveGate& gate);

} // namespace orvex
