#include "ReviewFixture.h"

#include "workspace/RecordLayout.h"
#include "workspace/UniqueId.h"
#include "workspace/UrlRows.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace orvex::test {

RecordList MakeFixtureProject(const fs::path& folder, const std::vector<FixtureUrl>& urls)
{
    for (const char* sub : {"Icon", "Screenshot", "Data"})
        fs::create_directories(folder / sub);
    RecordList records;
    for (const FixtureUrl& url : urls) {
        records.push_back(MakeUrlRecord(url.id, "00000000", "05/14/2024 10:00:00", url.url));
        SetUrlField(records, static_cast<long long>(records.size() - 1), url.title,
                    UrlField::Title);
        if (!IsValidId(url.id))
            continue; // such an id names no file
        if (url.icon)
            WriteBytes(folder / "Icon" / (url.id + ".ico"), "icon");
        if (url.thumbnail) {
            WriteBytes(folder / "Screenshot" / (url.id + ".jpg"), "thumbnail");
            WriteBytes(folder / "Screenshot" / (url.id + ".png"), "screenshot");
        }
        if (url.digest)
            WriteBytes(folder / "Data" / (url.id + ".dt"), *url.digest);
    }
    RecordList rows;
    BuildUrlRows(records, rows);
    return rows;
}

std::string Printable(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 32) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned char>(c));
            out += code;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, std::string_view bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

namespace {

// Words item00001 ... of nine characters, sixteen to a line.
std::string ItemLines(int count)
{
    std::string text;
    for (int i = 1; i <= count; ++i) {
        char word[16];
        std::snprintf(word, sizeof word, "item%05d", i);
        text += word;
        text += i % 16 == 0 || i == count ? "\r\n" : " ";
    }
    return text;
}

std::string Div() { return std::string(kDivider); }

} // namespace

std::vector<FixtureUrl> GoldenUrls()
{
    // Line ends are mixed on purpose: CR LF, a lone LF and a lone CR.
    const std::string digest1 =
        "Rust Book - Getting Started\r\n" + Div() + "\r\n"
        "Getting started with the language.\n"
        "Install the toolchain first.\r\n" + Div() + "\r"
        "\"https://doc.example.org/book/ch01-01-installation.html\">Installation<\r\n"
        "\r\n"
        "    \r\n"
        "\"https://doc.example.org/search?q=hello&lang=en\">Search &amp; \"hello\" <world><\r\n"
        "not a link at all\r\n"
        "\"javascript:alert(1)\">Click me<\r\n"
        "\"https://doc.example.org/ch02.html\">Guessing game\r\n"
        "https://doc.example.org/ch03.html\">Common concepts<\r\n"
        "\"ftp://ftp.example.org/pub/rust/\">Mirror (FTP)<\r\n" + Div() + "\r\n"
        "The first steps: installing Rust, writing a program that prints \"Hello, world!\" "
        "and using Cargo, the build tool.\r\n"
        "This chapter covers all three & more.\r\n" + Div() + "\r\n"
        "Fifth section, ignored.\r\n";
    const std::string digest3 =
        Div() + "\r\n"
        "Short second section.\r\n" + Div() + "\r\n"
        "\"https://example.net/manual/\">Manual<\r\n" + Div() + "\r\n"
        "Line one of the fourth section.\r\n"
        "<b>Bold?</b> No: tags here are text & stay visible.\r\n"
        "\r\n"
        "Last line after an empty one.";
    const std::string digest5 = "Intro\r\n" + Div() + "\r\n" + ItemLines(160) + Div() + "\r\n" +
                                Div() + "\r\nShort fourth section.\r\n";
    const std::string digest6 =
        Div() + "\r\nSecond section text.\r\n" + Div() + "\r\n"
        "\"HTTPS://Example.COM/Upper\">Upper-case scheme<\r\n"
        "\"data:text/html,<script>alert(1)</script>\">Data<\r\n"
        "\"file:///home/user/notes.txt\">Local notes<\r\n"
        "\"mailto:someone@example.com\">Mail<\r\n" + Div() + "\r\n"
        "Fourth section text.\r\n";

    return {
        {"goldenurl0000000001", "  Rust: the Book \u2014 Chapter 1 / Getting Started  ",
         "https://doc.example.org/book/ch01-00-getting-started.html?lang=en&v=2", true, true,
         digest1},
        // 81 characters of title, 121 of address.
        {"goldenurl0000000002",
         "Notes on the design of small command line tools for everyday work with plain text",
         "https://archive.example.org/2023/05/14/notes-on-the-design-of-small-command-line-"
         "tools.html?from=feed&utm_source=newsfeed",
         false, false, std::nullopt},
        // 111 characters once tidied.
        {"goldenurl0000000003",
         "Weekly digest: TheQuickBrownFoxJumpsOverTheLazyDog and other typing exercises for "
         "keyboard of any layout",
         "https://typing.example.com/weekly/2024-05/index.html", true, false, digest3},
        {"goldenurl0000000004", "An introduction to the theory of everything and more",
         "http://example.com/toe", false, true, std::nullopt},
        {"goldenurl0000000005",
         "Caf\u00e9 \u201cZeitgeist\u201d \u2013 na\u00efve r\u00e9sum\u00e9 \u2022 \u00dcberblick",
         "https://caf\u00e9.example.de/\u00fcberblick?q=a&b", false, false, digest5},
        {"goldenurl0000000006",
         "Pneumonoultramicroscopicsilicovolcanoconiosis explained in "
         "notes,chapters.and.sections.of.the.guide",
         "ftp://files.example.net/pub/readme.txt", true, true, digest6},
    };
}

} // namespace orvex::test
