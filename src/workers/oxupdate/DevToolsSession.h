#pragma once

#include "NulFramer.h"
#include "StopSource.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

namespace orvex::oxupdate {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

// The answer to one DevTools command.
struct CdpReply
{
    bool ok = false;
    Json result;       // the result object when ok
    std::string error; // why not, when not ok
    bool timedOut = false;
};

// Thrown out of any call once the browser link is gone: it hung up, failed,
// or sent something that is not a message stream.
struct LinkBroken
{
    std::string reason;
};

// A DevTools client over a pair of descriptors speaking NUL-terminated JSON
// (a browser's pipe or the shared browser host). Commands may be sent ahead
// and their replies collected later; events that arrive meanwhile go to the
// event handler and, when it does not take them, into a queue that WaitEvent
// reads. Every wait has a deadline, and the stop source is watched
// throughout: a stop throws StopRequested.
class DevToolsSession
{
public:
    using Milliseconds = std::chrono::milliseconds;

    DevToolsSession(int readFd, int writeFd, StopSource* stop);

    // Sends a command and returns its id. With wantReply false its reply is
    // dropped unread (commands sent from the event handler).
    int Send(std::string_view method, const Json& params = Json::object(),
             const std::string& sessionId = {}, bool wantReply = true);
    // Waits for the reply to a command sent before.
    CdpReply Wait(int id, Clock::time_point deadline);
    CdpReply Call(std::string_view method, const Json& params, const std::string& sessionId,
                  Milliseconds timeout);

    // Sees each event as it arrives; returning true takes it (it is not
    // queued). Events it leaves are queued for WaitEvent.
    void SetEventHandler(std::function<bool(const Json&)> handler) { handler_ = std::move(handler); }
    // The first queued or arriving event that matches, removed from the queue.
    std::optional<Json> WaitEvent(const std::function<bool(const Json&)>& match,
                                  Clock::time_point deadline);
    void DropEvents()
    {
        dropped_ += events_.size();
        events_.clear();
    }
    // Handles whatever arrives until the deadline.
    void Pump(Clock::time_point deadline);

    // Queued events are dropped oldest first beyond this many.
    static constexpr std::size_t kMaxQueuedEvents = 4096;

private:
    // Reads and dispatches what arrives, waiting until the deadline at most.
    // False when the deadline passed without anything arriving.
    bool ReadSome(Clock::time_point deadline);
    void Dispatch(std::string_view message);
    void WriteAll(std::string_view bytes, Clock::time_point deadline);
    // Polls the given descriptor and the stop source; returns the revents of
    // the descriptor (0 on time-out). Throws StopRequested.
    short PollWith(int fd, short events, Clock::time_point deadline);

    int readFd_;
    int writeFd_;
    StopSource* stop_;
    NulFramer framer_;
    int nextId_ = 1;
    std::set<int> awaiting_;
    std::unordered_map<int, CdpReply> replies_;
    std::deque<Json> events_;
    std::uint64_t dropped_ = 0; // events that left the front of the queue
    std::function<bool(const Json&)> handler_;
};

} // namespace orvex::oxupdate
