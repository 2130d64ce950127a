#include "engine/writer_devil.h"

#include <FreeImage.h>

#include <IL/il.h>
#include <IL/ilu.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <sys/stat.h>
#include <vector>

#include "core/formats.h"
#include "engine/naming.h"

namespace qm {
namespace {

static_assert(DevilPcxCode == IL_PCX && DevilDdsCode == IL_DDS && DevilPsdCode == IL_PSD);

// DevIL keeps one current image per process.
std::mutex DevilLock;

// Deletes an existing file, making it writable first.
bool DeleteExisting(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    chmod(path.c_str(), st.st_mode | S_IWUSR);
    return std::remove(path.c_str()) == 0;
}

std::string TemporaryPath(const ConversionJobRecord& job) {
    if (!job.TempPath.empty())
        return job.TempPath;
    const std::string folder = job.OutputPath.substr(0, job.OutputPath.rfind('/') + 1);
    return folder + RandomLetters("pirelo", "") + "." + job.FormatId;
}

// The picture as packed bottom-up BGR or BGRA rows, as ilTexImage wants them.
std::vector<uint8_t> RawPixels(FIBITMAP* dib, unsigned channels) {
    const unsigned bpp = channels * 8;
    Bitmap converted;
    if (FreeImage_GetBPP(dib) != bpp || FreeImage_GetImageType(dib) != FIT_BITMAP) {
        converted.reset(bpp == 32 ? FreeImage_ConvertTo32Bits(dib)
                                  : FreeImage_ConvertTo24Bits(dib));
        if (!converted)
            return {};
    }
    FIBITMAP* source = converted ? converted.get() : dib;
    const unsigned width = FreeImage_GetWidth(source);
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * channels *
                                FreeImage_GetHeight(source));
    FreeImage_ConvertToRawBits(pixels.data(), source, static_cast<int>(width * channels), bpp,
                               FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, FALSE);
    return pixels;
}

bool SaveCurrentImage(ILuint image, FIBITMAP* dib, const std::vector<uint8_t>& pixels,
                      unsigned channels, const ConversionJobRecord& job, const std::string& temp) {
    ilBindImage(image);
    const ILubyte depth = static_cast<ILubyte>(ilGetInteger(IL_IMAGE_DEPTH));
    if (!ilTexImage(FreeImage_GetWidth(dib), FreeImage_GetHeight(dib), depth ? depth : 1,
                    static_cast<ILubyte>(channels), channels == 4 ? IL_BGRA : IL_BGR,
                    IL_UNSIGNED_BYTE, const_cast<uint8_t*>(pixels.data())))
        return false;
    if (job.FormatCode == DevilDdsCode && !iluBuildMipmaps())
        return false;
    // Building mipmaps leaves a level bound; the save must see the base image.
    ilBindImage(image);
    return ilSave(static_cast<ILenum>(job.FormatCode), temp.c_str()) != IL_FALSE;
}

} // namespace

void InitImageLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        ilInit();
        iluInit();
    });
}

bool WriteWithDevil(FIBITMAP* dib, const ConversionJobRecord& job) {
    if (!dib || job.OutputPath.empty())
        return false;
    InitImageLibraries();
    // PCX from four channels comes out 32-bit, which readers refuse: it gets three.
    const unsigned channels = job.FormatCode != DevilPcxCode && FreeImage_GetBPP(dib) == 32 ? 4 : 3;
    const std::vector<uint8_t> pixels = RawPixels(dib, channels);
    if (pixels.empty())
        return false;
    const std::string temp = TemporaryPath(job);

    std::lock_guard<std::mutex> lock(DevilLock);
    ilEnable(IL_FILE_OVERWRITE);
    ILuint image = 0;
    ilGenImages(1, &image);
    bool ok =
        DeleteExisting(job.OutputPath) && SaveCurrentImage(image, dib, pixels, channels, job, temp);
    ilDeleteImages(1, &image);
    ok = ok && std::rename(temp.c_str(), job.OutputPath.c_str()) == 0;
    if (!ok) {
        std::remove(temp.c_str());
        std::remove(job.OutputPath.c_str());
    }
    return ok;
}

} // namespace qm
