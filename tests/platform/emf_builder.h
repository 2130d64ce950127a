// Builds small metafiles in memory for the player's tests, and plays them onto a white
// surface the way a conversion does.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "platform/emf/emf_player.h"

namespace qm::emf::testing {

class EmfBuilder {
public:
    // A header for a picture of width x height reference pixels (1 px = 0.25 mm).
    explicit EmfBuilder(int width = 100, int height = 100, uint16_t handles = 8) {
        Record(1, {0, 0, width - 1, height - 1, 0, 0, width * 25, height * 25, 0x464D4520, 0x10000,
                   0, 0, handles,   0,          0, 0, 400,        400,         100,        100});
    }
    // A record of type with 32-bit fields.
    EmfBuilder& Record(uint32_t type, std::initializer_list<int32_t> fields) {
        return Raw(type, std::vector<int32_t>(fields));
    }
    EmfBuilder& Raw(uint32_t type, const std::vector<int32_t>& fields) {
        Put(type);
        Put(uint32_t(8 + 4 * fields.size()));
        for (int32_t f : fields)
            Put(uint32_t(f));
        return *this;
    }
    std::vector<uint8_t> Finish() {
        Record(14, {0, 16, 20});
        std::vector<uint8_t> out = m_bytes;
        const uint32_t total = uint32_t(out.size());
        std::memcpy(out.data() + 48, &total, 4);
        return out;
    }

private:
    void Put(uint32_t v) {
        const size_t at = m_bytes.size();
        m_bytes.resize(at + 4);
        std::memcpy(m_bytes.data() + at, &v, 4);
    }
    std::vector<uint8_t> m_bytes;
};

// A played picture: (W + 1) x (H + 1) pixels, 0x00RRGGBB by At().
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    bool played = false;

    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x] & 0xFFFFFF; }
};

inline Picture Play(const std::vector<uint8_t>& data) {
    Picture p;
    EmfHeaderInfo h;
    int32_t w = 0, hgt = 0;
    if (!ReadEmfHeader(data, h) || !ComputePlaySize(h, w, hgt))
        return p;
    p.width = w + 1;
    p.height = hgt + 1;
    p.pixels.assign(size_t(p.width) * p.height, 0xFFFFFFFFu);
    Surface s{p.pixels.data(), p.width, p.height, p.width * 4};
    p.played = PlayEnhMetaFile(data, s, {0, 0, w, hgt});
    return p;
}

} // namespace qm::emf::testing
