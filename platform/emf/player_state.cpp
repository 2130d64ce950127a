#include "platform/emf/player_state.h"

#include <algorithm>
#include <cmath>

#include "platform/emf/stock_objects.h"

namespace qm::emf {

XForm Combine(const XForm& a, const XForm& b) {
    XForm r;
    r.m11 = a.m11 * b.m11 + a.m12 * b.m21;
    r.m12 = a.m11 * b.m12 + a.m12 * b.m22;
    r.m21 = a.m21 * b.m11 + a.m22 * b.m21;
    r.m22 = a.m21 * b.m12 + a.m22 * b.m22;
    r.dx = a.dx * b.m11 + a.dy * b.m21 + b.dx;
    r.dy = a.dx * b.m12 + a.dy * b.m22 + b.dy;
    return r;
}

RegionPtr MakeRegion(cairo_region_t* owned) {
    return RegionPtr(owned, [](cairo_region_t* r) { cairo_region_destroy(r); });
}

namespace {

// The frame rectangle (0.01 mm) onto the play rectangle, through reference-device pixels.
XForm PlaybackTransform(const EmfHeaderInfo& h, const RectL& play) {
    XForm t;
    if (h.device.cx <= 0 || h.device.cy <= 0 || h.millimeters.cx <= 0 || h.millimeters.cy <= 0)
        return t;
    const double pixX = double(float(h.millimeters.cx) / float(h.device.cx));
    const double pixY = double(float(h.millimeters.cy) / float(h.device.cy));
    const double frameW = double(h.frame.right) - h.frame.left;
    const double frameH = double(h.frame.bottom) - h.frame.top;
    const double sx = frameW != 0 ? (double(play.right) - play.left) * 100.0 / frameW * pixX : 1;
    const double sy = frameH != 0 ? (double(play.bottom) - play.top) * 100.0 / frameH * pixY : 1;
    t.m11 = float(sx);
    t.m22 = float(sy);
    t.dx = play.left - t.m11 * (h.frame.left / (100.0 * pixX));
    t.dy = play.top - t.m22 * (h.frame.top / (100.0 * pixY));
    return t;
}

} // namespace

PlayerState::PlayerState(const EmfHeaderInfo& h, const Surface& target, const RectL& play)
    : header(h), playback(PlaybackTransform(h, play)), width(target.width), height(target.height) {
    objects.resize(std::max<size_t>(h.handles, 1));
    surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(target.pixels),
                                                  CAIRO_FORMAT_RGB24, target.width, target.height,
                                                  target.stride);
    cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    dc.pen = StockObject(BLACK_PEN)->pen;
    dc.brush = StockObject(WHITE_BRUSH)->brush;
    dc.font = StockObject(SYSTEM_FONT)->font;
}

PlayerState::~PlayerState() {
    m_clipCache.Reset();
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

XForm PlayerState::PageTransform() const {
    XForm t;
    const double sx = dc.windowExt.x ? double(dc.viewportExt.x) / dc.windowExt.x : 1.0;
    const double sy = dc.windowExt.y ? double(dc.viewportExt.y) / dc.windowExt.y : 1.0;
    t.m11 = sx;
    t.m22 = sy;
    t.dx = dc.viewportOrg.x - sx * dc.windowOrg.x;
    t.dy = dc.viewportOrg.y - sy * dc.windowOrg.y;
    return t;
}

XForm PlayerState::LogicalToDevice() const {
    return Combine(Combine(dc.world, PageTransform()), playback);
}

PointD PlayerState::ToDeviceRounded(PointD logical) const {
    const PointD p = ToDevice(logical);
    return {std::floor(p.x + 0.5), std::floor(p.y + 0.5)};
}

double PlayerState::DeviceWidth(double logical) const {
    const XForm t = LogicalToDevice();
    return std::hypot(logical * t.m11, logical * t.m12);
}

RegionPtr PlayerState::EffectiveClip() const {
    return m_clipCache.Effective(dc.clip, dc.metaRegion);
}

void PlayerState::ApplyClip(cairo_t* target) const {
    if (const RegionPtr clip = EffectiveClip())
        ClipToRegion(target, clip.get());
}

cairo_t* PlayerState::ClippedContext(const cairo_rectangle_int_t* bounds) {
    return m_clipCache.Context(cr, dc.clip, dc.metaRegion, bounds);
}

PathData& PlayerState::EditPath() {
    if (!dc.path)
        dc.path = std::make_shared<PathData>();
    else if (dc.path.use_count() > 1)
        dc.path = std::make_shared<PathData>(*dc.path);
    return const_cast<PathData&>(*dc.path);
}

const GdiObject* PlayerState::Object(uint32_t index) const {
    if (index & 0x80000000u)
        return StockObject(index & 0x7FFFFFFFu);
    if (index < objects.size() && objects[index].kind != ObjectKind::Empty)
        return &objects[index];
    return nullptr;
}

void PlayerState::ChargeBox(double x0, double y0, double x1, double y1) {
    // NaN boxes fail every comparison and charge nothing; they draw nothing either.
    const double w = std::min<double>(std::max(x0, x1), width) - std::max(0.0, std::min(x0, x1));
    const double h = std::min<double>(std::max(y0, y1), height) - std::max(0.0, std::min(y0, y1));
    if (w > 0 && h > 0)
        ChargeWork(static_cast<uint64_t>(std::ceil(w) * std::ceil(h)));
}

} // namespace qm::emf
