// EMF+ image objects: bitmaps given as pixel data in any of the pixel formats, bitmaps given as
// a compressed file (PNG, JPEG and EXIF, GIF, TIFF, BMP), and metafiles (EMF and WMF).
#include <FreeImage.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/emf/dib.h"
#include "platform/emf/dib_embedded.h"
#include "platform/emfplus/emfplus_objects.h"
#include "platform/wmf/wmf_convert.h"

namespace qm::emfplus {

namespace {

// Pixel formats.
constexpr uint32_t kFormat1bppIndexed = 0x00030101;
constexpr uint32_t kFormat4bppIndexed = 0x00030402;
constexpr uint32_t kFormat8bppIndexed = 0x00030803;
constexpr uint32_t kFormat16bppGrey = 0x00101004;
constexpr uint32_t kFormat16bppRgb555 = 0x00021005;
constexpr uint32_t kFormat16bppRgb565 = 0x00021006;
constexpr uint32_t kFormat16bppArgb1555 = 0x00061007;
constexpr uint32_t kFormat24bppRgb = 0x00021808;
constexpr uint32_t kFormat32bppRgb = 0x00022009;
constexpr uint32_t kFormat32bppArgb = 0x0026200A;
constexpr uint32_t kFormat32bppPargb = 0x000E200B;
constexpr uint32_t kFormat48bppRgb = 0x0010300C;
constexpr uint32_t kFormat64bppArgb = 0x0034400D;
constexpr uint32_t kFormat64bppPargb = 0x001A400E;

// Metafile data types.
constexpr uint32_t kMetafileWmf = 1;
constexpr uint32_t kMetafileWmfPlaceable = 2;
constexpr uint32_t kMetafileEmf = 3;
constexpr uint32_t kMetafileEmfPlusDual = 5;

uint32_t Premultiply(uint32_t c) {
    const uint32_t a = c >> 24;
    if (a == 255)
        return c;
    auto m = [a](uint32_t v) { return (v * a + 127) / 255; };
    return (a << 24) | (m((c >> 16) & 0xFF) << 16) | (m((c >> 8) & 0xFF) << 8) | m(c & 0xFF);
}

// Keeps premultiplied components within their alpha, as the surface requires.
uint32_t ClampPremultiplied(uint32_t c) {
    const uint32_t a = c >> 24;
    auto m = [a](uint32_t v) { return std::min(v, a); };
    return (a << 24) | (m((c >> 16) & 0xFF) << 16) | (m((c >> 8) & 0xFF) << 8) | m(c & 0xFF);
}

uint32_t Expand5(uint32_t v) {
    return (v << 3) | (v >> 2);
}

// Samples of 16 bits a channel. The system keeps them linear (gamma 1.0) on a scale of 0 to
// 8192; a bitmap with larger samples is taken as written on the full 16-bit scale in sRGB.
class WideSamples {
public:
    explicit WideSamples(bool linear) : m_linear(linear) {}
    uint32_t Colour(uint32_t v) const {
        if (!m_linear)
            return v >> 8;
        static const std::array<uint8_t, 8193> table = [] {
            std::array<uint8_t, 8193> t{};
            for (size_t i = 0; i < t.size(); ++i)
                t[i] = uint8_t(std::lround(255.0 * std::pow(double(i) / 8192.0, 1.0 / 2.2)));
            return t;
        }();
        return table[std::min<uint32_t>(v, 8192)];
    }
    uint32_t Alpha(uint32_t v) const {
        return m_linear ? (std::min<uint32_t>(v, 8192) * 255 + 4096) / 8192 : v >> 8;
    }
    bool Linear() const { return m_linear; }

private:
    bool m_linear;
};

uint16_t Sample16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

// 16-bit-a-channel pixels: straight colour, or premultiplied in linear light.
uint32_t WidePixel(const uint8_t* p, bool alpha, bool premultiplied, const WideSamples& s) {
    uint32_t b = Sample16(p), g = Sample16(p + 2), r = Sample16(p + 4);
    uint32_t a = 255;
    if (alpha) {
        const uint32_t wa = Sample16(p + 6);
        a = s.Alpha(wa);
        if (premultiplied && wa > 0) {
            auto un = [wa](uint32_t v) { return std::min<uint32_t>(v * 8192 / wa, 8192); };
            if (s.Linear()) {
                r = un(r);
                g = un(g);
                b = un(b);
            }
        }
    }
    const uint32_t c = (a << 24) | (s.Colour(r) << 16) | (s.Colour(g) << 8) | s.Colour(b);
    return premultiplied && !s.Linear() ? ClampPremultiplied(c) : Premultiply(c);
}

// Whether any 16-bit sample of the rows lies beyond the linear scale's 8192.
bool HasFullRangeSamples(std::span<const uint8_t> data, int width, int height, int stride,
                         int bytesPerPixel) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data.data() + size_t(y) * size_t(stride);
        for (int i = 0; i < width * bytesPerPixel; i += 2)
            if (Sample16(row + i) > 8192)
                return true;
    }
    return false;
}

// One pixel of a bitmap row as premultiplied ARGB.
uint32_t PixelAt(const uint8_t* row, int x, uint32_t format, const std::vector<Argb>& palette,
                 const WideSamples& wide) {
    switch (format) {
    case kFormat1bppIndexed:
    case kFormat4bppIndexed:
    case kFormat8bppIndexed: {
        const int bits = int((format >> 8) & 0xFF);
        const int per = 8 / bits;
        const int shift = (per - 1 - x % per) * bits;
        const uint32_t index = (row[x / per] >> shift) & ((1u << bits) - 1);
        return Premultiply(index < palette.size() ? palette[index] : 0xFF000000u);
    }
    case kFormat16bppGrey: {
        const uint32_t g = wide.Colour(Sample16(row + x * 2));
        return 0xFF000000u | (g << 16) | (g << 8) | g;
    }
    case kFormat16bppRgb555:
    case kFormat16bppArgb1555: {
        const uint32_t v = Sample16(row + x * 2);
        const uint32_t a = format == kFormat16bppArgb1555 && !(v & 0x8000) ? 0 : 255;
        return Premultiply((a << 24) | (Expand5((v >> 10) & 31) << 16) |
                           (Expand5((v >> 5) & 31) << 8) | Expand5(v & 31));
    }
    case kFormat16bppRgb565: {
        const uint32_t v = Sample16(row + x * 2);
        const uint32_t g6 = (v >> 5) & 63;
        return 0xFF000000u | (Expand5((v >> 11) & 31) << 16) | (((g6 << 2) | (g6 >> 4)) << 8) |
               Expand5(v & 31);
    }
    case kFormat24bppRgb:
        return 0xFF000000u | (row[x * 3 + 2] << 16) | (row[x * 3 + 1] << 8) | row[x * 3];
    case kFormat32bppRgb:
        return 0xFF000000u | (row[x * 4 + 2] << 16) | (row[x * 4 + 1] << 8) | row[x * 4];
    case kFormat32bppArgb:
    case kFormat32bppPargb: {
        const uint32_t c = (uint32_t(row[x * 4 + 3]) << 24) | (row[x * 4 + 2] << 16) |
                           (row[x * 4 + 1] << 8) | row[x * 4];
        return format == kFormat32bppPargb ? ClampPremultiplied(c) : Premultiply(c);
    }
    case kFormat48bppRgb:
        return WidePixel(row + x * 6, false, false, wide);
    case kFormat64bppArgb:
    case kFormat64bppPargb:
        return WidePixel(row + x * 8, true, format == kFormat64bppPargb, wide);
    default:
        return 0;
    }
}

bool KnownPixelFormat(uint32_t format) {
    switch (format) {
    case kFormat1bppIndexed:
    case kFormat4bppIndexed:
    case kFormat8bppIndexed:
    case kFormat16bppGrey:
    case kFormat16bppRgb555:
    case kFormat16bppRgb565:
    case kFormat16bppArgb1555:
    case kFormat24bppRgb:
    case kFormat32bppRgb:
    case kFormat32bppArgb:
    case kFormat32bppPargb:
    case kFormat48bppRgb:
    case kFormat64bppArgb:
    case kFormat64bppPargb:
        return true;
    default:
        return false;
    }
}

cairo_surface_t* NewSurface(int width, int height) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS)
        return s;
    cairo_surface_destroy(s);
    return nullptr;
}

uint32_t* SurfaceRow(cairo_surface_t* s, int y) {
    return reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s) +
                                       size_t(y) * size_t(cairo_image_surface_get_stride(s)));
}

// Pixel data: the palette of indexed formats, then rows of stride bytes, top row first.
bool DecodeBitmapPixels(Reader& r, int width, int height, int stride, uint32_t format, Image& out) {
    if (!KnownPixelFormat(format))
        return false;
    const int bits = int((format >> 8) & 0xFF);
    std::vector<Argb> palette;
    if (format & 0x00010000u) {
        r.U32(); // palette style flags
        const uint32_t count = r.U32();
        if (count > 256 || !r.Fits(count, 4))
            return false;
        palette.resize(count);
        for (auto& c : palette)
            c = r.U32();
    }
    if (stride <= 0 || int64_t(width) * bits > int64_t(stride) * 8)
        return false;
    const auto data = r.Bytes(size_t(stride) * size_t(height));
    if (r.Failed())
        return false;
    const bool wideFormat = bits >= 48 || format == kFormat16bppGrey;
    const WideSamples wide(wideFormat &&
                           !HasFullRangeSamples(data, width, height, stride, bits / 8));
    out.surface = NewSurface(width, height);
    if (!out.surface)
        return false;
    cairo_surface_flush(out.surface);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data.data() + size_t(y) * size_t(stride);
        uint32_t* o = SurfaceRow(out.surface, y);
        for (int x = 0; x < width; ++x)
            o[x] = PixelAt(row, x, format, palette, wide);
    }
    cairo_surface_mark_dirty(out.surface);
    return true;
}

bool SurfaceFromDib(const emf::DibImage& dib, Image& out) {
    out.surface = NewSurface(dib.width, dib.height);
    if (!out.surface)
        return false;
    cairo_surface_flush(out.surface);
    for (int y = 0; y < dib.height; ++y) {
        uint32_t* o = SurfaceRow(out.surface, y);
        for (int x = 0; x < dib.width; ++x) {
            const uint32_t c = dib.At(x, y);
            o[x] = Premultiply(dib.sourceAlpha ? c : (c | 0xFF000000u));
        }
    }
    cairo_surface_mark_dirty(out.surface);
    return true;
}

bool Starts(std::span<const uint8_t> data, const char* magic, size_t n) {
    return data.size() >= n && std::memcmp(data.data(), magic, n) == 0;
}

bool SizeAllowed(uint64_t width, uint64_t height, uint64_t maxPixels) {
    return width > 0 && height > 0 && width * height <= maxPixels;
}

// Where a GIF's first frame lies on its logical screen.
struct GifLayout {
    int width = 0, height = 0; // the logical screen
    int left = 0, top = 0;     // the first frame's place on it
};

// Reads the logical screen and the first frame's descriptor from their headers; false when
// either is empty or larger than maxPixels.
bool ReadGifLayout(std::span<const uint8_t> data, uint64_t maxPixels, GifLayout& out) {
    if (data.size() < 13)
        return false;
    auto u16 = [&](size_t at) { return uint32_t(data[at] | (data[at + 1] << 8)); };
    if (!SizeAllowed(u16(6), u16(8), maxPixels))
        return false;
    out.width = int(u16(6));
    out.height = int(u16(8));
    size_t at = 13;
    if (data[10] & 0x80)
        at += 3u << ((data[10] & 7) + 1);
    while (at < data.size()) {
        if (data[at] == 0x2C) { // image descriptor
            if (at + 9 >= data.size() || !SizeAllowed(u16(at + 5), u16(at + 7), maxPixels))
                return false;
            out.left = int(u16(at + 1));
            out.top = int(u16(at + 3));
            return true;
        }
        if (data[at] != 0x21 || at + 2 >= data.size()) // not an extension
            return false;
        at += 2;
        while (at < data.size() && data[at] != 0)
            at += size_t(data[at]) + 1;
        ++at;
    }
    return false;
}

struct FreeImageDeleter {
    void operator()(FIBITMAP* b) const { FreeImage_Unload(b); }
    void operator()(FIMEMORY* m) const { FreeImage_CloseMemory(m); }
};
using Bitmap = std::unique_ptr<FIBITMAP, FreeImageDeleter>;

// Loads the first page or frame of a GIF or TIFF. Its size is checked from the header before
// the pixels are decoded, and again after.
bool DecodeWithFreeImage(std::span<const uint8_t> data, FREE_IMAGE_FORMAT format, Image& out,
                         uint64_t maxPixels) {
    if (data.size() > 0xFFFFFFFFu)
        return false;
    std::unique_ptr<FIMEMORY, FreeImageDeleter> memory(
        FreeImage_OpenMemory(const_cast<uint8_t*>(data.data()), DWORD(data.size())));
    if (!memory)
        return false;
    GifLayout layout;
    if (format == FIF_GIF) {
        if (!ReadGifLayout(data, maxPixels, layout))
            return false;
    } else {
        const Bitmap header(FreeImage_LoadFromMemory(format, memory.get(), FIF_LOAD_NOPIXELS));
        if (!header || !SizeAllowed(FreeImage_GetWidth(header.get()),
                                    FreeImage_GetHeight(header.get()), maxPixels))
            return false;
        FreeImage_SeekMemory(memory.get(), 0, SEEK_SET);
    }
    Bitmap dib(FreeImage_LoadFromMemory(format, memory.get(), 0));
    if (!dib ||
        !SizeAllowed(FreeImage_GetWidth(dib.get()), FreeImage_GetHeight(dib.get()), maxPixels))
        return false;
    if (FreeImage_GetImageType(dib.get()) != FIT_BITMAP)
        dib.reset(FreeImage_ConvertToStandardType(dib.get(), TRUE));
    if (dib)
        dib.reset(FreeImage_ConvertTo32Bits(dib.get()));
    if (!dib)
        return false;
    const int width = int(FreeImage_GetWidth(dib.get()));
    const int height = int(FreeImage_GetHeight(dib.get()));
    // A GIF's frame is placed on its logical screen, transparent elsewhere.
    if (format != FIF_GIF)
        layout = {width, height, 0, 0};
    out.surface = NewSurface(layout.width, layout.height);
    if (!out.surface)
        return false;
    cairo_surface_flush(out.surface);
    const int rows = std::min(height, layout.height - std::min(layout.top, layout.height));
    const int columns = std::min(width, layout.width - std::min(layout.left, layout.width));
    for (int y = 0; y < rows; ++y) {
        // FreeImage keeps rows bottom up, each B, G, R, A.
        const uint8_t* row = FreeImage_GetScanLine(dib.get(), height - 1 - y);
        uint32_t* o = SurfaceRow(out.surface, layout.top + y) + layout.left;
        for (int x = 0; x < columns; ++x) {
            uint32_t c;
            std::memcpy(&c, row + size_t(x) * 4, 4);
            o[x] = Premultiply(c);
        }
    }
    cairo_surface_mark_dirty(out.surface);
    out.width = layout.width;
    out.height = layout.height;
    return true;
}

bool BmpHasAlphaMask(std::span<const uint8_t> info, const emf::DibHeader& header) {
    if (header.compression == emf::kBiAlphaBitfields)
        return true;
    if (header.compression != emf::kBiBitfields || header.headerSize < 56 || info.size() < 56)
        return false;
    uint32_t mask;
    std::memcpy(&mask, info.data() + 52, 4);
    return mask != 0;
}

bool DecodeCompressed(std::span<const uint8_t> data, Image& out, uint64_t maxPixels) {
    if (Starts(data, "GIF87a", 6) || Starts(data, "GIF89a", 6))
        return DecodeWithFreeImage(data, FIF_GIF, out, maxPixels);
    if (Starts(data, "II*\0", 4) || Starts(data, "MM\0*", 4))
        return DecodeWithFreeImage(data, FIF_TIFF, out, maxPixels);
    emf::DibImage dib;
    bool ok = false;
    if (Starts(data, "\x89PNG", 4))
        ok = emf::DecodeEmbeddedPng(data, dib, maxPixels);
    else if (Starts(data, "\xFF\xD8", 2)) // JPEG, with or without EXIF
        ok = emf::DecodeEmbeddedJpeg(data, dib, maxPixels);
    else if (data.size() >= 14 && Starts(data, "BM", 2)) {
        // A BMP file: file header, then a DIB with its colour table and bits.
        uint32_t bitsOffset;
        std::memcpy(&bitsOffset, data.data() + 10, 4);
        emf::DibHeader header;
        if (bitsOffset >= 14 && bitsOffset <= data.size() &&
            emf::ParseDibHeader(data.subspan(14, bitsOffset - 14), header) &&
            SizeAllowed(uint32_t(header.width), uint32_t(header.height), maxPixels))
            ok = emf::DecodeDib(data.subspan(14, bitsOffset - 14), data.subspan(bitsOffset), dib);
        // Only a header with an alpha mask makes the fourth byte alpha; a plain 32-bit BMP is
        // opaque, whatever that byte holds.
        dib.sourceAlpha = dib.sourceAlpha && BmpHasAlphaMask(data.subspan(14), header);
    }
    if (!ok || !SizeAllowed(uint32_t(dib.width), uint32_t(dib.height), maxPixels))
        return false;
    out.width = dib.width;
    out.height = dib.height;
    return SurfaceFromDib(dib, out);
}

} // namespace

Image::~Image() {
    if (surface)
        cairo_surface_destroy(surface);
}

bool ParseImage(Reader& r, Image& out, ParseBudget& budget) {
    r.U32(); // version
    const uint32_t type = r.U32();
    if (type == 1) { // bitmap
        const int32_t width = r.I32();
        const int32_t height = r.I32();
        const int32_t stride = r.I32();
        const uint32_t format = r.U32();
        const uint32_t kind = r.U32();
        if (r.Failed())
            return false;
        if (kind == 1) {
            if (!DecodeCompressed(r.Rest(), out, budget.pixels))
                return false;
        } else {
            if (!SizeAllowed(uint32_t(std::max(width, 0)), uint32_t(std::max(height, 0)),
                             budget.pixels))
                return false;
            out.width = width;
            out.height = height;
            if (!DecodeBitmapPixels(r, width, height, stride, format, out))
                return false;
        }
        budget.pixels -= std::min<uint64_t>(budget.pixels, uint64_t(out.width) * out.height);
        return true;
    }
    if (type == 2) { // metafile
        const uint32_t metaType = r.U32();
        const uint32_t size = r.U32();
        // Recorders count a Windows metafile's size without its placeable header, so its
        // records run on past the size given: the object's own end bounds them.
        const auto whole = r.Rest();
        const auto bytes = r.Bytes(size);
        if (r.Failed())
            return false;
        out.metafile = true;
        // Windows metafiles are played as the enhanced metafile they translate into.
        if (metaType == kMetafileWmf || metaType == kMetafileWmfPlaceable)
            wmf::ConvertWmfToEmf(whole, out.metafileBytes);
        else if (metaType >= kMetafileEmf && metaType <= kMetafileEmfPlusDual)
            out.metafileBytes.assign(bytes.begin(), bytes.end());
        return true;
    }
    return false;
}

} // namespace qm::emfplus
