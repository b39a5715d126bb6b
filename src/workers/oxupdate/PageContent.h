#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <vector>

namespace orvex::oxupdate {

struct PageLink
{
    std::string address; // absolute, as the document resolved it
    std::string text;

    bool operator==(const PageLink&) const = default;
};

// What the page script reports about a loaded document, in UTF-8.
struct PageContent
{
    std::string title;
    std::string description;
    std::string keywords;
    std::string charset;     // the encoding the document was read in
    std::string contentType; // the document's MIME type
    std::string text;        // the visible text of the body
    std::vector<PageLink> links;
    std::vector<std::string> paragraphs;
    // Icons the document declares, best first, as absolute addresses.
    std::vector<std::string> icons;
    // Whether the document has a body element at all.
    bool hasBody = false;

    bool operator==(const PageContent&) const = default;
};

// The expression evaluated in the page once it has loaded: scrolls to the end
// and back (so lazily loaded images are fetched), waits a bounded time for the
// images it started, then returns what PageContent holds. It resolves within
// about kPageScriptMs milliseconds whatever the page does.
const std::string& PageScript();
constexpr int kPageScriptMs = 4000;

// Reads the script's value. Anything missing or of the wrong type is left
// empty; nothing a page returns can make this fail.
PageContent ParsePageContent(const nlohmann::json& value);

} // namespace orvex::oxupdate
