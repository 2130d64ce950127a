#include "platform/emf/player_text.h"

#include "core/unicode.h"

#include "platform/emf/player_render.h"
#include "platform/emf/text_draw.h"
#include "platform/fonts/code_page.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <mutex>
#include <string>

namespace qm::emf {
namespace {

constexpr size_t kEmrTextSize = 40; // reference, count, offsets, options, rectangle

uint32_t Argb(ColorRef c) {
    return ColorPixel(c);
}

TextRequest BaseRequest(const PlayerState& s, uint32_t graphicsMode) {
    TextRequest req;
    const LogFontW& f = s.dc.font;
    req.font.height = f.height;
    req.font.width = f.width;
    req.font.escapement = f.escapement;
    req.font.orientation = f.orientation;
    req.font.weight = f.weight;
    req.font.italic = f.italic != 0;
    req.font.underline = f.underline != 0;
    req.font.strikeOut = f.strikeOut != 0;
    req.font.charSet = f.charSet;
    req.font.quality = f.quality;
    req.font.pitchAndFamily = f.pitchAndFamily;
    req.font.faceName = Utf16ToUtf8(f.faceName);
    const XForm m = s.LogicalToDevice();
    req.toDevice = Affine{m.m11, m.m12, m.m21, m.m22, m.dx, m.dy};
    req.advancedMode = graphicsMode == GM_ADVANCED;
    req.align = s.dc.textAlign;
    req.textColor = Argb(s.dc.textColor);
    req.bkColor = Argb(s.dc.bkColor);
    req.opaqueBackground = s.dc.bkMode == BK_OPAQUE;
    return req;
}

// Appends the outlines left in cr's current path (device pixels) to the DC's path.
void AppendPathFromCairo(PlayerState& s, cairo_t* cr) {
    cairo_path_t* path = cairo_copy_path(cr);
    if (!path || path->status != CAIRO_STATUS_SUCCESS) {
        cairo_path_destroy(path);
        return;
    }
    PathData& fig = s.EditPath();
    // Figures use pixel centres: the point (x, y) stands for (x + 0.5, y + 0.5).
    auto pt = [](const cairo_path_data_t& d) { return PointD{d.point.x - 0.5, d.point.y - 0.5}; };
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t* d = &path->data[i];
        switch (d->header.type) {
        case CAIRO_PATH_MOVE_TO:
            FigMoveTo(fig, pt(d[1]));
            break;
        case CAIRO_PATH_LINE_TO:
            FigLineTo(fig, pt(d[1]));
            break;
        case CAIRO_PATH_CURVE_TO:
            FigBezierTo(fig, pt(d[1]), pt(d[2]), pt(d[3]));
            break;
        case CAIRO_PATH_CLOSE_PATH:
            FigClose(fig);
            break;
        }
    }
    cairo_path_destroy(path);
}

// Draws one string and moves the current position when the alignment asks for it.
// Charges each character as a square cell of the font's height in device pixels (a default
// height counts as 32), at most the whole surface.
void ChargeText(PlayerState& s, const TextRequest& req) {
    const Affine& m = req.toDevice;
    const double scale = std::sqrt(std::fabs(m.xx * m.yy - m.xy * m.yx));
    const double side = (req.font.height == 0 ? 32.0 : std::abs(double(req.font.height))) * scale;
    const double cell = std::min((side + 1) * (side + 1), double(s.width) * s.height);
    if (cell > 0)
        s.ChargeWork(static_cast<uint64_t>(cell * double(req.codes.size() + 1)));
}

void Output(PlayerState& s, TextRequest& req) {
    ChargeText(s, req);
    bool updateCp = (req.align & kTaUpdateCp) != 0;
    if (updateCp) {
        req.refX = s.dc.currentPos.x;
        req.refY = s.dc.currentPos.y;
    }
    bool inPath = s.dc.path && s.dc.path->recording;
    cairo_t* cr = inPath ? s.cr : s.ClippedContext();
    cairo_save(cr);
    cairo_new_path(cr);
    TextResult result;
    if (inPath) {
        req.toPath = true;
        result = DrawTextRequest(cr, req);
        AppendPathFromCairo(s, cr);
        cairo_new_path(cr);
    } else {
        result = DrawTextRequest(cr, req);
    }
    cairo_restore(cr);
    if (updateCp) {
        double sign = (req.align & kTaCenter) == kTaCenter ? 0.0
                      : (req.align & kTaRight)             ? -1.0
                                                           : 1.0;
        s.dc.currentPos.x += sign * result.advanceX;
        s.dc.currentPos.y += sign * result.advanceY;
    }
}

// The characters of an ANSI string in the code page of the font's character set, with the
// spacing of a double-byte character the sum of the entries of its two bytes (the array
// holds one entry, or one pair with ETO_PDY, per byte).
void DecodeAnsi(TextRequest& req, std::span<const uint8_t> bytes) {
    const int codePage =
        (req.options & kEtoGlyphIndex) ? 0 : fonts::CodePageOfCharSet(req.font.charSet);
    const std::vector<fonts::AnsiChar> chars = fonts::DecodeAnsiText(codePage, bytes);
    const bool hasDx = !req.dx.empty();
    std::vector<double> dx, dy;
    req.codes.clear();
    size_t at = 0;
    for (const fonts::AnsiChar& c : chars) {
        // Characters past the first plane are a surrogate pair; the pair's second unit
        // does not advance.
        const bool pair = c.code > 0xFFFF;
        if (pair) {
            req.codes.push_back(0xD800 + ((c.code - 0x10000) >> 10));
            req.codes.push_back(0xDC00 + ((c.code - 0x10000) & 0x3FF));
        } else {
            req.codes.push_back(c.code);
        }
        if (hasDx) {
            dx.push_back(req.dx[at] + (c.bytes > 1 ? req.dx[at + 1] : 0));
            if (!req.dy.empty())
                dy.push_back(req.dy[at] + (c.bytes > 1 ? req.dy[at + 1] : 0));
            if (pair) {
                dx.push_back(0);
                if (!req.dy.empty())
                    dy.push_back(0);
            }
        }
        at += c.bytes;
    }
    if (hasDx) {
        req.dx = std::move(dx);
        req.dy = std::move(dy);
    }
}

// An EmrText object at offset at; false when its fixed part does not fit.
bool PlayEmrText(PlayerState& s, const RecordView& r, size_t at, bool wide, uint32_t graphicsMode) {
    if (!r.Has(at, kEmrTextSize))
        return false;
    TextRequest req = BaseRequest(s, graphicsMode);
    req.refX = r.I32(at);
    req.refY = r.I32(at + 4);
    uint32_t count = r.U32(at + 8);
    uint32_t offString = r.U32(at + 12);
    req.options = r.U32(at + 16);
    req.hasRect = true;
    for (int i = 0; i < 4; ++i)
        req.rect[i] = r.I32(at + 20 + 4 * i);
    uint32_t offDx = r.U32(at + 36);
    size_t unit = wide ? 2 : 1;
    if (count > 0 && (offString >= r.size || count > (r.size - offString) / unit))
        count = 0; // a string that does not fit draws nothing; the opaque box still counts
    req.codes.resize(count);
    for (uint32_t i = 0; i < count && wide; ++i)
        req.codes[i] = r.U16(offString + 2 * i);
    bool pdy = (req.options & kEtoPdy) != 0;
    size_t per = pdy ? 8 : 4;
    if (count > 0 && offDx != 0 && offDx < r.size && count <= (r.size - offDx) / per) {
        req.dx.resize(count);
        if (pdy)
            req.dy.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            req.dx[i] = r.I32(offDx + per * i);
            if (pdy)
                req.dy[i] = r.I32(offDx + per * i + 4);
        }
    }
    if (!wide)
        DecodeAnsi(req, r.Bytes(offString, count));
    Output(s, req);
    return true;
}

bool PlaySmallText(PlayerState& s, const RecordView& r) {
    if (!r.Has(0, 36))
        return false;
    TextRequest req = BaseRequest(s, r.U32(24));
    req.refX = r.I32(8);
    req.refY = r.I32(12);
    uint32_t count = r.U32(16);
    req.options = r.U32(20);
    size_t at = 36;
    if (!(req.options & kEtoNoRect)) {
        if (!r.Has(at, 16))
            return false;
        req.hasRect = true;
        for (int i = 0; i < 4; ++i)
            req.rect[i] = r.I32(at + 4 * i);
        at += 16;
    }
    bool small = (req.options & kEtoSmallChars) != 0;
    size_t unit = small ? 1 : 2;
    count = static_cast<uint32_t>(std::min<size_t>(count, (r.size - at) / unit));
    req.codes.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        req.codes[i] = small ? r.U8(at + i) : r.U16(at + 2 * i);
    Output(s, req);
    return true;
}

} // namespace

bool PlayTextRecord(PlayerState& s, const RecordView& r) {
    switch (r.type) {
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
        return PlayEmrText(s, r, 36, r.type == EMR_EXTTEXTOUTW, r.U32(24));
    case EMR_POLYTEXTOUTA:
    case EMR_POLYTEXTOUTW: {
        if (!r.Has(0, 40))
            return false;
        uint32_t strings = r.U32(36);
        uint32_t fit = static_cast<uint32_t>((r.size - 40) / kEmrTextSize);
        for (uint32_t i = 0; i < std::min(strings, fit); ++i)
            PlayEmrText(s, r, 40 + kEmrTextSize * i, r.type == EMR_POLYTEXTOUTW, r.U32(24));
        return true;
    }
    case EMR_SMALLTEXTOUT:
        return PlaySmallText(s, r);
    default:
        return true;
    }
}

} // namespace qm::emf
