#pragma once

#include "workspace/FixedText.h"
#include "workspace/Status.h"

#include <filesystem>
#include <optional>
#include <string>

namespace orvex {

class SaveGate;

// Splits text into lines at CR LF, a lone CR or a lone LF.
void SplitLines(std::string_view text, RecordList& lines);
// The same, appending to what the list holds.
void AppendLines(std::string_view text, RecordList& lines);
// Every line followed by CR LF.
std::string JoinLines(const RecordList& lines);

// The zlib container: a zlib stream of the lines, or an empty file for no lines.
bool CompressRecords(const RecordList& lines, std::string& out);
bool DecompressRecords(std::string_view bytes, RecordList& lines);

struct LoadResult
{
    enum class Kind { Loaded, Missing, Unreadable, Damaged };
    Kind kind = Kind::Loaded;
    std::string message; // why it could not be read
    bool ok() const { return kind == Kind::Loaded; }
};

// Reads a record file into the list. On any failure the list keeps what it had.
LoadResult LoadRecordFile(const std::filesystem::path& path, RecordList& lines);
LoadResult LoadPlainRecordFile(const std::filesystem::path& path, RecordList& lines);

// Rewrites the file from the list through a temporary file renamed over the old
// one. The old file is left as it was when anything fails.
Status SaveRecordFile(const std::filesystem::path& path, const RecordList& lines, SaveGate& gate);
Status SavePlainRecordFile(const std::filesystem::path& path, const RecordList& lines,
                           SaveGate& gate);

// Writes bytes safely (temporary file in the same folder, renamed over the old one).
Status WriteFileSafely(const std::filesystem::path& path, std::string_view bytes);

// A record file that cannot be read is renamed to "<name>.damaged-<time>" so that
// nothing is ever saved over it. Returns the new path, or nothing if the rename failed.
std::optional<std::filesystem::path> SetAsideDamagedFile(const std::filesystem::path& path);

} // namespace orvex
