#include "workspace/FixedText.h"

#include <QString>

namespace orvex {

namespace {
bool IsTrimmed(unsigned char c) { return c <= 32; }
bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }
} // namespace

std::string_view TrimView(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsTrimmed(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsTrimmed(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

std::string TrimText(std::string_view text) { return std::string(TrimView(text)); }

std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t cut = maxBytes;
    // Step back over continuation bytes so the cut lands before a lead byte.
    while (cut > 0 && IsContinuation(static_cast<unsigned char>(text[cut])))
        --cut;
    return text.substr(0, cut);
}

std::string PadRight(std::string_view text, std::size_t width)
{
    std::string out(text);
    if (out.size() < width)
        out.append(width - out.size(), ' ');
    return out;
}

std::string FitField(std::string_view value, std::size_t width)
{
    return PadRight(Utf8Prefix(TrimView(value), width), width);
}

std::string ReplaceLineBreaks(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

std::string LowerText(std::string_view text)
{
    bool ascii = true;
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        std::string out(text);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    }
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .toLower()
        .toStdString();
}

long long ParseDecimal(std::string_view text, long long fallback)
{
    text = TrimView(text);
    if (text.empty())
        return fallback;
    bool negative = false;
    std::size_t pos = 0;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        pos = 1;
    }
    if (pos == text.size() || text.size() - pos > 18)
        return fallback;
    long long value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9')
            return fallback;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

} // namespace orvex
