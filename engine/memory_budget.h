// A budget of memory shared by the threads of a conversion run: each reserves what a file may
// take before starting it, so that the run never holds more large pictures than fit.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace qm {

/// The memory the files converted at once may take together.
inline constexpr uint64_t ConversionMemoryBudget = uint64_t{2} << 30;

class MemoryBudget {
public:
    explicit MemoryBudget(uint64_t capacity) : m_capacity(capacity) {}

    /// Waits until bytes fit beside what is reserved, reserves them and returns the amount
    /// reserved. An amount over the capacity reserves the whole budget: it waits until nothing
    /// else is reserved, and nothing else starts beside it.
    uint64_t Reserve(uint64_t bytes);
    /// Gives back an amount Reserve returned.
    void Release(uint64_t reserved);
    uint64_t Reserved() const;
    /// The most that was reserved at once (for tests).
    uint64_t Peak() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    uint64_t m_capacity;
    uint64_t m_reserved = 0;
    uint64_t m_peak = 0;
};

} // namespace qm
