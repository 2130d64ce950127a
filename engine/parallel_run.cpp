#include "engine/parallel_run.h"

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/convert_file.h"
#include "engine/memory_budget.h"

namespace qm::detail {

namespace {

// The canonical forms a path is reached by: its folder resolved with the name as it is, and
// the whole path resolved (through a link at the name).
std::pair<std::string, std::string> ResolvedNames(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::pair<std::string, std::string> names;
    if (char* resolved = realpath(folder.c_str(), nullptr)) {
        names.first = std::string(resolved) + "/" + path.substr(slash + 1);
        std::free(resolved);
    }
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        names.second = resolved;
        std::free(resolved);
    }
    return names;
}

// Files made on several threads and finished in input order on the calling one.
class ParallelRun {
public:
    ParallelRun(WorkerContext& ctx, int32_t threads)
        : m_ctx(ctx), m_base(ctx.job), m_threads(threads),
          m_window(2 * static_cast<size_t>(threads)), m_budget(ConversionMemoryBudget) {}

    int32_t Run() {
        // The first file is published before any thread starts, as one thread would.
        bool next = Advance();
        std::vector<std::thread> workers;
        try {
            for (int32_t n = 0; next && n < m_threads; ++n) {
                Count(+1);
                try {
                    workers.emplace_back([this] { Work(); });
                } catch (const std::exception&) {
                    Count(-1);
                    throw;
                }
            }
        } catch (const std::exception&) {
            // Fewer threads than asked for; with none the files are converted below.
        }
        int32_t converted = FinishInOrder(next);
        for (std::thread& worker : workers)
            worker.join();
        // Files made ahead of a stop are dropped with their temporary files.
        m_pending.clear();
        // Files no thread could take are converted here, one by one.
        if (next)
            converted += RunInTurn(m_ctx, m_nextSlot, m_started - 1);
        return converted;
    }

private:
    struct Task {
        ConversionJobRecord job; // the file's own; the run's outputs are not in it
        ProducedFile made;
        std::string folderFailure;
        std::pair<std::string, std::string> inputNames;
        bool done = false;
        bool makeAgain = false; // an earlier file's output replaced its input
    };

    // Takes the next file in input order; null when no more are to be taken.
    Task* Claim() {
        for (;;) {
            m_ctx.progress.Pause.Pass();
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_claimsEnded)
                return nullptr;
            if (m_pending.size() >= m_window) {
                // Ahead far enough: wait for the oldest to be finished, then pass the gate again.
                m_changed.wait(lock, [&] { return m_claimsEnded || m_pending.size() < m_window; });
                continue;
            }
            if (m_ctx.progress.KeepRunning.load() == 0)
                return EndClaims();
            while (m_nextSlot < m_ctx.inputs.SlotCount() &&
                   m_ctx.inputs.Slot(m_nextSlot).first.empty())
                ++m_nextSlot;
            if (m_nextSlot == m_ctx.inputs.SlotCount())
                return EndClaims();
            const auto& [path, entry] = m_ctx.inputs.Slot(m_nextSlot);
            auto task = std::make_unique<Task>();
            task->job = m_base;
            task->job.InputPath = path;
            task->job.InputSubfolder = entry.Subfolder;
            task->inputNames = ResolvedNames(path);
            m_pending.push_back(std::move(task)); // nothing changes when this throws
            ++m_nextSlot;
            return m_pending.back().get();
        }
    }

    Task* EndClaims() {
        m_claimsEnded = true;
        m_changed.notify_all();
        return nullptr;
    }

    void Count(int change) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_workers += change;
        }
        m_changed.notify_all();
    }

    void Work() {
        for (;;) {
            Task* task = nullptr;
            try {
                task = Claim();
            } catch (const std::exception&) {
                // Out of memory while taking a file: the other threads, or the calling one,
                // convert the rest.
            }
            if (!task)
                return Count(-1);
            Make(*task);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                task->done = true;
            }
            m_changed.notify_all();
        }
    }

    void Make(Task& task) {
        const SettingsRecord& s = m_ctx.settings;
        uint64_t reserved = 0;
        try {
            reserved = m_budget.Reserve(EstimateConversionBytes(task.job.InputPath, s));
            if (s.Advanced.KeepSubfolders)
                CreateOutputSubfolders(task.job, &task.folderFailure);
            ProduceFile(task.job, s, task.made);
        } catch (const std::bad_alloc&) {
            task.made.reason = "out of memory";
        }
        m_budget.Release(reserved);
    }

    // Passes the gate and publishes the next file in input order as the one in progress.
    // False when the run stops there or the list has ended.
    bool Advance() {
        m_ctx.progress.Pause.Pass();
        if (m_ctx.progress.KeepRunning.load() == 0)
            return false;
        while (m_headSlot < m_ctx.inputs.SlotCount() && m_ctx.inputs.Slot(m_headSlot).first.empty())
            ++m_headSlot;
        if (m_headSlot == m_ctx.inputs.SlotCount())
            return false;
        PublishStarted(m_ctx, ++m_started, m_ctx.inputs.Slot(m_headSlot++).first);
        return true;
    }

    // Waits for each file in input order and finishes it. The file waited for is the one in
    // progress, as with one thread: the gate is passed before the next one, and a stop leaves
    // the files made ahead of it unfinished (their temporary files go). next: whether a file
    // has been published. Returns with next telling whether one was left untaken.
    int32_t FinishInOrder(bool& next) {
        ConversionJobRecord& job = m_ctx.job;
        int32_t converted = 0;
        while (next) {
            std::unique_ptr<Task> task;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [&] {
                    return m_pending.empty() ? m_workers == 0 : m_pending.front()->done;
                });
                if (m_pending.empty())
                    break; // no thread could take it
                task = std::move(m_pending.front());
                m_pending.pop_front();
            }
            m_changed.notify_all();

            job.InputPath = task->job.InputPath;
            job.InputSubfolder = task->job.InputSubfolder;
            if (task->makeAgain) {
                // Made from what its input held before; made again from what it holds now.
                task->made = ProducedFile();
                ProduceFile(job, m_ctx.settings, task->made);
            }
            if (FinishFile(m_ctx, task->made, task->folderFailure, false)) {
                ++converted;
                MarkReplacedInputs(job.OutputPath);
            }
            next = Advance();
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        EndClaims();
        return converted;
    }

    // A file taken already whose input the output just written replaced is made again.
    void MarkReplacedInputs(const std::string& outputPath) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pending.empty())
            return;
        const std::string output = ResolvedNames(outputPath).first;
        for (const std::unique_ptr<Task>& task : m_pending)
            if (!output.empty() &&
                (task->inputNames.first == output || task->inputNames.second == output))
                task->makeAgain = true;
    }

    WorkerContext& m_ctx;
    const ConversionJobRecord m_base;
    const int32_t m_threads;
    const size_t m_window;
    MemoryBudget m_budget;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<Task>> m_pending; // taken, not yet finished, in input order
    size_t m_nextSlot = 0;
    int32_t m_started = 0;
    bool m_claimsEnded = false;
    int m_workers = 0;     // threads still taking files
    size_t m_headSlot = 0; // the next file to publish
};

} // namespace

int32_t RunInParallel(WorkerContext& ctx, int32_t threads) {
    ParallelRun run(ctx, threads);
    return run.Run();
}

} // namespace qm::detail
