#pragma once

#include <array>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

namespace orvex::oxupdate {

// The seven files kept per URL, in the order every file operation uses.
enum class CaptureFile { Icon, Screenshot, Thumbnail, Html, Text, Headers, Digest };
constexpr std::size_t kCaptureFileCount = 7;

// <projectFolder>/Icon/<id>.ico, Screenshot/<id>.png and .jpg, Data/<id>.htm,
// .txt, .dh and .dt. The id must have passed IsValidId.
std::filesystem::path CaptureFilePath(const std::filesystem::path& projectFolder,
                                      const std::string& id, CaptureFile file);

// Writes bytes to a fresh temporary file beside path and renames it over
// path, so a reader never sees a half-written file. False (with nothing left
// behind) when any step fails.
bool WriteFileSafely(const std::filesystem::path& path, std::string_view bytes);

// Writes a URL's files on a thread of its own, so the capture goes on while
// they are saved. Files are written in the order given.
class CaptureFiles
{
public:
    CaptureFiles(std::filesystem::path projectFolder, std::string id);
    ~CaptureFiles(); // abandons what is not written yet
    CaptureFiles(const CaptureFiles&) = delete;
    CaptureFiles& operator=(const CaptureFiles&) = delete;

    void Write(CaptureFile file, std::string bytes);
    // The same for base64 text, decoded on the writing thread; text that is
    // not base64 writes nothing.
    void WriteBase64(CaptureFile file, std::string text);
    // Waits until everything given is written (or has failed).
    void Finish();
    // Drops what is still queued; a file being written is completed.
    void Abandon();

    // After Finish: whether the file was given and written.
    bool Written(CaptureFile file) const;

private:
    struct Task
    {
        CaptureFile file;
        std::string bytes;
        bool base64 = false;
    };
    void Run();

    std::filesystem::path folder_;
    std::string id_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Task> queue_;
    bool busy_ = false;
    bool ending_ = false;
    std::array<bool, kCaptureFileCount> written_{};
    std::thread thread_;
};

} // namespace orvex::oxupdate
