#include "workspace/DamageReport.h"

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
