#pragma once

#include "update/ResultBlock.h"

#include <string>

namespace orvex::oxupdate {

// What one capture achieved, as the result block reports it.
struct CaptureOutcome
{
    // A document came back from the server (whatever its status) and was
    // shown; false when the address could not be loaded at all.
    bool loaded = false;
    // The load event came within the time allowed.
    bool loadFinished = false;

    // Asked for by the job, and written.
    bool screenshotWanted = false;
    bool screenshotWritten = false;
    bool thumbnailWanted = false;
    bool thumbnailWritten = false;
    // The page declared an icon; an icon file was written (from a declared
    // icon or the site's /favicon.ico).
    bool iconDeclared = false;
    bool iconWritten = false;
    // The four data files: .htm, .txt, .dh and .dt.
    bool dataWritten = false;

    // Properties of the final document (after redirects).
    int status = 0; // 0 when no response came
    std::string title;
    std::string charset;
    std::string description;
    std::string keywords;
    long long contentLength = -1; // -1 when unknown
    std::string lastModified;     // already in date-time text form
    std::string contentType;

    std::string captured; // when the capture began
    std::string updated;  // when it ended
};

// Result codes: the table is at the top of CaptureResult.cpp.
char ResultCode(const CaptureOutcome& outcome);

// The fields the worker leaves in its block.
ResultBlock BlockFields(const CaptureOutcome& outcome);

} // namespace orvex::oxupdate
