#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace orvex {

// How the programs start and end the worker processes they run (status
// checkers, update workers, the browser host).

// Starts argv[0] in a process group of its own, so that it and everything
// it starts can be ended together and a Ctrl-C meant for the caller does not
// reach it. Standard input and error go to /dev/null, standard output to
// stdoutFd (/dev/null when -1). The environment is the caller's, with the
// "NAME=value" entries of extraEnvironment added or replacing their names.
// Signal mask and dispositions start clean. Returns -1 when it cannot start.
pid_t SpawnInOwnGroup(const std::vector<std::string>& argv,
                      const std::vector<std::string>& extraEnvironment = {}, int stdoutFd = -1);

// Reaps the process if it has ended (its wait status into status); true when
// it has, or is no child of ours any more.
bool Reaped(pid_t pid, int* status = nullptr);

// SIGTERM to each process's group, a grace of 2 s to end cleanly, then
// SIGKILL to those left and to whatever their groups left behind; every one
// reaped. Blocks for the grace: callers that must not wait run it on a thread.
void EndProcessGroups(std::vector<pid_t> pids);

} // namespace orvex
