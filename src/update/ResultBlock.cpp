#include "update/ResultBlock.h"

#include "workspace/FixedText.h"

#include <atomic>
#include <cstring>

namespace orvex {

namespace {

constexpr std::string_view kMarker = "2088";

struct Column
{
    std::size_t offset;
    std::size_t width;
    std::string ResultBlock::*field;
};

constexpr Column kColumns[] = {
    {140, 4, &ResultBlock::code},          {144, 19, &ResultBlock::captured},
    {163, 4, &ResultBlock::status},        {167, 19, &ResultBlock::updated},
    {186, 256, &ResultBlock::title},       {442, 24, &ResultBlock::charset},
    {466, 256, &ResultBlock::description}, {722, 256, &ResultBlock::keywords},
    {978, 8, &ResultBlock::contentLength}, {986, 19, &ResultBlock::lastModified},
    {1005, 40, &ResultBlock::contentType},
};

} // namespace

void WriteBlockFields(char* block, const ResultBlock& fields)
{
    for (const Column& column : kColumns) {
        std::string value = FitField(fields.*column.field, column.width);
        for (char& c : value)
            if (c == '\r' || c == '\n' || c == '\0')
                c = ' ';
        std::memcpy(block + column.offset, value.data(), column.width);
    }
}

ResultBlockBytes WriteBlock(const ResultBlock& fields)
{
    ResultBlockBytes block;
    block.fill(' ');
    WriteBlockFields(block.data(), fields);
    return block;
}

void WriteBlockMarker(char* block)
{
    for (std::size_t i = 0; i < kMarker.size(); ++i)
        std::atomic_ref<char>(block[i]).store(kMarker[i], std::memory_order_release);
}

bool HasBlockMarker(const char* block)
{
    char* bytes = const_cast<char*>(block); // atomic_ref wants a mutable object; only loads here
    for (std::size_t i = 0; i < kMarker.size(); ++i)
        if (std::atomic_ref<char>(bytes[i]).load(std::memory_order_acquire) != kMarker[i])
            return false;
    return true;
}

std::string ReadBlockText(const char* block)
{
    const std::size_t length = strnlen(block, kResultBlockSize);
    return ReplaceLineBreaks(std::string(block, length));
}

ResultBlock ParseBlockText(std::string_view text)
{
    ResultBlock fields;
    for (const Column& column : kColumns) {
        if (text.size() > column.offset)
            fields.*column.field = TrimText(text.substr(column.offset, column.width));
    }
    return fields;
}

} // namespace orvex
