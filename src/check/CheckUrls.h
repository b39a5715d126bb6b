#pragma once

#include "check/CheckCommand.h"
#include "workspace/FixedText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

class CheckLauncher;
class SecondsCounter;

// The two choices of the Check URLs dialog.
struct CheckOptions
{
    bool startFromSelected = false; // begin at the first selected row
    bool checkSelected = false;     // only the selected rows
};

// Checks the status of the URLs of a list, ten at a time. It never blocks:
// Begin() sets a run up, then the owner calls Poll() every few milliseconds
// (a timer in the dialog, a loop in orvexctl) until it returns false. Each
// Poll() hands free slots the next rows and records the results of ended
// checks into the rows and records given to Begin(), which must stay alive
// and unchanged in size for the whole run. A finished check's result is
// recorded when its slot is next taken, or once no rows are left to hand out.
class CheckUrls
{
public:
    static constexpr int kSlotCount = 10;
    // A check still running after this many seconds is given up on: slots 0-2
    // (and every slot once all rows are handed out) wait longer than the rest.
    static constexpr std::uint32_t kLongGiveUpSeconds = 40;
    static constexpr std::uint32_t kShortGiveUpSeconds = 30;

    // Both must outlive the scheduler; the clock is read, never started here.
    CheckUrls(CheckLauncher& launcher, const SecondsCounter& clock);
    ~CheckUrls(); // cuts off whatever still runs
    CheckUrls(const CheckUrls&) = delete;
    CheckUrls& operator=(const CheckUrls&) = delete;

    // Sets up a run over rows (list view order) whose StoreIndex names their
    // record in records. selectedRows are row indices; with none, row 0 is
    // taken as selected (see selectedRows()). Clears the stop request. Returns
    // false, changing nothing, when the list is empty or a run is going on.
    bool Begin(RecordList& rows, RecordList& records, const std::vector<std::size_t>& selectedRows,
               const CheckOptions& options, const CheckProxy& proxy);
    // Moves the run on; returns whether it is still going.
    bool Poll();
    // Asks the run to end: the next Poll() cuts off every running check,
    // records no further result and ends the run.
    void Stop() { stopRequested_ = true; }

    bool running() const { return phase_ != Phase::Idle; }
    bool stopRequested() const { return stopRequested_; }

    // Progress of the run: results recorded, out of maximum (at least 1).
    int position() const { return position_; }
    int maximum() const { return maximum_; }
    int failed() const { return failed_; }
    std::string ProcessedText() const; // "<position> of <maximum>"

    // The selection the run works from (row 0 when none was given).
    std::vector<std::size_t> selectedRows() const;
    // Rows changed since the last call, ascending, to be repainted.
    std::vector<std::size_t> TakeChangedRows();
    // The row last handed to a check since the last call, to be scrolled into view.
    std::optional<std::size_t> TakeScrollRow();

    // The time text written as Updated; NowText unless replaced (tests).
    void SetTimeSource(std::function<std::string()> timeText) { timeText_ = std::move(timeText); }

private:
    enum class Phase { Idle, HandingOut, FinalWait };
    struct Slot
    {
        long long row = -1;    // the row it holds, -1 for none
        bool launched = false; // a check was started and not yet read or given up
        std::uint32_t startTime = 0;
    };

    bool Busy(int slot) const;
    std::uint32_t Elapsed(int slot) const;
    int TakeSlot();
    void GiveUp(int slot);
    void AssignRow(int slot, std::size_t row);
    void ApplyResult(int slot);
    void CutOffAll();
    bool FinalWait();

    CheckLauncher& launcher_;
    const SecondsCounter& clock_;
    std::function<std::string()> timeText_;

    RecordList* rows_ = nullptr;
    RecordList* records_ = nullptr;
    CheckOptions options_;
    CheckProxy proxy_;
    std::vector<bool> selected_;
    Phase phase_ = Phase::Idle;
    bool stopRequested_ = false;
    std::size_t next_ = 0;
    std::array<Slot, kSlotCount> slots_{};

    int position_ = 0;
    int maximum_ = 0;
    int failed_ = 0;
    std::vector<std::size_t> changed_;
    std::optional<std::size_t> scrollRow_;
};

} // namespace orvex
