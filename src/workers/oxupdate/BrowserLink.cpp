#include "BrowserLink.h"

#include "update/AbstractSocket.h"
#include "ChromiumProcess.h"
#include "NulFramer.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex::oxupdate {

namespace {

using Clock = std::chrono::steady_clock;

// How long a host that accepted us may take to answer: it may be restarting
// its browser, which takes well under a second on an idle machine.
constexpr int kHostAnswerMs = 10000;
// How long to keep trying to connect while the host is not listening (it may
// be in the middle of a restart by the launcher).
constexpr int kHostConnectMs = 300;

class HostLink final : public BrowserLink
{
public:
    explicit HostLink(int fd) : m_fd(fd) {}
    ~HostLink() override { Close(); }
    int readFd() const override { return m_fd; }
    int writeFd() const override { return m_fd; }
    bool shared() const override { return true; }
    void Close() override
    {
        // The host cleans up after us (pages, an uncleaned context) when the
        // connection drops.
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

class OwnLink final : public BrowserLink
{
public:
    explicit OwnLink(std::unique_ptr<ChromiumProcess> browser) : m_browser(std::move(browser)) {}
    ~OwnLink() override { Close(); }
    int readFd() const override { return m_browser ? m_browser->readFd() : -1; }
    int writeFd() const override { return m_browser ? m_browser->writeFd() : -1; }
    bool shared() const override { return false; }
    void Close() override
    {
        if (m_browser)
            m_browser->Close();
        m_browser.reset();
    }

private:
    std::unique_ptr<ChromiumProcess> m_browser;
};

// Asks the host for the browser version and waits for the answer, reading one
// byte at a time so that the caller starts on a clean message boundary.
bool HostAnswers(int fd, const BrowserOptions& options, std::string& error)
{
    const std::string ask =
        NulFrame(nlohmann::json{{"id", 0}, {"method", "Browser.getVersion"}}.dump());
    std::size_t sent = 0;
    while (sent < ask.size()) {
        const ssize_t n = send(fd, ask.data() + sent, ask.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = std::string("the browser host hung up: ") + std::strerror(errno);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kHostAnswerMs);
    std::string message;
    while (Clock::now() < deadline) {
        if (options.cancel && options.cancel()) {
            error = "cancelled";
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, 50);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "the browser host hung up";
            return false;
        }
        if (c != '\0') {
            message.push_back(c);
            if (message.size() > 1024 * 1024) {
                error = "the browser host sent an oversized answer";
                return false;
            }
            continue;
        }
        const auto reply = nlohmann::json::parse(message, nullptr, false);
        message.clear();
        if (reply.is_object() && reply.contains("id") && reply["id"] == 0) {
            if (reply.contains("result"))
                return true;
            error = "the browser host refused: " + reply.dump();
            return false;
        }
    }
    error = "the browser host did not answer";
    return false;
}

} // namespace

std::unique_ptr<BrowserLink> BrowserLink::Open(const BrowserOptions& options, std::string& error)
{
    // Set before anything is written: a browser or host that vanishes must
    // show up as a failed write, not end the worker.
    signal(SIGPIPE, SIG_IGN);

    std::string hostError;
    if (!options.hostSocket.empty()) {
        const int fd = ConnectAbstractSocket(options.hostSocket, kHostConnectMs, hostError);
        if (fd >= 0) {
            if (HostAnswers(fd, options, hostError))
                return std::make_unique<HostLink>(fd);
            close(fd);
        }
        if (options.cancel && options.cancel()) {
            error = "cancelled";
            return nullptr;
        }
    }

    std::string ownError;
    ChromiumProcess::StartOptions start;
    start.cancel = options.cancel;
    if (auto browser = ChromiumProcess::Start(options, start, ownError))
        return std::make_unique<OwnLink>(std::move(browser));
    error = hostError.empty() ? ownError
                              : "shared browser: " + hostError + "; own browser: " + ownError;
    return nullptr;
}

} // namespace orvex::oxupdate
