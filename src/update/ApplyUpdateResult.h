#pragma once

#include "workspace/FixedText.h"

#include <string_view>

namespace orvex {

struct UpdateApplyOutcome
{
    bool applied = false;       // the row index named a row
    bool failed = false;        // the result counts toward the run's failed count
    bool recordChanged = false; // the records changed and must be saved
};

// Turns one worker's block text into the URL's row and record: result code,
// result word, times, status, title, keywords, description and properties.
// Only a 200 or 302 status counts as success. When the row's StoreIndex names
// no record, neither the row nor any record changes. Refreshing the list and
// the detail pane is the caller's.
UpdateApplyOutcome ApplyUpdateResult(RecordList& rows, RecordList& records, long long rowIndex,
                                     std::string_view blockText);

} // namespace orvex
