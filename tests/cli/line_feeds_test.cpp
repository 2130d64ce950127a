#include "cli/line_feeds.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace qm {
namespace {

using detail::LineFeedKernel;

class LineFeedsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qm_lf_XXXXXX";
        const int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        close(fd);
        m_path = pattern;
    }
    void TearDown() override { unlink(m_path.c_str()); }

    void Write(const std::string& bytes) {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << bytes;
    }

    std::string m_path;
};

uint64_t Reference(const std::string& bytes) {
    uint64_t n = 0;
    for (char c : bytes)
        n += c == '\n';
    return n;
}

TEST_F(LineFeedsTest, EveryKernelAgreesAcrossBlockAndStepBoundaries) {
    // Sizes around the 32-byte step and the 64 KiB block, dense and sparse line feeds, and
    // bytes that differ from a line feed only in high bits.
    std::mt19937 random(5);
    for (size_t size : {0ul, 1ul, 31ul, 32ul, 33ul, 65535ul, 65536ul, 65537ul, 200000ul}) {
        for (int density : {1, 2, 50}) {
            std::string bytes(size, 'x');
            for (char& c : bytes) {
                const unsigned r = random() % 100;
                c = r < static_cast<unsigned>(100 / density) ? '\n' : (r % 2 ? '\x8a' : 'a');
            }
            Write(bytes);
            const uint64_t expected = Reference(bytes);
            for (auto kernel : {LineFeedKernel::Plain, LineFeedKernel::Sse2, LineFeedKernel::Avx2})
                EXPECT_EQ(detail::CountLineFeedsWith(m_path, kernel), expected)
                    << "size " << size << " density " << density << " kernel "
                    << static_cast<int>(kernel);
            EXPECT_EQ(CountLineFeeds(m_path), expected);
        }
    }
}

TEST_F(LineFeedsTest, LanesDoNotOverflowOnABlockOfLineFeedsOnly) {
    // Every byte a line feed: each 8-bit lane counter is at its limit before every flush.
    Write(std::string(3 * 65536 + 7, '\n'));
    for (auto kernel : {LineFeedKernel::Plain, LineFeedKernel::Sse2, LineFeedKernel::Avx2})
        EXPECT_EQ(detail::CountLineFeedsWith(m_path, kernel), 3u * 65536 + 7);
}

TEST_F(LineFeedsTest, CarriageReturnsAndMissingFilesCountNothing) {
    Write("a\r\nb\rc\n");
    EXPECT_EQ(CountLineFeeds(m_path), 2u);
    EXPECT_EQ(CountLineFeeds(m_path + ".missing"), 0u);
    EXPECT_EQ(CountLineFeeds(""), 0u);
    EXPECT_EQ(CountLineFeeds("/tmp"), 0u); // a folder reads as nothing
}

TEST(LineFeedKernels, UnalignedTailsAreCountedToo) {
    alignas(32) uint8_t data[70];
    std::fill(std::begin(data), std::end(data), '\n');
    for (auto kernel : {LineFeedKernel::Plain, LineFeedKernel::Sse2, LineFeedKernel::Avx2})
        EXPECT_EQ(detail::CountLineFeedsInBlock(data, sizeof data, kernel), 70u);
}

} // namespace
} // namespace qm
