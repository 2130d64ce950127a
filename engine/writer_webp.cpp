#include "engine/writer_webp.h"

#include <FreeImage.h>

#include <cstring>

#include "engine/file_output.h"

namespace qm {

namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Put24(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 3; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutChunk(std::vector<uint8_t>& out, const char* tag, const uint8_t* data, size_t size) {
    out.insert(out.end(), tag, tag + 4);
    Put32(out, static_cast<uint32_t>(size));
    out.insert(out.end(), data, data + size);
    if (size % 2)
        out.push_back(0);
}

// A lossy image: extended header with the alpha flag, an uncompressed alpha plane of 255,
// then the image chunk as it was.
std::vector<uint8_t> WithAlphaPlane(const uint8_t* chunk, size_t chunkSize) {
    const uint8_t* vp8 = chunk + 8;
    const size_t size = Le32(chunk + 4);
    // The key frame header: 3 bytes of frame tag, the start code, then 14-bit sizes.
    if (size < 10 || vp8[3] != 0x9D || vp8[4] != 0x01 || vp8[5] != 0x2A)
        return {};
    const uint32_t width = (vp8[6] | vp8[7] << 8) & 0x3FFF;
    const uint32_t height = (vp8[8] | vp8[9] << 8) & 0x3FFF;
    std::vector<uint8_t> vp8x;
    vp8x.push_back(0x10); // alpha
    vp8x.insert(vp8x.end(), 3, 0);
    Put24(vp8x, width - 1);
    Put24(vp8x, height - 1);
    std::vector<uint8_t> alpha(1 + size_t{width} * height, 0xFF);
    alpha[0] = 0; // no preprocessing, no filter, no compression
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'};
    PutChunk(out, "VP8X", vp8x.data(), vp8x.size());
    PutChunk(out, "ALPH", alpha.data(), alpha.size());
    out.insert(out.end(), chunk, chunk + chunkSize);
    const uint32_t riffSize = static_cast<uint32_t>(out.size() - 8);
    std::memcpy(out.data() + 4, &riffSize, 4); // little-endian machine
    return out;
}

} // namespace

std::vector<uint8_t> WebpWithAlpha(const std::vector<uint8_t>& file) {
    if (file.size() < 20 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WEBP", 4) != 0)
        return {};
    const uint8_t* chunk = file.data() + 12;
    const size_t size = Le32(chunk + 4);
    if (size > file.size() - 20)
        return {};
    if (std::memcmp(chunk, "VP8X", 4) == 0)
        return file; // extended already: its flags say what it holds
    if (std::memcmp(chunk, "VP8L", 4) == 0) {
        // Signature byte, then 14 + 14 bits of size and the alpha-is-used bit.
        if (size < 5 || chunk[8] != 0x2F)
            return {};
        std::vector<uint8_t> out = file;
        out[12 + 8 + 4] |= 0x10;
        return out;
    }
    if (std::memcmp(chunk, "VP8 ", 4) == 0)
        return WithAlphaPlane(chunk, 8 + size + (size % 2));
    return {};
}

bool WriteWebpWithAlpha(FIBITMAP* dib, const std::string& path, int32_t flags) {
    if (!dib || FreeImage_GetImageType(dib) != FIT_BITMAP || FreeImage_GetBPP(dib) != 32)
        return false;
    FIMEMORY* memory = FreeImage_OpenMemory();
    if (!memory)
        return false;
    std::vector<uint8_t> file;
    BYTE* data = nullptr;
    DWORD size = 0;
    if (FreeImage_SaveToMemory(FIF_WEBP, dib, memory, flags) &&
        FreeImage_AcquireMemory(memory, &data, &size))
        file.assign(data, data + size);
    FreeImage_CloseMemory(memory);
    const std::vector<uint8_t> withAlpha = WebpWithAlpha(file);
    return !withAlpha.empty() && WriteBytesToFile(withAlpha, path);
}

} // namespace qm
