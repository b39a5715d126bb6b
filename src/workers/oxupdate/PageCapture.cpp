#include "PageCapture.h"

#include "Base64.h"
#include "HttpDate.h"
#include "IconFile.h"
#include "PageDigest.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace orvex::oxupdate {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kCommandTime{10000};
constexpr milliseconds kStopLoadingTime{2000};
// A renderer that does not make an isolated world within this long is busy
// with the page's own scripts and will not run ours either.
constexpr milliseconds kWorldTime{5000};
constexpr milliseconds kScriptTime{kPageScriptMs + 4000};
constexpr milliseconds kScreenshotTime{20000};
constexpr milliseconds kBodyTime{10000};
constexpr milliseconds kStuckBodyTime{1000};
constexpr milliseconds kIconTime{5000};
constexpr milliseconds kIconTotalTime{8000};
constexpr milliseconds kCleanupTime{3000};
constexpr int kMaxIconTries = 4;
constexpr std::size_t kMaxRememberedRequests = 2000;
constexpr std::size_t kMaxOrigins = 200;
constexpr int kMaxAuthAnswers = 2;
// Resource bodies the browser keeps for us: the document must fit, and the
// shared browser holds this much for each page at most.
constexpr long long kResourceBuffer = 32LL * 1024 * 1024;
constexpr long long kTotalBuffer = 48LL * 1024 * 1024;

const Json kNoParams = Json::object();

const Json& Member(const Json& object, const char* key)
{
    static const Json kNull;
    if (!object.is_object())
        return kNull;
    const auto it = object.find(key);
    return it == object.end() ? kNull : *it;
}

std::string StringOf(const Json& object, const char* key)
{
    const Json& value = Member(object, key);
    return value.is_string() ? value.get<std::string>() : std::string();
}

long long NumberOf(const Json& object, const char* key, long long fallback)
{
    const Json& value = Member(object, key);
    if (value.is_number_integer())
        return value.get<long long>();
    if (value.is_number_float())
        return static_cast<long long>(value.get<double>());
    return fallback;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool IsWebAddress(std::string_view url)
{
    const std::string lower = Lower(std::string(url.substr(0, 8)));
    return StartsWith(lower, "http://") || StartsWith(lower, "https://");
}

// "scheme://host:port" of an http or https address; empty for any other.
std::string OriginOf(std::string_view url)
{
    if (!IsWebAddress(url))
        return {};
    const std::size_t hostStart = url.find("://") + 3;
    std::size_t end = url.find_first_of("/?#", hostStart);
    if (end == std::string_view::npos)
        end = url.size();
    std::string_view authority = url.substr(hostStart, end - hostStart);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (authority.empty())
        return {};
    return Lower(std::string(url.substr(0, hostStart)) + std::string(authority));
}

// A header's value from a DevTools header object, whatever the case of its
// name; the first of several values (they come joined by line breaks).
std::string HeaderValue(const Json& headers, std::string_view name)
{
    if (!headers.is_object())
        return {};
    for (const auto& [key, value] : headers.items()) {
        if (key.size() != name.size() || Lower(key) != name || !value.is_string())
            continue;
        const std::string& text = value.get_ref<const std::string&>();
        return text.substr(0, text.find('\n'));
    }
    return {};
}

std::optional<long long> ContentLengthOf(const std::string& text)
{
    std::string_view digits = text;
    while (!digits.empty() && digits.front() == ' ')
        digits.remove_prefix(1);
    while (!digits.empty() && digits.back() == ' ')
        digits.remove_suffix(1);
    if (digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return std::stoll(std::string(digits));
}

std::optional<std::string> PercentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2])))
            return std::nullopt;
        out.push_back(static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16)));
        i += 2;
    }
    return out;
}

// The bytes of a data: address.
std::optional<std::string> DataUrlBytes(std::string_view url)
{
    const std::size_t comma = url.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    const std::string header = Lower(std::string(url.substr(5, comma - 5)));
    const std::string_view payload = url.substr(comma + 1);
    if (header.size() >= 7 && header.compare(header.size() - 7, 7, ";base64") == 0) {
        const std::optional<std::string> decoded = PercentDecode(payload);
        return decoded ? DecodeBase64(*decoded) : std::nullopt;
    }
    return PercentDecode(payload);
}

} // namespace

PageCapture::PageCapture(DevToolsSession& session, const WorkerConfig& config, int slot,
                         bool shared)
    : session_(session), config_(config), slot_(slot), shared_(shared)
{
    session_.SetEventHandler([this](const Json& event) { return HandleEvent(event); });
}

void PageCapture::Trace(const char* step)
{
    if (!config_.trace && config_.phaseLog.empty())
        return;
    using Ms = std::chrono::duration<double, std::milli>;
    const auto now = Clock::now();
    if (config_.trace)
        std::fprintf(stderr, "oxupdate: %8.1f ms %8.1f ms  %s\n", Ms(now - traceStart_).count(),
                     Ms(now - traceLast_).count(), step);
    phases_.emplace_back(step, Ms(now - traceLast_).count());
    traceLast_ = now;
}

bool PageCapture::HandleEvent(const Json& event)
{
    const std::string method = StringOf(event, "method");
    const Json& params = Member(event, "params");
    if (method == "Page.lifecycleEvent")
        return StringOf(params, "name") != "load"; // load events wait for WaitForLoad
    if (method == "Inspector.targetCrashed") {
        crashed_ = true;
        return false;
    }
    if (method == "Target.detachedFromTarget")
        return StringOf(params, "sessionId") != sessionId_;
    if (method == "Fetch.requestPaused") {
        // Paused only because auth requests are handled: let it go on.
        session_.Send("Fetch.continueRequest", {{"requestId", StringOf(params, "requestId")}},
                      sessionId_, false);
        return true;
    }
    if (method == "Fetch.authRequired") {
        const std::string requestId = StringOf(params, "requestId");
        const bool proxy = StringOf(Member(params, "authChallenge"), "source") == "Proxy";
        // The proxy's password is for the proxy alone: a site asking for
        // credentials gets none, and a proxy that keeps refusing them is
        // not asked forever.
        Json answer = {{"response", "CancelAuth"}};
        if (proxy && credentials_ && authAttempts_[requestId]++ < kMaxAuthAnswers)
            answer = {{"response", "ProvideCredentials"},
                      {"username", proxyUser_},
                      {"password", proxyPassword_}};
        session_.Send("Fetch.continueWithAuth",
                      {{"requestId", requestId}, {"authChallengeResponse", answer}}, sessionId_,
                      false);
        return true;
    }
    if (method == "Page.javascriptDialogOpening") {
        // An alert or prompt would hold the page (and its load event) forever.
        session_.Send("Page.handleJavaScriptDialog", {{"accept", false}}, sessionId_, false);
        return true;
    }
    if (method == "Network.requestWillBeSent") {
        if (origins_.size() < kMaxOrigins)
            if (std::string origin = OriginOf(StringOf(Member(params, "request"), "url"));
                !origin.empty())
                origins_.insert(std::move(origin));
        return true;
    }
    if (method == "Network.responseReceived") {
        if (StringOf(params, "type") != "Document" || documents_.size() >= kMaxRememberedRequests)
            return true;
        const Json& response = Member(params, "response");
        Response& document = documents_[StringOf(params, "requestId")];
        document.status = static_cast<int>(NumberOf(response, "status", 0));
        document.statusText = StringOf(response, "statusText");
        document.protocol = StringOf(response, "protocol");
        document.mimeType = StringOf(response, "mimeType");
        document.charset = StringOf(response, "charset");
        document.url = StringOf(response, "url");
        document.headers = Member(response, "headers");
        return true;
    }
    if (method == "Network.responseReceivedExtraInfo") {
        // One for every answer of a request, redirects included: the last
        // one with the final status is the document's.
        if (rawHeaders_.size() < kMaxRememberedRequests) {
            const std::string requestId = StringOf(params, "requestId");
            rawHeaders_[requestId] = StringOf(params, "headersText");
            rawStatus_[requestId] = static_cast<int>(NumberOf(params, "statusCode", 0));
        }
        return true;
    }
    if (method == "Network.dataReceived") {
        const std::string requestId = StringOf(params, "requestId");
        if (requestId == loaderId_ || (loaderId_.empty() && documentBytes_.size() < 16))
            documentBytes_[requestId] += std::max(0LL, NumberOf(params, "dataLength", 0));
        return true;
    }
    return true; // nothing else is of use
}

bool PageCapture::OpenPage(std::string& error)
{
    const std::string proxyBypass = config_.proxyServer.empty() ? "" : "<-loopback>";
    if (shared_ && config_.contextMode == ContextMode::Slot) {
        const CdpReply reply = session_.Call("Orvex.slotContext",
                                             {{"slot", slot_},
                                              {"proxyServer", config_.proxyServer},
                                              {"proxyBypassList", proxyBypass}},
                                             {}, kCommandTime);
        if (!reply.ok) {
            error = "no browser context for the slot: " + reply.error;
            return false;
        }
        contextId_ = StringOf(reply.result, "browserContextId");
        slotContext_ = true;
    } else {
        Json params = Json::object();
        if (!config_.proxyServer.empty()) {
            params["proxyServer"] = config_.proxyServer;
            params["proxyBypassList"] = proxyBypass; // loopback too goes through it
        }
        const CdpReply reply = session_.Call("Target.createBrowserContext", params, {}, kCommandTime);
        if (!reply.ok) {
            error = "no browser context: " + reply.error;
            return false;
        }
        contextId_ = StringOf(reply.result, "browserContextId");
    }
    if (contextId_.empty()) {
        error = "the browser gave no context";
        return false;
    }
    // A download is not a page; it must not end up in some folder either.
    session_.Send("Browser.setDownloadBehavior",
                  {{"behavior", "deny"}, {"browserContextId", contextId_}}, {}, false);
    const CdpReply target = session_.Call(
        "Target.createTarget", {{"url", "about:blank"}, {"browserContextId", contextId_}}, {},
        kCommandTime);
    targetId_ = StringOf(target.result, "targetId");
    if (!target.ok || targetId_.empty()) {
        error = "no page: " + target.error;
        return false;
    }
    const CdpReply attached = session_.Call(
        "Target.attachToTarget", {{"targetId", targetId_}, {"flatten", true}}, {}, kCommandTime);
    sessionId_ = StringOf(attached.result, "sessionId");
    if (!attached.ok || sessionId_.empty()) {
        error = "cannot attach to the page: " + attached.error;
        return false;
    }
    return true;
}

CaptureOutcome PageCapture::Run(const UpdateJob& job, CaptureFiles& files)
{
    CaptureOutcome outcome;
    outcome.screenshotWanted = job.screenshot;
    outcome.thumbnailWanted = job.thumbnail;
    proxyUser_ = job.proxyUser;
    proxyPassword_ = job.proxyPassword;
    credentials_ = !config_.proxyServer.empty() && (!proxyUser_.empty() || !proxyPassword_.empty());

    if (!config_.proxyError.empty()) {
        error_ = "proxy settings: " + config_.proxyError;
        return outcome;
    }
    const bool sizeUsable = job.width >= 100 && job.width <= 8192 && job.height >= 100 &&
                            job.height <= 8192;
    const int width = sizeUsable ? job.width : kDefaultWidth;
    const int height = sizeUsable ? job.height : kDefaultHeight;

    try {
        if (!OpenPage(error_))
            return outcome;
        Trace("open");

        if (!SetUpPage(width, height))
            return outcome;
        Trace("setup");
        loadDeadline_ = Clock::now() + config_.loadLimit;
        if (!Navigate(job.url, outcome))
            return outcome;
        Trace("navigate");
        outcome.loadFinished = WaitForLoad();
        Trace("load");
        if (crashed_) {
            error_ = "the page crashed the browser's renderer";
            outcome.loaded = false;
            return outcome;
        }
        if (!outcome.loadFinished) {
            // Whatever has come by now is what gets captured.
            session_.Call("Page.stopLoading", kNoParams, sessionId_, kStopLoadingTime);
        }

        const auto document = documents_.find(loaderId_);
        if (document != documents_.end())
            FillFromResponse(document->second, outcome);
        const std::string pageUrl = document != documents_.end() && !document->second.url.empty()
                                        ? document->second.url
                                        : job.url;

        bool contentOk = false;
        bool stuck = false;
        const PageContent content = ReadContent(contentOk, stuck);
        Trace("script");
        if (contentOk) {
            outcome.title = content.title;
            outcome.description = content.description;
            outcome.keywords = content.keywords;
            if (!content.charset.empty())
                outcome.charset = content.charset;
            if (outcome.contentType.empty())
                outcome.contentType = content.contentType;
            files.Write(CaptureFile::Text, content.text);
            files.Write(CaptureFile::Digest, BuildDigest(content));
            dataHanded_.push_back(CaptureFile::Text);
            dataHanded_.push_back(CaptureFile::Digest);
        } else {
            dataFailed_ = true;
        }
        if (document != documents_.end()) {
            files.Write(CaptureFile::Headers, HeadersText(document->second));
            dataHanded_.push_back(CaptureFile::Headers);
        }

        // The body is asked for now and collected after the screenshots, so
        // that the two overlap. The renderer hands it out: a busy one will not.
        const int bodyId = session_.Send("Network.getResponseBody", {{"requestId", loaderId_}}, sessionId_);
        const auto bodyDeadline = Clock::now() + (stuck ? kStuckBodyTime : kBodyTime);
        // A page whose scripts keep the renderer busy would not be drawn
        // either: each screenshot would only wait out its time.
        if (!stuck)
            TakeScreenshots(job, width, height, files);
        Trace("screenshots");
        SaveDocument(bodyId, bodyDeadline, contentOk && !stuck, outcome, files);

        // Behind a proxy that refused our credentials every further request
        // would only wait to be refused too.
        if (outcome.status != 407)
            FetchIcon(content, pageUrl, files);
        Trace("icon");
    } catch (const LinkBroken& broken) {
        // The browser went away mid-job: what was captured so far stands.
        error_ = "browser link lost: " + broken.reason;
        linkLost_ = true;
    }
    return outcome;
}

bool PageCapture::SetUpPage(int width, int height)
{
    // Sent together, answered together.
    std::vector<int> setup;
    setup.push_back(session_.Send("Page.enable", kNoParams, sessionId_));
    setup.push_back(session_.Send(
        "Network.enable",
        {{"maxResourceBufferSize", kResourceBuffer}, {"maxTotalBufferSize", kTotalBuffer}},
        sessionId_));
    setup.push_back(session_.Send("Page.setLifecycleEventsEnabled", {{"enabled", true}}, sessionId_));
    setup.push_back(session_.Send(
        "Emulation.setDeviceMetricsOverride",
        {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}},
        sessionId_));
    if (credentials_)
        setup.push_back(session_.Send(
            "Fetch.enable",
            {{"handleAuthRequests", true}, {"patterns", Json::array({{{"urlPattern", "*"}}})}},
            sessionId_));
    const auto deadline = Clock::now() + kCommandTime;
    for (const int id : setup) {
        const CdpReply reply = session_.Wait(id, deadline);
        if (!reply.ok) {
            error_ = "page set-up failed: " + reply.error;
            return false;
        }
    }
    return true;
}

bool PageCapture::Navigate(const std::string& url, CaptureOutcome& outcome)
{
    const CdpReply reply =
        session_.Wait(session_.Send("Page.navigate", {{"url", url}}, sessionId_), loadDeadline_);
    if (!reply.ok) {
        error_ = reply.timedOut ? "no answer from the server in time" : "cannot load: " + reply.error;
        if (reply.timedOut)
            session_.Call("Page.stopLoading", kNoParams, sessionId_, kStopLoadingTime);
        return false;
    }
    loaderId_ = StringOf(reply.result, "loaderId");
    frameId_ = StringOf(reply.result, "frameId");
    const std::string errorText = StringOf(reply.result, "errorText");
    if (const auto document = documents_.find(loaderId_); document != documents_.end())
        FillFromResponse(document->second, outcome);
    if (!errorText.empty() || Member(reply.result, "isDownload") == true) {
        error_ = "cannot load: " + (errorText.empty() ? std::string("a download") : errorText);
        return false;
    }
    if (frameId_.empty()) {
        error_ = "the navigation gave no frame";
        return false;
    }
    outcome.loaded = true;
    return true;
}

bool PageCapture::WaitForLoad()
{
    const std::optional<Json> event = session_.WaitEvent(
        [this](const Json& e) {
            const std::string method = StringOf(e, "method");
            if (method == "Inspector.targetCrashed" || method == "Target.detachedFromTarget")
                return true;
            const Json& params = Member(e, "params");
            return method == "Page.lifecycleEvent" && StringOf(params, "name") == "load" &&
                   StringOf(params, "frameId") == frameId_ &&
                   StringOf(params, "loaderId") == loaderId_;
        },
        loadDeadline_);
    return event && StringOf(*event, "method") == "Page.lifecycleEvent";
}

PageContent PageCapture::ReadContent(bool& ok, bool& stuck)
{
    ok = false;
    stuck = false;
    // Twice at most: a page that navigates itself right after loading takes
    // the first world with it.
    for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
        const CdpReply world = session_.Call(
            "Page.createIsolatedWorld", {{"frameId", frameId_}, {"worldName", "orvex-capture"}},
            sessionId_, kWorldTime);
        if (world.timedOut) {
            stuck = true;
            break;
        }
        if (!world.ok)
            continue;
        const CdpReply reply = session_.Call(
            "Runtime.evaluate",
            {{"expression", PageScript()},
             {"contextId", NumberOf(world.result, "executionContextId", 0)},
             {"awaitPromise", true},
             {"returnByValue", true}},
            sessionId_, kScriptTime);
        if (reply.timedOut) {
            stuck = true;
            break;
        }
        if (!reply.ok || Member(reply.result, "exceptionDetails").is_object())
            continue;
        ok = true;
        worldId_ = NumberOf(world.result, "executionContextId", 0);
        return ParsePageContent(Member(Member(reply.result, "result"), "value"));
    }
    return {};
}

void PageCapture::TakeScreenshots(const UpdateJob& job, int width, int height, CaptureFiles& files)
{
    if (job.thumbnail) {
        // The first screen, scaled by the browser and encoded as JPEG there.
        const Json params = {{"format", "jpeg"},
                             {"quality", kThumbnailQuality},
                             {"clip",
                              {{"x", 0},
                               {"y", 0},
                               {"width", width},
                               {"height", height},
                               {"scale", static_cast<double>(kThumbnailWidth) / width}}}};
        CaptureImage(params, CaptureFile::Thumbnail, files);
    }
    if (job.screenshot) {
        const CdpReply metrics = session_.Call("Page.getLayoutMetrics", kNoParams, sessionId_, kCommandTime);
        const Json& size = Member(metrics.result, "cssContentSize");
        double contentHeight = height;
        if (Member(size, "height").is_number())
            contentHeight = Member(size, "height").get<double>();
        const int shotHeight = std::clamp(static_cast<int>(std::ceil(contentHeight)), height,
                                          kMaxScreenshotHeight);
        const Json params = {{"format", "png"},
                             {"optimizeForSpeed", true},
                             {"captureBeyondViewport", true},
                             {"clip",
                              {{"x", 0}, {"y", 0}, {"width", width}, {"height", shotHeight}, {"scale", 1}}}};
        CaptureImage(params, CaptureFile::Screenshot, files);
    }
}

void PageCapture::SaveDocument(int bodyId, Clock::time_point deadline, bool rendererUsable,
                               CaptureOutcome& outcome, CaptureFiles& files)
{
    CdpReply body = session_.Wait(bodyId, deadline);
    long long bodySize = -1;
    if (body.ok && Member(body.result, "body").is_string()) {
        std::string& text = body.result["body"].get_ref<std::string&>();
        if (Member(body.result, "base64Encoded") == true) {
            std::size_t padding = 0;
            while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
                ++padding;
            bodySize = static_cast<long long>((text.size() + 3) / 4 * 3) - static_cast<long long>(padding);
            files.WriteBase64(CaptureFile::Html, std::move(text));
        } else {
            bodySize = static_cast<long long>(text.size());
            files.Write(CaptureFile::Html, std::move(text));
        }
        dataHanded_.push_back(CaptureFile::Html);
    } else if (rendererUsable) {
        // No network body (a page that never finished, or one not from the
        // network): the document as it stands is the next best.
        const CdpReply markup = session_.Call(
            "Runtime.evaluate",
            {{"expression", "document.documentElement ? document.documentElement.outerHTML : ''"},
             {"returnByValue", true}},
            sessionId_, kCommandTime);
        const Json& value = Member(Member(markup.result, "result"), "value");
        if (markup.ok && value.is_string()) {
            files.Write(CaptureFile::Html, value.get<std::string>());
            dataHanded_.push_back(CaptureFile::Html);
        } else {
            dataFailed_ = true;
        }
    } else {
        dataFailed_ = true;
    }
    if (outcome.contentLength < 0) {
        // No header gave it: the bytes that came.
        const auto received = documentBytes_.find(loaderId_);
        if (received != documentBytes_.end() && received->second > 0)
            outcome.contentLength = received->second;
        else if (bodySize >= 0)
            outcome.contentLength = bodySize;
    }
}

bool PageCapture::CaptureImage(const Json& params, CaptureFile file, CaptureFiles& files)
{
    // The first capture right after loading now and then fails: once more.
    // A capture that timed out is not tried again; it would only wait again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        CdpReply shot = session_.Call("Page.captureScreenshot", params, sessionId_, kScreenshotTime);
        if (shot.ok && Member(shot.result, "data").is_string()) {
            files.WriteBase64(file, std::move(shot.result["data"].get_ref<std::string&>()));
            return true;
        }
        if (shot.timedOut)
            break;
    }
    return false;
}

void PageCapture::FetchIcon(const PageContent& content, const std::string& pageUrl,
                            CaptureFiles& files)
{
    iconDeclared_ = !content.icons.empty();
    std::vector<std::string> candidates;
    for (const std::string& icon : content.icons)
        if (candidates.size() < kMaxIconTries - 1 &&
            std::find(candidates.begin(), candidates.end(), icon) == candidates.end())
            candidates.push_back(icon);
    if (const std::string origin = OriginOf(pageUrl); !origin.empty()) {
        const std::string favicon = origin + "/favicon.ico";
        if (std::find(candidates.begin(), candidates.end(), favicon) == candidates.end())
            candidates.push_back(favicon);
    }
    const auto deadline = Clock::now() + kIconTotalTime;
    std::optional<std::string> foreign; // the first icon only the browser can read
    for (const std::string& candidate : candidates) {
        if (Clock::now() >= deadline)
            break;
        std::optional<std::string> bytes = FetchBytes(candidate);
        if (!bytes)
            continue;
        if (std::optional<std::string> icon = MakeIconFile(*bytes)) {
            files.Write(CaptureFile::Icon, std::move(*icon));
            iconMade_ = true;
            return;
        }
        if (!foreign)
            foreign = std::move(bytes);
    }
    // An SVG (or WebP, AVIF) icon: the page's renderer draws it for us.
    if (foreign && Clock::now() < deadline) {
        if (const std::optional<std::string> png = DrawInPage(*foreign)) {
            if (std::optional<std::string> icon = MakeIconFile(*png)) {
                files.Write(CaptureFile::Icon, std::move(*icon));
                iconMade_ = true;
            }
        }
    }
}

std::optional<std::string> PageCapture::DrawInPage(const std::string& bytes)
{
    if (worldId_ == 0)
        return std::nullopt;
    const std::string head = Lower(bytes.substr(0, 1024));
    const char* type = head.find("<svg") != std::string::npos ? "image/svg+xml" : "image/png";
    // A data: address never taints the canvas, so its pixels can be read.
    const std::string expression =
        "(async () => {"
        "  const image = new Image();"
        "  image.src = 'data:" + std::string(type) + ";base64," + EncodeBase64(bytes) + "';"
        "  const timeout = new Promise((_, reject) => setTimeout(reject, 2000));"
        "  await Promise.race([image.decode(), timeout]);"
        "  const canvas = document.createElement('canvas');"
        "  canvas.width = canvas.height = 32;"
        "  canvas.getContext('2d').drawImage(image, 0, 0, 32, 32);"
        "  return canvas.toDataURL('image/png');"
        "})()";
    const CdpReply reply = session_.Call(
        "Runtime.evaluate",
        {{"expression", expression}, {"contextId", worldId_}, {"awaitPromise", true}, {"returnByValue", true}},
        sessionId_, kIconTime);
    const std::string url = StringOf(Member(reply.result, "result"), "value");
    if (!reply.ok || Member(reply.result, "exceptionDetails").is_object() ||
        Lower(url.substr(0, 22)) != "data:image/png;base64,")
        return std::nullopt;
    return DecodeBase64(std::string_view(url).substr(22));
}

std::optional<std::string> PageCapture::FetchBytes(const std::string& url)
{
    if (Lower(url.substr(0, 5)) == "data:")
        return DataUrlBytes(url);
    if (!IsWebAddress(url))
        return std::nullopt;
    const auto deadline = Clock::now() + kIconTime;
    const CdpReply loaded = session_.Wait(
        session_.Send("Network.loadNetworkResource",
                      {{"frameId", frameId_},
                       {"url", url},
                       {"options", {{"disableCache", false}, {"includeCredentials", true}}}},
                      sessionId_),
        deadline);
    const Json& resource = Member(loaded.result, "resource");
    const std::string stream = StringOf(resource, "stream");
    const long long status = NumberOf(resource, "httpStatusCode", 0);
    std::optional<std::string> bytes;
    if (loaded.ok && Member(resource, "success") == true && status >= 200 && status < 300 &&
        !stream.empty()) {
        std::string data;
        for (;;) {
            const CdpReply chunk = session_.Wait(
                session_.Send("IO.read", {{"handle", stream}, {"size", 256 * 1024}}, sessionId_),
                deadline);
            if (!chunk.ok)
                break;
            const std::string piece = StringOf(chunk.result, "data");
            if (Member(chunk.result, "base64Encoded") == true) {
                const std::optional<std::string> decoded = DecodeBase64(piece);
                if (!decoded)
                    break;
                data += *decoded;
            } else {
                data += piece;
            }
            if (data.size() > kMaxIconBytes)
                break;
            if (Member(chunk.result, "eof") == true) {
                bytes = std::move(data);
                break;
            }
        }
    }
    if (!stream.empty())
        session_.Send("IO.close", {{"handle", stream}}, sessionId_, false);
    return bytes;
}

std::string PageCapture::HeadersText(const Response& response) const
{
    const auto raw = rawHeaders_.find(loaderId_);
    const auto rawStatus = rawStatus_.find(loaderId_);
    if (raw != rawHeaders_.end() && !raw->second.empty() && rawStatus != rawStatus_.end() &&
        rawStatus->second == response.status) {
        std::string text = raw->second;
        if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)
            text += "\r\n";
        return text;
    }
    // No raw text (HTTP/2 and later have none): rebuilt from what was parsed.
    std::string protocol = response.protocol;
    for (char& c : protocol)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (protocol.empty() || protocol == "H2")
        protocol = protocol.empty() ? "HTTP/1.1" : "HTTP/2";
    else if (protocol == "H3")
        protocol = "HTTP/3";
    std::string text = protocol + " " + std::to_string(response.status);
    if (!response.statusText.empty())
        text += " " + response.statusText;
    text += "\r\n";
    if (response.headers.is_object()) {
        for (const auto& [name, value] : response.headers.items()) {
            if (!value.is_string())
                continue;
            const std::string& values = value.get_ref<const std::string&>();
            std::size_t start = 0;
            while (start <= values.size()) {
                const std::size_t end = std::min(values.find('\n', start), values.size());
                text += name + ": " + values.substr(start, end - start) + "\r\n";
                start = end + 1;
            }
        }
    }
    return text + "\r\n";
}

void PageCapture::FillFromResponse(const Response& response, CaptureOutcome& outcome) const
{
    outcome.status = response.status;
    outcome.contentType = response.mimeType;
    if (outcome.charset.empty())
        outcome.charset = response.charset;
    if (const auto length = ContentLengthOf(HeaderValue(response.headers, "content-length")))
        outcome.contentLength = *length;
    outcome.lastModified = HttpDateAsLocalText(HeaderValue(response.headers, "last-modified"));
}

void PageCapture::Finish()
{
    if (linkLost_)
        return;
    const auto deadline = Clock::now() + kCleanupTime;
    try {
        bool cleared = true;
        if (slotContext_ && !sessionId_.empty()) {
            // Nothing of this job may reach the slot's next one: cookies and
            // the storage of every site the page touched.
            // Storage written by the page's script may still be on its way to
            // the browser; clearing it in the page first makes sure it goes.
            session_.Wait(
                session_.Send("Runtime.evaluate",
                              {{"expression", "try { localStorage.clear(); sessionStorage.clear(); } "
                                              "catch (e) {}"}},
                              sessionId_),
                deadline);
            std::vector<int> sent;
            for (const std::string& origin : origins_)
                sent.push_back(session_.Send("Storage.clearDataForOrigin",
                                             {{"origin", origin}, {"storageTypes", "all"}},
                                             sessionId_));
            sent.push_back(session_.Send("Storage.clearCookies", {{"browserContextId", contextId_}}));
            for (const int id : sent)
                if (!session_.Wait(id, deadline).ok)
                    cleared = false;
        }
        if (!targetId_.empty())
            session_.Wait(session_.Send("Target.closeTarget", {{"targetId", targetId_}}), deadline);
        if (slotContext_ && cleared)
            session_.Wait(session_.Send("Orvex.contextClean", kNoParams), deadline);
        else if (!slotContext_ && shared_ && !contextId_.empty())
            session_.Wait(session_.Send("Target.disposeBrowserContext",
                                        {{"browserContextId", contextId_}}),
                          deadline);
        // A browser of our own goes with the worker: its context needs no care.
        Trace("close");
    } catch (const LinkBroken&) {
        // The host tidies up after a worker that went away.
    }
}

} // namespace orvex::oxupdate
