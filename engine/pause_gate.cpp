#include "engine/pause_gate.h"

namespace qm {

void PauseGate::Close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
}

void PauseGate::Open() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = false;
    }
    m_opened.notify_all();
}

void PauseGate::Pass() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_closed)
        return;
    ++m_waits;
    m_opened.wait(lock, [this] { return !m_closed; });
}

bool PauseGate::IsClosed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_closed;
}

int PauseGate::Waits() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waits;
}

} // namespace qm
