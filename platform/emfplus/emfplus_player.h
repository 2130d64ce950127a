// Playback of EMF+ records onto the surface of a metafile playback.
#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/emf/player_state.h"
#include "platform/emfplus/emfplus_gradient.h"
#include "platform/emfplus/emfplus_limits.h"
#include "platform/emfplus/emfplus_objects.h"
#include "platform/emfplus/emfplus_stroke_geom.h"

namespace qm::emfplus {

/// A clip in target pixels: a tree of combined figures, like a region. Null means no clip.
struct ClipNode {
    uint32_t type = RegionNode::Infinite; // RegionNode types; Path leaves hold the figures
    PathGeom path;                        // target pixels
    bool winding = false;
    std::shared_ptr<const ClipNode> left, right;
    mutable std::shared_ptr<cairo_surface_t> mask; // coverage, made when first needed
};
using ClipPtr = std::shared_ptr<const ClipNode>;

/// The graphics state that Save and BeginContainer keep.
struct GraphicsState {
    cairo_matrix_t world{1, 0, 0, 1, 0, 0};
    uint32_t pageUnit = kUnitDisplay;
    double pageScale = 1;
    ClipPtr clip;
    bool antialias = false;
    uint32_t textHint = 0;
    uint32_t pixelOffset = 0;
    uint32_t compositing = 0;
    uint32_t interpolation = 0;
    int32_t originX = 0, originY = 0;
};

class EmfPlusPlayer {
public:
    /// gdi: the playback whose surface and frame mapping the EMF+ records draw with.
    explicit EmfPlusPlayer(emf::PlayerState& gdi);
    ~EmfPlusPlayer();
    EmfPlusPlayer(const EmfPlusPlayer&) = delete;
    EmfPlusPlayer& operator=(const EmfPlusPlayer&) = delete;

    /// Plays the EMF+ records inside one comment record.
    void PlayComment(const emf::RecordView& record);
    /// True after a GetDC record, until the next EMF+ record: the plain records that follow
    /// draw.
    bool HandedToGdi() const { return m_handedToGdi; }
    /// True after the EMF+ end-of-file record.
    bool Ended() const { return m_ended; }

    // Used by the record handlers (emfplus_draw.cpp, emfplus_text.cpp).
    void PlayRecord(uint16_t type, uint16_t flags, std::span<const uint8_t> data);

private:
    emf::PlayerState& m_gdi;
    cairo_t* m_cr = nullptr;
    GraphicsState m_state;
    std::vector<std::pair<uint32_t, GraphicsState>> m_saved;
    std::array<PlusObject, 64> m_objects;
    struct Pending {
        uint8_t type = 0;
        uint32_t total = 0;
        std::vector<uint8_t> bytes;
    };
    std::array<Pending, 64> m_pending;
    ParseBudget m_budget;
    double m_dpiX = 96, m_dpiY = 96;
    bool m_handedToGdi = false;
    bool m_ended = false;

    void ObjectRecord(uint16_t flags, std::span<const uint8_t> data);
    void StoreObject(uint8_t id, uint8_t type, std::span<const uint8_t> bytes);

    // Transforms.
    double UnitToPixels(uint32_t unit, bool vertical = false) const;
    /// A font's em size in world units: its own unit, or the page unit and scale.
    double FontSize(const Font& font) const;
    cairo_matrix_t PageMatrix() const;
    /// World units -> target pixels.
    cairo_matrix_t DeviceMatrix() const;

    // Clipping.
    void SetClip(uint32_t mode, ClipPtr shape);
    ClipPtr ClipFromRegion(const RegionNode& node, const cairo_matrix_t& m) const;
    ClipPtr ClipFromPath(const PathGeom& path, const cairo_matrix_t& m, bool winding) const;
    /// Applies the clip to m_cr; false when a coverage mask is needed instead (set into mask).
    bool ApplyClip(cairo_surface_t*& mask);
    cairo_surface_t* ClipMask(const ClipNode& node);

    // Drawing (emfplus_draw.cpp, emfplus_text.cpp).
    /// The surface in device pixels, grown by margin on every side.
    DeviceBox SurfaceBox(double margin) const;
    /// Charges the playback budget for filling cr's current path (its device box, grown by
    /// margin, and its curves) after bounding the path to the surface. False when the budget
    /// is used up: then nothing more is drawn.
    bool ChargePath(cairo_t* cr, double margin);
    void DrawingRecord(uint16_t type, uint16_t flags, std::span<const uint8_t> data);
    /// Runs draw under the clip, antialias mode, compositing and the device matrix.
    void Draw(const std::function<void(cairo_t*)>& draw, bool textAntialias = false);
    // Brushes as cairo sources (emfplus_brush.cpp). False when the brush paints nothing.
    bool SetBrushSource(cairo_t* cr, const Brush& brush);
    bool SetPathGradientSource(cairo_t* cr, const Brush& b);
    /// Clips cr to a path gradient's boundary, keeping cr's current path.
    void ClipToBoundary(cairo_t* cr, const Brush& b, const DeviceBox& box);
    bool SetTiledPathGradient(cairo_t* cr, const Brush& b,
                              const std::vector<GradientPatch>& patches, double scale);
    bool SetBrushId(cairo_t* cr, uint16_t flags, uint32_t brushId);
    void FillShape(uint16_t flags, uint32_t brushId, const std::function<void(cairo_t*)>& path,
                   bool winding = false);
    void StrokeShape(uint32_t penId, const std::function<void(cairo_t*)>& path, bool closedFigures);
    void StrokeWithPen(cairo_t* cr, const Pen& pen);
    /// Strokes cr's current path with cairo's own dashes (figures too large for our own).
    void StrokeWithCairo(cairo_t* cr, const Pen& pen, const std::vector<double>& dashes,
                         double unit, double margin);
    /// Strokes the flattened figures (device pixels) with the pen: dashes (user units of cr),
    /// bands, alignment and caps. unit: the pen's width in user units.
    void StrokeFigures(cairo_t* cr, const Pen& pen, std::vector<Polyline> figures,
                       std::vector<double> dashes, double unit, bool thin, double margin);
    /// Draws a custom cap at end, pointing along dir, for a pen penWidth pixels wide.
    void DrawCustomCap(cairo_t* cr, const Pen& pen, const CustomCap* cap, PointF end, PointF dir,
                       double penWidth);
    void DrawImage(uint8_t imageId, uint32_t srcUnit, RectF src, PointF p0, PointF p1, PointF p2);
    void DrawMetafileImage(const Image& image, PointF p0, PointF p1, PointF p2);
    void DrawString(uint16_t flags, std::span<const uint8_t> data);
    void DrawDriverString(uint16_t flags, std::span<const uint8_t> data);

    const Pen* PenAt(uint32_t id) const;
    const Brush* BrushAt(uint32_t id) const;
};

/// Adds a path's figures to cr's current path.
void AddPathToCairo(cairo_t* cr, const PathGeom& path);
/// Adds an arc (or pie, from the centre) of the ellipse in rect; angles in degrees, clockwise.
void AddArcToCairo(cairo_t* cr, const RectF& rect, double start, double sweep, bool pie);
/// Adds a cardinal spline through the points.
void AddCurveToCairo(cairo_t* cr, const std::vector<PointF>& points, double tension, bool closed,
                     size_t offset = 0, size_t segments = SIZE_MAX);

} // namespace qm::emfplus
