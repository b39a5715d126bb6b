#pragma once

#include <string>

namespace orvex {

// Starts status checks in numbered slots and tells when each has ended. The
// scheduler polls it from one thread; an implementation may run the checks
// wherever it likes. A slot runs at most one check at a time.
class CheckLauncher
{
public:
    virtual ~CheckLauncher() = default;

    // Starts checking with the checker's argument. False when the check could
    // not be started: the slot then counts as ended with exit code 0.
    virtual bool Start(int slot, const std::string& token) = 0;
    // Whether the slot's check has not ended yet.
    virtual bool Running(int slot) const = 0;
    // The status of the slot's check once it has ended; 0 when there is none.
    virtual int ExitCode(int slot) const = 0;
    // Gives up on the slot's check: it is cut off, its result never read, and
    // the slot can start another check at once.
    virtual void CutOff(int slot) = 0;
};

} // namespace orvex
