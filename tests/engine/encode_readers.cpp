#include "encode_readers.h"

#include <FreeImage.h>

#include <IL/il.h>
#include <jpeglib.h>
#include <openjpeg.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "engine/jxr_codec.h"
#include "engine/writer_devil.h"

namespace qm::test {

FIBITMAP* MakePicture(unsigned width, unsigned height) {
    FIBITMAP* dib = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 32);
    for (unsigned y = 0; y < height; ++y) {
        BYTE* row = FreeImage_GetScanLine(dib, static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x) {
            BYTE* p = row + 4 * x;
            const bool block = (x / 8 + y / 8) % 2 == 0;
            p[FI_RGBA_RED] = static_cast<BYTE>(block ? 230 : x * 255 / width);
            p[FI_RGBA_GREEN] = static_cast<BYTE>(block ? 40 + y * 3 : y * 255 / height);
            p[FI_RGBA_BLUE] = static_cast<BYTE>((x + y) % 2 ? 200 : 20);
            p[FI_RGBA_ALPHA] = 255;
        }
    }
    return dib;
}

FIBITMAP* LoadWithFreeImage(const std::string& path) {
    FREE_IMAGE_FORMAT fif = FreeImage_GetFileType(path.c_str(), 0);
    if (fif == FIF_UNKNOWN)
        fif = FreeImage_GetFIFFromFilename(path.c_str());
    return fif == FIF_UNKNOWN ? nullptr : FreeImage_Load(fif, path.c_str(), 0);
}

ImageInfo ReadWithDevil(const std::string& path) {
    InitImageLibraries();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ImageInfo info;
    if (ilLoadImage(path.c_str())) {
        info.ok = true;
        info.width = static_cast<unsigned>(ilGetInteger(IL_IMAGE_WIDTH));
        info.height = static_cast<unsigned>(ilGetInteger(IL_IMAGE_HEIGHT));
        info.bpp = static_cast<unsigned>(ilGetInteger(IL_IMAGE_BITS_PER_PIXEL));
    }
    ilDeleteImages(1, &image);
    return info;
}

ImageInfo ReadWithLibpng(const std::string& path) {
    ImageInfo info;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return info;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop pngInfo = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, pngInfo);
        info = {true, png_get_image_width(png, pngInfo), png_get_image_height(png, pngInfo),
                static_cast<unsigned>(png_get_bit_depth(png, pngInfo) *
                                      png_get_channels(png, pngInfo))};
    }
    png_destroy_read_struct(&png, &pngInfo, nullptr);
    std::fclose(file);
    return info;
}

namespace {
struct JpegError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};
} // namespace

ImageInfo ReadWithLibjpeg(const std::string& path) {
    ImageInfo info;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return info;
    jpeg_decompress_struct cinfo{};
    JpegError error{};
    cinfo.err = jpeg_std_error(&error.base);
    error.base.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1);
    };
    if (setjmp(error.jump) == 0) {
        jpeg_create_decompress(&cinfo);
        jpeg_stdio_src(&cinfo, file);
        if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK)
            info = {true, cinfo.image_width, cinfo.image_height,
                    static_cast<unsigned>(cinfo.num_components * 8)};
    }
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return info;
}

ImageInfo ReadWithLibtiff(const std::string& path) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    ImageInfo info;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff)
        return info;
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 1;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    // Every strip must decode, not only the header.
    std::vector<uint8_t> strip(static_cast<size_t>(TIFFStripSize(tiff)));
    bool decoded = true;
    for (tstrip_t s = 0; s < TIFFNumberOfStrips(tiff) && decoded; ++s)
        decoded = TIFFReadEncodedStrip(tiff, s, strip.data(), -1) >= 0;
    TIFFClose(tiff);
    return {decoded, width, height, static_cast<unsigned>(bits * samples)};
}

ImageInfo ReadWithLibjxr(const std::string& path, std::vector<uint8_t>* pixels) {
    JxrImage image;
    if (!DecodeJxrFile(path, image))
        return {};
    if (pixels)
        *pixels = std::move(image.rows);
    return {true, image.width, image.height, image.bitsPerPixel};
}

ImageInfo ReadWithOpenJpeg(const std::string& path) {
    const std::vector<uint8_t> head = ReadFileBytes(path);
    const bool codestream = head.size() >= 2 && head[0] == 0xFF && head[1] == 0x4F;
    opj_codec_t* codec = opj_create_decompress(codestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    opj_stream_t* stream = opj_stream_create_default_file_stream(path.c_str(), OPJ_TRUE);
    opj_image_t* image = nullptr;
    ImageInfo info;
    if (stream && opj_setup_decoder(codec, &parameters) && opj_read_header(stream, codec, &image) &&
        opj_decode(codec, stream, image) && opj_end_decompress(codec, stream)) {
        info = {true, image->x1 - image->x0, image->y1 - image->y0, 0};
        for (unsigned c = 0; c < image->numcomps; ++c)
            info.bpp += image->comps[c].prec;
    }
    opj_image_destroy(image);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    return info;
}

namespace {

// The colour of a pixel as 8-bit red, green and blue, whatever the bitmap's type.
std::array<int, 3> ColourAt(FIBITMAP* dib, unsigned x, unsigned y) {
    const BYTE* row = FreeImage_GetScanLine(dib, static_cast<int>(y));
    switch (FreeImage_GetImageType(dib)) {
    case FIT_RGB16: {
        const FIRGB16& p = reinterpret_cast<const FIRGB16*>(row)[x];
        return {p.red >> 8, p.green >> 8, p.blue >> 8};
    }
    case FIT_RGBF: {
        const FIRGBF& p = reinterpret_cast<const FIRGBF*>(row)[x];
        auto to8 = [](float v) { return static_cast<int>(std::clamp(v, 0.0f, 1.0f) * 255 + 0.5f); };
        return {to8(p.red), to8(p.green), to8(p.blue)};
    }
    default:
        break;
    }
    RGBQUAD c{};
    if (FreeImage_GetBPP(dib) <= 8) {
        BYTE index = 0;
        FreeImage_GetPixelIndex(dib, x, y, &index);
        c = FreeImage_GetPalette(dib)[index];
    } else {
        FreeImage_GetPixelColor(dib, x, y, &c);
    }
    return {c.rgbRed, c.rgbGreen, c.rgbBlue};
}

} // namespace

int MaxChannelDifference(FIBITMAP* a, FIBITMAP* b) {
    if (!a || !b || FreeImage_GetWidth(a) != FreeImage_GetWidth(b) ||
        FreeImage_GetHeight(a) != FreeImage_GetHeight(b))
        return -1;
    int worst = 0;
    for (unsigned y = 0; y < FreeImage_GetHeight(a); ++y)
        for (unsigned x = 0; x < FreeImage_GetWidth(a); ++x) {
            const auto ca = ColourAt(a, x, y);
            const auto cb = ColourAt(b, x, y);
            for (int i = 0; i < 3; ++i)
                worst = std::max(worst, std::abs(ca[i] - cb[i]));
        }
    return worst;
}

std::string TemporaryFolder(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("qm_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder.string() + "/";
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace qm::test

namespace {
// Library messages go to the test log.
const bool MessagesShown = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    FreeImage_SetOutputMessage([](FREE_IMAGE_FORMAT fif, const char* message) {
        std::fprintf(stderr, "FreeImage (%d): %s\n", static_cast<int>(fif), message);
    });
    return true;
}();
} // namespace
