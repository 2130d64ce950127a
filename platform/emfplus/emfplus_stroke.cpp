// EMF+ pens: stroking figures with a pen's width, dashes, compound bands, alignment, joins,
// line caps, dash caps and custom caps.
#include <algorithm>
#include <cmath>

#include "platform/emf/emf_player.h"
#include "platform/emfplus/emfplus_player.h"
#include "platform/emfplus/emfplus_stroke_geom.h"

namespace qm::emfplus {

namespace {

// Above this many dashes in one stroke only those near the surface are made.
constexpr double kMaxDashes = 1 << 17;
// Figures of more flattened points than this are stroked by cairo alone (no caps of our own).
constexpr size_t kMaxStrokePoints = 1 << 20;
// Runs stroked one by one (see StrokeFigures); the rest share one stroke.
constexpr size_t kMaxSeparateStrokes = 4096;
// Unsmoothed strokes are placed on a grid of this fraction of a pixel, as GDI+ does.
constexpr double kGridStep = 1.0 / 16;

// Line cap values.
constexpr int32_t kCapFlat = 0, kCapSquare = 1, kCapRound = 2, kCapTriangle = 3;
constexpr int32_t kCapSquareAnchor = 0x11, kCapRoundAnchor = 0x12, kCapDiamondAnchor = 0x13,
                  kCapArrowAnchor = 0x14;
// Dash cap values.
constexpr int32_t kDashCapRound = 2, kDashCapTriangle = 3;
constexpr int32_t kAlignInset = 1;

bool Invertible(const cairo_matrix_t& m) {
    const double det = m.xx * m.yy - m.xy * m.yx;
    return std::isfinite(det) && std::fabs(det) > 1e-12 && std::isfinite(m.x0) &&
           std::isfinite(m.y0);
}

double MatrixScale(const cairo_matrix_t& m) {
    return std::sqrt(std::fabs(m.xx * m.yy - m.xy * m.yx));
}

// The line style's dash pattern, in pen widths.
std::vector<double> DashPattern(const Pen& pen) {
    switch (pen.lineStyle) {
    case 1:
        return {3, 1};
    case 2:
        return {1, 1};
    case 3:
        return {3, 1, 1, 1};
    case 4:
        return {3, 1, 1, 1, 1, 1};
    case 5:
        return pen.dashes;
    default:
        return {};
    }
}

// The shape a line cap value draws at a line's end: flat, square, round or triangle. Anchor
// caps end the line flat and draw a figure of their own over it.
int32_t CapShape(int32_t cap) {
    switch (cap) {
    case kCapSquare:
    case kCapRound:
    case kCapTriangle:
        return cap;
    default:
        return kCapFlat;
    }
}

CustomCap FilledCap(std::vector<PointF> points, std::vector<uint8_t> types, double inset) {
    CustomCap cap;
    cap.kind = CustomCap::Figures;
    cap.fill.points = std::move(points);
    cap.fill.types = std::move(types);
    cap.baseInset = inset;
    return cap;
}

// The anchor caps as figures in pen widths, twice the pen's width across; the arrow's tip is
// the line's end, and the line stops one width short of it.
const CustomCap* AnchorCap(int32_t cap) {
    constexpr double h = 0.70710678, k = 0.55228475, a = 1.15470054;
    static const CustomCap square =
        FilledCap({{-h, -h}, {h, -h}, {h, h}, {-h, h}}, {0, 1, 1, 0x81}, 0);
    static const CustomCap diamond =
        FilledCap({{0, -1}, {1, 0}, {0, 1}, {-1, 0}}, {0, 1, 1, 0x81}, 0);
    static const CustomCap arrow = FilledCap({{0, 0}, {a, -2}, {-a, -2}}, {0, 1, 0x81}, 1);
    static const CustomCap round = FilledCap({{1, 0},
                                              {1, k},
                                              {k, 1},
                                              {0, 1},
                                              {-k, 1},
                                              {-1, k},
                                              {-1, 0},
                                              {-1, -k},
                                              {-k, -1},
                                              {0, -1},
                                              {k, -1},
                                              {1, -k},
                                              {1, 0}},
                                             {0, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0x83}, 0);
    switch (cap) {
    case kCapSquareAnchor:
        return &square;
    case kCapRoundAnchor:
        return &round;
    case kCapDiamondAnchor:
        return &diamond;
    case kCapArrowAnchor:
        return &arrow;
    default:
        return nullptr;
    }
}

// The cap figure at one end of the pen's lines: its custom cap, or an anchor; null for none.
const CustomCap* CapFigure(const Pen& pen, bool atStart) {
    const CustomCap& custom = atStart ? pen.startCustom : pen.endCustom;
    if (custom.kind != CustomCap::None)
        return &custom;
    return AnchorCap(atStart ? pen.startCap : pen.endCap);
}

int32_t DashCapShape(int32_t dashCap) {
    return dashCap == kDashCapRound      ? kCapRound
           : dashCap == kDashCapTriangle ? kCapTriangle
                                         : kCapFlat;
}

cairo_line_cap_t CairoCap(int32_t shape) {
    return shape == kCapSquare  ? CAIRO_LINE_CAP_SQUARE
           : shape == kCapRound ? CAIRO_LINE_CAP_ROUND
                                : CAIRO_LINE_CAP_BUTT;
}

cairo_line_join_t CairoJoin(int32_t join) {
    return join == 1   ? CAIRO_LINE_JOIN_BEVEL
           : join == 2 ? CAIRO_LINE_JOIN_ROUND
                       : CAIRO_LINE_JOIN_MITER;
}

void AddPolyline(cairo_t* cr, const Polyline& l) {
    cairo_move_to(cr, l.points[0].x, l.points[0].y);
    for (size_t i = 1; i < l.points.size(); ++i)
        cairo_line_to(cr, l.points[i].x, l.points[i].y);
    if (l.closed)
        cairo_close_path(cr);
}

// A cap's outline at end, pointing along dir (out of the line), for a line w wide (device).
void AddCapShape(cairo_t* cr, int32_t shape, PointF end, PointF dir, double w) {
    const double h = w / 2;
    const PointF n{-dir.y * h, dir.x * h};
    switch (shape) {
    case kCapSquare:
        cairo_move_to(cr, end.x + n.x, end.y + n.y);
        cairo_line_to(cr, end.x + n.x + dir.x * h, end.y + n.y + dir.y * h);
        cairo_line_to(cr, end.x - n.x + dir.x * h, end.y - n.y + dir.y * h);
        cairo_line_to(cr, end.x - n.x, end.y - n.y);
        cairo_close_path(cr);
        break;
    case kCapRound:
        cairo_new_sub_path(cr);
        cairo_arc(cr, end.x, end.y, h, 0, 2 * M_PI);
        cairo_close_path(cr);
        break;
    case kCapTriangle:
        cairo_move_to(cr, end.x + n.x, end.y + n.y);
        cairo_line_to(cr, end.x + dir.x * h, end.y + dir.y * h);
        cairo_line_to(cr, end.x - n.x, end.y - n.y);
        cairo_close_path(cr);
        break;
    default:
        break;
    }
}

// Maps a custom cap's own coordinates to the device: origin at the line's end, y along dir,
// one unit = scale pixels.
cairo_matrix_t CapMatrix(PointF end, PointF dir, double scale) {
    return {dir.y * scale, -dir.x * scale, dir.x * scale, dir.y * scale, end.x, end.y};
}

void AddCapPath(cairo_t* cr, const PathGeom& path) {
    AddPathToCairo(cr, path);
}

// Where a custom cap goes: the end of an open figure, before any inset or dash.
struct CapPlace {
    const CustomCap* cap;
    PointF end, dir;
};

// One parallel stroke of a pen: its runs (device pixels) and its width (user units).
struct Band {
    std::vector<Polyline> lines;
    double width = 0;
};

// The pen's bands over the pieces: the compound line's, or one of the whole width.
std::vector<Band> PenBands(const Pen& pen, const std::vector<Polyline>& pieces, double unit,
                           double lineWidth, double penWidth, bool thin) {
    std::vector<std::pair<double, double>> list; // centre offset (device), width (user)
    if (!pen.compound.empty() && !thin) {
        for (size_t i = 0; i + 1 < pen.compound.size(); i += 2) {
            const double a = pen.compound[i], b = pen.compound[i + 1];
            if (b > a)
                list.push_back({(0.5 - (a + b) / 2) * penWidth, (b - a) * unit});
        }
    } else {
        list.push_back({0.0, lineWidth});
    }
    const bool inset = pen.alignment == kAlignInset && !thin;
    std::vector<Band> bands;
    for (const auto& [offset, width] : list) {
        Band band;
        band.width = width;
        for (const Polyline& p : pieces) {
            double shift = offset;
            if (inset && p.closed) // clockwise figures have their inside on the right
                shift += (SignedArea(p) > 0 ? -0.5 : 0.5) * penWidth;
            band.lines.push_back(shift == 0 ? p : OffsetPolyline(p, shift));
        }
        bands.push_back(std::move(band));
    }
    return bands;
}

// Strokes the band's runs with cr's settings; with splitJoins, straight runs are stroked
// together with mitred joins and the others one by one.
void StrokeBand(cairo_t* cr, const Band& band, const cairo_matrix_t& user, cairo_line_join_t join,
                bool splitJoins) {
    auto strokeSome = [&](auto&& take, cairo_line_join_t withJoin) {
        cairo_identity_matrix(cr);
        cairo_new_path(cr);
        bool any = false;
        for (const Polyline& p : band.lines)
            if (take(p)) {
                AddPolyline(cr, p);
                any = true;
            }
        cairo_set_matrix(cr, &user);
        cairo_set_line_width(cr, band.width);
        cairo_set_line_join(cr, withJoin);
        if (any)
            cairo_stroke(cr);
        cairo_new_path(cr);
    };
    if (!splitJoins) {
        strokeSome([](const Polyline&) { return true; }, join);
        return;
    }
    auto straight = [](const Polyline& p) { return !p.closed && p.points.size() == 2; };
    strokeSome(straight, CAIRO_LINE_JOIN_MITER);
    size_t alone = 0;
    for (const Polyline& one : band.lines)
        if (!straight(one) && alone++ < kMaxSeparateStrokes)
            strokeSome([&](const Polyline& p) { return &p == &one; }, join);
    if (alone > kMaxSeparateStrokes) {
        size_t k = 0;
        strokeSome([&](const Polyline& p) { return !straight(p) && k++ >= kMaxSeparateStrokes; },
                   join);
    }
}

// How far a cap's figures reach from the line's end, in pen widths.
double CapReach(const CustomCap& cap) {
    double reach = cap.kind == CustomCap::Arrow ? std::hypot(cap.width / 2, cap.height) : 0.0;
    for (const PathGeom* g : {&cap.fill, &cap.outline})
        for (const PointF& p : g->points)
            reach = std::max(reach, std::hypot(p.x, p.y) * std::fabs(cap.widthScale));
    return reach + 1;
}

// The device box that the pen's ink over the pieces and caps can reach.
DeviceBox InkBox(const std::vector<Polyline>& pieces, const std::vector<CapPlace>& caps,
                 double margin, double penWidth) {
    DeviceBox box{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    auto grow = [&](PointF p, double by) {
        box.x0 = std::min(box.x0, p.x - by), box.y0 = std::min(box.y0, p.y - by);
        box.x1 = std::max(box.x1, p.x + by), box.y1 = std::max(box.y1, p.y + by);
    };
    for (const Polyline& l : pieces)
        for (const PointF& p : l.points)
            grow(p, margin + penWidth);
    for (const CapPlace& c : caps)
        grow(c.end, CapReach(*c.cap) * penWidth + 2);
    if (!(box.x0 <= box.x1))
        return {};
    return box;
}

} // namespace

void EmfPlusPlayer::StrokeWithPen(cairo_t* cr, const Pen& pen) {
    double width = pen.width;
    if (pen.unit != kUnitWorld && pen.unit != kUnitDisplay && pen.unit != kUnitPixel)
        width =
            width * UnitToPixels(pen.unit) / (m_state.pageScale * UnitToPixels(m_state.pageUnit));
    cairo_matrix_t world;
    cairo_get_matrix(cr, &world);
    const double scale = MatrixScale(world);
    if (!SetBrushSource(cr, pen.brush))
        return;
    // Pens thinner than a pixel draw one pixel wide.
    const bool thin = !(width * scale >= 1.0);
    double unit = width; // a pen width in the user units of the stroke
    if (thin) {
        cairo_identity_matrix(cr);
        unit = 1.0;
        cairo_set_line_width(cr, 1.0);
    } else {
        if (pen.hasTransform && Invertible(pen.transform)) {
            cairo_matrix_t linear = pen.transform;
            linear.x0 = linear.y0 = 0;
            cairo_transform(cr, &linear);
        }
        cairo_set_line_width(cr, width);
    }
    cairo_set_line_cap(cr, CairoCap(CapShape(pen.startCap)));
    cairo_set_line_join(cr, CairoJoin(pen.join));
    const double miterLimit = std::clamp(pen.miterLimit, 1.0, 1000.0);
    cairo_set_miter_limit(cr, miterLimit);
    // Ink reaches half the width from the figure, further at mitred corners and square caps.
    double wx = cairo_get_line_width(cr), wy = wx;
    cairo_user_to_device_distance(cr, &wx, &wy);
    const double margin = std::hypot(wx, wy) / 2 * std::max(miterLimit, 1.5) + 2;
    if (!ChargePath(cr, margin))
        return;

    std::vector<double> dashes = DashPattern(pen);
    double period = 0;
    for (double& d : dashes) {
        d *= unit;
        period += d;
    }
    const bool dashed = !dashes.empty() && period > 0 && dashes.size() <= 1024;
    if (!dashed)
        dashes.clear();

    std::vector<Polyline> figures = DeviceFigures(cr, kMaxStrokePoints);
    if (figures.empty()) {
        StrokeWithCairo(cr, pen, dashes, unit, margin);
        return;
    }
    StrokeFigures(cr, pen, std::move(figures), dashes, unit, thin, margin);
}

void EmfPlusPlayer::StrokeWithCairo(cairo_t* cr, const Pen& pen, const std::vector<double>& dashes,
                                    double unit, double margin) {
    if (dashes.empty()) {
        cairo_stroke(cr);
        return;
    }
    cairo_set_dash(cr, dashes.data(), int(dashes.size()), pen.dashOffset * unit);
    const double dashCount = DashCount(cr, dashes);
    if (dashCount > kMaxDashes) {
        // Far more dashes than a picture can show: only those near the surface are made.
        m_gdi.ChargeWork(StrokeDashedWithin(cr, SurfaceBox(margin), dashes, pen.dashOffset * unit));
    } else {
        m_gdi.ChargeWork(uint64_t(dashCount) * kSegmentWork);
        cairo_stroke(cr);
    }
}

void EmfPlusPlayer::StrokeFigures(cairo_t* cr, const Pen& pen, std::vector<Polyline> figures,
                                  std::vector<double> dashes, double unit, bool thin,
                                  double margin) {
    cairo_matrix_t user;
    cairo_get_matrix(cr, &user);
    const double toDevice = MatrixScale(user); // user units -> device pixels
    const double penWidth = unit * toDevice;   // device pixels
    const bool aliased = !m_state.antialias;
    // Unsmoothed strokes sit on the 1/16-pixel grid and step their dashes in whole pixels, so
    // that a page scale a hair off one keeps the pattern (and its first pixel) as at one.
    if (aliased)
        SnapToGrid(figures, kGridStep);

    // Custom caps sit at the open figures' ends; the line stops short by the base inset.
    std::vector<CapPlace> caps;
    for (Polyline& f : figures) {
        if (f.closed)
            continue;
        for (bool atStart : {true, false}) {
            const CustomCap* cap = CapFigure(pen, atStart);
            PointF dir;
            if (!cap || !EndDirection(f, atStart, dir))
                continue;
            caps.push_back({cap, atStart ? f.points.front() : f.points.back(), dir});
            const double inset =
                cap->kind == CustomCap::Figures ? cap->baseInset * cap->widthScale * penWidth : 0.0;
            if (inset > 0)
                TrimPolyline(f, inset, atStart);
        }
    }
    std::erase_if(figures, [](const Polyline& f) { return f.points.size() < 2; });

    const DeviceBox box = SurfaceBox(margin + 2 * penWidth);
    std::vector<Polyline> pieces;
    if (dashes.empty()) {
        pieces = std::move(figures);
    } else {
        double offset = pen.dashOffset * unit * toDevice;
        for (double& d : dashes)
            d = aliased ? std::max(1.0, std::round(d * toDevice)) : d * toDevice;
        if (aliased)
            offset = std::round(offset);
        bool complete = true;
        pieces = DashPolylines(figures, dashes, offset, box, size_t(kMaxDashes), complete);
    }
    // Round and triangular dash caps stay within their dashes: the dash ends move inwards.
    if (DashCapShape(pen.dashCap) != kCapFlat && !thin) {
        for (Polyline& p : pieces) {
            double length = 0;
            for (size_t i = 1; i < p.points.size(); ++i)
                length += std::hypot(p.points[i].x - p.points[i - 1].x,
                                     p.points[i].y - p.points[i - 1].y);
            const double cut = std::min(penWidth / 2, length * 0.499);
            if (!p.startsFigure)
                TrimPolyline(p, cut, true);
            if (!p.endsFigure)
                TrimPolyline(p, cut, false);
        }
    }
    uint64_t points = 0;
    for (const Polyline& p : pieces)
        points += p.points.size();
    m_gdi.ChargeWork(points * kSegmentWork);

    // Caps of their own shape at each end, unless one cairo cap serves every end.
    auto endShape = [&](const Polyline& p, bool atStart) {
        const bool figureEnd = atStart ? p.startsFigure : p.endsFigure;
        if (!figureEnd)
            return DashCapShape(pen.dashCap);
        const CustomCap* custom = CapFigure(pen, atStart);
        if (custom)
            return custom->kind == CustomCap::Figures ? CapShape(custom->baseCap) : kCapFlat;
        return CapShape(atStart ? pen.startCap : pen.endCap);
    };
    bool uniform = true;
    int32_t shared = -1;
    for (const Polyline& p : pieces)
        for (bool atStart : {true, false}) {
            if (p.closed)
                continue;
            const int32_t s = endShape(p, atStart);
            uniform = uniform && (shared < 0 || s == shared) && s != kCapTriangle;
            shared = s;
        }
    const bool ownCaps = !uniform && !thin;

    // The bands: one for a plain pen, or the compound line's, each a stroke of its own moved
    // sideways; inset pens move closed figures inwards by half their width.
    std::vector<Band> bands =
        PenBands(pen, pieces, thin ? 1.0 : unit, cairo_get_line_width(cr), penWidth, thin);
    // Mitred corners beyond the limit are cut off at the limit, not bevelled.
    std::vector<std::vector<PointF>> miters;
    if (pen.join == 0 && !thin)
        for (const Band& band : bands)
            for (const Polyline& l : band.lines) {
                auto more = ClippedMiters(l, band.width * toDevice / 2, cairo_get_miter_limit(cr));
                miters.insert(miters.end(), more.begin(), more.end());
            }

    const bool overlaps = ownCaps || bands.size() > 1 || !caps.empty() || !miters.empty();
    const bool opaque = pen.brush.type == Brush::Solid && (pen.brush.color >> 24) == 0xFF;
    // (Under source-copy compositing a group would clear its whole box: overlaps stay.)
    const bool group = overlaps && !opaque && cairo_get_operator(cr) == CAIRO_OPERATOR_OVER;
    if (group) {
        // Parts of the pen that overlap must not darken each other.
        cairo_identity_matrix(cr);
        cairo_new_path(cr);
        const DeviceBox ink = InkBox(pieces, caps, margin, penWidth);
        cairo_rectangle(cr, ink.x0, ink.y0, ink.x1 - ink.x0, ink.y1 - ink.y0);
        cairo_clip(cr);
        cairo_push_group(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_matrix(cr, &user);
    }
    cairo_set_line_cap(cr, ownCaps ? CAIRO_LINE_CAP_BUTT : CairoCap(std::max(shared, 0)));
    // cairo's unsmoothed stroker joins separate straight runs on one line into one when the
    // join is not mitred; a straight run has no join, so those are stroked mitred.
    const bool splitJoins = aliased && pen.join != 0 && pen.join != 3;
    for (const Band& band : bands)
        StrokeBand(cr, band, user, CairoJoin(pen.join), splitJoins);

    cairo_identity_matrix(cr);
    cairo_new_path(cr);
    for (const auto& tip : miters) {
        cairo_move_to(cr, tip[0].x, tip[0].y);
        for (size_t i = 1; i < tip.size(); ++i)
            cairo_line_to(cr, tip[i].x, tip[i].y);
        cairo_close_path(cr);
    }
    if (ownCaps)
        for (const Polyline& p : pieces)
            for (bool atStart : {true, false}) {
                PointF dir;
                if (!p.closed && EndDirection(p, atStart, dir))
                    AddCapShape(cr, endShape(p, atStart),
                                atStart ? p.points.front() : p.points.back(), dir, penWidth);
            }
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
    for (const CapPlace& place : caps)
        DrawCustomCap(cr, pen, place.cap, place.end, place.dir, penWidth);
    if (group) {
        cairo_pop_group_to_source(cr);
        cairo_paint(cr);
    }
    cairo_set_matrix(cr, &user);
}

void EmfPlusPlayer::DrawCustomCap(cairo_t* cr, const Pen& pen, const CustomCap* cap, PointF end,
                                  PointF dir, double penWidth) {
    (void)pen;
    cairo_save(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_new_path(cr);
    if (cap->kind == CustomCap::Arrow) {
        // An arrow with its tip at the end: width and height in pen widths.
        const cairo_matrix_t m = CapMatrix(end, dir, penWidth);
        cairo_set_matrix(cr, &m);
        const double h = cap->height, half = cap->width / 2;
        cairo_move_to(cr, 0, 0);
        cairo_line_to(cr, -half, -h);
        cairo_line_to(cr, 0, -(h - cap->middleInset));
        cairo_line_to(cr, half, -h);
        cairo_close_path(cr);
        cairo_identity_matrix(cr);
        if (cap->filled) {
            cairo_fill(cr);
        } else {
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
            cairo_set_line_width(cr, penWidth);
            cairo_stroke(cr);
        }
        cairo_restore(cr);
        return;
    }
    const cairo_matrix_t m = CapMatrix(end, dir, penWidth * cap->widthScale);
    if (!Invertible(m)) {
        cairo_restore(cr);
        return;
    }
    cairo_set_matrix(cr, &m);
    if (!cap->fill.points.empty()) {
        AddCapPath(cr, cap->fill);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
    }
    if (!cap->outline.points.empty()) {
        AddCapPath(cr, cap->outline);
        cairo_identity_matrix(cr);
        cairo_set_line_width(cr, penWidth);
        cairo_set_line_cap(cr, CairoCap(CapShape(cap->strokeStartCap)));
        cairo_set_line_join(cr, CairoJoin(cap->strokeJoin));
        cairo_set_miter_limit(cr, cap->strokeMiterLimit);
        cairo_stroke(cr);
    }
    m_gdi.ChargeWork((cap->fill.points.size() + cap->outline.points.size()) * kSegmentWork);
    cairo_restore(cr);
}

} // namespace qm::emfplus
