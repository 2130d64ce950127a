// EMF+ drawing records: brushes and pens onto shapes, paths, curves, regions and images.
#include <algorithm>
#include <cmath>

#include "platform/emf/emf_player.h"
#include "platform/emfplus/emfplus_player.h"

namespace qm::emfplus {

namespace {

constexpr uint32_t kMaxPoints = 1u << 22;

bool Invertible(const cairo_matrix_t& m) {
    const double det = m.xx * m.yy - m.xy * m.yx;
    return std::isfinite(det) && std::fabs(det) > 1e-12 && std::isfinite(m.x0) &&
           std::isfinite(m.y0);
}

void SetColor(cairo_t* cr, Argb c) {
    cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                          (c & 0xFF) / 255.0, (c >> 24) / 255.0);
}

RectF Normalised(RectF r) {
    if (r.w < 0) {
        r.x += r.w;
        r.w = -r.w;
    }
    if (r.h < 0) {
        r.y += r.h;
        r.h = -r.h;
    }
    return r;
}

// Cairo keeps device coordinates in 24.8 fixed point; figures that reach beyond it cannot be
// drawn faithfully and can cost seconds to flatten, so they are left out.
constexpr double kMaxDeviceCoordinate = 4e6;

bool WithinDeviceRange(cairo_t* cr, double x, double y) {
    cairo_user_to_device(cr, &x, &y);
    return std::fabs(x) < kMaxDeviceCoordinate && std::fabs(y) < kMaxDeviceCoordinate;
}

} // namespace

void AddPathToCairo(cairo_t* cr, const PathGeom& path) {
    for (const PointF& p : path.points)
        if (!WithinDeviceRange(cr, p.x, p.y))
            return;
    const size_t n = std::min(path.points.size(), path.types.size());
    bool open = false;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t t = path.types[i];
        const PointF& p = path.points[i];
        const uint8_t kind = t & kPtTypeMask;
        if (kind == kPtStart || !open) {
            cairo_move_to(cr, p.x, p.y);
            open = true;
        } else if (kind == kPtBezier && i + 2 < n) {
            const PointF& c2 = path.points[i + 1];
            const PointF& e = path.points[i + 2];
            cairo_curve_to(cr, p.x, p.y, c2.x, c2.y, e.x, e.y);
            i += 2;
        } else {
            cairo_line_to(cr, p.x, p.y);
        }
        if (path.types[std::min(i, n - 1)] & kPtClose) {
            cairo_close_path(cr);
            open = false;
        }
    }
}

void AddArcToCairo(cairo_t* cr, const RectF& rect, double start, double sweep, bool pie) {
    if (rect.w == 0 || rect.h == 0 || !std::isfinite(start) || !std::isfinite(sweep) ||
        !WithinDeviceRange(cr, rect.x, rect.y) || !WithinDeviceRange(cr, rect.x + rect.w, rect.y) ||
        !WithinDeviceRange(cr, rect.x, rect.y + rect.h) ||
        !WithinDeviceRange(cr, rect.x + rect.w, rect.y + rect.h))
        return;
    const double a = rect.w / 2, b = rect.h / 2;
    sweep = std::clamp(sweep, -360.0, 360.0);
    // Angles are measured on the ellipse itself; turn them into the circle's parameter.
    auto param = [&](double degrees) {
        const double t = degrees * M_PI / 180.0;
        return std::atan2(std::fabs(a) * std::sin(t), std::fabs(b) * std::cos(t));
    };
    const double t0 = param(start);
    double t1 = param(start + sweep);
    if (std::fabs(sweep) >= 360.0) {
        t1 = t0 + (sweep > 0 ? 2 * M_PI : -2 * M_PI);
    } else if (sweep > 0) {
        while (t1 < t0)
            t1 += 2 * M_PI;
    } else {
        while (t1 > t0)
            t1 -= 2 * M_PI;
    }
    cairo_matrix_t saved;
    cairo_get_matrix(cr, &saved);
    cairo_translate(cr, rect.x + a, rect.y + b);
    cairo_scale(cr, std::fabs(a), std::fabs(b));
    if (pie)
        cairo_move_to(cr, 0, 0);
    else
        cairo_new_sub_path(cr);
    if (sweep >= 0)
        cairo_arc(cr, 0, 0, 1, t0, t1);
    else
        cairo_arc_negative(cr, 0, 0, 1, t0, t1);
    if (pie)
        cairo_close_path(cr);
    cairo_set_matrix(cr, &saved);
}

void AddCurveToCairo(cairo_t* cr, const std::vector<PointF>& pts, double tension, bool closed,
                     size_t offset, size_t segments) {
    const size_t n = pts.size();
    if (n < 2 || !std::isfinite(tension) || std::fabs(tension) > 100)
        return;
    for (const PointF& p : pts)
        if (!WithinDeviceRange(cr, p.x, p.y))
            return;
    const double t = tension / 3.0;
    auto at = [&](long i) -> const PointF& {
        if (closed)
            return pts[size_t(((i % long(n)) + long(n)) % long(n))];
        return pts[size_t(std::clamp<long>(i, 0, long(n) - 1))];
    };
    const size_t first = closed ? 0 : std::min(offset, n - 1);
    const size_t last = closed ? n : std::min(n - 1, first + std::min(segments, n));
    cairo_move_to(cr, at(long(first)).x, at(long(first)).y);
    for (size_t i = first; i < last; ++i) {
        const long k = long(i);
        const PointF &p0 = at(k - 1), &p1 = at(k), &p2 = at(k + 1), &p3 = at(k + 2);
        cairo_curve_to(cr, p1.x + t * (p2.x - p0.x), p1.y + t * (p2.y - p0.y),
                       p2.x - t * (p3.x - p1.x), p2.y - t * (p3.y - p1.y), p2.x, p2.y);
    }
    if (closed)
        cairo_close_path(cr);
}

void EmfPlusPlayer::Draw(const std::function<void(cairo_t*)>& draw, bool textAntialias) {
    const cairo_matrix_t m = DeviceMatrix();
    if (!Invertible(m))
        return;
    cairo_t* cr = m_cr;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_new_path(cr);
    // The clip follows the shapes' smoothing; text may be smoothed on its own.
    cairo_set_antialias(cr, m_state.antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_surface_t* mask = nullptr;
    ApplyClip(mask);
    const bool aa = textAntialias || m_state.antialias;
    cairo_set_antialias(cr, aa ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_set_operator(cr, m_state.compositing == 1 ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
    if (mask)
        cairo_push_group(cr);
    cairo_set_matrix(cr, &m);
    draw(cr);
    if (mask) {
        cairo_pop_group_to_source(cr);
        cairo_identity_matrix(cr);
        cairo_mask_surface(cr, mask, 0, 0);
    }
    cairo_restore(cr);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) { // errors are sticky: start afresh
        cairo_destroy(cr);
        m_cr = cairo_create(m_gdi.surface);
    }
}

bool EmfPlusPlayer::SetBrushId(cairo_t* cr, uint16_t flags, uint32_t brushId) {
    if (flags & 0x8000) {
        SetColor(cr, brushId);
        return (brushId >> 24) != 0;
    }
    const Brush* b = BrushAt(brushId);
    return b && SetBrushSource(cr, *b);
}

void EmfPlusPlayer::FillShape(uint16_t flags, uint32_t brushId,
                              const std::function<void(cairo_t*)>& path, bool winding) {
    Draw([&](cairo_t* cr) {
        if (!SetBrushId(cr, flags, brushId))
            return;
        cairo_new_path(cr);
        path(cr);
        if (!ChargePath(cr, 2))
            return;
        cairo_set_fill_rule(cr, winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill(cr);
    });
}

DeviceBox EmfPlusPlayer::SurfaceBox(double margin) const {
    return {-margin, -margin, m_gdi.width + margin, m_gdi.height + margin};
}

bool EmfPlusPlayer::ChargePath(cairo_t* cr, double margin) {
    m_gdi.ChargeWork(BoundPathToBox(cr, SurfaceBox(margin)));
    cairo_matrix_t saved;
    cairo_get_matrix(cr, &saved);
    cairo_identity_matrix(cr);
    double x0, y0, x1, y1;
    cairo_path_extents(cr, &x0, &y0, &x1, &y1);
    cairo_set_matrix(cr, &saved);
    m_gdi.ChargeBox(x0 - margin, y0 - margin, x1 + margin, y1 + margin);
    return !m_gdi.BudgetReached();
}

void EmfPlusPlayer::StrokeShape(uint32_t penId, const std::function<void(cairo_t*)>& path,
                                bool /*closedFigures*/) {
    const Pen* pen = PenAt(penId);
    if (!pen)
        return;
    Draw([&](cairo_t* cr) {
        cairo_new_path(cr);
        path(cr);
        StrokeWithPen(cr, *pen);
    });
}

void EmfPlusPlayer::DrawingRecord(uint16_t type, uint16_t flags, std::span<const uint8_t> data) {
    Reader r(data);
    const bool compressed = (flags & 0x4000) != 0;
    const uint8_t objectId = flags & 0xFF;
    switch (type) {
    case kClear: {
        const Argb c = r.U32();
        if (r.Failed() || (c >> 24) == 0)
            return;
        Draw([&](cairo_t* cr) {
            SetColor(cr, c);
            cairo_paint(cr);
        });
        return;
    }
    case kFillRects:
    case kDrawRects: {
        const uint32_t brush = type == kFillRects ? r.U32() : 0;
        const uint32_t count = r.U32();
        if (r.Failed() || count > kMaxPoints || !r.Fits(count, compressed ? 8 : 16))
            return;
        std::vector<RectF> rects(count);
        for (auto& rc : rects)
            rc = ReadRect(r, compressed);
        auto path = [&](cairo_t* cr) {
            for (const RectF& rc : rects)
                cairo_rectangle(cr, rc.x, rc.y, rc.w, rc.h);
        };
        if (type == kFillRects)
            FillShape(flags, brush, path, true);
        else
            StrokeShape(objectId, path, true);
        return;
    }
    case kFillPolygon:
    case kDrawLines:
    case kDrawBeziers: {
        const uint32_t brush = type == kFillPolygon ? r.U32() : 0;
        const uint32_t count = r.U32();
        std::vector<PointF> pts;
        if (r.Failed() || !ReadPoints(r, count, flags, pts) || pts.empty())
            return;
        if (type == kFillPolygon) {
            FillShape(flags, brush, [&](cairo_t* cr) {
                cairo_move_to(cr, pts[0].x, pts[0].y);
                for (size_t i = 1; i < pts.size(); ++i)
                    cairo_line_to(cr, pts[i].x, pts[i].y);
                cairo_close_path(cr);
            });
        } else if (type == kDrawLines) {
            const bool closed = (flags & 0x2000) != 0;
            StrokeShape(
                objectId,
                [&](cairo_t* cr) {
                    cairo_move_to(cr, pts[0].x, pts[0].y);
                    for (size_t i = 1; i < pts.size(); ++i)
                        cairo_line_to(cr, pts[i].x, pts[i].y);
                    if (closed)
                        cairo_close_path(cr);
                },
                closed);
        } else {
            StrokeShape(
                objectId,
                [&](cairo_t* cr) {
                    for (const PointF& p : pts)
                        if (!WithinDeviceRange(cr, p.x, p.y))
                            return;
                    cairo_move_to(cr, pts[0].x, pts[0].y);
                    for (size_t i = 1; i + 2 < pts.size(); i += 3)
                        cairo_curve_to(cr, pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y,
                                       pts[i + 2].x, pts[i + 2].y);
                },
                false);
        }
        return;
    }
    case kFillEllipse:
    case kDrawEllipse: {
        const uint32_t brush = type == kFillEllipse ? r.U32() : 0;
        const RectF rc = ReadRect(r, compressed);
        if (r.Failed())
            return;
        auto path = [&](cairo_t* cr) { AddArcToCairo(cr, rc, 0, 360, false); };
        if (type == kFillEllipse)
            FillShape(flags, brush, path);
        else
            StrokeShape(objectId, path, true);
        return;
    }
    case kFillPie:
    case kDrawPie:
    case kDrawArc: {
        const uint32_t brush = type == kFillPie ? r.U32() : 0;
        const double start = r.F32(), sweep = r.F32();
        const RectF rc = ReadRect(r, compressed);
        if (r.Failed())
            return;
        const bool pie = type != kDrawArc;
        auto path = [&](cairo_t* cr) { AddArcToCairo(cr, rc, start, sweep, pie); };
        if (type == kFillPie)
            FillShape(flags, brush, path);
        else
            StrokeShape(objectId, path, pie);
        return;
    }
    case kFillPath:
    case kDrawPath: {
        const uint32_t id = r.U32();
        const auto* path = objectId < 64
                               ? std::get_if<std::shared_ptr<const PathGeom>>(&m_objects[objectId])
                               : nullptr;
        if (r.Failed() || !path || !*path)
            return;
        const PathGeom& geom = **path;
        auto add = [&](cairo_t* cr) { AddPathToCairo(cr, geom); };
        if (type == kFillPath)
            FillShape(flags, id, add);
        else
            StrokeShape(id, add, false);
        return;
    }
    case kFillClosedCurve:
    case kDrawClosedCurve:
    case kDrawCurve: {
        const uint32_t brush = type == kFillClosedCurve ? r.U32() : 0;
        const double tension = r.F32();
        uint32_t offset = 0, segments = UINT32_MAX;
        if (type == kDrawCurve) {
            offset = r.U32();
            segments = r.U32();
        }
        const uint32_t count = r.U32();
        std::vector<PointF> pts;
        if (r.Failed() || !ReadPoints(r, count, type == kDrawCurve ? flags & 0x4000 : flags, pts))
            return;
        const bool closed = type != kDrawCurve;
        auto path = [&](cairo_t* cr) {
            AddCurveToCairo(cr, pts, tension, closed, offset, segments);
        };
        if (type == kFillClosedCurve)
            FillShape(flags, brush, path, (flags & 0x2000) != 0);
        else
            StrokeShape(objectId, path, closed);
        return;
    }
    case kFillRegion: {
        const uint32_t brush = r.U32();
        const auto* region =
            objectId < 64 ? std::get_if<std::shared_ptr<const RegionNode>>(&m_objects[objectId])
                          : nullptr;
        if (r.Failed() || !region || !*region)
            return;
        const ClipPtr shape = ClipFromRegion(**region, DeviceMatrix());
        if (!shape) { // infinite
            FillShape(flags, brush, [](cairo_t* cr) {
                cairo_identity_matrix(cr);
                cairo_rectangle(cr, -1, -1, 1e6, 1e6);
            });
            return;
        }
        if (shape->type == RegionNode::Path) {
            FillShape(flags, brush, [&](cairo_t* cr) {
                cairo_identity_matrix(cr);
                AddPathToCairo(cr, shape->path);
            });
            return;
        }
        cairo_surface_t* mask = ClipMask(*shape);
        if (!mask)
            return;
        Draw([&](cairo_t* cr) {
            if (!SetBrushId(cr, flags, brush))
                return;
            cairo_identity_matrix(cr);
            cairo_mask_surface(cr, mask, 0, 0);
        });
        return;
    }
    case kDrawImage:
    case kDrawImagePoints: {
        r.U32(); // image attributes
        const uint32_t srcUnit = r.U32();
        const RectF src = ReadRect(r, false);
        if (type == kDrawImage) {
            const RectF dst = ReadRect(r, compressed);
            if (!r.Failed())
                DrawImage(objectId, srcUnit, src, {dst.x, dst.y}, {dst.x + dst.w, dst.y},
                          {dst.x, dst.y + dst.h});
            return;
        }
        const uint32_t count = r.U32();
        std::vector<PointF> pts;
        if (r.Failed() || count != 3 || !ReadPoints(r, count, flags, pts))
            return;
        DrawImage(objectId, srcUnit, src, pts[0], pts[1], pts[2]);
        return;
    }
    case kDrawString:
        DrawString(flags, data);
        return;
    case kDrawDriverString:
        DrawDriverString(flags, data);
        return;
    default:
        return;
    }
}

void EmfPlusPlayer::DrawImage(uint8_t imageId, uint32_t srcUnit, RectF src, PointF p0, PointF p1,
                              PointF p2) {
    const auto* held =
        imageId < 64 ? std::get_if<std::shared_ptr<const Image>>(&m_objects[imageId]) : nullptr;
    if (!held || !*held)
        return;
    const Image& image = **held;
    if (image.metafile) {
        DrawMetafileImage(image, p0, p1, p2);
        return;
    }
    if (!image.surface)
        return;
    if (srcUnit != kUnitPixel && srcUnit != kUnitWorld && srcUnit != kUnitDisplay) {
        const double f = UnitToPixels(srcUnit);
        src = {src.x * f, src.y * f, src.w * f, src.h * f};
    }
    src = Normalised(src);
    if (src.w <= 0 || src.h <= 0)
        return;
    cairo_matrix_t a;
    a.xx = (p1.x - p0.x) / src.w;
    a.yx = (p1.y - p0.y) / src.w;
    a.xy = (p2.x - p0.x) / src.h;
    a.yy = (p2.y - p0.y) / src.h;
    a.x0 = p0.x - a.xx * src.x - a.xy * src.y;
    a.y0 = p0.y - a.yx * src.x - a.yy * src.y;
    if (!Invertible(a))
        return;
    // The part of the source rectangle that lies on the image.
    const double x0 = std::max(0.0, src.x), y0 = std::max(0.0, src.y);
    const double x1 = std::min(double(image.width), src.x + src.w);
    const double y1 = std::min(double(image.height), src.y + src.h);
    if (x1 <= x0 || y1 <= y0)
        return;
    Draw([&](cairo_t* cr) {
        cairo_transform(cr, &a);
        cairo_set_source_surface(cr, image.surface, 0, 0);
        cairo_pattern_t* p = cairo_get_source(cr);
        cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(p, m_state.interpolation == 5 ? CAIRO_FILTER_NEAREST
                                                               : CAIRO_FILTER_GOOD);
        cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
        cairo_fill(cr);
    });
}

void EmfPlusPlayer::DrawMetafileImage(const Image& image, PointF p0, PointF p1, PointF p2) {
    // A nested metafile is played into the device rectangle its corners span.
    thread_local int depth = 0;
    if (image.metafileBytes.empty() || depth >= 3)
        return;
    const cairo_matrix_t m = DeviceMatrix();
    const PointF p3{p1.x + p2.x - p0.x, p1.y + p2.y - p0.y};
    double left = 1e300, top = 1e300, right = -1e300, bottom = -1e300;
    for (PointF p : {p0, p1, p2, p3}) {
        cairo_matrix_transform_point(&m, &p.x, &p.y);
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    if (!(right - left >= 1 && bottom - top >= 1) || right - left > 1e6 || bottom - top > 1e6 ||
        std::fabs(left) > 1e6 || std::fabs(top) > 1e6)
        return;
    emf::Surface target;
    cairo_surface_flush(m_gdi.surface);
    target.pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(m_gdi.surface));
    target.width = cairo_image_surface_get_width(m_gdi.surface);
    target.height = cairo_image_surface_get_height(m_gdi.surface);
    target.stride = cairo_image_surface_get_stride(m_gdi.surface);
    const emf::RectL play{int32_t(std::lround(left - 0.5)), int32_t(std::lround(top - 0.5)),
                          int32_t(std::lround(right - 0.5)), int32_t(std::lround(bottom - 0.5))};
    // The nested playback spends what is left of this playback's work budget, so that a file
    // drawing one image many times cannot do more work than the file itself may.
    if (m_gdi.BudgetReached())
        return;
    ++depth;
    const emf::PlayResult nested = emf::PlayMetafile(
        image.metafileBytes, target, play, EmfPlusMode::Auto, m_gdi.workBudget - m_gdi.work);
    --depth;
    m_gdi.ChargeWork(nested.work);
    cairo_surface_mark_dirty(m_gdi.surface);
}

} // namespace qm::emfplus
