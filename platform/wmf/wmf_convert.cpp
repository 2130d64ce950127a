#include "platform/wmf/wmf_convert.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <tuple>

#include "platform/emf/emf_player.h"
#include "platform/fonts/code_page.h"
#include "platform/wmf/wmf_translator.h"

namespace qm::wmf {

namespace detail {

namespace {

constexpr uint32_t kEmrSetWindowExtEx = 9;
constexpr uint32_t kEmrSetWindowOrgEx = 10;
constexpr uint32_t kEmrSelectObject = 37;
constexpr uint32_t kEmrDeleteObject = 40;
constexpr uint32_t kEmrBeginPath = 59;
constexpr uint32_t kEmrEndPath = 60;
constexpr uint32_t kEmrFillPath = 62;
constexpr uint32_t kEmrSelectClipPath = 67;
constexpr uint32_t kEmrExtSelectClipRgn = 75;
constexpr uint32_t kEmrIntersectClipRect = 30;
constexpr uint32_t kEmrPolyPolygon16 = 91;
constexpr int32_t kRgnCopy = 5;
constexpr size_t kMaxSlots = 65000;
constexpr uint32_t kEmbeddedSignature = 0x43464D57; // "WMFC"
constexpr uint8_t kZero[1] = {0};

} // namespace

void Translator::Run() {
    size_t at = 0;
    while (at + 6 <= m_records.size() && m_out.Size() < m_maxBytes) {
        const uint32_t words = uint32_t(m_records[at]) | (uint32_t(m_records[at + 1]) << 8) |
                               (uint32_t(m_records[at + 2]) << 16) |
                               (uint32_t(m_records[at + 3]) << 24);
        const uint16_t function = uint16_t(m_records[at + 4] | (m_records[at + 5] << 8));
        if (words < 3 || words > (m_records.size() - at) / 2 || function == META_EOF)
            break;
        Play(function, Params{m_records.subspan(at + 6, size_t(words) * 2 - 6)});
        at += size_t(words) * 2;
    }
}

void Translator::Play(uint16_t function, const Params& p) {
    if (!PlayState(function, p) && !PlayObject(function, p) && !PlayDrawing(function, p))
        PlayBitmap(function, p);
}

bool Translator::PlayState(uint16_t function, const Params& p) {
    switch (function) {
    case META_SETBKMODE:
        m_out.Record(18, {int32_t(p.W(0))});
        return true;
    case META_SETMAPMODE:
        // Only the scaled modes: the picture's own rectangle maps onto the frame otherwise.
        if (p.W(0) == 7 || p.W(0) == 8)
            m_out.Record(17, {int32_t(p.W(0))});
        return true;
    case META_SETROP2:
        m_out.Record(20, {int32_t(p.W(0))});
        return true;
    case META_SETPOLYFILLMODE:
        m_out.Record(19, {int32_t(p.W(0))});
        return true;
    case META_SETSTRETCHBLTMODE:
        m_out.Record(21, {int32_t(p.W(0))});
        return true;
    case META_SETTEXTALIGN:
        m_out.Record(22, {int32_t(p.W(0))});
        return true;
    case META_SETBKCOLOR:
        m_out.Record(25, {int32_t(p.L(0))});
        return true;
    case META_SETTEXTCOLOR:
        m_out.Record(24, {int32_t(p.L(0))});
        return true;
    case META_SETMAPPERFLAGS:
        m_out.Record(16, {int32_t(p.L(0))});
        return true;
    case META_SETLAYOUT:
        m_out.Record(115, {int32_t(p.L(0))});
        return true;
    case META_SAVEDC:
        m_out.Record(33, {});
        m_savedOrg.emplace_back(m_orgX, m_orgY);
        m_savedBrush.push_back(m_brush);
        return true;
    case META_RESTOREDC: {
        const int32_t n = p.S(0);
        m_out.Record(34, {n});
        const size_t depth = m_savedOrg.size();
        size_t keep = depth;
        if (n < 0 && size_t(-n) <= depth)
            keep = depth - size_t(-n);
        else if (n > 0 && size_t(n) <= depth)
            keep = size_t(n) - 1;
        if (keep < depth) {
            std::tie(m_orgX, m_orgY) = m_savedOrg[keep];
            m_brush = m_savedBrush[keep];
            m_savedOrg.resize(keep);
            m_savedBrush.resize(keep);
        }
        return true;
    }
    case META_SETWINDOWORG:
    case META_OFFSETWINDOWORG:
        if (function == META_SETWINDOWORG) {
            m_orgX = p.S(1);
            m_orgY = p.S(0);
        } else {
            m_orgX += p.S(1);
            m_orgY += p.S(0);
        }
        m_out.Record(kEmrSetWindowOrgEx, {m_orgX, m_orgY});
        if (!(m_windowSet & 1)) {
            m_window.left = m_orgX;
            m_window.top = m_orgY;
            m_windowSet |= 1;
        }
        return true;
    case META_SETWINDOWEXT:
        m_out.Record(kEmrSetWindowExtEx, {p.S(1), p.S(0)});
        if (!(m_windowSet & 2)) {
            m_window.right = p.S(1);
            m_window.bottom = p.S(0);
            m_windowSet |= 2;
        }
        return true;
    case META_SCALEWINDOWEXT:
        m_out.Record(32, {p.S(3), p.S(2), p.S(1), p.S(0)});
        return true;
    case META_SETVIEWPORTORG:
    case META_SETVIEWPORTEXT:
    case META_OFFSETVIEWPORTORG:
    case META_SCALEVIEWPORTEXT:
        // The viewport belongs to the player: the picture fills the place it is drawn in.
        return true;
    case META_EXCLUDECLIPRECT:
        m_out.Record(29, {p.S(3), p.S(2), p.S(1), p.S(0)});
        return true;
    case META_INTERSECTCLIPRECT:
        m_out.Record(kEmrIntersectClipRect, {p.S(3), p.S(2), p.S(1), p.S(0)});
        return true;
    case META_OFFSETCLIPRGN:
        m_out.Record(26, {p.S(1), p.S(0)});
        return true;
    case META_SELECTCLIPREGION: {
        const Slot* slot = At(p.W(0));
        ClipToRegion(slot && slot->kind == Kind::Region ? slot : nullptr);
        return true;
    }
    case META_ESCAPE:
        PlayEscape(p);
        return true;
    case META_REALIZEPALETTE:
    case META_SETPALENTRIES:
    case META_RESIZEPALETTE:
    case META_SELECTPALETTE:
    case META_SETRELABS:
    case META_SETTEXTCHAREXTRA:
    case META_SETTEXTJUSTIFICATION:
        return true;
    default:
        return false;
    }
}

bool Translator::PlayObject(uint16_t function, const Params& p) {
    switch (function) {
    case META_CREATEPENINDIRECT: {
        const int slot = NewSlot(Kind::Object);
        if (slot >= 0)
            m_out.Record(38, {slot + 1, int32_t(p.W(0)), p.S(1), 0, int32_t(p.L(3))});
        return true;
    }
    case META_CREATEBRUSHINDIRECT: {
        const int slot = NewSlot(Kind::Brush);
        uint32_t style = p.W(0);
        if (style == 3 || style == 5 || style == 6) // a pattern without its bitmap
            style = 0;
        if (slot >= 0)
            m_out.Record(39, {slot + 1, int32_t(style), int32_t(p.L(1)), int32_t(p.W(3))});
        return true;
    }
    case META_CREATEFONTINDIRECT: {
        const int slot = NewSlot(Kind::Object);
        if (slot < 0)
            return true;
        m_out.Begin(82).I32(slot + 1);
        for (size_t i = 0; i < 5; ++i) // height, width, escapement, orientation, weight
            m_out.I32(p.S(i));
        // Italic, underline, strike-out, character set, precisions, quality, pitch and family;
        // then the face name in the code page of the character set (a Japanese face name
        // comes in Shift-JIS bytes).
        const auto rest = p.From(5);
        for (size_t i = 0; i < 8; ++i)
            m_out.Bytes(i < rest.size() ? rest.subspan(i, 1) : std::span<const uint8_t>(kZero));
        size_t length = 0;
        while (length < 32 && 8 + length < rest.size() && rest[8 + length] != 0)
            ++length;
        const uint8_t charSet = rest.size() > 3 ? rest[3] : 0;
        std::u16string face;
        for (const fonts::AnsiChar& c :
             fonts::DecodeAnsiText(fonts::CodePageOfCharSet(charSet),
                                   length ? rest.subspan(8, length) : std::span<const uint8_t>()))
            if (c.code > 0xFFFF)
                face += {char16_t(0xD800 + ((c.code - 0x10000) >> 10)),
                         char16_t(0xDC00 + ((c.code - 0x10000) & 0x3FF))};
            else
                face += char16_t(c.code);
        face.resize(31); // room for the terminating zero
        for (size_t i = 0; i < 32; ++i)
            m_out.U16(i < face.size() ? face[i] : 0);
        m_out.End();
        return true;
    }
    case META_CREATEREGION:
        CreateRegion(p);
        return true;
    case META_DIBCREATEPATTERNBRUSH:
        // Style, usage, then a packed bitmap (some writers put an old bitmap there for the
        // pattern style, whose colours are always RGB).
        if (p.W(0) == 3 && !DibInfoSize(p.From(2), 0))
            PatternBrush(DibFromBitmap16(p.From(2), 10), 0);
        else
            PatternBrush(p.From(2), p.W(0) == 3 ? 0 : p.W(1));
        return true;
    case META_CREATEPATTERNBRUSH:
        // An old bitmap's header with its 32-bit bits pointer, 18 bytes reserved, the bits.
        PatternBrush(DibFromBitmap16(p.From(0), 32), 0);
        return true;
    case META_CREATEPALETTE:
        NewSlot(Kind::Placeholder);
        return true;
    case META_SELECTOBJECT:
        Select(p.W(0));
        return true;
    case META_DELETEOBJECT:
        Delete(p.W(0));
        return true;
    case META_FILLREGION: {
        const Slot* region = At(p.W(0));
        const Slot* brush = At(p.W(1));
        if (region && region->kind == Kind::Region && brush && brush->kind == Kind::Brush)
            FillRegion(*region, uint32_t(p.W(1)) + 1);
        return true;
    }
    case META_PAINTREGION: {
        const Slot* region = At(p.W(0));
        if (region && region->kind == Kind::Region)
            FillRegion(*region, m_brush);
        return true;
    }
    default:
        return false;
    }
}

void Translator::PatternBrush(std::span<const uint8_t> dib, uint32_t usage) {
    const uint32_t cbBmi = DibInfoSize(dib, usage);
    const int slot = NewSlot(cbBmi ? Kind::Brush : Kind::Placeholder);
    if (slot < 0 || !cbBmi)
        return;
    m_out.Begin(94).I32(slot + 1).U32(usage).U32(32).U32(cbBmi).U32(32 + cbBmi);
    m_out.U32(uint32_t(dib.size() - cbBmi)).Bytes(dib).End();
}

int Translator::NewSlot(Kind kind) {
    auto free = std::find_if(m_slots.begin(), m_slots.end(),
                             [](const Slot& s) { return s.kind == Kind::Free; });
    if (free == m_slots.end()) {
        if (m_slots.size() >= kMaxSlots)
            return -1;
        free = m_slots.emplace(m_slots.end());
    }
    free->kind = kind;
    free->rects.clear();
    return int(free - m_slots.begin());
}

Translator::Slot* Translator::At(uint32_t index) {
    return index < m_slots.size() && m_slots[index].kind != Kind::Free ? &m_slots[index] : nullptr;
}

void Translator::Select(uint32_t index) {
    const Slot* slot = At(index);
    if (!slot)
        return;
    switch (slot->kind) {
    case Kind::Brush:
        m_brush = index + 1;
        [[fallthrough]];
    case Kind::Object:
        m_out.Record(kEmrSelectObject, {int32_t(index + 1)});
        return;
    case Kind::Region:
        ClipToRegion(slot);
        return;
    default:
        return;
    }
}

void Translator::Delete(uint32_t index) {
    Slot* slot = At(index);
    if (!slot)
        return;
    if (slot->kind == Kind::Object || slot->kind == Kind::Brush)
        m_out.Record(kEmrDeleteObject, {int32_t(index + 1)});
    slot->kind = Kind::Free;
    slot->rects.clear();
    slot->rects.shrink_to_fit();
}

void Translator::CreateRegion(const Params& p) {
    const int index = NewSlot(Kind::Region);
    if (index < 0)
        return;
    std::vector<Rect>& rects = m_slots[size_t(index)].rects;
    // Header: next in chain, type, object count (2), size, scan count, largest scan, bounds (4).
    const size_t scans = p.W(5);
    size_t at = 11;
    for (size_t s = 0; s < scans && at + 3 <= p.Words(); ++s) {
        const size_t count = p.W(at);
        const int32_t top = p.S(at + 1), bottom = p.S(at + 2);
        if (at + 4 + count > p.Words())
            break;
        for (size_t i = 0; i + 1 < count; i += 2) {
            const int32_t left = p.S(at + 3 + i), right = p.S(at + 4 + i);
            if (left < right && top < bottom)
                rects.push_back({left, top, right, bottom});
        }
        at += 4 + count;
    }
}

// The region's rectangles as closed figures of a path, in logical units.
void Translator::RegionPath(const Slot& region) {
    m_out.Record(kEmrBeginPath, {});
    m_out.Begin(kEmrPolyPolygon16).I32(0).I32(0).I32(-1).I32(-1);
    m_out.U32(uint32_t(region.rects.size())).U32(uint32_t(region.rects.size() * 4));
    for (size_t i = 0; i < region.rects.size(); ++i)
        m_out.U32(4);
    for (const Rect& r : region.rects) {
        for (auto [x, y] : {std::pair{r.left, r.top}, std::pair{r.right, r.top},
                            std::pair{r.right, r.bottom}, std::pair{r.left, r.bottom}}) {
            m_out.I16(int16_t(x)).I16(int16_t(y));
            Point(x, y);
        }
    }
    m_out.End();
    m_out.Record(kEmrEndPath, {});
}

void Translator::ClipToRegion(const Slot* region) {
    if (region && !region->rects.empty()) {
        RegionPath(*region);
        m_out.Record(kEmrSelectClipPath, {kRgnCopy});
        return;
    }
    // No region: no clipping. An empty region: nothing shows.
    m_out.Record(kEmrExtSelectClipRgn, {0, kRgnCopy});
    if (region)
        m_out.Record(kEmrIntersectClipRect, {0, 0, 0, 0});
}

void Translator::FillRegion(const Slot& region, uint32_t brushHandle) {
    if (region.rects.empty())
        return;
    RegionPath(region);
    const bool other = brushHandle != m_brush;
    if (other)
        m_out.Record(kEmrSelectObject, {int32_t(brushHandle)});
    m_out.Record(kEmrFillPath, {0, 0, -1, -1});
    if (other)
        m_out.Record(kEmrSelectObject, {int32_t(m_brush)});
}

// Office keeps the enhanced metafile a WMF was made from in comment escapes, in pieces.
void Translator::PlayEscape(const Params& p) {
    if (p.W(0) != 0x000F || p.L(2) != kEmbeddedSignature || p.L(4) != 1 || m_embeddedBroken)
        return;
    const uint32_t piece = p.L(13), total = p.L(17);
    const auto data = p.From(19);
    if (m_embedded.empty())
        m_embeddedSize = total;
    if (total != m_embeddedSize || total > m_maxBytes || piece > data.size() ||
        piece > total - m_embedded.size()) {
        m_embeddedBroken = true;
        m_embedded.clear();
        return;
    }
    m_embedded.insert(m_embedded.end(), data.begin(), data.begin() + piece);
}

std::vector<uint8_t> Translator::TakeEmbedded() {
    if (m_embeddedBroken || m_embedded.empty() || m_embedded.size() != m_embeddedSize)
        return {};
    return std::move(m_embedded);
}

} // namespace detail

namespace {

using detail::Rect;

uint16_t U16(std::span<const uint8_t> d, size_t at) {
    return uint16_t(d[at] | (d[at + 1] << 8));
}

// Reference device of the translation: 100 pixels a millimetre, so one device unit is one
// unit of the frame (0.01 mm).
void WriteHeader(EmfWriter& w, int32_t width, int32_t height, uint32_t handles) {
    w.Begin(1).I32(0).I32(0).I32(width - 1).I32(height - 1);
    w.I32(0).I32(0).I32(width).I32(height);
    w.U32(0x464D4520).U32(0x10000).U32(0).U32(0);
    w.U16(uint16_t(std::min<uint32_t>(handles, 0xFFFF))).U16(0);
    w.U32(0).U32(0).U32(0).I32(100).I32(100).I32(1).I32(1);
    w.End();
}

Rect Normalised(Rect r) {
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}

} // namespace

bool ConvertWmfToEmf(std::span<const uint8_t> data, std::vector<uint8_t>& out, size_t maxBytes) {
    out.clear();
    size_t at = 0;
    bool placeable = false;
    Rect picture;
    int32_t unitsPerInch = 1440;
    if (data.size() >= 22 && U16(data, 0) == 0xCDD7 && U16(data, 2) == 0x9AC6) {
        placeable = true;
        picture = {int16_t(U16(data, 6)), int16_t(U16(data, 8)), int16_t(U16(data, 10)),
                   int16_t(U16(data, 12))};
        if (U16(data, 14) != 0)
            unitsPerInch = U16(data, 14);
        at = 22;
        // Some recorders write the header as an aligned structure of 24 bytes: two zero bytes
        // of padding before the metafile header.
        if (data.size() >= 28 && U16(data, 22) == 0 && (U16(data, 24) == 1 || U16(data, 24) == 2) &&
            U16(data, 26) == 9)
            at = 24;
    }
    // The metafile header: type (memory or disk), its size in words (9), version, ...
    if (data.size() < at + 18 || (U16(data, at) != 1 && U16(data, at) != 2) ||
        U16(data, at + 2) != 9)
        return false;
    detail::Translator t(data.subspan(at + 18), maxBytes);
    t.Run();
    std::vector<uint8_t> embedded = t.TakeEmbedded();
    emf::EmfHeaderInfo embeddedHeader;
    if (!embedded.empty() && emf::ReadEmfHeader(embedded, embeddedHeader)) {
        out = std::move(embedded);
        return true;
    }
    // The picture's rectangle in logical units, and the logical units' size.
    if (!placeable) {
        picture = t.HasWindow() ? t.Window() : t.PointBounds();
        if (picture.left > picture.right && !t.HasWindow())
            picture = {0, 0, 1, 1};
    }
    const Rect box = Normalised(picture);
    int64_t frameW = std::max<int64_t>(1, (int64_t(box.right) - box.left) * 2540 / unitsPerInch);
    int64_t frameH = std::max<int64_t>(1, (int64_t(box.bottom) - box.top) * 2540 / unitsPerInch);
    // Small pictures are recorded larger, so device units keep the logical units' precision.
    if (const int64_t longer = std::max(frameW, frameH); longer < 1000) {
        const int64_t k = (1000 + longer - 1) / longer;
        frameW *= k;
        frameH *= k;
    }
    EmfWriter head;
    WriteHeader(head, int32_t(frameW), int32_t(frameH), t.Handles() + 1);
    head.Record(17, {8}); // anisotropic
    head.Record(10, {picture.left, picture.top});
    head.Record(9, {picture.right - picture.left, picture.bottom - picture.top});
    head.Record(12, {0, 0});
    head.Record(11, {int32_t(frameW), int32_t(frameH)});
    EmfWriter& body = t.Body();
    body.Record(14, {0, 16, 20});
    out = std::move(head.Data());
    out.insert(out.end(), body.Data().begin(), body.Data().end());
    const uint32_t total = uint32_t(out.size());
    const uint32_t records = head.Records() + body.Records();
    std::memcpy(out.data() + 48, &total, 4);
    std::memcpy(out.data() + 52, &records, 4);
    return true;
}

} // namespace qm::wmf
