#pragma once

#include "workspace/FixedText.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// What a check writes into the URL list rows and records. Rows are the list
// view's rows (any order); each names its record by StoreIndex.

// A row's StatusText while its URL is being checked.
inline constexpr std::string_view kCheckingText = "  Checking...                           ";

// Only these statuses count as a working URL.
inline bool IsCheckSuccess(int exitCode)
{
    return exitCode == 200 || exitCode == 302;
}

// The 40-byte StatusText for a checker result: the code, a blank, its reason phrase.
std::string CheckStatusText(int exitCode);

// Flags position 2 becomes '2' and StatusText the check text.
void MarkRowChecking(std::string& row);

// Records one result: the row gets Flags position 2 '0', the status text and
// the time, and its record StatusCode and Updated. A row whose StoreIndex is
// no number is left as it is. Returns whether the row changed.
bool ApplyCheckResult(RecordList& rows, std::size_t rowIndex, RecordList& records, int exitCode,
                      std::string_view timeText);

// Rows still marked as under check (their check was cut off) go back to '0'
// with a blank StatusText. Returns the rows changed.
std::vector<std::size_t> ClearCheckMarks(RecordList& rows);

} // namespace orvex
