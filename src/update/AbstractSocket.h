#pragma once

#include <string>
#include <string_view>

namespace orvex {

// Unix-domain stream sockets in Linux's abstract namespace: the name lives
// only as long as its listener, never as a file, so a crashed worker leaves
// nothing behind to clean up.

// A connected socket (close-on-exec), or -1 when nobody listens on the name
// or it is longer than an address can hold.
int ConnectAbstractSocket(const std::string& name);
// A listening socket bound to the name (close-on-exec, non-blocking), or -1
// when the name is taken or cannot be bound.
int ListenAbstractSocket(const std::string& name);
// Writes every byte, retrying after interruptions and short writes; false
// when the peer is gone. Never raises SIGPIPE.
bool WriteAllToSocket(int fd, std::string_view bytes);

} // namespace orvex
