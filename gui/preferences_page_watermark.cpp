// Page Watermark: the text area and the image area, one shown at a time.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "gui/preferences_choosers.h"
#include "gui/preferences_pages.h"
#include "gui/texts.h"

namespace qm::gui {

namespace {

int8_t Flag(const QCheckBox* check) {
    return check->isChecked() ? 1 : 0;
}

int8_t Byte(const ChoiceBox* box) {
    return static_cast<int8_t>(box->Value());
}

constexpr std::initializer_list<const char*> kPositions = {
    "Top-Left",     "Top-Center",  "Top-Right",     "Middle-Left", "Middle-Center",
    "Middle-Right", "Bottom-Left", "Bottom-Center", "Bottom-Right"};

// Font style numbers of the font chooser for the entries Regular, Bold, Italic, Bold Italic.
constexpr int kStyleNumbers[] = {0, 256, 512, 768};

} // namespace

QString WatermarkImageFilter() {
    struct Type {
        const char* name;
        QStringList patterns;
    };
    const Type types[] = {
        {"Portable Network Graphics", {"*.png"}},
        {"Windows or OS/2 Bitmap", {"*.bmp", "*.rle", "*.dib"}},
        {"JPEG File", {"*.jpg", "*.jpeg", "*.jpe", "*.jif"}},
    };
    // File names are case-sensitive here: offer the upper-case spellings too.
    const auto both = [](const QStringList& patterns) {
        QStringList all = patterns;
        for (const QString& pattern : patterns)
            all << pattern.toUpper();
        return all.join(' ');
    };
    QStringList every;
    for (const Type& type : types)
        every << type.patterns;
    QStringList filter;
    filter << Text("Dialog", "All Supported Files") + " (" + both(every) + ")";
    for (const Type& type : types)
        filter << QString::fromLatin1(type.name) + " (" + both(type.patterns) + ")";
    filter << Text("Dialog", "All Files") + " (*)";
    return filter.join(";;");
}

WatermarkPage::WatermarkPage(QWidget* parent) : PreferencesPage(parent) {
    RowBuilder top(this);
    m_type = top.Choice(0, "Watermark Type", "Watermark/Do Watermark",
                        {"None", "Watermark Text", "Watermark Image"});
    m_textArea = AddScrollingArea(this, 0, 40, 450, 215, 610);
    m_imageArea = AddScrollingArea(this, 0, 40, 450, 215, 310);
    BuildTextArea();
    BuildImageArea();
    connect(m_type, &QComboBox::currentIndexChanged, this, &WatermarkPage::ApplyRules);
}

void WatermarkPage::BuildTextArea() {
    m_textRows = RowBuilder(m_textArea);
    RowBuilder& rows = m_textRows;
    WatermarkGroup& w = Settings.Watermark;
    m_text = rows.Text(0, "Text", "Watermark/Text");
    m_font = new QComboBox;
    m_font->setObjectName("Watermark/Font");
    auto* font = new FieldWithMore(m_font, nullptr);
    font->More()->setObjectName("Watermark/Font ...");
    rows.Place(1, "Font", font, 241, 22);
    m_fontSize = rows.Number(2, "Font Size", "Watermark/Font Size", "Points");
    m_leading = rows.Number(3, "Font Leading", "Watermark/Font Leading", "Pixels");
    m_fontColor = rows.Colors(4, "Font Color", "Watermark/Font Color", &w.FontColors);
    m_fontStyle = rows.Choice(5, "Font Style", "Watermark/Font Style",
                              {"Regular", "Bold", "Italic", "Bold Italic"});
    m_fontEffect =
        rows.Choice(6, "Font Effect", "Watermark/Font Effect", {"None", "Underline", "Strikeout"});
    m_antialias = rows.Check(7, "Antialiasing", "Watermark/Text Antialiasing");
    m_alignment = rows.Choice(8, "Text Alignment", "Watermark/Text Alignment",
                              {"Align Left", "Align Center", "Align Right"});
    m_padding = rows.Number(9, "Text Padding", "Watermark/Text Padding", "Pixels");
    m_textOpacity = rows.Slider(10, "Text Opacity", "Watermark/Text Opacity", 1, 255);
    m_backColor = rows.Colors(11, "Background Color", "Watermark/Back Color", &w.BackColors);
    m_backOpacity = rows.Slider(12, "Background Opacity", "Watermark/Back Opacity", 1, 255);
    m_textBoundary =
        rows.Choice(13, "Boundary", "Watermark/Text Boundary", {"Bound Image", "Bound Frame"});
    m_textPosition = rows.Choice(14, "Position", "Watermark/Text Position", kPositions);
    m_textX = rows.Number(15, "X-Offset", "Watermark/Text X Offset", "Pixels");
    m_textY = rows.Number(16, "Y-Offset", "Watermark/Text Y Offset", "Pixels");
    m_textRotation = rows.Slider(17, "Rotation Angle", "Watermark/Text Rotation", 0, 360);
    m_textSize = rows.Choice(18, "Size", "Watermark/Text Size", {"Fixed"});
    m_textScale = rows.Slider(19, "Scale", "Watermark/Text Scale", 1, 200);
    connect(font->More(), &QPushButton::clicked, this, &WatermarkPage::ChooseFont);
    connect(m_textSize, &QComboBox::currentIndexChanged, this, &WatermarkPage::ApplyRules);
}

void WatermarkPage::BuildImageArea() {
    m_imageRows = RowBuilder(m_imageArea);
    RowBuilder& rows = m_imageRows;
    m_image = new QLineEdit;
    m_image->setObjectName("Watermark/Image");
    auto* image = new FieldWithMore(m_image, nullptr);
    image->More()->setObjectName("Watermark/Image ...");
    rows.Place(0, "Image", image, 241, 22);
    m_imageGrey = rows.Check(1, "Image Greyscale", "Watermark/Image Greyscale");
    m_imageOpacity = rows.Slider(2, "Opacity", "Watermark/Image Opacity", 1, 255);
    m_imageBoundary =
        rows.Choice(3, "Boundary", "Watermark/Image Boundary", {"Bound Image", "Bound Frame"});
    m_imagePosition = rows.Choice(4, "Position", "Watermark/Image Position", kPositions);
    m_imageX = rows.Number(5, "X-Offset", "Watermark/Image X Offset", "Pixels");
    m_imageY = rows.Number(6, "Y-Offset", "Watermark/Image Y Offset", "Pixels");
    m_imageRotation = rows.Slider(7, "Rotation Angle", "Watermark/Image Rotation", 0, 360);
    m_imageSize = rows.Choice(8, "Size", "Watermark/Image Size", {"Fixed"});
    m_imageScale = rows.Slider(9, "Scale", "Watermark/Image Scale", 1, 200);
    connect(image->More(), &QPushButton::clicked, this, &WatermarkPage::ChooseImage);
    connect(m_imageSize, &QComboBox::currentIndexChanged, this, &WatermarkPage::ApplyRules);
}

void WatermarkPage::ApplyRules() {
    const int type = m_type->Value();
    m_textArea->parentWidget()->parentWidget()->setVisible(type == 1);
    m_imageArea->parentWidget()->parentWidget()->setVisible(type == 2);
    // Scale applies only to size 1, which the lists do not offer: it shows for a stored 1.
    m_textRows.Row(19).SetVisible(m_textSize->Value() == 1);
    m_imageRows.Row(9).SetVisible(m_imageSize->Value() == 1);
}

void WatermarkPage::ChooseFont() {
    const auto picked = Choosers().PickFont(window(), m_font->currentText(), m_fontSize->Number());
    if (!picked)
        return;
    QString name = picked->family;
    name.remove(',');
    name = name.trimmed();
    if (name.isEmpty())
        return;
    // A new font joins the list setting at once; it survives a Cancel.
    std::string& fonts = Settings.Watermark.Fonts;
    bool listed = false;
    for (const QString& entry : ListEntries(fonts))
        listed = listed || entry.compare(name, Qt::CaseInsensitive) == 0;
    if (!listed) {
        if (!fonts.empty())
            fonts.push_back(',');
        fonts += U8(name);
    }
    int index = m_font->findText(name, Qt::MatchFixedString);
    if (index < 0) {
        m_font->addItem(name);
        index = m_font->count() - 1;
    }
    m_font->setCurrentIndex(index);
    if (picked->pointSize > 0)
        m_fontSize->SetNumber(picked->pointSize);
    const int style = (picked->bold ? 256 : 0) + (picked->italic ? 512 : 0) +
                      (picked->underline ? 4 : 0) + (picked->strikeOut ? 8 : 0);
    for (int entry = 0; entry < 4; ++entry) {
        if (kStyleNumbers[entry] == style)
            m_fontStyle->setCurrentIndex(entry);
    }
}

void WatermarkPage::ChooseImage() {
    const auto file =
        Choosers().PickFile(window(), Text("Dialog", "Select Watermark Image"),
                            Q(CleanFieldText(m_image->text())), WatermarkImageFilter());
    if (file)
        m_image->setText(*file);
}

void WatermarkPage::Load(const SettingsRecord& s) {
    const WatermarkGroup& w = s.Watermark;
    m_type->SetValue(w.DoWatermark);
    m_text->setText(Q(w.Text));
    m_font->clear();
    for (const QString& name : ListEntries(w.Fonts))
        m_font->addItem(name);
    // The current font is offered even when the list lacks it, so OK keeps it.
    int index = m_font->findText(Q(w.Font), Qt::MatchFixedString);
    if (index < 0 && !w.Font.empty()) {
        m_font->addItem(Q(w.Font));
        index = m_font->count() - 1;
    }
    m_font->setCurrentIndex(index);
    m_fontSize->SetNumber(w.FontSize);
    m_leading->SetNumber(w.FontLeading);
    m_fontColor->Load(w.FontColor);
    m_fontStyle->SetValue(w.FontStyle);
    m_fontEffect->SetValue(w.FontEffect);
    m_antialias->setChecked(w.TextAntialiasing != 0);
    m_alignment->SetValue(w.TextAlignment);
    m_padding->SetNumber(w.TextPadding);
    m_textOpacity->SetValue(w.TextOpacity);
    m_backColor->Load(w.BackColor);
    m_backOpacity->SetValue(w.BackOpacity);
    m_textBoundary->SetValue(w.TextBoundary);
    m_textPosition->SetValue(w.TextPosition);
    m_textX->SetNumber(w.TextXOffset);
    m_textY->SetNumber(w.TextYOffset);
    m_textRotation->SetValue(w.TextRotation);
    m_textSize->SetValue(w.TextSize);
    m_textScale->SetValue(w.TextScale);
    m_image->setText(Q(w.Image));
    m_imageGrey->setChecked(w.ImageGreyscale != 0);
    m_imageOpacity->SetValue(w.ImageOpacity);
    m_imageBoundary->SetValue(w.ImageBoundary);
    m_imagePosition->SetValue(w.ImagePosition);
    m_imageX->SetNumber(w.ImageXOffset);
    m_imageY->SetNumber(w.ImageYOffset);
    m_imageRotation->SetValue(w.ImageRotation);
    m_imageSize->SetValue(w.ImageSize);
    m_imageScale->SetValue(w.ImageScale);
    ApplyRules();
}

void WatermarkPage::Store(SettingsRecord& s) const {
    WatermarkGroup& w = s.Watermark;
    w.DoWatermark = Byte(m_type);
    w.Text = CleanFieldText(m_text->text());
    w.Font = U8(m_font->currentText());
    w.FontSize = m_fontSize->Number();
    w.FontLeading = m_leading->Number();
    w.FontColor = U8(m_fontColor->Color());
    w.FontStyle = Byte(m_fontStyle);
    w.FontEffect = Byte(m_fontEffect);
    w.TextAntialiasing = Flag(m_antialias);
    w.TextAlignment = Byte(m_alignment);
    w.TextPadding = m_padding->Number();
    w.TextOpacity = m_textOpacity->Value();
    w.BackColor = U8(m_backColor->Color());
    w.BackOpacity = m_backOpacity->Value();
    w.TextBoundary = Byte(m_textBoundary);
    w.TextPosition = Byte(m_textPosition);
    w.TextXOffset = m_textX->Number();
    w.TextYOffset = m_textY->Number();
    w.TextRotation = m_textRotation->Value();
    w.TextSize = Byte(m_textSize);
    w.TextScale = m_textScale->Value();
    w.Image = CleanFieldText(m_image->text());
    w.ImageGreyscale = Flag(m_imageGrey);
    w.ImageOpacity = m_imageOpacity->Value();
    w.ImageBoundary = Byte(m_imageBoundary);
    w.ImagePosition = Byte(m_imagePosition);
    w.ImageXOffset = m_imageX->Number();
    w.ImageYOffset = m_imageY->Number();
    w.ImageRotation = m_imageRotation->Value();
    w.ImageSize = Byte(m_imageSize);
    w.ImageScale = m_imageScale->Value();
}

} // namespace qm::gui
