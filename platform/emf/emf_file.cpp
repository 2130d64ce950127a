// Metafile loading, header reading and the raster size of the play rectangle.
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

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

namespace {

constexpr uint32_t kEndOfFileRecord = 14;

// Reads a metafile record by record through zlib's file reader, which inflates gzip data
// (several members too) and passes plain files through. Nothing beyond what the header
// declares is read, and a record whose size does not fit fails at once, so a gzip bomb or a
// huge sparse file costs no more than its honest part.
class RecordReader {
public:
    explicit RecordReader(gzFile file) : m_file(file) {}

    // Appends n more bytes to out; false when the data ends early or is corrupt.
    bool Append(std::vector<uint8_t>& out, size_t n) {
        const size_t at = out.size();
        out.resize(at + n);
        size_t done = 0;
        while (done < n) {
            const unsigned ask = unsigned(std::min<size_t>(n - done, 1u << 30));
            const int got = gzread(m_file, out.data() + at + done, ask);
            if (got <= 0) {
                int code = Z_OK;
                const char* message = gzerror(m_file, &code);
                m_failure = code == Z_ERRNO ? std::string("read error: ") + std::strerror(errno)
                            : code != Z_OK  ? std::string("damaged gzip stream: ") + message
                            : out.size() > n
                                ? "damaged metafile: cut off before its end-of-file record"
                                : "not a metafile";
                return false;
            }
            done += size_t(got);
        }
        return true;
    }

    std::string m_failure;

private:
    gzFile m_file;
};

struct GzCloser {
    void operator()(gzFile f) const { gzclose(f); }
};

uint32_t LastU32(const std::vector<uint8_t>& d, size_t off) {
    return ReadU32(std::span<const uint8_t>(d), off);
}

bool Fail(std::string* reason, std::string text) {
    if (reason)
        *reason = std::move(text);
    return false;
}

// Reads the header record and then every record up to the end-of-file record, within the
// size the header declares (or maxBytes when the header declares less than itself).
bool ReadRecords(RecordReader& in, std::vector<uint8_t>& out, size_t maxBytes,
                 std::string* reason) {
    out.clear();
    if (!in.Append(out, 8))
        return Fail(reason, "not a metafile");
    const uint32_t headerSize = LastU32(out, 4);
    EmfHeaderInfo header;
    if (LastU32(out, 0) != 1 || headerSize < kHeaderMinSize || headerSize % 4 != 0 ||
        headerSize > maxBytes || !in.Append(out, headerSize - 8) || !ReadEmfHeader(out, header))
        return Fail(reason, "not a metafile");
    const size_t declared = header.bytes;
    if (declared > maxBytes)
        return Fail(reason, "metafile declares " + std::to_string(declared) +
                                " bytes, more than the limit of " + std::to_string(maxBytes));
    const size_t limit = declared >= headerSize ? declared : maxBytes;
    // Grow in steps rather than trusting the declared size for one allocation.
    out.reserve(std::min<size_t>(limit, size_t{1} << 20));
    for (;;) {
        const size_t at = out.size();
        if (limit - at < 8)
            return Fail(reason, "no end-of-file record within the declared size");
        if (!in.Append(out, 8))
            return Fail(reason, in.m_failure);
        const uint32_t type = LastU32(out, at), size = LastU32(out, at + 4);
        if (size < 8 || size % 4 != 0 || size > limit - at)
            return Fail(reason, "damaged record at byte " + std::to_string(at));
        if (!in.Append(out, size - 8))
            return Fail(reason, in.m_failure);
        if (type == kEndOfFileRecord)
            return true;
    }
}

} // namespace

bool LoadMetafileBytes(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes,
                       std::string* reason) {
    out.clear();
    std::unique_ptr<gzFile_s, GzCloser> file(gzopen(path.c_str(), "rb"));
    if (!file)
        return Fail(reason, std::string("cannot read the file: ") + std::strerror(errno));
    gzbuffer(file.get(), 1u << 16);
    RecordReader reader(file.get());
    if (ReadRecords(reader, out, maxBytes, reason))
        return true;
    out.clear();
    return false;
}

} // namespace qm::emf
