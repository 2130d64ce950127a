// Every control set to a value other than its default, stored with OK and read back from
// config.ini into a fresh record.
#include <QDateTimeEdit>
#include <set>

#include "core/formats.h"
#include "preferences_fixture.h"

namespace qm::gui::test {
namespace {

constexpr int32_t kCustomTime = 1700000000 - 1700000000 % 60; // whole minutes

void ExpectEverySet(const SettingsRecord& r) {
    EXPECT_EQ(r.General.UpdateRange, 5);
    EXPECT_EQ(r.General.SaveWindowPosition, 0);
    EXPECT_EQ(r.Interface.UISize, 4);
    EXPECT_EQ(r.Output.Format, "tiff");
    EXPECT_EQ(r.Output.BMPCompression, 1);
    EXPECT_EQ(r.Output.BMPColorTable, 1);
    EXPECT_EQ(r.Output.EXRCompression, 4);
    EXPECT_EQ(r.Output.JPGQuality, 33);
    EXPECT_EQ(r.Output.JPGChroma, 3);
    EXPECT_EQ(r.Output.JPGSaveAs, 3);
    EXPECT_EQ(r.Output.PNGCompression, 3);
    EXPECT_EQ(r.Output.PNGInterlaced, 1);
    EXPECT_EQ(r.Output.TGACompression, 1);
    EXPECT_EQ(r.Output.TIFFCompression, 8);
    EXPECT_EQ(r.Output.TIFFColorModel, 1);
    EXPECT_EQ(r.Output.WEBPQuality, 44);
    const TransformGroup& t = r.Transform;
    EXPECT_EQ(t.DoImageRotation, 1);
    EXPECT_EQ(t.ImageRotationType, 1);
    EXPECT_EQ(t.ImageRotation, 90);
    EXPECT_EQ(t.ImageRotationBackColor, "112233");
    EXPECT_EQ(t.DoImageResize, 1);
    EXPECT_EQ(t.ImageWidth, 640);
    EXPECT_EQ(t.ImageWidthUnit, 1);
    EXPECT_EQ(t.ImageHeight, 480);
    EXPECT_EQ(t.ImageHeightUnit, 1);
    EXPECT_EQ(t.KeepAspectRatio, 0);
    EXPECT_EQ(t.ImageResizeType, 1);
    EXPECT_EQ(t.ImageResizeAlgorithm, 5);
    EXPECT_EQ(t.DoImageFlipHorizontal, 1);
    EXPECT_EQ(t.DoImageFlipVertical, 1);
    const AdjustmentGroup& a = r.Adjustment;
    EXPECT_EQ(a.DoImageColorCorrection, 1);
    EXPECT_EQ(a.ImageBrightness, -30);
    EXPECT_EQ(a.ImageContrast, 50);
    EXPECT_FLOAT_EQ(a.ImageGamma, 1.75f);
    EXPECT_EQ(a.ImageInvert, 1);
    EXPECT_EQ(a.DoImageGreyscale, 1);
    EXPECT_EQ(a.DoImageThreshold, 1);
    EXPECT_EQ(a.ImageThreshold, 128);
    const FrameGroup& f = r.Frame;
    EXPECT_EQ(f.DoFrame, 1);
    EXPECT_EQ(f.SolidLeft, 1);
    EXPECT_EQ(f.SolidRight, 2);
    EXPECT_EQ(f.SolidTop, 3);
    EXPECT_EQ(f.SolidBottom, 4);
    EXPECT_EQ(f.SolidLeftColor, "100000");
    EXPECT_EQ(f.SolidRightColor, "200000");
    EXPECT_EQ(f.SolidTopColor, "300000");
    EXPECT_EQ(f.SolidBottomColor, "400000");
    EXPECT_EQ(f.SolidOpacity, 77);
    const WatermarkGroup& w = r.Watermark;
    EXPECT_EQ(w.DoWatermark, 2);
    EXPECT_EQ(w.Text, "Proof %filename%");
    EXPECT_EQ(w.Fonts, "Arial,Tahoma,Verdana,DejaVu Sans");
    EXPECT_EQ(w.Font, "DejaVu Sans");
    EXPECT_EQ(w.FontSize, 22);
    EXPECT_EQ(w.FontLeading, 3);
    EXPECT_EQ(w.FontColors, std::string(DefaultColorList) + ",123456");
    EXPECT_EQ(w.FontColor, "123456");
    EXPECT_EQ(w.FontStyle, 2);
    EXPECT_EQ(w.FontEffect, 2);
    EXPECT_EQ(w.TextAntialiasing, 1);
    EXPECT_EQ(w.TextAlignment, 1);
    EXPECT_EQ(w.TextPadding, 6);
    EXPECT_EQ(w.TextOpacity, 200);
    EXPECT_EQ(w.BackColors, DefaultColorList);
    EXPECT_EQ(w.BackColor, "FF0000");
    EXPECT_EQ(w.BackOpacity, 90);
    EXPECT_EQ(w.TextBoundary, 1);
    EXPECT_EQ(w.TextPosition, 4);
    EXPECT_EQ(w.TextXOffset, 21);
    EXPECT_EQ(w.TextYOffset, 22);
    EXPECT_EQ(w.TextRotation, 45);
    EXPECT_EQ(w.Image, "/srv/mark.png");
    EXPECT_EQ(w.ImageGreyscale, 1);
    EXPECT_EQ(w.ImageOpacity, 100);
    EXPECT_EQ(w.ImageBoundary, 1);
    EXPECT_EQ(w.ImagePosition, 0);
    EXPECT_EQ(w.ImageXOffset, 31);
    EXPECT_EQ(w.ImageYOffset, 32);
    EXPECT_EQ(w.ImageRotation, 270);
    const AdvancedGroup& v = r.Advanced;
    EXPECT_EQ(v.FilenameMask, "%filename%_%n%.%ext%");
    EXPECT_EQ(v.FileTimestamp, 2);
    EXPECT_EQ(v.CustomTimestamp, kCustomTime);
    EXPECT_EQ(v.OutFoldersHistory, 0);
    EXPECT_EQ(v.OutFoldersNumber, 12);
    EXPECT_EQ(v.KeepSubfolders, 0);
}

TEST_F(PreferencesTest, EveryControlRoundTripsThroughConfigIni) {
    Open();
    // General, Interface, Output
    Choose("General/Update Range", 5);
    Tick("General/Save Window Position", false);
    Choose("Interface/UI Size", 4);
    Choose("Output/Format", 19); // tiff
    Choose("Output/BMP Compression", 1);
    Choose("Output/BMP Color Table", 1);
    Choose("Output/EXR Compression", 4);
    TypeSpin("Output/JPG Quality", "33");
    Choose("Output/JPG Chroma", 3);
    Choose("Output/JPG Save As", 3);
    Choose("Output/PNG Compression", 3);
    Tick("Output/PNG Interlaced", true);
    Choose("Output/TGA Compression", 1);
    Choose("Output/TIFF Compression", 8);
    Choose("Output/TIFF Color Model", 1);
    SetSlider("Output/WEBP Quality", 44);
    // Transform
    Tick("Transform/Do Image Rotation", true);
    Choose("Transform/Image Rotation Type", 1);
    TypeSpin("Transform/Image Rotation", "90");
    choosers.colors.push_back(QColor(0x11, 0x22, 0x33));
    Find<ColorField>("Transform/Image Rotation Back Color")->Button()->click();
    Tick("Transform/Do Image Resize", true);
    SetNumber("Transform/Image Width", "640");
    Choose("Transform/Image Width Unit", 1);
    SetNumber("Transform/Image Height", "480");
    Choose("Transform/Image Height Unit", 1);
    Tick("Transform/Keep Aspect Ratio", false);
    Choose("Transform/Image Resize Type", 1);
    Choose("Transform/Image Resize Algorithm", 5);
    Tick("Transform/Do Image Flip Horizontal", true);
    Tick("Transform/Do Image Flip Vertical", true);
    // Adjustment
    TypeSpin("Adjustment/Image Brightness", "-30");
    SetSlider("Adjustment/Image Contrast", 150);
    TypeSpin("Adjustment/Image Gamma", "1.75");
    Tick("Adjustment/Image Invert", true);
    Tick("Adjustment/Do Image Greyscale", true);
    Tick("Adjustment/Do Image Threshold", true);
    SetSlider("Adjustment/Image Threshold", 128);
    // Frame
    Choose("Frame/Do Frame", 1);
    const char* sides[] = {"Left", "Right", "Top", "Bottom"};
    int n = 1;
    for (const char* side : sides) {
        SetNumber(QString("Frame/Solid ") + side, QString::number(n));
        choosers.colors.push_back(QColor::fromRgb(0x10 * n, 0, 0));
        Find<ColorField>(QString("Frame/Solid %1 Color").arg(side))->Button()->click();
        ++n;
    }
    SetSlider("Frame/Solid Opacity", 77);
    // Watermark text
    Choose("Watermark/Do Watermark", 1);
    Find<QLineEdit>("Watermark/Text")->setText("Proof %filename%");
    choosers.fonts.push_back(PickedFont{"DejaVu Sans", 22, false, true, false, false});
    Find<QPushButton>("Watermark/Font ...")->click();
    SetNumber("Watermark/Font Leading", "3");
    choosers.colors.push_back(QColor(0x12, 0x34, 0x56));
    Find<ColorList>("Watermark/Font Color")->More()->click();
    Choose("Watermark/Font Effect", 2);
    Tick("Watermark/Text Antialiasing", true);
    Choose("Watermark/Text Alignment", 1);
    SetNumber("Watermark/Text Padding", "6");
    SetSlider("Watermark/Text Opacity", 200);
    Find<ColorList>("Watermark/Back Color")->Combo()->setCurrentIndex(2); // FF0000
    SetSlider("Watermark/Back Opacity", 90);
    Choose("Watermark/Text Boundary", 1);
    Choose("Watermark/Text Position", 4);
    SetNumber("Watermark/Text X Offset", "21");
    SetNumber("Watermark/Text Y Offset", "22");
    SetSlider("Watermark/Text Rotation", 45);
    // Watermark image (the type ends as Image)
    Choose("Watermark/Do Watermark", 2);
    choosers.files.push_back(QString("/srv/mark.png"));
    Find<QPushButton>("Watermark/Image ...")->click();
    Tick("Watermark/Image Greyscale", true);
    SetSlider("Watermark/Image Opacity", 100);
    Choose("Watermark/Image Boundary", 1);
    Choose("Watermark/Image Position", 0);
    SetNumber("Watermark/Image X Offset", "31");
    SetNumber("Watermark/Image Y Offset", "32");
    SetSlider("Watermark/Image Rotation", 270);
    // Advanced
    Find<QLineEdit>("Advanced/Filename Mask")->setText("%filename%_%n%.%ext%");
    Choose("Advanced/File Timestamp", 2);
    Find<QDateTimeEdit>("Advanced/Custom Timestamp")
        ->setDateTime(QDateTime::fromSecsSinceEpoch(kCustomTime, Qt::UTC));
    Choose("Advanced/Out Folders History", 0);
    SetSlider("Advanced/Out Folders Number", 12);
    Tick("Advanced/Keep Subfolders", false);
    // Every BPP choice set to its last depth.
    for (const std::string& id : OutputFormats)
        Choose(QString::fromStdString(id).toUpper().prepend("Output/") + " BPP",
               Find<QComboBox>(QString::fromStdString(id).toUpper().prepend("Output/") + " BPP")
                       ->count() -
                   1);
    PressOk();
    SettingsRecord reread;
    reread.ConfigPath = Settings.ConfigPath;
    ASSERT_EQ(LoadSettings(reread), 1);
    ExpectEverySet(reread);
    for (const std::string& id : OutputFormats) {
        SettingsRecord copy = reread;
        EXPECT_EQ(*FormatDepthSetting(copy, id), AllowedDepths(id).back()) << id;
    }
    // Nothing that has a control kept its default.
    SettingsRecord defaults;
    ResetSettings(defaults, 0);
    const std::set<std::string> untouched = {"General/CFG",           "General/Language",
                                             "General/Update Date",   "Interface/UI Theme",
                                             "Input/Format",          "Watermark/Text Size",
                                             "Watermark/Text Scale",  "Watermark/Image Size",
                                             "Watermark/Image Scale", "Watermark/Back Colors"};
    const std::string readText = SettingsFileText(reread);
    for (const SettingKey& key : SettingKeys()) {
        const std::string name = std::string(key.group) + "/" + key.key;
        const std::string group = key.group;
        if (untouched.count(name) || group == "Window" || group == "File" || group == "Privacy" ||
            group == "Input")
            continue;
        SettingsRecord one = defaults;
        SettingsRecord other = reread;
        const bool same =
            key.type == SettingType::Text      ? *TextField(one, key) == *TextField(other, key)
            : key.type == SettingType::Float32 ? *FloatField(one, key) == *FloatField(other, key)
            : key.type == SettingType::Int8    ? *Int8Field(one, key) == *Int8Field(other, key)
                                               : *Int32Field(one, key) == *Int32Field(other, key);
        EXPECT_FALSE(same) << name << " kept its default";
    }
}

} // namespace
} // namespace qm::gui::test
