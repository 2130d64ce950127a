// Pages Transform, Adjustment and Frame.
#include <QCheckBox>
#include <QLineEdit>
#include <cmath>

#include "gui/preferences_pages.h"
#include "gui/texts.h"

namespace qm::gui {

namespace {

int8_t Flag(const QCheckBox* check) {
    return check->isChecked() ? 1 : 0;
}

} // namespace

// ---- Transform -------------------------------------------------------------------------------

TransformPage::TransformPage(QWidget* parent) : PreferencesPage(parent) {
    m_rows = RowBuilder(AddScrollingArea(this, 0, 0, 450, 255, 375));
    m_rotate = m_rows.Check(0, "Image Rotation", "Transform/Do Image Rotation");
    m_rotationType = m_rows.Choice(1, "Rotation Type", "Transform/Image Rotation Type",
                                   {"Simple Rotation", "Advanced Rotation"});
    m_angle = m_rows.Slider(2, "Rotation Angle", "Transform/Image Rotation", 0, 360);
    m_backColor = m_rows.Color(3, "Background Color", "Transform/Image Rotation Back Color");
    m_resize = m_rows.Check(4, "Image Resize", "Transform/Do Image Resize");
    m_width = m_rows.Number(5, "Image Width", "Transform/Image Width", {});
    m_height = m_rows.Number(6, "Image Height", "Transform/Image Height", {});
    for (NumberUnit* size : {m_width, m_height}) {
        size->Unit()->setObjectName(size->objectName() + " Unit");
        size->Unit()->AddEntry(PrefText("Pixels"), 0);
        size->Unit()->AddEntry(PrefText("Percent"), 1);
    }
    m_keepRatio = m_rows.Check(7, "Keep Aspect Ratio", "Transform/Keep Aspect Ratio");
    m_resizeType = m_rows.Choice(8, "Resize Type", "Transform/Image Resize Type",
                                 {"All Images", "Large Images"});
    m_algorithm = m_rows.Choice(9, "Resize Algorithm", "Transform/Image Resize Algorithm",
                                {"Box", "Bilinear", "Bspline", "Bicubic", "Catmullrom", "Lanczos"});
    m_flipH = m_rows.Check(10, "Image Flip Horizontal", "Transform/Do Image Flip Horizontal");
    m_flipV = m_rows.Check(11, "Image Flip Vertical", "Transform/Do Image Flip Vertical");
    connect(m_rotate, &QCheckBox::toggled, this, &TransformPage::ApplyRules);
    connect(m_resize, &QCheckBox::toggled, this, &TransformPage::ApplyRules);
}

void TransformPage::ApplyRules() {
    for (int row = 1; row <= 3; ++row)
        m_rows.Row(row).SetEnabled(m_rotate->isChecked());
    for (int row = 5; row <= 9; ++row)
        m_rows.Row(row).SetEnabled(m_resize->isChecked());
}

void TransformPage::Load(const SettingsRecord& s) {
    const TransformGroup& t = s.Transform;
    m_rotate->setChecked(t.DoImageRotation != 0);
    m_rotationType->SetValue(t.ImageRotationType);
    m_angle->SetValue(t.ImageRotation);
    m_backColor->SetColor(Q(t.ImageRotationBackColor));
    m_resize->setChecked(t.DoImageResize != 0);
    m_width->SetNumber(t.ImageWidth);
    m_width->Unit()->SetValue(t.ImageWidthUnit);
    m_height->SetNumber(t.ImageHeight);
    m_height->Unit()->SetValue(t.ImageHeightUnit);
    m_keepRatio->setChecked(t.KeepAspectRatio != 0);
    m_resizeType->SetValue(t.ImageResizeType);
    m_algorithm->SetValue(t.ImageResizeAlgorithm);
    m_flipH->setChecked(t.DoImageFlipHorizontal != 0);
    m_flipV->setChecked(t.DoImageFlipVertical != 0);
    ApplyRules();
}

void TransformPage::Store(SettingsRecord& s) const {
    TransformGroup& t = s.Transform;
    t.DoImageRotation = Flag(m_rotate);
    t.ImageRotationType = static_cast<int8_t>(m_rotationType->Value());
    t.ImageRotation = m_angle->Value();
    t.ImageRotationBackColor = U8(m_backColor->Color());
    t.DoImageResize = Flag(m_resize);
    t.ImageWidth = m_width->Number();
    t.ImageWidthUnit = static_cast<int8_t>(m_width->Unit()->Value());
    t.ImageHeight = m_height->Number();
    t.ImageHeightUnit = static_cast<int8_t>(m_height->Unit()->Value());
    t.KeepAspectRatio = Flag(m_keepRatio);
    t.ImageResizeType = static_cast<int8_t>(m_resizeType->Value());
    t.ImageResizeAlgorithm = static_cast<int8_t>(m_algorithm->Value());
    t.DoImageFlipHorizontal = Flag(m_flipH);
    t.DoImageFlipVertical = Flag(m_flipV);
}

// ---- Adjustment ------------------------------------------------------------------------------

AdjustmentPage::AdjustmentPage(QWidget* parent) : PreferencesPage(parent), m_rows(this) {
    m_brightness =
        m_rows.Slider(0, "Image Brightness", "Adjustment/Image Brightness", -100, 100, 100);
    m_contrast = m_rows.Slider(1, "Image Contrast", "Adjustment/Image Contrast", -100, 100, 100);
    // Gamma: the slider holds gamma x 100, the spin box shows the gamma with two decimals.
    m_gamma = m_rows.Slider(2, "Image Gamma", "Adjustment/Image Gamma", 1, 999, 0, 2);
    m_invert = m_rows.Check(3, "Image Invert", "Adjustment/Image Invert");
    m_greyscale = m_rows.Check(4, "Image Greyscale", "Adjustment/Do Image Greyscale");
    m_threshold = m_rows.Check(5, "Image Threshold", "Adjustment/Do Image Threshold");
    m_level = m_rows.Slider(6, "Threshold Level", "Adjustment/Image Threshold", 0, 255);
    connect(m_threshold, &QCheckBox::toggled, this, &AdjustmentPage::ApplyRules);
}

void AdjustmentPage::ApplyRules() {
    m_rows.Row(6).SetEnabled(m_threshold->isChecked());
}

void AdjustmentPage::Load(const SettingsRecord& s) {
    const AdjustmentGroup& a = s.Adjustment;
    m_brightness->SetValue(a.ImageBrightness);
    m_contrast->SetValue(a.ImageContrast);
    const double gamma = std::isfinite(a.ImageGamma) ? a.ImageGamma : 1.0;
    m_gamma->SetValue(static_cast<int>(std::lround(std::clamp(gamma, 0.0, 10.0) * 100.0)));
    m_invert->setChecked(a.ImageInvert != 0);
    m_greyscale->setChecked(a.DoImageGreyscale != 0);
    m_threshold->setChecked(a.DoImageThreshold != 0);
    m_level->SetValue(a.ImageThreshold);
    ApplyRules();
}

void AdjustmentPage::Store(SettingsRecord& s) const {
    AdjustmentGroup& a = s.Adjustment;
    a.ImageBrightness = m_brightness->Value();
    a.ImageContrast = m_contrast->Value();
    a.ImageGamma = static_cast<float>(m_gamma->Value() / 100.0);
    a.ImageInvert = Flag(m_invert);
    a.DoImageGreyscale = Flag(m_greyscale);
    a.DoImageThreshold = Flag(m_threshold);
    a.ImageThreshold = m_level->Value();
    const bool neutral = a.ImageBrightness == 0 && a.ImageContrast == 0 && a.ImageGamma == 1.0f &&
                         a.ImageInvert == 0;
    a.DoImageColorCorrection = neutral ? 0 : 1;
}

// ---- Frame -----------------------------------------------------------------------------------

FramePage::FramePage(QWidget* parent) : PreferencesPage(parent) {
    RowBuilder top(this);
    m_type = top.Choice(0, "Frame Type", "Frame/Do Frame", {"None", "Frame Solid"});
    m_area = AddScrollingArea(this, 0, 40, 450, 215, 310);
    RowBuilder rows(m_area);
    const char* sideKeys[4] = {"Left", "Right", "Top", "Bottom"};
    const char* colorKeys[4] = {"Left Color", "Right Color", "Top Color", "Bottom Color"};
    for (int i = 0; i < 4; ++i) {
        m_sides[i] =
            rows.Number(i, sideKeys[i], QStringLiteral("Frame/Solid ") + sideKeys[i], "Pixels");
        m_colors[i] =
            rows.Color(4 + i, colorKeys[i], QStringLiteral("Frame/Solid ") + colorKeys[i]);
    }
    m_opacity = rows.Slider(8, "Opacity", "Frame/Solid Opacity", 1, 255);
    connect(m_type, &QComboBox::currentIndexChanged, this, &FramePage::ApplyRules);
}

void FramePage::ApplyRules() {
    // The scrolling area holds the inner widget; show or hide the whole area.
    m_area->parentWidget()->parentWidget()->setVisible(m_type->Value() == 1);
}

void FramePage::Load(const SettingsRecord& s) {
    const FrameGroup& f = s.Frame;
    m_type->SetValue(f.DoFrame);
    const int32_t sides[4] = {f.SolidLeft, f.SolidRight, f.SolidTop, f.SolidBottom};
    const std::string* colors[4] = {&f.SolidLeftColor, &f.SolidRightColor, &f.SolidTopColor,
                                    &f.SolidBottomColor};
    for (int i = 0; i < 4; ++i) {
        m_sides[i]->SetNumber(sides[i]);
        m_colors[i]->SetColor(Q(*colors[i]));
    }
    m_opacity->SetValue(f.SolidOpacity);
    ApplyRules();
}

void FramePage::Store(SettingsRecord& s) const {
    FrameGroup& f = s.Frame;
    f.DoFrame = static_cast<int8_t>(m_type->Value());
    int32_t* sides[4] = {&f.SolidLeft, &f.SolidRight, &f.SolidTop, &f.SolidBottom};
    std::string* colors[4] = {&f.SolidLeftColor, &f.SolidRightColor, &f.SolidTopColor,
                              &f.SolidBottomColor};
    for (int i = 0; i < 4; ++i) {
        *sides[i] = m_sides[i]->Number();
        *colors[i] = U8(m_colors[i]->Color());
    }
    f.SolidOpacity = m_opacity->Value();
}

} // namespace qm::gui
