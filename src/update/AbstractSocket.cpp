#include "update/AbstractSocket.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvex {

namespace {

// The address: a zero byte, then the name (no terminator).
bool AbstractAddress(const std::string& name, sockaddr_un& address, socklen_t& length)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() + 1 > sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return true;
}

} // namespace

int ConnectAbstractSocket(const std::string& name)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!AbstractAddress(name, address, length))
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int result;
    do {
        result = connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int ListenAbstractSocket(const std::string& name)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!AbstractAddress(name, address, length))
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool WriteAllToSocket(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace orvex
