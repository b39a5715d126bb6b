#pragma once

#include "workspace/FixedText.h"

#include <string>
#include <string_view>

namespace orvex {

// Fixed-width record layouts. Field numbers are 1-based as in the files;
// columns are 1-based byte positions.

namespace ProjectField {
enum : int {
    Flags = 1, Id, Folder, Created, Updated, Reserved6, Reserved7, Title, Description,
    StoreIndex, // only in a project list row
};
}

namespace UrlField {
enum : int {
    Flags = 1, Id, Folder, Created, Updated, Captured, Reserved7, Reserved8, Reserved9,
    StatusCode, Reserved11, Reserved12, Title, Keywords, Description, Properties, Url,
};
}

namespace UrlRowField {
enum : int {
    Flags = 1, StoreIndex, Id, Created, Result, Captured, StatusText, Updated, Title,
    Reserved12, Folder, Keywords, Description, Properties, Url,
};
}

constexpr std::size_t kProjectRecordLength = 657;
constexpr std::size_t kProjectRowLength = 665;
constexpr std::size_t kUrlFixedLength = 1403; // the URL follows
constexpr std::size_t kUrlRowLength = 1783;
constexpr std::size_t kRowUrlWidth = 512;
constexpr std::size_t kIdLength = 19;
constexpr std::size_t kFolderLength = 8;
constexpr std::size_t kStoreIndexWidth = 8;

struct FieldSpec
{
    std::size_t first; // 1-based column
    std::size_t width; // 0 = to the end of the line
};

FieldSpec ProjectFieldSpec(int field); // fields 1-10; {0,0} for any other
FieldSpec UrlFieldSpec(int field);     // fields 1-17
FieldSpec UrlRowFieldSpec(int field);  // fields 1-15

// Raw field text (blanks included); empty for a field number out of range or
// a line that ends before the field. Views point into the line.
std::string_view ProjectFieldView(std::string_view line, int field);
std::string_view UrlFieldView(std::string_view line, int field);
std::string_view UrlRowFieldView(std::string_view row, int field);

std::string GetProjectField(std::string_view line, int field);
std::string GetProjectRowField(std::string_view row, int field);
std::string GetUrlField(std::string_view line, int field);
// Field 15 gives at most the first 512 bytes of the URL, never half a character.
std::string GetUrlRowField(std::string_view row, int field);

// Writes one field in place. An index or field number out of range changes nothing.
void SetProjectField(RecordList& records, long long index, std::string_view value, int field);
void SetUrlField(RecordList& records, long long index, std::string_view value, int field);
// The row's Url is padded or cut to its 512 bytes.
void SetUrlRowField(RecordList& rows, long long index, std::string_view value, int field);

// The StoreIndex column text: the index right-aligned in 8 blanks.
std::string StoreIndexText(std::size_t index);

// New records as the commands create them. Returns an empty text when the
// project record does not come out at its exact length.
std::string MakeProjectRecord(std::string_view id, std::string_view folder,
                              std::string_view created, std::string_view title,
                              std::string_view description);
std::string MakeUrlRecord(std::string_view id, std::string_view folder, std::string_view created,
                          std::string_view url);

// The four HTTP properties packed into the 91 bytes of the Properties field.
struct HttpProperties
{
    std::string contentLength;
    std::string contentType;
    std::string charset;
    std::string lastModified;
};
std::string PackProperties(const HttpProperties& properties);
HttpProperties UnpackProperties(std::string_view field);

} // namespace orvex
