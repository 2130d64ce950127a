// The controls Preferences builds its rows from: numbered drop-downs, slider and spin box
// pairs, digits-only number fields with their unit, colour buttons and colour lists, and the
// row builder that lays them out at their fixed places on a page.
#pragma once

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QWidget>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace qm::gui {

/// A drop-down whose entries stand for numbers. A loaded value that no entry stands for leaves
/// the list without a selection, and Value() then gives that value back unchanged.
class ChoiceBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void AddEntry(const QString& text, int value, const QIcon& icon = {});
    void SetValue(int value);
    int Value() const;

private:
    int m_loaded = 0;
};

/// A spin box typed freely. A number above the range is pulled back at once (so is a negative
/// one below it); one below it otherwise when the editing ends, since it may be the start of a
/// longer number. The arrows step the value by one. With two decimals the text shows the
/// value / 100 ("2.50" for 250) and typed text is taken times 100, rounded.
class StepSpin : public QAbstractSpinBox {
    Q_OBJECT
public:
    StepSpin(int minimum, int maximum, int decimals, QWidget* parent);
    int Value() const { return m_value; }
    /// Clamps, rewrites the text and reports a change through ValueChanged.
    void SetValue(int value);
    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

signals:
    void ValueChanged(int value);

protected:
    StepEnabled stepEnabled() const override;

private:
    void OnTextEdited(const QString& text);
    void OnEditingFinished();
    QString Format(int value) const;
    bool Parse(const QString& text, long long& value) const;
    void Take(int value, bool rewrite);

    int m_min;
    int m_max;
    int m_decimals;
    int m_value;
};

/// A slider (170 wide) and at 170 to its right a spin box (70 wide) kept in step. The slider
/// shows value + offset.
class SliderSpin : public QWidget {
    Q_OBJECT
public:
    SliderSpin(int minimum, int maximum, int offset, int decimals, QWidget* parent);
    void SetValue(int value);
    int Value() const;
    QSlider* Slider() const { return m_slider; }
    StepSpin* Spin() const { return m_spin; }

private:
    QSlider* m_slider;
    StepSpin* m_spin;
    int m_offset;
};

/// A digits-only field (160 wide) and a unit drop-down 70 wide at 170 to its right. The field
/// stores the number of its text, 0 when empty.
class NumberUnit : public QWidget {
    Q_OBJECT
public:
    NumberUnit(QWidget* parent);
    void SetNumber(int value);
    int Number() const;
    QLineEdit* Field() const { return m_field; }
    ChoiceBox* Unit() const { return m_unit; }

private:
    QLineEdit* m_field;
    ChoiceBox* m_unit;
};

/// Six upper-case hexadecimal digits for a stored colour; "000000" for anything that is not
/// six hexadecimal digits.
QString NormalHex(const QString& text);
QColor ColorOfHex(const QString& hex);
QString HexOfColor(const QColor& color);
/// The name of a colour list entry: a named colour, or "Color #RRGGBB".
QString ColorName(const QString& hex);
/// A w x h block of the colour.
QIcon ColorBlock(const QString& hex, int width, int height);

/// A button showing a block of the colour and, 50 to its right, a read-only field with its hex
/// digits. The button opens the colour chooser.
class ColorField : public QWidget {
    Q_OBJECT
public:
    ColorField(QWidget* parent);
    void SetColor(const QString& hex);
    QString Color() const;
    QPushButton* Button() const { return m_button; }

private:
    void Choose();
    QPushButton* m_button;
    QLineEdit* m_hex;
};

/// A drop-down (214 wide) and a "..." button 22 x 22 at 219 to its right.
class FieldWithMore : public QWidget {
    Q_OBJECT
public:
    FieldWithMore(QWidget* editor, QWidget* parent);
    QPushButton* More() const { return m_more; }

private:
    QPushButton* m_more;
};

/// A colour list: the colours of a comma-separated list setting; "..." picks a colour, adds it
/// to the list and to the list setting at once.
class ColorList : public FieldWithMore {
    Q_OBJECT
public:
    /// `listSetting` is the setting "..." appends to (it lives as long as the program).
    ColorList(std::string* listSetting, QWidget* parent);
    /// Fills the entries from the list setting and selects hex (added as an entry, not to the
    /// setting, when the list lacks it).
    void Load(const std::string& hex);
    QString Color() const;
    QComboBox* Combo() const { return m_combo; }

private:
    int IndexOf(const QString& hex) const;
    int AddColorEntry(const QString& hex);
    void Choose();
    std::string* m_listSetting;
    QComboBox* m_combo;
};

/// The label and controls of one row.
struct PrefRow {
    std::vector<QWidget*> widgets;
    void SetEnabled(bool on) const;
    void SetVisible(bool on) const;
};

/// Lays out the rows of one page or scrolling area: labels at 10, controls at 170; row k at
/// 13 + 30k (labels) and 10 + 30k (controls). Controls are named after their setting.
class RowBuilder {
public:
    RowBuilder() = default;
    explicit RowBuilder(QWidget* area) : m_area(area) {}
    QWidget* Area() const { return m_area; }
    ChoiceBox* Choice(int row, std::string_view labelKey, const QString& name,
                      std::initializer_list<const char*> entryKeys);
    ChoiceBox* Choice(int row, std::string_view labelKey, const QString& name);
    QCheckBox* Check(int row, std::string_view labelKey, const QString& name);
    QLineEdit* Text(int row, std::string_view labelKey, const QString& name);
    NumberUnit* Number(int row, std::string_view labelKey, const QString& name,
                       std::string_view unitKey);
    SliderSpin* Slider(int row, std::string_view labelKey, const QString& name, int minimum,
                       int maximum, int offset = 0, int decimals = 0);
    ColorField* Color(int row, std::string_view labelKey, const QString& name);
    ColorList* Colors(int row, std::string_view labelKey, const QString& name,
                      std::string* listSetting);
    /// Places an own control of the given size at the row.
    void Place(int row, std::string_view labelKey, QWidget* control, int width, int height);
    const PrefRow& Row(int row) const { return m_rows.at(static_cast<size_t>(row)); }

private:
    QLabel* Label(int row, std::string_view labelKey);
    PrefRow& RowAt(int row);
    QWidget* m_area = nullptr;
    std::vector<PrefRow> m_rows;
};

/// The Preferences text of key, from the catalogue.
QString PrefText(std::string_view key);

} // namespace qm::gui
