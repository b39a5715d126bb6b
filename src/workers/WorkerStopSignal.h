#pragma once

#include <csignal>

namespace orvex {

// How the worker programs take SIGTERM and SIGINT: the handler notes the
// signal and writes a byte to a pipe, so that a worker waiting in poll() on
// the pipe's read end wakes at once and ends cleanly. SIGPIPE is ignored.

// Installs the handlers; returns the pipe's read end (-1 if it could not be
// made: the signal is then only noted).
int InstallWorkerStopHandlers();
// The signal received, 0 while none has come.
volatile std::sig_atomic_t& WorkerStopSignal();

} // namespace orvex
