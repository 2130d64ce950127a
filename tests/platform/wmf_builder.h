// Builds small Windows metafiles in memory for the tests and the fuzz seeds.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace qm::wmf::testing {

class WmfBuilder {
public:
    /// A metafile with a placeable header of the given bounds and units per inch, or without
    /// one (inch 0).
    explicit WmfBuilder(int16_t left = 0, int16_t top = 0, int16_t right = 100,
                        int16_t bottom = 100, uint16_t inch = 1440) {
        if (inch) {
            Words({0xCDD7, 0x9AC6, 0, uint16_t(left), uint16_t(top), uint16_t(right),
                   uint16_t(bottom), inch, 0, 0, 0});
        }
        m_header = m_bytes.size();
        Words({1, 9, 0x0300, 0, 0, 0, 0, 0, 0});
    }
    /// A record of parameter words.
    WmfBuilder& Record(uint16_t function, std::initializer_list<int> words) {
        std::vector<uint16_t> w;
        for (int v : words)
            w.push_back(uint16_t(v));
        return Raw(function, w);
    }
    WmfBuilder& Raw(uint16_t function, const std::vector<uint16_t>& words) {
        const uint32_t size = uint32_t(3 + words.size());
        Words({uint16_t(size), uint16_t(size >> 16), function});
        for (uint16_t v : words)
            Words({v});
        return *this;
    }
    std::vector<uint8_t> Finish() {
        Record(0, {});
        std::vector<uint8_t> out = m_bytes;
        const uint32_t words = uint32_t((out.size() - m_header) / 2);
        std::memcpy(out.data() + m_header + 6, &words, 4);
        return out;
    }

    // Common records. Colours are 0x00BBGGRR.
    WmfBuilder& Brush(uint32_t colour, uint16_t style = 0, uint16_t hatch = 0) {
        return Record(0x02FC, {style, int(colour & 0xFFFF), int(colour >> 16), hatch});
    }
    WmfBuilder& Pen(uint32_t colour, int width = 1, uint16_t style = 0) {
        return Record(0x02FA, {style, width, 0, int(colour & 0xFFFF), int(colour >> 16)});
    }
    WmfBuilder& Select(int index) { return Record(0x012D, {index}); }
    WmfBuilder& Delete(int index) { return Record(0x01F0, {index}); }
    WmfBuilder& Rectangle(int left, int top, int right, int bottom) {
        return Record(0x041B, {bottom, right, top, left});
    }
    WmfBuilder& Window(int x, int y, int w, int h) {
        Record(0x020B, {y, x});
        return Record(0x020C, {h, w});
    }

private:
    void Words(std::initializer_list<uint16_t> words) {
        for (uint16_t v : words) {
            m_bytes.push_back(uint8_t(v));
            m_bytes.push_back(uint8_t(v >> 8));
        }
    }
    std::vector<uint8_t> m_bytes;
    size_t m_header = 0;
};

} // namespace qm::wmf::testing
