#include "workspace/SecondsCounter.h"

#include <chrono>

namespace orvex {

SecondsCounter::~SecondsCounter() { Stop(); }

void SecondsCounter::Start()
{
    if (thread_.joinable())
        return;
    stopping_ = false;
    thread_ = std::thread([this] {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            // A stop request wakes the thread at once instead of after the full second.
            if (!wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; }))
                Advance();
        }
    });
}

void SecondsCounter::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

} // namespace orvex
