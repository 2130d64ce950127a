// A gate that a worker thread passes between units of work. The interface thread closes it while
// it asks the user whether to stop, so that no new unit starts meanwhile; the unit in progress
// runs on.
#pragma once

#include <condition_variable>
#include <mutex>

namespace qm {

class PauseGate {
public:
    /// Makes Pass wait until Open.
    void Close();
    /// Lets waiting and later Pass calls through.
    void Open();
    /// Returns at once while open; waits while closed.
    void Pass();
    /// True while closed.
    bool IsClosed() const;
    /// Number of Pass calls that found the gate closed and waited (for tests).
    int Waits() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_closed = false;
    int m_waits = 0;
};

} // namespace qm
