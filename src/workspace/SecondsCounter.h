#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace orvex {

// A coarse clock for time-outs of a few seconds: a thread adds one to a 32-bit
// count once a second. Readers compare differences only.
class SecondsCounter
{
public:
    SecondsCounter() = default;
    ~SecondsCounter();
    SecondsCounter(const SecondsCounter&) = delete;
    SecondsCounter& operator=(const SecondsCounter&) = delete;

    void Start();
    void Stop();
    bool running() const { return thread_.joinable(); }

    std::uint32_t value() const { return count_.load(std::memory_order_relaxed); }
    // Lets tests and the stopped counter move time on by hand.
    void Advance(std::uint32_t seconds = 1) { count_.fetch_add(seconds, std::memory_order_relaxed); }

private:
    std::atomic<std::uint32_t> count_{0};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

} // namespace orvex
