#include "review/TidyText.h"

#include "review/ReviewText.h"

#include <QChar>

namespace orvex {

namespace {

constexpr std::size_t kLongWord = 32;
constexpr std::size_t kPiece = 31;

bool IsSeparator(char32_t c)
{
    switch (c) {
    case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
    case 0x2018: case 0x2019: case 0x201C: case 0x201D: case 0x2022: case 0x2013: case 0x2014:
    case 0xA6: case 0xA7: case 0xB6:
        return true;
    default:
        // Codes 0-32, and 145-151 as the C1 code points a mis-decoded text may hold.
        return c <= 32 || (c >= 0x91 && c <= 0x97);
    }
}

// Appends a word of more than 32 characters with spaces put in where it can wrap:
// after inner commas and full stops, else before inner capitals, else every 31
// characters. Positions below are 1-based, as counted in the word.
void AppendBrokenWord(std::u32string& out, std::u32string_view word)
{
    const std::size_t n = word.size();
    std::u32string broken;
    broken.reserve(n + n / kPiece + 1);
    bool inserted = false;
    for (std::size_t p = 1; p <= n; ++p) {
        const char32_t c = word[p - 1];
        broken.push_back(c);
        if (p <= n - 2 && (c == ',' || c == '.')) {
            broken.push_back(' ');
            inserted = true;
        }
    }
    if (!inserted) {
        broken.clear();
        for (std::size_t p = 1; p <= n; ++p) {
            const char32_t c = word[p - 1];
            if (p >= 2 && p <= n - 2 && QChar::isUpper(c)) {
                broken.push_back(' ');
                inserted = true;
            }
            broken.push_back(c);
        }
    }
    if (!inserted) {
        broken.clear();
        const std::size_t spaces = n / kLongWord;
        for (std::size_t p = 1; p <= n; ++p) {
            broken.push_back(word[p - 1]);
            if (p % kPiece == 0 && p / kPiece <= spaces)
                broken.push_back(' ');
        }
    }
    out += broken;
}

} // namespace

std::string TidyText(std::string_view text) { return EncodeUtf8(TidyChars(DecodeUtf8(text))); }

std::u32string TidyChars(std::u32string_view text)
{
    const std::u32string_view trimmed = TrimChars(text);
    if (trimmed.empty())
        return {};

    // Separators become spaces and runs of spaces collapse, in one pass.
    std::u32string spaced(trimmed.size(), U' ');
    std::size_t length = 0;
    for (char32_t c : trimmed) {
        if (!IsSeparator(c))
            spaced[length++] = c;
        else if (length == 0 || spaced[length - 1] != ' ')
            spaced[length++] = ' ';
    }
    spaced.resize(length);

    // The last word, which no space follows, is broken too: it is as likely
    // as any other to be a long address.
    std::u32string out;
    std::size_t wordStart = 0;
    for (std::size_t pos = 0; pos <= spaced.size(); ++pos) {
        if (pos < spaced.size() && spaced[pos] != ' ')
            continue;
        const std::size_t wordLength = pos - wordStart;
        if (wordLength > kLongWord) {
            if (out.empty())
                out.assign(spaced, 0, wordStart);
            AppendBrokenWord(out, std::u32string_view(spaced).substr(wordStart, wordLength));
            if (pos < spaced.size())
                out.push_back(' ');
        } else if (!out.empty()) {
            out.append(spaced, wordStart, wordLength + (pos < spaced.size() ? 1 : 0));
        }
        wordStart = pos + 1;
    }
    // Most texts hold no long word and come through unchanged.
    return out.empty() ? spaced : out;
}

} // namespace orvex
