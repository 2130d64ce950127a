// Writing an encoded file in one go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

/// Writes data to path, replacing the file. False when the file cannot be created or written
/// in full; a partly written file is removed then.
bool WriteBytesToFile(const std::vector<uint8_t>& data, const std::string& path);

} // namespace qm
