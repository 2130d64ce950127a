#include "engine/writer_devil.h"

#include <FreeImage.h>

#include <IL/il.h>
#include <IL/ilu.h>

#include <cstdio>
#include <mutex>
#include <vector>

#include "core/formats.h"
#include "engine/file_output.h"
#include "engine/library_messages.h"

namespace qm {
namespace {

static_assert(DevilPcxCode == IL_PCX && DevilDdsCode == IL_DDS && DevilPsdCode == IL_PSD);

// DevIL keeps one current image per process.
std::mutex DevilLock;

// DevIL's file writes go through these, so that a short write or a failed close fails the
// save: its own writer does not check them. Set only while DevilLock is held.
CheckedFile* g_devilFile = nullptr;
bool g_devilFileFailed = false;

ILHANDLE ILAPIENTRY OpenForDevil(ILconst_string path) {
    g_devilFile = new CheckedFile(path);
    g_devilFileFailed = !g_devilFile->IsOpen();
    return g_devilFileFailed ? nullptr : g_devilFile;
}
void ILAPIENTRY CloseForDevil(ILHANDLE handle) {
    auto* file = static_cast<CheckedFile*>(handle);
    if (!file->Close())
        g_devilFileFailed = true;
    delete file;
    g_devilFile = nullptr;
}
ILint ILAPIENTRY PutcForDevil(ILubyte c, ILHANDLE handle) {
    return static_cast<CheckedFile*>(handle)->Write(&c, 1, 1) == 1 ? c : IL_EOF;
}
ILint ILAPIENTRY SeekForDevil(ILHANDLE handle, ILint offset, ILint origin) {
    return static_cast<CheckedFile*>(handle)->Seek(offset, origin) ? 0 : -1;
}
ILint ILAPIENTRY TellForDevil(ILHANDLE handle) {
    return static_cast<ILint>(static_cast<CheckedFile*>(handle)->Tell());
}
ILint ILAPIENTRY WriteForDevil(const void* data, ILuint size, ILuint count, ILHANDLE handle) {
    return static_cast<ILint>(static_cast<CheckedFile*>(handle)->Write(data, size, count));
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
                      unsigned channels, const ConversionJobRecord& job) {
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
    ilSetWrite(OpenForDevil, CloseForDevil, PutcForDevil, SeekForDevil, TellForDevil,
               WriteForDevil);
    g_devilFileFailed = false;
    const bool saved =
        ilSave(static_cast<ILenum>(job.FormatCode), job.OutputPath.c_str()) != IL_FALSE;
    if (g_devilFile) // a writer that returned without closing
        CloseForDevil(g_devilFile);
    ilResetWrite();
    return saved && !g_devilFileFailed;
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
    std::lock_guard<std::mutex> lock(DevilLock);
    ilEnable(IL_FILE_OVERWRITE);
    ILuint image = 0;
    ilGenImages(1, &image);
    ilGetError(); // errors of an earlier file are not this one's
    const bool ok = SaveCurrentImage(image, dib, pixels, channels, job);
    // DevIL keeps its errors for asking; they become part of the failure reason.
    for (ILenum error = ilGetError(); !ok && error != IL_NO_ERROR; error = ilGetError())
        NoteLibraryMessage("DevIL", iluErrorString(error));
    ilDeleteImages(1, &image);
    return ok;
}

} // namespace qm
