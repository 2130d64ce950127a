// Fuzz target for EMF+ playback: the input is a run of EMF+ records (header, objects, state
// and drawing records), carried in comment records of a small metafile and played as EMF+.
//
// The records are split over comment records of at most 4096 bytes, so that objects continued
// across records and the hand-over to plain records after GetDC are exercised too.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/emf/emf_player.h"

namespace {

void Put(std::vector<uint8_t>& out, uint32_t v) {
    const size_t at = out.size();
    out.resize(at + 4);
    std::memcpy(out.data() + at, &v, 4);
}

std::vector<uint8_t> Wrap(const uint8_t* data, size_t size) {
    std::vector<uint8_t> emf;
    // Header: bounds, frame of 64 x 64 px at 0.25 mm per px, signature, size, counts.
    const int32_t header[] = {0, 0, 63, 63, 0, 0, 1600, 1600, 0x464D4520, 0x10000,
                              0, 0, 8,  0,  0, 0, 400,  400,  100,        100};
    Put(emf, 1);
    Put(emf, 8 + sizeof(header));
    for (int32_t v : header)
        Put(emf, uint32_t(v));
    for (size_t off = 0; off < size; off += 4096) {
        const size_t n = std::min<size_t>(4096, size - off);
        const size_t padded = (n + 3) & ~size_t(3);
        Put(emf, 70);
        Put(emf, uint32_t(16 + padded));
        Put(emf, uint32_t(4 + n));
        Put(emf, 0x2B464D45); // "EMF+"
        emf.insert(emf.end(), data + off, data + off + n);
        emf.resize(emf.size() + (padded - n), 0);
        // A plain rectangle between the comments: drawn only after a GetDC.
        Put(emf, 43);
        Put(emf, 24);
        for (int32_t v : {4, 4, 20, 20})
            Put(emf, uint32_t(v));
    }
    Put(emf, 14);
    Put(emf, 20);
    Put(emf, 0);
    Put(emf, 16);
    Put(emf, 20);
    const uint32_t total = uint32_t(emf.size());
    std::memcpy(emf.data() + 48, &total, 4);
    return emf;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qm::emf;
    if (size > (size_t{1} << 20))
        return 0;
    const std::vector<uint8_t> emf = Wrap(data, size);
    std::vector<uint32_t> pixels(65 * 65, 0xFFFFFFFFu);
    const Surface target{pixels.data(), 65, 65, 65 * 4};
    PlayEnhMetaFile(emf, target, {0, 0, 64, 64}, qm::emfplus::EmfPlusMode::Prefer);
    return 0;
}
