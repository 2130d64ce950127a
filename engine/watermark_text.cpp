// The text watermark: lines of text in a padded box with a back colour.
#include "engine/watermark.h"

#include <FreeImage.h>

#include "core/text_case.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/formats.h"
#include "engine/layer_bitmap.h"
#include "engine/naming.h"
#include "engine/transform.h"
#include "platform/draw/layer.h"
#include "platform/draw/text.h"
#include "platform/fonts/font_match.h"

namespace qm {

namespace {

constexpr std::string_view kLineBreak = "%eol%";
// Larger boxes are not drawn (the drawing layers stop there).
constexpr long long kMaxLayerSide = 32767;

// The request for the watermark font, or an empty file name when the family does not load.
draw::FontRequest WatermarkFontRequest(const WatermarkGroup& w) {
    draw::FontRequest request;
    if (w.FontSize <= 0 || !fonts::IsFontLoadable(w.Font))
        return request;
    const bool bold = w.FontStyle == 1 || w.FontStyle == 3;
    const bool italic = w.FontStyle == 2 || w.FontStyle == 3;
    const fonts::FontMatch match = fonts::MatchFont(w.Font, bold ? 700 : 400, italic);
    request.file = match.file;
    request.index = match.index;
    request.sizePoints = w.FontSize;
    request.syntheticBold = match.syntheticBold;
    request.syntheticItalic = match.syntheticItalic;
    request.underline = w.FontEffect == 1;
    request.strikeOut = w.FontEffect == 2;
    return request;
}

// The watermark font stays loaded while consecutive files ask for the same one.
std::shared_ptr<const draw::TextFont> WatermarkFont(const WatermarkGroup& w) {
    static std::mutex lock;
    static std::string cachedKey;
    static std::shared_ptr<const draw::TextFont> cached;
    const std::string key = w.Font + "|" + std::to_string(w.FontSize) + "|" +
                            std::to_string(w.FontStyle) + "|" + std::to_string(w.FontEffect);
    std::lock_guard<std::mutex> guard(lock);
    if (!cached || key != cachedKey) {
        const draw::FontRequest request = WatermarkFontRequest(w);
        auto font = request.file.empty() ? nullptr : std::make_shared<draw::TextFont>(request);
        cached = font && font->Valid() ? font : nullptr;
        cachedKey = key;
    }
    return cached;
}

// The lines of the text; "%eol%" in any letter case breaks them.
std::vector<std::string> SplitLines(const std::string& text) {
    const std::string lower = LowerAscii(text);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at = lower.find(kLineBreak); at != std::string::npos;
         at = lower.find(kLineBreak, start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + kLineBreak.size();
    }
    lines.push_back(text.substr(start));
    return lines;
}

struct PlacedLine {
    std::string text;
    long long x = 0;
    long long y = 0;
};

// Sizes are sums of setting values, so they are kept in 64 bits until the layer checks them.
struct TextBox {
    long long width = 0;
    long long height = 0;
    std::vector<PlacedLine> lines;
};

std::pair<long long, long long> Measure(const draw::TextFont& font, const std::string& line,
                                        draw::TextMode mode) {
    const draw::TextExtent e = font.Measure(line, mode);
    return {std::llround(e.width), std::llround(e.height)};
}

// Measures the lines and places them in the padded box. Text is measured the way it will be
// drawn, so that smooth text fits its box as well as raster text does.
TextBox LayOut(const std::string& text, const draw::TextFont& font, const WatermarkGroup& w,
               draw::TextMode mode) {
    const long long padding = w.TextPadding;
    const std::vector<std::string> lines = SplitLines(text);
    TextBox box;
    if (lines.size() == 1) {
        const auto [textW, textH] = Measure(font, text, mode);
        box.width = textW + 2 * padding;
        box.height = textH + 2 * padding;
        box.lines.push_back({text, padding, padding});
        return box;
    }
    // Several lines share one line height; the box is never narrower or lower than 10 pixels.
    long long maxW = 10, maxH = 10;
    std::vector<long long> widths;
    for (const std::string& line : lines) {
        const auto [lineW, lineH] = Measure(font, line, mode);
        widths.push_back(lineW);
        maxW = std::max(maxW, lineW);
        maxH = std::max(maxH, lineH);
    }
    const long long step = maxH + w.FontLeading;
    const long long breaks = static_cast<long long>(lines.size()) - 1;
    box.width = maxW + 2 * padding;
    box.height = maxH + breaks * step + 2 * padding;
    if (box.width <= 0 || box.height <= 0 || box.width > kMaxLayerSide ||
        box.height > kMaxLayerSide)
        return box;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int x = AlignLine(static_cast<int>(widths[i]), static_cast<int>(box.width),
                                w.TextAlignment, static_cast<int>(padding));
        box.lines.push_back({lines[i], x, padding + static_cast<long long>(i) * step});
    }
    return box;
}

draw::Rgba Colour(const std::string& text, int alpha) {
    const RGBQUAD c = ParseColor(text);
    return draw::Rgba{c.rgbRed, c.rgbGreen, c.rgbBlue,
                      static_cast<uint8_t>(std::clamp(alpha, 0, 255))};
}

// The job as the tokens should see it for this picture: its size, and the depth it will get.
ConversionJobRecord TokenJob(const ConversionJobRecord& job, int width, int height) {
    ConversionJobRecord current = job;
    current.FinalWidth = width;
    current.FinalHeight = height;
    if (job.AutoDepth) {
        const int32_t depth = ChooseAutoDepth(job.FormatId, job.SourceDepth);
        if (depth > 0)
            current.TargetDepth = depth;
    }
    return current;
}

} // namespace

bool WatermarkFontLoads(const SettingsRecord& s) {
    return WatermarkFont(s.Watermark) != nullptr;
}

FIBITMAP* BuildTextWatermark(const SettingsRecord& s, const ConversionJobRecord& job, int width,
                             int height) {
    const WatermarkGroup& w = s.Watermark;
    const std::shared_ptr<const draw::TextFont> font = WatermarkFont(w);
    if (!font)
        return nullptr;
    const std::string text = ExpandTokens(w.Text, TokenJob(job, width, height), s);
    const bool raster = w.TextAntialiasing == 0;
    const draw::TextMode mode = raster ? draw::TextMode::Raster : draw::TextMode::Antialiased;
    const TextBox box = LayOut(text, *font, w, mode);
    if (box.width <= 0 || box.height <= 0 || box.width > kMaxLayerSide ||
        box.height > kMaxLayerSide)
        return nullptr;
    const int boxW = static_cast<int>(box.width), boxH = static_cast<int>(box.height);

    draw::Layer layer(boxW, boxH);
    if (!layer.Valid())
        return nullptr;
    if (raster) {
        // Box and glyphs are written as they are, each with its own opacity.
        draw::FillLayer(layer, Colour(w.BackColor, w.BackOpacity));
        for (const PlacedLine& line : box.lines)
            font->Draw(layer, static_cast<double>(line.x), static_cast<double>(line.y), line.text,
                       Colour(w.FontColor, w.TextOpacity), mode);
        return LayerToBitmap(layer);
    }
    // Smooth text: box and text are drawn opaque on layers of their own, then blended with
    // their opacities.
    draw::Layer back(boxW, boxH);
    draw::Layer glyphs(boxW, boxH);
    if (!back.Valid() || !glyphs.Valid())
        return nullptr;
    draw::FillLayer(back, Colour(w.BackColor, 255));
    for (const PlacedLine& line : box.lines)
        font->Draw(glyphs, static_cast<double>(line.x), static_cast<double>(line.y), line.text,
                   Colour(w.FontColor, 255), mode);
    draw::DrawLayer(layer, back, 0, 0, w.BackOpacity);
    draw::DrawLayer(layer, glyphs, 0, 0, w.TextOpacity);
    return LayerToBitmap(layer);
}

} // namespace qm
