// The one settings record shared by both front ends and read by the engine.
//
// Every persisted field is named after its config.ini key with the blanks removed, inside a
// member named after its group: "Output/JPG Quality" is Settings.Output.JPGQuality. The key
// table (SettingKeys) declares each persisted field once with its group, key, type and default;
// the settings file, profiles and dialogs go through that table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct GeneralGroup {
    int32_t CFG = 18;
    std::string Language = "en";
    int32_t UpdateRange = 2;
    int32_t UpdateDate = 0; // date-time: local clock seconds since 1970
    int8_t SaveWindowPosition = 1;
};

// The record keeps X and Y before Width and Height; config.ini lists the size first.
struct WindowGroup {
    int8_t IsMaximized = 0;
    int32_t X = 100;
    int32_t Y = 100;
    int32_t Width = 510;
    int32_t Height = 330;
    int8_t HidePasswords = 0;
    int8_t ShowSinglePassword = 1;
    int8_t ShowPasswordList = 1;
    int8_t ShowCharacterSet = 1;
    int8_t ShowAdvancedOptions = 1;
};

struct InterfaceGroup {
    std::string UITheme = "handdrawn";
    int32_t UISize = 2;
};

struct InputGroup {
    std::string Format = "emf";
    int32_t DDSLoadAs = 0;
    int32_t GIFFrameLoading = 0;
    int32_t ICOFrameLoading = 0;
    int32_t TIFFFrameLoading = 0;
    int32_t PSDColorModel = 0;
    int32_t RAWLoadAs = 0;
    int32_t RAWHeaderSize = 0;
    int32_t RAWImageWidth = 0;
    int32_t RAWImageHeight = 0;
    int32_t RAWToneMapping = 2;
    // Not persisted; set by the console option --EMFPLUS (and profiles): 0 automatic,
    // 1 never, 2 preferred.
    int32_t EMFPlusPlayback = 0;
};

struct OutputGroup {
    std::string Format = "bmp";
    int32_t BMPBPP = 0;
    int32_t BMPCompression = 0;
    int32_t BMPColorTable = 0;
    int32_t DDSBPP = 0;
    int32_t EXRBPP = 0;
    int32_t EXRCompression = 0;
    int32_t GIFBPP = 0;
    int32_t HDRBPP = 0;
    int32_t ICOBPP = 0;
    int32_t J2KBPP = 0;
    int32_t JNGBPP = 0;
    int32_t JP2BPP = 0;
    int32_t JPGBPP = 0;
    int32_t JPGQuality = 95;
    int32_t JPGChroma = 0;
    int32_t JPGSaveAs = 0;
    int32_t JXRBPP = 0;
    int32_t PBMBPP = 0;
    int32_t PCXBPP = 0;
    int32_t PFMBPP = 0;
    int32_t PGMBPP = 0;
    int32_t PNGBPP = 0;
    int32_t PNGCompression = 0;
    int8_t PNGInterlaced = 0;
    int32_t PPMBPP = 0;
    int32_t PSDBPP = 0;
    int32_t TGABPP = 0;
    int32_t TGACompression = 0;
    int32_t TIFFBPP = 0;
    int32_t TIFFCompression = 0;
    int32_t TIFFColorModel = 0;
    int32_t WBMPBPP = 0;
    int32_t WEBPBPP = 0;
    int32_t WEBPQuality = 100;
    int32_t XPMBPP = 0;
};

struct TransformGroup {
    int8_t DoImageRotation = 0;
    int8_t ImageRotationType = 0;
    int32_t ImageRotation = 0;
    std::string ImageRotationBackColor = "000000";
    int8_t DoImageResize = 0;
    int32_t ImageWidth = 0;
    int8_t ImageWidthUnit = 0;
    int32_t ImageHeight = 0;
    int8_t ImageHeightUnit = 0;
    int8_t KeepAspectRatio = 1;
    int8_t ImageResizeType = 0;
    int8_t ImageResizeAlgorithm = 3;
    int8_t DoImageFlipHorizontal = 0;
    int8_t DoImageFlipVertical = 0;
};

struct AdjustmentGroup {
    int8_t DoImageColorCorrection = 0;
    int32_t ImageBrightness = 0;
    int32_t ImageContrast = 0;
    float ImageGamma = 1.0f;
    int8_t ImageInvert = 0;
    int8_t DoImageGreyscale = 0;
    int8_t DoImageThreshold = 0;
    int32_t ImageThreshold = 0;
};

struct FrameGroup {
    int8_t DoFrame = 0;
    int32_t SolidLeft = 0;
    int32_t SolidRight = 0;
    int32_t SolidTop = 0;
    int32_t SolidBottom = 0;
    std::string SolidLeftColor = "000000";
    std::string SolidRightColor = "000000";
    std::string SolidTopColor = "000000";
    std::string SolidBottomColor = "000000";
    int32_t SolidOpacity = 255;
};

/// The default watermark text: the maker's one-line notice.
extern const char* const DefaultWatermarkText;
/// The colours offered by the watermark colour lists.
extern const char* const DefaultColorList;

struct WatermarkGroup {
    int8_t DoWatermark = 0;
    std::string Text = DefaultWatermarkText;
    std::string Fonts = "Arial,Tahoma,Verdana";
    std::string Font = "Arial";
    int32_t FontSize = 14;
    int32_t FontLeading = 0;
    std::string FontColors = DefaultColorList;
    std::string FontColor = "FFFFFF";
    int8_t FontStyle = 0;
    int8_t FontEffect = 0;
    int8_t TextAntialiasing = 0;
    int8_t TextAlignment = 0;
    int32_t TextPadding = 0;
    int32_t TextOpacity = 255;
    std::string BackColors = DefaultColorList;
    std::string BackColor = "000000";
    int32_t BackOpacity = 1;
    int8_t TextBoundary = 0;
    int8_t TextPosition = 8;
    int32_t TextXOffset = 10;
    int32_t TextYOffset = 10;
    int32_t TextRotation = 0;
    int8_t TextSize = 0;
    int32_t TextScale = 10;
    std::string Image;
    int8_t ImageGreyscale = 0;
    int32_t ImageOpacity = 255;
    int8_t ImageBoundary = 0;
    int8_t ImagePosition = 8;
    int32_t ImageXOffset = 10;
    int32_t ImageYOffset = 10;
    int32_t ImageRotation = 0;
    int8_t ImageSize = 0;
    int32_t ImageScale = 10;
};

struct AdvancedGroup {
    std::string FilenameMask = "%filename%.%ext%";
    int8_t FileTimestamp = 0;
    int32_t CustomTimestamp = 0; // date-time
    int8_t OutFoldersHistory = 1;
    int8_t OutFoldersNumber = 5;
    int8_t KeepSubfolders = 1;
    // Not persisted; set by the console option --THREADS (and profiles): the number of files
    // converted at once, 0 for one per processor core.
    int32_t Threads = 0;
};

struct FileGroup {
    std::string TxtFields = "username,password,firstname,lastname,title,sex,notes";
    std::string CsvDelimiter = ",";
    std::string RecentOutFolders;
    std::string RecentFiles;
};

struct PrivacyGroup {
    int8_t CleanRecentFiles = 0;
};

struct SettingsRecord {
    std::string ConfigPath;
    int InstanceMutex = -1; // lock file descriptor, -1 when none
    int32_t MenuHeight = 0;
    int32_t ToolbarHeight = 0;
    int32_t PanelTop = 0;
    int32_t StatusBarHeight = 0;

    GeneralGroup General;
    WindowGroup Window;
    InterfaceGroup Interface;
    InputGroup Input;
    OutputGroup Output;
    TransformGroup Transform;
    AdjustmentGroup Adjustment;
    FrameGroup Frame;
    WatermarkGroup Watermark;
    AdvancedGroup Advanced;
    FileGroup File;
    PrivacyGroup Privacy;
};

/// The global settings record.
extern SettingsRecord Settings;

/// The fixed format lists: InputFormats holds "emf"; OutputFormats the 23 identifiers, "bmp" first.
extern const std::vector<std::string> InputFormats;
extern const std::vector<std::string> OutputFormats;

/// Sets every persisted field to its default. forConsole = 1 leaves Keep Aspect Ratio off.
/// ConfigPath, InstanceMutex and the layout metrics are left alone.
void ResetSettings(SettingsRecord& s, int forConsole);
inline void ResetSettings(int forConsole) {
    ResetSettings(Settings, forConsole);
}

/// Default left (or top) edge for a window of the given extent on a desktop of the given size;
/// 100 when the desktop is not larger (or unknown, as in a console run: desktop 0).
int32_t CenteredPosition(int32_t extent, int32_t desktop);

/// Size of the primary desktop, 0 x 0 when no display is known. The windowed front end sets it.
void SetDesktopSize(int32_t width, int32_t height);
int32_t DesktopWidth();
int32_t DesktopHeight();

/// The current local date-time as the record stores it: local clock seconds since 1970.
int32_t CurrentLocalDateTime();

// ---- Declared keys ---------------------------------------------------------------------------

enum class SettingType { Int32, Int8, Float32, Text, DateTime };

/// One persisted setting: where it lives in the record, and its config.ini group and key.
struct SettingKey {
    const char* group;
    const char* key;
    SettingType type;
    void* (*field)(SettingsRecord&); // the field inside a record
};

/// Every persisted setting in config.ini order (groups in record order, Window size before
/// position as the file lists it).
std::span<const SettingKey> SettingKeys();

/// The declared key for group/key (letter case ignored), or nullptr.
const SettingKey* FindSettingKey(std::string_view group, std::string_view key);

/// Typed access to the field a key declares.
int32_t* Int32Field(SettingsRecord& s, const SettingKey& k);
int8_t* Int8Field(SettingsRecord& s, const SettingKey& k);
float* FloatField(SettingsRecord& s, const SettingKey& k);
std::string* TextField(SettingsRecord& s, const SettingKey& k);

/// The Output/<ID> BPP field of an output format identifier (letter case ignored), or nullptr.
int32_t* FormatDepthSetting(SettingsRecord& s, std::string_view formatId);

} // namespace qm
