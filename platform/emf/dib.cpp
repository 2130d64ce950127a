#include "platform/emf/dib.h"

#include "platform/emf/dib_embedded.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace qm::emf {
namespace {

uint16_t ReadU16(std::span<const uint8_t> d, size_t at) {
    return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}

uint32_t ReadU32(std::span<const uint8_t> d, size_t at) {
    return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
           (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}

constexpr uint32_t kOpaqueBlack = 0xFF000000u;

// The twenty static colours of the default palette, in palette order.
constexpr uint32_t kDefaultPalette[20] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080,
    0xC0C0C0, 0xC0DCC0, 0xA6CAF0, 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000,
    0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

// One channel of a bit-field pixel, scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m = 0) : mask(m) {
        if (mask) {
            shift = std::countr_zero(mask);
            max = mask >> shift;
        }
    }
    uint32_t Get(uint32_t pixel) const {
        if (!mask)
            return 0;
        uint32_t v = (pixel & mask) >> shift;
        if (max >= 255) {
            int extra = std::bit_width(max) - 8;
            return std::min<uint32_t>(v >> extra, 255);
        }
        return (v * 255 + max / 2) / max;
    }
};

struct Layout {
    DibHeader header;
    std::vector<uint32_t> palette;
    Channel red, green, blue, alpha;
    bool hasAlphaMask = false;
};

bool ReadMasksAndPalette(std::span<const uint8_t> bmi, uint32_t usage, Layout& l) {
    const DibHeader& h = l.header;
    bool core = h.headerSize == 12;
    size_t tableAt = h.headerSize;
    uint32_t masks[4] = {0, 0, 0, 0};
    bool fields = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    if (fields) {
        int count = h.compression == kBiAlphaBitfields ? 4 : 3;
        if (h.headerSize >= 52) {
            for (int i = 0; i < 3; ++i)
                masks[i] = ReadU32(bmi, 40 + 4 * i);
            if (h.headerSize >= 56)
                masks[3] = ReadU32(bmi, 52);
        } else {
            if (bmi.size() < tableAt + 4 * count)
                return false;
            for (int i = 0; i < count; ++i)
                masks[i] = ReadU32(bmi, tableAt + 4 * i);
            tableAt += 4 * count;
        }
    } else if (h.bitCount == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF, masks[3] = 0xFF000000u;
    }
    l.red = Channel(masks[0]), l.green = Channel(masks[1]), l.blue = Channel(masks[2]);
    // A 32-bit pixel whose colour masks leave its top byte free carries alpha there.
    if (h.bitCount == 32 && masks[3] == 0 && ((masks[0] | masks[1] | masks[2]) >> 24) == 0)
        masks[3] = 0xFF000000u;
    l.alpha = Channel(masks[3]);
    l.hasAlphaMask = h.bitCount == 32 && masks[3] != 0;

    if (h.bitCount > 8)
        return true;
    size_t count = size_t{1} << h.bitCount;
    if (!core && h.colorsUsed != 0)
        count = std::min<size_t>(count, h.colorsUsed);
    size_t entry = core ? 3 : (usage == kDibPalColors ? 2 : 4);
    size_t present = bmi.size() > tableAt ? (bmi.size() - tableAt) / entry : 0;
    l.palette.assign(size_t{1} << h.bitCount, kOpaqueBlack);
    if (usage == kDibPalIndices || present == 0) {
        // No colour table: monochrome bitmaps are black and white, others index the
        // default palette.
        if (h.bitCount == 1) {
            l.palette[1] = 0xFFFFFFFFu;
        } else {
            for (size_t i = 0; i < l.palette.size(); ++i)
                l.palette[i] =
                    kOpaqueBlack |
                    kDefaultPalette[i < 10 ? i
                                           : (i >= l.palette.size() - 10 ? i + 20 - l.palette.size()
                                                                         : 0)];
        }
        return true;
    }
    for (size_t i = 0; i < std::min(count, present); ++i) {
        size_t at = tableAt + i * entry;
        if (usage == kDibPalColors && !core) {
            uint16_t index = ReadU16(bmi, at);
            uint32_t rgb = kDefaultPalette[index < 20 ? index : 0];
            l.palette[i] = kOpaqueBlack | rgb;
        } else {
            l.palette[i] = kOpaqueBlack | (uint32_t{bmi[at + 2]} << 16) |
                           (uint32_t{bmi[at + 1]} << 8) | bmi[at];
        }
    }
    return true;
}

uint32_t PaletteAt(const Layout& l, uint32_t index) {
    return index < l.palette.size() ? l.palette[index] : kOpaqueBlack;
}

void DecodeRow(const Layout& l, const uint8_t* row, uint32_t* out, int width) {
    const int bpp = l.header.bitCount;
    for (int x = 0; x < width; ++x) {
        uint32_t v;
        switch (bpp) {
        case 1:
            out[x] = PaletteAt(l, (row[x >> 3] >> (7 - (x & 7))) & 1);
            continue;
        case 4:
            out[x] = PaletteAt(l, (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
            continue;
        case 8:
            out[x] = PaletteAt(l, row[x]);
            continue;
        case 24: {
            const uint8_t* p = row + 3 * x;
            out[x] = kOpaqueBlack | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
            continue;
        }
        case 16:
            v = row[2 * x] | (row[2 * x + 1] << 8);
            break;
        default:
            v = static_cast<uint32_t>(row[4 * x]) | (uint32_t{row[4 * x + 1]} << 8) |
                (uint32_t{row[4 * x + 2]} << 16) | (uint32_t{row[4 * x + 3]} << 24);
            break;
        }
        uint32_t a = l.hasAlphaMask ? l.alpha.Get(v) : 255;
        out[x] = (a << 24) | (l.red.Get(v) << 16) | (l.green.Get(v) << 8) | l.blue.Get(v);
    }
}

bool DecodeUncompressed(const Layout& l, std::span<const uint8_t> bits, DibImage& img) {
    const DibHeader& h = l.header;
    uint64_t rowBits = uint64_t(h.width) * h.bitCount;
    uint64_t stride = ((rowBits + 31) / 32) * 4;
    // The last row's padding may be missing.
    uint64_t need = stride * (h.height - 1) + (rowBits + 7) / 8;
    if (bits.size() < need)
        return false;
    for (int y = 0; y < h.height; ++y) {
        int srcRow = h.topDown ? y : h.height - 1 - y;
        DecodeRow(l, bits.data() + stride * srcRow, img.pixels.data() + size_t(y) * h.width,
                  h.width);
    }
    return true;
}

// Run-length encoded 8- or 4-bit data. Pixels no run reaches stay at 0 (A = 0: a hole).
void DecodeRle(const Layout& l, std::span<const uint8_t> bits, DibImage& img) {
    const DibHeader& h = l.header;
    const bool four = h.compression == kBiRle4;
    int64_t x = 0, y = 0; // y counts rows in storage order
    auto put = [&](uint32_t index) {
        if (x >= 0 && x < h.width && y < h.height) {
            int64_t row = h.topDown ? y : h.height - 1 - y;
            img.pixels[size_t(row) * h.width + x] = PaletteAt(l, index);
        }
        ++x;
    };
    size_t i = 0;
    while (i + 1 < bits.size() && y < h.height) {
        uint8_t count = bits[i], value = bits[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                put(four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0, ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            if (i + 1 >= bits.size())
                break;
            x += bits[i], y += bits[i + 1];
            i += 2;
        } else { // absolute run of value pixels, padded to a 16-bit boundary
            size_t bytes = four ? (value + 1) / 2 : value;
            if (i + bytes > bits.size())
                break;
            for (int k = 0; k < value; ++k)
                put(four ? ((k & 1) ? bits[i + k / 2] & 0x0F : bits[i + k / 2] >> 4) : bits[i + k]);
            i += (bytes + 1) & ~size_t{1};
        }
    }
    img.hasHoles = std::any_of(img.pixels.begin(), img.pixels.end(),
                               [](uint32_t p) { return (p >> 24) == 0; });
}

} // namespace

bool ParseDibHeader(std::span<const uint8_t> bmi, DibHeader& out) {
    if (bmi.size() < 12)
        return false;
    DibHeader h;
    h.headerSize = ReadU32(bmi, 0);
    if (h.headerSize == 12) {
        h.width = ReadU16(bmi, 4);
        h.height = ReadU16(bmi, 6);
        h.bitCount = ReadU16(bmi, 10);
    } else {
        if (h.headerSize < 40 || h.headerSize > bmi.size())
            return false;
        h.width = static_cast<int32_t>(ReadU32(bmi, 4));
        int32_t height = static_cast<int32_t>(ReadU32(bmi, 8));
        if (height == INT32_MIN)
            return false;
        h.topDown = height < 0;
        h.height = height < 0 ? -height : height;
        h.bitCount = ReadU16(bmi, 14);
        h.compression = ReadU32(bmi, 16);
        h.imageSize = ReadU32(bmi, 20);
        h.colorsUsed = ReadU32(bmi, 32);
    }
    if (h.width <= 0 || h.height <= 0)
        return false;
    if (uint64_t(h.width) * uint64_t(h.height) > kMaxDibPixels)
        return false;
    switch (h.compression) {
    case kBiRgb:
        if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 16 &&
            h.bitCount != 24 && h.bitCount != 32)
            return false;
        break;
    case kBiBitfields:
    case kBiAlphaBitfields:
        if (h.bitCount != 16 && h.bitCount != 32)
            return false;
        break;
    case kBiRle8:
        if (h.bitCount != 8)
            return false;
        break;
    case kBiRle4:
        if (h.bitCount != 4)
            return false;
        break;
    case kBiJpeg:
    case kBiPng:
        break;
    default:
        return false;
    }
    out = h;
    return true;
}

bool DecodeDib(std::span<const uint8_t> bmi, std::span<const uint8_t> bits, DibImage& out,
               uint32_t usage) {
    Layout l;
    if (!ParseDibHeader(bmi, l.header))
        return false;
    const DibHeader& h = l.header;
    if (h.compression == kBiJpeg || h.compression == kBiPng) {
        DibImage img;
        bool ok = h.compression == kBiJpeg ? DecodeEmbeddedJpeg(bits, img, kMaxDibPixels)
                                           : DecodeEmbeddedPng(bits, img, kMaxDibPixels);
        if (ok)
            out = std::move(img);
        return ok;
    }
    if (!ReadMasksAndPalette(bmi, usage, l))
        return false;
    DibImage img;
    img.width = h.width;
    img.height = h.height;
    img.bitCount = h.bitCount;
    img.sourceAlpha = l.hasAlphaMask;
    if (h.bitCount == 1) {
        img.monoColors[0] = l.palette[0];
        img.monoColors[1] = l.palette[1];
    }
    // A few bytes of run-length data can claim a huge picture: such bitmaps get a smaller cap.
    bool rle = h.compression == kBiRle8 || h.compression == kBiRle4;
    if (rle && uint64_t(h.width) * h.height > kMaxRlePixels)
        return false;
    img.pixels.assign(size_t(h.width) * h.height, 0);
    if (rle)
        DecodeRle(l, bits, img);
    else if (!DecodeUncompressed(l, bits, img))
        return false;
    out = std::move(img);
    return true;
}

bool DecodeDibFromRecord(std::span<const uint8_t> record, uint32_t offBmi, uint32_t cbBmi,
                         uint32_t offBits, uint32_t cbBits, uint32_t usage, DibImage& out) {
    auto inside = [&](uint32_t off, uint32_t cb) { return uint64_t(off) + cb <= record.size(); };
    if (cbBmi == 0 || !inside(offBmi, cbBmi) || !inside(offBits, cbBits))
        return false;
    return DecodeDib(record.subspan(offBmi, cbBmi), record.subspan(offBits, cbBits), out, usage);
}

} // namespace qm::emf
