#include "workspace/InstanceLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace orvex {

namespace fs = std::filesystem;

namespace {
QString ToQString(const fs::path& path) { return QString::fromStdString(path.string()); }
} // namespace

SingleInstance::SingleInstance() = default;

fs::path RuntimeLockPath(const std::string& name)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return fs::path(folder.toStdString()) / name;
}

fs::path SingleInstance::LockPath()
{
    return RuntimeLockPath("orvex-desktop.lock");
}

bool SingleInstance::Acquire()
{
    lock_ = std::make_unique<QLockFile>(ToQString(LockPath()));
    lock_->setStaleLockTime(0); // only a dead holder makes it stale
    return lock_->tryLock(0);
}

WorkspaceLock::WorkspaceLock(const fs::path& workspace)
    : path_(LockPath(workspace)), lock_(ToQString(path_))
{
    lock_.setStaleLockTime(0);
}

fs::path WorkspaceLock::LockPath(const fs::path& workspace) { return workspace / "orvex.lock"; }

bool WorkspaceLock::Acquire(int waitMs)
{
    if (lock_.tryLock(0)) {
        held_ = true;
        return true;
    }
    qint64 pid = 0;
    QString host;
    QString app;
    // No lock info means the holder let go meanwhile: wait like for another command.
    const bool known = lock_.getLockInfo(&pid, &host, &app);
    if ((!known || app != QLatin1String("orvex")) && waitMs > 0 && lock_.tryLock(waitMs)) {
        held_ = true;
        return true;
    }
    if (app == QLatin1String("orvex"))
        holder_ = "The workspace is open in Orvex (process " + std::to_string(pid) +
                  "). Close Orvex first, or run the command again afterwards.";
    else if (lock_.error() == QLockFile::PermissionError)
        holder_ = "The workspace lock " + path_.string() + " cannot be written.";
    else
        holder_ = "The workspace is busy with another command (process " + std::to_string(pid) +
                  ", " + app.toStdString() + ").";
    return false;
}

} // namespace orvex
