// Preferences opened from the main window's commands, and its changes reaching the window.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <gtest/gtest.h>

#include "cli/input_collection.h"
#include "core/formats.h"
#include "core/settings.h"
#include "gui/main_window.h"
#include "gui/preferences_dialog.h"
#include "gui/preferences_pages.h"
#include "gui/theme.h"
#include "gui/window_ids.h"
#include "scripted_boxes.h"

namespace qm::gui {
namespace {

class PreferencesFromMainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        BuildInputExtensions();
        BuildOutputFormats();
        ResetSettings(0);
        Settings.ConfigPath = (m_dir.path() + "/config.ini").toStdString();
        SetThemeFolders({QM_BINARY_DIR "/gfx/"});
        ListThemes();
        LoadTheme(true, true, true);
        m_window = CreateMainWindow();
        ShowMainWindow();
        QApplication::processEvents();
    }
    void TearDown() override {
        DestroyMainWindow();
        SetThemeFolders({});
        FreeThemeImages();
        ThemeList.clear();
        ResetSettings(0);
        Settings.ConfigPath.clear();
    }

    PreferencesDialog* OpenedDialog() const {
        const auto dialogs = m_window->findChildren<PreferencesDialog*>();
        return dialogs.isEmpty() ? nullptr : dialogs.back();
    }
    static void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QTemporaryDir m_dir;
    test::ScriptedBoxes m_boxes;
    MainWindow* m_window = nullptr;
};

TEST_F(PreferencesFromMainWindow, OptionsOpensOutputAndTheFormatAndIconSizeReachTheWindow) {
    m_window->SelectOutputFormat("gif");
    Settings.Output.Format = "gif";
    m_window->Dispatch(kCmdOutputFormatOptions);
    PreferencesDialog* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_EQ(dialog->CurrentPage(), kPageOutput);
    QComboBox* format = dialog->findChild<QComboBox*>("Output/Format");
    EXPECT_EQ(format->currentText(), "GIF");
    format->setCurrentIndex(format->findText("PNG"));
    dialog->findChild<QComboBox*>("Interface/UI Size")->setCurrentIndex(4);
    dialog->OkButton()->click();
    Flush();
    EXPECT_EQ(Settings.Output.Format, "png");
    EXPECT_EQ(m_window->SelectedFormatId(), "png");
    EXPECT_EQ(m_window->MainToolbar()->iconSize(), QSize(64, 64));
    EXPECT_EQ(InterfaceReload, 0);

    m_window->Dispatch(kCmdPreferences);
    dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->CurrentPage(), kPageGeneral);
    dialog->reject();
}

TEST_F(PreferencesFromMainWindow, AThemeChangeReloadsTheWindowsImages) {
    if (ThemeList.size() < 2)
        GTEST_SKIP() << "fewer than two theme archives built";
    const std::string other = ThemeList.begin()->first == Settings.Interface.UITheme
                                  ? ThemeList.rbegin()->first
                                  : ThemeList.begin()->first;
    const qint64 before = m_window->ToolbarAction(kCmdNew)->icon().cacheKey();
    m_window->Dispatch(kCmdPreferences);
    PreferencesDialog* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    QComboBox* theme = dialog->findChild<QComboBox*>("Interface/UI Theme");
    theme->setCurrentIndex(theme->findData(QString::fromStdString(other)));
    dialog->OkButton()->click();
    Flush();
    EXPECT_EQ(Settings.Interface.UITheme, other);
    EXPECT_NE(m_window->ToolbarAction(kCmdNew)->icon().cacheKey(), before);
    EXPECT_FALSE(m_window->ToolbarAction(kCmdNew)->icon().isNull());
}

} // namespace
} // namespace qm::gui
