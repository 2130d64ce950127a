#include "cli/console_batch.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>

#include "cli/console_output.h"
#include "cli/input_collection.h"
#include "cli/settings_echo.h"
#include "cli/value_checks.h"
#include "core/catalogue.h"
#include "core/formats.h"
#include "core/settings.h"
#include "core/text_case.h"
#include "engine/conversion_job.h"
#include "engine/conversion_worker.h"
#include "engine/encode.h"

namespace qm {

namespace {

// The extension of the last path component; empty when the component has no ".", ends with
// "." or has a blank after its last ".".
std::string_view ExtensionOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    const std::string_view ext = name.substr(dot + 1);
    if (ext.empty() || ext.find(' ') != std::string_view::npos)
        return {};
    return ext;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsNonEmptyFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && st.st_size > 0 && !S_ISDIR(st.st_mode);
}

// The folder rules shared by input and output: no leading "..", a relative folder lies below
// the program's folder, a closing "/", and the folder must exist. Prints the failing message.
bool CompleteFolder(std::string& folder, const char* incorrect, const char* invalid) {
    if (folder.starts_with("..")) {
        WriteConsoleLine(incorrect);
        return false;
    }
    if (!folder.starts_with("/")) {
        if (folder.starts_with("./"))
            folder.erase(0, 2);
        folder = ConversionJob.ProgramFolder + folder;
    }
    if (!folder.ends_with("/"))
        folder += '/';
    if (IsFolder(folder))
        return true;
    WriteConsoleLine(invalid);
    return false;
}

// The current folder, ending in "/"; "./" when it cannot be read.
std::string CurrentFolder() {
    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).string();
    return error || folder.empty() ? "./" : folder.ends_with('/') ? folder : folder + "/";
}

bool CheckInput(bool debug) {
    ConversionJobRecord& job = ConversionJob;
    if (debug)
        WriteConsoleLine("Input: " + job.InputFolder);
    if (!ExtensionOf(job.InputFolder).empty()) {
        // A value with an extension names a file, used as given.
        job.InputPath = job.InputFolder;
        job.InputFolder.clear();
        if (IsNonEmptyFile(job.InputPath))
            return true;
        WriteConsoleLine("Error: Invalid input file");
        return false;
    }
    return CompleteFolder(job.InputFolder, "Error: Incorrect input folder",
                          "Error: Invalid input folder");
}

bool CheckOutput(bool debug) {
    ConversionJobRecord& job = ConversionJob;
    if (job.OutputFolder.empty()) {
        if (job.InputFolder.empty()) {
            // The output goes beside the input file; a bare file name lies in the current
            // folder, which the folder rules below would otherwise take as the program's.
            const size_t slash = job.InputPath.rfind('/');
            job.OutputFolder =
                slash == std::string::npos ? CurrentFolder() : job.InputPath.substr(0, slash + 1);
        } else {
            job.OutputFolder = job.InputFolder;
        }
    }
    if (debug)
        WriteConsoleLine("Output: " + job.OutputFolder);
    return CompleteFolder(job.OutputFolder, "Error: Incorrect output folder",
                          "Error: Invalid output folder");
}

bool CheckFormat(bool debug) {
    ConversionJobRecord& job = ConversionJob;
    if (job.FormatId.empty())
        job.FormatId = OutputFormats.front();
    if (debug)
        WriteConsoleLine("Conversion: " + job.FormatId);
    const std::string message = CheckConversionType(job.FormatId);
    if (!message.empty())
        WriteConsoleLine(message);
    return message.empty();
}

void PrepareJob() {
    ConversionJobRecord& job = ConversionJob;
    job.FormatCode = FormatCode(job.FormatId);
    const int32_t* depth = FormatDepthSetting(Settings, job.FormatId);
    job.TargetDepth = depth ? *depth : 0;
    job.SaveFlags = SaveFlagsFor(job.FormatId, Settings);
    job.AutoDepth = job.TargetDepth == 0 ? 1 : 0;
}

// Runs the procedure on a worker thread over a freshly reset progress record and waits for it.
template <typename Procedure> void RunOnWorker(Procedure procedure) {
    ResetConversionProgress();
    std::thread worker(procedure);
    worker.join();
}

int32_t ImportInputs() {
    const ConversionJobRecord& job = ConversionJob;
    if (!job.InputFolder.empty()) {
        RunOnWorker(ImportFolder);
    } else {
        const std::string ext = LowerAscii(ExtensionOf(job.InputPath));
        if (ext == "txt" || ext == "lst") {
            RunOnWorker(ImportListFile);
        } else {
            ResetConversionProgress();
            ConversionProgress.FilesConverted = AddInputFile(job.InputPath);
        }
    }
    std::lock_guard<std::mutex> lock(ProgressLock);
    return ConversionProgress.FilesConverted;
}

int32_t ConvertInputs() {
    SetWorkerLineWriter(WriteConsoleLine);
    SetWorkerErrorWriter(WriteConsoleError);
    RunOnWorker([] { ConversionWorker(0); });
    std::lock_guard<std::mutex> lock(ProgressLock);
    return ConversionProgress.FilesConverted;
}

} // namespace

void RunConsoleBatch(uint8_t quiet) {
    const bool debug = ConversionJob.RunMode == "DEBUG";
    const auto status = [quiet](const std::string& line) {
        if (quiet == 0)
            WriteConsoleLine(line);
    };
    status(GetText("General", "Preparing"));

    if (!CheckInput(debug) || !CheckOutput(debug) || !CheckFormat(debug))
        return;
    if (!EchoAndCheckFormatSettings(Settings, ConversionJob.FormatId, debug) ||
        !EchoAndCheckImageOperations(Settings, debug))
        return;
    PrepareJob();

    status(GetText("General", "Importing"));
    const int32_t imported = ImportInputs();
    status(FillPlaceholders(GetText("Msg", "Import complete"), std::to_string(imported)));
    if (imported == 0) {
        WriteConsoleLine(GetText("Msg", "Conversion is not complete"));
        WriteConsoleLine(GetText("Msg", "Empty input files"));
        return;
    }

    status(GetText("General", "Converting"));
    const int32_t converted = ConvertInputs();
    if (converted != 0) {
        status(GetText("Msg", "Conversion complete"));
        status(FillPlaceholders(GetText("Msg", "Files converted"), std::to_string(converted),
                                std::to_string(imported)));
    } else {
        WriteConsoleLine(GetText("Msg", "Conversion is not complete"));
    }
}

} // namespace qm
