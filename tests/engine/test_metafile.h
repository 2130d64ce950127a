// Builds small enhanced metafiles in memory for the tests: a header whose frame spans a given
// number of reference-device pixels, and solid rectangles without outline.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace qm::test {

struct FilledRect {
    int32_t x, y, width, height;
    uint8_t red, green, blue;
};

class MetafileBuilder {
public:
    // Reference device of 1000 x 1000 pixels over 250 x 250 mm: one pixel is 25 frame units.
    static constexpr int32_t DevicePixels = 1000;
    static constexpr int32_t DeviceMillimetres = 250;
    static constexpr int32_t UnitsPerPixel = DeviceMillimetres * 100 / DevicePixels;

    /// A frame of width x height reference pixels at the origin.
    MetafileBuilder(int32_t width, int32_t height)
        : MetafileBuilder(0, 0, width * UnitsPerPixel, height * UnitsPerPixel) {}

    /// A frame given in 0.01 mm units, as stored.
    MetafileBuilder(int32_t left, int32_t top, int32_t right, int32_t bottom) {
        m_frame[0] = left;
        m_frame[1] = top;
        m_frame[2] = right;
        m_frame[3] = bottom;
    }

    void SetDevice(int32_t pixelsX, int32_t pixelsY, int32_t mmX, int32_t mmY) {
        m_device[0] = pixelsX;
        m_device[1] = pixelsY;
        m_mm[0] = mmX;
        m_mm[1] = mmY;
    }

    /// A rectangle filled with a solid brush and no outline: a polygon over its corners, which
    /// covers x .. x + width - 1 and y .. y + height - 1.
    void Fill(const FilledRect& r) {
        Record(39, {1, 0, Colour(r), 0}); // EMR_CREATEBRUSHINDIRECT: handle 1, BS_SOLID
        Record(37, {1});                  // EMR_SELECTOBJECT
        Record(37, {0x80000008});         // NULL_PEN
        const auto xy = [](int32_t x, int32_t y) {
            return (static_cast<uint32_t>(x) & 0xFFFF) | (static_cast<uint32_t>(y) << 16);
        };
        const int32_t right = r.x + r.width;
        const int32_t bottom = r.y + r.height;
        Record(86, {static_cast<uint32_t>(r.x), static_cast<uint32_t>(r.y),
                    static_cast<uint32_t>(right - 1), static_cast<uint32_t>(bottom - 1), 4,
                    xy(r.x, r.y), xy(right, r.y), xy(right, bottom), xy(r.x, bottom)}); // POLYGON16
        Record(37, {0x80000000}); // WHITE_BRUSH back in
        Record(37, {0x80000007}); // BLACK_PEN back in
        Record(40, {1});          // EMR_DELETEOBJECT
        Include(r.x, r.y, right - 1, bottom - 1);
    }

    /// The metafile's bytes, header and end record included.
    std::vector<uint8_t> Bytes() const {
        std::vector<uint32_t> header(25, 0);
        const uint32_t records = m_records + 2;
        const uint32_t total = 108 + static_cast<uint32_t>(m_body.size()) + 20;
        for (int i = 0; i < 4; ++i)
            header[i] = static_cast<uint32_t>(m_bounds[i]);
        header[4] = static_cast<uint32_t>(m_frame[0]);
        header[5] = static_cast<uint32_t>(m_frame[1]);
        header[6] = static_cast<uint32_t>(m_frame[2]);
        header[7] = static_cast<uint32_t>(m_frame[3]);
        header[8] = 0x464D4520; // " EMF"
        header[9] = 0x00010000;
        header[10] = total;
        header[11] = records;
        header[12] = 2; // handles (one brush plus the reserved slot)
        header[16] = static_cast<uint32_t>(m_device[0]);
        header[17] = static_cast<uint32_t>(m_device[1]);
        header[18] = static_cast<uint32_t>(m_mm[0]);
        header[19] = static_cast<uint32_t>(m_mm[1]);
        header[23] = static_cast<uint32_t>(m_mm[0]) * 1000; // micrometres
        header[24] = static_cast<uint32_t>(m_mm[1]) * 1000;

        std::vector<uint8_t> out;
        Append(out, 1);
        Append(out, 108);
        for (uint32_t v : header)
            Append(out, v);
        out.insert(out.end(), m_body.begin(), m_body.end());
        for (uint32_t v : {14u, 20u, 0u, 16u, 20u}) // EMR_EOF: no palette
            Append(out, v);
        return out;
    }

    bool Write(const std::string& path) const {
        const std::vector<uint8_t> bytes = Bytes();
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(file);
    }

private:
    static uint32_t Colour(const FilledRect& r) {
        return r.red | (uint32_t{r.green} << 8) | (uint32_t{r.blue} << 16);
    }
    static void Append(std::vector<uint8_t>& out, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Include(int32_t left, int32_t top, int32_t right, int32_t bottom) {
        if (m_records == 7) { // the first drawing
            m_bounds[0] = left, m_bounds[1] = top, m_bounds[2] = right, m_bounds[3] = bottom;
            return;
        }
        m_bounds[0] = std::min(m_bounds[0], left);
        m_bounds[1] = std::min(m_bounds[1], top);
        m_bounds[2] = std::max(m_bounds[2], right);
        m_bounds[3] = std::max(m_bounds[3], bottom);
    }
    void Record(uint32_t type, const std::vector<uint32_t>& params) {
        Append(m_body, type);
        Append(m_body, static_cast<uint32_t>(8 + 4 * params.size()));
        for (uint32_t v : params)
            Append(m_body, v);
        ++m_records;
    }

    int32_t m_bounds[4] = {};
    int32_t m_frame[4] = {};
    int32_t m_device[2] = {DevicePixels, DevicePixels};
    int32_t m_mm[2] = {DeviceMillimetres, DeviceMillimetres};
    std::vector<uint8_t> m_body;
    uint32_t m_records = 0;
};

/// The metafile the tests and the bundled sample share: a 200 x 100 pixel frame with a red
/// rectangle at x 20..79, y 20..59 and a blue one at x 120..189, y 50..89.
inline MetafileBuilder TwoRectangles() {
    MetafileBuilder b(200, 100);
    b.Fill({20, 20, 60, 40, 255, 0, 0});
    b.Fill({120, 50, 70, 40, 0, 0, 255});
    return b;
}

} // namespace qm::test
