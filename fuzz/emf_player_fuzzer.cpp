// Fuzz target for the metafile player: header reading, the size computation and playback.
//
// Any input must play without harm. The surface is capped so that one run stays small; the
// play rectangle keeps the size the header asks for, so transforms are exercised as they are.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/emf/emf_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qm::emf;
    if (size > (size_t{1} << 22))
        return 0;
    const std::span<const uint8_t> bytes(data, size);
    EmfHeaderInfo header;
    if (!ReadEmfHeader(bytes, header))
        return 0;
    int32_t w = 0, h = 0;
    if (!ComputePlaySize(header, w, h))
        return 0;
    constexpr int kMaxSide = 256;
    const int sw = std::min(w, kMaxSide - 1) + 1, sh = std::min(h, kMaxSide - 1) + 1;
    std::vector<uint32_t> pixels(size_t(sw) * sh, 0xFFFFFFFFu);
    const Surface target{pixels.data(), sw, sh, sw * 4};
    PlayEnhMetaFile(bytes, target, {0, 0, w, h});
    return 0;
}
