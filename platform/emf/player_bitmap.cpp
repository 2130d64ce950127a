#include "platform/emf/player_bitmap.h"

#include "platform/emf/bitmap_blit.h"
#include "platform/emf/dib.h"
#include "platform/emf/rop.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qm::emf {
namespace {

// Gives the handlers direct access to the surface's pixels, with the DC's clip.
class SurfaceAccess {
public:
    explicit SurfaceAccess(PlayerState& s) : m_state(s), m_clip(s.EffectiveClip()) {
        cairo_surface_flush(s.surface);
        m_target.pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s.surface));
        m_target.width = cairo_image_surface_get_width(s.surface);
        m_target.height = cairo_image_surface_get_height(s.surface);
        m_target.stride = cairo_image_surface_get_stride(s.surface);
        m_target.clip = m_clip.get();
    }
    ~SurfaceAccess() { cairo_surface_mark_dirty(m_state.surface); }
    const PixelTarget& Target() const { return m_target; }
    bool Usable() const { return m_target.pixels != nullptr; }

private:
    PlayerState& m_state;
    RegionPtr m_clip;
    PixelTarget m_target;
};

// A logical rectangle (origin and extents) as a device area.
DestArea LogicalArea(const PlayerState& s, double x, double y, double cx, double cy) {
    const XForm m = s.LogicalToDevice();
    PointD o = m.Apply({x, y});
    return {o.x, o.y, cx * m.m11, cx * m.m12, cy * m.m21, cy * m.m22};
}

StretchMode ModeOf(const PlayerState& s) {
    switch (s.dc.stretchBltMode) {
    case 1:
        return StretchMode::BlackOnWhite;
    case 2:
        return StretchMode::WhiteOnBlack;
    case 4:
        return StretchMode::Halftone;
    default:
        return StretchMode::ColorOnColor;
    }
}

// The current brush as a tile anchored at the brush origin; A = 0 where it paints nothing.
PatternTile BrushTile(const PlayerState& s) {
    const Brush& b = s.dc.brush;
    PatternTile tile;
    tile.originX = s.dc.brushOrg.x;
    tile.originY = s.dc.brushOrg.y;
    if (b.style == BS_NULL) {
        tile.pixels[0] = 0;
    } else if (b.style == BS_HATCHED) {
        tile = HatchTile(b.hatch, ColorPixel(b.color), ColorPixel(s.dc.bkColor),
                         s.dc.bkMode != BK_OPAQUE);
        tile.originX = s.dc.brushOrg.x;
        tile.originY = s.dc.brushOrg.y;
    } else if (b.pattern && b.pattern->width > 0 && b.pattern->height > 0 &&
               b.pattern->pixels.size() >= size_t(b.pattern->width) * b.pattern->height) {
        const PatternImage& p = *b.pattern;
        tile.width = p.width;
        tile.height = p.height;
        tile.pixels.resize(size_t(p.width) * p.height);
        const uint32_t fg = ColorPixel(s.dc.textColor), bg = ColorPixel(s.dc.bkColor);
        for (size_t i = 0; i < tile.pixels.size(); ++i)
            tile.pixels[i] = p.monochrome ? (p.pixels[i] ? bg : fg) : (p.pixels[i] | 0xFF000000u);
    } else {
        tile.pixels[0] = ColorPixel(b.color);
    }
    return tile;
}

XForm ReadXForm(const RecordView& r, size_t at) {
    XForm x;
    x.m11 = r.F32(at), x.m12 = r.F32(at + 4), x.m21 = r.F32(at + 8), x.m22 = r.F32(at + 12);
    x.dx = r.F32(at + 16), x.dy = r.F32(at + 20);
    bool finite = std::isfinite(x.m11) && std::isfinite(x.m12) && std::isfinite(x.m21) &&
                  std::isfinite(x.m22) && std::isfinite(x.dx) && std::isfinite(x.dy);
    return finite ? x : XForm{};
}

// The bitmap whose usage field is at usageAt and whose offBmi, cbBmi, offBits, cbBits
// fields start at offsetsAt. rows > 0 decodes only that many rows (a band of scan lines).
bool ReadSource(const RecordView& r, size_t usageAt, size_t offsetsAt, DibImage& out,
                bool* topDown = nullptr, uint32_t rows = 0) {
    uint32_t usage = r.U32(usageAt), offBmi = r.U32(offsetsAt), cbBmi = r.U32(offsetsAt + 4);
    uint32_t offBits = r.U32(offsetsAt + 8), cbBits = r.U32(offsetsAt + 12);
    if (offBmi == 0 || cbBmi == 0 || uint64_t(offBmi) + cbBmi > r.size ||
        uint64_t(offBits) + cbBits > r.size)
        return false;
    // The colour table is read from where it follows the header even when the header size
    // given leaves it out, as the system's reader of the record does.
    size_t span = std::max<size_t>(cbBmi, 40 + 16 + 256 * 4);
    span = std::min<size_t>(span, r.size - offBmi);
    std::vector<uint8_t> bmi(r.data + offBmi, r.data + offBmi + span);
    DibHeader h;
    if (!ParseDibHeader(bmi, h))
        return false;
    if (topDown)
        *topDown = h.topDown || h.compression == kBiJpeg || h.compression == kBiPng;
    if (rows > 0 && rows < uint32_t(h.height) && h.headerSize >= 40 &&
        (h.compression == kBiRgb || h.compression == kBiBitfields)) {
        int32_t height = h.topDown ? -int32_t(rows) : int32_t(rows);
        std::memcpy(bmi.data() + 8, &height, 4);
    }
    return DecodeDib(bmi, std::span(r.data + offBits, cbBits), out, usage);
}

// Source rectangle of a blit from logical source coordinates through the source transform.
SourceRect SourceFrom(const XForm& xf, double x, double y, double cx, double cy) {
    PointD o = xf.Apply({x, y});
    return {o.x, o.y, cx * xf.m11 + cy * xf.m21, cx * xf.m12 + cy * xf.m22};
}

// EMR_BITBLT, EMR_STRETCHBLT, EMR_MASKBLT.
// Blits into the player's surface, with the selected brush as the pattern when the raster
// operation may use one. Always true: a surface that can't be reached just draws nothing.
// Charges the pixels of a destination parallelogram's bounding box, perPixel units each.
void ChargeDest(PlayerState& s, const DestArea& d, int perPixel) {
    const double xs[] = {d.x, d.x + d.ux, d.x + d.vx, d.x + d.ux + d.vx};
    const double ys[] = {d.y, d.y + d.uy, d.y + d.vy, d.y + d.uy + d.vy};
    for (int i = 0; i < perPixel; ++i)
        s.ChargeBox(*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4),
                    *std::max_element(xs, xs + 4) + 1, *std::max_element(ys, ys + 4) + 1);
}

bool DrawBlit(PlayerState& s, BlitRequest& req, bool withPattern) {
    PatternTile tile;
    if (withPattern) {
        tile = BrushTile(s);
        req.pattern = &tile;
    }
    SurfaceAccess access(s);
    ChargeDest(s, req.dest, access.Usable() ? Blit(access.Target(), req) : 1);
    return true;
}

bool PlayBlt(PlayerState& s, const RecordView& r) {
    size_t fixed = r.type == EMR_BITBLT ? 100 : r.type == EMR_STRETCHBLT ? 108 : 128;
    if (!r.Has(0, fixed))
        return false;
    double x = r.I32(24), y = r.I32(28), cx = r.I32(32), cy = r.I32(36);
    uint32_t rop = r.U32(40);
    XForm xf = ReadXForm(r, 52);
    double cxSrc = cx, cySrc = cy;
    if (r.type == EMR_STRETCHBLT)
        cxSrc = r.I32(100), cySrc = r.I32(104);

    BlitRequest req;
    req.dest = LogicalArea(s, x, y, cx, cy);
    req.mode = ModeOf(s);
    req.foreRop = Rop3Index(rop);
    req.backRop = req.foreRop;
    DibImage source, mask;
    bool haveSource = ReadSource(r, 80, 84, source);
    if (haveSource) {
        req.source = &source;
        req.src = SourceFrom(xf, r.I32(44), r.I32(48), cxSrc, cySrc);
    }
    if (r.type == EMR_MASKBLT) {
        req.backRop = static_cast<uint8_t>(rop >> 24);
        if (ReadSource(r, 108, 112, mask)) {
            req.mask = &mask;
            req.maskX = r.I32(100);
            req.maskY = r.I32(104);
        }
    }
    return DrawBlit(s, req, true);
}

bool PlayPlgBlt(PlayerState& s, const RecordView& r) {
    if (!r.Has(0, 140))
        return false;
    DibImage source, mask;
    if (!ReadSource(r, 92, 96, source))
        return true;
    const XForm m = s.LogicalToDevice();
    PointD a = m.Apply({double(r.I32(24)), double(r.I32(28))});
    PointD b = m.Apply({double(r.I32(32)), double(r.I32(36))});
    PointD c = m.Apply({double(r.I32(40)), double(r.I32(44))});
    BlitRequest req;
    req.dest = {a.x, a.y, b.x - a.x, b.y - a.y, c.x - a.x, c.y - a.y};
    req.source = &source;
    req.src = SourceFrom(ReadXForm(r, 64), r.I32(48), r.I32(52), r.I32(56), r.I32(60));
    req.mode = ModeOf(s);
    if (ReadSource(r, 120, 124, mask)) {
        req.mask = &mask;
        req.maskX = r.I32(112);
        req.maskY = r.I32(116);
        req.backRop = 0xAA; // where the mask is 0 the destination stays
    }
    return DrawBlit(s, req, false);
}

bool PlayStretchDIBits(PlayerState& s, const RecordView& r) {
    if (!r.Has(0, 80))
        return false;
    double xSrc = r.I32(32), ySrc = r.I32(36), cxSrc = r.I32(40), cySrc = r.I32(44);
    uint32_t rop = r.U32(68);
    BlitRequest req;
    req.dest = LogicalArea(s, r.I32(24), r.I32(28), r.I32(72), r.I32(76));
    req.mode = ModeOf(s);
    req.foreRop = req.backRop = Rop3Index(rop);
    DibImage source;
    bool topDown = false;
    if (ReadSource(r, 64, 48, source, &topDown)) {
        req.source = &source;
        // The source rectangle of a bottom-up bitmap is measured from its bottom row.
        double top = topDown ? ySrc : source.height - ySrc - cySrc;
        req.src = {xSrc, top, cxSrc, cySrc};
    }
    return DrawBlit(s, req, true);
}

bool PlaySetDIBitsToDevice(PlayerState& s, const RecordView& r) {
    if (!r.Has(0, 76))
        return false;
    double xSrc = r.I32(32), ySrc = r.I32(36), cx = r.I32(40), cy = r.I32(44);
    uint32_t startScan = r.U32(68), scans = r.U32(72);
    DibImage source;
    bool topDown = false;
    if (scans == 0 || !ReadSource(r, 64, 48, source, &topDown, scans))
        return true;
    // The bits hold the scan lines from startScan on; a bottom-up bitmap counts its source
    // rows from the bottom.
    double top = topDown ? ySrc - startScan : source.height - (ySrc - startScan) - cy;
    const XForm m = s.LogicalToDevice();
    PointD o = m.Apply({double(r.I32(24)), double(r.I32(28))});
    BlitRequest req;
    req.dest = {o.x, o.y, cx, 0, 0, cy}; // device pixels: this record does not stretch
    req.source = &source;
    req.src = {xSrc, top, cx, cy};
    return DrawBlit(s, req, false);
}

bool PlayAlphaOrTransparent(PlayerState& s, const RecordView& r) {
    if (!r.Has(0, 108))
        return false;
    DibImage source;
    if (!ReadSource(r, 80, 84, source))
        return true;
    DestArea dest = LogicalArea(s, r.I32(24), r.I32(28), r.I32(32), r.I32(36));
    SourceRect src = SourceFrom(ReadXForm(r, 52), r.I32(44), r.I32(48), r.I32(100), r.I32(104));
    // Every pixel is sampled and blended on its own.
    ChargeDest(s, dest, kSampledPixelWork);
    SurfaceAccess access(s);
    if (!access.Usable())
        return true;
    if (r.type == EMR_ALPHABLEND) {
        uint8_t constantAlpha = r.U8(42), format = r.U8(43);
        AlphaBlit(access.Target(), dest, source, src, constantAlpha, (format & 1) != 0);
    } else {
        ColorRef key = r.U32(40);
        TransparentBlit(access.Target(), dest, source, src, ColorPixel(key) & 0xFFFFFF);
    }
    return true;
}

bool PlayGradientFill(PlayerState& s, const RecordView& r) {
    if (!r.Has(0, 36))
        return false;
    uint32_t nVer = r.U32(24), nTri = r.U32(28), mode = r.U32(32);
    size_t room = r.size - 36;
    if (nVer > room / 16)
        return true;
    size_t indexSize = mode == 2 ? 12 : 8;
    size_t at = 36 + size_t(nVer) * 16;
    if (nTri > (r.size - at) / indexSize)
        nTri = static_cast<uint32_t>((r.size - at) / indexSize);
    const XForm m = s.LogicalToDevice();
    std::vector<GradientVertex> v(nVer);
    for (uint32_t i = 0; i < nVer; ++i) {
        size_t p = 36 + size_t(i) * 16;
        PointD d = m.Apply({double(r.I32(p)), double(r.I32(p + 4))});
        v[i] = {d.x, d.y, r.U16(p + 8), r.U16(p + 10), r.U16(p + 12)};
    }
    SurfaceAccess access(s);
    if (!access.Usable())
        return true;
    for (uint32_t t = 0; t < nTri && !s.BudgetReached(); ++t) {
        size_t p = at + size_t(t) * indexSize;
        uint32_t a = r.U32(p), b = r.U32(p + 4);
        if (a >= nVer || b >= nVer)
            continue;
        if (mode == 2) {
            uint32_t c = r.U32(p + 8);
            if (c >= nVer)
                continue;
            s.ChargeBox(std::min({v[a].x, v[b].x, v[c].x}), std::min({v[a].y, v[b].y, v[c].y}),
                        std::max({v[a].x, v[b].x, v[c].x}) + 1,
                        std::max({v[a].y, v[b].y, v[c].y}) + 1);
            GradientTriangle(access.Target(), v[a], v[b], v[c]);
        } else if (mode <= 1) {
            s.ChargeBox(std::min(v[a].x, v[b].x), std::min(v[a].y, v[b].y),
                        std::max(v[a].x, v[b].x) + 1, std::max(v[a].y, v[b].y) + 1);
            GradientRect(access.Target(), v[a], v[b], mode == 1);
        }
    }
    return true;
}

} // namespace

bool PlayBitmapRecord(PlayerState& s, const RecordView& r) {
    switch (r.type) {
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_MASKBLT:
        return PlayBlt(s, r);
    case EMR_PLGBLT:
        return PlayPlgBlt(s, r);
    case EMR_STRETCHDIBITS:
        return PlayStretchDIBits(s, r);
    case EMR_SETDIBITSTODEVICE:
        return PlaySetDIBitsToDevice(s, r);
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT:
        return PlayAlphaOrTransparent(s, r);
    case EMR_GRADIENTFILL:
        return PlayGradientFill(s, r);
    default:
        return true;
    }
}

} // namespace qm::emf
