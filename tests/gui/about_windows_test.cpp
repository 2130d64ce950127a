#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/option_table.h"
#include "core/formats.h"
#include "core/text_case.h"
#include "core/vendor_addresses.h"
#include "gui/about_window.h"
#include "gui/find_converter_window.h"
#include "gui/help_commands.h"
#include "gui/link_label.h"
#include "gui/uninstall_window.h"
#include "recording_opener.h"
#include "scripted_boxes.h"

namespace qm::gui {
namespace {

/// Lets deleteLater and queued events run.
void Settle() {
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

/// A stand-in main window that owns the secondary windows.
class OwnerWindow {
public:
    OwnerWindow() {
        window.resize(510, 330);
        window.move(300, 200);
        window.show();
        window.activateWindow();
    }
    QMainWindow window;
};

// ---- Find a File Converter ----------------------------------------------------------------

TEST(ConverterExtensions, LowerCaseFirstTwelveCharactersThenLettersAndDigitsOnly) {
    EXPECT_EQ(CleanConverterExtension(".EMF"), "emf");
    EXPECT_EQ(CleanConverterExtension("png"), "png");
    EXPECT_EQ(CleanConverterExtension("Windows Metafile"), "windowsmeta");
    EXPECT_EQ(CleanConverterExtension("  JPEG-2000 "), "jpeg2000");
    EXPECT_EQ(CleanConverterExtension(QString::fromUtf8("ÉMF")), "mf");
    EXPECT_EQ(CleanConverterExtension("...!?"), "");

    QString from, to;
    EXPECT_TRUE(ReadConverterExtensions(".EMF", "png", from, to));
    EXPECT_EQ(from, "emf");
    EXPECT_EQ(to, "png");
    EXPECT_FALSE(ReadConverterExtensions("emf", "--", from, to));
    EXPECT_FALSE(ReadConverterExtensions("", "png", from, to));
    EXPECT_EQ(ConverterSearchUrl("emf", "png"), std::string(VendorConverterSearch) + "emf-png/");
}

TEST(FindConverterWindow, HasItsPlacesAndTheFocusInTheFromField) {
    OwnerWindow owner;
    QPointer<FindConverterWindow> window = ShowFindConverter(&owner.window);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "Find a File Converter");
    EXPECT_EQ(window->size(), QSize(370, 60));
    EXPECT_EQ(window->fromField()->geometry(), QRect(50, 20, 80, 20));
    EXPECT_EQ(window->toField()->geometry(), QRect(180, 20, 80, 20));
    EXPECT_EQ(window->searchButton()->geometry(), QRect(280, 18, 80, 25));
    EXPECT_TRUE(window->searchButton()->isDefault());
    EXPECT_EQ(window->focusWidget(), window->fromField());
    EXPECT_EQ(window->parentWidget(), &owner.window);
    EXPECT_EQ(QApplication::activeModalWidget(), window.data());
    window->close();
    Settle();
    EXPECT_FALSE(window);
}

TEST(FindConverterWindow, SearchOpensTheSearchForBothExtensionsAndCloses) {
    OwnerWindow owner;
    test::RecordingOpener opener;
    test::ScriptedBoxes boxes;
    QPointer<FindConverterWindow> window = ShowFindConverter(&owner.window);
    window->fromField()->setText(".EMF");
    window->toField()->setText("png");
    QTest::mouseClick(window->searchButton(), Qt::LeftButton);
    Settle();
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0], std::string(VendorConverterSearch) + "emf-png/");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(window);
}

TEST(FindConverterWindow, EnterSearchesAndALongNameIsCutBeforeCleaning) {
    OwnerWindow owner;
    test::RecordingOpener opener;
    QPointer<FindConverterWindow> window = ShowFindConverter(&owner.window);
    window->fromField()->setText("Windows Metafile");
    window->toField()->setText("TIFF");
    QTest::keyClick(window->toField(), Qt::Key_Return);
    Settle();
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0], std::string(VendorConverterSearch) + "windowsmeta-tiff/");
    EXPECT_FALSE(window);
}

TEST(FindConverterWindow, PunctuationOnlyWarnsAndKeepsTheWindowAndItsTexts) {
    OwnerWindow owner;
    test::RecordingOpener opener;
    test::ScriptedBoxes boxes;
    QPointer<FindConverterWindow> window = ShowFindConverter(&owner.window);
    window->fromField()->setText(".,;-");
    window->toField()->setText("png");
    QTest::keyClick(window->fromField(), Qt::Key_Enter);
    Settle();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Warning);
    EXPECT_EQ(boxes.shown[0].text, "Please, fill all required fields and try again!");
    EXPECT_TRUE(opener.opened.empty());
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->fromField()->text(), ".,;-");
    EXPECT_EQ(window->toField()->text(), "png");
    window->close();
    Settle();
}

TEST(FindConverterWindow, EscapeClosesWithoutSearching) {
    OwnerWindow owner;
    test::RecordingOpener opener;
    QPointer<FindConverterWindow> window = ShowFindConverter(&owner.window);
    window->fromField()->setText("emf");
    window->toField()->setText("png");
    QTest::keyClick(window->fromField(), Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_FALSE(window);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// ---- About --------------------------------------------------------------------------------

TEST(AboutWindow, ShowsTitleNoticeAndLinksInTheirPlaces) {
    OwnerWindow owner;
    QPointer<AboutWindow> window = ShowAbout(&owner.window);
    EXPECT_EQ(window->windowTitle(), "About...");
    EXPECT_EQ(window->size(), QSize(360, 240));
    EXPECT_EQ(AboutBanner().deviceIndependentSize().toSize(), QSize(360, 40));
    const auto* title = window->findChild<QLabel*>("titleLine");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "Quellmark 2.6");
    EXPECT_EQ(title->geometry(), QRect(20, 50, 320, 20));
    EXPECT_EQ(window->webLink()->text(), VendorWebSite);
    EXPECT_EQ(window->webLink()->geometry(), QRect(140, 100, 215, 20));
    EXPECT_EQ(window->mailLink()->text(), VendorSupportMail);
    EXPECT_EQ(window->webLink()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(QApplication::activeModalWidget(), window.data());
    // Centred over its owner.
    EXPECT_LE((window->frameGeometry().center() - owner.window.frameGeometry().center())
                  .manhattanLength(),
              2);
    window->close();
    Settle();
    EXPECT_FALSE(window);
}

TEST(AboutWindow, TheLinksOpenTheWebSiteAndTheSupportMail) {
    OwnerWindow owner;
    test::RecordingOpener opener;
    QPointer<AboutWindow> window = ShowAbout(&owner.window);
    QTest::mouseClick(window->webLink(), Qt::LeftButton);
    QTest::mouseClick(window->mailLink(), Qt::LeftButton);
    ASSERT_EQ(opener.opened.size(), 2u);
    EXPECT_EQ(opener.opened[0], VendorWebSite);
    EXPECT_EQ(opener.opened[1], std::string("mailto:") + VendorSupportMail);
    EXPECT_TRUE(window->isVisible());
    window->close();
    Settle();
}

TEST(AboutWindow, EnterEscapeAndOkAllClose) {
    OwnerWindow owner;
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QPointer<AboutWindow> window = ShowAbout(&owner.window);
        QTest::keyClick(window.data(), key);
        Settle();
        EXPECT_FALSE(window) << key;
    }
    QPointer<AboutWindow> window = ShowAbout(&owner.window);
    QTest::mouseClick(window->findChild<QPushButton*>("okButton"), Qt::LeftButton);
    Settle();
    EXPECT_FALSE(window);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// ---- Uninstall feedback ---------------------------------------------------------------------

/// Runs the uninstall window and acts on it once it is up.
template <typename Act> void RunUninstallWindow(Act act) {
    bool acted = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<UninstallWindow*>(top); window && window->isVisible()) {
                act(*window);
                acted = true;
            }
    });
    ShowUninstallFeedback();
    EXPECT_TRUE(acted);
}

TEST(UninstallWindow, TickedNextOpensTheUninstallPage) {
    test::RecordingOpener opener;
    RunUninstallWindow([](UninstallWindow& window) {
        EXPECT_EQ(window.windowTitle(), "Uninstall");
        EXPECT_EQ(window.size(), QSize(300, 100));
        EXPECT_EQ(window.parentWidget(), nullptr);
        EXPECT_TRUE(window.visitBox()->isChecked());
        EXPECT_EQ(window.visitBox()->text(), "Full Uninstall - Visit Uninstall Center");
        QTest::mouseClick(window.nextButton(), Qt::LeftButton);
    });
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0], VendorUninstallPage);
}

TEST(UninstallWindow, UntickedNextEndsWithoutOpeningAnything) {
    test::RecordingOpener opener;
    RunUninstallWindow([](UninstallWindow& window) {
        QTest::mouseClick(window.visitBox(), Qt::LeftButton);
        EXPECT_FALSE(window.visitBox()->isChecked());
        EXPECT_TRUE(window.isVisible()); // the box only toggles
        QTest::mouseClick(window.nextButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(opener.opened.empty());
}

TEST(UninstallWindow, TheCloseBoxEndsWithoutOpeningAnything) {
    test::RecordingOpener opener;
    RunUninstallWindow([](UninstallWindow& window) { window.close(); });
    EXPECT_TRUE(opener.opened.empty());
}

// ---- Help menu ----------------------------------------------------------------------------

TEST(HelpCommands, FeedbackManualAndHomepageOpenTheirTargets) {
    test::RecordingOpener opener;
    SendFeedback();
    VisitHomepage();
    OpenUserManual();
    ASSERT_EQ(opener.opened.size(), 3u);
    EXPECT_EQ(opener.opened[0],
              std::string("mailto:") + VendorSupportMail + "?subject=Quellmark 2.6 Feedback");
    EXPECT_EQ(opener.opened[1], VendorProductPage);
    EXPECT_EQ(std::filesystem::path(opener.opened[2]).filename(), "manual.html");
}

TEST(HelpCommands, TheManualIsFoundInTheBuildTreeAndBesideAnInstalledProgram) {
    namespace fs = std::filesystem;
    const std::string built = UserManualPath(QM_BINARY_DIR);
    EXPECT_TRUE(fs::is_regular_file(built)) << built;

    const fs::path prefix = fs::temp_directory_path() / "qm_manual_prefix";
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share/doc/quellmark");
    std::ofstream(prefix / "share/doc/quellmark/manual.html") << "<html></html>";
    EXPECT_EQ(UserManualPath((prefix / "bin").string()),
              (prefix / "share/doc/quellmark/manual.html").string());
    fs::remove_all(prefix);
}

TEST(UserManual, NamesEveryConsoleOptionAndEveryOutputFormat) {
    std::ifstream in(std::string(QM_SOURCE_DIR) + "/docs/manual.html");
    std::stringstream text;
    text << in.rdbuf();
    const std::string manual = LowerAscii(text.str());
    ASSERT_FALSE(manual.empty());
    for (const SettingOption& option : SettingOptions())
        EXPECT_NE(manual.find("<code>" + LowerAscii(option.name)), std::string::npos)
            << option.name;
    for (const OutputFormat& format : OutputFormatTable) {
        const std::string id(format.id);
        EXPECT_NE(manual.find("<td><code>" + id + "</code></td><td>" +
                              LowerAscii(std::string(format.description))),
                  std::string::npos)
            << id;
    }
}

} // namespace
} // namespace qm::gui
