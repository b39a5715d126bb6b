#include "update/RunUpdate.h"

#include "update/ApplyUpdateResult.h"
#include "update/ResultBlock.h"
#include "update/UpdateLauncher.h"
#include "update/UpdateProtocol.h"
#include "workspace/Folders.h"
#include "workspace/RecordLayout.h"
#include "workspace/SecondsCounter.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

namespace orvex {

namespace {

constexpr std::size_t kFlagActivity = 1; // Flags character 2
constexpr int kDefaultThreadCount = 3;
constexpr std::uint32_t kSaveEverySeconds = 1;

std::string Trimmed(std::string_view text)
{
    return std::string(TrimView(text));
}

bool FolderExists(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// Flags character 2 becomes '1' and Result the busy text, its leading blank
// kept (a field setter would trim it).
void MarkRowBusy(std::string& row)
{
    const FieldSpec flags = UrlRowFieldSpec(UrlRowField::Flags);
    const FieldSpec result = UrlRowFieldSpec(UrlRowField::Result);
    if (row.size() < result.first - 1 + result.width)
        row.resize(result.first - 1 + result.width, ' ');
    row[flags.first - 1 + kFlagActivity] = '1';
    row.replace(result.first - 1, result.width, RunUpdate::kBusyText);
}

} // namespace

RunUpdate::RunUpdate(UpdateLauncher& launcher, const SecondsCounter& clock)
    : launcher_(launcher), clock_(clock)
{
}

RunUpdate::~RunUpdate()
{
    if (running_)
        Shutdown();
}

bool RunUpdate::Begin(RecordList& rows, RecordList& records,
                      const std::vector<std::size_t>& selectedRows, const UpdateOptions& options,
                      const UpdateJobSettings& settings, const std::filesystem::path& projectFolder)
{
    if (running_)
        return false;
    std::vector<bool> selected(rows.size(), false);
    bool anySelected = false;
    for (std::size_t row : selectedRows) {
        if (row < rows.size())
            selected[row] = anySelected = true;
    }
    if (!anySelected)
        return false;
    if (!launcher_.CreateBlocks())
        return false;

    rows_ = &rows;
    records_ = &records;
    selected_ = std::move(selected);
    options_ = options;
    settings_ = settings;
    projectFolder_ = projectFolder;
    slots_.fill(Slot{});
    changed_.clear();
    scrollRow_.reset();
    stopRequested_ = false;
    ended_ = UpdateEnd::None;
    unsaved_ = saveFailed_ = false;
    lastSave_.reset();
    position_ = failed_ = dispatched_ = 0;

    // The same rule as the hand-out below, walked once to count the run.
    total_ = 0;
    taken_ = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (Chosen(i))
            ++total_;
    }
    taken_ = false;
    next_ = 0;
    phase_ = Phase::HandingOut;
    running_ = true;
    return true;
}

// Start-from-selected skips rows only until the first row is taken;
// update-selected skips every row that is not selected.
bool RunUpdate::Chosen(std::size_t row)
{
    const bool skip = (options_.startFromSelected && !selected_[row] && !taken_) ||
                      (options_.updateSelected && !selected_[row]);
    if (!skip)
        taken_ = true;
    return !skip;
}

bool RunUpdate::Poll()
{
    if (!running_)
        return false;
    const bool going = phase_ == Phase::HandingOut ? HandOutPass() : DrainPass();
    if (going)
        SaveIfDue(false);
    return going;
}

bool RunUpdate::HandOutPass()
{
    if (stopRequested_) {
        phase_ = Phase::Draining;
        return DrainPass();
    }
    while (next_ < rows_->size() && !Chosen(next_))
        ++next_;
    if (next_ >= rows_->size()) {
        phase_ = Phase::Draining;
        return DrainPass();
    }
    // A row whose folders cannot be made is skipped: no job, no progress.
    if (!FoldersReady()) {
        ++next_;
        return true;
    }
    for (int s = 0; s < ThreadCount(); ++s) {
        if (!slots_[s].busy) {
            Dispatch(s, next_++);
            ++dispatched_;
            return true;
        }
        if (CheckSlot(s))
            return true;
    }
    return true;
}

bool RunUpdate::DrainPass()
{
    if (stopRequested_) {
        launcher_.ReleaseBlocks();
        StopBusySlots();
        Finish(UpdateEnd::Stopped);
        return false;
    }
    bool anyBusy = false;
    for (int s = 0; s < kSlotCount; ++s) {
        if (!slots_[s].busy)
            continue;
        anyBusy = true;
        if (CheckSlot(s))
            return true;
    }
    if (anyBusy)
        return true;
    launcher_.ReleaseBlocks();
    Finish(UpdateEnd::Completed);
    return false;
}

bool RunUpdate::FoldersReady()
{
    for (const char* sub : {"", "Icon", "Screenshot", "Data"}) {
        const std::filesystem::path folder = *sub ? projectFolder_ / sub : projectFolder_;
        if (!FolderExists(folder)) {
            MakeFolder(folder);
            if (!FolderExists(folder))
                return false;
        }
    }
    return true;
}

// True when the slot yielded a result or ran out of time: the pass ends there.
bool RunUpdate::CheckSlot(int slot)
{
    char* block = launcher_.Block(slot);
    if (HasBlockMarker(block)) {
        TakeResult(slot);
        return true;
    }
    // A worker that has ended without its marker (killed, crashed, never
    // started) will not write one: its block is taken as it stands rather
    // than holding the slot until the time-out. The marker is read again
    // after the end was seen, as the worker writes it just before ending.
    if (launcher_.WorkerEnded(slot)) {
        if (!HasBlockMarker(block))
            WriteBlockMarker(block);
        TakeResult(slot);
        return true;
    }
    if (clock_.value() - slots_[slot].startTime >= jobTimeout_) {
        launcher_.SendStop(slot);
        WriteBlockMarker(block);
        return true;
    }
    return false;
}

void RunUpdate::Dispatch(int slot, std::size_t row)
{
    Slot& state = slots_[slot];
    state.busy = true;
    state.row = static_cast<long long>(row);

    std::string& line = (*rows_)[row];
    UpdateJob job;
    job.url = Trimmed(UrlRowFieldView(line, UrlRowField::Url));
    job.id = Trimmed(UrlRowFieldView(line, UrlRowField::Id));
    if (settings_.useProxy) {
        job.proxyUser = settings_.proxyUser;
        job.proxyPassword = settings_.proxyPassword;
    }
    job.projectFolder = projectFolder_.string();
    job.screenshot = settings_.screenshot;
    job.width = settings_.width;
    job.height = settings_.height;
    job.thumbnail = settings_.thumbnail;
    launcher_.StartWorker(slot, EncodeJobText(job));

    MarkRowBusy(line);
    changed_.push_back(row);
    scrollRow_ = row;
    state.startTime = clock_.value();
}

void RunUpdate::TakeResult(int slot)
{
    Slot& state = slots_[slot];
    char* block = launcher_.Block(slot);
    const UpdateApplyOutcome outcome =
        ApplyUpdateResult(*rows_, *records_, state.row, ReadBlockText(block));
    if (outcome.applied)
        changed_.push_back(static_cast<std::size_t>(state.row));
    if (outcome.failed)
        ++failed_;
    if (outcome.recordChanged)
        unsaved_ = true;
    std::memset(block, ' ', kResultBlockSize);
    state = Slot{};
    ++position_;
}

// Their rows keep the busy marker; no result is taken for them.
void RunUpdate::StopBusySlots()
{
    for (int s = 0; s < kSlotCount; ++s) {
        if (slots_[s].busy) {
            launcher_.SendStop(s);
            slots_[s] = Slot{};
        }
    }
}

void RunUpdate::Finish(UpdateEnd how)
{
    SaveIfDue(true);
    launcher_.EndRun();
    phase_ = Phase::Idle;
    running_ = false;
    ended_ = how;
}

void RunUpdate::Shutdown()
{
    if (!running_)
        return;
    // Results already taken are in the records: they are saved, not lost.
    SaveIfDue(true);
    launcher_.EndRun();
    launcher_.ReleaseBlocks();
    slots_.fill(Slot{});
    phase_ = Phase::Idle;
    running_ = false;
    ended_ = UpdateEnd::Shutdown;
}

void RunUpdate::SaveIfDue(bool force)
{
    if (!unsaved_ || !saveRecords_)
        return;
    const std::uint32_t now = clock_.value();
    if (!force && lastSave_ && now - *lastSave_ < kSaveEverySeconds)
        return;
    lastSave_ = now;
    if (saveRecords_())
        unsaved_ = false;
    else
        saveFailed_ = true;
}

int RunUpdate::ThreadCount() const
{
    const int count = threadCount_ ? threadCount_() : kDefaultThreadCount;
    return std::clamp(count, 1, kSlotCount);
}

std::string RunUpdate::ProcessedText() const
{
    return std::to_string(position_) + " of " + std::to_string(total_);
}

std::string RunUpdate::PercentText() const
{
    const int percent = position_ * 100 / maximum();
    return percent >= 100 ? std::string("100 %") : std::to_string(percent) + " %";
}

std::vector<std::size_t> RunUpdate::TakeChangedRows()
{
    std::vector<std::size_t> rows;
    rows.swap(changed_);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::optional<std::size_t> RunUpdate::TakeScrollRow()
{
    return std::exchange(scrollRow_, std::nullopt);
}

} // namespace orvex
