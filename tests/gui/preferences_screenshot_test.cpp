// Pictures of every page of Preferences, for looking at: written to $QM_SCREENSHOT_DIR, or to
// screenshots/ in the build folder.
#include <QDir>
#include <QScrollArea>
#include <QScrollBar>
#include <cstdlib>

#include "preferences_fixture.h"

namespace qm::gui::test {
namespace {

QString ScreenshotDir() {
    const char* dir = std::getenv("QM_SCREENSHOT_DIR");
    return dir ? QString(dir) : QString(QM_BINARY_DIR "/screenshots");
}

void ScrollToEnd(QWidget* inner) {
    auto* scroll = qobject_cast<QScrollArea*>(inner->parentWidget()->parentWidget());
    ASSERT_NE(scroll, nullptr);
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
}

TEST_F(PreferencesTest, PicturesOfEveryPage) {
    // The themes the build packs, when there are any.
    SetThemeFolders({QM_BINARY_DIR "/gfx/"});
    ListThemes();
    LoadTheme(true, true, true);
    Settings.Output.Format = "jpg";
    Settings.Transform.DoImageRotation = 1;
    Settings.Frame.DoFrame = 1;
    Settings.Watermark.DoWatermark = 1;
    Settings.Advanced.FileTimestamp = 2;
    Open();
    ASSERT_TRUE(QDir().mkpath(ScreenshotDir()));
    const auto save = [&](const QString& name) {
        const QPixmap picture = dialog->grab();
        EXPECT_EQ(picture.size(), QSize(600, 350));
        EXPECT_TRUE(picture.save(ScreenshotDir() + "/preferences_" + name + ".png"));
    };
    const char* names[kPageCount] = {"general", "interface",      "input",
                                     "output",  "transform",      "adjustment",
                                     "frame",   "watermark_text", "advanced"};
    for (int page = 0; page < kPageCount; ++page) {
        dialog->ShowPreferencesPage(page);
        save(names[page]);
    }
    dialog->ShowPreferencesPage(kPageOutput);
    Choose("Output/Format", 19);
    save("output_tiff");
    dialog->ShowPreferencesPage(kPageTransform);
    ScrollToEnd(Find<QCheckBox>("Transform/Do Image Resize")->parentWidget());
    save("transform_end");
    dialog->ShowPreferencesPage(kPageWatermark);
    auto* watermark = static_cast<WatermarkPage*>(dialog->Page(kPageWatermark));
    ScrollToEnd(watermark->TextArea());
    save("watermark_text_end");
    Choose("Watermark/Do Watermark", 2);
    save("watermark_image");
    SetThemeFolders({});
    FreeThemeImages();
}

} // namespace
} // namespace qm::gui::test
