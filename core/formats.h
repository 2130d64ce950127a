// The output formats table (which writer, description and colour depths per format) and the
// input extensions table (which file extensions count as metafiles). Both are fixed at start-up.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

/// The output formats, in the order of the output formats table.
enum class OutputFormatKind : uint8_t {
    Bmp,
    Dds,
    Exr,
    Gif,
    Hdr,
    Ico,
    J2k,
    Jng,
    Jp2,
    Jpg,
    Jxr,
    Pbm,
    Pcx,
    Pfm,
    Pgm,
    Png,
    Ppm,
    Psd,
    Tga,
    Tiff,
    Wbmp,
    Webp,
    Xpm
};
inline constexpr size_t OutputFormatCount = 23;

/// Which library writes a format's files.
enum class FormatWriter : uint8_t {
    FreeImage, // FreeImage_Save with the format's code
    Devil,     // DevIL's writer, through a temporary file
    OpenJpeg,  // our JPEG 2000 writer (codestream or file format)
    JpegXr,    // our JPEG XR writer over libjxr
    Icon,      // our icon writer
};

/// How a format stores the depths that need a choice.
enum class DepthLayout : uint8_t {
    Default,    // 16 bits as 5-6-5, 8 bits as a quantized colour palette
    Rgb555,     // 16 bits as 5-5-5
    Greyscale8, // 8 bits as grey levels
};

/// One row of the output formats table.
struct OutputFormat {
    OutputFormatKind kind;
    std::string_view id; // identifier and file extension
    int32_t code;        // FreeImage format code, or DevIL's type code for psd, dds and pcx
    std::string_view description;     // English name of the format
    std::array<int32_t, 7> depthList; // allowed bits per pixel, ascending, then zeros
    FormatWriter writer;
    DepthLayout layout;

    /// The allowed bits per pixel, ascending.
    constexpr std::span<const int32_t> Depths() const {
        size_t n = 0;
        while (n < depthList.size() && depthList[n] != 0)
            ++n;
        return {depthList.data(), n};
    }
};

/// One row of the input extensions table.
struct InputExtension {
    std::string group;       // identifier of the input format
    std::string description; // English name of the input format
};

// Writer codes of the formats written through DevIL (its image type codes).
inline constexpr int32_t DevilPcxCode = 0x0428;
inline constexpr int32_t DevilDdsCode = 0x0437;
inline constexpr int32_t DevilPsdCode = 0x0439;

/// The output formats table, one row per OutputFormatKind in its order. FreeImage's format
/// codes are spelled out so that the core model stays free of the imaging libraries; the
/// engine checks them against FreeImage's own at compile time.
inline constexpr std::array<OutputFormat, OutputFormatCount> OutputFormatTable = {{
    {OutputFormatKind::Bmp,
     "bmp",
     0,
     "Windows or OS/2 Bitmap",
     {1, 4, 8, 16, 24, 32},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Dds,
     "dds",
     DevilDdsCode,
     "DirectDraw Surface",
     {32},
     FormatWriter::Devil,
     DepthLayout::Default},
    {OutputFormatKind::Exr,
     "exr",
     29,
     "ILM OpenEXR",
     {96},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Gif,
     "gif",
     25,
     "Graphics Interchange Format",
     {8},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Hdr,
     "hdr",
     26,
     "High Dynamic Range Image",
     {96},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Ico,
     "ico",
     1,
     "Windows Icon",
     {1, 4, 8, 16, 24, 32},
     FormatWriter::Icon,
     DepthLayout::Rgb555},
    {OutputFormatKind::J2k,
     "j2k",
     30,
     "JPEG-2000 Codestream",
     {8, 24, 32, 48},
     FormatWriter::OpenJpeg,
     DepthLayout::Greyscale8},
    {OutputFormatKind::Jng,
     "jng",
     3,
     "JPEG Network Graphics",
     {24, 32},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Jp2,
     "jp2",
     31,
     "JPEG-2000 File Format",
     {8, 24, 32, 48},
     FormatWriter::OpenJpeg,
     DepthLayout::Greyscale8},
    {OutputFormatKind::Jpg,
     "jpg",
     2,
     "JPEG File Format",
     {8, 24},
     FormatWriter::FreeImage,
     DepthLayout::Greyscale8},
    {OutputFormatKind::Jxr,
     "jxr",
     36,
     "JPEG XR Image Format",
     {1, 8, 16, 24, 32, 48, 96},
     FormatWriter::JpegXr,
     DepthLayout::Greyscale8},
    {OutputFormatKind::Pbm,
     "pbm",
     7,
     "Portable Bitmap",
     {1},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Pcx,
     "pcx",
     DevilPcxCode,
     "ZSoft Paintbrush",
     {24},
     FormatWriter::Devil,
     DepthLayout::Default},
    {OutputFormatKind::Pfm,
     "pfm",
     32,
     "Portable Floatmap",
     {96},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    // A greymap holds grey levels, not palette indices.
    {OutputFormatKind::Pgm,
     "pgm",
     11,
     "Portable Greymap",
     {8},
     FormatWriter::FreeImage,
     DepthLayout::Greyscale8},
    {OutputFormatKind::Png,
     "png",
     13,
     "Portable Network Graphics",
     {1, 4, 8, 24, 32, 48},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Ppm,
     "ppm",
     14,
     "Portable Pixelmap",
     {24, 48},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Psd,
     "psd",
     DevilPsdCode,
     "Adobe Photoshop",
     {32},
     FormatWriter::Devil,
     DepthLayout::Default},
    {OutputFormatKind::Tga,
     "tga",
     17,
     "Truevision Targa",
     {8, 16, 24, 32},
     FormatWriter::FreeImage,
     DepthLayout::Rgb555},
    {OutputFormatKind::Tiff,
     "tiff",
     18,
     "Tagged Image File Format",
     {1, 4, 8, 24, 32, 48, 96},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Wbmp,
     "wbmp",
     19,
     "Wireless Bitmap",
     {1},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Webp,
     "webp",
     35,
     "Google WebP Image Format",
     {24, 32},
     FormatWriter::FreeImage,
     DepthLayout::Default},
    {OutputFormatKind::Xpm,
     "xpm",
     23,
     "X11 Pixmap Format",
     {24},
     FormatWriter::FreeImage,
     DepthLayout::Default},
}};

/// The row of a format.
constexpr const OutputFormat& FormatRow(OutputFormatKind kind) {
    return OutputFormatTable[static_cast<size_t>(kind)];
}

/// Kept for the start-up order; the output formats table is fixed at compile time.
void BuildOutputFormats();
/// Builds the input extensions table; safe to call more than once.
void BuildInputExtensions();

/// The row of an output format identifier (exact, case-sensitive), or nullptr when unknown.
const OutputFormat* FindOutputFormat(std::string_view id);
/// The writer code of an output format, or -1 when the identifier is unknown.
int32_t FormatCode(std::string_view id);
/// The English description of an output format, or "" when the identifier is unknown.
std::string FormatDescription(std::string_view id);
/// The allowed depths of an output format, ascending; empty when the identifier is unknown.
std::vector<int32_t> AllowedDepths(std::string_view id);
/// True for the formats written through DevIL (psd, dds, pcx).
bool IsDevilFormat(std::string_view id);

/// The first allowed depth of the format that is >= depth, else its largest allowed depth;
/// 0 when the identifier is unknown.
int32_t ChooseAutoDepth(std::string_view id, int32_t depth);
/// True when depth is 0 (automatic) or one of the format's allowed depths; false for an
/// unknown identifier.
bool IsAllowedDepth(std::string_view id, int32_t depth);

/// The row of a lower-case input extension, or nullptr.
const InputExtension* FindInputExtension(std::string_view extension);
/// The extensions whose group is one of InputFormats ("emf" and "emz"); order carries no meaning.
std::vector<std::string> AcceptedInputExtensions();

} // namespace qm
