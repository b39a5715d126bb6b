#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace orvex {

// Runs one checker process to its end and returns the status it printed: a
// decimal number on standard output with exit status 0. Anything else (no
// output, other text, a non-zero exit, a process that cannot be started)
// gives 0. The process runs in its own process group, so a Ctrl-C meant for
// the caller does not reach it, with standard input and error on /dev/null.
// When it outlives timeLimit, or cancelFd becomes readable, it gets SIGTERM,
// then SIGKILL after a short grace, and the result is 0.
int RunChecker(const std::vector<std::string>& argv, std::chrono::milliseconds timeLimit,
               int cancelFd);

// The status in a checker's output; 0 when it holds none.
int ParseCheckerOutput(const std::string& output);

} // namespace orvex
