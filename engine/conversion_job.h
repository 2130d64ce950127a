// The records of a conversion run: the job, the progress shared with the worker thread, and the
// list of inputs the worker walks.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/pause_gate.h"

namespace qm {

/// The run and the file being converted. Folders end in "/".
struct ConversionJobRecord {
    std::string ProgramFolder;
    std::string InputPath;
    std::string InputFolder;
    std::string InputSubfolder;
    std::string OutputPath;
    std::string TempPath;
    std::string OutputFolder;
    int32_t RandomNumber = 0;
    int32_t SuccessCounter = 1;
    int32_t SourceDepth = 0;
    int32_t FormatCode = 0;
    std::string FormatId;
    int32_t TargetDepth = 0;
    int32_t SaveFlags = 0;
    uint8_t AutoDepth = 0;
    uint8_t ConsoleRun = 0;
    std::string RunMode;
    int32_t FinalWidth = 0;
    int32_t FinalHeight = 0;
    /// Why the last file failed ("not a metafile", "PNG writer: ..."); empty after a success.
    std::string FailureReason;
    /// The outputs written so far in this run, by their normal form: a second file whose
    /// output name comes out the same fails instead of replacing the first one's output.
    std::unordered_set<std::string> OutputsOfRun;
};

/// What the worker reports. FilesStarted and CurrentFile are read and written under
/// ProgressLock; KeepRunning is read by the worker without it. The worker passes Pause before
/// each unit of work, so a front end can hold it between units while it asks the user.
struct ConversionProgressRecord {
    int32_t FilesStarted = 0;
    std::string CurrentFile;
    int32_t FilesConverted = 0;
    std::atomic<uint8_t> KeepRunning{1};
    PauseGate Pause;
};

struct InputEntry {
    int32_t Added = 0;
    std::string Subfolder; // below the input folder, ending in "/", or empty
};

/// Input paths (compared with letter case) and their entries, iterated in insertion order.
class InputListMap {
public:
    /// The entry for path, created empty when missing.
    InputEntry& operator[](const std::string& path);
    /// The entry for path, or nullptr.
    const InputEntry* Find(const std::string& path) const;
    bool Remove(const std::string& path);
    void Clear();
    size_t Size() const { return m_index.size(); }
    bool Empty() const { return m_index.empty(); }

    /// Entries in insertion order (removed ones are skipped).
    template <typename F> void ForEach(F&& f) const {
        for (const auto& [path, entry] : m_order)
            if (!path.empty())
                f(path, entry);
    }
    /// Number of slots (including removed ones) for index-based walking by the worker.
    size_t SlotCount() const { return m_order.size(); }
    /// Slot i: its path is empty when the entry was removed.
    const std::pair<std::string, InputEntry>& Slot(size_t i) const { return m_order[i]; }

private:
    std::vector<std::pair<std::string, InputEntry>> m_order;
    std::unordered_map<std::string, size_t> m_index;
};

extern ConversionJobRecord ConversionJob;
extern ConversionProgressRecord ConversionProgress;
extern std::mutex ProgressLock;
extern InputListMap InputList;

/// Empties the job's texts and numbers, sets ProgramFolder, starts the name counters
/// (RandomNumber random in 1..99999, SuccessCounter 1) and empties InputList.
void ResetConversionJob();

/// Resets ConversionProgress to (0, "", 0, 1) under ProgressLock.
void ResetConversionProgress();

/// A random value from 1 to 99999 inclusive; safe to call from any thread.
int32_t NewRandomNumber();

/// The folder of the running executable, ending in "/".
std::string ExecutableFolder();

} // namespace qm
