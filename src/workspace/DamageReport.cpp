#include "workspace/DamageReport.h"

#include <system_error>

namespace orvex {

std::string DamageReport::Message() const
{
    if (!setAside)
        return "The file " + file.string() +
               " is damaged and could not be set aside. Nothing will be saved over it.";
    return "The file " + file.string() + " is damaged and could not be read. It was set aside as " +
           setAside->string() + "; the list starts empty.";
}

LoadOutcome LoadWorkspaceRecords(const std::filesystem::path& path, RecordList& lines,
                                 AccessMode mode, SaveGate& gate)
{
    lines.clear();
    // Only a regular file (or a link to one) is read: a folder, a device or a
    // pipe in its place cannot be read, and is never saved over.
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(path, ec);
    if (std::filesystem::exists(st) && !std::filesystem::is_regular_file(st))
        return {Status::Error("The file " + path.string() +
                              " is not a regular file and cannot be read."),
                std::nullopt};
    const LoadResult result = LoadRecordFile(path, lines);
    switch (result.kind) {
    case LoadResult::Kind::Loaded:
        return {};
    case LoadResult::Kind::Missing:
        if (mode == AccessMode::ReadWrite)
            return {SaveRecordFile(path, lines, gate), std::nullopt};
        return {};
    case LoadResult::Kind::Unreadable:
        return {Status::Error(result.message), std::nullopt};
    case LoadResult::Kind::Damaged:
        break;
    }
    if (mode == AccessMode::ReadOnly)
        return {Status::Error(result.message), std::nullopt};
    DamageReport report{path, SetAsideDamagedFile(path)};
    if (!report.setAside)
        return {Status::Error(report.Message()), report};
    return {SaveRecordFile(path, lines, gate), report};
}

} // namespace orvex
