#include "engine/png_encoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

namespace qm {

namespace {

// A band holds about this many bytes of filtered rows: enough that restarting the compressor
// costs nothing measurable, few enough that pictures of a few megapixels use every core.
constexpr size_t BandBytes = size_t{1} << 20;
// deflate's window: each band starts with the bytes before it as its dictionary, so a band
// compresses as well as it would inside one long stream.
constexpr size_t WindowBytes = 32768;
constexpr unsigned MostThreads = 8;

void PutU32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

// libdeflate's checksums run several times faster than zlib's on large buffers.
uint32_t Crc(uint32_t crc, const uint8_t* data, size_t size) {
    return libdeflate_crc32(crc, data, size);
}

uint32_t Adler(uint32_t adler, const uint8_t* data, size_t size) {
    return libdeflate_adler32(adler, data, size);
}

// A whole chunk: length, type, data and CRC.
std::vector<uint8_t> Chunk(const char* type, const uint8_t* data, size_t size) {
    std::vector<uint8_t> chunk(size + 12);
    PutU32(chunk.data(), static_cast<uint32_t>(size));
    std::memcpy(chunk.data() + 4, type, 4);
    if (size > 0)
        std::memcpy(chunk.data() + 8, data, size);
    PutU32(chunk.data() + 8 + size, Crc(0, chunk.data() + 4, size + 4));
    return chunk;
}

// The two bytes that open a zlib stream, with the level hint zlib itself would give.
std::array<uint8_t, 2> ZlibHeader(int level, int strategy) {
    const unsigned hint = (strategy >= Z_HUFFMAN_ONLY || level < 2) ? 0
                          : level < 6                               ? 1
                          : level == 6                              ? 2
                                                                    : 3;
    unsigned header = (0x78u << 8) | (hint << 6);
    header += 31 - header % 31;
    return {static_cast<uint8_t>(header >> 8), static_cast<uint8_t>(header)};
}

uint8_t Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    // Without branches, so that the loop below vectorises; the same choice as the usual form.
    const int least = std::min(pa, std::min(pb, pc));
    return static_cast<uint8_t>(pa == least ? a : pb == least ? b : c);
}

// Filters bytes [from, to) of a row with one of the five filters; prior is the row above
// (zeros above the first row), out receives the filtered bytes at the same offsets.
void FilterSpan(uint8_t type, const uint8_t* raw, const uint8_t* prior, size_t from, size_t to,
                size_t bpp, uint8_t* out) {
    // The first pixel has nothing to its left.
    for (; from < std::min(bpp, to); ++from) {
        const int up = prior[from];
        const int predicted = type == 2 || type == 4 ? up : type == 3 ? up >> 1 : 0;
        out[from] = static_cast<uint8_t>(raw[from] - predicted);
    }
    switch (type) {
    case 0:
        std::memcpy(out + from, raw + from, to - from);
        break;
    case 1:
        for (size_t i = from; i < to; ++i)
            out[i] = static_cast<uint8_t>(raw[i] - raw[i - bpp]);
        break;
    case 2:
        for (size_t i = from; i < to; ++i)
            out[i] = static_cast<uint8_t>(raw[i] - prior[i]);
        break;
    case 3:
        for (size_t i = from; i < to; ++i)
            out[i] = static_cast<uint8_t>(raw[i] - ((raw[i - bpp] + prior[i]) >> 1));
        break;
    default:
        for (size_t i = from; i < to; ++i)
            out[i] = static_cast<uint8_t>(raw[i] - Paeth(raw[i - bpp], prior[i], prior[i - bpp]));
        break;
    }
}

// The sum of filtered bytes taken as signed magnitudes: smaller sums deflate better.
uint32_t Magnitude(const uint8_t* data, size_t size) {
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += static_cast<uint32_t>(std::abs(static_cast<int>(static_cast<int8_t>(data[i]))));
    return sum;
}

uint8_t FixedFilterType(PngRowFilter filter) {
    switch (filter) {
    case PngRowFilter::Sub:
        return 1;
    case PngRowFilter::Up:
        return 2;
    case PngRowFilter::Paeth:
        return 4;
    default:
        return 0;
    }
}

struct Band {
    // The IDAT chunk in its first `size` bytes, with room at the end for the CRC (and before
    // it, in the last band, for the stream's checksum). The buffer goes back to the encoder
    // once written, so that large pictures do not fault in fresh memory for every band.
    std::vector<uint8_t> chunk;
    size_t size = 0;
    uint32_t crc = 0;   // of the chunk's type and data so far
    uint32_t adler = 1; // of the band's filtered rows
    size_t filteredBytes = 0;
    bool ok = false;
};

// One thread's compressor and row buffers, reused from band to band.
class BandEncoder {
public:
    BandEncoder(const PngRows& rows, const PngEncoding& encoding, uint32_t bandRows)
        : m_rows(rows), m_encoding(encoding), m_bandRows(bandRows),
          m_rowBytes(size_t{rows.width} * rows.channels) {
        m_ready = deflateInit2(&m_z, encoding.level, Z_DEFLATED, -15, 8, encoding.strategy) == Z_OK;
        m_prior.resize(m_rowBytes);
        m_raw.resize(m_rowBytes);
        m_trial.resize(m_rowBytes);
        m_best.resize(m_rowBytes);
    }
    ~BandEncoder() {
        if (m_ready)
            deflateEnd(&m_z);
    }
    BandEncoder(const BandEncoder&) = delete;
    BandEncoder& operator=(const BandEncoder&) = delete;

    // A band that could not be encoded (out of memory included) comes back not ok.
    Band Encode(uint32_t band, uint32_t bands, std::vector<uint8_t> buffer) {
        try {
            return EncodeBand(band, bands, std::move(buffer));
        } catch (const std::bad_alloc&) {
            return Band();
        }
    }

private:
    Band EncodeBand(uint32_t band, uint32_t bands, std::vector<uint8_t> buffer) {
        Band out;
        out.chunk = std::move(buffer);
        if (!m_ready || deflateReset(&m_z) != Z_OK)
            return out;
        const uint32_t first = band * m_bandRows;
        const uint32_t end = std::min(m_rows.height, first + m_bandRows);
        // The rows before the band, as far back as deflate's window reaches, are filtered again
        // here to serve as the dictionary.
        const size_t filtered = m_rowBytes + 1;
        const size_t window = m_encoding.level == 0 ? 0 : WindowBytes; // stored blocks need none
        const uint32_t back =
            static_cast<uint32_t>(std::min<size_t>(first, (window + filtered - 1) / filtered));
        FilterRows(first - back, end);
        const size_t dictionary = std::min(window, size_t{back} * filtered);
        const uint8_t* input = m_filtered.data() + size_t{back} * filtered;
        out.filteredBytes = size_t{end - first} * filtered;
        if (dictionary > 0 &&
            deflateSetDictionary(&m_z, input - dictionary, static_cast<uInt>(dictionary)) != Z_OK)
            return out;
        out.adler = Adler(1, input, out.filteredBytes);
        const bool last = band + 1 == bands;
        out.ok = m_encoding.level == 0 ? Store(input, out.filteredBytes, band == 0, last, out)
                                       : Deflate(input, out.filteredBytes, band == 0, last, out);
        out.crc = Crc(0, out.chunk.data() + 4, out.size - 8 - (last ? 4 : 0));
        return out;
    }

    void FilterRows(uint32_t from, uint32_t end) {
        const size_t filtered = m_rowBytes + 1;
        m_filtered.resize(size_t{end - from} * filtered);
        if (from > 0 && m_encoding.filter != PngRowFilter::None)
            m_rows.row(from - 1, m_prior.data());
        else
            std::fill(m_prior.begin(), m_prior.end(), 0);
        for (uint32_t y = from; y < end; ++y) {
            uint8_t* out = m_filtered.data() + size_t{y - from} * filtered;
            if (m_encoding.filter == PngRowFilter::None) {
                out[0] = 0; // the row as it is, straight into place
                m_rows.row(y, out + 1);
                continue;
            }
            m_rows.row(y, m_raw.data());
            FilterOne(out);
            m_prior.swap(m_raw);
        }
    }

    void FilterOne(uint8_t* out) {
        const size_t bpp = m_rows.channels;
        if (m_encoding.filter != PngRowFilter::Adaptive) {
            out[0] = FixedFilterType(m_encoding.filter);
            FilterSpan(out[0], m_raw.data(), m_prior.data(), 0, m_rowBytes, bpp, out + 1);
            return;
        }
        // Each filter is tried slice by slice and given up as soon as its sum passes the best
        // so far; Up goes first, as it wins most rows of drawings (all of a row like the last).
        constexpr size_t Slice = 4096;
        static constexpr uint8_t Order[] = {2, 1, 0, 4, 3};
        uint64_t best = UINT64_MAX;
        for (const uint8_t type : Order) {
            uint64_t sum = 0;
            size_t done = 0;
            for (; done < m_rowBytes && sum < best; done += Slice) {
                const size_t to = std::min(m_rowBytes, done + Slice);
                FilterSpan(type, m_raw.data(), m_prior.data(), done, to, bpp, m_trial.data());
                sum += Magnitude(m_trial.data() + done, to - done);
            }
            if (done >= m_rowBytes && sum < best) {
                best = sum;
                out[0] = type;
                m_trial.swap(m_best);
            }
            if (best == 0)
                break;
        }
        std::memcpy(out + 1, m_best.data(), m_rowBytes);
    }

    // Stores the band in uncompressed deflate blocks (what level 0 means), written here
    // directly: each block is byte-aligned, so bands join without a flush.
    bool Store(const uint8_t* input, size_t size, bool first, bool last, Band& out) {
        constexpr size_t MostBlock = 65535;
        const size_t blocks = (size + MostBlock - 1) / MostBlock;
        std::vector<uint8_t>& chunk = out.chunk;
        size_t used = StartChunk(first, size + blocks * 5, chunk);
        for (size_t at = 0; at < size; at += MostBlock) {
            const size_t length = std::min(MostBlock, size - at);
            uint8_t* block = chunk.data() + used;
            block[0] = last && at + length == size ? 1 : 0; // the final block of the stream
            block[1] = static_cast<uint8_t>(length);
            block[2] = static_cast<uint8_t>(length >> 8);
            block[3] = static_cast<uint8_t>(~length);
            block[4] = static_cast<uint8_t>(~length >> 8);
            std::memcpy(block + 5, input + at, length);
            used += 5 + length;
        }
        EndChunk(used, last, out);
        return true;
    }

    // Makes the buffer hold the chunk's head (and the zlib header in the first band), room
    // bytes of data and the tail; returns where the data starts. A buffer only ever grows.
    size_t StartChunk(bool first, size_t room, std::vector<uint8_t>& chunk) const {
        const size_t head = 8 + (first ? 2 : 0);
        if (chunk.size() < head + room + 8)
            chunk.resize(head + room + 8);
        std::memcpy(chunk.data() + 4, "IDAT", 4);
        if (first) {
            const auto header = ZlibHeader(m_encoding.level, m_encoding.strategy);
            std::memcpy(chunk.data() + 8, header.data(), 2);
        }
        return head;
    }

    // Ends the chunk's data after used bytes (and the stream's checksum in the last band),
    // writes its length and counts the CRC in its size.
    static void EndChunk(size_t used, bool last, Band& out) {
        const size_t end = used + (last ? 4 : 0);
        PutU32(out.chunk.data(), static_cast<uint32_t>(end - 8));
        out.size = end + 4;
    }

    // Deflates the band into an IDAT chunk: the first band carries the zlib header, every band
    // but the last ends on a byte boundary without closing the stream.
    bool Deflate(const uint8_t* input, size_t size, bool first, bool last, Band& out) {
        std::vector<uint8_t>& chunk = out.chunk;
        size_t used = StartChunk(first, deflateBound(&m_z, static_cast<uLong>(size)) + 64, chunk);
        m_z.next_in = const_cast<Bytef*>(input);
        m_z.avail_in = static_cast<uInt>(size);
        for (;;) {
            m_z.next_out = chunk.data() + used;
            // The tail (checksum and CRC) stays free.
            m_z.avail_out = static_cast<uInt>(std::min<size_t>(chunk.size() - 8 - used, 1u << 30));
            const int status = deflate(&m_z, last ? Z_FINISH : Z_SYNC_FLUSH);
            used = static_cast<size_t>(m_z.next_out - chunk.data());
            if (status == Z_STREAM_END || (!last && status == Z_OK && m_z.avail_out > 0))
                break;
            if (status != Z_OK && status != Z_BUF_ERROR)
                return false;
            chunk.resize(chunk.size() * 2);
        }
        EndChunk(used, last, out);
        return true;
    }

    const PngRows& m_rows;
    const PngEncoding& m_encoding;
    uint32_t m_bandRows;
    size_t m_rowBytes;
    z_stream m_z{};
    bool m_ready = false;
    std::vector<uint8_t> m_prior, m_raw, m_trial, m_best, m_filtered;
};

unsigned ThreadsFor(unsigned requested, uint32_t bands) {
    unsigned threads = requested ? requested : std::thread::hardware_concurrency();
    threads = std::clamp(threads, 1u, MostThreads);
    return std::min<unsigned>(threads, bands);
}

// Bands are compressed ahead by the workers, at most a few per thread beyond the one being
// written, and handed to the sink strictly in order.
class BandQueue {
public:
    BandQueue(uint32_t bands, unsigned threads) : m_results(bands), m_done(bands, 0) {
        m_ahead = 2 * threads;
    }

    // The next band for a worker and a written band's buffer to reuse, or false when there is
    // none or the run has stopped.
    bool Take(uint32_t& band, std::vector<uint8_t>& buffer) {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock, [&] {
            return m_stop || m_next >= m_results.size() || m_next < m_written + m_ahead;
        });
        if (m_stop || m_next >= m_results.size())
            return false;
        band = m_next++;
        if (!m_spare.empty()) {
            buffer = std::move(m_spare.back());
            m_spare.pop_back();
        }
        return true;
    }
    void Recycle(std::vector<uint8_t> buffer) {
        std::lock_guard lock(m_mutex);
        m_spare.push_back(std::move(buffer));
    }
    void Finish(uint32_t band, Band result) {
        std::lock_guard lock(m_mutex);
        m_results[band] = std::move(result);
        m_done[band] = 1;
        m_ready.notify_all();
    }
    Band Wait(uint32_t band) {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [&] { return m_done[band] != 0; });
        m_written = band + 1;
        m_space.notify_all();
        return std::move(m_results[band]);
    }
    void Stop() {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_space.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready, m_space;
    std::vector<Band> m_results;
    std::vector<char> m_done;
    std::vector<std::vector<uint8_t>> m_spare;
    uint32_t m_next = 0, m_written = 0, m_ahead = 2;
    bool m_stop = false;
};

// The worker threads, told to stop and joined on every way out.
struct Workers {
    explicit Workers(BandQueue& queue) : queue(queue) {}
    ~Workers() {
        queue.Stop();
        for (auto& thread : threads)
            thread.join();
    }
    BandQueue& queue;
    std::vector<std::thread> threads;
};

// Completes a band's chunk (the stream's checksum in the last one, then the CRC) and sinks it.
bool SinkBand(Band& band, bool last, uint32_t adler, const PngSink& sink) {
    if (!band.ok)
        return false;
    uint32_t crc = band.crc;
    if (last) {
        uint8_t* checksum = band.chunk.data() + band.size - 8;
        PutU32(checksum, adler);
        crc = Crc(crc, checksum, 4);
    }
    PutU32(band.chunk.data() + band.size - 4, crc);
    return sink(band.chunk.data(), band.size);
}

bool EncodeBands(const PngRows& rows, const PngEncoding& encoding, const PngSink& sink) {
    const uint32_t bandRows = PngBandRows(rows.width, rows.channels);
    const uint32_t bands = (rows.height + bandRows - 1) / bandRows;
    const unsigned threads = ThreadsFor(encoding.threads, bands);
    BandQueue queue(bands, threads);
    Workers workers(queue);
    if (threads > 1)
        for (unsigned i = 0; i < threads; ++i)
            workers.threads.emplace_back([&] {
                BandEncoder encoder(rows, encoding, bandRows);
                uint32_t band;
                for (std::vector<uint8_t> buffer; queue.Take(band, buffer);)
                    queue.Finish(band, encoder.Encode(band, bands, std::move(buffer)));
            });
    std::optional<BandEncoder> alone;
    if (threads == 1)
        alone.emplace(rows, encoding, bandRows);
    std::vector<uint8_t> spare;
    uint32_t adler = 1;
    bool ok = true;
    for (uint32_t b = 0; ok && b < bands; ++b) {
        Band band = alone ? alone->Encode(b, bands, std::move(spare)) : queue.Wait(b);
        adler = static_cast<uint32_t>(
            adler32_combine(adler, band.adler, static_cast<z_off_t>(band.filteredBytes)));
        ok = SinkBand(band, b + 1 == bands, adler, sink);
        if (alone)
            spare = std::move(band.chunk);
        else
            queue.Recycle(std::move(band.chunk));
    }
    return ok;
}

} // namespace

// The Up filter alone gave drawings (the corpus's charts) files no larger than the adaptive
// choice, at half its time, and libpng's adaptive filtering at a third: see bench/.
PngEncoding PngEncodingForLevel(int level) {
    PngEncoding encoding;
    encoding.level = std::clamp(level, 0, 9);
    encoding.filter = encoding.level == 0 ? PngRowFilter::None : PngRowFilter::Up;
    encoding.strategy = Z_DEFAULT_STRATEGY;
    return encoding;
}

uint32_t PngBandRows(uint32_t width, unsigned channels) {
    const size_t rowBytes = size_t{width} * channels + 1;
    return static_cast<uint32_t>(std::clamp<size_t>(BandBytes / rowBytes, 1, UINT32_MAX));
}

bool EncodePng(const PngRows& rows, const PngEncoding& encoding, const PngSink& sink) {
    constexpr uint32_t MostSide = 0x7FFFFFFF;
    if (rows.width == 0 || rows.height == 0 || rows.width > MostSide || rows.height > MostSide ||
        (rows.channels != 3 && rows.channels != 4) || !rows.row)
        return false;
    static constexpr uint8_t Signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uint8_t header[13] = {};
    PutU32(header, rows.width);
    PutU32(header + 4, rows.height);
    header[8] = 8;                          // bits per sample
    header[9] = rows.channels == 4 ? 6 : 2; // RGBA or RGB
    std::vector<uint8_t> head = Chunk("IHDR", header, sizeof header);
    if (rows.dotsPerMeterX > 0 && rows.dotsPerMeterY > 0) {
        uint8_t density[9] = {};
        PutU32(density, rows.dotsPerMeterX);
        PutU32(density + 4, rows.dotsPerMeterY);
        density[8] = 1; // the unit is the metre
        const std::vector<uint8_t> phys = Chunk("pHYs", density, sizeof density);
        head.insert(head.end(), phys.begin(), phys.end());
    }
    const std::vector<uint8_t> iend = Chunk("IEND", nullptr, 0);
    return sink(Signature, sizeof Signature) && sink(head.data(), head.size()) &&
           EncodeBands(rows, encoding, sink) && sink(iend.data(), iend.size());
}

} // namespace qm
