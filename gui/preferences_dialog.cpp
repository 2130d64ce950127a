#include "gui/preferences_dialog.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>

#include "app/settings_file.h"
#include "core/settings.h"
#include "gui/main_window.h"
#include "gui/message_box.h"
#include "gui/preferences_pages.h"
#include "gui/texts.h"
#include "gui/window_ids.h"

namespace qm::gui {

uint8_t PreferencesStartPage = 0;
int32_t InterfaceReload = 0;

namespace {

constexpr const char* kPageKeys[kPageCount] = {"General", "Interface", "Input",
                                               "Output",  "Transform", "Adjustment",
                                               "Frame",   "Watermark", "Advanced"};

} // namespace

PreferencesDialog::PreferencesDialog(QWidget* parent, std::function<void()> apply)
    : QDialog(parent), m_apply(std::move(apply)) {
    setObjectName("Preferences");
    setWindowTitle(PrefText("Title"));
    setFixedSize(600, 350);
    BuildFrame();
    m_pages = {
        new GeneralPage(m_pageArea), new InterfacePage(m_pageArea), new InputPage(m_pageArea),
        new OutputPage(m_pageArea),  new TransformPage(m_pageArea), new AdjustmentPage(m_pageArea),
        new FramePage(m_pageArea),   new WatermarkPage(m_pageArea), new AdvancedPage(m_pageArea)};
    for (PreferencesPage* page : m_pages)
        m_pageArea->addWidget(page);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item)
            ShowPreferencesPage(m_tree->indexOfTopLevelItem(item));
    });
    connect(m_ok, &QPushButton::clicked, this, &PreferencesDialog::StoreAndClose);
    connect(m_defaults, &QPushButton::clicked, this, &PreferencesDialog::ResetToDefaults);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PreferencesDialog::BuildFrame() {
    m_tree = new QTreeWidget(this);
    m_tree->setGeometry(10, 10, 120, 295);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    for (const char* key : kPageKeys)
        m_tree->addTopLevelItem(new QTreeWidgetItem(QStringList(PrefText(key))));

    auto* band = new QFrame(this);
    band->setGeometry(140, 10, 450, 30);
    band->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    band->setAutoFillBackground(true);
    QPalette white = band->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    band->setPalette(white);
    m_heading = new QLabel(this);
    m_heading->setGeometry(150, 17, 330, 20);
    m_heading->setPalette(white);
    // The dialog face of the desktop, 10 points bold.
    QFont headingFont = QApplication::font("QDialog");
    headingFont.setPointSize(10);
    headingFont.setBold(true);
    m_heading->setFont(headingFont);

    m_pageArea = new QStackedWidget(this);
    m_pageArea->setGeometry(140, 50, 450, 255);

    m_defaults = new QPushButton(Text("Dialog", "Defaults"), this);
    m_defaults->setGeometry(10, 315, 80, 25);
    m_ok = new QPushButton(Text("Dialog", "OK"), this);
    m_ok->setGeometry(420, 315, 80, 25);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(Text("Dialog", "Cancel"), this);
    m_cancel->setGeometry(510, 315, 80, 25);
}

void PreferencesDialog::LoadPreferencesControls() {
    for (PreferencesPage* page : m_pages)
        page->Load(Settings);
    const int start = PreferencesStartPage < kPageCount ? PreferencesStartPage : 0;
    ShowPreferencesPage(start);
    PreferencesStartPage = 0;
}

void PreferencesDialog::ShowPreferencesPage(int page) {
    if (page < 0 || page >= kPageCount)
        return;
    m_heading->setText(PrefText(kPageKeys[page]));
    m_pageArea->setCurrentIndex(page);
    if (m_tree->indexOfTopLevelItem(m_tree->currentItem()) != page)
        m_tree->setCurrentItem(m_tree->topLevelItem(page));
}

int PreferencesDialog::CurrentPage() const {
    return m_pageArea->currentIndex();
}

void PreferencesDialog::RequestInterfaceReload() {
    // Compares the dialog's selections with the values in Settings; a changed theme wins.
    const auto* page = static_cast<const InterfacePage*>(m_pages[kPageInterface]);
    InterfaceReload = 0;
    if (page->SelectedSize() != Settings.Interface.UISize)
        InterfaceReload = 2;
    if (const auto theme = page->SelectedTheme(); theme && *theme != Settings.Interface.UITheme)
        InterfaceReload = 1;
}

void PreferencesDialog::Finish() {
    SaveSettings();
    if (m_apply)
        m_apply();
    accept();
}

void PreferencesDialog::StoreAndClose() {
    RequestInterfaceReload();
    for (PreferencesPage* page : m_pages)
        page->Store(Settings);
    Finish();
}

void PreferencesDialog::ResetToDefaults() {
    if (!AskResetToDefaults())
        return;
    ResetSettings(0);
    RequestInterfaceReload();
    Finish();
}

bool AskResetToDefaults() {
    return AskYesNo(BoxIcon::Question, Text("Msg", "Reset to Defaults"),
                    Text("Msg", "Ask reset to defaults"));
}

PreferencesDialog* ShowPreferences(QWidget* parent, std::function<void()> apply) {
    auto* dialog = new PreferencesDialog(parent, std::move(apply));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->LoadPreferencesControls();
    dialog->open();
    dialog->activateWindow();
    dialog->Tree()->setFocus();
    return dialog;
}

PreferencesDialog* ShowPreferencesFrom(MainWindow* window, bool onOutputPage) {
    if (onOutputPage)
        PreferencesStartPage = kPageOutput;
    return ShowPreferences(window, [window] {
        const int32_t reload = InterfaceReload;
        InterfaceReload = 0;
        window->RefreshAfterPreferences(reload == 1, reload == 2);
    });
}

} // namespace qm::gui
