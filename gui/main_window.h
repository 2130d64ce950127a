// The main window: menu bar, main toolbar, the list of input files, the output folder and
// format choosers with their small toolbars, the Convert button and a one-field status bar.
// Every menu item, toolbar button and shortcut ends in MainWindow::Dispatch with its number.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <map>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QWidget;

namespace qm::gui {

class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    /// Builds window 0 hidden (CreateMainWindow): menus, toolbars, gadgets, status bar,
    /// shortcuts, at Window/X, Window/Y with the size Window/Width x Window/Height.
    MainWindow();
    ~MainWindow() override;

    /// Runs the command of a menu item, toolbar button or shortcut (window_ids.h numbers).
    void Dispatch(int command);

    // ---- Commands ------------------------------------------------------------------------
    /// Empties the list, InputList and the job, shows the folder history with no folder chosen,
    /// "Ready" in the status bar, and gives the list the keyboard focus.
    void NewFileList();
    /// Puts the full paths of the selected rows on the clipboard, CR LF between them.
    void CopySelection();
    /// Removes the selected rows and their InputList entries; selects the row now at the place
    /// of the last one removed, or the new last row.
    void DeleteSelection();
    /// Selects every row (nothing on an empty list).
    void SelectAllFiles();
    /// The folder dialog; a chosen existing folder becomes the output folder and heads the history.
    void SelectOutputFolder();
    /// Adds dropped files and folders (a folder: every metafile in it and its subfolders).
    void DropFiles(const QStringList& paths);
    /// Fills the output folder chooser from the history and selects ConversionJob.OutputFolder
    /// (the first entry when it is not there). An empty history leaves the chooser as it is.
    void RefreshOutputFolderList();
    /// Places the gadgets for the current size of the window.
    void LayoutMainWindow();
    /// Puts the current theme's images on the Convert button and the chooser items.
    void RefreshThemedGadgets();
    /// After Preferences stored its settings: reloads the theme images the change needs,
    /// rebuilds menus and toolbars, selects Output/Format and refreshes the folder history
    /// when its length changed.
    void RefreshAfterPreferences(bool themeChanged, bool iconSizeChanged);

    // ---- State for the other windows --------------------------------------------------------
    QTreeWidget* FileList() const { return m_fileList; }
    QComboBox* OutputFolderCombo() const { return m_folderCombo; }
    QComboBox* OutputFormatCombo() const { return m_formatCombo; }
    QToolBar* MainToolbar() const { return m_mainToolbar; }
    QToolButton* ConvertButton() const { return m_convertButton; }
    /// The menu item of a command number, or null.
    QAction* MenuAction(int command) const;
    /// Pop-up menu 1 of the file list.
    QMenu* FileListPopup() const { return m_popup; }
    /// The main toolbar's button of a command number, or null.
    QAction* ToolbarAction(int command) const;
    /// The text of the status bar's one field.
    QString StatusText() const;
    void SetStatusText(const QString& text);
    /// The output folder chooser's text ("" when no folder is chosen).
    QString OutputFolderText() const;
    /// The output format identifier of the selected chooser item ("" when none).
    std::string SelectedFormatId() const;
    /// Selects the format chooser item of an identifier (the first item when unknown).
    void SelectOutputFormat(const std::string& id);
    /// Appends a row for an input path that was just added to InputList and, while no output
    /// folder is chosen, makes the input's folder the output folder.
    void ShowAddedInputFile(const std::string& path);

    /// Geometry of the gadget number's widget inside the content area (tests, screenshots).
    QWidget* Gadget(int gadget) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    QMenu* createPopupMenu() override { return nullptr; }

private:
    void BuildMenus();
    void BuildMainToolbar();
    void BuildSmallToolbars();
    void BuildGadgets();
    QAction* AddMenuItem(QMenu* menu, int command, const char* key, const char* icon);
    void ShowFileListPopup(const QPoint& globalPos);
    bool FileListHasFocus() const;
    void OnFolderChosen(int index);
    void OnFormatChosen(int index);

    QWidget* m_content = nullptr;
    QTreeWidget* m_fileList = nullptr;
    QLabel* m_folderLabel = nullptr;
    QComboBox* m_folderCombo = nullptr;
    QLabel* m_formatLabel = nullptr;
    QComboBox* m_formatCombo = nullptr;
    QToolButton* m_convertButton = nullptr;
    QToolBar* m_mainToolbar = nullptr;
    QToolBar* m_folderToolbar = nullptr;
    QToolBar* m_formatToolbar = nullptr;
    QMenu* m_popup = nullptr;
    QLabel* m_status = nullptr;
    std::map<int, QAction*> m_menuActions;
    std::map<int, QAction*> m_toolbarActions;
};

/// Creates the main window hidden (the one instance; see TheMainWindow).
MainWindow* CreateMainWindow();
/// Restores the maximised state, fills the format chooser, runs NewFileList and shows the
/// window (the automatic update check follows outside screenshot mode).
void ShowMainWindow();
/// The main window while it exists, else null.
MainWindow* TheMainWindow();
/// Closes and deletes the main window.
void DestroyMainWindow();

/// Fills a format chooser: one item per output format, "BMP" or "BMP (description)", with the
/// menu icon "New" and the format's index as item data; selects Output/Format or the first.
void FillFormatCombo(QComboBox* combo, bool withDescriptions);

/// How a dropped folder (ConversionJob.InputFolder) is imported into InputList. The default
/// imports at once on the main thread; a window that shows the import's progress may take over.
/// Added files reach the list through OnInputFileAdded in either case.
using DroppedFolderImport = void (*)();
/// Sets the dropped-folder import; null puts the default back.
void SetDroppedFolderImport(DroppedFolderImport import);

/// The InputList hook of the windowed interface (SetInputFileAddedHook): shows the added path
/// in the main window. Called on a worker thread, it queues the path for the main thread, which
/// shows it when its event loop runs next or when FlushAddedInputFiles is called.
void OnInputFileAdded(const std::string& path);
/// Shows the queued paths now (main thread only).
void FlushAddedInputFiles();

/// Stores the window's state in the settings at exit: minimised (also from maximised) changes
/// nothing, maximised sets Window/IsMaximized to 1 only, otherwise Window/IsMaximized = 0 and
/// the inner size and frame position are kept.
void RecordWindowState(const QWidget& window);

} // namespace qm::gui
