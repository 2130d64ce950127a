#include "engine/naming.h"

namespace qm {

std::string BuildOutputPath(const ConversionJobRecord& job, const SettingsRecord& s) {
    std::string path = job.OutputFolder;
    if (s.Advanced.KeepSubfolders)
        path += job.InputSubfolder;
    return path + BuildFileName(job, s);
}

std::string BuildFileName(const ConversionJobRecord& job, const SettingsRecord&) {
    std::string name = job.InputPath.substr(job.InputPath.rfind('/') + 1);
    name = name.substr(0, name.rfind('.'));
    return name + "." + job.FormatId;
}

std::string ExpandTokens(std::string_view text, const ConversionJobRecord&, const SettingsRecord&) {
    return std::string(text);
}

std::string BuildTempPath(const ConversionJobRecord& job) {
    return job.OutputPath + ".tmp";
}

} // namespace qm
