#include "CaptureFiles.h"

#include "Base64.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex::oxupdate {

namespace fs = std::filesystem;

namespace {

struct Place
{
    const char* folder;
    const char* suffix;
};

constexpr std::array<Place, kCaptureFileCount> kPlaces = {{
    {"Icon", ".ico"},
    {"Screenshot", ".png"},
    {"Screenshot", ".jpg"},
    {"Data", ".htm"},
    {"Data", ".txt"},
    {"Data", ".dh"},
    {"Data", ".dt"},
}};

std::atomic<unsigned> g_tempCounter{0};

} // namespace

fs::path CaptureFilePath(const fs::path& projectFolder, const std::string& id, CaptureFile file)
{
    const Place& place = kPlaces[static_cast<std::size_t>(file)];
    return projectFolder / place.folder / (id + place.suffix);
}

bool WriteFileSafely(const fs::path& path, std::string_view bytes)
{
    // A dot name of our own in the same folder: the rename stays within one
    // file system, and the folder's readers skip it should we die mid-write.
    const std::string temp = (path.parent_path() / ("." + path.filename().string() + ".part-" +
                                                    std::to_string(getpid()) + "-" +
                                                    std::to_string(g_tempCounter++)))
                                 .string();
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    // No fsync: these files are captured again by the next update, and
    // ext4 and its peers order the data before a rename that replaces a file.
    if (::close(fd) != 0)
        ok = false;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

CaptureFiles::CaptureFiles(fs::path projectFolder, std::string id)
    : folder_(std::move(projectFolder)), id_(std::move(id))
{
    thread_ = std::thread([this] { Run(); });
}

CaptureFiles::~CaptureFiles()
{
    Abandon();
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void CaptureFiles::Write(CaptureFile file, std::string bytes)
{
    {
        std::lock_guard lock(mutex_);
        if (ending_)
            return;
        queue_.push_back({file, std::move(bytes), false});
    }
    wake_.notify_one();
}

void CaptureFiles::WriteBase64(CaptureFile file, std::string text)
{
    {
        std::lock_guard lock(mutex_);
        if (ending_)
            return;
        queue_.push_back({file, std::move(text), true});
    }
    wake_.notify_one();
}

void CaptureFiles::Finish()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void CaptureFiles::Abandon()
{
    std::unique_lock lock(mutex_);
    queue_.clear();
    idle_.wait(lock, [this] { return !busy_; });
}

bool CaptureFiles::Written(CaptureFile file) const
{
    std::lock_guard lock(mutex_);
    return written_[static_cast<std::size_t>(file)];
}

void CaptureFiles::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
        if (queue_.empty())
            return; // ending
        Task task = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        bool ok = false;
        if (task.base64) {
            if (const std::optional<std::string> bytes = DecodeBase64(task.bytes))
                ok = WriteFileSafely(CaptureFilePath(folder_, id_, task.file), *bytes);
        } else {
            ok = WriteFileSafely(CaptureFilePath(folder_, id_, task.file), task.bytes);
        }
        lock.lock();
        written_[static_cast<std::size_t>(task.file)] = ok;
        busy_ = false;
        if (queue_.empty())
            idle_.notify_all();
    }
}

} // namespace orvex::oxupdate
