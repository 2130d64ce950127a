// Fixed numbers of the windowed interface: windows, gadgets, menu items and toolbars. Menu item
// numbers double as toolbar button and shortcut numbers; the main window dispatches on them.
#pragma once

namespace qm::gui {

/// Window numbers.
enum WindowId : int {
    kMainWindow = 0,
    kPreferencesWindow = 1,
    kFolderImportWindow = 2,
    kListImportWindow = 4,
    kExportWindow = 5,
    kConverterSearchWindow = 6,
    kAddInputWindow = 7,
    kAboutWindow = 8,
};

/// Gadgets of the main window.
enum MainGadget : int {
    kContentArea = 0,
    kFileList = 3,
    kOutputFolderLabel = 4,
    kOutputFolderCombo = 5,
    kOutputFormatLabel = 6,
    kOutputFormatCombo = 7,
    kConvertButton = 8,
};

/// Menu items; the same numbers are the toolbar buttons and the shortcuts.
enum MenuCommand : int {
    kCmdNew = 0,
    kCmdExit = 3,
    kCmdSelectInputFiles = 4,
    kCmdSelectInputFile = 5,
    kCmdSelectInputFolder = 6,
    kCmdSelectOutputFolder = 7,
    kCmdOutputFormatOptions = 8,
    kCmdImportInputFiles = 9,
    kCmdExportInputFiles = 10,
    kCmdCopy = 11,
    kCmdDelete = 12,
    kCmdSelectAll = 13,
    kCmdConvert = 14,
    kCmdCustomConverter = 16,
    kCmdPreferences = 17,
    kCmdManual = 18,
    kCmdSendFeedback = 21,
    kCmdVisitHomepage = 22,
    kCmdCheckForNewVersion = 23,
    kCmdAbout = 24,
};

/// Gadgets of the progress windows and of the add-input chooser.
enum TaskGadget : int {
    kFolderImportBar = 342,
    kListImportBar = 348,
    kExportBar = 351,
    kAddFilesButton = 359,
    kAddFilesLabel = 360,
    kAddFolderButton = 361,
    kAddFolderLabel = 362,
    kAddInputEscape = 363,
};

/// The timer that holds a finished progress window on screen.
inline constexpr int kProgressHoldTimer = 123;

/// Menus and toolbars.
enum MenuId : int { kMainMenu = 0, kFileListPopup = 1 };
enum ToolbarId : int { kMainToolbar = 0, kOutputFolderToolbar = 2, kOutputFormatToolbar = 3 };

} // namespace qm::gui
