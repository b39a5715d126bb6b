#pragma once

#include <QLockFile>

#include <filesystem>
#include <memory>
#include <string>

namespace orvex {

// A lock file of the given name in the user's runtime folder (the temporary
// folder when there is none).
std::filesystem::path RuntimeLockPath(const std::string& name);

// The desktop program runs once per user: it holds a lock file of a fixed
// name in the user's runtime folder for its whole life.
class SingleInstance
{
public:
    SingleInstance();
    // False when another instance holds the lock.
    bool Acquire();
    static std::filesystem::path LockPath();

private:
    std::unique_ptr<QLockFile> lock_;
};

// Whoever changes a workspace holds its lock: the desktop program for its whole
// life, orvexctl for one command. A lock left by a process that died is taken over.
class WorkspaceLock
{
public:
    explicit WorkspaceLock(const std::filesystem::path& workspace);

    // Waits up to waitMs when another orvexctl holds it; fails at once when the
    // desktop program does. On failure holderMessage() says who holds it.
    bool Acquire(int waitMs);
    bool held() const { return held_; }
    const std::string& holderMessage() const { return holder_; }
    static std::filesystem::path LockPath(const std::filesystem::path& workspace);

private:
    std::filesystem::path path_;
    QLockFile lock_;
    bool held_ = false;
    std::string holder_;
};

} // namespace orvex
