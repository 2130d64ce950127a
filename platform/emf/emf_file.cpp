// Metafile loading, header reading and the raster size of the play rectangle.
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "platform/emf/emf_player.h"

namespace qm::emf {

namespace {

constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr size_t kHeaderMinSize = 88;

uint32_t ReadU32(std::span<const uint8_t> d, size_t off) {
    uint32_t v;
    std::memcpy(&v, d.data() + off, 4);
    return v;
}
int32_t ReadI32(std::span<const uint8_t> d, size_t off) {
    int32_t v;
    std::memcpy(&v, d.data() + off, 4);
    return v;
}
RectL ReadRect(std::span<const uint8_t> d, size_t off) {
    return {ReadI32(d, off), ReadI32(d, off + 4), ReadI32(d, off + 8), ReadI32(d, off + 12)};
}

// Inflates a gzip stream (several members allowed); false when corrupt or above maxBytes.
bool Gunzip(const std::vector<uint8_t>& in, std::vector<uint8_t>& out, size_t maxBytes) {
    z_stream zs{};
    if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK)
        return false;
    out.clear();
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(in.size());
    std::vector<uint8_t> chunk(1 << 16);
    int rc = Z_OK;
    bool ok = true;
    while (ok) {
        zs.next_out = chunk.data();
        zs.avail_out = static_cast<uInt>(chunk.size());
        rc = inflate(&zs, Z_NO_FLUSH);
        const size_t produced = chunk.size() - zs.avail_out;
        if (out.size() + produced > maxBytes) {
            ok = false;
            break;
        }
        out.insert(out.end(), chunk.begin(), chunk.begin() + produced);
        if (rc == Z_STREAM_END) {
            // Another gzip member may follow.
            if (zs.avail_in >= 2 && zs.next_in[0] == 0x1F && zs.next_in[1] == 0x8B) {
                inflateReset(&zs);
                continue;
            }
            break;
        }
        if (rc != Z_OK || (produced == 0 && zs.avail_in == 0))
            ok = false;
    }
    inflateEnd(&zs);
    return ok && rc == Z_STREAM_END;
}

} // namespace

bool ReadEmfHeader(std::span<const uint8_t> data, EmfHeaderInfo& out) {
    if (data.size() < kHeaderMinSize)
        return false;
    const uint32_t type = ReadU32(data, 0);
    const uint32_t size = ReadU32(data, 4);
    if (type != 1 || size < kHeaderMinSize || size > data.size())
        return false;
    if (ReadU32(data, 40) != kEmfSignature)
        return false;
    EmfHeaderInfo h;
    h.bounds = ReadRect(data, 8);
    h.frame = ReadRect(data, 24);
    h.bytes = ReadU32(data, 48);
    h.records = ReadU32(data, 52);
    uint16_t handles;
    std::memcpy(&handles, data.data() + 56, 2);
    h.handles = handles;
    h.device = {ReadI32(data, 72), ReadI32(data, 76)};
    h.millimeters = {ReadI32(data, 80), ReadI32(data, 84)};
    out = h;
    return true;
}

bool ComputePlaySize(const EmfHeaderInfo& header, int32_t& width, int32_t& height) {
    if (header.device.cx <= 0 || header.device.cy <= 0 || header.millimeters.cx <= 0 ||
        header.millimeters.cy <= 0)
        return false;
    const float dx = float(header.device.cx), dy = float(header.device.cy);
    const float mx = float(header.millimeters.cx), my = float(header.millimeters.cy);
    const float left = float(header.frame.left) * dx / (mx * 100.0f);
    const float right = float(header.frame.right) * dx / (mx * 100.0f);
    const float top = float(header.frame.top) * dy / (my * 100.0f);
    const float bottom = float(header.frame.bottom) * dy / (my * 100.0f);
    const float w = std::nearbyint(std::fabs(left - right));
    const float h = std::nearbyint(std::fabs(top - bottom));
    // The surface is one pixel larger, so W + 1 must still fit.
    constexpr float kMax = 2147483520.0f; // largest float below INT32_MAX
    if (!std::isfinite(w) || !std::isfinite(h) || w >= kMax || h >= kMax)
        return false;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
}

bool LoadMetafileBytes(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    f.seekg(0, std::ios::end);
    const std::streamoff len = f.tellg();
    if (len < 0 || static_cast<uint64_t>(len) > maxBytes)
        return false;
    f.seekg(0, std::ios::beg);
    std::vector<uint8_t> raw(static_cast<size_t>(len));
    if (len > 0 && !f.read(reinterpret_cast<char*>(raw.data()), len))
        return false;
    if (raw.size() >= 2 && raw[0] == 0x1F && raw[1] == 0x8B)
        return Gunzip(raw, out, maxBytes);
    out = std::move(raw);
    return true;
}

} // namespace qm::emf
