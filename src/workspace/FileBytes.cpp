#include "workspace/FileBytes.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace orvex {

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            close(fd);
            return std::nullopt;
        }
    }
    close(fd);
    return bytes;
}

} // namespace orvex
