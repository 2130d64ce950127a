// Pages General, Interface, Input and Advanced, and what the pages share.
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <climits>

#include "gui/preferences_pages.h"
#include "gui/texts.h"
#include "gui/theme.h"

namespace qm::gui {

QWidget* AddScrollingArea(QWidget* page, int left, int top, int width, int height,
                          int innerHeight) {
    auto* scroll = new QScrollArea(page);
    scroll->setGeometry(left, top, width, height);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->verticalScrollBar()->setSingleStep(10);
    auto* inner = new QWidget;
    inner->setFixedSize(420, innerHeight);
    scroll->setWidget(inner);
    return inner;
}

std::string CleanFieldText(const QString& text) {
    QString clean = text;
    clean.remove('\t').remove('\r').remove('\n');
    qsizetype start = 0;
    qsizetype end = clean.size();
    while (start < end && clean[start] == ' ')
        ++start;
    while (end > start && clean[end - 1] == ' ')
        --end;
    return U8(clean.mid(start, end - start));
}

std::vector<QString> ListEntries(const std::string& list) {
    std::vector<QString> entries;
    for (const QString& part : Q(list).split(',')) {
        if (!part.trimmed().isEmpty())
            entries.push_back(part.trimmed());
    }
    return entries;
}

QIcon FormatEntryIcon() {
    return ThemeIcon(ImageSet::MenuIcons, "New");
}

// ---- General ---------------------------------------------------------------------------------

GeneralPage::GeneralPage(QWidget* parent) : PreferencesPage(parent) {
    RowBuilder rows(this);
    ChoiceBox* language = rows.Choice(0, "Language", "General/Language");
    language->AddEntry(QStringLiteral("English"), 0);
    language->setCurrentIndex(0);
    m_updateRange = rows.Choice(
        1, "Check For Updates", "General/Update Range",
        {"Every day", "Every week", "Every month", "Every 3 months", "Every 6 months", "Never"});
    m_saveWindow = rows.Check(2, "Save window position", "General/Save Window Position");
}

void GeneralPage::Load(const SettingsRecord& s) {
    m_updateRange->SetValue(s.General.UpdateRange);
    m_saveWindow->setChecked(s.General.SaveWindowPosition != 0);
}

void GeneralPage::Store(SettingsRecord& s) const {
    s.General.Language = "en";
    s.General.UpdateRange = m_updateRange->Value();
    s.General.SaveWindowPosition = m_saveWindow->isChecked() ? 1 : 0;
}

// ---- Interface -------------------------------------------------------------------------------

InterfacePage::InterfacePage(QWidget* parent) : PreferencesPage(parent) {
    RowBuilder rows(this);
    m_theme = rows.Choice(0, "UI Theme", "Interface/UI Theme");
    m_size = rows.Choice(1, "UI Size", "Interface/UI Size",
                         {"Small", "Medium", "Large", "Extra Large", "Huge"});
}

void InterfacePage::Load(const SettingsRecord& s) {
    m_theme->clear();
    // The themes listed at start-up, by archive name regardless of letter case.
    std::vector<std::pair<std::string, QString>> themes;
    for (const auto& [name, display] : ThemeList) {
        if (!display.isEmpty())
            themes.emplace_back(name, display);
    }
    std::sort(themes.begin(), themes.end(), [](const auto& a, const auto& b) {
        return Q(a.first).compare(Q(b.first), Qt::CaseInsensitive) < 0;
    });
    for (const auto& [name, display] : themes)
        m_theme->addItem(display, Q(name));
    if (themes.empty())
        m_theme->addItem(PrefText("None"));
    const int current = m_theme->findData(Q(s.Interface.UITheme));
    m_theme->setCurrentIndex(themes.empty() ? 0 : current);
    m_size->SetValue(s.Interface.UISize);
}

std::optional<std::string> InterfacePage::SelectedTheme() const {
    const QVariant name = m_theme->currentData();
    if (!name.isValid())
        return std::nullopt;
    return U8(name.toString());
}

int InterfacePage::SelectedSize() const {
    return m_size->Value();
}

void InterfacePage::Store(SettingsRecord& s) const {
    // With "None" (or a theme that is not installed) the setting is kept as it was.
    if (const auto theme = SelectedTheme())
        s.Interface.UITheme = *theme;
    s.Interface.UISize = SelectedSize();
}

// ---- Input -----------------------------------------------------------------------------------

InputPage::InputPage(QWidget* parent) : PreferencesPage(parent) {
    RowBuilder rows(this);
    m_format = new QComboBox(this);
    m_format->setObjectName("Input/Format");
    rows.Place(0, "Input Format", m_format, 240, 21);
    for (size_t i = 0; i < InputFormats.size(); ++i)
        m_format->addItem(FormatEntryIcon(), Q(InputFormats[i]).toUpper(), static_cast<int>(i));
}

void InputPage::Load(const SettingsRecord& s) {
    const auto it = std::find(InputFormats.begin(), InputFormats.end(), s.Input.Format);
    m_format->setCurrentIndex(
        it == InputFormats.end() ? -1 : static_cast<int>(it - InputFormats.begin()));
}

void InputPage::Store(SettingsRecord& s) const {
    const int index = m_format->currentIndex();
    if (index >= 0)
        s.Input.Format = InputFormats.at(static_cast<size_t>(m_format->itemData(index).toInt()));
}

// ---- Advanced --------------------------------------------------------------------------------

AdvancedPage::AdvancedPage(QWidget* parent) : PreferencesPage(parent), m_rows(this) {
    m_mask = m_rows.Text(0, "Filename Mask", "Advanced/Filename Mask");
    m_timestamp = m_rows.Choice(1, "File Timestamp", "Advanced/File Timestamp",
                                {"Current", "Original", "Custom"});
    m_custom = new QDateTimeEdit(this);
    m_custom->setObjectName("Advanced/Custom Timestamp");
    // The record counts the local clock reading as if it were UTC.
    m_custom->setTimeSpec(Qt::UTC);
    m_custom->setDateTimeRange(QDateTime::fromSecsSinceEpoch(INT32_MIN, Qt::UTC),
                               QDateTime::fromSecsSinceEpoch(INT32_MAX, Qt::UTC));
    m_custom->setDisplayFormat(QStringLiteral("yyyy/MM/dd HH:mm"));
    m_custom->setCalendarPopup(true);
    m_rows.Place(2, "Custom Timestamp", m_custom, 240, 21);
    m_history = m_rows.Choice(3, "Out Folders History", "Advanced/Out Folders History",
                              {"Clean On Exit", "Keep Folders"});
    m_folders = m_rows.Slider(4, "Out Folders Number", "Advanced/Out Folders Number", 1, 50);
    m_subfolders = m_rows.Check(5, "Keep Subfolders", "Advanced/Keep Subfolders");
    connect(m_timestamp, &QComboBox::currentIndexChanged, this, &AdvancedPage::ApplyRules);
}

void AdvancedPage::Load(const SettingsRecord& s) {
    m_mask->setText(Q(s.Advanced.FilenameMask));
    m_timestamp->SetValue(s.Advanced.FileTimestamp);
    m_custom->setDateTime(QDateTime::fromSecsSinceEpoch(s.Advanced.CustomTimestamp, Qt::UTC));
    m_history->SetValue(s.Advanced.OutFoldersHistory);
    m_folders->SetValue(s.Advanced.OutFoldersNumber);
    m_subfolders->setChecked(s.Advanced.KeepSubfolders != 0);
    ApplyRules();
}

void AdvancedPage::ApplyRules() {
    m_rows.Row(2).SetEnabled(m_timestamp->Value() == 2);
}

void AdvancedPage::Store(SettingsRecord& s) const {
    s.Advanced.FilenameMask = CleanFieldText(m_mask->text());
    s.Advanced.FileTimestamp = static_cast<int8_t>(m_timestamp->Value());
    const qint64 custom = m_custom->dateTime().toSecsSinceEpoch();
    s.Advanced.CustomTimestamp =
        static_cast<int32_t>(std::clamp<qint64>(custom, INT32_MIN, INT32_MAX));
    s.Advanced.OutFoldersHistory = static_cast<int8_t>(m_history->Value());
    s.Advanced.OutFoldersNumber = static_cast<int8_t>(m_folders->Value());
    s.Advanced.KeepSubfolders = m_subfolders->isChecked() ? 1 : 0;
}

} // namespace qm::gui
