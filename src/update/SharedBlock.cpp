#include "update/SharedBlock.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

namespace {

std::string SystemError(const std::string& what, const std::string& name)
{
    return what + " " + name + ": " + std::strerror(errno);
}

// Maps the open descriptor and closes it; the mapping outlives it.
char* MapBlock(int fd)
{
    void* address = mmap(nullptr, kResultBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    const int mapError = errno;
    close(fd);
    errno = mapError;
    return address == MAP_FAILED ? nullptr : static_cast<char*>(address);
}

} // namespace

SharedBlock::~SharedBlock()
{
    Release();
}

SharedBlock::SharedBlock(SharedBlock&& other) noexcept
    : name_(std::move(other.name_)), error_(std::move(other.error_)),
      data_(std::exchange(other.data_, nullptr)), owner_(std::exchange(other.owner_, false))
{
}

SharedBlock& SharedBlock::operator=(SharedBlock&& other) noexcept
{
    if (this != &other) {
        Release();
        name_ = std::move(other.name_);
        error_ = std::move(other.error_);
        data_ = std::exchange(other.data_, nullptr);
        owner_ = std::exchange(other.owner_, false);
    }
    return *this;
}

SharedBlock SharedBlock::Create(const std::string& name)
{
    SharedBlock block;
    block.name_ = name;
    const int fd = shm_open(name.c_str(), O_CREAT | O_RDWR, 0600);
    if (fd < 0) {
        block.error_ = SystemError("Cannot create shared block", name);
        return block;
    }
    if (ftruncate(fd, static_cast<off_t>(kResultBlockSize)) != 0) {
        block.error_ = SystemError("Cannot size shared block", name);
        close(fd);
        shm_unlink(name.c_str());
        return block;
    }
    block.data_ = MapBlock(fd);
    if (!block.data_) {
        block.error_ = SystemError("Cannot map shared block", name);
        shm_unlink(name.c_str());
        return block;
    }
    block.owner_ = true;
    block.Clear();
    return block;
}

SharedBlock SharedBlock::Open(const std::string& name)
{
    SharedBlock block;
    block.name_ = name;
    const int fd = shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0) {
        block.error_ = SystemError("Cannot open shared block", name);
        return block;
    }
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0 || info.st_size < static_cast<off_t>(kResultBlockSize)) {
        // Touching a mapping beyond the object's end would raise SIGBUS.
        block.error_ = "Shared block " + name + " is too small";
        close(fd);
        return block;
    }
    block.data_ = MapBlock(fd);
    if (!block.data_)
        block.error_ = SystemError("Cannot map shared block", name);
    return block;
}

void SharedBlock::Clear()
{
    if (data_)
        std::memset(data_, ' ', kResultBlockSize);
}

void SharedBlock::Release()
{
    if (data_)
        munmap(data_, kResultBlockSize);
    if (owner_)
        shm_unlink(name_.c_str());
    data_ = nullptr;
    owner_ = false;
}

} // namespace orvex
