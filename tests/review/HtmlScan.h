#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvex::test {

// A start tag as a browser's tokenizer reads it: lower-case names, attribute
// values with their character references decoded.
struct HtmlTag
{
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
};

// Every start tag of an HTML text, in order. Comments and the doctype are
// skipped; the content of script, style, title and the like is raw text and
// holds no tags.
std::vector<HtmlTag> ScanStartTags(std::string_view html);

// Decodes &amp; &lt; &gt; &quot; &#39; &apos; &nbsp; and numeric references.
std::string DecodeReferences(std::string_view text);

// The scheme of an address as a browser reads it (controls and blanks at the
// ends and tabs or line breaks inside are ignored), lower case; empty when
// there is none.
std::string AddressScheme(std::string_view address);

} // namespace orvex::test
