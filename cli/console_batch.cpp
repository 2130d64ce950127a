#include "cli/console_batch.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <thread>

#include "cli/console_output.h"
#include "cli/input_collection.h"
#include "core/catalogue.h"
#include "core/formats.h"
#include "core/settings.h"
#include "engine/conversion_job.h"
#include "engine/conversion_worker.h"
#include "engine/encode.h"

namespace qm {

namespace {

// The extension of the last path component; empty when it has no ".", ends with "." or has a
// blank after its last ".".
std::string ExtensionOf(std::string_view path) {
    const std::string_view name = path.substr(path.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == name.size() ||
        name.find(' ', dot) != std::string_view::npos)
        return {};
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsNonEmptyFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// Folder rules shared by input and output: no leading "..", relative folders below the
// program's folder, a closing "/", and the folder must exist. Returns the message on failure.
std::string CompleteFolder(std::string& folder, const char* incorrect, const char* invalid) {
    if (folder.starts_with(".."))
        return incorrect;
    if (!folder.starts_with("/")) {
        if (folder.starts_with("./"))
            folder.erase(0, 2);
        folder = ConversionJob.ProgramFolder + folder;
    }
    if (!folder.ends_with("/"))
        folder += "/";
    return IsDirectory(folder) ? std::string() : std::string(invalid);
}

// Collects the inputs the way the run names them; returns the number of files added.
int32_t ImportInputs() {
    if (ConversionJob.InputFolder.empty() && ExtensionOf(ConversionJob.InputPath) != "txt" &&
        ExtensionOf(ConversionJob.InputPath) != "lst")
        return AddInputFile(ConversionJob.InputPath);
    ResetConversionProgress();
    std::thread importer(ConversionJob.InputFolder.empty() ? ImportListFile : ImportFolder);
    importer.join();
    return ConversionProgress.FilesConverted;
}

bool CheckPaths(bool debug) {
    std::string raw = ConversionJob.InputFolder;
    if (debug)
        WriteConsoleLine("Input: " + raw);
    std::string error;
    if (!ExtensionOf(raw).empty()) {
        ConversionJob.InputPath = raw;
        ConversionJob.InputFolder.clear();
        if (!IsNonEmptyFile(raw))
            error = "Invalid input file";
    } else {
        error = CompleteFolder(ConversionJob.InputFolder, "Incorrect input folder",
                               "Invalid input folder");
    }
    if (error.empty()) {
        std::string& out = ConversionJob.OutputFolder;
        if (out.empty())
            out = ConversionJob.InputFolder.empty()
                      ? ConversionJob.InputPath.substr(0, ConversionJob.InputPath.rfind('/') + 1)
                      : ConversionJob.InputFolder;
        if (debug)
            WriteConsoleLine("Output: " + out);
        error = CompleteFolder(out, "Incorrect output folder", "Invalid output folder");
    }
    if (!error.empty())
        WriteConsoleLine("Error: " + error);
    return error.empty();
}

bool PrepareFormat(bool debug) {
    ConversionJobRecord& job = ConversionJob;
    if (job.FormatId.empty())
        job.FormatId = OutputFormats.front();
    if (debug)
        WriteConsoleLine("Conversion: " + job.FormatId);
    job.FormatCode = FormatCode(job.FormatId);
    if (job.FormatCode < 0) {
        WriteConsoleLine("Error: Invalid conversion type");
        return false;
    }
    const int32_t* depth = FormatDepthSetting(Settings, job.FormatId);
    job.TargetDepth = depth ? *depth : 0;
    job.SaveFlags = SaveFlagsFor(job.FormatId, Settings);
    job.AutoDepth = job.TargetDepth == 0 ? 1 : 0;
    return true;
}

} // namespace

void RunConsoleBatch(uint8_t quiet) {
    const bool debug = ConversionJob.RunMode == "DEBUG";
    const auto status = [quiet](const std::string& line) {
        if (!quiet)
            WriteConsoleLine(line);
    };
    status(GetText("General", "Preparing"));
    if (!CheckPaths(debug) || !PrepareFormat(debug))
        return;

    status(GetText("General", "Importing"));
    const int32_t imported = ImportInputs();
    status(FillPlaceholders(GetText("Msg", "Import complete"), std::to_string(imported)));
    if (imported == 0) {
        WriteConsoleLine(GetText("Msg", "Conversion is not complete"));
        WriteConsoleLine(GetText("Msg", "Empty input files"));
        return;
    }

    status(GetText("General", "Converting"));
    ResetConversionProgress();
    SetWorkerLineWriter(WriteConsoleLine);
    std::thread worker = StartConversionWorker();
    worker.join();
    const int32_t converted = ConversionProgress.FilesConverted;
    if (converted != 0) {
        status(GetText("Msg", "Conversion complete"));
        status(FillPlaceholders(GetText("Msg", "Files converted"), std::to_string(converted),
                                std::to_string(imported)));
    } else {
        WriteConsoleLine(GetText("Msg", "Conversion is not complete"));
    }
}

} // namespace qm
