// EMF+ record types, object types and a bounded reader for their fields.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

namespace qm::emfplus {

enum PlusRecord : uint16_t {
    kHeader = 0x4001,
    kEndOfFile = 0x4002,
    kComment = 0x4003,
    kGetDC = 0x4004,
    kObject = 0x4008,
    kClear = 0x4009,
    kFillRects = 0x400A,
    kDrawRects = 0x400B,
    kFillPolygon = 0x400C,
    kDrawLines = 0x400D,
    kFillEllipse = 0x400E,
    kDrawEllipse = 0x400F,
    kFillPie = 0x4010,
    kDrawPie = 0x4011,
    kDrawArc = 0x4012,
    kFillRegion = 0x4013,
    kFillPath = 0x4014,
    kDrawPath = 0x4015,
    kFillClosedCurve = 0x4016,
    kDrawClosedCurve = 0x4017,
    kDrawCurve = 0x4018,
    kDrawBeziers = 0x4019,
    kDrawImage = 0x401A,
    kDrawImagePoints = 0x401B,
    kDrawString = 0x401C,
    kSetRenderingOrigin = 0x401D,
    kSetAntiAliasMode = 0x401E,
    kSetTextRenderingHint = 0x401F,
    kSetTextContrast = 0x4020,
    kSetInterpolationMode = 0x4021,
    kSetPixelOffsetMode = 0x4022,
    kSetCompositingMode = 0x4023,
    kSetCompositingQuality = 0x4024,
    kSave = 0x4025,
    kRestore = 0x4026,
    kBeginContainer = 0x4027,
    kBeginContainerNoParams = 0x4028,
    kEndContainer = 0x4029,
    kSetWorldTransform = 0x402A,
    kResetWorldTransform = 0x402B,
    kMultiplyWorldTransform = 0x402C,
    kTranslateWorldTransform = 0x402D,
    kScaleWorldTransform = 0x402E,
    kRotateWorldTransform = 0x402F,
    kSetPageTransform = 0x4030,
    kResetClip = 0x4031,
    kSetClipRect = 0x4032,
    kSetClipPath = 0x4033,
    kSetClipRegion = 0x4034,
    kOffsetClip = 0x4035,
    kDrawDriverString = 0x4036,
    kStrokeFillPath = 0x4037,
    kSerializableObject = 0x4038,
};

inline bool IsDrawingRecord(uint16_t type) {
    return (type >= kClear && type <= kDrawString) || type == kDrawDriverString ||
           type == kStrokeFillPath;
}

enum ObjectType : uint8_t {
    kObjInvalid = 0,
    kObjBrush = 1,
    kObjPen = 2,
    kObjPath = 3,
    kObjRegion = 4,
    kObjImage = 5,
    kObjFont = 6,
    kObjStringFormat = 7,
    kObjImageAttributes = 8,
    kObjCustomLineCap = 9,
};

enum UnitType : uint32_t {
    kUnitWorld = 0,
    kUnitDisplay = 1,
    kUnitPixel = 2,
    kUnitPoint = 3,
    kUnitInch = 4,
    kUnitDocument = 5,
    kUnitMillimeter = 6,
};

/// Reads little-endian fields from a byte span; a read past the end gives 0 and marks the
/// reader as failed, so a parser can check once at the end.
class Reader {
public:
    Reader() = default;
    explicit Reader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    template <typename T> T Get() {
        T v{};
        if (m_pos > m_bytes.size() || sizeof(T) > m_bytes.size() - m_pos) {
            m_failed = true;
            m_pos = m_bytes.size();
            return v;
        }
        std::memcpy(&v, m_bytes.data() + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return v;
    }
    uint32_t U32() { return Get<uint32_t>(); }
    int32_t I32() { return Get<int32_t>(); }
    uint16_t U16() { return Get<uint16_t>(); }
    int16_t I16() { return Get<int16_t>(); }
    uint8_t U8() { return Get<uint8_t>(); }
    float F32() { return Get<float>(); }
    /// The next count bytes (empty and failed when they are not all there).
    std::span<const uint8_t> Bytes(size_t count) {
        if (m_pos > m_bytes.size() || count > m_bytes.size() - m_pos) {
            m_failed = true;
            m_pos = m_bytes.size();
            return {};
        }
        auto s = m_bytes.subspan(m_pos, count);
        m_pos += count;
        return s;
    }
    void Skip(size_t count) { Bytes(count); }
    /// True when count items of itemSize bytes remain.
    bool Fits(uint64_t count, size_t itemSize) const {
        return m_pos <= m_bytes.size() && count <= (m_bytes.size() - m_pos) / itemSize;
    }
    size_t Remaining() const { return m_pos <= m_bytes.size() ? m_bytes.size() - m_pos : 0; }
    std::span<const uint8_t> Rest() const { return m_bytes.subspan(m_pos); }
    bool Failed() const { return m_failed; }
    void Fail() { m_failed = true; }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
    bool m_failed = false;
};

} // namespace qm::emfplus
