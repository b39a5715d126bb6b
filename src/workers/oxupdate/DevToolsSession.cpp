#include "DevToolsSession.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace orvex::oxupdate {

namespace {

// Screenshots of tall pages arrive as one message of many megabytes.
constexpr std::size_t kMaxMessage = 256u * 1024u * 1024u;
constexpr std::size_t kReadChunk = 1024 * 1024;

void MakeNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

std::string ErrorText(const Json& error)
{
    if (error.is_object()) {
        const auto message = error.find("message");
        if (message != error.end() && message->is_string())
            return message->get<std::string>();
    }
    return error.dump();
}

} // namespace

DevToolsSession::DevToolsSession(int readFd, int writeFd, StopSource* stop)
    : readFd_(readFd), writeFd_(writeFd), stop_(stop), framer_(kMaxMessage)
{
    MakeNonBlocking(readFd_);
    if (writeFd_ != readFd_)
        MakeNonBlocking(writeFd_);
}

int DevToolsSession::Send(std::string_view method, const Json& params,
                          const std::string& sessionId, bool wantReply)
{
    const int id = nextId_++;
    Json message = {{"id", id}, {"method", std::string(method)}, {"params", params}};
    if (!sessionId.empty())
        message["sessionId"] = sessionId;
    if (wantReply)
        awaiting_.insert(id);
    // A command that cannot be written within this long means the browser
    // has stopped reading: the link is as good as gone.
    WriteAll(NulFrame(message.dump(-1, ' ', false, Json::error_handler_t::replace)),
             Clock::now() + std::chrono::seconds(10));
    return id;
}

CdpReply DevToolsSession::Wait(int id, Clock::time_point deadline)
{
    for (;;) {
        if (const auto it = replies_.find(id); it != replies_.end()) {
            CdpReply reply = std::move(it->second);
            replies_.erase(it);
            return reply;
        }
        if (!ReadSome(deadline) && Clock::now() >= deadline) {
            awaiting_.erase(id); // a late reply is dropped
            CdpReply reply;
            reply.timedOut = true;
            reply.error = "no reply in time";
            return reply;
        }
    }
}

CdpReply DevToolsSession::Call(std::string_view method, const Json& params,
                               const std::string& sessionId, Milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    return Wait(Send(method, params, sessionId), deadline);
}

std::optional<Json> DevToolsSession::WaitEvent(const std::function<bool(const Json&)>& match,
                                               Clock::time_point deadline)
{
    // Counted from the first event ever queued, so that events dropped off
    // the front while reading do not make us skip new ones.
    std::uint64_t scanned = dropped_;
    for (;;) {
        for (std::size_t i = static_cast<std::size_t>(scanned - dropped_); i < events_.size(); ++i) {
            if (match(events_[i])) {
                Json event = std::move(events_[i]);
                events_.erase(events_.begin() + static_cast<std::ptrdiff_t>(i));
                return event;
            }
        }
        scanned = dropped_ + events_.size();
        if (!ReadSome(deadline) && Clock::now() >= deadline)
            return std::nullopt;
        scanned = std::max(scanned, dropped_);
    }
}

void DevToolsSession::Pump(Clock::time_point deadline)
{
    while (Clock::now() < deadline)
        ReadSome(deadline);
}

bool DevToolsSession::ReadSome(Clock::time_point deadline)
{
    if (stop_ && stop_->stopped())
        throw StopRequested{};
    const short revents = PollWith(readFd_, POLLIN, deadline);
    if (revents == 0)
        return false;
    static thread_local std::vector<char> buffer(kReadChunk);
    bool got = false;
    for (;;) {
        const ssize_t n = ::read(readFd_, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n < 0)
            throw LinkBroken{std::string("reading from the browser: ") + std::strerror(errno)};
        if (n == 0)
            throw LinkBroken{"the browser hung up"};
        framer_.Feed(buffer.data(), static_cast<std::size_t>(n));
        got = true;
        if (static_cast<std::size_t>(n) < buffer.size())
            break;
    }
    while (std::optional<std::string> message = framer_.Next())
        Dispatch(*message);
    if (framer_.Broken())
        throw LinkBroken{"the browser sent an oversized message"};
    return got;
}

void DevToolsSession::Dispatch(std::string_view text)
{
    Json message = Json::parse(text, nullptr, false);
    if (!message.is_object())
        return; // not one of ours to read; never fatal
    const auto id = message.find("id");
    if (id != message.end()) {
        if (!id->is_number_integer())
            return;
        const int number = id->get<int>();
        if (awaiting_.erase(number) == 0)
            return;
        CdpReply reply;
        if (const auto result = message.find("result"); result != message.end()) {
            reply.ok = true;
            reply.result = std::move(*result);
        } else {
            const auto error = message.find("error");
            reply.error = error != message.end() ? ErrorText(*error) : "malformed reply";
        }
        replies_.emplace(number, std::move(reply));
        return;
    }
    if (!message.contains("method"))
        return;
    if (handler_ && handler_(message))
        return;
    events_.push_back(std::move(message));
    if (events_.size() > kMaxQueuedEvents) {
        events_.pop_front();
        ++dropped_;
    }
}

void DevToolsSession::WriteAll(std::string_view bytes, Clock::time_point deadline)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(writeFd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            throw LinkBroken{std::string("writing to the browser: ") + std::strerror(errno)};
        if (PollWith(writeFd_, POLLOUT, deadline) == 0 && Clock::now() >= deadline)
            throw LinkBroken{"the browser stopped reading"};
    }
}

short DevToolsSession::PollWith(int fd, short events, Clock::time_point deadline)
{
    using namespace std::chrono;
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({fd, events, 0});
        if (stop_)
            stop_->AddPollFds(fds);
        const auto left = duration_cast<milliseconds>(deadline - Clock::now()).count();
        const int ready = ::poll(fds.data(), fds.size(),
                                 static_cast<int>(std::clamp<long long>(left, 0, 1000)));
        if (ready < 0 && errno != EINTR)
            throw LinkBroken{std::string("poll: ") + std::strerror(errno)};
        if (ready > 0 && stop_ && stop_->Service(fds, 1))
            throw StopRequested{};
        if (ready > 0 && fds[0].revents != 0)
            return fds[0].revents;
        if (Clock::now() >= deadline)
            return 0;
    }
}

} // namespace orvex::oxupdate
