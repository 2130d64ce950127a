#include "engine/writer_ico.h"

#include "engine/file_output.h"
#include <FreeImage.h>

#include <cstdio>
#include <cstring>

namespace qm {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

bool WriteIcoAsIs(FIBITMAP* dib, const std::string& path);

// FreeImage writes square icons of 16 to 256 pixels, but declares 16-bit ones as bit fields
// without the masks, which other readers reject: those go through our own container.
bool FreeImageTakes(FIBITMAP* dib) {
    const unsigned w = FreeImage_GetWidth(dib);
    return w == FreeImage_GetHeight(dib) && w >= 16 && w <= 256 && FreeImage_GetBPP(dib) != 16;
}

} // namespace

std::vector<uint8_t> EncodeIco(FIBITMAP* dib) {
    const unsigned bpp = FreeImage_GetBPP(dib);
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    const bool supported = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32 ||
                           (bpp == 16 && FreeImage_GetGreenMask(dib) == FI16_555_GREEN_MASK);
    if (FreeImage_GetImageType(dib) != FIT_BITMAP || !supported || width == 0 || height == 0 ||
        width > 256 || height > 256)
        return {};
    const unsigned colours = bpp <= 8 ? FreeImage_GetColorsUsed(dib) : 0;
    const unsigned pitch = FreeImage_GetPitch(dib);
    const unsigned maskPitch = (width + 31) / 32 * 4;
    const uint32_t imageSize = pitch * height + maskPitch * height;
    const uint32_t resourceSize = 40 + 4 * colours + imageSize;

    std::vector<uint8_t> out;
    out.reserve(22 + resourceSize);
    // Icon directory with one entry; 0 stands for 256 in the one-byte sizes.
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, 1);
    out.push_back(static_cast<uint8_t>(width & 0xFF));
    out.push_back(static_cast<uint8_t>(height & 0xFF));
    out.push_back(static_cast<uint8_t>(colours < 256 ? colours : 0));
    out.push_back(0);
    Put16(out, 1);
    Put16(out, bpp);
    Put32(out, resourceSize);
    Put32(out, 22);
    // The image: a bitmap header of twice the height (colour rows, then the mask rows).
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height * 2);
    Put16(out, 1);
    Put16(out, bpp);
    Put32(out, 0);
    Put32(out, imageSize);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, colours);
    Put32(out, 0);
    const RGBQUAD* palette = FreeImage_GetPalette(dib);
    for (unsigned i = 0; i < colours; ++i) {
        out.push_back(palette[i].rgbBlue);
        out.push_back(palette[i].rgbGreen);
        out.push_back(palette[i].rgbRed);
        out.push_back(0);
    }
    for (unsigned y = 0; y < height; ++y) {
        const uint8_t* row = FreeImage_GetScanLine(dib, static_cast<int>(y));
        out.insert(out.end(), row, row + pitch);
    }
    // An all-clear mask: every pixel is opaque.
    out.resize(out.size() + static_cast<size_t>(maskPitch) * height, 0);
    return out;
}

bool WriteIco(FIBITMAP* dib, const std::string& path) {
    if (!dib)
        return false;
    // Icons store 16-bit pixels as 5-5-5.
    FIBITMAP* converted = nullptr;
    if (FreeImage_GetBPP(dib) == 16 && FreeImage_GetGreenMask(dib) != FI16_555_GREEN_MASK) {
        converted = FreeImage_ConvertTo16Bits555(dib);
        if (!converted)
            return false;
        dib = converted;
    }
    const bool ok = WriteIcoAsIs(dib, path);
    if (converted)
        FreeImage_Unload(converted);
    return ok;
}

namespace {

bool WriteIcoAsIs(FIBITMAP* dib, const std::string& path) {
    if (FreeImageTakes(dib) && SaveFreeImageFile(FIF_ICO, dib, path, 0))
        return true;
    const std::vector<uint8_t> data = EncodeIco(dib);
    return !data.empty() && WriteBytesToFile(data, path);
}

} // namespace

} // namespace qm
