#include "update/AbstractSocket.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvex {

namespace {

bool Address(const std::string& name, sockaddr_un& address, socklen_t& length, std::string& error)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() + 1 > sizeof address.sun_path) {
        error = "unusable socket name \"" + name + "\"";
        return false;
    }
    address.sun_path[0] = '\0';
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return true;
}

} // namespace

int ListenAbstractSocket(const std::string& name, std::string& error)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!Address(name, address, length, error))
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 64) != 0) {
        error = "cannot listen on @" + name + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

int ConnectAbstractSocket(const std::string& name, int retryMs, std::string& error)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!Address(name, address, length, error))
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(retryMs);
    while (true) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = std::string("socket: ") + std::strerror(errno);
            return -1;
        }
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0)
            return fd;
        const int why = errno;
        close(fd);
        const bool worthRetry = why == ECONNREFUSED || why == EAGAIN || why == EINTR;
        if (!worthRetry || std::chrono::steady_clock::now() >= deadline) {
            error = "cannot connect to @" + name + ": " + std::strerror(why);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
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
