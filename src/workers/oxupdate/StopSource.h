#pragma once

#include <poll.h>

#include <cstddef>
#include <vector>

namespace orvex::oxupdate {

// Something a wait must keep an eye on because it can call the work off: the
// coordinator's stop message, SIGTERM. Every blocking wait of the worker
// polls these descriptors beside its own.
class StopSource
{
public:
    virtual ~StopSource() = default;
    // Appends the descriptors to watch.
    virtual void AddPollFds(std::vector<pollfd>& fds) = 0;
    // Handles whatever poll reported on them (they start at fds[first]);
    // true once the work is to stop.
    virtual bool Service(const std::vector<pollfd>& fds, std::size_t first) = 0;
    virtual bool stopped() const = 0;
};

// Thrown out of a wait when the stop source asks for the work to end.
struct StopRequested
{
};

} // namespace orvex::oxupdate
