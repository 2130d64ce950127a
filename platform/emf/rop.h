// Ternary raster operations: any of the 256 boolean combinations of pattern, source and
// destination bits.
#pragma once

#include <cstdint>

namespace qm::emf {

/// The truth-table byte of a 32-bit ternary raster operation code (SRCCOPY 0x00CC0020 -> 0xCC).
constexpr uint8_t Rop3Index(uint32_t rop) {
    return static_cast<uint8_t>(rop >> 16);
}

constexpr bool RopUsesSource(uint8_t index) {
    return (((index >> 2) ^ index) & 0x33) != 0;
}
constexpr bool RopUsesPattern(uint8_t index) {
    return (((index >> 4) ^ index) & 0x0F) != 0;
}
constexpr bool RopUsesDestination(uint8_t index) {
    return (((index >> 1) ^ index) & 0x55) != 0;
}

/// Applies the operation bitwise to pattern p, source s and destination d. Bit i of the
/// index is the result for pattern, source, destination bits (i >> 2, i >> 1, i) & 1.
constexpr uint32_t ApplyRop3(uint8_t index, uint32_t p, uint32_t s, uint32_t d) {
    switch (index) {
    case 0xCC:
        return s; // SRCCOPY
    case 0xF0:
        return p; // PATCOPY
    case 0x00:
        return 0; // BLACKNESS
    case 0xFF:
        return ~0u; // WHITENESS
    case 0xAA:
        return d;
    default:
        break;
    }
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i)
        if ((index >> i) & 1)
            r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return r;
}

} // namespace qm::emf
