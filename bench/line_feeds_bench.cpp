// Counting the line feeds of a 1 GiB list file held in the page cache: the vector kernels chosen
// at run time against a plain byte loop, and the kernels alone on one 64 KiB block in cache.
// QM_LINE_FEEDS_FILE names another file to count; by default one is made in /tmp and removed.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/line_feeds.h"

namespace {

using qm::detail::LineFeedKernel;

constexpr size_t kFileSize = size_t{1} << 30;
constexpr size_t kBlock = 64 * 1024;

class ListFile {
public:
    ListFile() {
        if (const char* given = std::getenv("QM_LINE_FEEDS_FILE")) {
            m_path = given;
        } else {
            m_path = "/tmp/qm_line_feeds_bench_" + std::to_string(getpid()) + ".txt";
            m_owned = true;
            Make();
        }
        // Read it once so that every measurement finds it in the page cache.
        m_lineFeeds = qm::detail::CountLineFeedsWith(m_path, LineFeedKernel::Plain);
    }
    ~ListFile() {
        if (m_owned)
            unlink(m_path.c_str());
    }
    const std::string& Path() const { return m_path; }
    uint64_t LineFeeds() const { return m_lineFeeds; }
    int64_t Size() const {
        const int fd = open(m_path.c_str(), O_RDONLY);
        const off_t size = lseek(fd, 0, SEEK_END);
        close(fd);
        return size;
    }

private:
    // Rows of list-like paths of varying length, CR LF ended.
    void Make() {
        std::string chunk;
        for (int i = 0; chunk.size() < kBlock * 16; ++i)
            chunk += "/home/user/drawings/" + std::string(static_cast<size_t>(i % 40), 'd') +
                     "/figure_" + std::to_string(i) + ".emf\r\n";
        const int fd = open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (size_t written = 0; written < kFileSize;)
            written += static_cast<size_t>(write(fd, chunk.data(), chunk.size()));
        close(fd);
    }

    std::string m_path;
    bool m_owned = false;
    uint64_t m_lineFeeds = 0;
};

const ListFile& File() {
    static const ListFile file;
    return file;
}

// The byte loop a first version would have: one compare per byte, kept scalar.
__attribute__((optimize("no-tree-vectorize"))) uint64_t CountByteLoop(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    std::vector<unsigned char> buffer(kBlock);
    uint64_t count = 0;
    for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;)
        for (ssize_t i = 0; i < n; ++i)
            count += buffer[static_cast<size_t>(i)] == '\n';
    close(fd);
    return count;
}

void ReportFile(benchmark::State& state, uint64_t counted) {
    if (counted != File().LineFeeds())
        state.SkipWithError("wrong count");
    state.SetBytesProcessed(state.iterations() * File().Size());
}

void BM_FileByteLoop(benchmark::State& state) {
    uint64_t counted = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(counted = CountByteLoop(File().Path()));
    ReportFile(state, counted);
}

void BM_FileKernel(benchmark::State& state) {
    const auto kernel = static_cast<LineFeedKernel>(state.range(0));
    uint64_t counted = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(counted = qm::detail::CountLineFeedsWith(File().Path(), kernel));
    ReportFile(state, counted);
}

void BM_FileChosenAtRunTime(benchmark::State& state) {
    uint64_t counted = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(counted = qm::CountLineFeeds(File().Path()));
    ReportFile(state, counted);
}

void BM_BlockKernel(benchmark::State& state) {
    const auto kernel = static_cast<LineFeedKernel>(state.range(0));
    alignas(32) static unsigned char block[kBlock];
    for (size_t i = 0; i < kBlock; ++i)
        block[i] = i % 61 == 60 ? '\n' : 'a';
    for (auto _ : state)
        benchmark::DoNotOptimize(qm::detail::CountLineFeedsInBlock(block, kBlock, kernel));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBlock));
}

// Arguments: 0 plain, 1 SSE2, 2 AVX2.
BENCHMARK(BM_FileByteLoop)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FileKernel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FileChosenAtRunTime)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BlockKernel)->Arg(0)->Arg(1)->Arg(2);

} // namespace
