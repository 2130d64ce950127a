#include "core/settings.h"
#include "core/text_case.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <mutex>

namespace qm {

const char* const DefaultWatermarkText = "\xC2\xA9 2019-2026 Tarvenix";
const char* const DefaultColorList =
    "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";

SettingsRecord Settings;

const std::vector<std::string> InputFormats = {"emf"};
const std::vector<std::string> OutputFormats = {
    "bmp", "dds", "exr", "gif", "hdr", "ico", "j2k", "jng",  "jp2",  "jpg",  "jxr", "pbm",
    "pcx", "pfm", "pgm", "png", "ppm", "psd", "tga", "tiff", "wbmp", "webp", "xpm"};

namespace {

int32_t g_desktopWidth = 0;
int32_t g_desktopHeight = 0;

#define QM_KEY(grp, member, type, name)                                                            \
    SettingKey {                                                                                   \
#grp, name, SettingType::type, [](SettingsRecord & s) -> void* { return &s.grp.member; }   \
    }

// config.ini order. Keys that are read but never written stand where the reader meets them.
const SettingKey kKeys[] = {
    QM_KEY(General, CFG, Int32, "CFG"),
    QM_KEY(General, Language, Text, "Language"),
    QM_KEY(General, UpdateRange, Int32, "Update Range"),
    QM_KEY(General, UpdateDate, DateTime, "Update Date"),
    QM_KEY(General, SaveWindowPosition, Int8, "Save Window Position"),

    QM_KEY(Window, IsMaximized, Int8, "IsMaximized"),
    QM_KEY(Window, Width, Int32, "Width"),
    QM_KEY(Window, Height, Int32, "Height"),
    QM_KEY(Window, X, Int32, "X"),
    QM_KEY(Window, Y, Int32, "Y"),
    QM_KEY(Window, HidePasswords, Int8, "Hide Passwords"),
    QM_KEY(Window, ShowSinglePassword, Int8, "Show Single Password"),
    QM_KEY(Window, ShowPasswordList, Int8, "Show Password List"),
    QM_KEY(Window, ShowCharacterSet, Int8, "Show Character Set"),
    QM_KEY(Window, ShowAdvancedOptions, Int8, "Show Advanced Options"),

    QM_KEY(Interface, UITheme, Text, "UI Theme"),
    QM_KEY(Interface, UISize, Int32, "UI Size"),

    QM_KEY(Input, Format, Text, "Format"),
    QM_KEY(Input, DDSLoadAs, Int32, "DDS Load As"),
    QM_KEY(Input, GIFFrameLoading, Int32, "GIF Frame Loading"),
    QM_KEY(Input, ICOFrameLoading, Int32, "ICO Frame Loading"),
    QM_KEY(Input, PSDColorModel, Int32, "PSD Color Model"),
    QM_KEY(Input, RAWLoadAs, Int32, "RAW Load As"),
    QM_KEY(Input, RAWHeaderSize, Int32, "RAW Header Size"),
    QM_KEY(Input, RAWImageWidth, Int32, "RAW Image Width"),
    QM_KEY(Input, RAWImageHeight, Int32, "RAW Image Height"),
    QM_KEY(Input, RAWToneMapping, Int32, "RAW Tone Mapping"),
    QM_KEY(Input, TIFFFrameLoading, Int32, "TIFF Frame Loading"),

    QM_KEY(Output, Format, Text, "Format"),
    QM_KEY(Output, BMPBPP, Int32, "BMP BPP"),
    QM_KEY(Output, BMPCompression, Int32, "BMP Compression"),
    QM_KEY(Output, BMPColorTable, Int32, "BMP Color Table"),
    QM_KEY(Output, DDSBPP, Int32, "DDS BPP"),
    QM_KEY(Output, EXRBPP, Int32, "EXR BPP"),
    QM_KEY(Output, EXRCompression, Int32, "EXR Compression"),
    QM_KEY(Output, GIFBPP, Int32, "GIF BPP"),
    QM_KEY(Output, HDRBPP, Int32, "HDR BPP"),
    QM_KEY(Output, ICOBPP, Int32, "ICO BPP"),
    QM_KEY(Output, J2KBPP, Int32, "J2K BPP"),
    QM_KEY(Output, JNGBPP, Int32, "JNG BPP"),
    QM_KEY(Output, JP2BPP, Int32, "JP2 BPP"),
    QM_KEY(Output, JPGBPP, Int32, "JPG BPP"),
    QM_KEY(Output, JPGQuality, Int32, "JPG Quality"),
    QM_KEY(Output, JPGChroma, Int32, "JPG Chroma"),
    QM_KEY(Output, JPGSaveAs, Int32, "JPG Save As"),
    QM_KEY(Output, JXRBPP, Int32, "JXR BPP"),
    QM_KEY(Output, PBMBPP, Int32, "PBM BPP"),
    QM_KEY(Output, PCXBPP, Int32, "PCX BPP"),
    QM_KEY(Output, PFMBPP, Int32, "PFM BPP"),
    QM_KEY(Output, PGMBPP, Int32, "PGM BPP"),
    QM_KEY(Output, PNGBPP, Int32, "PNG BPP"),
    QM_KEY(Output, PNGCompression, Int32, "PNG Compression"),
    QM_KEY(Output, PNGInterlaced, Int8, "PNG Interlaced"),
    QM_KEY(Output, PPMBPP, Int32, "PPM BPP"),
    QM_KEY(Output, PSDBPP, Int32, "PSD BPP"),
    QM_KEY(Output, TGABPP, Int32, "TGA BPP"),
    QM_KEY(Output, TGACompression, Int32, "TGA Compression"),
    QM_KEY(Output, TIFFBPP, Int32, "TIFF BPP"),
    QM_KEY(Output, TIFFCompression, Int32, "TIFF Compression"),
    QM_KEY(Output, TIFFColorModel, Int32, "TIFF Color Model"),
    QM_KEY(Output, WBMPBPP, Int32, "WBMP BPP"),
    QM_KEY(Output, WEBPBPP, Int32, "WEBP BPP"),
    QM_KEY(Output, WEBPQuality, Int32, "WEBP Quality"),
    QM_KEY(Output, XPMBPP, Int32, "XPM BPP"),

    QM_KEY(Transform, DoImageRotation, Int8, "Do Image Rotation"),
    QM_KEY(Transform, ImageRotationType, Int8, "Image Rotation Type"),
    QM_KEY(Transform, ImageRotation, Int32, "Image Rotation"),
    QM_KEY(Transform, ImageRotationBackColor, Text, "Image Rotation Back Color"),
    QM_KEY(Transform, DoImageResize, Int8, "Do Image Resize"),
    QM_KEY(Transform, ImageWidth, Int32, "Image Width"),
    QM_KEY(Transform, ImageWidthUnit, Int8, "Image Width Unit"),
    QM_KEY(Transform, ImageHeight, Int32, "Image Height"),
    QM_KEY(Transform, ImageHeightUnit, Int8, "Image Height Unit"),
    QM_KEY(Transform, KeepAspectRatio, Int8, "Keep Aspect Ratio"),
    QM_KEY(Transform, ImageResizeType, Int8, "Image Resize Type"),
    QM_KEY(Transform, ImageResizeAlgorithm, Int8, "Image Resize Algorithm"),
    QM_KEY(Transform, DoImageFlipHorizontal, Int8, "Do Image Flip Horizontal"),
    QM_KEY(Transform, DoImageFlipVertical, Int8, "Do Image Flip Vertical"),

    QM_KEY(Adjustment, DoImageColorCorrection, Int8, "Do Image Color Correction"),
    QM_KEY(Adjustment, ImageBrightness, Int32, "Image Brightness"),
    QM_KEY(Adjustment, ImageContrast, Int32, "Image Contrast"),
    QM_KEY(Adjustment, ImageGamma, Float32, "Image Gamma"),
    QM_KEY(Adjustment, ImageInvert, Int8, "Image Invert"),
    QM_KEY(Adjustment, DoImageGreyscale, Int8, "Do Image Greyscale"),
    QM_KEY(Adjustment, DoImageThreshold, Int8, "Do Image Threshold"),
    QM_KEY(Adjustment, ImageThreshold, Int32, "Image Threshold"),

    QM_KEY(Frame, DoFrame, Int8, "Do Frame"),
    QM_KEY(Frame, SolidLeft, Int32, "Solid Left"),
    QM_KEY(Frame, SolidRight, Int32, "Solid Right"),
    QM_KEY(Frame, SolidTop, Int32, "Solid Top"),
    QM_KEY(Frame, SolidBottom, Int32, "Solid Bottom"),
    QM_KEY(Frame, SolidLeftColor, Text, "Solid Left Color"),
    QM_KEY(Frame, SolidRightColor, Text, "Solid Right Color"),
    QM_KEY(Frame, SolidTopColor, Text, "Solid Top Color"),
    QM_KEY(Frame, SolidBottomColor, Text, "Solid Bottom Color"),
    QM_KEY(Frame, SolidOpacity, Int32, "Solid Opacity"),

    QM_KEY(Watermark, DoWatermark, Int8, "Do Watermark"),
    QM_KEY(Watermark, Text, Text, "Text"),
    QM_KEY(Watermark, Fonts, Text, "Fonts"),
    QM_KEY(Watermark, Font, Text, "Font"),
    QM_KEY(Watermark, FontSize, Int32, "Font Size"),
    QM_KEY(Watermark, FontLeading, Int32, "Font Leading"),
    QM_KEY(Watermark, FontColors, Text, "Font Colors"),
    QM_KEY(Watermark, FontColor, Text, "Font Color"),
    QM_KEY(Watermark, FontStyle, Int8, "Font Style"),
    QM_KEY(Watermark, FontEffect, Int8, "Font Effect"),
    QM_KEY(Watermark, TextAntialiasing, Int8, "Text Antialiasing"),
    QM_KEY(Watermark, TextAlignment, Int8, "Text Alignment"),
    QM_KEY(Watermark, TextPadding, Int32, "Text Padding"),
    QM_KEY(Watermark, TextOpacity, Int32, "Text Opacity"),
    QM_KEY(Watermark, BackColors, Text, "Back Colors"),
    QM_KEY(Watermark, BackColor, Text, "Back Color"),
    QM_KEY(Watermark, BackOpacity, Int32, "Back Opacity"),
    QM_KEY(Watermark, TextBoundary, Int8, "Text Boundary"),
    QM_KEY(Watermark, TextPosition, Int8, "Text Position"),
    QM_KEY(Watermark, TextXOffset, Int32, "Text X Offset"),
    QM_KEY(Watermark, TextYOffset, Int32, "Text Y Offset"),
    QM_KEY(Watermark, TextRotation, Int32, "Text Rotation"),
    QM_KEY(Watermark, TextSize, Int8, "Text Size"),
    QM_KEY(Watermark, TextScale, Int32, "Text Scale"),
    QM_KEY(Watermark, Image, Text, "Image"),
    QM_KEY(Watermark, ImageGreyscale, Int8, "Image Greyscale"),
    QM_KEY(Watermark, ImageOpacity, Int32, "Image Opacity"),
    QM_KEY(Watermark, ImageBoundary, Int8, "Image Boundary"),
    QM_KEY(Watermark, ImagePosition, Int8, "Image Position"),
    QM_KEY(Watermark, ImageXOffset, Int32, "Image X Offset"),
    QM_KEY(Watermark, ImageYOffset, Int32, "Image Y Offset"),
    QM_KEY(Watermark, ImageRotation, Int32, "Image Rotation"),
    QM_KEY(Watermark, ImageSize, Int8, "Image Size"),
    QM_KEY(Watermark, ImageScale, Int32, "Image Scale"),

    QM_KEY(Advanced, FilenameMask, Text, "Filename Mask"),
    QM_KEY(Advanced, FileTimestamp, Int8, "File Timestamp"),
    QM_KEY(Advanced, CustomTimestamp, DateTime, "Custom Timestamp"),
    QM_KEY(Advanced, OutFoldersHistory, Int8, "Out Folders History"),
    QM_KEY(Advanced, OutFoldersNumber, Int8, "Out Folders Number"),
    QM_KEY(Advanced, KeepSubfolders, Int8, "Keep Subfolders"),

    QM_KEY(File, TxtFields, Text, "TxtFields"),
    QM_KEY(File, CsvDelimiter, Text, "CsvDelimiter"),
    QM_KEY(File, RecentOutFolders, Text, "Recent Out Folders"),
    QM_KEY(File, RecentFiles, Text, "Recent Files"),

    QM_KEY(Privacy, CleanRecentFiles, Int8, "Clean Recent Files"),
};

#undef QM_KEY

} // namespace

void ResetSettings(SettingsRecord& s, int forConsole) {
    // Keep what is not a persisted setting: the config path, the lock and the layout metrics.
    SettingsRecord fresh;
    fresh.ConfigPath = std::move(s.ConfigPath);
    fresh.InstanceMutex = s.InstanceMutex;
    fresh.MenuHeight = s.MenuHeight;
    fresh.ToolbarHeight = s.ToolbarHeight;
    fresh.PanelTop = s.PanelTop;
    fresh.StatusBarHeight = s.StatusBarHeight;
    s = std::move(fresh);

    s.General.CFG = 18;
    const int32_t now = CurrentLocalDateTime();
    s.General.UpdateDate = now;
    s.Advanced.CustomTimestamp = now;
    s.Window.X = CenteredPosition(510, DesktopWidth());
    s.Window.Y = CenteredPosition(330, DesktopHeight());
    s.Transform.KeepAspectRatio = forConsole == 1 ? 0 : 1;
}

int32_t CenteredPosition(int32_t extent, int32_t desktop) {
    if (desktop > extent)
        return (desktop - extent) / 2;
    return 100;
}

void SetDesktopSize(int32_t width, int32_t height) {
    g_desktopWidth = width;
    g_desktopHeight = height;
}
int32_t DesktopWidth() {
    return g_desktopWidth;
}
int32_t DesktopHeight() {
    return g_desktopHeight;
}

int32_t CurrentLocalDateTime() {
    // The local clock reading counted as if it were UTC.
    const time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    return static_cast<int32_t>(static_cast<int64_t>(timegm(&local)));
}

std::span<const SettingKey> SettingKeys() {
    return kKeys;
}

const SettingKey* FindSettingKey(std::string_view group, std::string_view key) {
    for (const SettingKey& k : kKeys)
        if (EqualsIgnoreCase(group, k.group) && EqualsIgnoreCase(key, k.key))
            return &k;
    return nullptr;
}

int32_t* Int32Field(SettingsRecord& s, const SettingKey& k) {
    return k.type == SettingType::Int32 || k.type == SettingType::DateTime
               ? static_cast<int32_t*>(k.field(s))
               : nullptr;
}
int8_t* Int8Field(SettingsRecord& s, const SettingKey& k) {
    return k.type == SettingType::Int8 ? static_cast<int8_t*>(k.field(s)) : nullptr;
}
float* FloatField(SettingsRecord& s, const SettingKey& k) {
    return k.type == SettingType::Float32 ? static_cast<float*>(k.field(s)) : nullptr;
}
std::string* TextField(SettingsRecord& s, const SettingKey& k) {
    return k.type == SettingType::Text ? static_cast<std::string*>(k.field(s)) : nullptr;
}

int32_t* FormatDepthSetting(SettingsRecord& s, std::string_view formatId) {
    const std::string key = UpperAscii(formatId) + " BPP";
    const SettingKey* k = FindSettingKey("Output", key);
    return k ? Int32Field(s, *k) : nullptr;
}

} // namespace qm
