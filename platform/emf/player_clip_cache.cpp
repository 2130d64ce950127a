#include "platform/emf/player_clip_cache.h"

namespace qm::emf {

namespace {

// Clips of up to this many rectangles are set whole: cutting them down costs more than it saves.
constexpr int kFewRects = 32;

cairo_t* ContextLike(cairo_t* plain) {
    cairo_t* c = cairo_create(cairo_get_target(plain));
    cairo_set_antialias(c, cairo_get_antialias(plain));
    return c;
}

} // namespace

ClipCache::~ClipCache() {
    Reset();
}

void ClipCache::Reset() {
    if (m_context)
        cairo_destroy(m_context);
    if (m_bounded)
        cairo_destroy(m_bounded);
    m_context = m_bounded = nullptr;
    m_clip = m_metaRegion = m_effective = nullptr;
    m_valid = false;
}

void ClipCache::Update(const RegionPtr& clip, const RegionPtr& metaRegion) {
    if (m_valid && clip == m_clip && metaRegion == m_metaRegion)
        return;
    Reset();
    m_clip = clip;
    m_metaRegion = metaRegion;
    if (!metaRegion) {
        m_effective = clip;
    } else if (!clip) {
        m_effective = metaRegion;
    } else {
        cairo_region_t* r = cairo_region_copy(clip.get());
        cairo_region_intersect(r, metaRegion.get());
        m_effective = RegionPtr(r, [](cairo_region_t* p) { cairo_region_destroy(p); });
    }
    m_effectiveRects = m_effective ? cairo_region_num_rectangles(m_effective.get()) : 0;
    m_valid = true;
}

RegionPtr ClipCache::Effective(const RegionPtr& clip, const RegionPtr& metaRegion) {
    Update(clip, metaRegion);
    return m_effective;
}

cairo_t* ClipCache::Context(cairo_t* plain, const RegionPtr& clip, const RegionPtr& metaRegion,
                            const cairo_rectangle_int_t* bounds) {
    Update(clip, metaRegion);
    if (!m_effective)
        return plain;
    if (bounds && m_effectiveRects > kFewRects)
        return BoundedContext(plain, *bounds);
    if (!m_context) {
        // The clip goes on once for every drawing under it.
        m_context = ContextLike(plain);
        ClipToRegion(m_context, m_effective.get());
    }
    return m_context;
}

cairo_t* ClipCache::BoundedContext(cairo_t* plain, const cairo_rectangle_int_t& bounds) {
    if (!m_bounded)
        m_bounded = ContextLike(plain);
    cairo_region_t* part = cairo_region_copy(m_effective.get());
    cairo_region_intersect_rectangle(part, &bounds);
    cairo_reset_clip(m_bounded);
    ClipToRegion(m_bounded, part);
    cairo_region_destroy(part);
    return m_bounded;
}

void ClipToRegion(cairo_t* target, const cairo_region_t* region) {
    cairo_new_path(target);
    const int n = cairo_region_num_rectangles(region);
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(region, i, &r);
        cairo_rectangle(target, r.x, r.y, r.width, r.height);
    }
    if (n == 0)
        cairo_rectangle(target, 0, 0, 0, 0);
    cairo_clip(target);
}

} // namespace qm::emf
