#include "cli/option_table.h"

#include <cctype>
#include <vector>

#include "cli/option_values.h"
#include "core/text_case.h"

namespace qm {

namespace {

using Apply = std::function<void(SettingsRecord&, std::string_view)>;

int32_t Int(std::string_view v) {
    return static_cast<int32_t>(ParseInteger(v));
}

// Stores a number in a one-byte field: only the low 8 bits are kept.
int8_t Byte(int32_t n) {
    return static_cast<int8_t>(n);
}

SettingOption IntegerOption(const char* name, Apply apply) {
    return {name, OptionKind::Integer, -1, std::move(apply)};
}
SettingOption KeywordOption(const char* name, int table, Apply apply) {
    return {name, OptionKind::Keyword, table, std::move(apply)};
}
SettingOption TextOption(const char* name, Apply apply) {
    return {name, OptionKind::Text, -1, std::move(apply)};
}
SettingOption FlagOption(const char* name, Apply apply) {
    return {name, OptionKind::Flag, -1, std::move(apply)};
}

std::vector<SettingOption> BuildTable() {
    std::vector<SettingOption> t;
    // One depth option per output format: --JPG-BPP sets Output/JPG BPP.
    for (const std::string& id : OutputFormats) {
        t.push_back({"--" + UpperAscii(id) + "-BPP", OptionKind::Integer, -1,
                     [id](SettingsRecord& s, std::string_view v) {
                         if (int32_t* field = FormatDepthSetting(s, id))
                             *field = Int(v);
                     }});
    }

    // Output.
    t.push_back(KeywordOption("--BMP-COMPRESSION", 4, [](SettingsRecord& s, std::string_view v) {
        s.Output.BMPCompression = ParseKeyword(KeywordTable::Compression, v);
    }));
    t.push_back(KeywordOption("--BMP-COLOR-TABLE", 5, [](SettingsRecord& s, std::string_view v) {
        s.Output.BMPColorTable = ParseKeyword(KeywordTable::BmpColorTable, v);
    }));
    t.push_back(KeywordOption("--EXR-COMPRESSION", 4, [](SettingsRecord& s, std::string_view v) {
        s.Output.EXRCompression = ParseKeyword(KeywordTable::Compression, v);
    }));
    t.push_back(IntegerOption("--JPG-QUALITY", [](SettingsRecord& s, std::string_view v) {
        s.Output.JPGQuality = Int(v);
    }));
    t.push_back(KeywordOption("--JPG-CHROMA", 7, [](SettingsRecord& s, std::string_view v) {
        s.Output.JPGChroma = ParseKeyword(KeywordTable::JpgChroma, v);
    }));
    t.push_back(KeywordOption("--JPG-SAVE-AS", 8, [](SettingsRecord& s, std::string_view v) {
        s.Output.JPGSaveAs = ParseKeyword(KeywordTable::JpgSaveAs, v);
    }));
    t.push_back(KeywordOption("--PNG-COMPRESSION", 4, [](SettingsRecord& s, std::string_view v) {
        s.Output.PNGCompression = ParseKeyword(KeywordTable::Compression, v);
    }));
    t.push_back(FlagOption("--PNG-INTERLACED", [](SettingsRecord& s, std::string_view) {
        s.Output.PNGInterlaced = 1;
    }));
    t.push_back(KeywordOption("--TGA-COMPRESSION", 4, [](SettingsRecord& s, std::string_view v) {
        s.Output.TGACompression = ParseKeyword(KeywordTable::Compression, v);
    }));
    t.push_back(KeywordOption("--TIFF-COMPRESSION", 4, [](SettingsRecord& s, std::string_view v) {
        s.Output.TIFFCompression = ParseKeyword(KeywordTable::Compression, v);
    }));
    t.push_back(KeywordOption("--TIFF-COLOR-MODEL", 6, [](SettingsRecord& s, std::string_view v) {
        s.Output.TIFFColorModel = ParseKeyword(KeywordTable::ColorModel, v);
    }));
    t.push_back(IntegerOption("--WEBP-QUALITY", [](SettingsRecord& s, std::string_view v) {
        s.Output.WEBPQuality = Int(v);
    }));

    // Input loaders: stored, never used by metafile conversion.
    t.push_back(KeywordOption("--DDS-LOAD-AS", 0, [](SettingsRecord& s, std::string_view v) {
        s.Input.DDSLoadAs = ParseKeyword(KeywordTable::DdsLoadAs, v);
    }));
    t.push_back(KeywordOption("--GIF-FRAME-LOADING", 2, [](SettingsRecord& s, std::string_view v) {
        s.Input.GIFFrameLoading = ParseKeyword(KeywordTable::FrameLoading, v);
    }));
    t.push_back(KeywordOption("--ICO-FRAME-LOADING", 2, [](SettingsRecord& s, std::string_view v) {
        s.Input.ICOFrameLoading = ParseKeyword(KeywordTable::FrameLoading, v);
    }));
    t.push_back(KeywordOption("--TIFF-FRAME-LOADING", 2, [](SettingsRecord& s, std::string_view v) {
        s.Input.TIFFFrameLoading = ParseKeyword(KeywordTable::FrameLoading, v);
    }));
    t.push_back(KeywordOption("--PSD-COLOR-MODEL", 6, [](SettingsRecord& s, std::string_view v) {
        s.Input.PSDColorModel = ParseKeyword(KeywordTable::ColorModel, v);
    }));
    t.push_back(KeywordOption("--RAW-LOAD-AS", 1, [](SettingsRecord& s, std::string_view v) {
        s.Input.RAWLoadAs = ParseKeyword(KeywordTable::RawLoadAs, v);
    }));
    t.push_back(IntegerOption("--RAW-HEADER-SIZE", [](SettingsRecord& s, std::string_view v) {
        s.Input.RAWHeaderSize = Int(v);
    }));
    t.push_back(IntegerOption("--RAW-WIDTH", [](SettingsRecord& s, std::string_view v) {
        s.Input.RAWImageWidth = Int(v);
    }));
    t.push_back(IntegerOption("--RAW-HEIGHT", [](SettingsRecord& s, std::string_view v) {
        s.Input.RAWImageHeight = Int(v);
    }));
    t.push_back(KeywordOption("--RAW-TONE-MAPPING", 3, [](SettingsRecord& s, std::string_view v) {
        s.Input.RAWToneMapping = ParseKeyword(KeywordTable::RawToneMapping, v);
    }));

    // Transform and adjustment.
    t.push_back(KeywordOption("--ROTATION-TYPE", 9, [](SettingsRecord& s, std::string_view v) {
        s.Transform.ImageRotationType = Byte(ParseKeyword(KeywordTable::RotationType, v));
    }));
    t.push_back(IntegerOption("--ROTATION", [](SettingsRecord& s, std::string_view v) {
        s.Transform.ImageRotation = Int(v);
        s.Transform.DoImageRotation = 1;
    }));
    t.push_back(TextOption("--ROTATION-BACK-COLOR", [](SettingsRecord& s, std::string_view v) {
        s.Transform.ImageRotationBackColor = v;
    }));
    t.push_back(IntegerOption("--WIDTH", [](SettingsRecord& s, std::string_view v) {
        s.Transform.ImageWidth = Int(v);
        s.Transform.DoImageResize = 1;
    }));
    t.push_back(KeywordOption("--WIDTH-UNIT", 10, [](SettingsRecord& s, std::string_view v) {
        s.Transform.ImageWidthUnit = Byte(ParseKeyword(KeywordTable::SizeUnit, v));
    }));
    t.push_back(IntegerOption("--HEIGHT", [](SettingsRecord& s, std::string_view v) {
        s.Transform.ImageHeight = Int(v);
        s.Transform.DoImageResize = 1;
    }));
    t.push_back(KeywordOption("--HEIGHT-UNIT", 10, [](SettingsRecord& s, std::string_view v) {
        s.Transform.ImageHeightUnit = Byte(ParseKeyword(KeywordTable::SizeUnit, v));
    }));
    t.push_back(FlagOption("--KEEP-ASPECT-RATIO", [](SettingsRecord& s, std::string_view) {
        s.Transform.KeepAspectRatio = 1;
    }));
    t.push_back(KeywordOption("--RESIZE-TYPE", 11, [](SettingsRecord& s, std::string_view v) {
        s.Transform.ImageResizeType = Byte(ParseKeyword(KeywordTable::ResizeType, v));
    }));
    t.push_back(KeywordOption("--RESIZE-ALGORITHM", 12, [](SettingsRecord& s, std::string_view v) {
        s.Transform.ImageResizeAlgorithm = Byte(ParseKeyword(KeywordTable::ResizeAlgorithm, v));
    }));
    t.push_back(FlagOption("--FLIP-HORIZONTAL", [](SettingsRecord& s, std::string_view) {
        s.Transform.DoImageFlipHorizontal = 1;
    }));
    t.push_back(FlagOption("--FLIP-VERTICAL", [](SettingsRecord& s, std::string_view) {
        s.Transform.DoImageFlipVertical = 1;
    }));
    t.push_back(IntegerOption("--BRIGHTNESS", [](SettingsRecord& s, std::string_view v) {
        s.Adjustment.ImageBrightness = Int(v);
        s.Adjustment.DoImageColorCorrection = 1;
    }));
    t.push_back(IntegerOption("--CONTRAST", [](SettingsRecord& s, std::string_view v) {
        s.Adjustment.ImageContrast = Int(v);
        s.Adjustment.DoImageColorCorrection = 1;
    }));
    t.push_back({"--GAMMA", OptionKind::Real, -1, [](SettingsRecord& s, std::string_view v) {
                     s.Adjustment.ImageGamma = ParseReal(v);
                     s.Adjustment.DoImageColorCorrection = 1;
                 }});
    t.push_back(FlagOption("--INVERT", [](SettingsRecord& s, std::string_view) {
        s.Adjustment.ImageInvert = 1;
        s.Adjustment.DoImageColorCorrection = 1;
    }));
    t.push_back(FlagOption("--GREYSCALE", [](SettingsRecord& s, std::string_view) {
        s.Adjustment.DoImageGreyscale = 1;
    }));
    t.push_back(IntegerOption("--THRESHOLD", [](SettingsRecord& s, std::string_view v) {
        s.Adjustment.ImageThreshold = Int(v);
        s.Adjustment.DoImageThreshold = 1;
    }));

    // Frame.
    t.push_back(IntegerOption("--FR-SOLID-LEFT", [](SettingsRecord& s, std::string_view v) {
        s.Frame.SolidLeft = Int(v);
        s.Frame.DoFrame = 1;
    }));
    t.push_back(IntegerOption("--FR-SOLID-RIGHT", [](SettingsRecord& s, std::string_view v) {
        s.Frame.SolidRight = Int(v);
        s.Frame.DoFrame = 1;
    }));
    t.push_back(IntegerOption("--FR-SOLID-TOP", [](SettingsRecord& s, std::string_view v) {
        s.Frame.SolidTop = Int(v);
        s.Frame.DoFrame = 1;
    }));
    t.push_back(IntegerOption("--FR-SOLID-BOTTOM", [](SettingsRecord& s, std::string_view v) {
        s.Frame.SolidBottom = Int(v);
        s.Frame.DoFrame = 1;
    }));
    t.push_back(TextOption("--FR-SOLID-LEFT-COLOR", [](SettingsRecord& s, std::string_view v) {
        s.Frame.SolidLeftColor = v;
    }));
    t.push_back(TextOption("--FR-SOLID-RIGHT-COLOR", [](SettingsRecord& s, std::string_view v) {
        s.Frame.SolidRightColor = v;
    }));
    t.push_back(TextOption("--FR-SOLID-TOP-COLOR", [](SettingsRecord& s, std::string_view v) {
        s.Frame.SolidTopColor = v;
    }));
    t.push_back(TextOption("--FR-SOLID-BOTTOM-COLOR", [](SettingsRecord& s, std::string_view v) {
        s.Frame.SolidBottomColor = v;
    }));
    t.push_back(IntegerOption("--FR-SOLID-OPACITY", [](SettingsRecord& s, std::string_view v) {
        s.Frame.SolidOpacity = Int(v);
    }));

    // Watermark.
    t.push_back(TextOption("--WM-TEXT", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.Text = v;
        s.Watermark.DoWatermark = 1;
    }));
    t.push_back(TextOption("--WM-FONT",
                           [](SettingsRecord& s, std::string_view v) { s.Watermark.Font = v; }));
    t.push_back(IntegerOption("--WM-FONT-SIZE", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.FontSize = Int(v);
    }));
    t.push_back(IntegerOption("--WM-FONT-LEADING", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.FontLeading = Int(v);
    }));
    t.push_back(TextOption("--WM-FONT-COLOR", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.FontColor = v;
    }));
    t.push_back(KeywordOption("--WM-FONT-STYLE", 15, [](SettingsRecord& s, std::string_view v) {
        s.Watermark.FontStyle = Byte(ParseKeyword(KeywordTable::FontStyle, v));
    }));
    t.push_back(KeywordOption("--WM-FONT-EFFECT", 16, [](SettingsRecord& s, std::string_view v) {
        s.Watermark.FontEffect = Byte(ParseKeyword(KeywordTable::FontEffect, v));
    }));
    t.push_back(FlagOption("--WM-TEXT-ANTIALIASING", [](SettingsRecord& s, std::string_view) {
        s.Watermark.TextAntialiasing = 1;
    }));
    t.push_back(KeywordOption("--WM-TEXT-ALIGNMENT", 17, [](SettingsRecord& s, std::string_view v) {
        s.Watermark.TextAlignment = Byte(ParseKeyword(KeywordTable::TextAlignment, v));
    }));
    t.push_back(IntegerOption("--WM-TEXT-PADDING", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.TextPadding = Int(v);
    }));
    t.push_back(IntegerOption("--WM-TEXT-OPACITY", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.TextOpacity = Int(v);
    }));
    t.push_back(TextOption("--WM-BACK-COLOR", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.BackColor = v;
    }));
    t.push_back(IntegerOption("--WM-BACK-OPACITY", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.BackOpacity = Int(v);
    }));
    t.push_back(KeywordOption("--WM-TEXT-BOUNDARY", 18, [](SettingsRecord& s, std::string_view v) {
        s.Watermark.TextBoundary = Byte(ParseKeyword(KeywordTable::Boundary, v));
    }));
    t.push_back(KeywordOption("--WM-TEXT-POSITION", 19, [](SettingsRecord& s, std::string_view v) {
        s.Watermark.TextPosition = Byte(ParseKeyword(KeywordTable::Position, v));
    }));
    t.push_back(IntegerOption("--WM-TEXT-X-OFFSET", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.TextXOffset = Int(v);
    }));
    t.push_back(IntegerOption("--WM-TEXT-Y-OFFSET", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.TextYOffset = Int(v);
    }));
    t.push_back(IntegerOption("--WM-TEXT-ROTATION", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.TextRotation = Int(v);
    }));
    t.push_back(KeywordOption("--WM-TEXT-SIZE", 20, [](SettingsRecord& s, std::string_view v) {
        s.Watermark.TextSize = Byte(ParseKeyword(KeywordTable::WatermarkSize, v));
    }));
    t.push_back(TextOption("--WM-IMAGE", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.Image = v;
        s.Watermark.DoWatermark = 2;
    }));
    t.push_back(FlagOption("--WM-IMAGE-GREYSCALE", [](SettingsRecord& s, std::string_view) {
        s.Watermark.ImageGreyscale = 1;
    }));
    t.push_back(IntegerOption("--WM-IMAGE-OPACITY", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.ImageOpacity = Int(v);
    }));
    t.push_back(KeywordOption("--WM-IMAGE-BOUNDARY", 18, [](SettingsRecord& s, std::string_view v) {
        s.Watermark.ImageBoundary = Byte(ParseKeyword(KeywordTable::Boundary, v));
    }));
    t.push_back(KeywordOption("--WM-IMAGE-POSITION", 19, [](SettingsRecord& s, std::string_view v) {
        s.Watermark.ImagePosition = Byte(ParseKeyword(KeywordTable::Position, v));
    }));
    t.push_back(IntegerOption("--WM-IMAGE-X-OFFSET", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.ImageXOffset = Int(v);
    }));
    t.push_back(IntegerOption("--WM-IMAGE-Y-OFFSET", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.ImageYOffset = Int(v);
    }));
    t.push_back(IntegerOption("--WM-IMAGE-ROTATION", [](SettingsRecord& s, std::string_view v) {
        s.Watermark.ImageRotation = Int(v);
    }));
    t.push_back(KeywordOption("--WM-IMAGE-SIZE", 20, [](SettingsRecord& s, std::string_view v) {
        s.Watermark.ImageSize = Byte(ParseKeyword(KeywordTable::WatermarkSize, v));
    }));

    // Output naming.
    t.push_back(TextOption("--FILENAME-MASK", [](SettingsRecord& s, std::string_view v) {
        s.Advanced.FilenameMask = v;
    }));
    // Metafiles with EMF+ records: which of their records are played.
    t.push_back(KeywordOption("--EMFPLUS", 22, [](SettingsRecord& s, std::string_view v) {
        s.Input.EMFPlusPlayback = ParseKeyword(KeywordTable::EmfPlusPlayback, v);
    }));
    // How many files are converted at once; 0 for one per processor core.
    t.push_back(IntegerOption(
        "--THREADS", [](SettingsRecord& s, std::string_view v) { s.Advanced.Threads = Int(v); }));
    t.push_back(KeywordOption("--FILE-TIMESTAMP", 21, [](SettingsRecord& s, std::string_view v) {
        s.Advanced.FileTimestamp = Byte(ParseKeyword(KeywordTable::FileTimestamp, v));
    }));
    t.push_back(IntegerOption("--FILE-TIMESTAMP-CUSTOM", [](SettingsRecord& s, std::string_view v) {
        s.Advanced.CustomTimestamp = Int(v);
    }));
    t.push_back(FlagOption("--NO-SUBFOLDERS", [](SettingsRecord& s, std::string_view) {
        s.Advanced.KeepSubfolders = 0;
    }));
    return t;
}

} // namespace

std::span<const SettingOption> SettingOptions() {
    static const std::vector<SettingOption> table = BuildTable();
    return table;
}

const SettingOption* FindSettingOption(std::string_view upperName) {
    for (const SettingOption& o : SettingOptions())
        if (o.name == upperName)
            return &o;
    return nullptr;
}

bool ApplySettingOption(std::string_view upperName, std::string_view value, SettingsRecord& s) {
    const SettingOption* option = FindSettingOption(upperName);
    if (!option)
        return false;
    option->apply(s, value);
    return true;
}

bool OptionTakesValue(std::string_view upperName) {
    const SettingOption* option = FindSettingOption(upperName);
    return option && option->kind != OptionKind::Flag;
}

bool IsTextOption(std::string_view upperName) {
    const SettingOption* option = FindSettingOption(upperName);
    return option && option->kind == OptionKind::Text;
}

} // namespace qm
