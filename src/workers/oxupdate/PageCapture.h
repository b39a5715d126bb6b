#pragma once

#include "CaptureFiles.h"
#include "CaptureResult.h"
#include "DevToolsSession.h"
#include "PageContent.h"
#include "WorkerConfig.h"

#include "update/UpdateProtocol.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace orvex::oxupdate {

// Screenshots stop at this height in pixels: a taller capture costs seconds
// and hundreds of megabytes, and the browser's compositor cannot make one
// much taller anyway.
constexpr int kMaxScreenshotHeight = 16384;
// The thumbnail is the first screen scaled to this width.
constexpr int kThumbnailWidth = 400;
constexpr int kThumbnailQuality = 80;
// The window size used when the job gives none (or an absurd one).
constexpr int kDefaultWidth = 1024;
constexpr int kDefaultHeight = 768;

// One job's page in the browser: opens it in a browser context of its own
// (or the slot's, from the shared host), loads the address, and hands the
// files to `files` as they become ready. Every wait is bounded; the stop
// source of the session can end it at any point (StopRequested).
class PageCapture
{
public:
    // shared: the session goes to the run's shared browser host.
    PageCapture(DevToolsSession& session, const WorkerConfig& config, int slot, bool shared);

    // Loads the page and captures it. The outcome's file flags are left for
    // the caller to fill in once the files are written.
    CaptureOutcome Run(const UpdateJob& job, CaptureFiles& files);

    // Closes the page and leaves the browser context fit for the slot's next
    // job (cleared, or given up so that the host disposes of it).
    void Finish();

    // After Run: whether the page declared an icon.
    bool iconDeclared() const { return iconDeclared_; }
    // The data files (.htm, .txt, .dh, .dt) handed over for writing, and
    // whether one of them could not be made at all.
    const std::vector<CaptureFile>& dataHanded() const { return dataHanded_; }
    bool dataFailed() const { return dataFailed_; }
    // Why the page could not be captured (or only in part); empty when fine.
    const std::string& error() const { return error_; }
    // The steps taken so far and their milliseconds, in order.
    const std::vector<std::pair<std::string, double>>& phases() const { return phases_; }

private:
    struct Response
    {
        int status = 0;
        std::string statusText;
        std::string protocol;
        std::string mimeType;
        std::string charset;
        std::string url;
        Json headers;
    };

    // Notes the time since the last step: on standard error with ORVEX_TRACE,
    // and for the phase log.
    void Trace(const char* step);
    bool HandleEvent(const Json& event);
    bool OpenPage(std::string& error);
    bool SetUpPage(int width, int height);
    bool Navigate(const std::string& url, CaptureOutcome& outcome);
    bool WaitForLoad();
    // ok: the page script answered; stuck: it did not answer in time.
    PageContent ReadContent(bool& ok, bool& stuck);
    void TakeScreenshots(const UpdateJob& job, int width, int height, CaptureFiles& files);
    bool CaptureImage(const Json& params, CaptureFile file, CaptureFiles& files);
    // The .htm file from the reply to the body command sent before.
    void SaveDocument(int bodyId, Clock::time_point deadline, bool rendererUsable,
                      CaptureOutcome& outcome, CaptureFiles& files);
    void FetchIcon(const PageContent& content, const std::string& pageUrl, CaptureFiles& files);
    std::optional<std::string> FetchBytes(const std::string& url);
    // A picture the image decoders here cannot read, drawn 32 x 32 by the
    // page's renderer: PNG bytes, or nothing.
    std::optional<std::string> DrawInPage(const std::string& bytes);
    std::string HeadersText(const Response& response) const;
    void FillFromResponse(const Response& response, CaptureOutcome& outcome) const;

    DevToolsSession& session_;
    const WorkerConfig& config_;
    int slot_;
    bool shared_;

    std::string proxyUser_;
    std::string proxyPassword_;
    bool credentials_ = false;

    std::string contextId_;
    bool slotContext_ = false; // lent by the host; cleared after the job
    std::string targetId_;
    std::string sessionId_;
    std::string frameId_;
    long long worldId_ = 0; // the isolated world the page script ran in
    std::string loaderId_;
    Clock::time_point loadDeadline_;

    // Learnt from network events (the main document's come before the
    // navigation's reply says which request it is).
    std::map<std::string, Response> documents_;
    std::map<std::string, std::string> rawHeaders_; // requestId -> status line and headers
    std::map<std::string, int> rawStatus_;
    std::map<std::string, long long> documentBytes_;
    std::set<std::string> origins_;
    std::map<std::string, int> authAttempts_;
    bool crashed_ = false;
    Clock::time_point traceStart_ = Clock::now();
    Clock::time_point traceLast_ = traceStart_;
    std::vector<std::pair<std::string, double>> phases_; // step, milliseconds

    bool iconDeclared_ = false;
    bool iconMade_ = false;
    std::vector<CaptureFile> dataHanded_;
    bool dataFailed_ = false;
    bool linkLost_ = false;
    std::string error_;
};

} // namespace orvex::oxupdate
