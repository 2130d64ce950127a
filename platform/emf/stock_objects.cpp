#include "platform/emf/stock_objects.h"

#include <array>

namespace qm::emf {

namespace {

GdiObject MakeBrush(uint32_t style, ColorRef color) {
    GdiObject o;
    o.kind = ObjectKind::Brush;
    o.brush.style = style;
    o.brush.color = color;
    return o;
}

GdiObject MakePen(uint32_t style, ColorRef color) {
    GdiObject o;
    o.kind = ObjectKind::Pen;
    o.pen.style = style;
    o.pen.color = color;
    return o;
}

GdiObject MakeFont(const char16_t* face, int32_t height, int32_t weight, uint8_t pitchFamily) {
    GdiObject o;
    o.kind = ObjectKind::Font;
    o.font.height = height;
    o.font.weight = weight;
    o.font.pitchAndFamily = pitchFamily;
    o.font.faceName = face;
    return o;
}

std::array<GdiObject, 20> BuildStockObjects() {
    std::array<GdiObject, 20> t{};
    t[WHITE_BRUSH] = MakeBrush(BS_SOLID, 0xFFFFFF);
    t[LTGRAY_BRUSH] = MakeBrush(BS_SOLID, 0xC0C0C0);
    t[GRAY_BRUSH] = MakeBrush(BS_SOLID, 0x808080);
    t[DKGRAY_BRUSH] = MakeBrush(BS_SOLID, 0x404040);
    t[BLACK_BRUSH] = MakeBrush(BS_SOLID, 0x000000);
    t[NULL_BRUSH] = MakeBrush(BS_NULL, 0);
    t[WHITE_PEN] = MakePen(PS_SOLID, 0xFFFFFF);
    t[BLACK_PEN] = MakePen(PS_SOLID, 0x000000);
    t[NULL_PEN] = MakePen(PS_NULL, 0);
    t[OEM_FIXED_FONT] = MakeFont(u"Terminal", 12, 400, 0x31);
    t[ANSI_FIXED_FONT] = MakeFont(u"Courier", 12, 400, 0x31);
    t[ANSI_VAR_FONT] = MakeFont(u"MS Sans Serif", 12, 400, 0x22);
    t[SYSTEM_FONT] = MakeFont(u"System", 16, 700, 0x22);
    t[DEVICE_DEFAULT_FONT] = MakeFont(u"System", 16, 700, 0x22);
    t[DEFAULT_PALETTE].kind = ObjectKind::Palette;
    t[SYSTEM_FIXED_FONT] = MakeFont(u"Fixedsys", 15, 400, 0x31);
    t[DEFAULT_GUI_FONT] = MakeFont(u"MS Shell Dlg", -11, 400, 0);
    t[DC_BRUSH] = MakeBrush(BS_SOLID, 0xFFFFFF);
    t[DC_PEN] = MakePen(PS_SOLID, 0x000000);
    return t;
}

} // namespace

const GdiObject* StockObject(uint32_t n) {
    static const std::array<GdiObject, 20> table = BuildStockObjects();
    if (n >= table.size() || table[n].kind == ObjectKind::Empty)
        return nullptr;
    return &table[n];
}

} // namespace qm::emf
