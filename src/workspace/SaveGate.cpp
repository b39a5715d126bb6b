#include "workspace/SaveGate.h"

#include "workspace/SecondsCounter.h"

#include <chrono>
#include <thread>

namespace orvex {

bool SaveGate::Take()
{
    bool expected = false;
    if (taken_.compare_exchange_strong(expected, true, std::memory_order_acq_rel))
        return true;
    const std::uint32_t start = counter_.value();
    for (;;) {
        expected = false;
        if (taken_.compare_exchange_strong(expected, true, std::memory_order_acq_rel))
            return true;
        if (counter_.value() - start >= kGiveUpSeconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace orvex
