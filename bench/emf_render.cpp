// Development tool: renders metafiles through the player to PNG, sized as a conversion does
// (play rectangle from the frame, white surface one pixel larger), and prints the work units
// each playback spent.
//   emf_render [--emfplus=auto|never|prefer] IN.emf OUT.png [IN2.emf OUT2.png ...]
#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/emf/emf_player.h"

namespace {

constexpr int64_t kMaxPixels = int64_t{1} << 28;

qm::emfplus::EmfPlusMode g_emfPlus = qm::emfplus::EmfPlusMode::Auto;

int RenderOne(const char* in, const char* out) {
    using namespace qm::emf;
    std::vector<uint8_t> data;
    EmfHeaderInfo header;
    int32_t w = 0, h = 0;
    if (!LoadMetafileBytes(in, data) || !ReadEmfHeader(data, header)) {
        std::fprintf(stderr, "FAIL %s: not a metafile\n", in);
        return 1;
    }
    if (!ComputePlaySize(header, w, h) || int64_t(w + 1) * (h + 1) > kMaxPixels) {
        std::fprintf(stderr, "FAIL %s: size\n", in);
        return 1;
    }
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w + 1, h + 1);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "FAIL %s: surface\n", in);
        cairo_surface_destroy(s);
        return 1;
    }
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    Surface target;
    target.pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
    target.width = w + 1;
    target.height = h + 1;
    target.stride = cairo_image_surface_get_stride(s);
    const PlayResult played = PlayMetafile(data, target, {0, 0, w, h}, g_emfPlus);
    const bool ok = played.outcome == PlayOutcome::Played;
    cairo_surface_mark_dirty(s);
    const bool written = cairo_surface_write_to_png(s, out) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    std::printf("%s %s %dx%d work %llu\n", ok && written ? "ok" : "FAIL", in, w + 1, h + 1,
                static_cast<unsigned long long>(played.work));
    return ok && written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    int first = 1;
    if (argc > 1 && std::strncmp(argv[1], "--emfplus=", 10) == 0) {
        const char* mode = argv[1] + 10;
        g_emfPlus = std::strcmp(mode, "prefer") == 0  ? qm::emfplus::EmfPlusMode::Prefer
                    : std::strcmp(mode, "never") == 0 ? qm::emfplus::EmfPlusMode::Never
                                                      : qm::emfplus::EmfPlusMode::Auto;
        first = 2;
    }
    if (argc - first < 2 || (argc - first) % 2 != 0) {
        std::fprintf(stderr, "usage: emf_render [--emfplus=auto|never|prefer] IN.emf OUT.png "
                             "[IN OUT ...]\n");
        return 2;
    }
    int rc = 0;
    for (int i = first; i + 1 < argc; i += 2)
        rc |= RenderOne(argv[i], argv[i + 1]);
    return rc;
}
