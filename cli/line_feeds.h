// Counting the line feeds of a list file quickly, so that the size of a list import is known
// before it starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm {

/// The number of line-feed bytes (10) in the file; 0 when it can't be opened or read (a read
/// error ends the count with the bytes read so far).
uint64_t CountLineFeeds(const std::string& path);

namespace detail {

/// How the bytes of a block are compared.
enum class LineFeedKernel { Plain, Sse2, Avx2 };

/// The best kernel this processor runs (checked once).
LineFeedKernel BestLineFeedKernel();

/// The line feeds in data[0, size) with the given kernel; data is 32-byte aligned for the
/// vector kernels (any size). Falls back to Plain when the processor lacks the
/// kernel's instructions.
uint64_t CountLineFeedsInBlock(const uint8_t* data, size_t size, LineFeedKernel kernel);

/// CountLineFeeds with a chosen kernel (the benchmark compares them).
uint64_t CountLineFeedsWith(const std::string& path, LineFeedKernel kernel);

} // namespace detail
} // namespace qm
