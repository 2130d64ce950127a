// Development tool: how well the ink of two renders of the same drawing agrees, allowing each
// ink pixel to be one pixel away from its partner (antialiasing and rounding move edges by a
// pixel). Precision is the share of A's ink with B's ink within one pixel, recall the same the
// other way; F1 is their harmonic mean. Pictures of different sizes are compared on the union
// rectangle, the missing part counting as background.
//   emf_f1 A.png B.png [--background=white|common] [--tolerance=N] [--region=X,Y,W,H]
// Ink is a pixel whose channels differ from the background by more than 16. The background is
// white, or with "common" the most frequent colour of B (for drawings on a coloured page).
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Mask {
    int w = 0, h = 0;
    std::vector<uint8_t> ink;
    bool At(int x, int y) const {
        return x >= 0 && y >= 0 && x < w && y < h && ink[size_t(y) * w + x];
    }
};

bool LoadRgb(const char* path, int& w, int& h, std::vector<uint8_t>& px) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path))
        return false;
    img.format = PNG_FORMAT_RGB;
    w = int(img.width);
    h = int(img.height);
    px.resize(size_t(w) * h * 3);
    png_color white{255, 255, 255};
    return png_image_finish_read(&img, &white, px.data(), 0, nullptr) != 0;
}

uint32_t CommonColour(const std::vector<uint8_t>& px) {
    std::map<uint32_t, size_t> counts;
    for (size_t i = 0; i + 2 < px.size(); i += 3 * 97) // a sample is enough
        ++counts[(uint32_t(px[i]) << 16) | (px[i + 1] << 8) | px[i + 2]];
    uint32_t best = 0xFFFFFF;
    size_t most = 0;
    for (auto [c, n] : counts)
        if (n > most) {
            most = n;
            best = c;
        }
    return best;
}

Mask ToMask(int w, int h, const std::vector<uint8_t>& px, uint32_t bg) {
    Mask m;
    m.w = w;
    m.h = h;
    m.ink.resize(size_t(w) * h);
    const int br = bg >> 16, bgc = (bg >> 8) & 0xFF, bb = bg & 0xFF;
    for (size_t i = 0; i < m.ink.size(); ++i) {
        const uint8_t* p = &px[i * 3];
        m.ink[i] =
            std::abs(p[0] - br) > 16 || std::abs(p[1] - bgc) > 16 || std::abs(p[2] - bb) > 16;
    }
    return m;
}

// Share of a's ink that has b's ink within tol pixels.
double Covered(const Mask& a, const Mask& b, int tol, uint64_t& total) {
    uint64_t hit = 0;
    total = 0;
    for (int y = 0; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x) {
            if (!a.ink[size_t(y) * a.w + x])
                continue;
            ++total;
            bool found = false;
            for (int dy = -tol; dy <= tol && !found; ++dy)
                for (int dx = -tol; dx <= tol && !found; ++dx)
                    found = b.At(x + dx, y + dy);
            hit += found;
        }
    return total ? double(hit) / double(total) : 1.0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: emf_f1 A.png B.png [--background=white|common] "
                             "[--tolerance=N] [--region=X,Y,W,H]\n");
        return 2;
    }
    bool common = false;
    int tol = 1;
    long rx = 0, ry = 0, rw = -1, rh = -1; // only this rectangle counts
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--background=common") == 0)
            common = true;
        else if (std::strncmp(argv[i], "--tolerance=", 12) == 0)
            tol = std::clamp(std::atoi(argv[i] + 12), 0, 8);
        else if (std::strncmp(argv[i], "--region=", 9) == 0)
            std::sscanf(argv[i] + 9, "%ld,%ld,%ld,%ld", &rx, &ry, &rw, &rh);
    }
    int wa = 0, ha = 0, wb = 0, hb = 0;
    std::vector<uint8_t> px;
    if (!LoadRgb(argv[2], wb, hb, px)) {
        std::printf("ERROR unreadable %s\n", argv[2]);
        return 1;
    }
    const uint32_t bg = common ? CommonColour(px) : 0xFFFFFF;
    const Mask b = ToMask(wb, hb, px, bg);
    if (!LoadRgb(argv[1], wa, ha, px)) {
        std::printf("ERROR unreadable %s\n", argv[1]);
        return 1;
    }
    Mask a = ToMask(wa, ha, px, bg);
    Mask bb = b;
    if (rw >= 0 && rh >= 0)
        for (Mask* m : {&a, &bb})
            for (int y = 0; y < m->h; ++y)
                for (int x = 0; x < m->w; ++x)
                    if (x < rx || y < ry || x >= rx + rw || y >= ry + rh)
                        m->ink[size_t(y) * m->w + x] = 0;
    px.clear();
    px.shrink_to_fit();
    uint64_t inkA = 0, inkB = 0;
    const double precision = Covered(a, bb, tol, inkA);
    const double recall = Covered(bb, a, tol, inkB);
    const double f1 = precision + recall > 0 ? 2 * precision * recall / (precision + recall) : 0;
    std::printf("background=%06X tolerance=%d inkA=%llu inkB=%llu precision=%.4f recall=%.4f "
                "F1=%.4f\n",
                bg, tol, (unsigned long long)inkA, (unsigned long long)inkB, precision, recall, f1);
    return 0;
}
