#include "engine/encode.h"

#include <FreeImage.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <span>

#include "core/formats.h"
#include "core/text_case.h"
#include "engine/file_output.h"
#include "engine/library_messages.h"
#include "engine/staged_output.h"
#include "engine/writer_bmp.h"
#include "engine/writer_devil.h"
#include "engine/writer_ico.h"
#include "engine/writer_j2k.h"
#include "engine/writer_jxr.h"
#include "engine/writer_png.h"
#include "engine/writer_webp.h"

namespace qm {
namespace {

// The FreeImage check of the output formats table: every code it spells out is FreeImage's.
constexpr bool CodeIs(OutputFormatKind kind, FREE_IMAGE_FORMAT code) {
    return FormatRow(kind).code == static_cast<int32_t>(code);
}
static_assert(CodeIs(OutputFormatKind::Bmp, FIF_BMP));
static_assert(CodeIs(OutputFormatKind::Exr, FIF_EXR));
static_assert(CodeIs(OutputFormatKind::Gif, FIF_GIF));
static_assert(CodeIs(OutputFormatKind::Hdr, FIF_HDR));
static_assert(CodeIs(OutputFormatKind::Ico, FIF_ICO));
static_assert(CodeIs(OutputFormatKind::J2k, FIF_J2K));
static_assert(CodeIs(OutputFormatKind::Jng, FIF_JNG));
static_assert(CodeIs(OutputFormatKind::Jp2, FIF_JP2));
static_assert(CodeIs(OutputFormatKind::Jpg, FIF_JPEG));
static_assert(CodeIs(OutputFormatKind::Jxr, FIF_JXR));
static_assert(CodeIs(OutputFormatKind::Pbm, FIF_PBM));
static_assert(CodeIs(OutputFormatKind::Pfm, FIF_PFM));
static_assert(CodeIs(OutputFormatKind::Pgm, FIF_PGM));
static_assert(CodeIs(OutputFormatKind::Png, FIF_PNG));
static_assert(CodeIs(OutputFormatKind::Ppm, FIF_PPM));
static_assert(CodeIs(OutputFormatKind::Tga, FIF_TARGA));
static_assert(CodeIs(OutputFormatKind::Tiff, FIF_TIFF));
static_assert(CodeIs(OutputFormatKind::Wbmp, FIF_WBMP));
static_assert(CodeIs(OutputFormatKind::Webp, FIF_WEBP));
static_assert(CodeIs(OutputFormatKind::Xpm, FIF_XPM));

// Writer flags by the value each setting stores (0, 1, 2, ...).
constexpr int32_t BmpCompressionFlags[] = {BMP_DEFAULT, BMP_SAVE_RLE};
constexpr int32_t ExrCompressionFlags[] = {EXR_NONE, EXR_ZIP, EXR_PIZ, EXR_PXR24, EXR_B44};
constexpr int32_t JpgChromaFlags[] = {JPEG_SUBSAMPLING_444, JPEG_SUBSAMPLING_422,
                                      JPEG_SUBSAMPLING_420, JPEG_SUBSAMPLING_411};
constexpr int32_t JpgSaveAsFlags[] = {0, JPEG_BASELINE, JPEG_OPTIMIZE, JPEG_PROGRESSIVE};
constexpr int32_t PngCompressionFlags[] = {PNG_Z_NO_COMPRESSION, PNG_Z_BEST_SPEED,
                                           PNG_Z_DEFAULT_COMPRESSION, PNG_Z_BEST_COMPRESSION};
constexpr int32_t TgaCompressionFlags[] = {TARGA_DEFAULT, TARGA_SAVE_RLE};
constexpr int32_t TiffCompressionFlags[] = {TIFF_NONE,     TIFF_CCITTFAX3, TIFF_CCITTFAX4,
                                            TIFF_PACKBITS, TIFF_DEFLATE,   TIFF_ADOBE_DEFLATE,
                                            TIFF_LZW,      TIFF_JPEG,      TIFF_LOGLUV};

int32_t PickFlag(int32_t value, std::span<const int32_t> flags) {
    return value >= 0 && static_cast<size_t>(value) < flags.size() ? flags[value] : 0;
}

// Runs one library conversion; the input is unloaded whether or not it succeeds.
FIBITMAP* Replace(FIBITMAP* dib, FIBITMAP* converted) {
    if (converted != dib)
        FreeImage_Unload(dib);
    return converted;
}

bool IsGreyscale(FIBITMAP* dib) {
    return FreeImage_GetColorType(dib) == FIC_MINISBLACK;
}

bool Is565(FIBITMAP* dib) {
    return FreeImage_GetBPP(dib) == 16 && FreeImage_GetGreenMask(dib) == FI16_565_GREEN_MASK;
}

// A 24-bit copy of floating-point colours, clamped to 0..1.
FIBITMAP* ClampFloatsTo24Bits(FIBITMAP* dib) {
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    FIBITMAP* out = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 24);
    auto to8 = [](float v) { return static_cast<BYTE>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    for (unsigned y = 0; out && y < height; ++y) {
        const auto* in = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(dib, int(y)));
        BYTE* row = FreeImage_GetScanLine(out, static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x, row += 3) {
            row[FI_RGBA_RED] = to8(in[x].red);
            row[FI_RGBA_GREEN] = to8(in[x].green);
            row[FI_RGBA_BLUE] = to8(in[x].blue);
        }
    }
    return out;
}

FIBITMAP* To24Bits(FIBITMAP* dib) {
    return FreeImage_GetImageType(dib) == FIT_RGBF ? ClampFloatsTo24Bits(dib)
                                                   : FreeImage_ConvertTo24Bits(dib);
}

// A copy of a 32-bit picture with its colours as inks: FreeImage's TIFF writer stores the four
// bytes of each pixel, in memory order, as C, M, Y and K when asked for CMYK.
FIBITMAP* ToCmyk(FIBITMAP* dib) {
    FIBITMAP* out = FreeImage_Clone(dib);
    for (unsigned y = 0; out && y < FreeImage_GetHeight(out); ++y) {
        BYTE* p = FreeImage_GetScanLine(out, static_cast<int>(y));
        for (unsigned x = 0; x < FreeImage_GetWidth(out); ++x, p += 4) {
            const int r = p[FI_RGBA_RED], g = p[FI_RGBA_GREEN], b = p[FI_RGBA_BLUE];
            const int k = 255 - std::max({r, g, b});
            auto ink = [k](int c) { return k == 255 ? 0 : (255 - c - k) * 255 / (255 - k); };
            p[0] = static_cast<BYTE>(ink(r));
            p[1] = static_cast<BYTE>(ink(g));
            p[2] = static_cast<BYTE>(ink(b));
            p[3] = static_cast<BYTE>(k);
        }
    }
    return out;
}

int Brightness(const RGBQUAD& c) {
    return c.rgbRed + c.rgbGreen + c.rgbBlue;
}

// A copy of a 1-bit picture whose set bits are the dark pixels: FreeImage's PBM writer stores
// the bits as they are, and in PBM a set bit is black.
FIBITMAP* SetBitsBlack(FIBITMAP* dib) {
    FIBITMAP* out = FreeImage_Clone(dib);
    RGBQUAD* palette = out ? FreeImage_GetPalette(out) : nullptr;
    if (!palette)
        return out;
    std::swap(palette[0], palette[1]);
    for (unsigned y = 0; y < FreeImage_GetHeight(out); ++y) {
        BYTE* row = FreeImage_GetScanLine(out, static_cast<int>(y));
        for (unsigned i = 0; i < FreeImage_GetLine(out); ++i)
            row[i] = static_cast<BYTE>(~row[i]);
    }
    return out;
}

bool SetBitsAreBright(FIBITMAP* dib) {
    const RGBQUAD* palette = FreeImage_GetPalette(dib);
    return palette && Brightness(palette[1]) > Brightness(palette[0]);
}

// The bitmap in the form the FreeImage writer of a format accepts: the bitmap itself, or a
// converted copy (in `copy`), or null when no conversion helps. Guards against writers that
// fail, or abort the process, on input the depth step does not normally produce.
FIBITMAP* FitForFreeImageWriter(FIBITMAP* dib, OutputFormatKind kind, int32_t flags, Bitmap& copy) {
    using enum OutputFormatKind;
    const unsigned bpp = FreeImage_GetBPP(dib);
    const bool plain = FreeImage_GetImageType(dib) == FIT_BITMAP;
    if (kind == Webp && (!plain || (bpp != 24 && bpp != 32)))
        copy.reset(To24Bits(dib));
    else if ((kind == Jpg || kind == Pgm) && plain && bpp == 8 && !IsGreyscale(dib))
        copy.reset(FreeImage_ConvertToGreyscale(dib));
    else if (kind == Pbm && plain && bpp == 1 && SetBitsAreBright(dib))
        copy.reset(SetBitsBlack(dib));
    else if (kind == Tga && Is565(dib))
        copy.reset(FreeImage_ConvertTo16Bits555(dib));
    else if (kind == Tiff && (flags & TIFF_CMYK) && plain && bpp == 32)
        copy.reset(ToCmyk(dib)); // the writer would take the colour bytes as inks
    else
        return dib;
    return copy.get();
}

bool SaveWithFreeImage(FIBITMAP* dib, const OutputFormat& format, const ConversionJobRecord& job) {
    Bitmap copy;
    FIBITMAP* source = FitForFreeImageWriter(dib, format.kind, job.SaveFlags, copy);
    return source && SaveFreeImageFile(job.FormatCode, source, job.OutputPath, job.SaveFlags);
}

} // namespace

int32_t SaveFlagsFor(std::string_view id, const SettingsRecord& s) {
    const OutputFormat* format = FindOutputFormat(id);
    if (!format)
        return 0;
    const OutputGroup& o = s.Output;
    switch (format->kind) {
    case OutputFormatKind::Bmp:
        return PickFlag(o.BMPCompression, BmpCompressionFlags);
    case OutputFormatKind::Exr:
        return PickFlag(o.EXRCompression, ExrCompressionFlags);
    case OutputFormatKind::Jpg:
        return o.JPGQuality | PickFlag(o.JPGChroma, JpgChromaFlags) |
               PickFlag(o.JPGSaveAs, JpgSaveAsFlags);
    case OutputFormatKind::Jxr:
        return JXR_LOSSLESS;
    case OutputFormatKind::Png:
        return PickFlag(o.PNGCompression, PngCompressionFlags) |
               (o.PNGInterlaced ? PNG_INTERLACED : 0);
    case OutputFormatKind::Tga:
        return PickFlag(o.TGACompression, TgaCompressionFlags);
    case OutputFormatKind::Tiff:
        return PickFlag(o.TIFFCompression, TiffCompressionFlags) |
               (o.TIFFColorModel == 1 ? TIFF_CMYK : 0);
    case OutputFormatKind::Webp:
        return o.WEBPQuality == 100 ? WEBP_LOSSLESS : o.WEBPQuality;
    default:
        return 0;
    }
}

FIBITMAP* ReduceDepth(FIBITMAP* dib, int32_t targetDepth) {
    return ReduceDepth(dib, targetDepth, {});
}

FIBITMAP* ReduceDepth(FIBITMAP* dib, int32_t targetDepth, std::string_view id) {
    if (!dib)
        return nullptr;
    const OutputFormat* format = FindOutputFormat(id);
    const DepthLayout layout = format ? format->layout : DepthLayout::Default;
    const unsigned bpp = FreeImage_GetBPP(dib);
    if (static_cast<int32_t>(bpp) == targetDepth)
        return dib;
    switch (targetDepth) {
    case 96:
        return Replace(dib, FreeImage_ConvertToRGBF(dib));
    case 48:
        return Replace(dib, FreeImage_ConvertToRGB16(dib));
    case 32:
        return Replace(dib, FreeImage_ConvertTo32Bits(dib));
    case 24:
        return Replace(dib, FreeImage_ConvertTo24Bits(dib));
    case 16:
        // The 16-bit converters take standard bitmaps only.
        if (bpp > 32 && !(dib = Replace(dib, FreeImage_ConvertTo24Bits(dib))))
            return nullptr;
        return Replace(dib, layout == DepthLayout::Rgb555 ? FreeImage_ConvertTo16Bits555(dib)
                                                          : FreeImage_ConvertTo16Bits565(dib));
    case 8:
        if (layout == DepthLayout::Greyscale8)
            return Replace(dib, FreeImage_ConvertTo8Bits(dib));
        // The quantizer takes 24-bit input.
        if (bpp != 24 && !(dib = Replace(dib, FreeImage_ConvertTo24Bits(dib))))
            return nullptr;
        return Replace(dib, FreeImage_ColorQuantizeEx(dib, FIQ_WUQUANT, 256, 0, nullptr));
    case 4:
        return Replace(dib, FreeImage_ConvertTo4Bits(dib));
    case 1:
        return Replace(dib, FreeImage_Dither(dib, FID_FS));
    default:
        FreeImage_Unload(dib);
        return nullptr;
    }
}

FIBITMAP* ReduceDepth(FIBITMAP* dib, ConversionJobRecord& job) {
    if (job.AutoDepth)
        job.TargetDepth = ChooseAutoDepth(job.FormatId, job.SourceDepth);
    return ReduceDepth(dib, job.TargetDepth, job.FormatId);
}

bool RemovePartialOutput(const std::string& path) {
    return path.empty() || std::remove(path.c_str()) == 0 || errno == ENOENT;
}

namespace {

bool WriteByFormat(FIBITMAP* dib, const OutputFormat& format, const ConversionJobRecord& job,
                   const SettingsRecord& s) {
    if (format.writer == FormatWriter::Devil)
        return WriteWithDevil(dib, job);
    bool ok = false;
    const bool bmp = format.kind == OutputFormatKind::Bmp;
    const bool rle = (job.SaveFlags & BMP_SAVE_RLE) != 0;
    if (bmp && job.TargetDepth == 8 && s.Output.BMPColorTable == 1)
        ok = WriteShortPaletteBmp(dib, job.OutputPath, job.SaveFlags) > 0;
    else if (bmp && rle && FreeImage_GetBPP(dib) == 8)
        ok = WritePaletteBmp(dib, job.OutputPath, job.SaveFlags, false) > 0;
    else if (format.kind == OutputFormatKind::Png && IsTrueColourPngBitmap(dib))
        ok = WriteTrueColourPng(dib, job.OutputPath, job.SaveFlags); // keeps an opaque alpha
    else if (format.kind == OutputFormatKind::Webp && FreeImage_GetBPP(dib) == 32 &&
             FreeImage_GetImageType(dib) == FIT_BITMAP)
        ok = WriteWebpWithAlpha(dib, job.OutputPath, job.SaveFlags);
    else if (format.writer == FormatWriter::JpegXr)
        ok = WriteJxr(dib, job.OutputPath, job.SaveFlags);
    else if (format.writer == FormatWriter::Icon)
        ok = WriteIco(dib, job.OutputPath);
    else if (format.writer == FormatWriter::OpenJpeg)
        ok = WriteJ2k(dib, job.OutputPath, job.SaveFlags,
                      format.kind == OutputFormatKind::Jp2 ? J2kContainer::File
                                                           : J2kContainer::Codestream);
    else
        ok = SaveWithFreeImage(dib, format, job);
    return ok;
}

} // namespace

bool WriteImageFile(FIBITMAP* dib, const ConversionJobRecord& job, const SettingsRecord& s) {
    const OutputFormat* format = FindOutputFormat(job.FormatId);
    return format && dib && !job.OutputPath.empty() && WriteByFormat(dib, *format, job, s);
}

bool WriteImage(FIBITMAP* dib, const ConversionJobRecord& job, const SettingsRecord& s,
                std::string* reason) {
    const auto fail = [&](const std::string& cause) {
        if (reason)
            *reason = UpperAscii(job.FormatId) + " writer: " + cause;
        return false;
    };
    const OutputFormat* format = FindOutputFormat(job.FormatId);
    if (!format)
        return fail("unknown output format");
    if (!dib)
        return fail("no picture to write");
    if (job.OutputPath.empty())
        return fail("no output name");
    if (const std::string problem = OutputNameProblem(job); !problem.empty())
        return fail(problem);
    // Written beside the output under a temporary name, then renamed over it.
    StagedOutput staged(job.OutputPath, job.FormatId);
    if (staged.Path().empty())
        return fail(staged.Error());
    ConversionJobRecord toTemporary = job;
    toTemporary.OutputPath = staged.Path();
    // The libraries' own messages say why a write failed.
    RouteLibraryMessages();
    ClearLibraryMessages();
    if (!WriteByFormat(dib, *format, toTemporary, s)) {
        const std::string messages = LibraryMessages();
        return fail("cannot write " + job.OutputPath + (messages.empty() ? "" : ": " + messages));
    }
    if (!staged.Commit())
        return fail(staged.Error());
    return true;
}

} // namespace qm
