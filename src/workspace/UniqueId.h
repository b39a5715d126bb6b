#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class QDateTime;

namespace orvex {

// A 19-character id of digits and lowercase letters. Successive calls never
// give the same id: when the clock has not moved on since the last id, a later
// time stamp is taken instead of waiting.
std::string MakeUniqueId();

// The id for a given local time and tick count: the time as 17 digits
// (yyyyMMddhhmmsszzz) in base 36, then the tick in base 36, cut or padded
// with "0" to 19.
std::string FormatUniqueId(const QDateTime& localTime, std::uint32_t tickMs);

// Only such ids are ever used to build a path.
bool IsValidId(std::string_view id);
// A project's Folder field: exactly eight decimal digits.
bool IsValidFolderName(std::string_view folder);

// The date-time text of records: "MM/dd/yyyy hh:mm:ss", local time.
std::string NowText();
std::string DateTimeText(const QDateTime& localTime);

// Base 36 with the digits 0-9 and a-z.
std::string ToBase36(std::uint64_t value);

} // namespace orvex
