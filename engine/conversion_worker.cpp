#include "engine/conversion_worker.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "engine/convert_file.h"
#include "engine/parallel_run.h"

namespace qm {

namespace {

LineWriter& WorkerLineWriter() {
    static LineWriter writer = [](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
    return writer;
}

LineWriter& WorkerErrorWriter() {
    static LineWriter writer = [](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    };
    return writer;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The input's last-write time carried through local time, to whole seconds.
bool InputFileTime(const std::string& path, int64_t& fileTime) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return false;
    const time_t seconds = st.st_mtim.tv_sec;
    struct tm local {};
    if (!localtime_r(&seconds, &local))
        return false;
    fileTime = LocalDateTimeToFileTime(static_cast<int64_t>(timegm(&local)));
    return true;
}

bool SetLastWriteTime(const std::string& path, int64_t fileTime) {
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT; // last access stays as it is
    times[1].tv_sec = static_cast<time_t>(fileTime);
    // The output is a file we just wrote; a link put there since is not followed.
    return utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace

void SetWorkerLineWriter(LineWriter writer) {
    WorkerLineWriter() = std::move(writer);
}

void SetWorkerErrorWriter(LineWriter writer) {
    WorkerErrorWriter() = std::move(writer);
}

int32_t ConversionThreadCount(int32_t requested) {
    if (requested <= 0)
        requested = static_cast<int32_t>(std::thread::hardware_concurrency());
    return std::clamp(requested, 1, MaxConversionThreads);
}

std::string FailureLine(const ConversionJobRecord& job) {
    return job.InputPath + ": " +
           (job.FailureReason.empty() ? std::string("conversion failed") : job.FailureReason);
}

int64_t LocalDateTimeToFileTime(int64_t localSeconds) {
    const time_t asUtc = static_cast<time_t>(localSeconds);
    struct tm clock {};
    if (!gmtime_r(&asUtc, &clock))
        return localSeconds;
    clock.tm_isdst = -1;
    const time_t fileTime = mktime(&clock);
    return fileTime == static_cast<time_t>(-1) ? localSeconds : static_cast<int64_t>(fileTime);
}

bool ApplyFileTimestamp(const std::string& inputPath, const std::string& outputPath,
                        const SettingsRecord& s) {
    switch (s.Advanced.FileTimestamp) {
    case 1: {
        int64_t fileTime = 0;
        return InputFileTime(inputPath, fileTime) && SetLastWriteTime(outputPath, fileTime);
    }
    case 2:
        return SetLastWriteTime(outputPath, LocalDateTimeToFileTime(s.Advanced.CustomTimestamp));
    default:
        return true;
    }
}

bool CreateOutputSubfolders(const ConversionJobRecord& job, std::string* reason) {
    if (IsDirectory(job.OutputFolder + job.InputSubfolder))
        return true;
    std::string path = job.OutputFolder;
    size_t start = 0;
    for (size_t slash = job.InputSubfolder.find('/'); slash != std::string::npos;
         start = slash + 1, slash = job.InputSubfolder.find('/', start)) {
        const std::string field = job.InputSubfolder.substr(start, slash - start);
        // Subfolders only ever go down from the output folder.
        if (field.empty() || field == "." || field == "..")
            continue;
        path += field + "/";
        // Another thread may create the same folder at the same moment.
        if (!IsDirectory(path) && mkdir(path.c_str(), 0777) != 0 &&
            !(errno == EEXIST && IsDirectory(path))) {
            if (reason)
                *reason = "cannot create the output folder " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void CreateOutputSubfolders() {
    CreateOutputSubfolders(ConversionJob);
}

namespace detail {

bool FinishFile(WorkerContext& ctx, ProducedFile& made, const std::string& folderFailure,
                bool processingShown) {
    ConversionJobRecord& job = ctx.job;
    const bool diagnostics = job.ConsoleRun == 1 && job.RunMode == "DEBUG";
    if (diagnostics && !processingShown)
        ctx.writeLine("Processing: " + job.InputPath);
    const bool ok = CommitFile(job, ctx.settings, made);
    if (diagnostics) {
        ctx.writeLine("Saving As: " + job.OutputPath);
        ctx.writeLine(ok ? "OK" : "Not OK");
    }
    if (!ok) {
        // A missing output folder is why the write failed.
        if (!folderFailure.empty() && !job.OutputPath.empty())
            job.FailureReason = folderFailure;
        if (ctx.writeError)
            ctx.writeError(FailureLine(job));
        return false;
    }
    job.RandomNumber = NewRandomNumber();
    ++job.SuccessCounter;
    ApplyFileTimestamp(job.InputPath, job.OutputPath, ctx.settings);
    return true;
}

void PublishStarted(WorkerContext& ctx, int32_t started, const std::string& path) {
    std::lock_guard<std::mutex> guard(ctx.lock);
    ctx.progress.FilesStarted = started;
    ctx.progress.CurrentFile = path;
}

// One file after the other on the calling thread, from slot `slot` on.
int32_t RunInTurn(WorkerContext& ctx, size_t slot, int32_t started) {
    ConversionJobRecord& job = ctx.job;
    const bool diagnostics = job.ConsoleRun == 1 && job.RunMode == "DEBUG";
    int32_t converted = 0;
    for (; slot < ctx.inputs.SlotCount(); ++slot) {
        // Held here while the front end asks whether to stop; the answer may clear KeepRunning.
        ctx.progress.Pause.Pass();
        if (ctx.progress.KeepRunning.load() == 0)
            break;
        const auto& [path, entry] = ctx.inputs.Slot(slot);
        if (path.empty()) // removed from the list
            continue;
        job.InputPath = path;
        job.InputSubfolder = entry.Subfolder;
        PublishStarted(ctx, ++started, job.InputPath);
        std::string folderFailure;
        if (ctx.settings.Advanced.KeepSubfolders)
            CreateOutputSubfolders(job, &folderFailure);
        ProducedFile made;
        if (diagnostics)
            ctx.writeLine("Processing: " + job.InputPath);
        ProduceFile(job, ctx.settings, made);
        converted += FinishFile(ctx, made, folderFailure, true) ? 1 : 0;
    }
    return converted;
}

} // namespace detail

int32_t RunConversionWorker(WorkerContext& ctx) {
    ctx.job.OutputsOfRun.clear();
    int32_t threads = ctx.threads ? ConversionThreadCount(*ctx.threads) : 1;
    // Making a file must not depend on the files before it.
    if (ProducingNeedsCounters(ctx.settings))
        threads = 1;
    int32_t converted = 0;
    if (threads > 1 && ctx.inputs.Size() > 1) {
        const size_t files = std::min<size_t>(ctx.inputs.Size(), MaxConversionThreads);
        converted = detail::RunInParallel(ctx, std::min(threads, static_cast<int32_t>(files)));
    } else {
        converted = detail::RunInTurn(ctx, 0, 0);
    }
    std::lock_guard<std::mutex> guard(ctx.lock);
    ctx.progress.FilesConverted = converted;
    return converted;
}

int ConversionWorker(int32_t) {
    WorkerContext ctx{
        ConversionJob, ConversionProgress, ProgressLock,        InputList,
        Settings,      WorkerLineWriter(), WorkerErrorWriter(), Settings.Advanced.Threads};
    RunConversionWorker(ctx);
    return 0;
}

std::thread StartConversionWorker() {
    return std::thread([] { ConversionWorker(0); });
}

} // namespace qm
