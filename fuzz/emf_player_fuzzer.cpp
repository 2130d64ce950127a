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

#ifdef QM_FUZZ_REPLAY
// Without libFuzzer: run every file named on the command line, or in a folder named there.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

int RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path = argv[i];
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
                if (entry.is_regular_file())
                    count += RunFile(entry.path());
        } else if (std::filesystem::is_regular_file(path)) {
            count += RunFile(path);
        }
    }
    std::printf("ran %d inputs\n", count);
    return 0;
}
#endif
