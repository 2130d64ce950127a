// Windows metafiles (WMF), played by translating their records into an enhanced metafile.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qm::wmf {

/// Largest enhanced metafile one translation writes, whatever the input.
inline constexpr size_t kMaxConvertedBytes = size_t{64} << 20;

/// Translates a Windows metafile, with or without its placeable header, into an enhanced
/// metafile that draws the same picture, as the system's own conversion does. The picture's
/// rectangle and size come from the placeable header (bounds and units per inch), or else
/// from the first window origin and extent records, or else from the points drawn. When the
/// metafile carries the enhanced metafile it was made from (in comment escapes), that is
/// given back instead. Records are translated up to the end record or the first record that
/// does not fit; unknown records are skipped; translation stops once the result reaches
/// maxBytes (one record may pass it). False (out empty) when data is not a Windows metafile.
bool ConvertWmfToEmf(std::span<const uint8_t> data, std::vector<uint8_t>& out,
                     size_t maxBytes = kMaxConvertedBytes);

} // namespace qm::wmf
