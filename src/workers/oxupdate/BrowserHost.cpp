#include "BrowserHost.h"

#include "update/AbstractSocket.h"
#include "CdpRelay.h"
#include "ChromiumProcess.h"
#include "NulFramer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex::oxupdate {

namespace {

using Clock = std::chrono::steady_clock;

// Replies from the browser may carry full-page screenshots: allow far more
// than a client may send.
constexpr std::size_t kBrowserMessageLimit = 512u * 1024u * 1024u;
// A client that stops reading while this much waits for it is dropped rather
// than letting the host's memory grow without bound.
constexpr std::size_t kClientBacklogLimit = 768u * 1024u * 1024u;
constexpr int kDefaultIdleSeconds = 120;

void SetNonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

struct Outbox
{
    std::string bytes;
    std::size_t sent = 0;
    std::size_t Waiting() const { return bytes.size() - sent; }
    void Add(const std::string& message)
    {
        if (sent > 0 && sent * 2 >= bytes.size()) {
            bytes.erase(0, sent);
            sent = 0;
        }
        bytes.append(message);
        bytes.push_back('\0');
    }
    // False when the peer is gone.
    bool Flush(int fd, bool socket)
    {
        while (Waiting() > 0) {
            const ssize_t n =
                socket ? send(fd, bytes.data() + sent, Waiting(), MSG_NOSIGNAL | MSG_DONTWAIT)
                       : write(fd, bytes.data() + sent, Waiting());
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return true;
            } else {
                return false;
            }
        }
        bytes.clear();
        sent = 0;
        return true;
    }
};

struct Client
{
    int fd = -1;
    NulFramer framer;
    Outbox out;
};

class Host
{
public:
    Host(const std::string& name, const BrowserOptions& options) : m_name(name), m_options(options)
    {
    }

    int Run();

private:
    bool StartBrowser(std::string& error);
    void BrowserDied(const char* why);
    void Accept();
    void ReadBrowser();
    void ReadClient(ClientId id);
    void Dispatch(std::vector<Delivery> deliveries);
    void DropClient(ClientId id);
    bool SignalPending();
    void Shutdown();

    std::string m_name;
    BrowserOptions m_options;
    int m_listen = -1;
    int m_signals = -1;
    bool m_stop = false;
    std::unique_ptr<ChromiumProcess> m_browser;
    NulFramer m_browserFramer{kBrowserMessageLimit};
    Outbox m_browserOut;
    std::map<ClientId, Client> m_clients;
    std::vector<ClientId> m_dropLater;
    ClientId m_nextClient = 1;
    CdpRelay m_relay;
    Clock::time_point m_lastActivity = Clock::now();
    std::vector<char> m_buffer = std::vector<char>(1 << 20);
};

bool Host::SignalPending()
{
    signalfd_siginfo info;
    while (read(m_signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        m_stop = true;
    return m_stop;
}

bool Host::StartBrowser(std::string& error)
{
    ChromiumProcess::StartOptions start;
    start.cancel = [this] { return SignalPending(); };
    m_browser = ChromiumProcess::Start(m_options, start, error);
    if (!m_browser)
        return false;
    SetNonBlocking(m_browser->readFd());
    SetNonBlocking(m_browser->writeFd());
    m_browserFramer = NulFramer(kBrowserMessageLimit);
    m_browserOut = Outbox{};
    return true;
}

void Host::BrowserDied(const char* why)
{
    std::fprintf(stderr, "oxupdate browser host: the browser %s; dropping %zu client(s)\n", why,
                 m_clients.size());
    if (m_browser)
        m_browser->Close(0);
    m_browser.reset();
    m_relay.BrowserGone();
    for (auto& [id, client] : m_clients)
        close(client.fd);
    m_clients.clear();
    m_browserOut = Outbox{};
}

void Host::Accept()
{
    while (true) {
        const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        m_lastActivity = Clock::now();
        if (!m_browser) {
            std::string error;
            if (!StartBrowser(error)) {
                // The client notices the hang-up and starts a browser of its own.
                std::fprintf(stderr, "oxupdate browser host: %s\n", error.c_str());
                close(fd);
                if (m_stop)
                    return;
                continue;
            }
        }
        const ClientId id = m_nextClient++;
        m_clients[id].fd = fd;
        m_relay.ClientConnected(id);
    }
}

void Host::Dispatch(std::vector<Delivery> deliveries)
{
    for (Delivery& d : deliveries) {
        if (d.to == kToBrowser) {
            if (m_browser)
                m_browserOut.Add(d.text);
            continue;
        }
        const auto it = m_clients.find(d.to);
        if (it == m_clients.end())
            continue;
        it->second.out.Add(d.text);
        if (!it->second.out.Flush(it->second.fd, true) ||
            it->second.out.Waiting() > kClientBacklogLimit)
            m_dropLater.push_back(d.to);
    }
    if (m_browser && !m_browserOut.Flush(m_browser->writeFd(), false))
        BrowserDied("stopped reading its commands");
}

void Host::DropClient(ClientId id)
{
    const auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    close(it->second.fd);
    m_clients.erase(it);
    Dispatch(m_relay.ClientGone(id));
}

void Host::ReadBrowser()
{
    while (m_browser) {
        const ssize_t n = read(m_browser->readFd(), m_buffer.data(), m_buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            BrowserDied("ended");
            return;
        }
        m_browserFramer.Feed(m_buffer.data(), static_cast<std::size_t>(n));
        while (auto message = m_browserFramer.Next()) {
            Dispatch(m_relay.FromBrowser(*message));
            if (!m_browser)
                return;
        }
        if (m_browserFramer.Broken()) {
            BrowserDied("sent an oversized message");
            return;
        }
        if (static_cast<std::size_t>(n) < m_buffer.size())
            return;
    }
}

void Host::ReadClient(ClientId id)
{
    while (true) {
        const auto it = m_clients.find(id);
        if (it == m_clients.end())
            return;
        const ssize_t n = read(it->second.fd, m_buffer.data(), m_buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            DropClient(id);
            return;
        }
        m_lastActivity = Clock::now();
        it->second.framer.Feed(m_buffer.data(), static_cast<std::size_t>(n));
        while (true) {
            const auto again = m_clients.find(id);
            if (again == m_clients.end())
                return;
            auto message = again->second.framer.Next();
            if (!message)
                break;
            Dispatch(m_relay.FromClient(id, *message));
            if (!m_browser)
                return; // it died while we wrote to it; every client is gone
        }
        const auto again = m_clients.find(id);
        if (again == m_clients.end())
            return;
        if (again->second.framer.Broken()) {
            std::fprintf(stderr, "oxupdate browser host: dropping a client that sent an "
                                 "oversized message\n");
            DropClient(id);
            return;
        }
        if (static_cast<std::size_t>(n) < m_buffer.size())
            return;
    }
}

void Host::Shutdown()
{
    if (m_listen >= 0)
        close(m_listen);
    m_listen = -1;
    for (auto& [id, client] : m_clients)
        close(client.fd);
    m_clients.clear();
    if (m_browser)
        m_browser->Close();
    m_browser.reset();
    if (m_signals >= 0)
        close(m_signals);
    m_signals = -1;
}

int Host::Run()
{
    // Block the ending signals and read them from a descriptor, so that they
    // are handled between two messages, never in the middle of one.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGHUP);
    sigprocmask(SIG_BLOCK, &ending, nullptr);
    m_signals = signalfd(-1, &ending, SFD_CLOEXEC | SFD_NONBLOCK);
    signal(SIGPIPE, SIG_IGN);
    // The launcher's death ends the run: treat it as a SIGTERM.
    const pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        m_stop = true;

    int idleSeconds = kDefaultIdleSeconds;
    if (const char* idle = std::getenv("ORVEX_HOST_IDLE_SECONDS")) {
        const int value = std::atoi(idle);
        if (value > 0)
            idleSeconds = value;
    }

    std::string error;
    // Listen first: workers that connect while the browser starts wait in
    // the queue instead of starting browsers of their own.
    m_listen = ListenAbstractSocket(m_name, error);
    if (m_listen < 0) {
        std::fprintf(stderr, "oxupdate browser host: %s\n", error.c_str());
        Shutdown();
        return 1;
    }
    if (!m_stop && !StartBrowser(error)) {
        std::fprintf(stderr, "oxupdate browser host: %s\n", error.c_str());
        Shutdown();
        return m_stop ? 0 : 1;
    }
    if (m_browser)
        std::fprintf(stderr, "oxupdate browser host: @%s ready, %s, scratch %s\n", m_name.c_str(),
                     m_browser->version().c_str(), m_browser->scratchDir().c_str());
    m_lastActivity = Clock::now();

    std::vector<pollfd> fds;
    std::vector<ClientId> ids;
    while (!m_stop) {
        fds.clear();
        ids.clear();
        fds.push_back({m_signals, POLLIN, 0});
        fds.push_back({m_listen, POLLIN, 0});
        const int browserRead = m_browser ? m_browser->readFd() : -1;
        fds.push_back({browserRead, POLLIN, 0});
        fds.push_back(
            {m_browser && m_browserOut.Waiting() ? m_browser->writeFd() : -1, POLLOUT, 0});
        for (auto& [id, client] : m_clients) {
            ids.push_back(id);
            fds.push_back(
                {client.fd, static_cast<short>(POLLIN | (client.out.Waiting() ? POLLOUT : 0)), 0});
        }
        const int ready = poll(fds.data(), fds.size(), 1000);
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "oxupdate browser host: poll: %s\n", std::strerror(errno));
            break;
        }
        if (fds[0].revents && SignalPending())
            break;
        if (m_browser && (fds[2].revents & (POLLIN | POLLHUP | POLLERR)))
            ReadBrowser();
        if (m_browser && (fds[3].revents & (POLLOUT | POLLERR)) &&
            !m_browserOut.Flush(m_browser->writeFd(), false))
            BrowserDied("stopped reading its commands");
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const short revents = fds[4 + i].revents;
            if (!revents)
                continue;
            const auto it = m_clients.find(ids[i]);
            if (it == m_clients.end())
                continue;
            if ((revents & POLLOUT) && !it->second.out.Flush(it->second.fd, true)) {
                DropClient(ids[i]);
                continue;
            }
            if (revents & (POLLIN | POLLHUP | POLLERR))
                ReadClient(ids[i]);
        }
        while (!m_dropLater.empty()) {
            const ClientId id = m_dropLater.back();
            m_dropLater.pop_back();
            DropClient(id);
        }
        if (fds[1].revents & POLLIN)
            Accept();
        if (m_browser && m_browser->Exited())
            BrowserDied("ended");
        if (m_clients.empty() &&
            Clock::now() - m_lastActivity >= std::chrono::seconds(idleSeconds)) {
            std::fprintf(stderr, "oxupdate browser host: no client for %d s, ending\n",
                         idleSeconds);
            break;
        }
    }
    Shutdown();
    return 0;
}

} // namespace

int RunBrowserHost(const std::string& socketName, const BrowserOptions& options)
{
    Host host(socketName, options);
    return host.Run();
}

} // namespace orvex::oxupdate
