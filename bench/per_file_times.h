// Per-file timing shared by the corpus benchmarks: each file is timed on its own and the
// run reports the median, 95th percentile and slowest file in milliseconds.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace qm::bench {

class PerFileTimes {
public:
    /// Runs work once and records its wall time; returns the milliseconds taken.
    template <typename Work> double Time(Work&& work) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        m_ms.push_back(ms);
        return ms;
    }

    void Report(benchmark::State& state, size_t files) {
        if (m_ms.empty())
            return;
        std::sort(m_ms.begin(), m_ms.end());
        state.counters["files"] = double(files);
        state.counters["median_ms"] = m_ms[m_ms.size() / 2];
        state.counters["p95_ms"] = m_ms[std::min(m_ms.size() - 1, m_ms.size() * 95 / 100)];
        state.counters["max_ms"] = m_ms.back();
    }

private:
    std::vector<double> m_ms;
};

} // namespace qm::bench
