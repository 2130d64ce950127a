// Drawing layers: 32-bit RGBA images with transparency that shapes, text and other layers are
// drawn onto, and that the engine composites over its pictures.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace qm::draw {

/// A colour with straight (not premultiplied) alpha; alpha 0 is transparent, 255 opaque.
struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

struct Point {
    double x = 0, y = 0;
};

/// A per-pixel filter applied to the pixels of a layer as it is drawn (straight alpha).
using PixelFilter = std::function<Rgba(Rgba)>;

/// A width x height image, fully transparent when created.
class Layer {
public:
    Layer() = default;
    /// A transparent layer; Valid() is false when it could not be created (size 0 or too big).
    Layer(int width, int height);
    ~Layer();
    Layer(Layer&& other) noexcept;
    Layer& operator=(Layer&& other) noexcept;
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    bool Valid() const { return m_surface != nullptr; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    /// The pixel at (x, y) from the top-left corner with straight alpha; transparent black
    /// outside the layer.
    Rgba PixelAt(int x, int y) const;

    /// Copies the pixels out as straight-alpha B, G, R, A bytes, rows of pitch bytes, the
    /// bottom row first when bottomUp. Nothing happens for an invalid layer.
    void ExportBgra(uint8_t* dst, int pitch, bool bottomUp) const;
    /// Replaces the pixels by straight-alpha B, G, R, A bytes (alpha 255 when !hasAlpha, the
    /// source then being B, G, R, x). Nothing happens for an invalid layer.
    void ImportBgra(const uint8_t* src, int pitch, bool bottomUp, bool hasAlpha);

    /// The underlying Cairo surface (premultiplied ARGB32), null when invalid.
    cairo_surface_t* Surface() const { return m_surface; }

private:
    cairo_surface_t* m_surface = nullptr;
    int m_width = 0;
    int m_height = 0;
};

/// Sets every pixel of the layer to the colour, alpha included (no blending).
void FillLayer(Layer& layer, Rgba colour);

/// Blends the colour over an axis-aligned rectangle; x, y from the top-left corner.
void FillRect(Layer& layer, double x, double y, double width, double height, Rgba colour);

/// Blends the colour over a closed polygon, antialiased along its edges.
void FillPolygon(Layer& layer, std::span<const Point> points, Rgba colour);

/// Blends the colour over a figure given as path text: "M x y" moves to an absolute point,
/// "L x y" and "l dx dy" draw lines to absolute or relative points, "Z" closes the figure.
/// False (and nothing drawn) when the text does not parse.
bool FillPath(Layer& layer, std::string_view path, Rgba colour);

/// Draws src over dst with its top-left corner at (x, y), every source alpha scaled by
/// opacity / 255 (clamped to 0..255). A filter, when given, replaces each source pixel first.
void DrawLayer(Layer& dst, const Layer& src, int x, int y, int opacity,
               const PixelFilter& filter = {});

} // namespace qm::draw
