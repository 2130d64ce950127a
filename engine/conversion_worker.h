// The worker thread of a conversion run: walks the input list and converts file by file.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "core/settings.h"
#include "engine/conversion_job.h"

namespace qm {

/// The most files a run converts at once.
inline constexpr int32_t MaxConversionThreads = 256;

/// The number of files a run converts at once for a requested count: the count itself, or one
/// per processor core for 0 (at least 1, at most MaxConversionThreads).
int32_t ConversionThreadCount(int32_t requested);

/// Writes one diagnostic line (without its line end).
using LineWriter = std::function<void(std::string_view)>;

/// Where the worker's diagnostic lines go; the console front end points it at the console.
/// By default lines go to standard output.
void SetWorkerLineWriter(LineWriter writer);

/// Where the worker's failure lines ("<file>: <reason>", one per failed file) go. By default
/// they go to standard error, apart from the console's own lines.
void SetWorkerErrorWriter(LineWriter writer);

/// Everything one run of the worker works on.
struct WorkerContext {
    ConversionJobRecord& job;
    ConversionProgressRecord& progress;
    std::mutex& lock;
    const InputListMap& inputs;
    const SettingsRecord& settings;
    LineWriter writeLine;
    LineWriter writeError; // failure lines; none written when empty
    /// How many files are converted at once (0: one per processor core); one when unset. The
    /// outputs, names, counters, lines and progress are the same for every count.
    std::optional<int32_t> threads = std::nullopt;
};

/// The failure line of the job's last file: "<InputPath>: <FailureReason>".
std::string FailureLine(const ConversionJobRecord& job);

/// Converts every entry of the inputs in order until the list ends or KeepRunning drops to 0;
/// publishes each entry under the lock, and stores the number of successes in FilesConverted
/// at the end. A failed file shows in the count, as "Not OK" with diagnostics, and as one line
/// "<file>: <reason>" through writeError. Returns the number of files converted.
/// With several threads, files are made (rendered, processed, written under a temporary name)
/// on as many threads, at most twice as many files ahead of the oldest unfinished one and within
/// a shared memory budget, and finished (named, checked, moved into place, counted, reported)
/// one by one in input order on the calling thread. The file being finished is the one
/// published and the one the gate and a stop count from, as with one thread: files made ahead
/// of a stop are dropped with their temporary files. A run whose text watermark shows the
/// name counters converts one file at a time.
int32_t RunConversionWorker(WorkerContext& ctx);

/// The thread procedure over the global records, with Settings.Advanced.Threads threads; the
/// parameter is ignored. Returns 0.
int ConversionWorker(int32_t unused);

/// Starts ConversionWorker on its own thread.
std::thread StartConversionWorker();

/// Creates OutputFolder + InputSubfolder folder by folder when missing. False when a folder
/// could not be created, with the folder and the cause in *reason when given; the run goes on
/// and the later write fails.
bool CreateOutputSubfolders(const ConversionJobRecord& job, std::string* reason = nullptr);
void CreateOutputSubfolders();

/// Applies Advanced/File Timestamp to a written output file: 0 leaves it, 1 copies the input's
/// last-write time, 2 sets Advanced/Custom Timestamp (a local clock reading). Only the
/// last-write time changes, to whole seconds. False when a time could not be read or set.
bool ApplyFileTimestamp(const std::string& inputPath, const std::string& outputPath,
                        const SettingsRecord& s);

/// The file time (seconds since the epoch) of a local clock reading counted as if it were UTC.
int64_t LocalDateTimeToFileTime(int64_t localSeconds);

} // namespace qm
