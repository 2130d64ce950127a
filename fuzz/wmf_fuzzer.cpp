// Fuzz target for Windows metafiles: the translation into an enhanced metafile and the
// playback of the result, as an EMF+ image object would play it.
#include <cstdint>
#include <vector>

#include "platform/emf/emf_player.h"
#include "platform/wmf/wmf_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qm;
    if (size > (size_t{1} << 20))
        return 0;
    // A smaller output limit than the player's keeps one run within the fuzzer's time limit.
    std::vector<uint8_t> emf;
    if (!wmf::ConvertWmfToEmf({data, size}, emf, size_t{8} << 20))
        return 0;
    std::vector<uint32_t> pixels(65 * 65, 0xFFFFFFFFu);
    const emf::Surface target{pixels.data(), 65, 65, 65 * 4};
    emf::PlayEnhMetaFile(emf, target, {0, 0, 64, 64});
    return 0;
}
