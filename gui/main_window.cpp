#include "gui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "cli/command_line.h"
#include "cli/input_collection.h"
#include "core/formats.h"
#include "core/settings.h"
#include "engine/conversion_job.h"
#include "gui/about_window.h"
#include "gui/add_input.h"
#include "gui/find_converter_window.h"
#include "gui/help_commands.h"
#include "gui/main_window_host.h"
#include "gui/output_folder_history.h"
#include "gui/preferences_dialog.h"
#include "gui/start_conversion.h"
#include "gui/texts.h"
#include "gui/theme.h"
#include "gui/update_check.h"
#include "gui/window_ids.h"

namespace qm::gui {

namespace {

MainWindow* g_mainWindow = nullptr;

// The top of the output controls inside the content area.
constexpr int kPanelTop = 100;

// One menu item of the menu bar: number, Menu/key of its text, shortcut, menu icon name.
struct MenuItem {
    int command; // -1 for a separator
    const char* key;
    QKeyCombination shortcut;
    const char* icon;
};

constexpr QKeyCombination kNoShortcut{};
const MenuItem kSeparator{-1, nullptr, kNoShortcut, nullptr};

const MenuItem kFileItems[] = {
    {kCmdNew, "New", Qt::CTRL | Qt::Key_N, "New"},
    kSeparator,
    {kCmdSelectInputFiles, "Select Input Files", kNoShortcut, "Add"},
    {kCmdSelectOutputFolder, "Select Output Folder", kNoShortcut, "OutFolder"},
    kSeparator,
    {kCmdImportInputFiles, "Import Input Files", kNoShortcut, "ImportFiles"},
    {kCmdExportInputFiles, "Export Input Files", kNoShortcut, "ExportFiles"},
    kSeparator,
    {kCmdExit, "Exit", Qt::ALT | Qt::Key_X, "Exit"},
};

const MenuItem kEditItems[] = {
    {kCmdCopy, "Copy", Qt::CTRL | Qt::Key_C, "Copy"},
    {kCmdDelete, "Delete", Qt::CTRL | Qt::Key_Delete, "Delete"},
    kSeparator,
    {kCmdSelectAll, "Select All", Qt::CTRL | Qt::Key_A, "SelectAll"},
};

const MenuItem kConverterItems[] = {
    {kCmdConvert, "Convert", Qt::Key_F5, "Convert"},
    kSeparator,
    {kCmdCustomConverter, "Custom Converter", kNoShortcut, "CustomConverter"},
    kSeparator,
    {kCmdPreferences, "Preferences", kNoShortcut, "Preferences"},
};

const MenuItem kHelpItems[] = {
    {kCmdManual, "Manual", Qt::Key_F1, "Help"},
    kSeparator,
    {kCmdSendFeedback, "Send Feedback", kNoShortcut, "Email"},
    {kCmdVisitHomepage, "Visit Homepage", kNoShortcut, "Web"},
    {kCmdCheckForNewVersion, "Check For New Version", kNoShortcut, "Updates"},
    kSeparator,
    {kCmdAbout, "About", kNoShortcut, "About"},
};

// The main toolbar: command numbers with their icon names; -1 is a separator.
struct ToolbarButton {
    int command;
    const char* icon;
};

const ToolbarButton kMainToolbarButtons[] = {
    {kCmdNew, "New"},
    {kCmdSelectInputFiles, "Add"},
    {kCmdSelectOutputFolder, "OutFolder"},
    {-1, nullptr},
    {kCmdPreferences, "Preferences"},
    {-1, nullptr},
    {kCmdConvert, "Convert"},
    {-1, nullptr},
    {kCmdManual, "Help"},
    {kCmdSendFeedback, "Email"},
    {kCmdVisitHomepage, "Web"},
    {kCmdCheckForNewVersion, "Updates"},
};

// The Menu/key of a command's text (the toolbar's tooltips are the menu texts).
const char* MenuKeyOf(int command) {
    auto find = [command](const auto& list) -> const char* {
        for (const MenuItem& item : list)
            if (item.command == command)
                return item.key;
        return nullptr;
    };
    for (const char* key :
         {find(kFileItems), find(kEditItems), find(kConverterItems), find(kHelpItems)})
        if (key)
            return key;
    return "";
}

// A one-button toolbar placed freely inside the content area.
QToolBar* MakeSmallToolbar(QWidget* parent, int command, QAction*& action) {
    auto* bar = new QToolBar(parent);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setStyleSheet("QToolBar { border: 0px; padding: 0px; spacing: 0px; }");
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    action = bar->addAction(QString());
    action->setData(command);
    return bar;
}

} // namespace

// ---- Construction -------------------------------------------------------------------------

MainWindow::MainWindow() {
    g_mainWindow = this;
    SetDroppedFolderImport(ImportDroppedFolderWithProgress);
    setObjectName("MainWindow");
    setWindowTitle(Q(TitleWithVersion(ProductTitle, ProgramVersion)));
    setMinimumSize(510, 330);
    setAcceptDrops(true);
    setContextMenuPolicy(Qt::NoContextMenu);

    BuildMenus();
    Settings.MenuHeight = menuBar()->sizeHint().height();
    BuildMainToolbar();
    Settings.ToolbarHeight = m_mainToolbar->sizeHint().height();

    m_status = new QLabel(statusBar());
    m_status->setObjectName("StatusField");
    statusBar()->addWidget(m_status, 1);
    statusBar()->setSizeGripEnabled(true);
    Settings.StatusBarHeight = statusBar()->sizeHint().height();

    Settings.PanelTop = kPanelTop;
    BuildGadgets();
    BuildSmallToolbars();
    RefreshThemedGadgets();

    move(Settings.Window.X, Settings.Window.Y);
    resize(std::max(510, Settings.Window.Width), std::max(330, Settings.Window.Height));
}

MainWindow::~MainWindow() {
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
}

QAction* MainWindow::AddMenuItem(QMenu* menu, int command, const char* key, const char* icon) {
    QAction* action = menu->addAction(ThemeIcon(ImageSet::MenuIcons, icon), Text("Menu", key));
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { Dispatch(command); });
    m_menuActions[command] = action;
    return action;
}

void MainWindow::BuildMenus() {
    // A rebuild (new theme) replaces the menus and their items.
    menuBar()->clear();
    for (QMenu* menu : menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        menu->deleteLater();
    m_menuActions.clear();
    auto addMenu = [this](const char* key, const auto& items) {
        QMenu* menu = menuBar()->addMenu(Text("Menu", key));
        for (const MenuItem& item : items) {
            if (item.command < 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = AddMenuItem(menu, item.command, item.key, item.icon);
            if (item.shortcut != kNoShortcut)
                action->setShortcut(QKeySequence(item.shortcut));
        }
    };
    addMenu("File", kFileItems);
    addMenu("Edit", kEditItems);
    addMenu("Converter", kConverterItems);
    addMenu("Help", kHelpItems);

    // Pop-up menu 1 of the file list: the Edit menu's items, shortcut texts shown but not bound
    // twice. It opens only from the list, so its commands act on the list.
    delete m_popup;
    m_popup = new QMenu(this);
    for (const MenuItem& item : kEditItems) {
        if (item.command < 0) {
            m_popup->addSeparator();
            continue;
        }
        const QString shortcut = QKeySequence(item.shortcut).toString(QKeySequence::NativeText);
        QAction* action = m_popup->addAction(ThemeIcon(ImageSet::MenuIcons, item.icon),
                                             Text("Menu", item.key) + "\t" + shortcut);
        const int command = item.command;
        action->setData(command);
        connect(action, &QAction::triggered, this, [this, command] {
            m_fileList->setFocus();
            Dispatch(command);
        });
    }
}

void MainWindow::BuildMainToolbar() {
    if (!m_mainToolbar) {
        m_mainToolbar = addToolBar(QStringLiteral("Main"));
        m_mainToolbar->setObjectName("MainToolbar");
        m_mainToolbar->setMovable(false);
        m_mainToolbar->setFloatable(false);
        m_mainToolbar->setContextMenuPolicy(Qt::PreventContextMenu);
        m_mainToolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    m_mainToolbar->clear();
    m_toolbarActions.clear();
    const int size = IconPixelSize(Settings.Interface.UISize);
    for (const ToolbarButton& button : kMainToolbarButtons) {
        if (button.command < 0) {
            m_mainToolbar->addSeparator();
            continue;
        }
        const int command = button.command;
        QAction* action = m_mainToolbar->addAction(ThemeIcon(ImageSet::ToolbarIcons, button.icon),
                                                   Text("Menu", MenuKeyOf(command)));
        action->setToolTip(Text("Menu", MenuKeyOf(command)));
        action->setData(command);
        connect(action, &QAction::triggered, this, [this, command] { Dispatch(command); });
        m_toolbarActions[command] = action;
    }
    SetToolbarIconSize(m_mainToolbar, size);
}

void MainWindow::BuildSmallToolbars() {
    QAction* folderAction = nullptr;
    QAction* formatAction = nullptr;
    delete m_folderToolbar;
    delete m_formatToolbar;
    m_folderToolbar = MakeSmallToolbar(m_content, kCmdSelectOutputFolder, folderAction);
    m_folderToolbar->setObjectName("OutputFolderToolbar");
    folderAction->setIcon(ThemeIcon(ImageSet::MenuIcons, "OutFolder"));
    folderAction->setToolTip(Text("Menu", "Select Output Folder"));
    connect(folderAction, &QAction::triggered, this, [this] { Dispatch(kCmdSelectOutputFolder); });
    m_folderToolbar->setGeometry(396, kPanelTop + 29, 24, 24);

    m_formatToolbar = MakeSmallToolbar(m_content, kCmdOutputFormatOptions, formatAction);
    m_formatToolbar->setObjectName("OutputFormatToolbar");
    formatAction->setIcon(ThemeIcon(ImageSet::MenuIcons, "OutFormat"));
    formatAction->setToolTip(Text("Menu", "Output Format Options"));
    connect(formatAction, &QAction::triggered, this, [this] { Dispatch(kCmdOutputFormatOptions); });
    m_formatToolbar->setGeometry(396, kPanelTop + 69, 24, 24);
    m_folderToolbar->show();
    m_formatToolbar->show();
}

void MainWindow::BuildGadgets() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    m_content = new QWidget(central);
    m_content->setObjectName("ContentArea");
    m_content->setGeometry(0, 0, Settings.Window.Width, Settings.Window.Height - 130);

    m_fileList = new QTreeWidget(m_content);
    m_fileList->setObjectName("FileList");
    m_fileList->setColumnCount(1);
    m_fileList->setHeaderLabels({Text("General", "Filename")});
    m_fileList->setRootIsDecorated(false);
    m_fileList->setUniformRowHeights(true);
    m_fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_fileList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_fileList->header()->setStretchLastSection(false);
    m_fileList->setColumnWidth(0, 290);
    m_fileList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_fileList->setGeometry(10, 10, 380, 100);
    m_fileList->viewport()->installEventFilter(this);
    connect(m_fileList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        ShowFileListPopup(m_fileList->viewport()->mapToGlobal(pos));
    });

    m_folderLabel = new QLabel(Text("General", "Output Folder"), m_content);
    m_folderLabel->setObjectName("OutputFolderLabel");
    m_folderLabel->setGeometry(10, kPanelTop + 15, 380, 20);
    // The chooser below starts 15 pixels down: the text keeps to the top of its 20.
    m_folderLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_folderCombo = new QComboBox(m_content);
    m_folderCombo->setObjectName("OutputFolderCombo");
    m_folderCombo->setEditable(false);
    m_folderCombo->setGeometry(10, kPanelTop + 30, 380, 21);
    connect(m_folderCombo, &QComboBox::activated, this, &MainWindow::OnFolderChosen);

    m_formatLabel = new QLabel(Text("General", "Output Format"), m_content);
    m_formatLabel->setObjectName("OutputFormatLabel");
    m_formatLabel->setGeometry(10, kPanelTop + 55, 380, 20);
    m_formatLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_formatCombo = new QComboBox(m_content);
    m_formatCombo->setObjectName("OutputFormatCombo");
    m_formatCombo->setEditable(false);
    m_formatCombo->setGeometry(10, kPanelTop + 70, 380, 21);
    connect(m_formatCombo, &QComboBox::activated, this, &MainWindow::OnFormatChosen);

    m_convertButton = new QToolButton(m_content);
    m_convertButton->setObjectName("ConvertButton");
    m_convertButton->setToolTip(Text("General", "Convert"));
    m_convertButton->setGeometry(400, 10, 100, 100);
    m_convertButton->setIconSize(QSize(80, 80));
    connect(m_convertButton, &QToolButton::clicked, this, [this] { Dispatch(kCmdConvert); });
}

// ---- Dispatch -----------------------------------------------------------------------------

// Every menu item, main toolbar button, small toolbar button and shortcut of the main window
// arrives here with its number (window_ids.h). To hook up a window of your own: add its
// number to MenuCommand in window_ids.h if it is new, then add one case below that calls your
// entry procedure (for example `case kCmdPreferences: ShowPreferences(this); break;`). Keep the
// case to that one call; the window itself lives in its own file. A command whose window does
// not exist yet does nothing.
void MainWindow::Dispatch(int command) {
    switch (command) {
    case kCmdNew:
        NewFileList();
        break;
    case kCmdExit:
        close();
        break;
    case kCmdSelectOutputFolder:
        SelectOutputFolder();
        break;
    case kCmdCopy:
        if (FileListHasFocus())
            CopySelection();
        break;
    case kCmdDelete:
        if (FileListHasFocus())
            DeleteSelection();
        break;
    case kCmdSelectAll:
        if (FileListHasFocus())
            SelectAllFiles();
        break;
    case kCmdSelectInputFiles:
        ShowAddInputChooser(MainWindowHost());
        break;
    case kCmdSelectInputFile:
        AddInputFiles(MainWindowHost());
        break;
    case kCmdSelectInputFolder:
        AddInputFolder(MainWindowHost());
        break;
    case kCmdImportInputFiles:
        ImportInputList(MainWindowHost());
        break;
    case kCmdExportInputFiles:
        ExportInputList(MainWindowHost());
        break;
    case kCmdConvert:
        StartConversion(MainWindowHost());
        break;
    case kCmdOutputFormatOptions:
        ShowPreferencesFrom(this, true);
        break;
    case kCmdPreferences:
        ShowPreferencesFrom(this, false);
        break;
    case kCmdCustomConverter:
        ShowFindConverter(this);
        break;
    case kCmdManual:
        OpenUserManual();
        break;
    case kCmdSendFeedback:
        SendFeedback();
        break;
    case kCmdVisitHomepage:
        VisitHomepage();
        break;
    case kCmdCheckForNewVersion:
        CheckForUpdates();
        break;
    case kCmdAbout:
        ShowAbout(this);
        break;
    default:
        break;
    }
}

bool MainWindow::FileListHasFocus() const {
    return m_fileList->hasFocus();
}

// ---- Accessors ----------------------------------------------------------------------------

QAction* MainWindow::MenuAction(int command) const {
    const auto it = m_menuActions.find(command);
    return it == m_menuActions.end() ? nullptr : it->second;
}

QAction* MainWindow::ToolbarAction(int command) const {
    const auto it = m_toolbarActions.find(command);
    return it == m_toolbarActions.end() ? nullptr : it->second;
}

QString MainWindow::StatusText() const {
    return m_status->text();
}

void MainWindow::SetStatusText(const QString& text) {
    m_status->setText(text);
}

QString MainWindow::OutputFolderText() const {
    return m_folderCombo->currentIndex() < 0 ? QString() : m_folderCombo->currentText();
}

std::string MainWindow::SelectedFormatId() const {
    const QVariant data = m_formatCombo->currentData();
    if (!data.isValid())
        return {};
    const int index = data.toInt();
    return index >= 0 && index < static_cast<int>(OutputFormats.size()) ? OutputFormats[index]
                                                                        : std::string();
}

void MainWindow::SelectOutputFormat(const std::string& id) {
    int select = m_formatCombo->count() > 0 ? 0 : -1;
    for (int i = 0; i < m_formatCombo->count(); ++i) {
        const int index = m_formatCombo->itemData(i).toInt();
        if (index >= 0 && index < static_cast<int>(OutputFormats.size()) &&
            OutputFormats[index] == id)
            select = i;
    }
    m_formatCombo->setCurrentIndex(select);
}

QWidget* MainWindow::Gadget(int gadget) const {
    switch (gadget) {
    case kContentArea:
        return m_content;
    case kFileList:
        return m_fileList;
    case kOutputFolderLabel:
        return m_folderLabel;
    case kOutputFolderCombo:
        return m_folderCombo;
    case kOutputFormatLabel:
        return m_formatLabel;
    case kOutputFormatCombo:
        return m_formatCombo;
    case kConvertButton:
        return m_convertButton;
    default:
        return nullptr;
    }
}

// ---- Gadget events ------------------------------------------------------------------------

void MainWindow::OnFolderChosen(int index) {
    if (index >= 0)
        ConversionJob.OutputFolder = U8(m_folderCombo->itemText(index));
}

void MainWindow::OnFormatChosen(int index) {
    const int format = m_formatCombo->itemData(index).toInt();
    if (format >= 0 && format < static_cast<int>(OutputFormats.size()))
        Settings.Output.Format = OutputFormats[format];
}

void MainWindow::ShowFileListPopup(const QPoint& globalPos) {
    if (!m_fileList->selectedItems().isEmpty())
        m_popup->popup(globalPos);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_fileList->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Dispatch(kCmdSelectInputFiles);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayoutMainWindow();
}

// ---- Layout and theme ---------------------------------------------------------------------

void MainWindow::LayoutMainWindow() {
    const int w = width();
    const int h = height();
    const int t = Settings.MenuHeight + Settings.ToolbarHeight + Settings.StatusBarHeight;
    m_content->setGeometry(0, 0, w, h - t - 10);
    m_fileList->setGeometry(m_fileList->x(), m_fileList->y(), w - 130, h - t - 109);
    m_fileList->setColumnWidth(0, w - 160);
    m_folderLabel->move(m_folderLabel->x(), h - t - 94);
    m_folderCombo->setGeometry(m_folderCombo->x(), h - t - 79, w - 130, m_folderCombo->height());
    m_folderToolbar->setGeometry(w - 114, h - t - 80, 24, 24);
    m_formatLabel->move(m_formatLabel->x(), h - t - 54);
    m_formatCombo->setGeometry(m_formatCombo->x(), h - t - 39, w - 130, m_formatCombo->height());
    m_formatToolbar->setGeometry(w - 114, h - t - 40, 24, 24);
    m_convertButton->move(w - 110, m_convertButton->y());
    update();
}

void MainWindow::RefreshThemedGadgets() {
    const QPixmap convert = ThemeImage(ImageSet::Buttons, "Convert");
    m_convertButton->setIcon(convert.isNull() ? QIcon() : QIcon(convert));
    if (convert.isNull())
        m_convertButton->setText(Text("General", "Convert"));
    else
        m_convertButton->setText(QString());
    const QIcon folderIcon = ThemeIcon(ImageSet::MenuIcons, "FavFolder");
    for (int i = 0; i < m_folderCombo->count(); ++i)
        m_folderCombo->setItemIcon(i, folderIcon);
    const QIcon formatIcon = ThemeIcon(ImageSet::MenuIcons, "New");
    for (int i = 0; i < m_formatCombo->count(); ++i)
        m_formatCombo->setItemIcon(i, formatIcon);
}

void MainWindow::RefreshAfterPreferences(bool themeChanged, bool iconSizeChanged) {
    if (themeChanged) {
        LoadTheme(true, true, true);
        BuildMenus();
        BuildMainToolbar();
        BuildSmallToolbars();
        RefreshThemedGadgets();
    } else if (iconSizeChanged) {
        LoadTheme(false, false, true);
        BuildMainToolbar();
    }
    if (themeChanged || iconSizeChanged) {
        Settings.ToolbarHeight = m_mainToolbar->sizeHint().height();
        LayoutMainWindow();
    }
    SelectOutputFormat(Settings.Output.Format);
    if (m_folderCombo->count() != Settings.Advanced.OutFoldersNumber)
        RefreshOutputFolderList();
}

void MainWindow::RefreshOutputFolderList() {
    if (Settings.File.RecentOutFolders.empty())
        return;
    const QSignalBlocker block(m_folderCombo);
    m_folderCombo->clear();
    const QIcon icon = ThemeIcon(ImageSet::MenuIcons, "FavFolder");
    int select = 0;
    for (int n = 0; n < Settings.Advanced.OutFoldersNumber; ++n) {
        const std::string folder = RecentOutputFolder(n);
        if (folder.empty())
            continue;
        if (folder == ConversionJob.OutputFolder)
            select = m_folderCombo->count();
        m_folderCombo->addItem(icon, Q(folder));
    }
    m_folderCombo->setCurrentIndex(m_folderCombo->count() > 0 ? select : -1);
}

// ---- Window creation ----------------------------------------------------------------------

MainWindow* CreateMainWindow() {
    if (!g_mainWindow)
        new MainWindow();
    return g_mainWindow;
}

MainWindow* TheMainWindow() {
    return g_mainWindow;
}

void DestroyMainWindow() {
    delete g_mainWindow;
}

void ShowMainWindow() {
    MainWindow* window = g_mainWindow;
    if (!window)
        return;
    // NewFileList empties the job, the run mode with it: note screenshot mode first.
    const bool screenshotMode = ConversionJob.RunMode == "T";
    FillFormatCombo(window->OutputFormatCombo(), true);
    window->NewFileList();
    if (Settings.Window.IsMaximized == 1)
        window->showMaximized();
    else
        window->show();
    window->LayoutMainWindow();
    if (!screenshotMode)
        AutoUpdateCheck();
}

void FillFormatCombo(QComboBox* combo, bool withDescriptions) {
    const QSignalBlocker block(combo);
    combo->clear();
    const QIcon icon = ThemeIcon(ImageSet::MenuIcons, "New");
    int select = 0;
    for (size_t i = 0; i < OutputFormats.size(); ++i) {
        const std::string& id = OutputFormats[i];
        QString text = Q(id).toUpper();
        if (withDescriptions)
            text += " (" + Q(FormatDescription(id)) + ")";
        combo->addItem(icon, text, static_cast<int>(i));
        if (id == Settings.Output.Format)
            select = static_cast<int>(i);
    }
    combo->setCurrentIndex(combo->count() > 0 ? select : -1);
}

void RecordWindowState(const QWidget& window) {
    if (window.isMinimized())
        return;
    if (window.isMaximized()) {
        Settings.Window.IsMaximized = 1;
        return;
    }
    Settings.Window.IsMaximized = 0;
    Settings.Window.Width = window.width();
    Settings.Window.Height = window.height();
    Settings.Window.X = window.x();
    Settings.Window.Y = window.y();
}

} // namespace qm::gui
