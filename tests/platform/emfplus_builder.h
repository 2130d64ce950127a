// Builds EMF+ records for the player's tests and the fuzz seeds: records are collected and
// written into comment records of an enhanced metafile.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/platform/emf_builder.h"

namespace qm::emf::testing {

/// The bytes of one EMF+ record's data, built field by field.
class PlusData {
public:
    PlusData& U32(uint32_t v) { return Put(&v, 4); }
    PlusData& I32(int32_t v) { return Put(&v, 4); }
    PlusData& U16(uint16_t v) { return Put(&v, 2); }
    PlusData& I16(int16_t v) { return Put(&v, 2); }
    PlusData& F(float v) { return Put(&v, 4); }
    PlusData& Rect(float x, float y, float w, float h) { return F(x).F(y).F(w).F(h); }
    PlusData& Text(const std::u16string& s) {
        for (char16_t c : s)
            U16(uint16_t(c));
        return *this;
    }
    PlusData& Bytes(const std::vector<uint8_t>& b) {
        bytes.insert(bytes.end(), b.begin(), b.end());
        return *this;
    }
    PlusData& Pad() {
        while (bytes.size() % 4)
            bytes.push_back(0);
        return *this;
    }
    std::vector<uint8_t> bytes;

private:
    PlusData& Put(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
        return *this;
    }
};

/// EMF+ records gathered into comment records.
class PlusBuilder {
public:
    /// dual: the header's dual flag.
    explicit PlusBuilder(bool dual = false, uint32_t dpi = 96) {
        Record(0x4001, dual ? 1 : 0, PlusData().U32(0xDBC01002).U32(1).U32(dpi).U32(dpi));
    }
    PlusBuilder& Record(uint16_t type, uint16_t flags, const PlusData& data) {
        PlusData d = data;
        d.Pad();
        PlusData rec;
        rec.U16(type).U16(flags).U32(uint32_t(12 + d.bytes.size())).U32(uint32_t(d.bytes.size()));
        m_records.insert(m_records.end(), rec.bytes.begin(), rec.bytes.end());
        m_records.insert(m_records.end(), d.bytes.begin(), d.bytes.end());
        return *this;
    }
    /// Writes the records gathered so far as one comment record.
    PlusBuilder& Flush(EmfBuilder& emf) {
        if (m_records.empty())
            return *this;
        std::vector<int32_t> fields;
        fields.push_back(int32_t(4 + m_records.size())); // data size
        fields.push_back(0x2B464D45);                    // "EMF+"
        for (size_t i = 0; i < m_records.size(); i += 4) {
            int32_t v = 0;
            std::memcpy(&v, m_records.data() + i, 4);
            fields.push_back(v);
        }
        emf.Raw(70, fields);
        m_records.clear();
        return *this;
    }

    /// The records gathered so far (the fuzz seeds are such runs).
    const std::vector<uint8_t>& Records() const { return m_records; }

    // Common records.
    PlusBuilder& EndOfFile() { return Record(0x4002, 0, PlusData()); }
    PlusBuilder& GetDC() { return Record(0x4004, 0, PlusData()); }
    PlusBuilder& FillRect(uint32_t argb, float x, float y, float w, float h) {
        return Record(0x400A, 0x8000, PlusData().U32(argb).U32(1).Rect(x, y, w, h));
    }
    PlusBuilder& SolidBrush(uint8_t id, uint32_t argb) {
        return Record(0x4008, uint16_t(0x0100 | id), PlusData().U32(0xDBC01002).U32(0).U32(argb));
    }
    PlusBuilder& SolidPen(uint8_t id, uint32_t argb, float width, uint32_t flags = 0,
                          const PlusData& optional = PlusData()) {
        PlusData d;
        d.U32(0xDBC01002).U32(0).U32(flags).U32(0).F(width).Bytes(optional.bytes);
        d.U32(0xDBC01002).U32(0).U32(argb);
        return Record(0x4008, uint16_t(0x0200 | id), d);
    }
    PlusBuilder& PageTransform(uint8_t unit, float scale) {
        return Record(0x4030, unit, PlusData().F(scale));
    }
    PlusBuilder& AntiAlias(bool on) { return Record(0x401E, on ? 0x09 : 0x00, PlusData()); }

private:
    std::vector<uint8_t> m_records;
};

} // namespace qm::emf::testing
