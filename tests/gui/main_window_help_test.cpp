// The main window's Help and Converter commands that lead to the About, converter search and
// update windows and to the desktop's opener, and the automatic update check at start-up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <cstdlib>
#include <filesystem>

#include "core/formats.h"
#include "core/settings.h"
#include "core/vendor_addresses.h"
#include "engine/conversion_job.h"
#include "gui/about_window.h"
#include "gui/find_converter_window.h"
#include "gui/main_window.h"
#include "gui/update_check.h"
#include "gui/window_ids.h"
#include "loopback_server.h"
#include "recording_opener.h"
#include "scripted_boxes.h"

namespace qm::gui {
namespace {

class MainWindowHelpTest : public testing::Test {
protected:
    void SetUp() override {
        BuildInputExtensions();
        BuildOutputFormats();
        ResetSettings(Settings, 0);
    }
    void TearDown() override {
        DestroyMainWindow();
        ResetConversionJob();
        unsetenv(UpdateUrlVariable);
    }
    MainWindow* Open() {
        MainWindow* window = CreateMainWindow();
        ShowMainWindow();
        Settle();
        return window;
    }
    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    template <typename T> static T* OpenWindow() {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<T*>(top); window && window->isVisible())
                return window;
        return nullptr;
    }
};

TEST_F(MainWindowHelpTest, HelpLinksGoToTheOpener) {
    MainWindow* window = Open();
    test::RecordingOpener opener;
    window->Dispatch(kCmdManual);
    window->Dispatch(kCmdSendFeedback);
    window->Dispatch(kCmdVisitHomepage);
    ASSERT_EQ(opener.opened.size(), 3u);
    EXPECT_EQ(std::filesystem::path(opener.opened[0]).filename(), "manual.html");
    EXPECT_EQ(opener.opened[1],
              std::string("mailto:") + VendorSupportMail + "?subject=Quellmark 2.6 Feedback");
    EXPECT_EQ(opener.opened[2], VendorProductPage);
}

TEST_F(MainWindowHelpTest, AboutAndTheConverterSearchOpenOverTheMainWindow) {
    MainWindow* window = Open();
    window->Dispatch(kCmdAbout);
    QPointer<AboutWindow> about = OpenWindow<AboutWindow>();
    ASSERT_TRUE(about);
    EXPECT_EQ(about->parentWidget(), window);
    EXPECT_EQ(QApplication::activeModalWidget(), about.data());
    about->close();
    Settle();
    EXPECT_FALSE(about);

    window->Dispatch(kCmdCustomConverter);
    QPointer<FindConverterWindow> search = OpenWindow<FindConverterWindow>();
    ASSERT_TRUE(search);
    EXPECT_EQ(search->parentWidget(), window);
    search->close();
    Settle();
}

TEST_F(MainWindowHelpTest, CheckForANewVersionAsksTheServer) {
    test::LoopbackServer server("HTTP/1.0 200 OK\r\n\r\n260");
    setenv(UpdateUrlVariable, server.url().c_str(), 1);
    MainWindow* window = Open();
    test::ScriptedBoxes boxes;
    window->Dispatch(kCmdCheckForNewVersion);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, "No Update");
    EXPECT_EQ(server.request().rfind("GET /files/pirelo.dat HTTP/1.0\r\n", 0), 0u);
}

TEST_F(MainWindowHelpTest, StartUpAsksOnceTheIntervalHasPassedButNotInScreenshotMode) {
    test::ScriptedBoxes boxes;
    Settings.General.UpdateRange = 0;
    Settings.General.UpdateDate = CurrentLocalDateTime() - 2 * 86400;
    ConversionJob.RunMode = "T";
    Open();
    EXPECT_TRUE(boxes.shown.empty());
    DestroyMainWindow();

    ConversionJob.RunMode.clear();
    Open();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Do you want to check for updates?");
    EXPECT_NEAR(Settings.General.UpdateDate, CurrentLocalDateTime(), 5);
}

} // namespace
} // namespace qm::gui
