// The main window's commands that run behind dialogs: Convert, the add-input chooser, list
// export and dropped folders.
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <gtest/gtest.h>

#include "cli/input_collection.h"
#include "gui/add_input.h"
#include "gui/convert_progress.h"
#include "gui/main_window.h"
#include "gui/task_progress.h"
#include "gui/texts.h"
#include "gui/window_ids.h"
#include "tests/engine/test_metafile.h"
#include "tests/gui/gui_test_support.h"
#include "tests/gui/scripted_boxes.h"
#include "tests/gui/scripted_dialogs.h"

namespace qm::gui {
namespace {

namespace fs = std::filesystem;

class MainWindowRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetRecords();
        SetInputFileAddedHook(OnInputFileAdded);
        window = CreateMainWindow();
        ShowMainWindow();
        detail::SetTaskHoldMilliseconds(10);
        detail::SetTaskStartedHook([this](QDialog* w) { taskWindows.push_back(w->objectName()); });
        // The progress dialog is closed with OK as soon as the run has ended.
        detail::SetConvertStartedHook([](QDialog* dialog) {
            auto* ok = dialog->findChild<QPushButton*>("ok");
            auto* closer = new QTimer(dialog);
            QObject::connect(closer, &QTimer::timeout, [ok] {
                if (ok->isEnabled())
                    ok->click();
            });
            closer->start(5);
        });
    }
    void TearDown() override {
        detail::SetConvertStartedHook(nullptr);
        detail::SetTaskStartedHook(nullptr);
        detail::SetTaskHoldMilliseconds(700);
        DestroyMainWindow();
        SetInputFileAddedHook(nullptr);
        ResetConversionJob();
    }

    std::string WriteMetafile(const std::string& relative) {
        const std::string path = scratch.root + relative;
        fs::create_directories(fs::path(path).parent_path());
        qm::test::MetafileBuilder builder(120, 80);
        builder.Fill({5, 5, 40, 20, 0, 0, 255});
        EXPECT_TRUE(builder.Write(path));
        return path;
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int i = 0; i < window->FileList()->topLevelItemCount(); ++i)
            rows.push_back(U8(window->FileList()->topLevelItem(i)->text(0)));
        return rows;
    }

    test::ScratchFolder scratch;
    test::ScriptedBoxes boxes;
    test::ScriptedDialogs dialogs;
    MainWindow* window = nullptr;
    std::vector<QString> taskWindows;
};

TEST_F(MainWindowRunTest, ConvertRunsTheListIntoTheChosenFolder) {
    const std::string path = WriteMetafile("in/a.emf");
    ASSERT_EQ(AddInputFile(path), 1);
    EXPECT_EQ(window->OutputFolderText().toStdString(), scratch.root + "in/");
    window->SelectOutputFormat("png");
    window->Dispatch(kCmdConvert);
    EXPECT_EQ(window->StatusText(), "Conversion complete");
    EXPECT_TRUE(fs::exists(scratch.root + "in/a.png"));
    EXPECT_TRUE(boxes.shown.empty());

    window->Dispatch(kCmdNew);
    window->Dispatch(kCmdConvert); // an empty list is refused
    EXPECT_EQ(window->StatusText(), "Conversion stopped");
    ASSERT_EQ(boxes.shown.size(), 1u);
}

TEST_F(MainWindowRunTest, TheChooserAndTheExportWorkOnTheWindowsList) {
    const std::string a = WriteMetafile("in/a.emf");
    const std::string b = WriteMetafile("in/b.emf");
    dialogs.answers = {{QString::fromStdString(a), QString::fromStdString(b)}};
    window->Dispatch(kCmdSelectInputFiles);
    ASSERT_NE(AddInputChooser(), nullptr);
    HandleAddInputChooserEvent(kAddFilesButton);
    EXPECT_EQ(Rows(), (std::vector<std::string>{a, b}));

    dialogs.answers = {{QString::fromStdString(scratch.root + "list")}};
    window->Dispatch(kCmdExportInputFiles);
    EXPECT_EQ(test::ReadFile(scratch.root + "list.txt"), "\xEF\xBB\xBF" + a + "\r\n" + b + "\r\n");
    EXPECT_EQ(window->StatusText(), "Export complete, entries saved: 2");

    window->Dispatch(kCmdNew);
    dialogs.answers = {{QString::fromStdString(scratch.root + "list.txt")}};
    window->Dispatch(kCmdImportInputFiles);
    EXPECT_EQ(Rows(), (std::vector<std::string>{a, b}));
    EXPECT_EQ(window->StatusText(), "Import complete, new files added: 2");
    EXPECT_EQ(taskWindows, (std::vector<QString>{"window5", "window4"}));
}

TEST_F(MainWindowRunTest, ADroppedFolderImportsBehindItsProgressWindow) {
    const std::string a = WriteMetafile("drop/x/a.emf");
    const std::string b = WriteMetafile("drop/b.emf");
    window->DropFiles({QString::fromStdString(scratch.root + "drop")});
    EXPECT_EQ(taskWindows, (std::vector<QString>{"window2"}));
    std::vector<std::string> rows = Rows();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<std::string>{b, a}));
    EXPECT_EQ(window->StatusText(), "Import complete, new files added: 2");
}

} // namespace
} // namespace qm::gui
