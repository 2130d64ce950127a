#include "engine/encode.h"

namespace qm {

int32_t SaveFlagsFor(std::string_view, const SettingsRecord&) {
    return 0;
}

FIBITMAP* ReduceDepth(FIBITMAP* dib, int32_t) {
    return dib;
}

bool WriteImage(FIBITMAP* dib, const ConversionJobRecord& job, const SettingsRecord&) {
    return dib && FreeImage_Save(static_cast<FREE_IMAGE_FORMAT>(job.FormatCode), dib,
                                 job.OutputPath.c_str(), job.SaveFlags);
}

} // namespace qm
