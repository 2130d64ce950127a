// Our enhanced-metafile player: the stand-in for the system's metafile playback.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/emfplus/emfplus.h"

namespace qm::emf {

struct RectL {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};
struct SizeL {
    int32_t cx = 0, cy = 0;
};

/// The fields of the metafile header the player and the size computation use.
struct EmfHeaderInfo {
    RectL bounds; // device units, inclusive
    RectL frame;  // 0.01 mm units
    uint32_t bytes = 0;
    uint32_t records = 0;
    uint16_t handles = 0;
    SizeL device;      // reference device, pixels
    SizeL millimeters; // reference device, mm
};

/// Reads and validates the header record at the start of data. False when data is not an
/// enhanced metafile (wrong record type or signature, sizes that do not fit).
bool ReadEmfHeader(std::span<const uint8_t> data, EmfHeaderInfo& out);

/// The raster size W x H of the play rectangle: the frame converted to reference-device pixels
/// in single precision and rounded to nearest (ties to even). False when the header's device
/// or millimetre size is not positive or the result is not finite or does not fit.
bool ComputePlaySize(const EmfHeaderInfo& header, int32_t& width, int32_t& height);

/// Reads a metafile from disk: .emf as is, gzip-compressed (.emz, or any file starting with the
/// gzip magic) inflated as it is read. The header is checked first; reading then goes record by
/// record up to the end-of-file record and never past the size the header declares. False (out
/// empty) when the header is not a metafile's, declares more than maxBytes, a record does not
/// fit, or the data ends or is corrupt before the end-of-file record; the cause then goes to
/// *reason when given.
bool LoadMetafileBytes(const std::string& path, std::vector<uint8_t>& out,
                       size_t maxBytes = size_t{1} << 30, std::string* reason = nullptr);

/// A 32-bit surface: top-down rows of B, G, R, X bytes (X is kept at 255 by the player).
struct Surface {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0; // bytes per row
};

/// How a playback ended.
enum class PlayOutcome : uint8_t {
    Played,        // up to the end-of-file record (or the first record that cannot be read)
    NotPlayable,   // nothing drawn: the data is not a metafile or the target is unusable
    BudgetReached, // stopped part way: the file asked for more work than the budget allows
};

/// The work a playback may do, in units that do not depend on the machine: every record costs
/// its size in bytes plus 64, and every drawing the device pixels it may touch (its bounding
/// box on the surface; a wide line its length times its width; a character a square of the
/// font's height); bitmaps sampled pixel by pixel count several units a pixel. The most
/// demanding file of our samples and corpus needs 4e8; one pass over the largest surface
/// 2.7e8. The budget, 2.1e9, is eight such passes (five times the most demanding file): about
/// 1 s of fills at memory speed here, and three or four times that on a slow shared machine,
/// so that a file asking for more fails well within the few seconds a file may take.
inline constexpr uint64_t DefaultPlayWorkBudget = uint64_t{1} << 31;

struct PlayResult {
    PlayOutcome outcome = PlayOutcome::NotPlayable;
    uint64_t work = 0; // units spent
};

/// Plays the metafile into the surface so that its frame maps onto the play rectangle, as the
/// system's playback does. Records the player does not know are skipped; playback stops at the
/// first record that cannot be read safely, keeping what was drawn, and at the work budget
/// (then the picture is incomplete and the outcome says so). emfPlus decides whether the EMF+
/// records of the metafile are played instead of its plain ones.
PlayResult PlayMetafile(std::span<const uint8_t> data, const Surface& target, const RectL& play,
                        emfplus::EmfPlusMode emfPlus = emfplus::EmfPlusMode::Auto,
                        uint64_t workBudget = DefaultPlayWorkBudget);

/// PlayMetafile with the default budget; true only when the whole picture was played.
bool PlayEnhMetaFile(std::span<const uint8_t> data, const Surface& target, const RectL& play,
                     emfplus::EmfPlusMode emfPlus = emfplus::EmfPlusMode::Auto);

} // namespace qm::emf
