#include "review/DigestText.h"

#include "review/ReviewText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace orvex {

namespace {

constexpr std::string_view kDivider = "\x01\x07";
constexpr int kLastSection = 4;
constexpr std::u32string_view kIndent = U"&nbsp;&nbsp;&nbsp;&nbsp;";
constexpr std::u32string_view kLineBreak = U"<br>&nbsp;&nbsp;&nbsp;";

// Length in characters of a section collected with joinerLength characters before each line.
std::size_t CollectedLength(const RecordList& lines, std::size_t chars, std::size_t joinerLength)
{
    return lines.size() * joinerLength + chars;
}

std::string Collect(const RecordList& lines, std::string_view joiner)
{
    std::size_t bytes = 0;
    for (const std::string& line : lines)
        bytes += joiner.size() + line.size();
    std::string text;
    text.reserve(bytes);
    for (const std::string& line : lines) {
        text += joiner;
        text += line;
    }
    return text;
}

// Markup is ASCII: appended as it is.
void AppendUtf8Chars(std::string& out, std::u32string_view markup)
{
    for (char32_t c : markup)
        out.push_back(static_cast<char>(c));
}

} // namespace

Digest ParseDigest(std::string_view bytes)
{
    Digest digest;
    if (bytes.empty())
        return digest;
    int section = 1;
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    const char* p = begin;
    // Lines nearly always end in CR LF or LF: find the next LF (kept while
    // lines end in lone CRs before it), then any CR before it.
    bool searched = false;
    const char* nextLf = end;
    while (p < end && section <= kLastSection) {
        if (!searched || nextLf < p) {
            searched = true;
            const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
            nextLf = lf ? static_cast<const char*>(lf) : end;
        }
        const char* stop = nextLf;
        if (const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(stop - p)))
            stop = static_cast<const char*>(cr);
        const std::string_view line(p, static_cast<std::size_t>(stop - p));
        p = stop;
        if (p < end)
            p += (*p == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
        if (line == kDivider) {
            ++section;
            continue;
        }
        switch (section) {
        case 2:
            digest.section2.emplace_back(line);
            digest.chars2 += CountChars(line);
            break;
        case 3:
            digest.links.push_back(IsValidUtf8(line) ? std::string(line)
                                                     : EncodeUtf8(DecodeUtf8(line)));
            break;
        case 4:
            digest.section4.emplace_back(line);
            digest.chars4 += CountChars(line);
            break;
        default: break;
        }
    }
    return digest;
}

Digest ReadDigest(const std::filesystem::path& path) { return ReadDigestAt(AT_FDCWD, path.c_str()); }

Digest ReadDigestAt(int folder, const char* name)
{
    const int file = ::openat(folder, name, O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return {};
    struct stat status {};
    std::string bytes;
    if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode)) {
        // Sized by the file, grown should it grow while it is read.
        bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
        std::size_t got = 0;
        for (;;) {
            if (got == bytes.size())
                bytes.resize(bytes.size() * 2);
            const ssize_t n = ::read(file, bytes.data() + got, bytes.size() - got);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    ::close(file);
    return ParseDigest(bytes);
}

std::string SummaryOf(const Digest& digest, std::size_t maxLength)
{
    return EncodeUtf8(SummaryChars(digest, maxLength));
}

std::u32string SummaryChars(const Digest& digest, std::size_t maxLength)
{
    const bool fourth = CollectedLength(digest.section4, digest.chars4, 1) >=
                        CollectedLength(digest.section2, digest.chars2, 1);
    const std::string collected = Collect(fourth ? digest.section4 : digest.section2, " ");
    // Bytes of codes 0 to 32 are the characters trimmed; only what may be shown is decoded.
    std::u32string text = DecodeUtf8Prefix(TrimView(collected), maxLength);
    std::size_t lastSpace = std::u32string::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n')
            text[i] = ' ';
        if (text[i] == ' ')
            lastSpace = i;
    }
    if (text.size() >= maxLength) {
        text.resize(lastSpace == std::u32string::npos ? 0 : lastSpace);
        text += U"...";
    }
    return text;
}

std::string ParagraphOf(const Digest& digest, std::size_t maxLength)
{
    const bool fourth = CollectedLength(digest.section4, digest.chars4, 2) >=
                        CollectedLength(digest.section2, digest.chars2, 1);
    const std::string collected =
        fourth ? Collect(digest.section4, "\r\n") : Collect(digest.section2, " ");

    // The indent counts towards maxLength like the text after it.
    std::u32string_view indent = kIndent.substr(0, std::min(kIndent.size(), maxLength));
    const std::u32string text =
        DecodeUtf8Prefix(TrimView(collected), maxLength - indent.size());

    // A CR becomes a space; an LF becomes a space followed by a line break.
    // Only spaces that are not such line breaks may end a cut excerpt. The
    // walked text is kept as pieces of text (escaped when written) each
    // followed by a line break, so positions below count both.
    std::u32string walked;
    walked.reserve(text.size());
    std::vector<std::size_t> breaks; // where in walked a line break follows
    std::size_t length = indent.size();
    std::size_t lastSpace = std::u32string::npos; // in characters of the whole excerpt
    for (char32_t c : text) {
        if (c == '\n') {
            walked.push_back(' ');
            breaks.push_back(walked.size());
            length += 1 + kLineBreak.size();
            continue;
        }
        if (c == '\r' || c == ' ') {
            lastSpace = length;
            c = ' ';
        }
        walked.push_back(c);
        ++length;
    }

    std::size_t keep = length; // characters of the excerpt that are written
    const bool cut = length >= maxLength;
    if (cut)
        keep = lastSpace == std::u32string::npos ? 0 : lastSpace;

    std::string out;
    out.reserve(walked.size() + breaks.size() * kLineBreak.size() + kIndent.size() + 8);
    const std::size_t indentKept = std::min(keep, indent.size());
    AppendUtf8Chars(out, indent.substr(0, indentKept));
    keep -= indentKept;
    std::size_t from = 0;
    for (std::size_t b = 0; b <= breaks.size() && keep > 0; ++b) {
        const std::size_t to = b < breaks.size() ? breaks[b] : walked.size();
        const std::size_t piece = std::min(to - from, keep);
        AppendEscaped(out, std::u32string_view(walked).substr(from, piece));
        keep -= piece;
        if (b < breaks.size() && keep > 0) {
            const std::size_t markup = std::min(kLineBreak.size(), keep);
            AppendUtf8Chars(out, kLineBreak.substr(0, markup));
            keep -= markup;
        }
        from = to;
    }
    if (cut)
        out += "...";
    return out;
}

std::string DigestSummary(const std::filesystem::path& path, RecordList& list,
                          std::size_t maxLength)
{
    Digest digest = ReadDigest(path);
    std::string text = SummaryOf(digest, maxLength);
    list = std::move(digest.links);
    return text;
}

std::string DigestParagraph(const std::filesystem::path& path, RecordList& list,
                            std::size_t maxLength)
{
    Digest digest = ReadDigest(path);
    std::string text = ParagraphOf(digest, maxLength);
    list = std::move(digest.links);
    return text;
}

bool ParseLinkLine(std::string_view line, DigestLink& link)
{
    const std::string_view text = TrimView(line);
    if (text.size() < 4 || text.front() != '"' || text.back() != '<')
        return false;
    const std::size_t quote = text.find("\">", 1);
    if (quote == std::string_view::npos || quote + 2 > text.size() - 1)
        return false;
    const std::string_view address = text.substr(1, quote - 1);
    if (!IsSafeLinkAddress(address))
        return false;
    link.address = address;
    link.text = text.substr(quote + 2, text.size() - 1 - (quote + 2));
    return true;
}

std::string LinkListHtml(const RecordList& lines)
{
    std::string html;
    DigestLink link;
    for (const std::string& line : lines) {
        if (!ParseLinkLine(line, link))
            continue;
        html += "<div><a href=\"";
        AppendEscaped(html, link.address);
        html += "\">";
        AppendEscaped(html, link.text);
        html += "</a><br></div>\r\n";
    }
    return html;
}

} // namespace orvex
