#pragma once

#include "workspace/FixedText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

class SecondsCounter;
class UpdateLauncher;

// The two choices of the Update dialog.
struct UpdateOptions
{
    bool startFromSelected = false; // from the first selected row to the end
    bool updateSelected = false;    // only the selected rows
};

// What every job of a run asks the worker for, from the settings.
struct UpdateJobSettings
{
    bool useProxy = false;
    std::string proxyUser;
    std::string proxyPassword;
    bool screenshot = true;
    int width = 1024;
    int height = 768;
    bool thumbnail = true;
};

// How a run ended.
enum class UpdateEnd {
    None,      // still running, or never started
    Completed, // every chosen row was handed out and its result taken
    Stopped,   // Stop() was asked for
    Shutdown,  // Shutdown(): cut short, nothing stamped or written after it
};

// Captures the chosen URLs of a project through update workers, one job per
// slot, at most ThreadCount at once. It never blocks: Begin() sets a run up,
// then the owner calls Poll() every few milliseconds (a timer in the dialog,
// a loop in orvexctl) until it returns false. Each Poll() is one pass: it
// hands the next row to a free slot, or takes one finished result (or one
// time-out) into the rows and records given to Begin(), which must stay alive
// and unchanged in size for the whole run.
class RunUpdate
{
public:
    static constexpr int kSlotCount = 10;
    static constexpr std::uint32_t kJobTimeoutSeconds = 390;
    // A row's 16-byte Result while its job runs.
    static constexpr const char* kBusyText = " Updating...    ";

    // Both must outlive the coordinator; the clock is read, never started here.
    RunUpdate(UpdateLauncher& launcher, const SecondsCounter& clock);
    ~RunUpdate(); // a run still going is shut down
    RunUpdate(const RunUpdate&) = delete;
    RunUpdate& operator=(const RunUpdate&) = delete;

    // Read at every slot check, so a change during a run takes effect at once
    // (kept within 1..10). Default: 3.
    void SetThreadCount(std::function<int()> threadCount) { threadCount_ = std::move(threadCount); }
    // Tests shorten the job time-out.
    void SetJobTimeout(std::uint32_t seconds) { jobTimeout_ = seconds; }
    // Called when results have changed the records: after the first result
    // and then at most once a second, and once at the end of the run.
    // Returns whether the records were saved.
    void SetSaveRecords(std::function<bool()> save) { saveRecords_ = std::move(save); }

    // Sets up a run over rows (list order) whose StoreIndex names their record
    // in records; selectedRows are row indices. The project folder receives
    // the captured files. Returns false, changing nothing, when a run is going
    // on, no row is selected, or the blocks cannot be made.
    bool Begin(RecordList& rows, RecordList& records, const std::vector<std::size_t>& selectedRows,
               const UpdateOptions& options, const UpdateJobSettings& settings,
               const std::filesystem::path& projectFolder);
    // Moves the run on by one pass; returns whether it is still going.
    bool Poll();
    // Asks the run to wind down: no further row is handed out, busy workers
    // are told to stop, and their rows keep the busy marker.
    void Stop() { stopRequested_ = true; }
    // The program is closing: the run ends at once; every worker is ended.
    void Shutdown();

    bool running() const { return running_; }
    bool stopRequested() const { return stopRequested_; }
    UpdateEnd ended() const { return ended_; }

    // Progress of the run: results taken, out of maximum (at least 1).
    int total() const { return total_; }
    int position() const { return position_; }
    int maximum() const { return total_ > 0 ? total_ : 1; }
    int failed() const { return failed_; }
    int dispatched() const { return dispatched_; }
    std::string ProcessedText() const; // "<position> of <total>"
    std::string PercentText() const;   // "0 %" .. "100 %"

    // Rows changed since the last call, ascending, to be repainted (busy
    // markers and results).
    std::vector<std::size_t> TakeChangedRows();
    // The row last handed out since the last call, to be scrolled into view.
    std::optional<std::size_t> TakeScrollRow();
    // Whether a save of the records failed during the run.
    bool saveFailed() const { return saveFailed_; }

private:
    enum class Phase { Idle, HandingOut, Draining };
    struct Slot
    {
        bool busy = false;
        long long row = -1;
        std::uint32_t startTime = 0;
    };

    // Whether the choice rule takes the row; the first row taken ends the
    // skipping of start-from-selected.
    bool Chosen(std::size_t row);
    bool FoldersReady();
    bool HandOutPass();
    bool DrainPass();
    bool CheckSlot(int slot);
    void Dispatch(int slot, std::size_t row);
    void TakeResult(int slot);
    void StopBusySlots();
    void Finish(UpdateEnd how);
    void SaveIfDue(bool force);
    int ThreadCount() const;

    UpdateLauncher& launcher_;
    const SecondsCounter& clock_;
    std::function<int()> threadCount_;
    std::function<bool()> saveRecords_;
    std::uint32_t jobTimeout_ = kJobTimeoutSeconds;

    RecordList* rows_ = nullptr;
    RecordList* records_ = nullptr;
    std::vector<bool> selected_;
    UpdateOptions options_;
    UpdateJobSettings settings_;
    std::filesystem::path projectFolder_;

    Phase phase_ = Phase::Idle;
    bool running_ = false;
    bool stopRequested_ = false;
    UpdateEnd ended_ = UpdateEnd::None;
    std::size_t next_ = 0;
    bool taken_ = false; // a row has been taken in this run (start-from-selected)
    std::array<Slot, kSlotCount> slots_{};

    int total_ = 0;
    int position_ = 0;
    int failed_ = 0;
    int dispatched_ = 0;
    std::vector<std::size_t> changed_;
    std::optional<std::size_t> scrollRow_;
    bool unsaved_ = false;
    bool saveFailed_ = false;
    std::optional<std::uint32_t> lastSave_;
};

} // namespace orvex
