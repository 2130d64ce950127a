#include "gui/start_conversion.h"

#include <sys/stat.h>

#include "core/formats.h"
#include "core/settings.h"
#include "engine/conversion_job.h"
#include "engine/encode.h"
#include "engine/watermark.h"
#include "gui/convert_progress.h"
#include "gui/message_box.h"
#include "gui/texts.h"

namespace qm::gui {

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Size above 0 of a regular file (a missing file and a folder have none).
bool HasContent(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// Stops the run before it starts: the status bar says so (when asked to) and one box says why.
bool Refuse(RunHost& host, const QString& warning, bool stoppedInStatus = true) {
    if (stoppedInStatus)
        host.SetStatusText(Text("Msg", "Conversion is not complete"));
    ShowWarning(warning);
    return false;
}

// The checks that would make every file fail; false after the warning was shown.
bool CheckRun(RunHost& host) {
    const SettingsRecord& s = Settings;
    std::string& folder = ConversionJob.OutputFolder;
    if (InputList.Empty())
        return Refuse(host, Text("Msg", "Empty input files"));
    if (folder.empty())
        return Refuse(host, Text("Msg", "Empty output folder"));
    if (folder.back() != '/')
        folder += '/';
    if (!IsFolder(folder))
        return Refuse(host, TextWith("Msg", "Invalid output folder", Q(folder)));
    if (s.Transform.DoImageResize != 0) {
        if (s.Transform.ImageWidth == 0)
            return Refuse(host, Text("Msg", "Invalid width"));
        if (s.Transform.ImageHeight == 0)
            return Refuse(host, Text("Msg", "Invalid height"));
    }
    // The watermark checks leave "Preparing..." in the status bar.
    if (s.Watermark.DoWatermark == 1 && !WatermarkFontLoads(s))
        return Refuse(host, TextWith("Msg", "Invalid watermark font", Q(s.Watermark.Font)), false);
    if (s.Watermark.DoWatermark == 2) {
        if (s.Watermark.Image.empty())
            return Refuse(host, Text("Msg", "Empty watermark image"), false);
        if (!HasContent(s.Watermark.Image))
            return Refuse(host, TextWith("Msg", "Invalid watermark image", Q(s.Watermark.Image)),
                          false);
    }
    return true;
}

void PrepareFormatFields() {
    ConversionJobRecord& job = ConversionJob;
    job.FormatCode = FormatCode(job.FormatId);
    const int32_t* depth = FormatDepthSetting(Settings, job.FormatId);
    job.TargetDepth = depth ? *depth : 0;
    job.SaveFlags = SaveFlagsFor(job.FormatId, Settings);
    job.AutoDepth = job.TargetDepth == 0 ? 1 : 0;
}

} // namespace

int StartConversion(RunHost& host) {
    ConversionJob.OutputFolder = U8(host.OutputFolderText().trimmed());
    ConversionJob.FormatId = host.SelectedFormatId();
    host.SetStatusText(Text("General", "Preparing"));
    if (!CheckRun(host))
        return 0;
    PrepareFormatFields();
    host.RememberOutputFolder(ConversionJob.OutputFolder);
    host.SetStatusText(Text("General", "Converting"));
    ShowConvertProgress(host);
    return 0;
}

} // namespace qm::gui
