#pragma once

// The run's shared browser host: one headless browser, relayed to every
// worker that connects to the abstract socket socketName (routing rules in
// CdpRelay.h). Ends on SIGTERM or SIGINT, when its parent dies, and after a
// long spell without clients (120 s; ORVEX_HOST_IDLE_SECONDS overrides it);
// its browser always goes with it. A browser that dies is replaced when the
// next client connects; the clients connected at that moment are dropped.
// Returns the process exit code: 0 after a normal end, 1 when it could not
// start (socket name taken, no browser).
//
// The parent-death signal follows the thread that started the host: a
// launcher must start it from a thread that lives as long as the run (the
// main thread), or the host ends when that thread does.

#include "BrowserLink.h"

#include <string>

namespace orvex::oxupdate {

int RunBrowserHost(const std::string& socketName, const BrowserOptions& options);

} // namespace orvex::oxupdate
