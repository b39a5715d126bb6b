#pragma once

#include <atomic>
#include <functional>

namespace orvex {

class SecondsCounter;

// Keeps two saves of record files from overlapping. Taking a gate that is
// held waits until it is released, and gives up once the seconds counter has
// moved on by five.
class SaveGate
{
public:
    explicit SaveGate(const SecondsCounter& counter) : counter_(counter) {}

    bool Take();
    void Release() { taken_.store(false, std::memory_order_release); }
    bool taken() const { return taken_.load(std::memory_order_acquire); }

    static constexpr unsigned kGiveUpSeconds = 5;

private:
    const SecondsCounter& counter_;
    std::atomic<bool> taken_{false};
};

// Holds the gate for a scope.
class SaveGateHolder
{
public:
    explicit SaveGateHolder(SaveGate& gate) : gate_(gate), held_(gate.Take()) {}
    ~SaveGateHolder()
    {
        if (held_)
            gate_.Release();
    }
    SaveGateHolder(const SaveGateHolder&) = delete;
    SaveGateHolder& operator=(const SaveGateHolder&) = delete;
    bool held() const { return held_; }

private:
    SaveGate& gate_;
    bool held_;
};

} // namespace orvex
