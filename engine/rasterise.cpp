#include "engine/rasterise.h"

#include <FreeImage.h>

#include <cstring>
#include <vector>

#include "platform/emf/emf_player.h"

namespace qm {

bool SurfaceSizeAllowed(int64_t width, int64_t height) {
    if (width < 0 || height < 0 || width >= MaxSurfacePixels || height >= MaxSurfacePixels)
        return false;
    return (width + 1) * (height + 1) <= MaxSurfacePixels;
}

bool ImageSizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= MaxSurfacePixels && height <= MaxSurfacePixels &&
           width * height <= MaxSurfacePixels;
}

namespace {

constexpr uint32_t EndOfFileRecord = 14;

uint32_t LoadU32(std::span<const uint8_t> data, size_t offset) {
    uint32_t value;
    std::memcpy(&value, data.data() + offset, 4);
    return value;
}

void SetReason(std::string* reason, std::string text) {
    if (reason)
        *reason = std::move(text);
}

// A cut-off file or one whose record sizes lie is refused as a whole instead of being played up
// to the damage: every record must fit, and the chain must reach the end-of-file record.
bool RecordChainIntact(std::span<const uint8_t> data, std::string* reason) {
    size_t offset = 0;
    while (data.size() - offset >= 8) {
        const uint32_t type = LoadU32(data, offset);
        const uint32_t size = LoadU32(data, offset + 4);
        if (size < 8 || size % 4 != 0 || size > data.size() - offset) {
            SetReason(reason, "damaged record at byte " + std::to_string(offset));
            return false;
        }
        if (type == EndOfFileRecord)
            return true;
        offset += size;
    }
    SetReason(reason, "damaged metafile: cut off before its end-of-file record");
    return false;
}

std::string SizeText(int64_t width, int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// Copies a row of device pixels with every alpha byte set: the fourth byte of a device surface
// is undefined, and the picture is opaque.
void CopyOpaqueRow(uint32_t* __restrict to, const uint32_t* __restrict from, size_t width) {
    constexpr uint32_t alpha = uint32_t{0xFF} << (8 * FI_RGBA_ALPHA);
    for (size_t x = 0; x < width; ++x)
        to[x] = from[x] | alpha;
}

// Turns the top-down surface into FreeImage's bottom-up rows and makes it opaque in the same
// pass over memory (a large picture is far bigger than the caches).
void FlipAndMakeOpaque(FIBITMAP* dib) {
    const size_t width = FreeImage_GetWidth(dib);
    const int rows = static_cast<int>(FreeImage_GetHeight(dib));
    std::vector<uint32_t> spare(width);
    for (int top = 0, bottom = rows - 1; top <= bottom; ++top, --bottom) {
        auto* upper = reinterpret_cast<uint32_t*>(FreeImage_GetScanLine(dib, top));
        auto* lower = reinterpret_cast<uint32_t*>(FreeImage_GetScanLine(dib, bottom));
        CopyOpaqueRow(spare.data(), upper, width);
        if (upper != lower) // the middle row of an odd count stays where it is
            CopyOpaqueRow(upper, lower, width);
        std::memcpy(lower, spare.data(), width * 4);
    }
}

// The surface is the bitmap's own pixel buffer: FreeImage keeps rows bottom-up, the player
// draws top-down, so we play into it as a top-down surface and flip the rows afterwards. That
// keeps one buffer per file instead of a surface plus a copy.
bool PlayInto(FIBITMAP* dib, std::span<const uint8_t> data, int32_t width, int32_t height,
              emfplus::EmfPlusMode emfPlus, std::string* reason) {
    const unsigned pitch = FreeImage_GetPitch(dib);
    const unsigned rows = FreeImage_GetHeight(dib);
    BYTE* bits = FreeImage_GetBits(dib);
    std::memset(bits, 0xFF, static_cast<size_t>(pitch) * rows);

    emf::Surface surface;
    surface.pixels = reinterpret_cast<uint32_t*>(bits);
    surface.width = static_cast<int>(FreeImage_GetWidth(dib));
    surface.height = static_cast<int>(rows);
    surface.stride = static_cast<int>(pitch);
    const emf::RectL play{0, 0, width, height};
    const emf::PlayOutcome outcome = emf::PlayMetafile(data, surface, play, emfPlus).outcome;
    if (outcome != emf::PlayOutcome::Played) {
        SetReason(reason, outcome == emf::PlayOutcome::BudgetReached
                              ? "playback budget reached: the picture asks for too much work"
                              : "playback failed");
        return false;
    }
    FlipAndMakeOpaque(dib);
    return true;
}

} // namespace

FIBITMAP* RasteriseMetafile(std::span<const uint8_t> data, std::string* reason,
                            emfplus::EmfPlusMode emfPlus) {
    emf::EmfHeaderInfo header;
    if (!emf::ReadEmfHeader(data, header)) {
        SetReason(reason, "not a metafile");
        return nullptr;
    }
    if (!RecordChainIntact(data, reason))
        return nullptr;
    int32_t width = 0;
    int32_t height = 0;
    if (!emf::ComputePlaySize(header, width, height)) {
        SetReason(reason, "picture size not computable from the metafile header");
        return nullptr;
    }
    if (!SurfaceSizeAllowed(width, height)) {
        SetReason(reason,
                  "picture too large (" + SizeText(int64_t{width} + 1, int64_t{height} + 1) + ")");
        return nullptr;
    }

    // The handle releases the surface on every way out, exceptions included.
    Bitmap dib(FreeImage_Allocate(width + 1, height + 1, 32));
    if (!dib) {
        SetReason(reason, "out of memory for a picture of " + SizeText(width + 1, height + 1));
        return nullptr;
    }
    if (!PlayInto(dib.get(), data, width, height, emfPlus, reason))
        return nullptr;
    return dib.release();
}

FIBITMAP* RasteriseMetafileFile(const std::string& path, std::string* reason,
                                emfplus::EmfPlusMode emfPlus) {
    std::vector<uint8_t> bytes;
    if (!emf::LoadMetafileBytes(path, bytes, size_t{1} << 30, reason))
        return nullptr;
    return RasteriseMetafile(bytes, reason, emfPlus);
}

} // namespace qm
