// Result codes of the capture worker (offset 140 of the result block):
//
//   code  meaning
//   '7'   captured without errors: every file asked for was written (the
//         screenshot with "PNG", the thumbnail with "JPG", the .htm, .txt, .dh
//         and .dt files always, and the site icon whenever the page declares
//         one; a page that declares none gets the site's /favicon.ico when
//         there is one, and no icon file otherwise)
//   '1'   the page did not finish loading in time (ORVEX_LOAD_SECONDS); what
//         had arrived by then was captured
//   '2'   the screenshot was asked for but could not be taken or written
//   '3'   the thumbnail was asked for but could not be taken or written
//   '4'   the page declared an icon, but no icon file could be made from it
//         nor from the site's /favicon.ico
//   '5'   a data file (.htm, .txt, .dh or .dt) could not be written
//   '6'   more than one of '1' to '5'
//   '0'   nothing captured: the address could not be loaded at all (no
//         answer, refused connection, unknown host, an invalid address, a
//         download instead of a page), the job itself was unusable (an Id
//         that is not 19 characters of 0-9 and a-z, no project folder), or no
//         browser could be started
//
// The program that applies the block counts a capture as failed whenever the
// HTTP status is neither 200 nor 302, whatever the code says.
#include "CaptureResult.h"

#include <algorithm>
#include <array>

namespace orvex::oxupdate {

char ResultCode(const CaptureOutcome& outcome)
{
    if (!outcome.loaded)
        return '0';
    const std::array<std::pair<bool, char>, 5> faults = {{
        {!outcome.loadFinished, '1'},
        {outcome.screenshotWanted && !outcome.screenshotWritten, '2'},
        {outcome.thumbnailWanted && !outcome.thumbnailWritten, '3'},
        {outcome.iconDeclared && !outcome.iconWritten, '4'},
        {!outcome.dataWritten, '5'},
    }};
    char code = '7';
    int count = 0;
    for (const auto& [fault, faultCode] : faults) {
        if (fault) {
            code = faultCode;
            ++count;
        }
    }
    return count > 1 ? '6' : code;
}

ResultBlock BlockFields(const CaptureOutcome& outcome)
{
    ResultBlock block;
    block.code = std::string(1, ResultCode(outcome));
    block.captured = outcome.captured;
    block.updated = outcome.updated;
    block.status = outcome.status > 0 ? std::to_string(outcome.status) : std::string();
    block.title = outcome.title;
    block.charset = outcome.charset;
    block.description = outcome.description;
    block.keywords = outcome.keywords;
    // The field holds 8 digits: a larger length is shown as the largest that
    // fits rather than cut to a wrong number.
    constexpr long long kLargestLength = 99'999'999;
    block.contentLength = outcome.contentLength >= 0
                              ? std::to_string(std::min(outcome.contentLength, kLargestLength))
                              : std::string();
    block.lastModified = outcome.lastModified;
    block.contentType = outcome.contentType;
    return block;
}

} // namespace orvex::oxupdate
