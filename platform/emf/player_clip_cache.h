// The clip in force, built once per clip state instead of once per drawing.
#pragma once

#include <cairo.h>

#include <memory>

namespace qm::emf {

using RegionPtr = std::shared_ptr<cairo_region_t>;

/// Keeps, for the last clip state seen, the effective clip region (clip region intersected with
/// the meta region) and a drawing context on the target surface with that clip set. Regions are
/// never changed once built, so the pair of region pointers identifies a clip state: a record
/// that changes the clip makes a new region, and RestoreDC brings back the saved ones. The
/// regions of the cached state are held, so their addresses cannot be reused by new regions.
class ClipCache {
public:
    ClipCache() = default;
    ~ClipCache();
    ClipCache(const ClipCache&) = delete;
    ClipCache& operator=(const ClipCache&) = delete;

    /// The clip region intersected with the meta region; null when neither is set.
    RegionPtr Effective(const RegionPtr& clip, const RegionPtr& metaRegion);

    /// A context drawing on plain's target (set up as plain is) with the effective clip set;
    /// plain when there is no clip. Callers wrap their drawing in cairo_save and cairo_restore
    /// so that the context keeps its clip and nothing else between drawings. With bounds (device
    /// pixels outside which the drawing sets nothing), a clip of many rectangles is cut down to
    /// those bounds first: cairo otherwise walks every rectangle on each fill of the drawing.
    cairo_t* Context(cairo_t* plain, const RegionPtr& clip, const RegionPtr& metaRegion,
                     const cairo_rectangle_int_t* bounds = nullptr);

    /// Forgets the cached state and its context.
    void Reset();

private:
    void Update(const RegionPtr& clip, const RegionPtr& metaRegion);
    cairo_t* BoundedContext(cairo_t* plain, const cairo_rectangle_int_t& bounds);

    bool m_valid = false;
    RegionPtr m_clip, m_metaRegion, m_effective;
    int m_effectiveRects = 0;
    cairo_t* m_context = nullptr; // the whole effective clip
    cairo_t* m_bounded = nullptr; // the part of it within the last bounds asked for
};

/// Intersects target's clip with the region (an empty region clips everything away). The
/// target's user space must be device pixels.
void ClipToRegion(cairo_t* target, const cairo_region_t* region);

} // namespace qm::emf
