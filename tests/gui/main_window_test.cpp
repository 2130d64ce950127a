// The main window in process: layout, the format chooser, the file list commands, the output
// folder history and the window state kept at exit.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "cli/input_collection.h"
#include "core/formats.h"
#include "core/settings.h"
#include "engine/conversion_job.h"
#include "gui/folder_dialog.h"
#include "gui/main_window.h"
#include "gui/output_folder_history.h"
#include "gui/texts.h"
#include "gui/theme.h"
#include "gui/window_ids.h"

namespace fs = std::filesystem;
using namespace qm;
using namespace qm::gui;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildInputExtensions();
        BuildOutputFormats();
        ResetSettings(Settings, 0);
        SetInputFileAddedHook(OnInputFileAdded);
        m_window = CreateMainWindow();
        ShowMainWindow();
        Settle();
    }
    void TearDown() override {
        DestroyMainWindow();
        SetInputFileAddedHook(nullptr);
        SetFolderDialog({});
        ResetConversionJob();
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    static void Settle() {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }

    // Gives the file list the keyboard focus, as a click into it would.
    void FocusFileList() {
        m_window->activateWindow();
        QApplication::setActiveWindow(m_window);
        m_window->FileList()->setFocus();
        Settle();
    }

    void AddRows(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) {
            InputList[path].Added = 1;
            m_window->ShowAddedInputFile(path);
        }
    }

    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int i = 0; i < m_window->FileList()->topLevelItemCount(); ++i)
            rows.push_back(U8(m_window->FileList()->topLevelItem(i)->text(0)));
        return rows;
    }

    std::vector<int> SelectedRows() const {
        std::vector<int> rows;
        for (int i = 0; i < m_window->FileList()->topLevelItemCount(); ++i)
            if (m_window->FileList()->topLevelItem(i)->isSelected())
                rows.push_back(i);
        return rows;
    }

    // A scratch folder holding metafile-named files of a few bytes.
    std::string MakeFolder(const std::vector<std::string>& files) {
        m_dir = (fs::temp_directory_path() / ("qm_mainwin_" + std::to_string(getpid()))).string();
        fs::remove_all(m_dir);
        for (const std::string& file : files) {
            const fs::path path = fs::path(m_dir) / file;
            fs::create_directories(path.parent_path());
            std::ofstream(path) << "data";
        }
        return m_dir + "/";
    }

    MainWindow* m_window = nullptr;
    std::string m_dir;
};

// The places the layout gives for a window of width w (the content width).
void ExpectLayoutFor(const MainWindow& window, int w) {
    EXPECT_EQ(window.Gadget(kConvertButton)->x(), w - 110);
    EXPECT_EQ(window.Gadget(kConvertButton)->size(), QSize(100, 100));
    EXPECT_EQ(window.Gadget(kOutputFolderCombo)->width(), w - 130);
    EXPECT_EQ(window.Gadget(kOutputFormatCombo)->width(), w - 130);
    EXPECT_EQ(window.Gadget(kFileList)->width(), w - 130);
    EXPECT_EQ(static_cast<QTreeWidget*>(window.Gadget(kFileList))->columnWidth(0), w - 160);
}

} // namespace

TEST_F(MainWindowTest, LayoutFollowsTheWindowSizeDownToTheMinimum) {
    EXPECT_EQ(m_window->minimumSize(), QSize(510, 330));
    EXPECT_EQ(m_window->windowTitle(), "Quellmark 2.6");

    for (const QSize size : {QSize(1000, 700), QSize(510, 330), QSize(300, 200)}) {
        m_window->resize(size);
        Settle();
        const int w = m_window->width();
        const int h = m_window->height();
        ASSERT_EQ(w, std::max(510, size.width()));
        ExpectLayoutFor(*m_window, w);

        // The output controls stack up from the bottom of the content area.
        const int t = Settings.MenuHeight + Settings.ToolbarHeight + Settings.StatusBarHeight;
        EXPECT_EQ(m_window->Gadget(kContentArea)->height(), h - t - 10);
        EXPECT_EQ(m_window->Gadget(kFileList)->geometry(), QRect(10, 10, w - 130, h - t - 109));
        EXPECT_EQ(m_window->Gadget(kOutputFolderLabel)->y(), h - t - 94);
        EXPECT_EQ(m_window->Gadget(kOutputFolderCombo)->y(), h - t - 79);
        EXPECT_EQ(m_window->Gadget(kOutputFormatLabel)->y(), h - t - 54);
        EXPECT_EQ(m_window->Gadget(kOutputFormatCombo)->y(), h - t - 39);
        const auto* folderBar = m_window->findChild<QToolBar*>("OutputFolderToolbar");
        const auto* formatBar = m_window->findChild<QToolBar*>("OutputFormatToolbar");
        ASSERT_TRUE(folderBar && formatBar);
        EXPECT_EQ(folderBar->geometry(), QRect(w - 114, h - t - 80, 24, 24));
        EXPECT_EQ(formatBar->geometry(), QRect(w - 114, h - t - 40, 24, 24));
        // Nothing of the bottom chooser reaches past the content area.
        EXPECT_LE(m_window->Gadget(kOutputFormatCombo)->geometry().bottom(),
                  m_window->Gadget(kContentArea)->height());
    }
}

TEST_F(MainWindowTest, FormatChooserListsEveryFormatWithItsDescription) {
    QComboBox* combo = m_window->OutputFormatCombo();
    ASSERT_EQ(combo->count(), 23);
    EXPECT_EQ(U8(combo->itemText(0)), "BMP (" + FormatDescription("bmp") + ")");
    EXPECT_EQ(combo->currentIndex(), 0);
    for (int i = 0; i < combo->count(); ++i) {
        EXPECT_EQ(combo->itemData(i).toInt(), i);
        EXPECT_TRUE(combo->itemText(i).startsWith(Q(OutputFormats[i]).toUpper() + " ("));
    }

    // Without descriptions the items are the bare identifiers; Output/Format is selected.
    Settings.Output.Format = "png";
    QComboBox plain;
    FillFormatCombo(&plain, false);
    EXPECT_EQ(plain.count(), 23);
    EXPECT_EQ(plain.currentText(), "PNG");
    Settings.Output.Format = "nonsense";
    FillFormatCombo(&plain, false);
    EXPECT_EQ(plain.currentIndex(), 0);

    m_window->SelectOutputFormat("tiff");
    EXPECT_EQ(m_window->SelectedFormatId(), "tiff");
}

TEST(OutputFolderHistory, MergesTheChosenFolderAtTheTop) {
    SettingsRecord s;
    s.Advanced.OutFoldersNumber = 3;
    s.File.RecentOutFolders = "/home/a/\t/home/b/\t/home/c/";
    EXPECT_EQ(RememberOutputFolder("/HOME/B/", s), 1);
    EXPECT_EQ(s.File.RecentOutFolders, "/HOME/B/\t/home/a/\t/home/c/");

    // Choosing the first again keeps length and order.
    EXPECT_EQ(RememberOutputFolder("/HOME/B/", s), 1);
    EXPECT_EQ(s.File.RecentOutFolders, "/HOME/B/\t/home/a/\t/home/c/");

    // A new folder pushes the oldest out; empty entries are dropped; an empty folder is refused.
    s.File.RecentOutFolders = "/x/\t\t/y/\t/z/";
    EXPECT_EQ(RememberOutputFolder("/new/", s), 1);
    EXPECT_EQ(s.File.RecentOutFolders, "/new/\t/x/\t/y/");
    EXPECT_EQ(RememberOutputFolder("", s), 0);
    EXPECT_EQ(s.File.RecentOutFolders, "/new/\t/x/\t/y/");

    EXPECT_EQ(RecentOutputFolder(1, s), "/x/");
    EXPECT_EQ(RecentOutputFolder(5, s), "");
    s.File.RecentOutFolders = "  /padded/ \t";
    EXPECT_EQ(RecentOutputFolder(0, s), "/padded/");
}

TEST_F(MainWindowTest, NewFileListEmptiesTheListAndShowsTheHistoryWithoutChoice) {
    Settings.File.RecentOutFolders = "/out/one/\t/out/two/";
    AddRows({"/in/a.emf", "/in/b.emf"});
    ConversionJob.OutputFolder = "/out/two/";
    m_window->SetStatusText("Busy");

    m_window->Dispatch(kCmdNew);
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(InputList.Empty());
    // The first row added chose its folder, which heads the history now.
    ASSERT_EQ(m_window->OutputFolderCombo()->count(), 3);
    EXPECT_EQ(m_window->OutputFolderCombo()->itemText(0), "/in/");
    EXPECT_EQ(m_window->OutputFolderText(), "");
    EXPECT_EQ(ConversionJob.OutputFolder, "");
    EXPECT_EQ(m_window->StatusText(), "Ready");
}

TEST_F(MainWindowTest, TheFirstAddedFileChoosesTheOutputFolder) {
    Settings.File.RecentOutFolders = "/old/";
    AddRows({"/data/in/a.emf", "/elsewhere/b.emf"});
    EXPECT_EQ(Rows(), (std::vector<std::string>{"/data/in/a.emf", "/elsewhere/b.emf"}));
    EXPECT_EQ(m_window->OutputFolderText(), "/data/in/");
    EXPECT_EQ(ConversionJob.OutputFolder, "/data/in/");
    EXPECT_EQ(Settings.File.RecentOutFolders, "/data/in/\t/old/");

    // A folder being imported wins over the file's own folder.
    m_window->NewFileList();
    ConversionJob.InputFolder = "/import/";
    AddRows({"/import/sub/c.emf"});
    EXPECT_EQ(m_window->OutputFolderText(), "/import/");
}

TEST_F(MainWindowTest, DeletingTheSelectedLastRowSelectsTheNewLastRow) {
    AddRows({"/in/a.emf", "/in/b.emf", "/in/c.emf", "/in/d.emf"});
    QTreeWidget* list = m_window->FileList();
    FocusFileList();
    list->topLevelItem(3)->setSelected(true);
    m_window->Dispatch(kCmdDelete);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"/in/a.emf", "/in/b.emf", "/in/c.emf"}));
    EXPECT_EQ(InputList.Find("/in/d.emf"), nullptr);
    EXPECT_EQ(SelectedRows(), std::vector<int>{2});

    // Several rows: the row that followed the last one removed is selected.
    AddRows({"/in/e.emf"});
    list->clearSelection();
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    m_window->Dispatch(kCmdDelete);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"/in/b.emf", "/in/e.emf"}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});
    EXPECT_EQ(InputList.Size(), 2u);

    // Everything selected: the list ends empty and nothing breaks.
    m_window->Dispatch(kCmdSelectAll);
    EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 1}));
    m_window->Dispatch(kCmdDelete);
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(InputList.Empty());
    m_window->Dispatch(kCmdDelete);
    m_window->Dispatch(kCmdSelectAll);
}

TEST_F(MainWindowTest, CopyJoinsTheSelectedPathsOnlyWhileTheListHasTheFocus) {
    AddRows({"/in/a.emf", "/in/b.emf", "/in/c.emf"});
    QTreeWidget* list = m_window->FileList();
    list->topLevelItem(2)->setSelected(true);
    list->topLevelItem(0)->setSelected(true);
    QApplication::clipboard()->setText("before");

    m_window->OutputFormatCombo()->setFocus();
    Settle();
    m_window->Dispatch(kCmdCopy);
    EXPECT_EQ(QApplication::clipboard()->text(), "before");
    m_window->Dispatch(kCmdDelete);
    EXPECT_EQ(Rows().size(), 3u);
    m_window->Dispatch(kCmdSelectAll);
    EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 2}));

    FocusFileList();
    ASSERT_TRUE(list->hasFocus());
    m_window->Dispatch(kCmdCopy);
    EXPECT_EQ(QApplication::clipboard()->text(), "/in/a.emf\r\n/in/c.emf");

    // The file list's pop-up menu acts on the list wherever the focus was.
    m_window->OutputFormatCombo()->setFocus();
    Settle();
    QApplication::clipboard()->setText("before");
    const QList<QAction*> popup = m_window->FileListPopup()->actions();
    ASSERT_EQ(popup.size(), 4);
    EXPECT_EQ(popup[0]->text(), "Copy\tCtrl+C");
    EXPECT_TRUE(popup[2]->isSeparator());
    popup[0]->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "/in/a.emf\r\n/in/c.emf");

    // Nothing selected: the clipboard keeps what it held.
    list->clearSelection();
    m_window->Dispatch(kCmdCopy);
    EXPECT_EQ(QApplication::clipboard()->text(), "/in/a.emf\r\n/in/c.emf");
}

TEST_F(MainWindowTest, SelectOutputFolderTakesOnlyExistingFolders) {
    const std::string folder = MakeFolder({"x.emf"});
    QString asked;
    QString answer = Q(folder.substr(0, folder.size() - 1));
    SetFolderDialog([&](QWidget*, const QString& caption, const QString& start) {
        asked = caption + "|" + start;
        return answer;
    });
    Settings.File.RecentOutFolders = "/old/";
    m_window->Dispatch(kCmdSelectOutputFolder);
    EXPECT_EQ(asked, "Select Output Folder|");
    EXPECT_EQ(ConversionJob.OutputFolder, folder);
    EXPECT_EQ(U8(m_window->OutputFolderText()), folder);
    EXPECT_EQ(Settings.File.RecentOutFolders, folder + "\t/old/");

    // The dialog starts at the chosen folder; a cancel or a missing folder changes nothing.
    for (const QString& nothing : {QString(), QString("/no/such/folder")}) {
        answer = nothing;
        m_window->Dispatch(kCmdSelectOutputFolder);
        EXPECT_EQ(asked, "Select Output Folder|" + Q(folder));
        EXPECT_EQ(ConversionJob.OutputFolder, folder);
        EXPECT_EQ(Settings.File.RecentOutFolders, folder + "\t/old/");
    }
}

TEST_F(MainWindowTest, DroppedFoldersAndFilesAreAddedOnce) {
    const std::string folder =
        MakeFolder({"a.emf", "sub/b.EMZ", "notes.txt", "sub/deeper/c.emf", "single.emf"});
    fs::create_directories(m_dir + "/other");
    std::ofstream(m_dir + "/other/d.emf") << "data";
    m_window->DropFiles(
        {Q(m_dir + "/other/d.emf"), Q(folder), Q(folder + "a.emf"), Q(folder + "notes.txt")});
    std::vector<std::string> rows = Rows();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<std::string>{folder + "a.emf", folder + "other/d.emf",
                                              folder + "single.emf", folder + "sub/b.EMZ",
                                              folder + "sub/deeper/c.emf"}));
    // The first file came before the folder: its own folder became the output folder.
    EXPECT_EQ(ConversionJob.OutputFolder, m_dir + "/other/");
    EXPECT_EQ(InputList.Find(folder + "sub/deeper/c.emf")->Subfolder, "sub/deeper/");
}

TEST_F(MainWindowTest, WindowStateAtExitKeepsTheNormalPlaceWhenMaximisedOrMinimised) {
    Settings.Window = WindowGroup{};
    m_window->setGeometry(120, 140, 700, 500);
    Settle();
    RecordWindowState(*m_window);
    EXPECT_EQ(Settings.Window.IsMaximized, 0);
    EXPECT_EQ(Settings.Window.Width, 700);
    EXPECT_EQ(Settings.Window.Height, 500);

    const WindowGroup normal = Settings.Window;
    m_window->showMaximized();
    Settle();
    RecordWindowState(*m_window);
    EXPECT_EQ(Settings.Window.IsMaximized, 1);
    EXPECT_EQ(Settings.Window.Width, normal.Width);
    EXPECT_EQ(Settings.Window.Height, normal.Height);
    EXPECT_EQ(Settings.Window.X, normal.X);

    // Minimised (even from maximised) leaves the group as it was.
    Settings.Window.IsMaximized = 0;
    m_window->showMinimized();
    Settle();
    RecordWindowState(*m_window);
    EXPECT_EQ(Settings.Window.IsMaximized, 0);
    EXPECT_EQ(Settings.Window.Width, normal.Width);
    EXPECT_EQ(Settings.Window.Y, normal.Y);
}

TEST_F(MainWindowTest, ANewIconSizeRebuildsTheToolbarAndKeepsTheLayout) {
    // The built themes, when there are any: the toolbar then grows with its icons.
    SetThemeFolders({QM_BINARY_DIR "/gfx/"});
    ListThemes();
    Settings.Interface.UITheme = "handdrawn";
    Settings.Interface.UISize = 0;
    m_window->RefreshAfterPreferences(true, false);
    m_window->resize(800, 500);
    Settle();
    const int before = Settings.ToolbarHeight;
    Settings.Interface.UISize = 4;
    m_window->RefreshAfterPreferences(false, true);
    Settle();
    EXPECT_EQ(m_window->MainToolbar()->iconSize(), QSize(64, 64));
    EXPECT_EQ(Settings.ToolbarHeight, m_window->MainToolbar()->sizeHint().height());
    if (!ThemeImage(ImageSet::ToolbarIcons, "New").isNull()) {
        EXPECT_GE(Settings.ToolbarHeight, before + 48);
    }
    ExpectLayoutFor(*m_window, 800);
    const int t = Settings.MenuHeight + Settings.ToolbarHeight + Settings.StatusBarHeight;
    EXPECT_EQ(m_window->Gadget(kOutputFormatCombo)->y(), 500 - t - 39);

    // A new theme rebuilds menus and toolbars; the commands keep their numbers.
    Settings.Output.Format = "jpg";
    m_window->RefreshAfterPreferences(true, false);
    Settle();
    ASSERT_NE(m_window->MenuAction(kCmdCopy), nullptr);
    EXPECT_EQ(m_window->MenuAction(kCmdCopy)->text(), "Copy");
    EXPECT_EQ(m_window->SelectedFormatId(), "jpg");
    EXPECT_EQ(m_window->MainToolbar()->actions().size(), 12);
    ExpectLayoutFor(*m_window, 800);
    SetThemeFolders({});
    FreeThemeImages();
}

TEST_F(MainWindowTest, MenusAndToolbarsCarryTheirNumbersAndTexts) {
    const std::pair<int, const char*> items[] = {
        {kCmdNew, "New"},         {kCmdSelectInputFiles, "Add Input Files..."},
        {kCmdExit, "Exit"},       {kCmdDelete, "Delete"},
        {kCmdConvert, "Convert"}, {kCmdCustomConverter, "Find a File Converter..."},
        {kCmdAbout, "About..."},  {kCmdCheckForNewVersion, "Check For a New Version"},
    };
    for (const auto& [command, text] : items) {
        const QAction* action = m_window->MenuAction(command);
        ASSERT_NE(action, nullptr) << command;
        EXPECT_EQ(U8(action->text()), text);
        EXPECT_EQ(action->data().toInt(), command);
    }
    EXPECT_EQ(m_window->MenuAction(kCmdNew)->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(m_window->MenuAction(kCmdExit)->shortcut(), QKeySequence("Alt+X"));
    EXPECT_EQ(m_window->MenuAction(kCmdDelete)->shortcut(), QKeySequence("Ctrl+Del"));
    EXPECT_EQ(m_window->MenuAction(kCmdConvert)->shortcut(), QKeySequence("F5"));
    EXPECT_EQ(m_window->MenuAction(kCmdManual)->shortcut(), QKeySequence("F1"));

    // The main toolbar: ten buttons and three separators, tooltips from the menu texts.
    EXPECT_EQ(m_window->MainToolbar()->actions().size(), 12);
    EXPECT_EQ(m_window->ToolbarAction(kCmdSelectOutputFolder)->toolTip(),
              "Select Output Folder...");
    EXPECT_EQ(m_window->ToolbarAction(kCmdCopy), nullptr);
}

// Pictures of the main window for the documentation: written to $QM_SCREENSHOT_DIR, or to
// screenshots/ in the build folder. Each theme the build packs, with a few example inputs.
TEST_F(MainWindowTest, PicturesOfTheMainWindow) {
    const char* dir = std::getenv("QM_SCREENSHOT_DIR");
    const QString folder = dir ? QString(dir) : QString(QM_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    SetThemeFolders({QM_BINARY_DIR "/gfx/"});
    ListThemes();
    struct Picture {
        const char* theme;
        int uiSize;
        QSize size;
        const char* name;
    };
    const Picture pictures[] = {
        {"handdrawn", 2, QSize(640, 420), "main_window"},
        {"tango", 2, QSize(640, 420), "main_window_tango_large"},
        {"handdrawn", 4, QSize(510, 330), "main_window_minimum_huge"},
    };
    for (const Picture& picture : pictures) {
        if (ThemeList.find(picture.theme) == ThemeList.end())
            continue;
        Settings.Interface.UITheme = picture.theme;
        Settings.Interface.UISize = picture.uiSize;
        LoadTheme(true, true, true);
        DestroyMainWindow();
        m_window = CreateMainWindow();
        ShowMainWindow();
        ConversionJob.InputFolder = "/home/ann/charts/";
        AddRows({"/home/ann/charts/2026/sales.emf", "/home/ann/charts/2026/costs.emf",
                 "/home/ann/charts/logo.emz", "/home/ann/charts/floorplan.emf"});
        m_window->FileList()->topLevelItem(1)->setSelected(true);
        m_window->resize(picture.size);
        Settle();
        // Everything of the content area is inside the window at every icon size.
        const QWidget* content = m_window->Gadget(kContentArea);
        EXPECT_LE(content->mapTo(m_window, QPoint(0, content->height())).y(),
                  m_window->statusBar()->y());
        EXPECT_TRUE(m_window->grab().save(folder + "/" + picture.name + ".png"));
    }
    SetThemeFolders({});
    FreeThemeImages();
}
