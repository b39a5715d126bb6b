#pragma once

#include <string>

namespace orvex {

// Starts update workers in numbered slots and gives the coordinator their
// result blocks. The coordinator calls it from one thread and never waits on
// it: starting a worker and handing it its job happen in the background.
class UpdateLauncher
{
public:
    virtual ~UpdateLauncher() = default;

    // Makes the ten result blocks, blank. False, with nothing left behind,
    // when one cannot be made.
    virtual bool CreateBlocks() = 0;
    // The slot's block of kResultBlockSize bytes, between CreateBlocks() and
    // ReleaseBlocks().
    virtual char* Block(int slot) = 0;
    virtual void ReleaseBlocks() = 0;

    // Starts a fresh worker in the slot and hands it the job text. A worker
    // that cannot be started, or does not take its job, ends: WorkerEnded()
    // then says so and the block keeps what it held.
    virtual void StartWorker(int slot, const std::string& jobText) = 0;
    // Whether the worker the slot started last has ended (true when it never
    // started, or was never asked for).
    virtual bool WorkerEnded(int slot) const = 0;
    // Asks the slot's worker to stop; nothing happens when none runs.
    virtual void SendStop(int slot) = 0;

    // Every worker still running is ended, and anything kept up for the run
    // (the shared browser) goes with them. The next StartWorker begins anew.
    virtual void EndRun() = 0;
};

} // namespace orvex
