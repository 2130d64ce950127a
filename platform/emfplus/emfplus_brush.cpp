// EMF+ brushes as cairo sources: solid colours, hatches, textures, and linear and path
// gradients with their blends, wrap modes and transforms.
#include <algorithm>
#include <cmath>

#include "platform/emfplus/emfplus_gradient.h"
#include "platform/emfplus/emfplus_player.h"

namespace qm::emfplus {

namespace {

// Patches of one path gradient at most; a longer blend is used more coarsely.
constexpr size_t kMaxPatches = size_t{1} << 18;
// Side of the tile a wrapped path gradient is drawn into, in pixels at most.
constexpr double kMaxTileSide = 1024;
constexpr int32_t kWrapClamp = 4;
// Pixel coordinates a gradient's patches may reach at most.
constexpr double kMaxPixelCoordinate = 4e6;
// Texture pixels up to which mirrored copies are made for the flipping wrap modes.
constexpr uint64_t kMaxMirroredPixels = uint64_t{1} << 22;

bool Invertible(const cairo_matrix_t& m) {
    const double det = m.xx * m.yy - m.xy * m.yx;
    return std::isfinite(det) && std::fabs(det) > 1e-12 && std::isfinite(m.x0) &&
           std::isfinite(m.y0);
}

double Red(Argb c) {
    return ((c >> 16) & 0xFF) / 255.0;
}
double Green(Argb c) {
    return ((c >> 8) & 0xFF) / 255.0;
}
double Blue(Argb c) {
    return (c & 0xFF) / 255.0;
}
double Alpha(Argb c) {
    return (c >> 24) / 255.0;
}

uint32_t Premultiplied(Argb c) {
    const uint32_t a = c >> 24;
    auto m = [a](uint32_t v) { return (v * a + 127) / 255; };
    return (a << 24) | (m((c >> 16) & 0xFF) << 16) | (m((c >> 8) & 0xFF) << 8) | m(c & 0xFF);
}

// Whether pixel (x, y) of the 8 x 8 hatch cell is in the foreground colour.
bool HatchBit(uint32_t style, int x, int y) {
    switch (style) {
    case 0:
        return y == 0; // horizontal
    case 1:
        return x == 0; // vertical
    case 2:
        return x == y; // forward diagonal
    case 3:
        return x == 7 - y; // backward diagonal
    case 4:
        return x == 0 || y == 0; // cross
    case 5:
        return x == y || x == 7 - y; // diagonal cross
    case 6:
        return x == 0 && y % 4 == 0; // 5 percent
    case 7:
        return (x + y * 3) % 8 == 0; // 10 percent
    case 8:
        return (x + y * 2) % 4 == 0; // 20 percent
    case 9:
        return (x % 2 == 0) && (y % 2 == 0 || x % 4 == (y % 4)); // 25 percent
    case 10:
        return (x + y) % 3 == 0; // 30 percent
    case 11:
        return (x + y) % 5 < 2; // 40 percent
    case 12:
        return (x + y) % 2 == 0; // 50 percent
    case 13:
        return (x + y) % 5 < 3; // 60 percent
    case 14:
        return (x + y) % 4 != 0; // 70 percent
    case 15:
        return (x + y * 2) % 4 != 0; // 75 percent
    case 16:
        return (x + y * 3) % 8 != 0; // 80 percent
    case 17:
        return !(x == 0 && y % 4 == 0); // 90 percent
    case 18:
    case 20:
    case 22:
        return (x + y) % 4 == 0; // light diagonals
    case 19:
    case 21:
    case 23:
        return (x - y + 8) % 4 == 0;
    case 24:
        return x % 2 == 0; // light vertical
    case 25:
        return y % 2 == 0; // light horizontal
    case 26:
        return x % 4 < 2; // narrow vertical
    case 27:
        return y % 4 < 2; // narrow horizontal
    case 28:
        return x % 4 == 0; // dark vertical
    case 29:
        return y % 4 == 0; // dark horizontal
    case 30:
        return (x + y) % 8 < 2; // dashed and others: approximations
    case 31:
        return (x - y + 8) % 8 < 2;
    case 32:
        return y == 0 && x < 4;
    case 33:
        return x == 0 && y < 4;
    default:
        return (x + y) % 2 == 0;
    }
}

// The brush space -> world transform of a brush, as a cairo pattern matrix (world -> brush).
void SetPatternTransform(cairo_pattern_t* p, const Brush& b) {
    if (!b.hasTransform || !Invertible(b.transform))
        return;
    cairo_matrix_t inv = b.transform;
    cairo_matrix_invert(&inv);
    cairo_pattern_set_matrix(p, &inv);
}

// The hatch cell repeated on the device's pixel grid from the rendering origin.
void SetHatchSource(cairo_t* cr, const Brush& b, double originX, double originY) {
    cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_surface_flush(tile);
    uint8_t* px = cairo_image_surface_get_data(tile);
    const int stride = cairo_image_surface_get_stride(tile);
    if (px) {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                reinterpret_cast<uint32_t*>(px + y * stride)[x] =
                    Premultiplied(HatchBit(b.hatch, x, y) ? b.color : b.back);
    }
    cairo_surface_mark_dirty(tile);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(tile);
    cairo_surface_destroy(tile);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(p, CAIRO_FILTER_NEAREST);
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    ctm.x0 -= originX;
    ctm.y0 -= originY;
    cairo_pattern_set_matrix(p, &ctm);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

// A linear gradient runs along the width of its rectangle in brush space, the brush transform
// turning it to its angle. Its tiles are copies of the rectangle, mirrored in turn with a
// horizontal flip; a vertical flip changes nothing along the gradient.
void SetLinearSource(cairo_t* cr, const Brush& b) {
    const RectF r = b.rect;
    cairo_pattern_t* p = cairo_pattern_create_linear(r.x, r.y, r.x + r.w, r.y);
    for (const auto& [offset, c] : LinearGradientStops(b))
        cairo_pattern_add_color_stop_rgba(p, std::clamp(offset, 0.0, 1.0), Red(c), Green(c),
                                          Blue(c), Alpha(c));
    const bool flipX = b.wrap == 1 || b.wrap == 3;
    cairo_pattern_set_extend(p, b.wrap == kWrapClamp ? CAIRO_EXTEND_PAD
                                : flipX              ? CAIRO_EXTEND_REFLECT
                                                     : CAIRO_EXTEND_REPEAT);
    SetPatternTransform(p, b);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

// The image with its mirror images beside it (flipX) and below it (flipY), as one tile.
cairo_surface_t* MirroredTile(cairo_surface_t* image, bool flipX, bool flipY) {
    const int w = cairo_image_surface_get_width(image);
    const int h = cairo_image_surface_get_height(image);
    cairo_surface_t* tile =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, flipX ? 2 * w : w, flipY ? 2 * h : h);
    cairo_t* cr = cairo_create(tile);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    for (int fy = 0; fy < (flipY ? 2 : 1); ++fy)
        for (int fx = 0; fx < (flipX ? 2 : 1); ++fx) {
            cairo_matrix_t m;
            cairo_matrix_init(&m, fx ? -1 : 1, 0, 0, fy ? -1 : 1, fx ? 2 * w : 0, fy ? 2 * h : 0);
            cairo_set_matrix(cr, &m);
            cairo_set_source_surface(cr, image, 0, 0);
            cairo_rectangle(cr, 0, 0, w, h);
            cairo_fill(cr);
        }
    cairo_destroy(cr);
    return tile;
}

// A texture repeats with the wrap modes, alternate copies mirrored across the flipped
// directions; clamped, it is drawn once.
void SetTextureSource(cairo_t* cr, const Brush& b) {
    const bool flipX = b.wrap == 1 || b.wrap == 3, flipY = b.wrap == 2 || b.wrap == 3;
    cairo_surface_t* image = b.image->surface;
    // Past a size the mirrored tile would cost too much memory: both directions mirror then.
    const uint64_t pixels = uint64_t(cairo_image_surface_get_width(image)) *
                            uint64_t(cairo_image_surface_get_height(image));
    const bool mirror = (flipX || flipY) && pixels <= kMaxMirroredPixels;
    cairo_surface_t* tile =
        mirror ? MirroredTile(image, flipX, flipY) : cairo_surface_reference(image);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(tile);
    cairo_surface_destroy(tile);
    cairo_pattern_set_extend(p, b.wrap == kWrapClamp          ? CAIRO_EXTEND_NONE
                                : (flipX || flipY) && !mirror ? CAIRO_EXTEND_REFLECT
                                                              : CAIRO_EXTEND_REPEAT);
    SetPatternTransform(p, b);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

void AddPatch(cairo_pattern_t* mesh, const std::array<PointF, 4>& p, const std::array<Argb, 4>& c) {
    cairo_mesh_pattern_begin_patch(mesh);
    cairo_mesh_pattern_move_to(mesh, p[0].x, p[0].y);
    for (unsigned k = 1; k < 4; ++k)
        cairo_mesh_pattern_line_to(mesh, p[k].x, p[k].y);
    for (unsigned k = 0; k < 4; ++k)
        cairo_mesh_pattern_set_corner_color_rgba(mesh, k, Red(c[k]), Green(c[k]), Blue(c[k]),
                                                 Alpha(c[k]));
    cairo_mesh_pattern_end_patch(mesh);
}

cairo_pattern_t* MeshOf(const std::vector<GradientPatch>& patches) {
    cairo_pattern_t* mesh = cairo_pattern_create_mesh();
    for (const GradientPatch& g : patches)
        AddPatch(mesh, g.p, g.c);
    return mesh;
}

PointF Apply(const cairo_matrix_t& m, PointF q) {
    cairo_matrix_transform_point(&m, &q.x, &q.y);
    return q;
}

// Whether the device box lies wholly inside rect (brush space), so that tiling shows nothing.
bool BoxInside(const DeviceBox& box, const cairo_matrix_t& toDevice, const RectF& rect) {
    cairo_matrix_t toBrush = toDevice;
    if (cairo_matrix_invert(&toBrush) != CAIRO_STATUS_SUCCESS)
        return true;
    for (PointF q : {PointF{box.x0, box.y0}, PointF{box.x1, box.y0}, PointF{box.x0, box.y1},
                     PointF{box.x1, box.y1}}) {
        q = Apply(toBrush, q);
        if (q.x < rect.x || q.y < rect.y || q.x > rect.x + rect.w || q.y > rect.y + rect.h)
            return false;
    }
    return true;
}

// The mesh of the patches as a source for a cairo whose user space maps to pixels by
// userToPixels; brushToPixels maps brush space to the same pixels. Patches far larger than box
// (pixels) are made in pixels as triangles and split down to the part near box, since the mesh
// rasteriser shades every patch whole (and recurses the deeper the larger it is). Null when
// the brush space cannot be mapped back or the patches reach too far.
cairo_pattern_t* BoundedMesh(const std::vector<GradientPatch>& patches,
                             const cairo_matrix_t& brushToPixels,
                             const cairo_matrix_t& userToPixels, const DeviceBox& box) {
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (const GradientPatch& g : patches)
        for (const PointF& q : g.p) {
            const PointF d = Apply(brushToPixels, q);
            x0 = std::min(x0, d.x), x1 = std::max(x1, d.x);
            y0 = std::min(y0, d.y), y1 = std::max(y1, d.y);
        }
    // Beyond cairo's fixed-point range nothing can be drawn faithfully (figures there are
    // left out too), and splitting such patches down costs without end.
    const double reach = std::max({std::fabs(x0), std::fabs(x1), std::fabs(y0), std::fabs(y1)});
    if (!(reach < kMaxPixelCoordinate))
        return nullptr;
    if (!MeshTooLarge(std::max(x1 - x0, y1 - y0), box)) {
        cairo_matrix_t toBrush = brushToPixels;
        if (!Invertible(toBrush))
            return nullptr;
        cairo_matrix_invert(&toBrush);
        cairo_matrix_t m;
        cairo_matrix_multiply(&m, &userToPixels, &toBrush);
        cairo_pattern_t* p = MeshOf(patches);
        cairo_pattern_set_matrix(p, &m);
        return p;
    }
    auto corner = [&](const GradientPatch& g, int k) {
        const PointF q = Apply(brushToPixels, g.p[k]);
        const Argb c = g.c[k];
        return ShadedCorner{q.x, q.y, Red(c), Green(c), Blue(c), Alpha(c)};
    };
    std::vector<ShadedTriangle> triangles;
    for (const GradientPatch& g : patches) {
        triangles.push_back({corner(g, 0), corner(g, 1), corner(g, 2)});
        triangles.push_back({corner(g, 0), corner(g, 2), corner(g, 3)});
    }
    cairo_pattern_t* p = cairo_pattern_create_mesh();
    for (const ShadedTriangle& t : SplitTrianglesToBox(std::move(triangles), box)) {
        cairo_mesh_pattern_begin_patch(p);
        cairo_mesh_pattern_move_to(p, t[0].x, t[0].y);
        cairo_mesh_pattern_line_to(p, t[1].x, t[1].y);
        cairo_mesh_pattern_line_to(p, t[2].x, t[2].y);
        for (unsigned k = 0; k < 4; ++k) {
            const ShadedCorner& c = t[k % 3];
            cairo_mesh_pattern_set_corner_color_rgba(p, k, c.r, c.g, c.b, c.a);
        }
        cairo_mesh_pattern_end_patch(p);
    }
    cairo_pattern_set_matrix(p, &userToPixels); // pattern space is pixels
    return p;
}

} // namespace

bool EmfPlusPlayer::SetTiledPathGradient(cairo_t* cr, const Brush& b,
                                         const std::vector<GradientPatch>& patches, double scale) {
    // The bounding box of the boundary is the tile: the gradient inside the boundary, clear
    // around it, mirrored in turn across the flipped directions.
    const RectF tile = PathGradientBounds(b);
    if (!(tile.w > 0) || !(tile.h > 0))
        return false;
    const double k = std::min({scale, kMaxTileSide / tile.w, kMaxTileSide / tile.h});
    const int w = std::max(1, int(std::ceil(tile.w * k)));
    const int h = std::max(1, int(std::ceil(tile.h * k)));
    const bool flipX = b.wrap == 1 || b.wrap == 3, flipY = b.wrap == 2 || b.wrap == 3;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, flipX ? 2 * w : w, flipY ? 2 * h : h);
    m_gdi.ChargeWork(uint64_t(w) * uint64_t(h) * (flipX ? 2 : 1) * (flipY ? 2 : 1));
    cairo_t* tcr = cairo_create(surface);
    const double kx = w / tile.w, ky = h / tile.h;
    for (int fy = 0; fy < (flipY ? 2 : 1); ++fy)
        for (int fx = 0; fx < (flipX ? 2 : 1); ++fx) {
            // Brush space -> this copy's pixels.
            cairo_matrix_t m;
            cairo_matrix_init(&m, fx ? -kx : kx, 0, 0, fy ? -ky : ky,
                              fx ? 2 * w + tile.x * kx : -tile.x * kx,
                              fy ? 2 * h + tile.y * ky : -tile.y * ky);
            const DeviceBox cell{fx * w - 2.0, fy * h - 2.0, (fx + 1) * w + 2.0,
                                 (fy + 1) * h + 2.0};
            cairo_pattern_t* mesh = BoundedMesh(patches, m, m, cell);
            if (!mesh)
                continue;
            cairo_save(tcr);
            cairo_set_matrix(tcr, &m);
            cairo_new_path(tcr);
            AddPathToCairo(tcr, b.boundary);
            cairo_clip(tcr);
            cairo_set_source(tcr, mesh);
            cairo_paint(tcr);
            cairo_restore(tcr);
            cairo_pattern_destroy(mesh);
        }
    cairo_destroy(tcr);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(surface);
    cairo_surface_destroy(surface);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
    // World -> brush -> tile pixels.
    cairo_matrix_t m{1, 0, 0, 1, 0, 0};
    if (b.hasTransform && Invertible(b.transform)) {
        m = b.transform;
        cairo_matrix_invert(&m);
    }
    cairo_matrix_t toTile;
    cairo_matrix_init(&toTile, kx, 0, 0, ky, -tile.x * kx, -tile.y * ky);
    cairo_matrix_multiply(&m, &m, &toTile);
    cairo_pattern_set_matrix(p, &m);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
    return true;
}

void EmfPlusPlayer::ClipToBoundary(cairo_t* cr, const Brush& b, const DeviceBox& box) {
    // The clip lasts until the drawing's state is restored; the figure being drawn is kept.
    cairo_path_t* figure = cairo_copy_path(cr);
    cairo_matrix_t saved;
    cairo_get_matrix(cr, &saved);
    const cairo_fill_rule_t rule = cairo_get_fill_rule(cr);
    cairo_new_path(cr);
    if (b.hasTransform && Invertible(b.transform))
        cairo_transform(cr, &b.transform);
    AddPathToCairo(cr, b.boundary);
    double x0, y0, x1, y1;
    cairo_path_extents(cr, &x0, &y0, &x1, &y1);
    if (x1 > x0 && y1 > y0) { // else the boundary is out of the device's range: no clip
        m_gdi.ChargeWork(BoundPathToBox(cr, box));
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_clip(cr);
    }
    cairo_set_fill_rule(cr, rule);
    cairo_set_matrix(cr, &saved);
    cairo_new_path(cr);
    if (figure && figure->status == CAIRO_STATUS_SUCCESS)
        cairo_append_path(cr, figure);
    cairo_path_destroy(figure);
}

bool EmfPlusPlayer::SetPathGradientSource(cairo_t* cr, const Brush& b) {
    // Brush space -> device pixels: curves are flattened to a quarter pixel.
    cairo_matrix_t toDevice;
    cairo_get_matrix(cr, &toDevice);
    if (b.hasTransform && Invertible(b.transform))
        cairo_matrix_multiply(&toDevice, &b.transform, &toDevice);
    const double scale =
        std::sqrt(std::fabs(toDevice.xx * toDevice.yy - toDevice.xy * toDevice.yx));
    const double tolerance = scale > 1e-9 && std::isfinite(scale) ? 0.25 / scale : 1.0;
    const std::vector<GradientPatch> patches = PathGradientPatches(b, tolerance, kMaxPatches);
    if (patches.empty())
        return false;
    m_gdi.ChargeWork(kSegmentWork * 64 * uint64_t(1 + patches.size()));
    const DeviceBox box = SurfaceBox(2);
    if (b.wrap != kWrapClamp && !BoxInside(box, toDevice, PathGradientBounds(b)))
        return SetTiledPathGradient(cr, b, patches, scale);
    // Without wrapping nothing is shaded outside the boundary.
    if (!PathGradientFanIsExact(b, tolerance))
        ClipToBoundary(cr, b, box);
    cairo_matrix_t userToDevice;
    cairo_get_matrix(cr, &userToDevice);
    cairo_pattern_t* p = BoundedMesh(patches, toDevice, userToDevice, box);
    if (!p)
        return false;
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
    return true;
}

bool EmfPlusPlayer::SetBrushSource(cairo_t* cr, const Brush& b) {
    switch (b.type) {
    case Brush::Solid:
        cairo_set_source_rgba(cr, Red(b.color), Green(b.color), Blue(b.color), Alpha(b.color));
        return (b.color >> 24) != 0;
    case Brush::Hatch:
        SetHatchSource(cr, b, m_state.originX, m_state.originY);
        return true;
    case Brush::Linear:
        SetLinearSource(cr, b);
        return true;
    case Brush::PathGradient:
        return SetPathGradientSource(cr, b);
    case Brush::Texture:
        if (!b.image || !b.image->surface)
            return false;
        SetTextureSource(cr, b);
        return true;
    default:
        return false;
    }
}

} // namespace qm::emfplus
