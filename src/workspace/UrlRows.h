#pragma once

#include "workspace/FixedText.h"

#include <string>
#include <string_view>

namespace orvex {

// The result word shown for the capture result in Flags position 5.
std::string_view ResultWord(char captureResult);

// One list row from one stored record (project or URL), with its store index.
std::string BuildProjectRow(std::string_view record, std::size_t index);
std::string BuildUrlRow(std::string_view record, std::size_t index);

// Rebuilds every row from the records, in record order.
void BuildProjectRows(const RecordList& records, RecordList& rows);
void BuildUrlRows(const RecordList& records, RecordList& rows);

// The StoreIndex of a row as a number; -1 when it is not one.
long long RowStoreIndex(std::string_view storeIndexField);

} // namespace orvex
