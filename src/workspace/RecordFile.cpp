#include "workspace/RecordFile.h"

#include "workspace/FileBytes.h"
#include "workspace/SaveGate.h"

#include <QDateTime>
#include <QSaveFile>
#include <zlib.h>

#include <cstring>
#include <system_error>

namespace orvex {

namespace fs = std::filesystem;

namespace {

QString ToQString(const fs::path& path) { return QString::fromStdString(path.string()); }

LoadResult ReadWholeFile(const fs::path& path, std::string& bytes)
{
    std::error_code ec;
    if (!fs::exists(path, ec))
        return {LoadResult::Kind::Missing, "The file " + path.string() + " does not exist."};
    if (!fs::is_regular_file(path, ec))
        return {LoadResult::Kind::Unreadable, path.string() + " is not a file."};
    std::optional<std::string> read = ReadFileBytes(path);
    if (!read)
        return {LoadResult::Kind::Unreadable, "The file " + path.string() + " cannot be read."};
    bytes = std::move(*read);
    return {};
}

} // namespace

void SplitLines(std::string_view text, RecordList& lines)
{
    lines.clear();
    AppendLines(text, lines);
}

void AppendLines(std::string_view text, RecordList& lines)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    // Where the next CR and the next LF lie; each is searched again only once
    // passed, so text with a single kind of line end is read in one sweep.
    const char* cr = nullptr;
    const char* lf = nullptr;
    while (p < end) {
        if (!cr || cr < p) {
            cr = static_cast<const char*>(std::memchr(p, '\r', end - p));
            if (!cr)
                cr = end;
        }
        if (!lf || lf < p) {
            lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (!lf)
                lf = end;
        }
        const char* lineEnd = std::min(cr, lf);
        lines.emplace_back(p, lineEnd);
        if (lineEnd == end)
            break;
        p = lineEnd + ((lineEnd == cr && cr + 1 == lf) ? 2 : 1);
    }
}

std::string JoinLines(const RecordList& lines)
{
    std::size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool CompressRecords(const RecordList& lines, std::string& out)
{
    out.clear();
    const std::string text = JoinLines(lines);
    if (text.empty())
        return true;
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    out.resize(size);
    const int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                             reinterpret_cast<const Bytef*>(text.data()),
                             static_cast<uLong>(text.size()), Z_DEFAULT_COMPRESSION);
    if (rc != Z_OK) {
        out.clear();
        return false;
    }
    out.resize(size);
    return true;
}

bool DecompressRecords(std::string_view bytes, RecordList& lines)
{
    lines.clear();
    if (bytes.empty())
        return true;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    // Inflate through a small window and cut lines out of it as they complete,
    // so the whole text never has to exist twice in memory.
    constexpr std::size_t kWindow = 1 << 20;
    std::string window(kWindow, '\0');
    std::string pending; // a line begun in an earlier window
    bool skipLf = false; // the last window ended in CR; an LF next belongs to it
    RecordList parsed;
    int rc = Z_OK;
    while (rc == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(window.data());
        stream.avail_out = static_cast<uInt>(kWindow);
        rc = inflate(&stream, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break; // damaged, or cut short (no progress possible)
        std::string_view chunk(window.data(), kWindow - stream.avail_out);
        if (skipLf && !chunk.empty()) {
            if (chunk.front() == '\n')
                chunk.remove_prefix(1);
            skipLf = false;
        }
        if (!pending.empty()) {
            pending.append(chunk);
            chunk = pending;
        }
        const std::size_t lastBreak = chunk.find_last_of("\r\n");
        if (lastBreak == std::string_view::npos) {
            if (pending.empty())
                pending.assign(chunk);
            continue;
        }
        AppendLines(chunk.substr(0, lastBreak + 1), parsed);
        skipLf = chunk[lastBreak] == '\r' && lastBreak + 1 == chunk.size();
        std::string rest(chunk.substr(lastBreak + 1));
        pending = std::move(rest);
    }
    const bool trailing = stream.avail_in > 0; // bytes after the end of the stream
    inflateEnd(&stream);
    if (rc != Z_STREAM_END || trailing)
        return false;
    if (!pending.empty())
        AppendLines(pending, parsed);
    lines = std::move(parsed);
    return true;
}

LoadResult LoadRecordFile(const fs::path& path, RecordList& lines)
{
    std::string bytes;
    LoadResult result = ReadWholeFile(path, bytes);
    if (!result.ok())
        return result;
    RecordList loaded;
    if (!DecompressRecords(bytes, loaded))
        return {LoadResult::Kind::Damaged, "The file " + path.string() + " is damaged."};
    lines = std::move(loaded);
    return {};
}

LoadResult LoadPlainRecordFile(const fs::path& path, RecordList& lines)
{
    std::string bytes;
    LoadResult result = ReadWholeFile(path, bytes);
    if (!result.ok())
        return result;
    SplitLines(bytes, lines);
    return {};
}

Status WriteFileSafely(const fs::path& path, std::string_view bytes)
{
    QSaveFile file(ToQString(path));
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return Status::Error("Cannot write " + path.string() + ": " +
                             file.errorString().toStdString());
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size())) {
        const std::string why = file.errorString().toStdString();
        file.cancelWriting();
        return Status::Error("Cannot write " + path.string() + ": " + why);
    }
    if (!file.commit())
        return Status::Error("Cannot write " + path.string() + ": " +
                             file.errorString().toStdString());
    return Status::Ok();
}

Status SaveRecordFile(const fs::path& path, const RecordList& lines, SaveGate& gate)
{
    std::string compressed;
    if (!CompressRecords(lines, compressed))
        return Status::Error("Cannot compress the records of " + path.string() + ".");
    SaveGateHolder hold(gate);
    if (!hold.held())
        return Status::Error("Another save of " + path.string() + " did not finish in time.");
    return WriteFileSafely(path, compressed);
}

Status SavePlainRecordFile(const fs::path& path, const RecordList& lines, SaveGate& gate)
{
    const std::string text = JoinLines(lines);
    SaveGateHolder hold(gate);
    if (!hold.held())
        return Status::Error("Another save of " + path.string() + " did not finish in time.");
    return WriteFileSafely(path, text);
}

std::optional<fs::path> SetAsideDamagedFile(const fs::path& path)
{
    const std::string stamp =
        QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss").toStdString();
    fs::path target = path;
    target += ".damaged-" + stamp;
    std::error_code ec;
    for (int n = 2; fs::exists(target, ec); ++n) {
        target = path;
        target += ".damaged-" + stamp + "-" + std::to_string(n);
    }
    fs::rename(path, target, ec);
    if (ec)
        return std::nullopt;
    return target;
}

} // namespace orvex
