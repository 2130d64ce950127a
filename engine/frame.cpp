#include "engine/frame.h"

#include <FreeImage.h>

#include <string>

#include "engine/layer_bitmap.h"
#include "engine/transform.h"
#include "platform/draw/layer.h"

namespace qm {

namespace {

draw::Rgba Opaque(const std::string& text) {
    const RGBQUAD c = ParseColor(text);
    return draw::Rgba{c.rgbRed, c.rgbGreen, c.rgbBlue, 255};
}

// A path step "l dx dy" (relative line) with the offsets written as plain integers.
std::string Line(long long dx, long long dy) {
    return " l " + std::to_string(dx) + " " + std::to_string(dy);
}

std::string Move(long long x, long long y) {
    return "M " + std::to_string(x) + " " + std::to_string(y);
}

// The four corner squares, then the four bands over them: each band is a trapezoid whose
// slanted ends split the corners along their diagonals.
void PaintFrame(draw::Layer& layer, const FrameGroup& f) {
    // Wide enough that no setting value can overflow the sums below.
    const long long w = layer.Width();
    const long long h = layer.Height();
    const long long l = f.SolidLeft, r = f.SolidRight, t = f.SolidTop, b = f.SolidBottom;
    const draw::Rgba left = Opaque(f.SolidLeftColor), right = Opaque(f.SolidRightColor);
    const draw::Rgba top = Opaque(f.SolidTopColor), bottom = Opaque(f.SolidBottomColor);

    auto rect = [&](long long x, long long y, long long rw, long long rh, draw::Rgba c) {
        draw::FillRect(layer, static_cast<double>(x), static_cast<double>(y),
                       static_cast<double>(rw), static_cast<double>(rh), c);
    };
    rect(0, 0, l, t, top);
    rect(w - r, 0, r, t, right);
    rect(w - r, h - b, r, b, bottom);
    rect(0, h - b, l, b, left);

    draw::FillPath(layer, Move(0, 0) + Line(w, 0) + Line(-r, t) + Line(-(w - l - r), 0) + " Z",
                   top);
    draw::FillPath(layer, Move(w, 0) + Line(0, h) + Line(-r, -b) + Line(0, -(h - t - b)) + " Z",
                   right);
    draw::FillPath(layer, Move(w, h) + Line(-w, 0) + Line(l, -b) + Line(w - l - r, 0) + " Z",
                   bottom);
    draw::FillPath(layer, Move(0, h) + Line(0, -h) + Line(l, t) + Line(0, h - t - b) + " Z", left);
}

} // namespace

FIBITMAP* DrawFrame(FIBITMAP* dib, int, int, const SettingsRecord& s) {
    if (!dib || s.Frame.DoFrame == 0)
        return dib;
    if (FreeImage_GetBPP(dib) != 24) {
        FIBITMAP* converted = FreeImage_ConvertTo24Bits(dib);
        FreeImage_Unload(dib);
        dib = converted;
        if (!dib)
            return nullptr;
    }
    if (s.Frame.DoFrame != 1)
        return dib;

    // The picture's own size: the layer has to match it to be composited.
    const int width = static_cast<int>(FreeImage_GetWidth(dib));
    const int height = static_cast<int>(FreeImage_GetHeight(dib));
    draw::Layer frame(width, height);
    if (!frame.Valid())
        return dib;
    PaintFrame(frame, s.Frame);

    // The whole frame fades by one opacity, so overlapping bands do not show through.
    draw::Layer faded(width, height);
    draw::DrawLayer(faded, frame, 0, 0, s.Frame.SolidOpacity);

    const Bitmap layer(LayerToBitmap(faded));
    return CompositeOver(layer.get(), dib);
}

} // namespace qm
