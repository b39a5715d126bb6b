#include "HtmlScan.h"

#include <cctype>
#include <cstdlib>

namespace orvex::test {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void AppendUtf8(std::string& out, unsigned long c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Elements whose content a browser reads as text up to their end tag.
bool HoldsRawText(std::string_view name)
{
    for (std::string_view raw : {"script", "style", "title", "textarea", "xmp", "iframe",
                                 "noembed", "noframes", "plaintext"}) {
        if (name == raw)
            return true;
    }
    return false;
}

} // namespace

std::string DecodeReferences(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t semi = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
        if (semi == std::string_view::npos || semi - i > 10) {
            out.push_back(text[i]);
            continue;
        }
        const std::string name(text.substr(i + 1, semi - i - 1));
        if (name == "amp") out += '&';
        else if (name == "lt") out += '<';
        else if (name == "gt") out += '>';
        else if (name == "quot") out += '"';
        else if (name == "apos" || name == "#39") out += '\'';
        else if (name == "nbsp") out += "\u00a0";
        else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            AppendUtf8(out, std::strtoul(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10));
        } else {
            out.push_back(text[i]);
            continue;
        }
        i = semi;
    }
    return out;
}

std::string AddressScheme(std::string_view address)
{
    std::string cleaned;
    for (char c : address) {
        if (c != '\t' && c != '\n' && c != '\r')
            cleaned.push_back(c);
    }
    std::size_t begin = 0;
    while (begin < cleaned.size() && static_cast<unsigned char>(cleaned[begin]) <= 32)
        ++begin;
    const std::size_t colon = cleaned.find(':', begin);
    if (colon == std::string::npos || colon == begin)
        return {};
    const std::string scheme = Lower(std::string_view(cleaned).substr(begin, colon - begin));
    if (!std::isalpha(static_cast<unsigned char>(scheme[0])))
        return {};
    for (char c : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return scheme;
}

std::vector<HtmlTag> ScanStartTags(std::string_view html)
{
    std::vector<HtmlTag> tags;
    std::size_t i = 0;
    const std::size_t n = html.size();
    while ((i = html.find('<', i)) != std::string_view::npos) {
        if (html.substr(i, 4) == "<!--") {
            const std::size_t end = html.find("-->", i + 4);
            i = end == std::string_view::npos ? n : end + 3;
            continue;
        }
        if (i + 1 < n && (html[i + 1] == '!' || html[i + 1] == '/' || html[i + 1] == '?')) {
            const std::size_t end = html.find('>', i);
            i = end == std::string_view::npos ? n : end + 1;
            continue;
        }
        if (i + 1 >= n || !std::isalpha(static_cast<unsigned char>(html[i + 1]))) {
            ++i; // a plain "<" in text
            continue;
        }
        HtmlTag tag;
        std::size_t p = i + 1;
        while (p < n && !IsSpace(html[p]) && html[p] != '/' && html[p] != '>')
            tag.name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(html[p++]))));
        while (p < n && html[p] != '>') {
            if (IsSpace(html[p]) || html[p] == '/') {
                ++p;
                continue;
            }
            std::string name(1, html[p++]); // a first "=" belongs to the name
            while (p < n && !IsSpace(html[p]) && html[p] != '/' && html[p] != '>' && html[p] != '=')
                name.push_back(html[p++]);
            while (p < n && IsSpace(html[p]))
                ++p;
            std::string value;
            if (p < n && html[p] == '=') {
                ++p;
                while (p < n && IsSpace(html[p]))
                    ++p;
                if (p < n && (html[p] == '"' || html[p] == '\'')) {
                    const char quote = html[p++];
                    const std::size_t end = html.find(quote, p);
                    const std::size_t stop = end == std::string_view::npos ? n : end;
                    value = html.substr(p, stop - p);
                    p = stop == n ? n : stop + 1;
                } else {
                    while (p < n && !IsSpace(html[p]) && html[p] != '>')
                        value.push_back(html[p++]);
                }
            }
            tag.attributes.emplace_back(Lower(name), DecodeReferences(value));
        }
        i = p < n ? p + 1 : n;
        if (HoldsRawText(tag.name)) {
            const std::string lower = Lower(html.substr(i));
            const std::size_t end = lower.find("</" + tag.name);
            i = end == std::string::npos ? n : i + end;
        }
        tags.push_back(std::move(tag));
    }
    return tags;
}

} // namespace orvex::test
