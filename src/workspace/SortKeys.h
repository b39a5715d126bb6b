#pragma once

#include "workspace/FixedText.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvex {

// Columns by which the two lists sort, named by their header captions.
enum class UrlSortColumn { Url, Title, Created, Status, Updated };
enum class ProjectSortColumn { Title, Created, Updated, Description };

std::optional<UrlSortColumn> UrlSortColumnFromCaption(std::string_view caption);
std::optional<ProjectSortColumn> ProjectSortColumnFromCaption(std::string_view caption);

// Fixed-length keys that end in the row's StoreIndex, so that no two rows tie
// and equal texts keep their stored order. Text columns are lower-cased; dates
// are turned into year, month, day, time order.
std::string UrlSortKey(std::string_view row, UrlSortColumn column);
std::string ProjectSortKey(std::string_view row, ProjectSortColumn column);

// Compares byte by byte as signed 8-bit values, so bytes 128 to 255 come before
// plain ASCII. Negative, zero or positive.
int CompareSortKeys(std::string_view a, std::string_view b);

// Sorts rows by a column's keys. A caption that names no column leaves the order as it is.
void SortUrlRows(RecordList& rows, UrlSortColumn column, bool ascending);
void SortProjectRows(RecordList& rows, ProjectSortColumn column, bool ascending);

} // namespace orvex
