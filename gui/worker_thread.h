// A worker thread whose end the interface thread can poll without waiting for it.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace qm::gui {

class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread() { Join(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    /// Starts body on a new thread; false when the thread could not be started.
    bool Start(std::function<void()> body) {
        m_finished = false;
        try {
            m_thread = std::thread([this, body = std::move(body)] {
                body();
                m_finished.store(true, std::memory_order_release);
            });
        } catch (...) {
            return false;
        }
        return true;
    }
    bool Running() const { return m_thread.joinable(); }
    /// True once the body has returned.
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
};

} // namespace qm::gui
