// The nine pages of the Preferences dialog. Each page fills its controls from a settings record
// and stores them back; the dialog decides when.
#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/settings.h"
#include "gui/preferences_controls.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QStackedWidget;

namespace qm::gui {

/// Page numbers, in the order of the category tree.
enum PreferencesPageId : int {
    kPageGeneral = 0,
    kPageInterface,
    kPageInput,
    kPageOutput,
    kPageTransform,
    kPageAdjustment,
    kPageFrame,
    kPageWatermark,
    kPageAdvanced,
    kPageCount
};

class PreferencesPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void Load(const SettingsRecord& s) = 0;
    virtual void Store(SettingsRecord& s) const = 0;
};

/// A vertically scrolling area without border at geometry (left, top, width, height) of
/// `page`, scrolling by 10; returns the inner widget (420 wide, innerHeight high).
QWidget* AddScrollingArea(QWidget* page, int left, int top, int width, int height, int innerHeight);

/// The text fields stored trimmed: tabs, carriage returns and line feeds removed, then the
/// spaces at both ends.
std::string CleanFieldText(const QString& text);

/// The names of a comma-separated list setting, each trimmed, empty ones left out.
std::vector<QString> ListEntries(const std::string& list);

class GeneralPage : public PreferencesPage {
    Q_OBJECT
public:
    explicit GeneralPage(QWidget* parent);
    void Load(const SettingsRecord& s) override;
    void Store(SettingsRecord& s) const override;

private:
    ChoiceBox* m_updateRange;
    QCheckBox* m_saveWindow;
};

/// The icon of the format entries (the interface's "New" icon).
QIcon FormatEntryIcon();

class InterfacePage : public PreferencesPage {
    Q_OBJECT
public:
    explicit InterfacePage(QWidget* parent);
    void Load(const SettingsRecord& s) override;
    void Store(SettingsRecord& s) const override;
    /// The archive name of the selected theme; nothing when "None" or no entry is selected.
    std::optional<std::string> SelectedTheme() const;
    int SelectedSize() const;

private:
    QComboBox* m_theme;
    ChoiceBox* m_size;
};

class InputPage : public PreferencesPage {
    Q_OBJECT
public:
    explicit InputPage(QWidget* parent);
    void Load(const SettingsRecord& s) override;
    void Store(SettingsRecord& s) const override;

private:
    QComboBox* m_format;
};

class OutputPage : public PreferencesPage {
    Q_OBJECT
public:
    explicit OutputPage(QWidget* parent);
    void Load(const SettingsRecord& s) override;
    void Store(SettingsRecord& s) const override;
    /// Shows the panel of the selected format (none when no format is selected).
    void ShowFormatPanel();
    QComboBox* FormatChoice() const { return m_format; }
    QWidget* Panel(size_t formatIndex) const { return m_panels.at(formatIndex); }

private:
    void BuildPanel(const std::string& id);
    QComboBox* m_format;
    QStackedWidget* m_panelStack;
    std::vector<QWidget*> m_panels;
    std::vector<ChoiceBox*> m_depths;
    QWidget* m_noPanel;
    std::string m_loadedFormat;
    struct Extra {
        std::function<void(const SettingsRecord&)> load;
        std::function<void(SettingsRecord&)> store;
    };
    std::vector<Extra> m_extras;
};

class TransformPage : public PreferencesPage {
    Q_OBJECT
public:
    explicit TransformPage(QWidget* parent);
    void Load(const SettingsRecord& s) override;
    void Store(SettingsRecord& s) const override;
    void ApplyRules();

private:
    RowBuilder m_rows;
    QCheckBox* m_rotate;
    ChoiceBox* m_rotationType;
    SliderSpin* m_angle;
    ColorField* m_backColor;
    QCheckBox* m_resize;
    NumberUnit* m_width;
    NumberUnit* m_height;
    QCheckBox* m_keepRatio;
    ChoiceBox* m_resizeType;
    ChoiceBox* m_algorithm;
    QCheckBox* m_flipH;
    QCheckBox* m_flipV;
};

class AdjustmentPage : public PreferencesPage {
    Q_OBJECT
public:
    explicit AdjustmentPage(QWidget* parent);
    void Load(const SettingsRecord& s) override;
    void Store(SettingsRecord& s) const override;
    void ApplyRules();

private:
    RowBuilder m_rows;
    SliderSpin* m_brightness;
    SliderSpin* m_contrast;
    SliderSpin* m_gamma;
    QCheckBox* m_invert;
    QCheckBox* m_greyscale;
    QCheckBox* m_threshold;
    SliderSpin* m_level;
};

class FramePage : public PreferencesPage {
    Q_OBJECT
public:
    explicit FramePage(QWidget* parent);
    void Load(const SettingsRecord& s) override;
    void Store(SettingsRecord& s) const override;
    void ApplyRules();

private:
    ChoiceBox* m_type;
    QWidget* m_area;
    NumberUnit* m_sides[4];
    ColorField* m_colors[4];
    SliderSpin* m_opacity;
};

/// The filter of the watermark image chooser: all supported files, the three image types, all
/// files.
QString WatermarkImageFilter();

class WatermarkPage : public PreferencesPage {
    Q_OBJECT
public:
    explicit WatermarkPage(QWidget* parent);
    void Load(const SettingsRecord& s) override;
    void Store(SettingsRecord& s) const override;
    void ApplyRules();
    QWidget* TextArea() const { return m_textArea; }
    QWidget* ImageArea() const { return m_imageArea; }

private:
    void BuildTextArea();
    void BuildImageArea();
    void ChooseFont();
    void ChooseImage();

    ChoiceBox* m_type;
    QWidget* m_textArea;
    QWidget* m_imageArea;
    RowBuilder m_textRows;
    RowBuilder m_imageRows;
    // text area
    QLineEdit* m_text;
    QComboBox* m_font;
    NumberUnit* m_fontSize;
    NumberUnit* m_leading;
    ColorList* m_fontColor;
    ChoiceBox* m_fontStyle;
    ChoiceBox* m_fontEffect;
    QCheckBox* m_antialias;
    ChoiceBox* m_alignment;
    NumberUnit* m_padding;
    SliderSpin* m_textOpacity;
    ColorList* m_backColor;
    SliderSpin* m_backOpacity;
    ChoiceBox* m_textBoundary;
    ChoiceBox* m_textPosition;
    NumberUnit* m_textX;
    NumberUnit* m_textY;
    SliderSpin* m_textRotation;
    ChoiceBox* m_textSize;
    SliderSpin* m_textScale;
    // image area
    QLineEdit* m_image;
    QCheckBox* m_imageGrey;
    SliderSpin* m_imageOpacity;
    ChoiceBox* m_imageBoundary;
    ChoiceBox* m_imagePosition;
    NumberUnit* m_imageX;
    NumberUnit* m_imageY;
    SliderSpin* m_imageRotation;
    ChoiceBox* m_imageSize;
    SliderSpin* m_imageScale;
};

class AdvancedPage : public PreferencesPage {
    Q_OBJECT
public:
    explicit AdvancedPage(QWidget* parent);
    void Load(const SettingsRecord& s) override;
    void Store(SettingsRecord& s) const override;
    void ApplyRules();

private:
    RowBuilder m_rows;
    QLineEdit* m_mask;
    ChoiceBox* m_timestamp;
    QDateTimeEdit* m_custom;
    ChoiceBox* m_history;
    SliderSpin* m_folders;
    QCheckBox* m_subfolders;
};

} // namespace qm::gui
