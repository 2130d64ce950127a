// The formats written through DevIL: DDS (with its mipmap chain), PSD and PCX.
#pragma once

#include "engine/bitmap.h"

#include "engine/conversion_job.h"

namespace qm {

/// Initialises DevIL and ILU once per process; later calls do nothing.
void InitImageLibraries();

/// Writes the bitmap to job.OutputPath with DevIL's writer job.FormatCode (an existing file
/// is overwritten). dds files get the full mipmap chain. PCX is written from 3 channels, DDS
/// and PSD from 4. Returns false when DevIL cannot save or any write or the close fails; a
/// failed file is left for the caller, which writes to a temporary file of its own.
bool WriteWithDevil(FIBITMAP* dib, const ConversionJobRecord& job);

} // namespace qm
