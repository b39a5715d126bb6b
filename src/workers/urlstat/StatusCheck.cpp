#include "StatusCheck.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace orvex::urlstat {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long one wait may last before the stop flag and the deadline are
// looked at again, should a wake-up be missed.
constexpr int kPollMs = 200;
// Grace beyond libcurl's own time limit before the loop gives up by itself.
constexpr milliseconds kDeadlineGrace{1000};

struct EasyDeleter
{
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter
{
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct UrlDeleter
{
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

struct Attempt
{
    CURLcode code = CURLE_OK;
    long status = 0;
    bool stopped = false;
    std::string error;
};

struct HeaderState
{
    CURL* easy = nullptr;
    long status = 0;
};

// The body is never needed: once the headers of a final (not 1xx) response
// are complete the transfer is ended, for GET as for HEAD. A 407 is let
// through, as libcurl may answer the proxy's challenge with the credentials
// and get another response; should it not, the 407 stays the status.
size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* state = static_cast<HeaderState*>(user);
    const std::string_view line(data, size * count);
    if (line == "\r\n" || line == "\n") {
        long code = 0;
        curl_easy_getinfo(state->easy, CURLINFO_RESPONSE_CODE, &code);
        if (code >= 200) {
            state->status = code;
            if (code != 407)
                return 0;
        }
    }
    return size * count;
}

size_t OnBody(char*, size_t, size_t, void*)
{
    return 0;
}

void Configure(CURL* easy, const std::string& url, const std::optional<ProxyTarget>& proxy,
               bool head, milliseconds connect, milliseconds total, HeaderState& headers,
               char* errorBuffer)
{
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    if (head)
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    else
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &headers);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect.count()));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(total.count()));
    // Signals belong to main(); libcurl must neither install handlers nor
    // use alarm() for name lookups.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Mozilla/5.0 (compatible; Orvex URL checker)");
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);

    // An empty proxy text keeps libcurl from taking one from http_proxy and
    // friends; an empty no-proxy list keeps no_proxy from sending loopback
    // or any other host around the proxy the user chose.
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy ? proxy->server.c_str() : "");
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    if (proxy) {
        if (proxy->port > 0)
            curl_easy_setopt(easy, CURLOPT_PROXYPORT, proxy->port);
        if (!proxy->user.empty() || !proxy->password.empty()) {
            curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, proxy->user.c_str());
            curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, proxy->password.c_str());
            curl_easy_setopt(easy, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
        }
        curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    }
}

Attempt Perform(const std::string& url, const std::optional<ProxyTarget>& proxy, bool head,
                milliseconds connectLimit, Clock::time_point deadline,
                const volatile std::sig_atomic_t& stop, int wakeFd)
{
    Attempt attempt;
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left <= milliseconds(0)) {
        attempt.code = CURLE_OPERATION_TIMEDOUT;
        attempt.error = "time limit reached";
        return attempt;
    }

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        attempt.code = CURLE_FAILED_INIT;
        attempt.error = "cannot set up a request";
        return attempt;
    }
    char errorBuffer[CURL_ERROR_SIZE] = {};
    HeaderState headers{easy.get()};
    Configure(easy.get(), url, proxy, head, std::min(connectLimit, left), left, headers,
              errorBuffer);

    curl_multi_add_handle(multi.get(), easy.get());
    attempt.code = CURLE_OPERATION_TIMEDOUT;
    attempt.error = "time limit reached";
    for (int running = 1; !stop;) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            attempt.code = CURLE_FAILED_INIT;
            attempt.error = "request failed";
            break;
        }
        if (running == 0) {
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
                if (message->msg == CURLMSG_DONE)
                    attempt.code = message->data.result;
            }
            attempt.error = errorBuffer[0] ? errorBuffer : curl_easy_strerror(attempt.code);
            break;
        }
        if (Clock::now() > deadline + kDeadlineGrace)
            break;
        curl_waitfd wake{wakeFd, CURL_WAIT_POLLIN, 0};
        curl_multi_poll(multi.get(), &wake, wakeFd >= 0 ? 1 : 0, kPollMs, nullptr);
    }
    attempt.stopped = stop != 0;
    attempt.status = headers.status;
    if (attempt.status == 0 && proxy) {
        // A proxy refusing the tunnel of an https URL (407, 403, ...) answers
        // for the URL as far as the user can tell.
        long connectCode = 0;
        curl_easy_getinfo(easy.get(), CURLINFO_HTTP_CONNECTCODE, &connectCode);
        if (connectCode >= 300)
            attempt.status = connectCode;
    }
    curl_multi_remove_handle(multi.get(), easy.get());
    return attempt;
}

// Servers that do not implement HEAD answer 405 or 501, or just hang up.
bool HeadRefused(const Attempt& head)
{
    if (head.status == 405 || head.status == 501)
        return true;
    return head.status == 0 && (head.code == CURLE_GOT_NOTHING || head.code == CURLE_RECV_ERROR);
}

} // namespace

bool IsCheckableUrl(const std::string& url)
{
    std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return false;
    char* scheme = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK)
        return false;
    const std::string_view name(scheme);
    const bool known = name == "http" || name == "https";
    curl_free(scheme);
    return known;
}

CheckResult CheckUrlStatus(const std::string& url, const std::optional<ProxyTarget>& proxy,
                           const CheckLimits& limits, const volatile std::sig_atomic_t& stop,
                           int wakeFd)
{
    CheckResult result;
    if (!IsCheckableUrl(url)) {
        result.reason = "not an http or https URL: " + url;
        return result;
    }
    const Clock::time_point deadline = Clock::now() + limits.total;

    const Attempt head = Perform(url, proxy, true, limits.connect, deadline, stop, wakeFd);
    if (head.stopped) {
        result.stopped = true;
        return result;
    }
    if (!HeadRefused(head)) {
        if (head.status > 0)
            result.status = head.status;
        else
            result.reason = head.error;
        return result;
    }

    const Attempt get = Perform(url, proxy, false, limits.connect, deadline, stop, wakeFd);
    if (get.stopped) {
        result.stopped = true;
        return result;
    }
    // A server that refused HEAD with a status and then fails GET still gave
    // that status.
    if (get.status > 0)
        result.status = get.status;
    else if (head.status > 0)
        result.status = head.status;
    else
        result.reason = get.error;
    return result;
}

} // namespace orvex::urlstat
