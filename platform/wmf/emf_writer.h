// Writes enhanced-metafile records into a byte buffer, field by field.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace qm::wmf {

class EmfWriter {
public:
    /// Starts a record of the given type; End() writes its size.
    EmfWriter& Begin(uint32_t type) {
        m_start = m_bytes.size();
        return U32(type).U32(0);
    }
    EmfWriter& End() {
        while (m_bytes.size() % 4)
            m_bytes.push_back(0);
        const uint32_t size = uint32_t(m_bytes.size() - m_start);
        std::memcpy(m_bytes.data() + m_start + 4, &size, 4);
        ++m_records;
        return *this;
    }
    EmfWriter& U32(uint32_t v) { return Put(&v, 4); }
    EmfWriter& I32(int32_t v) { return Put(&v, 4); }
    EmfWriter& U16(uint16_t v) { return Put(&v, 2); }
    EmfWriter& I16(int16_t v) { return Put(&v, 2); }
    EmfWriter& Bytes(std::span<const uint8_t> b) {
        m_bytes.insert(m_bytes.end(), b.begin(), b.end());
        return *this;
    }
    /// A record of 32-bit fields.
    EmfWriter& Record(uint32_t type, std::initializer_list<int32_t> fields) {
        Begin(type);
        for (int32_t f : fields)
            I32(f);
        return End();
    }
    /// Offset of the next byte from the start of the current record.
    uint32_t Offset() const { return uint32_t(m_bytes.size() - m_start); }
    size_t Size() const { return m_bytes.size(); }
    uint32_t Records() const { return m_records; }
    std::vector<uint8_t>& Data() { return m_bytes; }

private:
    EmfWriter& Put(const void* p, size_t n) {
        const size_t at = m_bytes.size();
        m_bytes.resize(at + n);
        std::memcpy(m_bytes.data() + at, p, n);
        return *this;
    }
    std::vector<uint8_t> m_bytes;
    size_t m_start = 0;
    uint32_t m_records = 0;
};

} // namespace qm::wmf
