#include "cli/value_checks.h"

#include <algorithm>
#include <sys/stat.h>

#include "core/formats.h"
#include "engine/conversion_worker.h"
#include "engine/watermark.h"

namespace qm {

namespace {

std::string Failed(bool valid, const char* message) {
    return valid ? std::string() : std::string(message);
}

} // namespace

bool IsKnownFormat(std::string_view id) {
    return std::find(OutputFormats.begin(), OutputFormats.end(), id) != OutputFormats.end();
}

std::string CheckConversionType(std::string_view id) {
    return Failed(IsKnownFormat(id), "Error: Invalid conversion type");
}

std::string CheckDepth(std::string_view id, const SettingsRecord& s) {
    if (!IsKnownFormat(id))
        return CheckConversionType(id);
    const int32_t* depth = FormatDepthSetting(const_cast<SettingsRecord&>(s), id);
    if (depth != nullptr && IsAllowedDepth(id, *depth))
        return {};
    return "Error: Invalid " + std::string(id) + "-bpp value";
}

std::string CheckQuality(std::string_view id, const SettingsRecord& s) {
    if (id == "jpg")
        return Failed(s.Output.JPGQuality >= 1 && s.Output.JPGQuality <= 100,
                      "Error: Invalid jpg-quality value");
    if (id == "webp")
        return Failed(s.Output.WEBPQuality >= 1 && s.Output.WEBPQuality <= 100,
                      "Error: Invalid webp-quality value");
    return {};
}

std::string CheckWidth(const SettingsRecord& s) {
    return Failed(s.Transform.ImageWidth != 0, "Error: Invalid width value");
}

std::string CheckHeight(const SettingsRecord& s) {
    return Failed(s.Transform.ImageHeight != 0, "Error: Invalid height value");
}

std::string CheckThreads(const SettingsRecord& s) {
    return Failed(s.Advanced.Threads >= 0 && s.Advanced.Threads <= MaxConversionThreads,
                  "Error: Invalid threads value");
}

std::string CheckBrightness(const SettingsRecord& s) {
    const int32_t v = s.Adjustment.ImageBrightness;
    return Failed(v >= -100 && v <= 100, "Error: Invalid brightness value");
}

std::string CheckContrast(const SettingsRecord& s) {
    const int32_t v = s.Adjustment.ImageContrast;
    return Failed(v >= -100 && v <= 100, "Error: Invalid contrast value");
}

std::string CheckGamma(const SettingsRecord& s) {
    // Both ends compared as 32-bit reals; NaN fails both comparisons.
    const float v = s.Adjustment.ImageGamma;
    return Failed(v >= 0.01f && v <= 9.99f, "Error: Invalid gamma value");
}

std::string CheckWatermarkFont(const SettingsRecord& s) {
    // Loading it here also keeps it loaded for the files that follow.
    return Failed(WatermarkFontLoads(s), "Error: Invalid watermark font");
}

std::string CheckWatermarkImage(const SettingsRecord& s) {
    struct stat st {};
    const std::string& path = s.Watermark.Image;
    const bool valid = !path.empty() && path.find('\0') == std::string::npos &&
                       stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    return Failed(valid, "Error: Invalid watermark image");
}

int32_t FontStyleFlags(int32_t style) {
    switch (style) {
    case 1:
        return 256;
    case 2:
        return 512;
    case 3:
        return 768;
    default:
        return 0;
    }
}

int32_t FontEffectFlags(int32_t effect) {
    switch (effect) {
    case 1:
        return 4;
    case 2:
        return 8;
    default:
        return 0;
    }
}

} // namespace qm
