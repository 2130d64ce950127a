#include <QDateTimeEdit>
#include <QFile>
#include <QLabel>
#include <QStackedWidget>
#include <QTreeWidget>

#include "gui/theme.h"
#include "preferences_fixture.h"

namespace qm::gui::test {
namespace {

void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(PreferencesTest, OptionsOpensTheOutputPageOnTheCurrentFormatOnce) {
    Settings.Output.Format = "jpg";
    PreferencesStartPage = kPageOutput;
    Open();
    EXPECT_EQ(dialog->CurrentPage(), kPageOutput);
    EXPECT_EQ(dialog->Heading()->text(), "Output");
    EXPECT_EQ(dialog->Tree()->currentItem()->text(0), "Output");
    auto* output = static_cast<OutputPage*>(dialog->Page(kPageOutput));
    EXPECT_EQ(output->FormatChoice()->currentText(), "JPG");
    EXPECT_TRUE(output->Panel(9)->isVisible());
    EXPECT_FALSE(output->Panel(0)->isVisible());
    // Choosing another format shows its panel only.
    output->FormatChoice()->setCurrentIndex(15);
    EXPECT_TRUE(output->Panel(15)->isVisible());
    EXPECT_FALSE(output->Panel(9)->isVisible());
    dialog->reject();
    FlushDeletes();
    EXPECT_FALSE(dialog);

    Open();
    EXPECT_EQ(dialog->CurrentPage(), kPageGeneral);
    EXPECT_EQ(dialog->Heading()->text(), "General");
    // The tree switches pages and heading.
    dialog->Tree()->setCurrentItem(dialog->Tree()->topLevelItem(kPageWatermark));
    EXPECT_EQ(dialog->CurrentPage(), kPageWatermark);
    EXPECT_EQ(dialog->Heading()->text(), "Watermark");
}

TEST_F(PreferencesTest, TypedNumbersAreClampedAndMoveTheirSliders) {
    Open();
    TypeSpin("Output/JPG Quality", "150");
    SliderSpin* quality = Find<SliderSpin>("Output/JPG Quality");
    EXPECT_EQ(quality->Spin()->text(), "100");
    EXPECT_EQ(quality->Slider()->value(), 100);

    Tick("Transform/Do Image Rotation", true); // enables the angle
    TypeSpin("Transform/Image Rotation", "400");
    EXPECT_EQ(Find<SliderSpin>("Transform/Image Rotation")->Spin()->text(), "360");
    EXPECT_EQ(Find<SliderSpin>("Transform/Image Rotation")->Slider()->value(), 360);

    // Below the range: kept while typing (it may grow), pulled up when the editing ends.
    SliderSpin* opacity = Find<SliderSpin>("Frame/Solid Opacity");
    TypeSpin("Frame/Solid Opacity", "0");
    EXPECT_EQ(opacity->Spin()->text(), "0");
    emit opacity->Spin()->editingFinished();
    EXPECT_EQ(opacity->Spin()->text(), "1");
    EXPECT_EQ(opacity->Slider()->value(), 1);

    // Brightness: a negative number beyond the range is pulled back at once; slider + 100.
    SliderSpin* brightness = Find<SliderSpin>("Adjustment/Image Brightness");
    TypeSpin("Adjustment/Image Brightness", "-250");
    EXPECT_EQ(brightness->Spin()->text(), "-100");
    EXPECT_EQ(brightness->Slider()->value(), 0);
    brightness->Slider()->setValue(130);
    EXPECT_EQ(brightness->Spin()->text(), "30");
    // Letters are refused.
    TypeSpin("Adjustment/Image Brightness", "x5");
    EXPECT_EQ(brightness->Spin()->text(), "5");
}

TEST_F(PreferencesTest, AdjustmentsLoadWithTheirOffsetsAndGammaKeepsTwoDecimals) {
    Settings.Adjustment.ImageBrightness = -30;
    Open();
    SliderSpin* brightness = Find<SliderSpin>("Adjustment/Image Brightness");
    EXPECT_EQ(brightness->Slider()->value(), 70);
    EXPECT_EQ(brightness->Spin()->text(), "-30");

    SliderSpin* gamma = Find<SliderSpin>("Adjustment/Image Gamma");
    EXPECT_EQ(gamma->Slider()->value(), 100);
    EXPECT_EQ(gamma->Spin()->text(), "1.00");
    TypeSpin("Adjustment/Image Gamma", "2.5");
    EXPECT_EQ(gamma->Slider()->value(), 250);
    emit gamma->Spin()->editingFinished();
    EXPECT_EQ(gamma->Spin()->text(), "2.50");
    // The arrows step the hidden value by one: 0.01.
    gamma->Spin()->stepBy(1);
    EXPECT_EQ(gamma->Spin()->text(), "2.51");
    EXPECT_EQ(gamma->Slider()->value(), 251);
    gamma->Slider()->setValue(7);
    EXPECT_EQ(gamma->Spin()->text(), "0.07");
    TypeSpin("Adjustment/Image Gamma", "12");
    EXPECT_EQ(gamma->Spin()->text(), "9.99");
    TypeSpin("Adjustment/Image Gamma", "2.5");
    PressOk();
    EXPECT_FLOAT_EQ(Settings.Adjustment.ImageGamma, 2.5f);
}

TEST_F(PreferencesTest, ColourCorrectionFollowsTheAdjustmentsOnOk) {
    Settings.Adjustment.DoImageColorCorrection = 1;
    Open();
    PressOk();
    EXPECT_EQ(Settings.Adjustment.DoImageColorCorrection, 0);

    Open();
    TypeSpin("Adjustment/Image Gamma", "1.01");
    PressOk();
    EXPECT_FLOAT_EQ(Settings.Adjustment.ImageGamma, 1.01f);
    EXPECT_EQ(Settings.Adjustment.DoImageColorCorrection, 1);

    Settings.Adjustment.ImageGamma = 1.0f;
    Open();
    Tick("Adjustment/Image Invert", true);
    PressOk();
    EXPECT_EQ(Settings.Adjustment.DoImageColorCorrection, 1);
}

TEST_F(PreferencesTest, BitsPerPixelAutoStoresZeroAndADepthItsNumber) {
    Settings.Output.PNGBPP = 8;
    Settings.Output.BMPBPP = 7; // not a depth BMP allows: no entry selected
    Open();
    QComboBox* png = Find<QComboBox>("Output/PNG BPP");
    EXPECT_EQ(png->currentText(), "8");
    EXPECT_EQ(png->itemText(0), "Auto");
    png->setCurrentIndex(0);
    EXPECT_EQ(Find<QComboBox>("Output/BMP BPP")->currentIndex(), -1);
    const int index24 = Find<QComboBox>("Output/JPG BPP")->findText("24");
    ASSERT_GE(index24, 0);
    Choose("Output/JPG BPP", index24);
    PressOk();
    EXPECT_EQ(Settings.Output.PNGBPP, 0);
    EXPECT_EQ(Settings.Output.JPGBPP, 24);
    EXPECT_EQ(Settings.Output.BMPBPP, 0);
}

TEST_F(PreferencesTest, ImageResizeEnablesExactlyItsRows) {
    Open();
    auto* page = dialog->Page(kPageTransform);
    const QStringList resizeRows = {
        "Image Width:", "Image Height:", "Keep Proportions:", "Resize Type:", "Resize Algorithm:"};
    const auto check = [&](bool resizeOn, bool rotationOn) {
        for (QLabel* label : page->findChildren<QLabel*>()) {
            const bool rotationRow = label->text() == "Rotation Type:" ||
                                     label->text() == "Rotation Angle:" ||
                                     label->text() == "Background Color:";
            const bool expected = resizeRows.contains(label->text()) ? resizeOn
                                  : rotationRow                      ? rotationOn
                                                                     : true;
            EXPECT_EQ(label->isEnabled(), expected) << label->text().toStdString();
        }
    };
    check(false, false); // as loaded: both off
    EXPECT_FALSE(Find<NumberUnit>("Transform/Image Width")->isEnabled());
    Tick("Transform/Do Image Resize", true);
    check(true, false);
    EXPECT_TRUE(Find<QComboBox>("Transform/Image Height Unit")->isEnabled());
    Tick("Transform/Do Image Resize", false);
    check(false, false);
    EXPECT_FALSE(Find<QComboBox>("Transform/Image Resize Algorithm")->isEnabled());
    EXPECT_TRUE(Find<QCheckBox>("Transform/Do Image Flip Horizontal")->isEnabled());
    EXPECT_TRUE(Find<QCheckBox>("Transform/Do Image Flip Vertical")->isEnabled());
    Tick("Transform/Do Image Rotation", true);
    check(false, true);
}

TEST_F(PreferencesTest, VisibilityRulesFollowFrameWatermarkTimestampAndThreshold) {
    Settings.Watermark.DoWatermark = 2;
    Settings.Watermark.TextSize = 1; // outside the list: the scale row shows
    Open();
    auto* watermark = static_cast<WatermarkPage*>(dialog->Page(kPageWatermark));
    dialog->ShowPreferencesPage(kPageWatermark);
    EXPECT_TRUE(watermark->ImageArea()->isVisible());
    EXPECT_FALSE(watermark->TextArea()->isVisible());
    Choose("Watermark/Do Watermark", 1);
    EXPECT_TRUE(watermark->TextArea()->isVisible());
    EXPECT_FALSE(watermark->ImageArea()->isVisible());
    EXPECT_TRUE(Find<SliderSpin>("Watermark/Text Scale")->isVisible());
    EXPECT_EQ(Find<QComboBox>("Watermark/Text Size")->currentIndex(), -1);
    Choose("Watermark/Text Size", 0);
    EXPECT_FALSE(Find<SliderSpin>("Watermark/Text Scale")->isVisible());
    EXPECT_FALSE(Find<SliderSpin>("Watermark/Image Scale")->isVisibleTo(dialog));
    Choose("Watermark/Do Watermark", 0);
    EXPECT_FALSE(watermark->TextArea()->isVisible());

    dialog->ShowPreferencesPage(kPageFrame);
    NumberUnit* left = Find<NumberUnit>("Frame/Solid Left");
    EXPECT_FALSE(left->isVisible());
    Choose("Frame/Do Frame", 1);
    EXPECT_TRUE(left->isVisible());

    EXPECT_FALSE(Find<QDateTimeEdit>("Advanced/Custom Timestamp")->isEnabled());
    Choose("Advanced/File Timestamp", 2);
    EXPECT_TRUE(Find<QDateTimeEdit>("Advanced/Custom Timestamp")->isEnabled());
    EXPECT_FALSE(Find<SliderSpin>("Adjustment/Image Threshold")->isEnabled());
    Tick("Adjustment/Do Image Threshold", true);
    EXPECT_TRUE(Find<SliderSpin>("Adjustment/Image Threshold")->isEnabled());
}

TEST_F(PreferencesTest, TextFieldsAreStoredWithoutLineBreaksTabsAndOuterSpaces) {
    EXPECT_EQ(CleanFieldText("  Draft\r\n"), "Draft");
    EXPECT_EQ(CleanFieldText("a\tb \n"), "ab");
    EXPECT_EQ(CleanFieldText(" \t "), "");
    Open();
    Find<QLineEdit>("Watermark/Text")->setText("Draft %filename%\n");
    Find<QLineEdit>("Advanced/Filename Mask")->setText(" %filename%_x.%ext%\t");
    Find<QLineEdit>("Watermark/Image")->setText("  /tmp/logo.png ");
    PressOk();
    EXPECT_EQ(Settings.Watermark.Text, "Draft %filename%");
    EXPECT_EQ(Settings.Advanced.FilenameMask, "%filename%_x.%ext%");
    EXPECT_EQ(Settings.Watermark.Image, "/tmp/logo.png");
}

TEST_F(PreferencesTest, NumberFieldsTakeDigitsOnlyAndStoreZeroWhenEmpty) {
    Settings.Watermark.TextXOffset = -12; // from the command line: kept as it is
    Open();
    Tick("Transform/Do Image Resize", true);
    SetNumber("Transform/Image Width", "8a0-0");
    EXPECT_EQ(Find<NumberUnit>("Transform/Image Width")->Field()->text(), "800");
    SetNumber("Frame/Solid Top", "");
    PressOk();
    EXPECT_EQ(Settings.Transform.ImageWidth, 800);
    EXPECT_EQ(Settings.Frame.SolidTop, 0);
    EXPECT_EQ(Settings.Watermark.TextXOffset, -12);
}

TEST_F(PreferencesTest, FontChooserAddsNewFontsOnceAndMatchesStyles) {
    Settings.Watermark.Fonts = "Arial,Tahoma,Verdana";
    Settings.Watermark.FontStyle = 2;
    Open();
    QComboBox* font = Find<QComboBox>("Watermark/Font");
    QPushButton* more = Find<QPushButton>("Watermark/Font ...");
    EXPECT_EQ(font->count(), 3);

    // A font already listed is selected, not added; bold + underline matches no style.
    choosers.fonts.push_back(PickedFont{"Tahoma", 20, true, false, true, false});
    more->click();
    EXPECT_EQ(choosers.presetFamily, "Arial");
    EXPECT_EQ(choosers.presetSize, 14);
    EXPECT_EQ(font->count(), 3);
    EXPECT_EQ(font->currentText(), "Tahoma");
    EXPECT_EQ(Settings.Watermark.Fonts, "Arial,Tahoma,Verdana");
    EXPECT_EQ(Find<NumberUnit>("Watermark/Font Size")->Field()->text(), "20");
    EXPECT_EQ(Find<QComboBox>("Watermark/Font Style")->currentIndex(), 2);

    // A new font loses its commas and joins the list setting at once; bold selects Bold.
    choosers.fonts.push_back(PickedFont{"Noto, Sans", 9, true, false, false, false});
    more->click();
    EXPECT_EQ(font->currentText(), "Noto Sans");
    EXPECT_EQ(Settings.Watermark.Fonts, "Arial,Tahoma,Verdana,Noto Sans");
    EXPECT_EQ(Find<QComboBox>("Watermark/Font Style")->currentIndex(), 1);
    choosers.fonts.push_back(PickedFont{"Noto Sans", 9, true, true, false, false});
    more->click();
    EXPECT_EQ(font->count(), 4);
    EXPECT_EQ(Find<QComboBox>("Watermark/Font Style")->currentIndex(), 3);

    // A cancelled chooser changes nothing; Cancel keeps the list addition only.
    more->click();
    EXPECT_EQ(font->currentText(), "Noto Sans");
    dialog->CancelButton()->click();
    EXPECT_EQ(Settings.Watermark.Fonts, "Arial,Tahoma,Verdana,Noto Sans");
    EXPECT_EQ(Settings.Watermark.Font, "Arial");
    EXPECT_EQ(Settings.Watermark.FontSize, 14);
}

TEST_F(PreferencesTest, ColourListsAddPickedColoursAndNameThem) {
    Settings.Watermark.FontColors = "000000,FF8000";
    Settings.Watermark.FontColor = "12ab34"; // not in the list: offered, not added to it
    Open();
    ColorList* colors = Find<ColorList>("Watermark/Font Color");
    EXPECT_EQ(colors->Combo()->itemText(0), "Black");
    EXPECT_EQ(colors->Combo()->itemText(1), "Orange");
    EXPECT_EQ(colors->Combo()->currentText(), "Color #12AB34");
    EXPECT_EQ(Settings.Watermark.FontColors, "000000,FF8000");

    choosers.colors.push_back(QColor(0x80, 0x00, 0xFF));
    colors->More()->click();
    EXPECT_EQ(choosers.presetColor, QColor(0x12, 0xAB, 0x34));
    EXPECT_EQ(colors->Combo()->currentText(), "Violet");
    EXPECT_EQ(Settings.Watermark.FontColors, "000000,FF8000,8000FF");
    choosers.colors.push_back(QColor(0xFF, 0x80, 0x00)); // already listed
    colors->More()->click();
    EXPECT_EQ(colors->Combo()->currentText(), "Orange");
    EXPECT_EQ(Settings.Watermark.FontColors, "000000,FF8000,8000FF");
    EXPECT_EQ(ColorName("c0c0c0"), "Silver");
    EXPECT_EQ(ColorName("123456"), "Color #123456");

    // The rotation background colour: button and hex field.
    ColorField* back = Find<ColorField>("Transform/Image Rotation Back Color");
    Tick("Transform/Do Image Rotation", true);
    choosers.colors.push_back(QColor(0xAB, 0xCD, 0xEF));
    back->Button()->click();
    EXPECT_EQ(back->Color(), "ABCDEF");
    back->Button()->click(); // cancelled
    EXPECT_EQ(back->Color(), "ABCDEF");
    dialog->reject(); // Escape and the close box end the same way
    EXPECT_EQ(Settings.Transform.ImageRotationBackColor, "000000");
    EXPECT_EQ(Settings.Transform.DoImageRotation, 0);
    EXPECT_EQ(Settings.Watermark.FontColors, "000000,FF8000,8000FF");
    EXPECT_EQ(Settings.Watermark.FontColor, "12ab34");
}

TEST_F(PreferencesTest, WatermarkImageChooserTitleFilterAndPreset) {
    Settings.Watermark.Image = " /srv/logo.png ";
    Open();
    choosers.files.push_back(QString("/srv/new.jpg"));
    Find<QPushButton>("Watermark/Image ...")->click();
    EXPECT_EQ(choosers.fileTitle, "Select Watermark Image");
    EXPECT_EQ(choosers.filePreset, "/srv/logo.png");
    const QStringList parts = choosers.fileFilter.split(";;");
    ASSERT_EQ(parts.size(), 5);
    EXPECT_TRUE(parts[0].startsWith("All Supported Files (*.png *.bmp *.rle *.dib *.jpg *.jpeg "
                                    "*.jpe *.jif"));
    EXPECT_TRUE(parts[1].startsWith("Portable Network Graphics (*.png"));
    EXPECT_TRUE(parts[2].startsWith("Windows or OS/2 Bitmap (*.bmp *.rle *.dib"));
    EXPECT_TRUE(parts[3].startsWith("JPEG File (*.jpg *.jpeg *.jpe *.jif"));
    EXPECT_EQ(parts[4], "All Files (*)");
    EXPECT_EQ(Find<QLineEdit>("Watermark/Image")->text(), "/srv/new.jpg");
    Find<QPushButton>("Watermark/Image ...")->click(); // cancelled
    EXPECT_EQ(Find<QLineEdit>("Watermark/Image")->text(), "/srv/new.jpg");
}

TEST_F(PreferencesTest, DefaultsAsksFirstAndOnYesResetsSavesAndCloses) {
    Settings.Output.JPGQuality = 40;
    Settings.Interface.UISize = 4;
    Open();
    boxes.answers = {false};
    dialog->DefaultsButton()->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "Reset to Defaults");
    EXPECT_EQ(boxes.shown[0].text,
              "Are you sure you want to reset all your settings to the default values?");
    EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Question);
    EXPECT_EQ(Settings.Output.JPGQuality, 40);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Settings.ConfigPath)));
    EXPECT_EQ(applied, 0);

    boxes.answers = {true};
    dialog->DefaultsButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Settings.Output.JPGQuality, 95);
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(reloadSeen, 2); // the icon size the dialog showed differs from the default
    SettingsRecord reread;
    reread.ConfigPath = Settings.ConfigPath;
    ASSERT_EQ(LoadSettings(reread), 1);
    EXPECT_EQ(SettingsFileText(reread), SettingsFileText(Settings));
    EXPECT_EQ(reread.Output.JPGQuality, 95);
    EXPECT_EQ(reread.Interface.UISize, 2);
}

TEST_F(PreferencesTest, CancelAndEscapeDiscardTheEdits) {
    Open();
    SetSlider("Output/JPG Quality", 10);
    Tick("Transform/Do Image Resize", true);
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Settings.Output.JPGQuality, 95);
    EXPECT_EQ(Settings.Transform.DoImageResize, 0);
    EXPECT_EQ(applied, 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Settings.ConfigPath)));
}

TEST_F(PreferencesTest, IconSizeChangeReachesTheApplyStep) {
    Open();
    Choose("Interface/UI Size", 3);
    PressOk();
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(reloadSeen, 2);
    EXPECT_EQ(Settings.Interface.UISize, 3);
    Open();
    PressOk();
    EXPECT_EQ(reloadSeen, 0);
}

TEST_F(PreferencesTest, ThemesAreListedByArchiveNameAndAChangeWinsOverTheIconSize) {
    ThemeList = {
        {"handdrawn", "Hand Drawn"}, {"Zeta", "Last"}, {"alpha", "First"}, {"nameless", ""}};
    Settings.Interface.UITheme = "handdrawn";
    Open();
    QComboBox* theme = Find<QComboBox>("Interface/UI Theme");
    ASSERT_EQ(theme->count(), 3);
    EXPECT_EQ(theme->itemText(0), "First");
    EXPECT_EQ(theme->itemText(1), "Hand Drawn");
    EXPECT_EQ(theme->itemText(2), "Last");
    EXPECT_EQ(theme->currentText(), "Hand Drawn");
    theme->setCurrentIndex(2);
    Choose("Interface/UI Size", 0);
    PressOk();
    EXPECT_EQ(reloadSeen, 1);
    EXPECT_EQ(Settings.Interface.UITheme, "Zeta");
    EXPECT_EQ(Settings.Interface.UISize, 0);

    ThemeList.clear();
    Open();
    theme = Find<QComboBox>("Interface/UI Theme");
    ASSERT_EQ(theme->count(), 1);
    EXPECT_EQ(theme->currentText(), "None");
    PressOk();
    EXPECT_EQ(Settings.Interface.UITheme, "Zeta");
    EXPECT_EQ(reloadSeen, 0);
}

TEST_F(PreferencesTest, HandEditedValuesOutsideTheChoicesKeepTheDialogWorking) {
    Settings.Output.Format = "xyz";
    Settings.General.UpdateRange = 9;
    Settings.Watermark.TextPosition = 12;
    Settings.Transform.ImageRotation = 720;
    Settings.Output.JPGQuality = 0;
    Settings.Watermark.Fonts = "";
    Settings.Watermark.Font = "Courier";
    Settings.Frame.SolidLeftColor = "red";
    Settings.Adjustment.ImageGamma = 50.0f;
    Settings.Interface.UITheme = "gone";
    Settings.Input.RAWToneMapping = 4; // no control: kept through OK
    Open();
    EXPECT_EQ(Find<QComboBox>("Output/Format")->currentIndex(), -1);
    EXPECT_EQ(Find<QComboBox>("Watermark/Font")->currentText(), "Courier");
    PressOk();
    // Unknown entries are stored back unchanged; numbers come back clamped into their range.
    EXPECT_EQ(Settings.Output.Format, "xyz");
    EXPECT_EQ(Settings.General.UpdateRange, 9);
    EXPECT_EQ(Settings.Watermark.TextPosition, 12);
    EXPECT_EQ(Settings.Watermark.Font, "Courier");
    EXPECT_EQ(Settings.Interface.UITheme, "gone");
    EXPECT_EQ(Settings.Transform.ImageRotation, 360);
    EXPECT_EQ(Settings.Output.JPGQuality, 1);
    EXPECT_FLOAT_EQ(Settings.Adjustment.ImageGamma, 9.99f);
    EXPECT_EQ(Settings.Frame.SolidLeftColor, "000000");
    EXPECT_EQ(Settings.Input.RAWToneMapping, 4);
    EXPECT_EQ(Settings.Input.Format, "emf");
    EXPECT_EQ(reloadSeen, 0);
}

} // namespace
} // namespace qm::gui::test
