#include "check/CheckUrls.h"

#include "check/CheckLauncher.h"
#include "check/CheckRows.h"
#include "workspace/RecordLayout.h"
#include "workspace/SecondsCounter.h"
#include "workspace/UniqueId.h"

#include <algorithm>
#include <utility>

namespace orvex {

CheckUrls::CheckUrls(CheckLauncher& launcher, const SecondsCounter& clock)
    : launcher_(launcher), clock_(clock), timeText_([] { return NowText(); })
{
}

CheckUrls::~CheckUrls()
{
    if (running())
        CutOffAll();
}

bool CheckUrls::Begin(RecordList& rows, RecordList& records,
                      const std::vector<std::size_t>& selectedRows, const CheckOptions& options,
                      const CheckProxy& proxy)
{
    if (running() || rows.empty())
        return false;
    rows_ = &rows;
    records_ = &records;
    options_ = options;
    proxy_ = proxy;
    stopRequested_ = false;
    slots_.fill(Slot{});
    changed_.clear();
    scrollRow_.reset();

    selected_.assign(rows.size(), false);
    for (std::size_t row : selectedRows) {
        if (row < rows.size())
            selected_[row] = true;
    }
    const auto firstSelected = std::find(selected_.begin(), selected_.end(), true);
    if (firstSelected == selected_.end())
        selected_[0] = true;

    std::size_t first = 0;
    std::size_t total = rows.size();
    if (options.startFromSelected) {
        first = static_cast<std::size_t>(std::find(selected_.begin(), selected_.end(), true) -
                                         selected_.begin());
        total = rows.size() - first;
    }
    if (options.checkSelected)
        total =
            static_cast<std::size_t>(std::count(selected_.begin() + first, selected_.end(), true));

    next_ = first;
    maximum_ = std::max(1, static_cast<int>(total));
    position_ = 0;
    failed_ = 0;
    phase_ = Phase::HandingOut;
    return true;
}

bool CheckUrls::Poll()
{
    if (phase_ == Phase::Idle)
        return false;
    if (stopRequested_) {
        CutOffAll();
        phase_ = Phase::Idle;
        return false;
    }
    if (phase_ == Phase::HandingOut) {
        for (; next_ < rows_->size(); ++next_) {
            if (options_.checkSelected && !selected_[next_])
                continue;
            const int slot = TakeSlot();
            if (slot < 0)
                return true; // every slot busy: this row waits for the next poll
            if (slots_[slot].row >= 0)
                ApplyResult(slot);
            AssignRow(slot, next_);
        }
        phase_ = Phase::FinalWait;
    }
    if (FinalWait())
        return true;
    phase_ = Phase::Idle;
    return false;
}

std::string CheckUrls::ProcessedText() const
{
    return std::to_string(position_) + " of " + std::to_string(maximum_);
}

std::vector<std::size_t> CheckUrls::selectedRows() const
{
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < selected_.size(); ++i) {
        if (selected_[i])
            rows.push_back(i);
    }
    return rows;
}

std::vector<std::size_t> CheckUrls::TakeChangedRows()
{
    std::vector<std::size_t> rows;
    rows.swap(changed_);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::optional<std::size_t> CheckUrls::TakeScrollRow()
{
    return std::exchange(scrollRow_, std::nullopt);
}

bool CheckUrls::Busy(int slot) const
{
    return slots_[slot].launched && launcher_.Running(slot);
}

std::uint32_t CheckUrls::Elapsed(int slot) const
{
    return clock_.value() - slots_[slot].startTime;
}

// The first slot that is free, or whose check has run past its limit.
int CheckUrls::TakeSlot()
{
    for (int s = 0; s < kSlotCount; ++s) {
        if (!Busy(s))
            return s;
        const std::uint32_t limit = s < 3 ? kLongGiveUpSeconds : kShortGiveUpSeconds;
        if (Elapsed(s) > limit) {
            GiveUp(s);
            return s;
        }
    }
    return -1;
}

// The slot's row keeps its place; its result then reads 0.
void CheckUrls::GiveUp(int slot)
{
    launcher_.CutOff(slot);
    slots_[slot].launched = false;
}

void CheckUrls::AssignRow(int slot, std::size_t row)
{
    std::string& line = (*rows_)[row];
    const std::optional<std::string> token =
        BuildCheckToken(UrlRowFieldView(line, UrlRowField::Url), proxy_);
    Slot& state = slots_[slot];
    state.row = static_cast<long long>(row);
    MarkRowChecking(line);
    changed_.push_back(row);
    scrollRow_ = row;
    state.startTime = clock_.value();
    // A command that does not fit is never started and so fails with 0.
    state.launched = token && launcher_.Start(slot, *token);
}

void CheckUrls::ApplyResult(int slot)
{
    Slot& state = slots_[slot];
    const int code = state.launched ? launcher_.ExitCode(slot) : 0;
    const auto row = static_cast<std::size_t>(state.row);
    if (ApplyCheckResult(*rows_, row, *records_, code, timeText_()))
        changed_.push_back(row);
    state.launched = false;
    state.row = -1;
    ++position_;
    if (!IsCheckSuccess(code))
        ++failed_;
}

void CheckUrls::CutOffAll()
{
    for (int s = 0; s < kSlotCount; ++s) {
        if (Busy(s))
            launcher_.CutOff(s);
        slots_[s].launched = false;
    }
}

// Gives up overdue checks and records ended ones; true while any is left.
bool CheckUrls::FinalWait()
{
    bool waiting = false;
    for (int s = 0; s < kSlotCount; ++s) {
        if (Busy(s)) {
            if (Elapsed(s) <= kLongGiveUpSeconds) {
                waiting = true;
                continue;
            }
            GiveUp(s);
        }
        if (slots_[s].row >= 0)
            ApplyResult(s);
    }
    return waiting;
}

} // namespace orvex
