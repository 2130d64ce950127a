// The formats written through DevIL: DDS (with its mipmap chain), PSD and PCX.
#pragma once

#include "engine/bitmap.h"

#include "engine/conversion_job.h"

namespace qm {

/// Initialises DevIL and ILU once per process; later calls do nothing.
void InitImageLibraries();

/// Writes the bitmap to job.TempPath with DevIL's writer job.FormatCode, then moves it to
/// job.OutputPath (an existing output, even a read-only one, is replaced). dds files get the
/// full mipmap chain. PCX is written from 3 channels, DDS and PSD from 4. Returns false when
/// DevIL cannot save or the file cannot be moved; then neither the temporary file nor an
/// output is left. Without a TempPath a temporary name beside the output is used.
bool WriteWithDevil(FIBITMAP* dib, const ConversionJobRecord& job);

} // namespace qm
