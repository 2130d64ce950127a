// Adding files and folders, importing and exporting lists, behind their progress windows.
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include "cli/line_feeds.h"
#include "gui/add_input.h"
#include "gui/file_dialogs.h"
#include "gui/task_progress.h"
#include "gui/theme.h"
#include "gui/window_ids.h"
#include "tests/gui/fake_host.h"
#include "tests/gui/gui_test_support.h"
#include "tests/gui/scripted_boxes.h"
#include "tests/gui/scripted_dialogs.h"

namespace qm::gui {
namespace {

using test::PostClose;
using test::ReadFile;

class ListTasksTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetRecords();
        detail::SetTaskHoldMilliseconds(10);
        // Every window opened records its bar's maximum and value at the start.
        detail::SetTaskStartedHook([this](QDialog* window) {
            ++windowsOpened;
            windowName = window->objectName();
            windowTitle = window->windowTitle();
            modal = QApplication::activeModalWidget() == window;
            if (auto* bar = window->findChild<QProgressBar*>())
                barName = bar->objectName(), barMaximum = bar->maximum();
            if (onStarted)
                onStarted(window);
        });
    }
    void TearDown() override {
        detail::SetTaskStartedHook(nullptr);
        detail::SetTaskHoldMilliseconds(700);
        ConversionProgress.Pause.Open();
    }

    test::ScratchFolder scratch;
    test::ScriptedBoxes boxes;
    test::ScriptedDialogs dialogs;
    test::FakeHost host;
    int windowsOpened = 0;
    QString windowName, windowTitle, barName;
    int barMaximum = -1;
    bool modal = false;
    std::function<void(QDialog*)> onStarted;
};

// The worker is held before its first unit (the gate is closed before the task starts) until
// the stop question, asked from the close box, has been answered.
void HoldTheWorkerAndClose(QDialog* window) {
    PostClose(window);
}

TEST_F(ListTasksTest, ExportWritesTheByteOrderMarkAndCrLfRowsAndAddsTxt) {
    host.rows = {"/in/a.emf", "/in/b.emf"};
    ConversionJob.InputPath = "/in/b.emf";
    dialogs.answers = {{QString::fromStdString(scratch.root + "saved")}};
    EXPECT_EQ(ExportInputList(host), 1);

    const std::string path = scratch.root + "saved.txt";
    EXPECT_EQ(ReadFile(path), "\xEF\xBB\xBF/in/a.emf\r\n/in/b.emf\r\n");
    EXPECT_EQ(ConversionJob.InputPath, path);
    EXPECT_EQ(host.LastStatus(), "Export complete, entries saved: 2");
    EXPECT_EQ(windowName, "window5");
    EXPECT_EQ(windowTitle, "Exporting");
    EXPECT_EQ(barName, "gadget351");
    EXPECT_EQ(barMaximum, 2);
    EXPECT_TRUE(modal); // the main window takes no input meanwhile
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].title, "Export Input Files");
    EXPECT_EQ(dialogs.requests[0].start, "/in/list.txt");
    EXPECT_EQ(dialogs.requests[0].filter,
              "Text Files (*.[tT][xX][tT] *.[lL][sS][tT]);;All Files (*)");
}

TEST_F(ListTasksTest, ExportAsksBeforeReplacingAFileWithContentOnly) {
    host.rows = {"/in/a.emf"};
    const std::string full = scratch.Write("full.txt", "keep me");
    const std::string empty = scratch.Write("empty.lst", "");

    dialogs.answers = {{QString::fromStdString(full)}};
    boxes.answers = {false};
    EXPECT_EQ(ExportInputList(host), 0);
    EXPECT_EQ(ReadFile(full), "keep me");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "The file already exist. Do you want to overwrite it?");
    EXPECT_EQ(boxes.shown[0].caption, "Warning");
    EXPECT_EQ(windowsOpened, 0);

    dialogs.answers = {{QString::fromStdString(full)}};
    boxes.answers = {true};
    EXPECT_EQ(ExportInputList(host), 1);
    EXPECT_EQ(ReadFile(full), "\xEF\xBB\xBF/in/a.emf\r\n");

    dialogs.answers = {{QString::fromStdString(empty)}}; // has an extension, is empty
    EXPECT_EQ(ExportInputList(host), 1);
    EXPECT_EQ(boxes.shown.size(), 2u); // no question for the empty file
    EXPECT_EQ(ReadFile(empty), "\xEF\xBB\xBF/in/a.emf\r\n");
}

TEST_F(ListTasksTest, ExportOfAnEmptyListOrACancelledDialogDoesNothing) {
    EXPECT_EQ(ExportInputList(host), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "No input file(s) found. Please, add valid file(s) and try again!");
    EXPECT_TRUE(dialogs.requests.empty());

    host.rows = {"/in/a.emf"};
    EXPECT_EQ(ExportInputList(host), 0); // cancelled
    EXPECT_EQ(windowsOpened, 0);
}

TEST_F(ListTasksTest, StoppingAnExportKeepsTheRowsWrittenSoFar) {
    host.rows = {"/in/a.emf", "/in/b.emf"};
    const std::string path = scratch.Write("list.txt", "old list");
    dialogs.answers = {{QString::fromStdString(path)}};
    boxes.answers = {true, true}; // overwrite, then break
    onStarted = HoldTheWorkerAndClose;
    ConversionProgress.Pause.Close();
    EXPECT_EQ(ExportInputList(host), 1);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, "Do you want to break the export?");
    EXPECT_EQ(host.LastStatus(), "Export stopped");
    EXPECT_EQ(ReadFile(path), "\xEF\xBB\xBF"); // stopped before its first row
}

TEST_F(ListTasksTest, NoToTheStopQuestionLetsTheExportFinish) {
    host.rows = {"/in/a.emf", "/in/b.emf"};
    dialogs.answers = {{QString::fromStdString(scratch.root + "list.txt")}};
    boxes.answers = {false};
    onStarted = HoldTheWorkerAndClose;
    ConversionProgress.Pause.Close();
    EXPECT_EQ(ExportInputList(host), 1);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(host.LastStatus(), "Export complete, entries saved: 2");
}

TEST_F(ListTasksTest, ListImportBarCountsTheLinesPlusOne) {
    const std::string a = scratch.Write("a.emf");
    const std::string b = scratch.Write("b.emf");
    const std::string open = scratch.Write("open.txt", a + "\n" + b + "\n" + a);
    const std::string closed = scratch.Write("closed.lst", a + "\r\n" + b + "\r\n");

    ConversionJob.InputPath = open;
    EXPECT_EQ(TaskMaximum(ProgressTask::ListImport, {}), 3); // three lines, no final feed
    ConversionJob.InputPath = closed;
    EXPECT_EQ(TaskMaximum(ProgressTask::ListImport, {}), 3); // two lines and a final feed

    ConversionJob.InputFolder = scratch.root; // an earlier folder import
    dialogs.answers = {{QString::fromStdString(open)}};
    EXPECT_EQ(ImportInputList(host), 1);
    EXPECT_EQ(windowName, "window4");
    EXPECT_EQ(windowTitle, "Importing");
    EXPECT_EQ(barName, "gadget348");
    EXPECT_EQ(barMaximum, 3);
    EXPECT_EQ(host.LastStatus(), "Import complete, new files added: 2");
    EXPECT_EQ(host.rows, (std::vector<std::string>{a, b}));
    EXPECT_EQ(ConversionJob.InputPath, open);
    EXPECT_EQ(ConversionJob.InputFolder, scratch.root); // kept for the next folder dialog
    EXPECT_EQ(dialogs.requests[0].title, "Import Input Files From A List");
}

TEST_F(ListTasksTest, AnEmptyListFileIsNotImported) {
    const std::string empty = scratch.Write("empty.txt", "");
    dialogs.answers = {{QString::fromStdString(empty)}};
    EXPECT_EQ(ImportInputList(host), 0);
    EXPECT_EQ(windowsOpened, 0);
    EXPECT_EQ(ImportInputList(host), 0); // cancelled
}

TEST_F(ListTasksTest, AFolderOfTwoSubfoldersHasTwoUnitsAndCountsTheFilesOfBoth) {
    scratch.Write("in/one/a.emf");
    scratch.Write("in/one/deeper/b.emz");
    scratch.Write("in/two/c.EMF");
    scratch.Write("in/two/d.wmf");
    ConversionJob.InputFolder = scratch.root + "in/";
    EXPECT_EQ(TaskMaximum(ProgressTask::FolderImport, {}), 2);

    dialogs.answers = {{QString::fromStdString(scratch.root + "in")}};
    EXPECT_EQ(AddInputFolder(host), 1);
    EXPECT_EQ(ConversionJob.InputFolder, scratch.root + "in/");
    EXPECT_EQ(windowName, "window2");
    EXPECT_EQ(barName, "gadget342");
    EXPECT_EQ(barMaximum, 2);
    EXPECT_EQ(host.LastStatus(), "Import complete, new files added: 3");
    EXPECT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(dialogs.requests[0].title, "Select Input Folder");
    EXPECT_EQ(dialogs.requests[0].start, QString::fromStdString(scratch.root + "in/"));

    // A second import of the same folder reports only what it added.
    scratch.Write("in/two/e.emf");
    ImportFolderWithProgress(host);
    EXPECT_EQ(host.LastStatus(), "Import complete, new files added: 1");
    EXPECT_EQ(host.rows.size(), 4u);
}

TEST_F(ListTasksTest, StoppingAFolderImportKeepsWhatWasAdded) {
    scratch.Write("in/a.emf");
    ConversionJob.InputFolder = scratch.root + "in/";
    boxes.answers = {true};
    onStarted = HoldTheWorkerAndClose;
    ConversionProgress.Pause.Close();
    EXPECT_EQ(ImportFolderWithProgress(host), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Do you want to break the import?");
    EXPECT_EQ(host.LastStatus(), "Import stopped");

    boxes.answers = {false};
    ConversionProgress.Pause.Close();
    EXPECT_EQ(ImportFolderWithProgress(host), 1);
    EXPECT_EQ(host.LastStatus(), "Import complete, new files added: 1");
}

TEST_F(ListTasksTest, AFolderDialogStartsAtTheLastFileAndRefusesNonFolders) {
    ConversionJob.InputPath = "/data/in/x.emf";
    const std::string file = scratch.Write("file.emf");
    dialogs.answers = {{QString::fromStdString(file)}};
    EXPECT_EQ(AddInputFolder(host), 0);
    EXPECT_EQ(dialogs.requests[0].start, "/data/in/");
    EXPECT_EQ(AddInputFolder(host), 0); // cancelled
    EXPECT_EQ(windowsOpened, 0);
}

TEST_F(ListTasksTest, AddedFilesFollowTheDialogsOrderAndTheLastIsRemembered) {
    const std::string a = scratch.Write("z.emf");
    const std::string b = scratch.Write("a.emz");
    const std::string skipped = scratch.Write("c.png");
    dialogs.answers = {
        {QString::fromStdString(a), QString::fromStdString(skipped), QString::fromStdString(b)}};
    EXPECT_EQ(AddInputFiles(host), 1);
    EXPECT_EQ(host.rows, (std::vector<std::string>{a, b}));
    EXPECT_EQ(ConversionJob.InputPath, b);
    EXPECT_EQ(host.relayouts, 1);
    EXPECT_EQ(dialogs.requests[0].title, "Select Input Files");

    dialogs.answers = {{QString::fromStdString(a)}}; // listed already
    EXPECT_EQ(AddInputFiles(host), 0);
    EXPECT_EQ(AddInputFiles(host), 0); // cancelled
    EXPECT_EQ(ConversionJob.InputPath, a);
}

TEST(InputFilters, TheFilterListsEveryPatternThenEachFormatThenAllFiles) {
    test::ResetRecords();
    EXPECT_EQ(InputFileFilter(), "All Supported Files|*.emf;*.emz|Enhanced Metafile Format|"
                                 "*.emf;*.emz|All Files (*.*)|*.*");
    EXPECT_EQ(QtFilter(InputFileFilter()),
              "All Supported Files (*.[eE][mM][fF] *.[eE][mM][zZ]);;"
              "Enhanced Metafile Format (*.[eE][mM][fF] *.[eE][mM][zZ]);;All Files (*)");
}

TEST_F(ListTasksTest, TheChooserOffersFilesAndFolderAndEndsOnEveryEvent) {
    // The button images of the default theme, when the build has packed it.
    SetThemeFolders({QM_BINARY_DIR "/gfx/"});
    ListThemes();
    LoadTheme(true, false, false);
    SetThemeFolders({});
    ShowAddInputChooser(host);
    QDialog* chooser = AddInputChooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->objectName(), "window7");
    EXPECT_EQ(chooser->windowTitle(), "Add Input Files...");
    EXPECT_EQ(chooser->size(), QSize(270, 160));
    EXPECT_EQ(QApplication::activeModalWidget(), chooser);
    auto* files = chooser->findChild<QToolButton*>("gadget359");
    auto* folder = chooser->findChild<QToolButton*>("gadget361");
    ASSERT_TRUE(files && folder);
    EXPECT_EQ(files->geometry(), QRect(30, 30, 80, 80));
    EXPECT_EQ(folder->geometry(), QRect(160, 30, 80, 80));
    EXPECT_EQ(chooser->findChild<QLabel*>("gadget360")->text(), "Add Input File...");
    EXPECT_EQ(chooser->findChild<QLabel*>("gadget362")->text(), "Add Input Folder...");
    test::SaveScreenshot(chooser, "add_input_chooser.png");

    files->click(); // the file dialog (cancelled), then the chooser ends
    EXPECT_EQ(AddInputChooser(), nullptr);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].title, "Select Input Files");

    ShowAddInputChooser(host);
    AddInputChooser()->findChild<QToolButton*>("gadget361")->click();
    EXPECT_EQ(dialogs.requests.back().title, "Select Input Folder");
    EXPECT_EQ(AddInputChooser(), nullptr);

    ShowAddInputChooser(host);
    AddInputChooser()->close(); // the close box
    EXPECT_EQ(AddInputChooser(), nullptr);
    ShowAddInputChooser(host);
    HandleAddInputChooserEvent(kAddInputEscape);
    EXPECT_EQ(AddInputChooser(), nullptr);
    EXPECT_EQ(dialogs.requests.size(), 2u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ListTasksTest, TheFinalStateIsHeldForSevenHundredMilliseconds) {
    detail::SetTaskHoldMilliseconds(700);
    host.rows = {"/in/a.emf"};
    dialogs.answers = {{QString::fromStdString(scratch.root + "list.txt")}};
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(ExportInputList(host), 1);
    EXPECT_GE(timer.elapsed(), 700);
}

} // namespace
} // namespace qm::gui
