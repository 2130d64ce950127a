#include <cstring>

#include "platform/emfplus/emfplus.h"
#include "platform/emfplus/emfplus_records.h"

namespace qm::emfplus {

namespace {

uint32_t U32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
uint16_t U16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

constexpr uint32_t kEmrEof = 14;
constexpr uint32_t kEmrComment = 70;

// Plain records that put pixels on the surface.
bool IsPlainDrawing(uint32_t type) {
    switch (type) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:  // poly records
    case 15: // SETPIXELV
    case 41:
    case 42:
    case 43:
    case 44:
    case 45:
    case 46:
    case 47: // shapes
    case 53:
    case 54:
    case 55:
    case 56: // flood fill, LINETO, ARCTO, POLYDRAW
    case 62:
    case 63:
    case 64: // path drawing
    case 71:
    case 72:
    case 73:
    case 74: // region drawing
    case 76:
    case 77:
    case 78:
    case 79:
    case 80:
    case 81: // bitmaps
    case 83:
    case 84:
    case 96:
    case 97:
    case 108: // text
    case 85:
    case 86:
    case 87:
    case 88:
    case 89:
    case 90:
    case 91:
    case 92: // 16-bit poly
    case 114:
    case 116:
    case 118: // blends, gradients
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsEmfPlusComment(std::span<const uint8_t> record) {
    return record.size() >= 16 && U32(record.data()) == kEmrComment &&
           std::memcmp(record.data() + 12, "EMF+", 4) == 0;
}

EmfPlusScan ScanEmfPlus(std::span<const uint8_t> data) {
    EmfPlusScan scan;
    bool handedOver = false; // after an EMF+ GetDC, until the next EMF+ comment
    size_t offset = 0;
    while (data.size() - offset >= 8) {
        const uint32_t type = U32(data.data() + offset);
        const uint32_t size = U32(data.data() + offset + 4);
        if (size < 8 || size > data.size() - offset)
            break;
        const std::span<const uint8_t> record = data.subspan(offset, size);
        if (IsEmfPlusComment(record)) {
            handedOver = false;
            // The comment's own data size bounds the EMF+ records inside it.
            const size_t end = std::min<size_t>(size, size_t(U32(record.data() + 8)) + 12);
            size_t p = 16;
            while (p + 12 <= end) {
                const uint16_t plusType = U16(record.data() + p);
                const uint16_t flags = U16(record.data() + p + 2);
                const uint32_t plusSize = U32(record.data() + p + 4);
                if (plusSize < 12 || plusSize > end - p)
                    break;
                if (plusType == kHeader) {
                    scan.hasEmfPlus = true;
                    scan.headerSaysDual = (flags & 1) != 0;
                } else if (plusType == kGetDC) {
                    handedOver = true;
                } else if (IsDrawingRecord(plusType)) {
                    scan.emfPlusDraws = true;
                    handedOver = false;
                }
                p += plusSize;
            }
        } else if (!handedOver && IsPlainDrawing(type)) {
            scan.plainDraws = true;
        }
        if (type == kEmrEof)
            break;
        offset += size;
    }
    return scan;
}

bool ShouldPlayEmfPlus(const EmfPlusScan& scan, EmfPlusMode mode) {
    if (!scan.hasEmfPlus || mode == EmfPlusMode::Never)
        return false;
    if (mode == EmfPlusMode::Prefer)
        return true;
    return !scan.headerSaysDual || (scan.emfPlusDraws && !scan.plainDraws);
}

} // namespace qm::emfplus
