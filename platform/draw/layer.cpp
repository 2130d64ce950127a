#include "platform/draw/layer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

namespace qm::draw {

namespace {

// Cairo keeps colours premultiplied by alpha in native-endian ARGB words.
uint32_t Premultiply(Rgba c) {
    auto mul = [&](uint8_t v) { return static_cast<uint32_t>((v * c.a + 127) / 255); };
    return (uint32_t{c.a} << 24) | (mul(c.r) << 16) | (mul(c.g) << 8) | mul(c.b);
}

Rgba Unpremultiply(uint32_t argb) {
    const uint32_t a = argb >> 24;
    if (a == 0)
        return Rgba{0, 0, 0, 0};
    auto un = [&](uint32_t v) {
        return static_cast<uint8_t>(std::min<uint32_t>(255, (v * 255 + a / 2) / a));
    };
    return Rgba{un((argb >> 16) & 0xFF), un((argb >> 8) & 0xFF), un(argb & 0xFF),
                static_cast<uint8_t>(a)};
}

uint32_t* Row(cairo_surface_t* surface, int y) {
    return reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface) +
                                       static_cast<ptrdiff_t>(y) *
                                           cairo_image_surface_get_stride(surface));
}

void SetSource(cairo_t* cr, Rgba c) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
}

// Parses the path text into the context's current path.
bool BuildPath(cairo_t* cr, std::string_view path) {
    const std::string text(path);
    const char* p = text.c_str();
    auto number = [&](double& out) {
        while (std::isspace(static_cast<unsigned char>(*p)) || *p == ',')
            ++p;
        char* end = nullptr;
        out = std::strtod(p, &end);
        if (end == p)
            return false;
        p = end;
        return true;
    };
    bool open = false;
    while (true) {
        while (std::isspace(static_cast<unsigned char>(*p)) || *p == ',')
            ++p;
        if (*p == '\0')
            return open || cairo_has_current_point(cr);
        const char command = *p++;
        double a = 0, b = 0;
        switch (command) {
        case 'M':
        case 'm':
        case 'L':
        case 'l':
            if (!number(a) || !number(b))
                return false;
            if (command == 'M')
                cairo_move_to(cr, a, b);
            else if (!cairo_has_current_point(cr))
                return false;
            else if (command == 'm')
                cairo_rel_move_to(cr, a, b);
            else if (command == 'L')
                cairo_line_to(cr, a, b);
            else
                cairo_rel_line_to(cr, a, b);
            open = true;
            break;
        case 'Z':
        case 'z':
            cairo_close_path(cr);
            break;
        default:
            return false;
        }
    }
}

} // namespace

Layer::Layer(int width, int height) {
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return;
    }
    m_surface = s;
    m_width = width;
    m_height = height;
}

Layer::~Layer() {
    if (m_surface)
        cairo_surface_destroy(m_surface);
}

Layer::Layer(Layer&& other) noexcept
    : m_surface(other.m_surface), m_width(other.m_width), m_height(other.m_height) {
    other.m_surface = nullptr;
    other.m_width = other.m_height = 0;
}

Layer& Layer::operator=(Layer&& other) noexcept {
    if (this != &other) {
        if (m_surface)
            cairo_surface_destroy(m_surface);
        m_surface = other.m_surface;
        m_width = other.m_width;
        m_height = other.m_height;
        other.m_surface = nullptr;
        other.m_width = other.m_height = 0;
    }
    return *this;
}

Rgba Layer::PixelAt(int x, int y) const {
    if (!m_surface || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return Rgba{0, 0, 0, 0};
    cairo_surface_flush(m_surface);
    return Unpremultiply(Row(m_surface, y)[x]);
}

void Layer::ExportBgra(uint8_t* dst, int pitch, bool bottomUp) const {
    if (!m_surface)
        return;
    cairo_surface_flush(m_surface);
    for (int y = 0; y < m_height; ++y) {
        const uint32_t* in = Row(m_surface, y);
        uint8_t* out = dst + static_cast<ptrdiff_t>(bottomUp ? m_height - 1 - y : y) * pitch;
        for (int x = 0; x < m_width; ++x) {
            const Rgba c = Unpremultiply(in[x]);
            out[4 * x + 0] = c.b;
            out[4 * x + 1] = c.g;
            out[4 * x + 2] = c.r;
            out[4 * x + 3] = c.a;
        }
    }
}

void Layer::ImportBgra(const uint8_t* src, int pitch, bool bottomUp, bool hasAlpha) {
    if (!m_surface)
        return;
    cairo_surface_flush(m_surface);
    for (int y = 0; y < m_height; ++y) {
        const uint8_t* in = src + static_cast<ptrdiff_t>(bottomUp ? m_height - 1 - y : y) * pitch;
        uint32_t* out = Row(m_surface, y);
        for (int x = 0; x < m_width; ++x) {
            const uint8_t a = hasAlpha ? in[4 * x + 3] : 255;
            out[x] = Premultiply(Rgba{in[4 * x + 2], in[4 * x + 1], in[4 * x + 0], a});
        }
    }
    cairo_surface_mark_dirty(m_surface);
}

void FillLayer(Layer& layer, Rgba colour) {
    if (!layer.Valid())
        return;
    cairo_t* cr = cairo_create(layer.Surface());
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    SetSource(cr, colour);
    cairo_paint(cr);
    cairo_destroy(cr);
}

void FillRect(Layer& layer, double x, double y, double width, double height, Rgba colour) {
    if (!layer.Valid() || width <= 0 || height <= 0)
        return;
    cairo_t* cr = cairo_create(layer.Surface());
    SetSource(cr, colour);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
    cairo_destroy(cr);
}

void FillPolygon(Layer& layer, std::span<const Point> points, Rgba colour) {
    if (!layer.Valid() || points.size() < 3)
        return;
    cairo_t* cr = cairo_create(layer.Surface());
    SetSource(cr, colour);
    cairo_move_to(cr, points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i)
        cairo_line_to(cr, points[i].x, points[i].y);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_destroy(cr);
}

bool FillPath(Layer& layer, std::string_view path, Rgba colour) {
    if (!layer.Valid())
        return false;
    cairo_t* cr = cairo_create(layer.Surface());
    const bool ok = BuildPath(cr, path);
    if (ok) {
        SetSource(cr, colour);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    return ok;
}

void DrawLayer(Layer& dst, const Layer& src, int x, int y, int opacity, const PixelFilter& filter) {
    if (!dst.Valid() || !src.Valid())
        return;
    cairo_surface_t* source = src.Surface();
    cairo_surface_t* filtered = nullptr;
    if (filter) {
        // Filter a copy so that the source layer stays as it was.
        filtered = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, src.Width(), src.Height());
        if (cairo_surface_status(filtered) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(filtered);
            return;
        }
        cairo_surface_flush(source);
        for (int row = 0; row < src.Height(); ++row) {
            const uint32_t* in = Row(source, row);
            uint32_t* out = Row(filtered, row);
            for (int col = 0; col < src.Width(); ++col)
                out[col] = Premultiply(filter(Unpremultiply(in[col])));
        }
        cairo_surface_mark_dirty(filtered);
        source = filtered;
    }
    cairo_t* cr = cairo_create(dst.Surface());
    cairo_set_source_surface(cr, source, x, y);
    cairo_paint_with_alpha(cr, std::clamp(opacity, 0, 255) / 255.0);
    cairo_destroy(cr);
    if (filtered)
        cairo_surface_destroy(filtered);
}

} // namespace qm::draw
