#pragma once

#include "StopSource.h"

#include "update/UpdateProtocol.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace orvex::oxupdate {

// The worker's end of its slot socket: a listening Unix-domain socket in the
// abstract namespace. The coordinator connects (possibly more than once) and
// sends framed messages: one job, and a stop at any time. Only peers running
// as our own user are heard: an abstract name has no file permissions to keep
// other users out.
//
// It is also the worker's stop source: a stop message, or a byte on the
// signal pipe (SIGTERM, SIGINT), ends the work.
class JobSocket : public StopSource
{
public:
    // signalFd: read end of the pipe the signal handlers write to; -1 for none.
    explicit JobSocket(int signalFd = -1);
    ~JobSocket() override;
    JobSocket(const JobSocket&) = delete;
    JobSocket& operator=(const JobSocket&) = delete;

    bool Listen(const std::string& name, std::string& error);

    void AddPollFds(std::vector<pollfd>& fds) override;
    bool Service(const std::vector<pollfd>& fds, std::size_t first) override;
    bool stopped() const override { return stopped_; }

    // Handles whatever has arrived, without waiting.
    void Poll();

    enum class Wait { Job, Stop, Timeout };
    // Until a job or a stop arrives, or the deadline passes.
    Wait WaitForJob(std::chrono::steady_clock::time_point deadline);

    // The text of the first job message; later job messages are ignored.
    std::optional<std::string> TakeJob();

private:
    struct Peer
    {
        int fd = -1;
        FrameDecoder decoder;
    };
    void Accept();
    // False when the peer is to be dropped.
    bool Read(Peer& peer);

    static constexpr std::size_t kMaxPeers = 16;

    int listenFd_ = -1;
    int signalFd_ = -1;
    std::vector<Peer> peers_;
    std::size_t polledPeers_ = 0; // peers whose descriptors the last AddPollFds gave
    std::optional<std::string> job_;
    bool jobSeen_ = false;
    bool stopped_ = false;
};

} // namespace orvex::oxupdate
