// Development tool: the measures of the reference comparison for one pair of PNG files, fast
// enough for very large pictures. Same rules: the union of both sizes, missing parts white;
// match = all channels within 8; ink = any channel below 240; ink IoU over both.
//   emf_compare OURS.png REFERENCE.png NAME
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Rgb {
    int w = 0, h = 0;
    std::vector<uint8_t> px;
    const uint8_t* At(int x, int y) const {
        static const uint8_t white[3] = {255, 255, 255};
        return x < w && y < h ? &px[(size_t(y) * w + x) * 3] : white;
    }
};

bool Load(const char* path, Rgb& out) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path))
        return false;
    img.format = PNG_FORMAT_RGB;
    out.w = int(img.width);
    out.h = int(img.height);
    out.px.resize(size_t(out.w) * out.h * 3);
    png_color white{255, 255, 255};
    return png_image_finish_read(&img, &white, out.px.data(), 0, nullptr) != 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: emf_compare OURS.png REFERENCE.png NAME\n");
        return 2;
    }
    Rgb a, b;
    if (!Load(argv[1], a) || !Load(argv[2], b)) {
        std::printf("%s  ERROR unreadable\n", argv[3]);
        return 1;
    }
    const int W = std::max(a.w, b.w), H = std::max(a.h, b.h);
    uint64_t matched = 0, inter = 0, uni = 0;
    double err[3] = {0, 0, 0};
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const uint8_t *p = a.At(x, y), *q = b.At(x, y);
            int worst = 0;
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(int(p[c]) - int(q[c]));
                err[c] += d;
                worst = std::max(worst, d);
            }
            matched += worst <= 8;
            const bool ia = p[0] < 240 || p[1] < 240 || p[2] < 240;
            const bool ib = q[0] < 240 || q[1] < 240 || q[2] < 240;
            inter += ia && ib;
            uni += ia || ib;
        }
    const double n = double(W) * H;
    std::printf("%s  size=%s  match=%.2f%%  mae=(%.2f,%.2f,%.2f)  inkIoU=%.4f\n", argv[3],
                a.w == b.w && a.h == b.h ? "yes" : "no", n ? 100.0 * matched / n : 100.0,
                n ? err[0] / n : 0, n ? err[1] / n : 0, n ? err[2] / n : 0,
                uni ? double(inter) / double(uni) : 1.0);
    return 0;
}
