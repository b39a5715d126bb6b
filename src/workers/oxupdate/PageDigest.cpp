#include "PageDigest.h"

namespace orvex::oxupdate {

namespace {

constexpr std::string_view kDivider = "\x01\x07";
constexpr std::string_view kLineEnd = "\r\n";

void AppendLine(std::string& out, std::string_view line)
{
    out += line;
    out += kLineEnd;
}

} // namespace

std::string DigestLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    bool blank = false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) {
            blank = !line.empty();
            continue;
        }
        if (blank)
            line.push_back(' ');
        blank = false;
        line.push_back(c);
    }
    return line;
}

std::string DigestLinkLine(const PageLink& link)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line = "\"";
    for (const char c : link.address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '"' || c == '<' || c == '>') {
            line.push_back('%');
            line.push_back(kHex[byte >> 4]);
            line.push_back(kHex[byte & 0x0F]);
        } else {
            line.push_back(c);
        }
    }
    line += "\">";
    std::string text;
    text.reserve(link.text.size());
    for (const char c : link.text)
        if (c != '<' && c != '>' && c != '"')
            text.push_back(c);
    line += DigestLine(text);
    line.push_back('<');
    return line;
}

std::string BuildDigest(const PageContent& page)
{
    std::string out;
    std::size_t size = page.title.size() + page.description.size() + 64;
    for (const PageLink& link : page.links)
        size += link.address.size() + link.text.size() + 8;
    for (const std::string& paragraph : page.paragraphs)
        size += paragraph.size() + 2;
    out.reserve(size);

    if (const std::string title = DigestLine(page.title); !title.empty())
        AppendLine(out, title);
    AppendLine(out, kDivider);
    if (const std::string description = DigestLine(page.description); !description.empty())
        AppendLine(out, description);
    AppendLine(out, kDivider);
    for (const PageLink& link : page.links)
        if (!link.address.empty())
            AppendLine(out, DigestLinkLine(link));
    AppendLine(out, kDivider);
    for (const std::string& paragraph : page.paragraphs)
        if (const std::string line = DigestLine(paragraph); !line.empty())
            AppendLine(out, line);
    return out;
}

} // namespace orvex::oxupdate
