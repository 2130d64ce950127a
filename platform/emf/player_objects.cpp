// Object records: pens, brushes, fonts and palettes in the metafile's object table.
#include <algorithm>

#include "platform/emf/dib.h"
#include "platform/emf/player_records.h"

namespace qm::emf {

namespace {

constexpr uint64_t kMaxPatternPixels = uint64_t{1} << 22;
constexpr uint64_t kMaxAllPatterns = uint64_t{1} << 26; // 256 MiB of pattern pixels per file
constexpr uint32_t kMaxStyleEntries = 64;

GdiObject* Slot(PlayerState& s, uint32_t index) {
    // Index 0 stands for the metafile itself and never holds an object.
    if (index == 0 || index >= s.objects.size())
        return nullptr;
    return &s.objects[index];
}

void CreatePen(PlayerState& s, const RecordView& r) {
    GdiObject* o = Slot(s, r.U32(8));
    if (!o)
        return;
    *o = GdiObject{};
    o->kind = ObjectKind::Pen;
    // Pens of the old kind always have round ends and joins.
    o->pen.style = r.U32(12) & PS_STYLE_MASK;
    o->pen.width = r.I32(16);
    o->pen.color = r.U32(24) & 0xFFFFFF;
    // Pens of the old kind draw wider styled lines solid.
    const uint32_t style = o->pen.style & PS_STYLE_MASK;
    if (style > PS_INSIDEFRAME || (o->pen.width > 1 && style >= PS_DASH && style <= PS_DASHDOTDOT))
        o->pen.style = (o->pen.style & ~PS_STYLE_MASK) | PS_SOLID;
}

void ExtCreatePen(PlayerState& s, const RecordView& r) {
    GdiObject* o = Slot(s, r.U32(8));
    if (!o)
        return;
    *o = GdiObject{};
    o->kind = ObjectKind::Pen;
    Pen& p = o->pen;
    p.style = r.U32(28);
    p.width = (p.style & PS_GEOMETRIC) ? int32_t(std::min<uint32_t>(r.U32(32), 1u << 30)) : 0;
    p.brushStyle = r.U32(36);
    p.color = r.U32(40) & 0xFFFFFF;
    p.hatch = r.U32(44);
    const uint32_t n = std::min(r.U32(48), kMaxStyleEntries);
    if ((p.style & PS_STYLE_MASK) == PS_USERSTYLE)
        for (uint32_t i = 0; i < n && r.Has(52 + 4 * i, 4); ++i)
            p.userStyle.push_back(r.U32(52 + 4 * i));
    if ((p.style & PS_STYLE_MASK) == PS_USERSTYLE && p.userStyle.empty())
        p.style = (p.style & ~PS_STYLE_MASK) | PS_SOLID;
    // Pattern pens draw in their pattern's colour; a solid colour is the closest we keep.
    if (p.brushStyle == BS_PATTERN || p.brushStyle == BS_DIBPATTERN ||
        p.brushStyle == BS_DIBPATTERNPT)
        p.brushStyle = BS_SOLID;
}

void CreateBrush(PlayerState& s, const RecordView& r) {
    GdiObject* o = Slot(s, r.U32(8));
    if (!o)
        return;
    *o = GdiObject{};
    o->kind = ObjectKind::Brush;
    o->brush.style = r.U32(12);
    o->brush.color = r.U32(16) & 0xFFFFFF;
    o->brush.hatch = r.U32(20);
    if (o->brush.style != BS_SOLID && o->brush.style != BS_NULL && o->brush.style != BS_HATCHED)
        o->brush.style = BS_SOLID;
    if (o->brush.style == BS_HATCHED && o->brush.hatch > HS_DIAGCROSS)
        o->brush.style = BS_SOLID;
}

void CreatePatternBrush(PlayerState& s, const RecordView& r, bool mono) {
    GdiObject* o = Slot(s, r.U32(8));
    if (!o)
        return;
    *o = GdiObject{};
    o->kind = ObjectKind::Brush;
    o->brush.style = BS_SOLID;
    o->brush.color = 0;
    DibImage img;
    const std::span<const uint8_t> rec(r.data, r.size);
    if (!DecodeDibFromRecord(rec, r.U32(16), r.U32(20), r.U32(24), r.U32(28), r.U32(12), img))
        return;
    const uint64_t pixels = uint64_t(std::max(img.width, 0)) * uint64_t(std::max(img.height, 0));
    if (pixels == 0 || pixels > kMaxPatternPixels || s.patternPixels + pixels > kMaxAllPatterns)
        return;
    s.patternPixels += pixels;
    auto pat = std::make_shared<PatternImage>();
    pat->width = img.width;
    pat->height = img.height;
    pat->monochrome = mono && img.bitCount == 1;
    pat->pixels.resize(size_t(img.width) * img.height);
    for (size_t i = 0; i < pat->pixels.size(); ++i) {
        const uint32_t v = img.pixels[i];
        pat->pixels[i] = pat->monochrome
                             ? ((v | 0xFF000000u) == (img.monoColors[0] | 0xFF000000u) ? 0u : 1u)
                             : (v | 0xFF000000u);
    }
    o->brush.style = BS_DIBPATTERNPT;
    o->brush.pattern = std::move(pat);
}

void CreateFont(PlayerState& s, const RecordView& r) {
    GdiObject* o = Slot(s, r.U32(8));
    if (!o)
        return;
    *o = GdiObject{};
    o->kind = ObjectKind::Font;
    LogFontW& f = o->font;
    f.height = r.I32(12);
    f.width = r.I32(16);
    f.escapement = r.I32(20);
    f.orientation = r.I32(24);
    f.weight = r.I32(28);
    f.italic = r.U8(32);
    f.underline = r.U8(33);
    f.strikeOut = r.U8(34);
    f.charSet = r.U8(35);
    f.outPrecision = r.U8(36);
    f.clipPrecision = r.U8(37);
    f.quality = r.U8(38);
    f.pitchAndFamily = r.U8(39);
    for (size_t i = 0; i < 32 && r.Has(40 + 2 * i, 2); ++i) {
        const char16_t c = char16_t(r.U16(40 + 2 * i));
        if (c == 0)
            break;
        f.faceName.push_back(c);
    }
}

void SelectObject(PlayerState& s, uint32_t index) {
    const GdiObject* o = s.Object(index);
    if (!o)
        return;
    switch (o->kind) {
    case ObjectKind::Pen:
        s.dc.pen = o->pen;
        break;
    case ObjectKind::Brush:
        s.dc.brush = o->brush;
        break;
    case ObjectKind::Font:
        s.dc.font = o->font;
        break;
    default:
        break;
    }
}

void CreateOther(PlayerState& s, const RecordView& r, ObjectKind kind) {
    if (GdiObject* o = Slot(s, r.U32(8))) {
        *o = GdiObject{};
        o->kind = kind;
    }
}

} // namespace

bool PlayObjectRecord(PlayerState& s, const RecordView& r) {
    switch (r.type) {
    case EMR_CREATEPEN:
        CreatePen(s, r);
        break;
    case EMR_EXTCREATEPEN:
        ExtCreatePen(s, r);
        break;
    case EMR_CREATEBRUSHINDIRECT:
        CreateBrush(s, r);
        break;
    case EMR_CREATEMONOBRUSH:
        CreatePatternBrush(s, r, true);
        break;
    case EMR_CREATEDIBPATTERNBRUSHPT:
        CreatePatternBrush(s, r, false);
        break;
    case EMR_EXTCREATEFONTINDIRECTW:
        CreateFont(s, r);
        break;
    case EMR_CREATEPALETTE:
        CreateOther(s, r, ObjectKind::Palette);
        break;
    case EMR_CREATECOLORSPACE:
    case EMR_CREATECOLORSPACEW:
        CreateOther(s, r, ObjectKind::Other);
        break;
    case EMR_SELECTOBJECT:
        SelectObject(s, r.U32(8));
        break;
    case EMR_DELETEOBJECT:
        if (GdiObject* o = Slot(s, r.U32(8)))
            *o = GdiObject{};
        break;
    default:
        break;
    }
    return true;
}

} // namespace qm::emf
