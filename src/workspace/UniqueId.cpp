#include "workspace/UniqueId.h"

#include <QDateTime>

#include <atomic>
#include <time.h>

namespace orvex {

namespace {

std::uint32_t TickCountMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

// The last time stamp handed out, in ms since the epoch; shared by all threads.
std::atomic<qint64> lastStamp{0};

qint64 NextStamp()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qint64 last = lastStamp.load();
    qint64 next;
    do {
        next = now > last ? now : last + 1;
    } while (!lastStamp.compare_exchange_weak(last, next));
    return next;
}

} // namespace

std::string ToBase36(std::uint64_t value)
{
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    if (value == 0)
        return "0";
    std::string out;
    while (value > 0) {
        out.insert(out.begin(), kDigits[value % 36]);
        value /= 36;
    }
    return out;
}

namespace {

std::string JoinIdParts(std::uint64_t timeDigits, std::uint32_t tickMs)
{
    std::string id = ToBase36(timeDigits) + ToBase36(tickMs);
    if (id.size() >= 20)
        id.resize(19);
    else
        id.append(19 - id.size(), '0');
    return id;
}

} // namespace

std::string FormatUniqueId(const QDateTime& localTime, std::uint32_t tickMs)
{
    return JoinIdParts(std::stoull(localTime.toString("yyyyMMddhhmmsszzz").toStdString()), tickMs);
}

std::string MakeUniqueId()
{
    // Formatted by hand: this runs once per added URL, and QDateTime's
    // local-time conversion is the slow part of it.
    const qint64 stamp = NextStamp();
    const time_t seconds = static_cast<time_t>(stamp / 1000);
    tm local{};
    localtime_r(&seconds, &local);
    const std::uint64_t digits =
        ((((static_cast<std::uint64_t>(local.tm_year + 1900) * 100 + (local.tm_mon + 1)) * 100 +
           local.tm_mday) * 100 + local.tm_hour) * 100 + local.tm_min) * 100 + local.tm_sec;
    return JoinIdParts(digits * 1000 + static_cast<std::uint64_t>(stamp % 1000), TickCountMs());
}

bool IsValidId(std::string_view id)
{
    if (id.size() != 19)
        return false;
    for (char c : id) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

bool IsValidFolderName(std::string_view folder)
{
    if (folder.size() != 8)
        return false;
    for (char c : folder) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::string DateTimeText(const QDateTime& localTime)
{
    return localTime.toString("MM/dd/yyyy hh:mm:ss").toStdString();
}

std::string NowText() { return DateTimeText(QDateTime::currentDateTime()); }

} // namespace orvex
