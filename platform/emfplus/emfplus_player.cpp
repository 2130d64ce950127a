// EMF+ playback: the record loop, objects, transforms, state and clipping.
#include "platform/emfplus/emfplus_player.h"

#include "platform/emfplus/emfplus_limits.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qm::emfplus {

namespace {

constexpr uint32_t kMaxObjectBytes = 1u << 28;

cairo_matrix_t Multiply(const cairo_matrix_t& first, const cairo_matrix_t& second) {
    cairo_matrix_t r;
    cairo_matrix_multiply(&r, &first, &second);
    return r;
}

cairo_matrix_t ReadMatrix(Reader& r) {
    cairo_matrix_t m;
    m.xx = r.F32();
    m.yx = r.F32();
    m.xy = r.F32();
    m.yy = r.F32();
    m.x0 = r.F32();
    m.y0 = r.F32();
    return m;
}

bool FiniteMatrix(const cairo_matrix_t& m) {
    return std::isfinite(m.xx) && std::isfinite(m.yx) && std::isfinite(m.xy) &&
           std::isfinite(m.yy) && std::isfinite(m.x0) && std::isfinite(m.y0) &&
           std::fabs(m.x0) < 1e9 && std::fabs(m.y0) < 1e9;
}

PathGeom TransformPath(const PathGeom& in, const cairo_matrix_t& m) {
    PathGeom out = in;
    for (auto& p : out.points)
        cairo_matrix_transform_point(&m, &p.x, &p.y);
    return out;
}

PathGeom RectPath(const RectF& r) {
    PathGeom p;
    p.points = {{r.x, r.y}, {r.x + r.w, r.y}, {r.x + r.w, r.y + r.h}, {r.x, r.y + r.h}};
    p.types = {kPtStart, kPtLine, kPtLine, uint8_t(kPtLine | kPtClose)};
    return p;
}

} // namespace

EmfPlusPlayer::EmfPlusPlayer(emf::PlayerState& gdi) : m_gdi(gdi) {
    m_cr = cairo_create(gdi.surface);
    const auto& h = gdi.header;
    if (h.device.cx > 0 && h.millimeters.cx > 0)
        m_dpiX = m_dpiY = double(h.device.cx) * 25.4 / h.millimeters.cx;
}

EmfPlusPlayer::~EmfPlusPlayer() {
    cairo_destroy(m_cr);
}

void EmfPlusPlayer::PlayComment(const emf::RecordView& record) {
    if (record.size < 16)
        return;
    const size_t end = std::min<size_t>(record.size, size_t(record.U32(8)) + 12);
    size_t p = 16;
    while (p + 12 <= end && !m_ended) {
        const uint16_t type = record.U16(p);
        const uint16_t flags = record.U16(p + 2);
        const uint32_t size = record.U32(p + 4);
        const uint32_t dataSize = record.U32(p + 8);
        if (size < 12 || size > end - p)
            break;
        const size_t dataLen = std::min<size_t>(dataSize, size - 12);
        m_handedToGdi = false;
        PlayRecord(type, flags, std::span<const uint8_t>(record.data + p + 12, dataLen));
        p += size;
    }
}

// ---- Objects ----------------------------------------------------------------------------------

void EmfPlusPlayer::ObjectRecord(uint16_t flags, std::span<const uint8_t> data) {
    const uint8_t id = flags & 0xFF;
    const uint8_t type = (flags >> 8) & 0x7F;
    if (id >= 64)
        return;
    Pending& pending = m_pending[id];
    if (flags & 0x8000) { // continued in the next record
        Reader r(data);
        const uint32_t total = r.U32();
        if (r.Failed() || total > kMaxObjectBytes)
            return;
        if (pending.bytes.empty() || pending.type != type || pending.total != total) {
            pending = Pending{type, total, {}};
            pending.bytes.reserve(std::min<size_t>(total, size_t{1} << 24));
        }
        const auto chunk = r.Rest();
        const size_t room = total - std::min<size_t>(total, pending.bytes.size());
        pending.bytes.insert(pending.bytes.end(), chunk.begin(),
                             chunk.begin() + std::min(room, chunk.size()));
        if (pending.bytes.size() >= total) {
            StoreObject(id, type, pending.bytes);
            pending = Pending{};
        }
        return;
    }
    if (!pending.bytes.empty() && pending.type == type) {
        // The last piece of a continued object.
        const size_t room = pending.total - std::min<size_t>(pending.total, pending.bytes.size());
        pending.bytes.insert(pending.bytes.end(), data.begin(),
                             data.begin() + std::min(room, data.size()));
        StoreObject(id, type, pending.bytes);
        pending = Pending{};
        return;
    }
    pending = Pending{};
    StoreObject(id, type, data);
}

void EmfPlusPlayer::StoreObject(uint8_t id, uint8_t type, std::span<const uint8_t> bytes) {
    m_objects[id] = ParseObject(type, bytes, m_budget);
}

const Pen* EmfPlusPlayer::PenAt(uint32_t id) const {
    return id < 64 ? std::get_if<Pen>(&m_objects[id]) : nullptr;
}

const Brush* EmfPlusPlayer::BrushAt(uint32_t id) const {
    return id < 64 ? std::get_if<Brush>(&m_objects[id]) : nullptr;
}

// ---- Transforms -------------------------------------------------------------------------------

double EmfPlusPlayer::UnitToPixels(uint32_t unit, bool vertical) const {
    const double dpi = vertical ? m_dpiY : m_dpiX;
    switch (unit) {
    case kUnitPoint:
        return dpi / 72.0;
    case kUnitInch:
        return dpi;
    case kUnitDocument:
        return dpi / 300.0;
    case kUnitMillimeter:
        return dpi / 25.4;
    default: // world, display and pixel
        return 1.0;
    }
}

cairo_matrix_t EmfPlusPlayer::PageMatrix() const {
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, m_state.pageScale * UnitToPixels(m_state.pageUnit),
                            m_state.pageScale * UnitToPixels(m_state.pageUnit, true));
    return m;
}

cairo_matrix_t EmfPlusPlayer::DeviceMatrix() const {
    const emf::XForm& pb = m_gdi.playback;
    cairo_matrix_t playback{pb.m11, pb.m12, pb.m21, pb.m22, pb.dx, pb.dy};
    cairo_matrix_t m = Multiply(Multiply(m_state.world, PageMatrix()), playback);
    // Without a half-pixel offset, GDI+ puts pixel centres on whole coordinates.
    if (m_state.pixelOffset != 2 && m_state.pixelOffset != 4) {
        m.x0 += 0.5;
        m.y0 += 0.5;
    }
    return m;
}

// ---- Clipping ---------------------------------------------------------------------------------

ClipPtr EmfPlusPlayer::ClipFromPath(const PathGeom& path, const cairo_matrix_t& m,
                                    bool winding) const {
    auto node = std::make_shared<ClipNode>();
    node->type = RegionNode::Path;
    node->path = TransformPath(path, m);
    node->winding = winding;
    return node;
}

ClipPtr EmfPlusPlayer::ClipFromRegion(const RegionNode& node, const cairo_matrix_t& m) const {
    switch (node.type) {
    case RegionNode::Rect:
        return ClipFromPath(RectPath(node.rect), m, false);
    case RegionNode::Path:
        return ClipFromPath(node.path, m, false);
    case RegionNode::Empty: {
        auto n = std::make_shared<ClipNode>();
        n->type = RegionNode::Empty;
        return n;
    }
    case RegionNode::Infinite:
        return nullptr;
    default: {
        if (!node.left || !node.right)
            return nullptr;
        auto n = std::make_shared<ClipNode>();
        n->type = node.type;
        n->left = ClipFromRegion(*node.left, m);
        n->right = ClipFromRegion(*node.right, m);
        if (!n->left) { // infinite on the left
            auto inf = std::make_shared<ClipNode>();
            inf->type = RegionNode::Infinite;
            n->left = inf;
        }
        if (!n->right) {
            auto inf = std::make_shared<ClipNode>();
            inf->type = RegionNode::Infinite;
            n->right = inf;
        }
        return n;
    }
    }
}

void EmfPlusPlayer::SetClip(uint32_t mode, ClipPtr shape) {
    auto infinite = [] {
        auto n = std::make_shared<ClipNode>();
        n->type = RegionNode::Infinite;
        return n;
    };
    if (mode == 0) { // replace
        m_state.clip = std::move(shape);
        return;
    }
    if (mode > 5)
        return;
    if (mode == 1 && !m_state.clip) { // intersect with no clip
        m_state.clip = std::move(shape);
        return;
    }
    if (mode == 2 && (!m_state.clip || !shape)) { // union with everything
        m_state.clip = nullptr;
        return;
    }
    auto n = std::make_shared<ClipNode>();
    n->type = mode; // combine modes 1..5 match the region node types
    n->left = m_state.clip ? m_state.clip : ClipPtr(infinite());
    n->right = shape ? shape : ClipPtr(infinite());
    m_state.clip = std::move(n);
}

bool EmfPlusPlayer::ApplyClip(cairo_surface_t*& mask) {
    mask = nullptr;
    if (!m_state.clip)
        return true;
    // A chain of intersections of figures is clipped directly.
    std::vector<const ClipNode*> leaves;
    std::vector<const ClipNode*> todo{m_state.clip.get()};
    bool simple = true;
    while (!todo.empty() && simple) {
        const ClipNode* n = todo.back();
        todo.pop_back();
        if (n->type == RegionNode::And) {
            todo.push_back(n->left.get());
            todo.push_back(n->right.get());
        } else if (n->type == RegionNode::Path || n->type == RegionNode::Empty) {
            leaves.push_back(n);
        } else if (n->type != RegionNode::Infinite) {
            simple = false;
        }
    }
    if (!simple) {
        mask = ClipMask(*m_state.clip);
        return mask == nullptr; // no mask could be made: draw unclipped
    }
    cairo_matrix_t saved;
    cairo_get_matrix(m_cr, &saved);
    cairo_identity_matrix(m_cr);
    for (const ClipNode* n : leaves) {
        cairo_new_path(m_cr);
        if (n->type == RegionNode::Path) {
            AddPathToCairo(m_cr, n->path);
            m_gdi.ChargeWork(BoundPathToBox(m_cr, SurfaceBox(2)));
        } else {
            cairo_rectangle(m_cr, 0, 0, 0, 0);
        }
        cairo_set_fill_rule(m_cr, n->winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_clip(m_cr);
    }
    cairo_set_matrix(m_cr, &saved);
    return true;
}

namespace {

void RenderClipNode(cairo_t* cr, const ClipNode& n, const DeviceBox& box, int depth) {
    switch (n.type) {
    case RegionNode::Path:
        cairo_new_path(cr);
        AddPathToCairo(cr, n.path);
        BoundPathToBox(cr, box);
        cairo_set_fill_rule(cr, n.winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill(cr);
        return;
    case RegionNode::Infinite:
        cairo_paint(cr);
        return;
    case RegionNode::Empty:
        return;
    default:
        break;
    }
    if (!n.left || !n.right || depth > 64)
        return;
    cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
    RenderClipNode(cr, *n.left, box, depth + 1);
    cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
    RenderClipNode(cr, *n.right, box, depth + 1);
    cairo_pop_group_to_source(cr);
    switch (n.type) {
    case RegionNode::And:
        cairo_set_operator(cr, CAIRO_OPERATOR_IN);
        break;
    case RegionNode::Xor:
        cairo_set_operator(cr, CAIRO_OPERATOR_XOR);
        break;
    case RegionNode::Exclude:
        cairo_set_operator(cr, CAIRO_OPERATOR_DEST_OUT);
        break;
    case RegionNode::Complement:
        cairo_set_operator(cr, CAIRO_OPERATOR_OUT);
        break;
    default:
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        break;
    }
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_pop_group_to_source(cr);
    cairo_paint(cr);
}

} // namespace

cairo_surface_t* EmfPlusPlayer::ClipMask(const ClipNode& node) {
    if (!node.mask) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, m_gdi.width, m_gdi.height);
        if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(s);
            return nullptr;
        }
        cairo_t* cr = cairo_create(s);
        cairo_set_antialias(cr, m_state.antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
        RenderClipNode(cr, node, SurfaceBox(2), 0);
        cairo_destroy(cr);
        node.mask = std::shared_ptr<cairo_surface_t>(s, cairo_surface_destroy);
    }
    return node.mask.get();
}

// ---- The record loop --------------------------------------------------------------------------

void EmfPlusPlayer::PlayRecord(uint16_t type, uint16_t flags, std::span<const uint8_t> data) {
    Reader r(data);
    switch (type) {
    case kHeader: {
        r.U32(); // version
        r.U32(); // flags
        const uint32_t dpiX = r.U32(), dpiY = r.U32();
        if (!r.Failed() && dpiX > 0 && dpiY > 0 && dpiX < 100000 && dpiY < 100000) {
            m_dpiX = dpiX;
            m_dpiY = dpiY;
        }
        return;
    }
    case kEndOfFile:
        m_ended = true;
        return;
    case kGetDC:
        m_handedToGdi = true;
        return;
    case kObject:
        ObjectRecord(flags, data);
        return;
    case kSetRenderingOrigin:
        m_state.originX = r.I32();
        m_state.originY = r.I32();
        return;
    case kSetAntiAliasMode: {
        const uint32_t mode = (flags >> 1) & 0x7F;
        m_state.antialias = (flags & 1) != 0 || mode == 2 || mode == 4 || mode == 5;
        return;
    }
    case kSetTextRenderingHint:
        m_state.textHint = flags & 0xFF;
        return;
    case kSetInterpolationMode:
        m_state.interpolation = flags & 0xFF;
        return;
    case kSetPixelOffsetMode:
        m_state.pixelOffset = flags & 0xFF;
        return;
    case kSetCompositingMode:
        m_state.compositing = flags & 0xFF;
        return;
    case kSave: {
        const uint32_t index = r.U32();
        if (m_saved.size() < 4096)
            m_saved.emplace_back(index, m_state);
        return;
    }
    case kBeginContainer: {
        const RectF dest = ReadRect(r, false);
        const RectF src = ReadRect(r, false);
        const uint32_t index = r.U32();
        if (r.Failed() || m_saved.size() >= 4096)
            return;
        m_saved.emplace_back(index, m_state);
        if (src.w != 0 && src.h != 0) {
            const double unit = UnitToPixels((flags >> 8) & 0xFF) /
                                (m_state.pageScale * UnitToPixels(m_state.pageUnit));
            const double sx = dest.w / (src.w * unit), sy = dest.h / (src.h * unit);
            cairo_matrix_t c{sx, 0, 0, sy, dest.x - src.x * unit * sx, dest.y - src.y * unit * sy};
            const cairo_matrix_t world = Multiply(c, m_state.world);
            if (FiniteMatrix(world))
                m_state.world = world;
        }
        return;
    }
    case kBeginContainerNoParams: {
        const uint32_t index = r.U32();
        if (m_saved.size() < 4096)
            m_saved.emplace_back(index, m_state);
        return;
    }
    case kRestore:
    case kEndContainer: {
        const uint32_t index = r.U32();
        for (size_t i = m_saved.size(); i-- > 0;) {
            if (m_saved[i].first == index) {
                m_state = m_saved[i].second;
                m_saved.resize(i);
                break;
            }
        }
        return;
    }
    case kSetWorldTransform: {
        const cairo_matrix_t m = ReadMatrix(r);
        if (!r.Failed() && FiniteMatrix(m))
            m_state.world = m;
        return;
    }
    case kResetWorldTransform:
        cairo_matrix_init_identity(&m_state.world);
        return;
    case kMultiplyWorldTransform:
    case kTranslateWorldTransform:
    case kScaleWorldTransform:
    case kRotateWorldTransform: {
        cairo_matrix_t m;
        if (type == kMultiplyWorldTransform) {
            m = ReadMatrix(r);
        } else if (type == kTranslateWorldTransform) {
            const double dx = r.F32(), dy = r.F32();
            cairo_matrix_init_translate(&m, dx, dy);
        } else if (type == kScaleWorldTransform) {
            const double sx = r.F32(), sy = r.F32();
            cairo_matrix_init_scale(&m, sx, sy);
        } else {
            const double angle = r.F32() * M_PI / 180.0;
            cairo_matrix_init_rotate(&m, angle);
        }
        if (r.Failed())
            return;
        // Flag 0x2000: applied after the current transform, else before it.
        const cairo_matrix_t world =
            (flags & 0x2000) ? Multiply(m_state.world, m) : Multiply(m, m_state.world);
        if (FiniteMatrix(world))
            m_state.world = world;
        return;
    }
    case kSetPageTransform: {
        const float scale = r.F32();
        if (!r.Failed() && std::isfinite(scale) && scale > 0 && scale < 1e6) {
            m_state.pageUnit = flags & 0xFF;
            m_state.pageScale = scale;
        }
        return;
    }
    case kResetClip:
        m_state.clip = nullptr;
        return;
    case kSetClipRect: {
        const RectF rect = ReadRect(r, false);
        if (!r.Failed())
            SetClip((flags >> 8) & 0xF, ClipFromPath(RectPath(rect), DeviceMatrix(), false));
        return;
    }
    case kSetClipPath: {
        const auto* path = std::get_if<std::shared_ptr<const PathGeom>>(&m_objects[flags & 0x3F]);
        if ((flags & 0xFF) < 64 && path && *path)
            SetClip((flags >> 8) & 0xF, ClipFromPath(**path, DeviceMatrix(), false));
        return;
    }
    case kSetClipRegion: {
        const auto* region =
            std::get_if<std::shared_ptr<const RegionNode>>(&m_objects[flags & 0x3F]);
        if ((flags & 0xFF) < 64 && region && *region)
            SetClip((flags >> 8) & 0xF, ClipFromRegion(**region, DeviceMatrix()));
        return;
    }
    case kOffsetClip: {
        const double dx = r.F32(), dy = r.F32();
        if (r.Failed() || !m_state.clip || !std::isfinite(dx) || !std::isfinite(dy))
            return;
        // The offset is in world units; the clip is kept in target pixels.
        cairo_matrix_t m = DeviceMatrix();
        double ox = dx, oy = dy;
        cairo_matrix_transform_distance(&m, &ox, &oy);
        cairo_matrix_t shift;
        cairo_matrix_init_translate(&shift, ox, oy);
        std::function<ClipPtr(const ClipPtr&)> move = [&](const ClipPtr& n) -> ClipPtr {
            if (!n)
                return nullptr;
            auto c = std::make_shared<ClipNode>();
            c->type = n->type;
            c->winding = n->winding;
            c->path = TransformPath(n->path, shift);
            c->left = move(n->left);
            c->right = move(n->right);
            return c;
        };
        m_state.clip = move(m_state.clip);
        return;
    }
    default:
        DrawingRecord(type, flags, data);
        return;
    }
}

} // namespace qm::emfplus
