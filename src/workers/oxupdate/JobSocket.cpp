#include "JobSocket.h"

#include "update/AbstractSocket.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex::oxupdate {

JobSocket::JobSocket(int signalFd) : signalFd_(signalFd) {}

JobSocket::~JobSocket()
{
    for (Peer& peer : peers_)
        ::close(peer.fd);
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

bool JobSocket::Listen(const std::string& name, std::string& error)
{
    listenFd_ = ListenAbstractSocket(name, error);
    return listenFd_ >= 0;
}

void JobSocket::AddPollFds(std::vector<pollfd>& fds)
{
    fds.push_back({signalFd_, POLLIN, 0});
    fds.push_back({listenFd_, POLLIN, 0});
    polledPeers_ = peers_.size();
    for (const Peer& peer : peers_)
        fds.push_back({peer.fd, POLLIN, 0});
}

bool JobSocket::Service(const std::vector<pollfd>& fds, std::size_t first)
{
    if (fds[first].revents != 0) {
        char bytes[64];
        while (::read(signalFd_, bytes, sizeof bytes) > 0) {
        }
        stopped_ = true;
    }
    // Peers first: their entries follow the listener's, and accepting may
    // add peers the descriptor list does not hold yet.
    std::vector<bool> drop(peers_.size(), false);
    for (std::size_t i = 0; i < polledPeers_ && i < peers_.size(); ++i) {
        if (fds[first + 2 + i].revents != 0 && !Read(peers_[i]))
            drop[i] = true;
    }
    for (std::size_t i = peers_.size(); i-- > 0;) {
        if (drop[i]) {
            ::close(peers_[i].fd);
            peers_.erase(peers_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    if (fds[first + 1].revents != 0)
        Accept();
    return stopped_;
}

void JobSocket::Poll()
{
    std::vector<pollfd> fds;
    AddPollFds(fds);
    if (::poll(fds.data(), fds.size(), 0) > 0)
        Service(fds, 0);
}

JobSocket::Wait JobSocket::WaitForJob(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    for (;;) {
        if (stopped_)
            return Wait::Stop;
        if (job_)
            return Wait::Job;
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return Wait::Timeout;
        std::vector<pollfd> fds;
        AddPollFds(fds);
        const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(std::min<long long>(left, 1000)));
        if (ready > 0)
            Service(fds, 0);
    }
}

std::optional<std::string> JobSocket::TakeJob()
{
    std::optional<std::string> job = std::move(job_);
    job_.reset();
    return job;
}

void JobSocket::Accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        ucred peer{};
        socklen_t size = sizeof peer;
        const bool ours = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
                          peer.uid == ::getuid();
        if (!ours || peers_.size() >= kMaxPeers) {
            ::close(fd);
            continue;
        }
        Peer added;
        added.fd = fd;
        peers_.push_back(std::move(added));
        // A peer that connected and wrote at once is read now, not at the
        // next wake-up.
        if (!Read(peers_.back())) {
            ::close(peers_.back().fd);
            peers_.pop_back();
        }
    }
}

bool JobSocket::Read(Peer& peer)
{
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(peer.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n <= 0)
            return false; // hung up (what it sent before still counts)
        peer.decoder.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        while (std::optional<UpdateMessage> message = peer.decoder.Next()) {
            if (message->id == kStopMessageId) {
                stopped_ = true;
            } else if (message->id == kJobMessageId && !jobSeen_) {
                jobSeen_ = true;
                job_ = std::move(message->data);
            }
        }
        if (peer.decoder.Broken())
            return false;
    }
    return true;
}

} // namespace orvex::oxupdate
