#include "cli/settings_echo.h"

#include <charconv>
#include <cstdint>
#include <string>

#include "cli/console_output.h"
#include "cli/option_values.h"
#include "cli/value_checks.h"
#include "core/text_case.h"

namespace qm {

namespace {

// Debug lines go out only in debug mode; checks print their message and stop the run.
class Echo {
public:
    explicit Echo(bool debug) : m_debug(debug) {}

    void Line(std::string_view label, std::string_view value) const {
        if (m_debug)
            WriteConsoleLine(std::string(label) + std::string(value));
    }
    void Number(std::string_view label, int64_t value) const { Line(label, std::to_string(value)); }
    void Word(std::string_view label, KeywordTable table, int32_t value,
              std::string_view formatId = {}) const {
        Line(label, KeywordName(table, value, formatId));
    }

    // True when the check passed; otherwise its message has been printed.
    static bool Passed(const std::string& message) {
        if (message.empty())
            return true;
        WriteConsoleLine(message);
        return false;
    }

private:
    bool m_debug;
};

// The further settings of the formats that have any, after their depth line.
void EchoFormatExtras(const SettingsRecord& s, std::string_view id, const Echo& echo) {
    const OutputGroup& o = s.Output;
    if (id == "bmp") {
        echo.Word("BMP Compression: ", KeywordTable::Compression, o.BMPCompression, id);
        echo.Word("BMP Color Table: ", KeywordTable::BmpColorTable, o.BMPColorTable);
    } else if (id == "exr") {
        echo.Word("EXR Compression: ", KeywordTable::Compression, o.EXRCompression, id);
    } else if (id == "jpg") {
        echo.Number("JPG Quality: ", o.JPGQuality);
        echo.Word("JPG Chroma Subsampling: ", KeywordTable::JpgChroma, o.JPGChroma);
        echo.Word("JPG Save As: ", KeywordTable::JpgSaveAs, o.JPGSaveAs);
    } else if (id == "png") {
        echo.Word("PNG Compression: ", KeywordTable::Compression, o.PNGCompression, id);
        echo.Number("PNG Interlaced: ", o.PNGInterlaced);
    } else if (id == "tga") {
        echo.Word("TGA Compression: ", KeywordTable::Compression, o.TGACompression, id);
    } else if (id == "tiff") {
        echo.Word("TIFF Compression: ", KeywordTable::Compression, o.TIFFCompression, id);
        echo.Word("TIFF Color Model: ", KeywordTable::ColorModel, o.TIFFColorModel);
    } else if (id == "webp") {
        echo.Number("WEBP Quality: ", o.WEBPQuality);
    }
}

bool EchoResize(const SettingsRecord& s, const Echo& echo) {
    const TransformGroup& t = s.Transform;
    echo.Line("Width: ", std::to_string(t.ImageWidth) + " " +
                             KeywordName(KeywordTable::SizeUnit, t.ImageWidthUnit));
    if (!Echo::Passed(CheckWidth(s)))
        return false;
    echo.Line("Height: ", std::to_string(t.ImageHeight) + " " +
                              KeywordName(KeywordTable::SizeUnit, t.ImageHeightUnit));
    if (!Echo::Passed(CheckHeight(s)))
        return false;
    echo.Number("Keep Aspect Ratio: ", t.KeepAspectRatio);
    echo.Word("Image Resize Type: ", KeywordTable::ResizeType, t.ImageResizeType);
    echo.Word("Image Resize Algorithm: ", KeywordTable::ResizeAlgorithm, t.ImageResizeAlgorithm);
    return true;
}

bool EchoColorCorrection(const SettingsRecord& s, const Echo& echo) {
    const AdjustmentGroup& a = s.Adjustment;
    echo.Number("Brightness: ", a.ImageBrightness);
    if (!Echo::Passed(CheckBrightness(s)))
        return false;
    echo.Number("Contrast: ", a.ImageContrast);
    if (!Echo::Passed(CheckContrast(s)))
        return false;
    echo.Line("Gamma: ", TwoDecimals(a.ImageGamma));
    if (!Echo::Passed(CheckGamma(s)))
        return false;
    echo.Number("Invert: ", a.ImageInvert);
    return true;
}

void EchoFrame(const SettingsRecord& s, const Echo& echo) {
    const FrameGroup& f = s.Frame;
    echo.Word("Frame: ", KeywordTable::FrameKind, f.DoFrame);
    if (f.DoFrame != 1)
        return;
    echo.Number("Frame left: ", f.SolidLeft);
    echo.Number("Frame right: ", f.SolidRight);
    echo.Number("Frame top: ", f.SolidTop);
    echo.Number("Frame bottom: ", f.SolidBottom);
    echo.Line("Frame left color: ", f.SolidLeftColor);
    echo.Line("Frame right color: ", f.SolidRightColor);
    echo.Line("Frame top color: ", f.SolidTopColor);
    echo.Line("Frame bottom color: ", f.SolidBottomColor);
    echo.Number("Frame opacity: ", f.SolidOpacity);
}

std::string Offset(int32_t x, int32_t y) {
    return std::to_string(x) + "/" + std::to_string(y);
}

bool EchoTextWatermark(const SettingsRecord& s, const Echo& echo) {
    const WatermarkGroup& w = s.Watermark;
    echo.Line("Watermark text: ", w.Text);
    echo.Line("Watermark font: ", w.Font);
    echo.Number("Watermark font size: ", w.FontSize);
    echo.Number("Watermark font leading: ", w.FontLeading);
    echo.Line("Watermark font color: ", w.FontColor);
    echo.Word("Watermark font style: ", KeywordTable::FontStyle, w.FontStyle);
    echo.Word("Watermark font effect: ", KeywordTable::FontEffect, w.FontEffect);
    echo.Number("Watermark text antialiasing: ", w.TextAntialiasing);
    echo.Word("Watermark text alignment: ", KeywordTable::TextAlignment, w.TextAlignment);
    echo.Number("Watermark text padding: ", w.TextPadding);
    echo.Number("Watermark text opacity: ", w.TextOpacity);
    echo.Line("Watermark background color: ", w.BackColor);
    echo.Number("Watermark background opacity: ", w.BackOpacity);
    echo.Word("Watermark boundary: ", KeywordTable::Boundary, w.TextBoundary);
    echo.Word("Watermark position: ", KeywordTable::Position, w.TextPosition);
    echo.Line("Watermark offset (x/y): ", Offset(w.TextXOffset, w.TextYOffset));
    echo.Number("Watermark rotation: ", w.TextRotation);
    echo.Word("Watermark size/mode: ", KeywordTable::WatermarkSize, w.TextSize);
    return Echo::Passed(CheckWatermarkFont(s));
}

bool EchoImageWatermark(const SettingsRecord& s, const Echo& echo) {
    const WatermarkGroup& w = s.Watermark;
    echo.Line("Watermark image: ", w.Image);
    echo.Number("Watermark greyscale: ", w.ImageGreyscale);
    echo.Number("Watermark opacity: ", w.ImageOpacity);
    echo.Word("Watermark boundary: ", KeywordTable::Boundary, w.ImageBoundary);
    echo.Word("Watermark position: ", KeywordTable::Position, w.ImagePosition);
    echo.Line("Watermark offset (x/y): ", Offset(w.ImageXOffset, w.ImageYOffset));
    echo.Number("Watermark rotation: ", w.ImageRotation);
    echo.Word("Watermark size/mode: ", KeywordTable::WatermarkSize, w.ImageSize);
    return Echo::Passed(CheckWatermarkImage(s));
}

} // namespace

std::string TwoDecimals(float value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    if (result.ec != std::errc())
        return "0.00";
    return std::string(buffer, result.ptr);
}

bool EchoAndCheckFormatSettings(const SettingsRecord& s, std::string_view formatId, bool debug) {
    const Echo echo(debug);
    const int32_t* depth = FormatDepthSetting(const_cast<SettingsRecord&>(s), formatId);
    echo.Number(UpperAscii(formatId) + " BPP: ", depth ? *depth : 0);
    EchoFormatExtras(s, formatId, echo);
    return Echo::Passed(CheckDepth(formatId, s)) && Echo::Passed(CheckQuality(formatId, s));
}

bool EchoAndCheckImageOperations(const SettingsRecord& s, bool debug) {
    const Echo echo(debug);
    const TransformGroup& t = s.Transform;
    if (t.DoImageRotation == 1) {
        echo.Word("Image Rotation Type: ", KeywordTable::RotationType, t.ImageRotationType);
        echo.Number("Image Rotation: ", t.ImageRotation);
        echo.Line("Image Rotation Back Color: ", t.ImageRotationBackColor);
    }
    if (t.DoImageResize == 1 && !EchoResize(s, echo))
        return false;
    echo.Number("Flip Horizontal: ", t.DoImageFlipHorizontal);
    echo.Number("Flip Vertical: ", t.DoImageFlipVertical);

    const AdjustmentGroup& a = s.Adjustment;
    if (a.DoImageColorCorrection == 1 && !EchoColorCorrection(s, echo))
        return false;
    echo.Number("Greyscale: ", a.DoImageGreyscale);
    if (a.DoImageThreshold == 1)
        echo.Number("Image Threshold: ", a.ImageThreshold);

    EchoFrame(s, echo);

    const WatermarkGroup& w = s.Watermark;
    echo.Word("Watermark: ", KeywordTable::WatermarkKind, w.DoWatermark);
    if (w.DoWatermark == 1 && !EchoTextWatermark(s, echo))
        return false;
    if (w.DoWatermark == 2 && !EchoImageWatermark(s, echo))
        return false;

    const AdvancedGroup& adv = s.Advanced;
    echo.Line("Filename Mask: ", adv.FilenameMask);
    echo.Word("File Timestamp: ", KeywordTable::FileTimestamp, adv.FileTimestamp);
    if (adv.FileTimestamp == 2)
        echo.Number("Custom Timestamp: ", adv.CustomTimestamp);
    echo.Number("Keep Subfolders: ", adv.KeepSubfolders);
    return Echo::Passed(CheckThreads(s));
}

} // namespace qm
