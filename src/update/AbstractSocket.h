#pragma once

#include <string>
#include <string_view>

namespace orvex {

// Unix-domain stream sockets in Linux's abstract namespace: the name lives
// only as long as its listener, never as a file, so a crashed process leaves
// nothing behind to clean up. Names are given without the leading zero byte.

// A listening, non-blocking, close-on-exec socket bound to the name; -1 with
// a reason in error (for example when a live listener already holds it).
int ListenAbstractSocket(const std::string& name, std::string& error);
// A connected, blocking, close-on-exec socket; tries for up to retryMs while
// nobody listens yet or the listener's queue is full. -1 with a reason.
int ConnectAbstractSocket(const std::string& name, int retryMs, std::string& error);
// Writes every byte, retrying after interruptions and short writes; false
// when the peer is gone. Never raises SIGPIPE.
bool WriteAllToSocket(int fd, std::string_view bytes);

} // namespace orvex
