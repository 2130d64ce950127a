#include "cli/line_feeds.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QM_LINE_FEEDS_X86 1
#endif

namespace qm {
namespace detail {

namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kStep = 32;

uint64_t CountPlain(const uint8_t* data, size_t size) {
    uint64_t count = 0;
    for (size_t i = 0; i < size; ++i)
        count += data[i] == '\n';
    return count;
}

#ifdef QM_LINE_FEEDS_X86

// A compare gives -1 in each matching byte lane, and subtracting it adds one to an 8-bit lane
// counter; the lanes are summed into 64-bit totals before any of them can pass 255 (every 255
// compares per lane).
constexpr size_t kAvx2StepsPerFlush = 255;
constexpr size_t kSse2StepsPerFlush = 127; // two compares per lane and step

__attribute__((target("sse2"))) uint64_t CountSse2(const uint8_t* data, size_t size) {
    const __m128i feed = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    __m128i totals = zero;
    for (size_t at = 0; at < size;) {
        const size_t steps = std::min(kSse2StepsPerFlush, (size - at) / kStep);
        __m128i lanes = zero;
        for (size_t s = 0; s < steps; ++s, at += kStep) {
            const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(data + at));
            const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(data + at + 16));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(a, feed));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(b, feed));
        }
        totals = _mm_add_epi64(totals, _mm_sad_epu8(lanes, zero));
    }
    return static_cast<uint64_t>(_mm_cvtsi128_si64(totals)) +
           static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(totals, totals)));
}

__attribute__((target("avx2"))) uint64_t CountAvx2(const uint8_t* data, size_t size) {
    const __m256i feed = _mm256_set1_epi8('\n');
    const __m256i zero = _mm256_setzero_si256();
    __m256i totals = zero;
    for (size_t at = 0; at < size;) {
        const size_t steps = std::min(kAvx2StepsPerFlush, (size - at) / kStep);
        __m256i lanes = zero;
        for (size_t s = 0; s < steps; ++s, at += kStep) {
            const __m256i a = _mm256_load_si256(reinterpret_cast<const __m256i*>(data + at));
            lanes = _mm256_sub_epi8(lanes, _mm256_cmpeq_epi8(a, feed));
        }
        totals = _mm256_add_epi64(totals, _mm256_sad_epu8(lanes, zero));
    }
    alignas(32) uint64_t parts[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(parts), totals);
    return parts[0] + parts[1] + parts[2] + parts[3];
}

#endif

bool Supported(LineFeedKernel kernel) {
#ifdef QM_LINE_FEEDS_X86
    switch (kernel) {
    case LineFeedKernel::Plain:
        return true;
    case LineFeedKernel::Sse2:
        return __builtin_cpu_supports("sse2");
    case LineFeedKernel::Avx2:
        return __builtin_cpu_supports("avx2");
    }
    return false;
#else
    return kernel == LineFeedKernel::Plain;
#endif
}

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

} // namespace

LineFeedKernel BestLineFeedKernel() {
    static const LineFeedKernel best = Supported(LineFeedKernel::Avx2)   ? LineFeedKernel::Avx2
                                       : Supported(LineFeedKernel::Sse2) ? LineFeedKernel::Sse2
                                                                         : LineFeedKernel::Plain;
    return best;
}

uint64_t CountLineFeedsInBlock(const uint8_t* data, size_t size, LineFeedKernel kernel) {
    if (!Supported(kernel))
        kernel = LineFeedKernel::Plain;
    // The vector kernels take whole steps; a stray tail is counted byte by byte.
    const size_t whole = size / kStep * kStep;
    const uint64_t tail = CountPlain(data + whole, size - whole);
    switch (kernel) {
#ifdef QM_LINE_FEEDS_X86
    case LineFeedKernel::Sse2:
        return CountSse2(data, whole) + tail;
    case LineFeedKernel::Avx2:
        return CountAvx2(data, whole) + tail;
#endif
    default:
        return CountPlain(data, whole) + tail;
    }
}

uint64_t CountLineFeedsWith(const std::string& path, LineFeedKernel kernel) {
    const int fd = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // 32-byte alignment serves both vector widths.
    std::unique_ptr<uint8_t, FreeDeleter> buffer(
        static_cast<uint8_t*>(std::aligned_alloc(32, kBlockSize)));
    uint64_t count = 0;
    while (buffer) {
        const ssize_t n = read(fd, buffer.get(), kBlockSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        // A short block is padded with blanks to whole steps.
        const size_t size = static_cast<size_t>(n);
        const size_t padded = (size + kStep - 1) / kStep * kStep;
        std::memset(buffer.get() + size, ' ', padded - size);
        count += CountLineFeedsInBlock(buffer.get(), padded, kernel);
    }
    close(fd);
    return count;
}

} // namespace detail

uint64_t CountLineFeeds(const std::string& path) {
    return detail::CountLineFeedsWith(path, detail::BestLineFeedKernel());
}

} // namespace qm
