#include "gui/preferences_controls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <cmath>

#include "gui/preferences_choosers.h"
#include "gui/texts.h"

namespace qm::gui {

QString PrefText(std::string_view key) {
    return Text("Preferences", key);
}

// ---- ChoiceBox -------------------------------------------------------------------------------

void ChoiceBox::AddEntry(const QString& text, int value, const QIcon& icon) {
    addItem(icon, text, value);
}

void ChoiceBox::SetValue(int value) {
    m_loaded = value;
    setCurrentIndex(findData(value));
}

int ChoiceBox::Value() const {
    return currentIndex() < 0 ? m_loaded : currentData().toInt();
}

// ---- StepSpin --------------------------------------------------------------------------------

StepSpin::StepSpin(int minimum, int maximum, int decimals, QWidget* parent)
    : QAbstractSpinBox(parent), m_min(minimum), m_max(maximum), m_decimals(decimals),
      m_value(minimum) {
    lineEdit()->setText(Format(m_value));
    connect(lineEdit(), &QLineEdit::textEdited, this, &StepSpin::OnTextEdited);
    connect(this, &QAbstractSpinBox::editingFinished, this, &StepSpin::OnEditingFinished);
}

QString StepSpin::Format(int value) const {
    if (m_decimals == 0)
        return QString::number(value);
    return QString::number(value / 100.0, 'f', 2);
}

bool StepSpin::Parse(const QString& text, long long& value) const {
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return false;
    const double scaled = std::round(m_decimals ? number * 100.0 : number);
    value = static_cast<long long>(std::clamp(scaled, -1e9, 1e9));
    return true;
}

void StepSpin::Take(int value, bool rewrite) {
    const bool changed = value != m_value;
    m_value = value;
    if (rewrite && lineEdit()->text() != Format(value))
        lineEdit()->setText(Format(value));
    if (changed)
        emit ValueChanged(value);
}

void StepSpin::SetValue(int value) {
    Take(std::clamp(value, m_min, m_max), true);
}

void StepSpin::OnTextEdited(const QString& text) {
    long long typed = 0;
    if (!Parse(text, typed))
        return;
    if (typed > m_max || (typed < m_min && typed < 0))
        Take(static_cast<int>(std::clamp<long long>(typed, m_min, m_max)), true);
    else if (typed >= m_min)
        Take(static_cast<int>(typed), false);
}

void StepSpin::OnEditingFinished() {
    long long typed = m_value;
    Parse(lineEdit()->text(), typed);
    Take(static_cast<int>(std::clamp<long long>(typed, m_min, m_max)), true);
}

void StepSpin::stepBy(int steps) {
    SetValue(m_value + steps);
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled StepSpin::stepEnabled() const {
    StepEnabled enabled = StepNone;
    if (m_value < m_max)
        enabled |= StepUpEnabled;
    if (m_value > m_min)
        enabled |= StepDownEnabled;
    return enabled;
}

QValidator::State StepSpin::validate(QString& input, int& /*pos*/) const {
    static const QRegularExpression whole("^-?\\d*$");
    static const QRegularExpression decimal("^-?\\d*\\.?\\d*$");
    if (!(m_decimals ? decimal : whole).match(input).hasMatch())
        return QValidator::Invalid;
    long long value = 0;
    return Parse(input, value) ? QValidator::Acceptable : QValidator::Intermediate;
}

void StepSpin::fixup(QString& input) const {
    long long value = m_value;
    Parse(input, value);
    input = Format(static_cast<int>(std::clamp<long long>(value, m_min, m_max)));
}

// ---- SliderSpin ------------------------------------------------------------------------------

SliderSpin::SliderSpin(int minimum, int maximum, int offset, int decimals, QWidget* parent)
    : QWidget(parent), m_slider(new QSlider(Qt::Horizontal, this)),
      m_spin(new StepSpin(minimum, maximum, decimals, this)), m_offset(offset) {
    m_slider->setGeometry(0, 0, 170, 20);
    m_spin->setGeometry(170, 0, 70, 20);
    m_slider->setRange(minimum + offset, maximum + offset);
    connect(m_slider, &QSlider::valueChanged, this,
            [this](int position) { m_spin->SetValue(position - m_offset); });
    connect(m_spin, &StepSpin::ValueChanged, this, [this](int value) {
        const QSignalBlocker block(m_slider);
        m_slider->setValue(value + m_offset);
    });
}

void SliderSpin::SetValue(int value) {
    m_spin->SetValue(value);
    const QSignalBlocker block(m_slider);
    m_slider->setValue(m_spin->Value() + m_offset);
}

int SliderSpin::Value() const {
    return m_spin->Value();
}

// ---- NumberUnit ------------------------------------------------------------------------------

NumberUnit::NumberUnit(QWidget* parent)
    : QWidget(parent), m_field(new QLineEdit(this)), m_unit(new ChoiceBox(this)) {
    m_field->setGeometry(0, 0, 160, 20);
    m_unit->setGeometry(170, 0, 70, 21);
    m_field->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,9}"), m_field));
}

void NumberUnit::SetNumber(int value) {
    m_field->setText(QString::number(value));
}

int NumberUnit::Number() const {
    // A loaded negative number (from the command line or a hand-edited file) is kept.
    bool ok = false;
    const long long value = m_field->text().trimmed().toLongLong(&ok);
    return ok ? static_cast<int>(std::clamp<long long>(value, INT32_MIN, INT32_MAX)) : 0;
}

// ---- Colours ---------------------------------------------------------------------------------

namespace {

struct NamedColor {
    const char* hex;
    const char* key;
};

constexpr NamedColor kNamedColors[] = {
    {"000000", "Black"},  {"C0C0C0", "Silver"}, {"808080", "Gray"},   {"FFFFFF", "White"},
    {"800000", "Maroon"}, {"FF0000", "Red"},    {"800080", "Purple"}, {"FF00FF", "Fuchsia"},
    {"008000", "Green"},  {"00FF00", "Lime"},   {"808000", "Olive"},  {"FFFF00", "Yellow"},
    {"000080", "Navy"},   {"0000FF", "Blue"},   {"008080", "Teal"},   {"00FFFF", "Aqua"},
    {"FF8000", "Orange"}, {"804000", "Brown"},  {"8000FF", "Violet"},
};

bool IsHex6(const QString& text) {
    static const QRegularExpression hex("^[0-9A-Fa-f]{6}$");
    return hex.match(text).hasMatch();
}

} // namespace

QString NormalHex(const QString& text) {
    const QString trimmed = text.trimmed();
    return IsHex6(trimmed) ? trimmed.toUpper() : QStringLiteral("000000");
}

QColor ColorOfHex(const QString& hex) {
    return QColor(QStringLiteral("#") + NormalHex(hex));
}

QString HexOfColor(const QColor& color) {
    return color.name(QColor::HexRgb).mid(1).toUpper();
}

QString ColorName(const QString& hex) {
    const QString normal = NormalHex(hex);
    for (const NamedColor& named : kNamedColors)
        if (normal == QLatin1String(named.hex))
            return PrefText(named.key);
    return PrefText("Color") + " #" + normal;
}

QIcon ColorBlock(const QString& hex, int width, int height) {
    QPixmap block(width, height);
    block.fill(ColorOfHex(hex));
    QPainter painter(&block);
    painter.setPen(Qt::gray);
    painter.drawRect(0, 0, width - 1, height - 1);
    return QIcon(block);
}

ColorField::ColorField(QWidget* parent)
    : QWidget(parent), m_button(new QPushButton(this)), m_hex(new QLineEdit(this)) {
    m_button->setGeometry(0, 0, 44, 22);
    m_button->setIconSize(QSize(34, 12));
    m_hex->setGeometry(50, 1, 190, 20);
    m_hex->setReadOnly(true);
    connect(m_button, &QPushButton::clicked, this, &ColorField::Choose);
}

void ColorField::SetColor(const QString& hex) {
    const QString normal = NormalHex(hex);
    m_hex->setText(normal);
    m_button->setIcon(ColorBlock(normal, 34, 12));
}

QString ColorField::Color() const {
    return NormalHex(m_hex->text());
}

void ColorField::Choose() {
    const auto picked = Choosers().PickColor(window(), ColorOfHex(Color()));
    if (picked && HexOfColor(*picked) != Color())
        SetColor(HexOfColor(*picked));
}

FieldWithMore::FieldWithMore(QWidget* editor, QWidget* parent)
    : QWidget(parent), m_more(new QPushButton(QStringLiteral("..."), this)) {
    editor->setParent(this);
    editor->setGeometry(0, 0, 214, editor->inherits("QComboBox") ? 21 : 20);
    m_more->setGeometry(219, 0, 22, 22);
}

ColorList::ColorList(std::string* listSetting, QWidget* parent)
    : FieldWithMore(new QComboBox, parent), m_listSetting(listSetting),
      m_combo(findChild<QComboBox*>()) {
    m_combo->setIconSize(QSize(16, 16));
    connect(More(), &QPushButton::clicked, this, &ColorList::Choose);
}

int ColorList::IndexOf(const QString& hex) const {
    return m_combo->findData(NormalHex(hex));
}

int ColorList::AddColorEntry(const QString& hex) {
    const QString normal = NormalHex(hex);
    m_combo->addItem(ColorBlock(normal, 16, 16), ColorName(normal), normal);
    return m_combo->count() - 1;
}

void ColorList::Load(const std::string& hex) {
    m_combo->clear();
    for (const QString& part : Q(*m_listSetting).split(',', Qt::SkipEmptyParts)) {
        if (IsHex6(part.trimmed()) && IndexOf(part) < 0)
            AddColorEntry(part);
    }
    int index = IndexOf(Q(hex));
    if (index < 0)
        index = AddColorEntry(Q(hex));
    m_combo->setCurrentIndex(index);
}

QString ColorList::Color() const {
    return NormalHex(m_combo->currentData().toString());
}

void ColorList::Choose() {
    const auto picked = Choosers().PickColor(window(), ColorOfHex(Color()));
    if (!picked)
        return;
    const QString hex = HexOfColor(*picked);
    int index = IndexOf(hex);
    if (index < 0) {
        index = AddColorEntry(hex);
        // The list setting learns the colour at once; it survives a Cancel.
        if (!m_listSetting->empty())
            m_listSetting->push_back(',');
        m_listSetting->append(U8(hex));
    }
    m_combo->setCurrentIndex(index);
}

// ---- Rows ------------------------------------------------------------------------------------

void PrefRow::SetEnabled(bool on) const {
    for (QWidget* widget : widgets)
        widget->setEnabled(on);
}

void PrefRow::SetVisible(bool on) const {
    for (QWidget* widget : widgets)
        widget->setVisible(on);
}

PrefRow& RowBuilder::RowAt(int row) {
    if (m_rows.size() <= static_cast<size_t>(row))
        m_rows.resize(static_cast<size_t>(row) + 1);
    return m_rows[static_cast<size_t>(row)];
}

QLabel* RowBuilder::Label(int row, std::string_view labelKey) {
    auto* label = new QLabel(PrefText(labelKey), m_area);
    label->setGeometry(10, 13 + 30 * row, 160, 20);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    RowAt(row).widgets.push_back(label);
    return label;
}

void RowBuilder::Place(int row, std::string_view labelKey, QWidget* control, int width,
                       int height) {
    Label(row, labelKey);
    control->setParent(m_area);
    control->setGeometry(170, 10 + 30 * row, width, height);
    RowAt(row).widgets.push_back(control);
}

ChoiceBox* RowBuilder::Choice(int row, std::string_view labelKey, const QString& name) {
    auto* box = new ChoiceBox(m_area);
    box->setObjectName(name);
    Place(row, labelKey, box, 240, 21);
    return box;
}

ChoiceBox* RowBuilder::Choice(int row, std::string_view labelKey, const QString& name,
                              std::initializer_list<const char*> entryKeys) {
    ChoiceBox* box = Choice(row, labelKey, name);
    int value = 0;
    for (const char* key : entryKeys)
        box->AddEntry(PrefText(key), value++);
    return box;
}

QCheckBox* RowBuilder::Check(int row, std::string_view labelKey, const QString& name) {
    auto* check = new QCheckBox(m_area);
    check->setObjectName(name);
    Place(row, labelKey, check, 240, 20);
    return check;
}

QLineEdit* RowBuilder::Text(int row, std::string_view labelKey, const QString& name) {
    auto* field = new QLineEdit(m_area);
    field->setObjectName(name);
    Place(row, labelKey, field, 240, 20);
    return field;
}

NumberUnit* RowBuilder::Number(int row, std::string_view labelKey, const QString& name,
                               std::string_view unitKey) {
    auto* number = new NumberUnit(m_area);
    number->setObjectName(name);
    if (!unitKey.empty()) {
        number->Unit()->AddEntry(PrefText(unitKey), 0);
        number->Unit()->setCurrentIndex(0);
    }
    Place(row, labelKey, number, 240, 21);
    return number;
}

SliderSpin* RowBuilder::Slider(int row, std::string_view labelKey, const QString& name, int minimum,
                               int maximum, int offset, int decimals) {
    auto* slider = new SliderSpin(minimum, maximum, offset, decimals, m_area);
    slider->setObjectName(name);
    Place(row, labelKey, slider, 240, 20);
    return slider;
}

ColorField* RowBuilder::Color(int row, std::string_view labelKey, const QString& name) {
    auto* color = new ColorField(m_area);
    color->setObjectName(name);
    Place(row, labelKey, color, 240, 22);
    return color;
}

ColorList* RowBuilder::Colors(int row, std::string_view labelKey, const QString& name,
                              std::string* listSetting) {
    auto* colors = new ColorList(listSetting, m_area);
    colors->setObjectName(name);
    Place(row, labelKey, colors, 241, 22);
    return colors;
}

} // namespace qm::gui
