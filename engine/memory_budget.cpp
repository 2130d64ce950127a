#include "engine/memory_budget.h"

#include <algorithm>

namespace qm {

uint64_t MemoryBudget::Reserve(uint64_t bytes) {
    bytes = std::min(bytes, m_capacity);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_released.wait(lock, [&] { return m_reserved + bytes <= m_capacity; });
    m_reserved += bytes;
    m_peak = std::max(m_peak, m_reserved);
    return bytes;
}

void MemoryBudget::Release(uint64_t reserved) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reserved -= std::min(reserved, m_reserved);
    }
    m_released.notify_all();
}

uint64_t MemoryBudget::Reserved() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reserved;
}

uint64_t MemoryBudget::Peak() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_peak;
}

} // namespace qm
