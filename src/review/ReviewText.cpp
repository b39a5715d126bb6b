#include "review/ReviewText.h"

#include <algorithm>
#include <array>

namespace orvex {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes the character at p[i] (a byte that starts no valid sequence gives
// U+FFFD) and returns the number of bytes it took.
inline std::size_t DecodeOne(const unsigned char* p, std::size_t n, std::size_t i, char32_t& out)
{
    const unsigned char c = p[i];
    if (c < 0x80) {
        out = c;
        return 1;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2, value = c & 0x1F, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, value = c & 0x0F, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, value = c & 0x07, least = 0x10000;
    }
    bool valid = length > 0 && i + length <= n;
    for (std::size_t k = 1; valid && k < length; ++k) {
        valid = IsContinuation(p[i + k]);
        value = (value << 6) | (p[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (valid && value >= least && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) {
        out = value;
        return length;
    }
    out = kReplacement;
    return 1;
}

} // namespace

std::u32string DecodeUtf8(std::string_view text) { return DecodeUtf8Prefix(text, text.size()); }

std::u32string DecodeUtf8Prefix(std::string_view text, std::size_t maxChars)
{
    // Written through a pointer into a buffer sized for the worst case (one
    // character a byte): the digests of a large project pass through here.
    std::u32string out(std::min(text.size(), maxChars), U'\0');
    char32_t* dest = out.data();
    char32_t* const last = dest + out.size();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n && dest < last; ++dest)
        i += DecodeOne(p, n, i, *dest);
    out.resize(static_cast<std::size_t>(dest - out.data()));
    return out;
}

std::size_t CountChars(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t count = 0;
    char32_t ignored;
    for (std::size_t i = 0; i < n; ++count)
        i += p[i] < 0x80 ? 1 : DecodeOne(p, n, i, ignored);
    return count;
}

char* EncodeUtf8(char* dest, char32_t c)
{
    if (c < 0x80) {
        *dest++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *dest++ = static_cast<char>(0xC0 | (c >> 6));
        *dest++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *dest++ = static_cast<char>(0xE0 | (c >> 12));
        *dest++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *dest++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *dest++ = static_cast<char>(0xF0 | (c >> 18));
        *dest++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *dest++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *dest++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return dest;
}

void AppendUtf8(std::string& out, char32_t c)
{
    char buffer[4];
    out.append(buffer, static_cast<std::size_t>(EncodeUtf8(buffer, c) - buffer));
}

std::string EncodeUtf8(std::u32string_view text)
{
    std::string out(text.size() * 4, '\0');
    char* dest = out.data();
    for (char32_t c : text)
        dest = EncodeUtf8(dest, c);
    out.resize(static_cast<std::size_t>(dest - out.data()));
    return out;
}

bool IsValidUtf8(std::string_view text)
{
    for (unsigned char c : text) {
        if (c >= 0x80)
            return EncodeUtf8(DecodeUtf8(text)) == text;
    }
    return true;
}

std::u32string_view TrimChars(std::u32string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] <= 32)
        ++begin;
    while (end > begin && text[end - 1] <= 32)
        --end;
    return text.substr(begin, end - begin);
}

std::string CutWithEllipsis(std::string_view text, std::size_t limit)
{
    // Counting lead bytes counts characters in valid UTF-8.
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsContinuation(static_cast<unsigned char>(text[i])))
            continue;
        if (chars == limit)
            return std::string(text.substr(0, i)) + "...";
        ++chars;
    }
    return std::string(text);
}

namespace {

const char* Reference(char32_t c)
{
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    default: return nullptr;
    }
}

} // namespace

void AppendEscaped(std::string& out, std::string_view text)
{
    std::size_t done = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (const char* reference = Reference(static_cast<unsigned char>(text[i]))) {
            out.append(text.data() + done, i - done);
            out += reference;
            done = i + 1;
        }
    }
    out.append(text.data() + done, text.size() - done);
}

void AppendEscaped(std::string& out, std::u32string_view text)
{
    const std::size_t start = out.size();
    out.resize(start + text.size() * 6); // "&quot;" is the longest a character becomes
    char* dest = out.data() + start;
    for (char32_t c : text) {
        if (const char* reference = Reference(c)) {
            while (*reference)
                *dest++ = *reference++;
        } else {
            dest = EncodeUtf8(dest, c);
        }
    }
    out.resize(static_cast<std::size_t>(dest - out.data()));
}

std::string EscapeHtml(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text);
    return out;
}

bool IsSafeLinkAddress(std::string_view address)
{
    // A browser drops leading and trailing controls and blanks and every tab,
    // CR and LF inside before it reads the scheme ("java\tscript:" is javascript:).
    std::string scheme;
    bool started = false;
    for (char raw : address) {
        const auto c = static_cast<unsigned char>(raw);
        if (c == '\t' || c == '\n' || c == '\r' || (!started && c <= 32))
            continue;
        started = true;
        if (c == ':')
            break;
        const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!alpha && (scheme.empty() || !other))
            return false; // no scheme: a relative address
        scheme.push_back(static_cast<char>(alpha ? (c | 0x20) : c));
        if (scheme.size() > 5)
            return false;
    }
    static constexpr std::array<std::string_view, 4> kAllowed{"http", "https", "ftp", "file"};
    for (std::string_view allowed : kAllowed) {
        if (scheme == allowed)
            return std::string_view(address).find(':') != std::string_view::npos;
    }
    return false;
}

} // namespace orvex
