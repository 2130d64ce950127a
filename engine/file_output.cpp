#include "engine/file_output.h"

#include <cstdio>

namespace qm {

bool WriteBytesToFile(const std::vector<uint8_t>& data, const std::string& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    const bool written = std::fwrite(data.data(), 1, data.size(), out) == data.size();
    if (std::fclose(out) != 0 || !written) {
        std::remove(path.c_str());
        return false;
    }
    return true;
}

} // namespace qm
