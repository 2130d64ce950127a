#include <QBuffer>
#include <QImage>
#include <QToolBar>
#include <archive.h>
#include <archive_entry.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "app/settings_file.h"
#include "core/settings.h"
#include "gui/theme.h"
#include "gui/theme_archive.h"

namespace qm::gui {
namespace {

namespace fs = std::filesystem;
using Entries = std::vector<std::pair<std::string, std::string>>;

// A size x size PNG filled with one colour.
std::string Png(int size, QRgb colour) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// Writes a zip archive with the given entries.
void WriteZip(const fs::path& path, const Entries& entries) {
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
    for (const auto& [name, data] : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(data.size()));
        archive_write_header(a, e);
        archive_write_data(a, data.data(), data.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
}

class ThemeTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("qm_theme_" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        SetThemeFolders({m_dir.string()});
        FreeThemeImages();
        ThemeList.clear();
        Settings.Interface.UITheme = "handdrawn";
        Settings.Interface.UISize = 2;
    }
    void TearDown() override {
        SetThemeFolders({});
        FreeThemeImages();
        ThemeList.clear();
        ResetSettings(0);
        fs::remove_all(m_dir);
    }
    void Theme(const std::string& name, const Entries& entries) {
        WriteZip(m_dir / (name + ".zip"), entries);
    }

    fs::path m_dir;
};

// The colour of the top-left pixel of an image, or 0 when there is none.
QRgb Colour(ImageSet set, std::string_view name) {
    const QPixmap pixmap = ThemeImage(set, name);
    return pixmap.isNull() ? 0 : pixmap.toImage().pixel(0, 0);
}

TEST(CfgValue, FindsTrimmedValuesInTheirGroupIgnoringCase) {
    const QString cfg = "\xEF\xBB\xBF[Theme]\r\nName = Hand drawn \r\n[Icons]\r\nNew = \tnew\t\r\n"
                        "Copy=copy=ignored\r\nEmpty =\r\n";
    EXPECT_EQ(CfgValue(cfg, "theme", "NAME"), "Hand drawn");
    EXPECT_EQ(CfgValue(cfg, "Icons", "new"), "new");
    EXPECT_EQ(CfgValue(cfg, "Icons", "Copy"), "copy");
    EXPECT_EQ(CfgValue(cfg, "Icons", "Empty"), "");
    EXPECT_EQ(CfgValue(cfg, "Icons", "Name"), "");                // in another group
    EXPECT_EQ(CfgValue(cfg, "Buttons", "New"), "");               // no such group
    EXPECT_EQ(CfgValue(cfg, "Icons", "Missing"), "");             // no such key
    EXPECT_EQ(CfgValue("[Icons]\r\nNew=x", "Icons", "New"), "x"); // last line without CR LF
}

TEST(CfgValue, KeyIsALinePrefixAndBareLineFeedsGiveNothing) {
    // "In" matches the earlier line "InFiles", as the key is only a line prefix.
    const QString cfg = "[Icons]\r\nInFiles = files\r\nIn = in\r\n";
    EXPECT_EQ(CfgValue(cfg, "Icons", "In"), "files");
    EXPECT_EQ(CfgValue("[Icons]\nNew = new\nCopy = copy\n", "Icons", "New"), "");
    EXPECT_EQ(CfgValue("[Icons]\nNew = new\nCopy = copy\n", "Icons", "Copy"), "");
}

TEST(ThemeEntryName, AddsSizeUnlessTheValueNamesAPng) {
    EXPECT_EQ(ThemeEntryName("copy", 32), "copy_32.png");
    EXPECT_EQ(ThemeEntryName("big_convert.PNG", 16), "big_convert.PNG");
    EXPECT_EQ(ThemeEntryName("a.png.b", 16), "a.png.b");
    EXPECT_EQ(IconPixelSize(0), 16);
    EXPECT_EQ(IconPixelSize(1), 24);
    EXPECT_EQ(IconPixelSize(2), 32);
    EXPECT_EQ(IconPixelSize(3), 48);
    EXPECT_EQ(IconPixelSize(4), 64);
    EXPECT_EQ(IconPixelSize(5), 16);
    EXPECT_EQ(IconPixelSize(-1), 16);
}

TEST(ImageNumbers, AreFixedAndDistinctOverTheThreeSets) {
    EXPECT_EQ(ImageCount(), 47);
    EXPECT_EQ(ImageNumber(ImageSet::Buttons, "Convert"), 0);
    EXPECT_EQ(ImageNumber(ImageSet::Buttons, "InFolder"), 2);
    EXPECT_EQ(ImageNumber(ImageSet::Buttons, "New"), -1);
    EXPECT_EQ(ImageNumber(ImageSet::MenuIcons, "New"), 3);
    EXPECT_EQ(ImageNumber(ImageSet::MenuIcons, "About"), 24);
    EXPECT_EQ(ImageNumber(ImageSet::ToolbarIcons, "New"), 25);
    EXPECT_EQ(ImageNumber(ImageSet::ToolbarIcons, "About"), 46);
    EXPECT_EQ(ImageNumber(ImageSet::ToolbarIcons, "about"), -1);
}

TEST_F(ThemeTest, LoadsEachSetAtItsPixelSize) {
    Settings.Interface.UISize = 3;
    Theme("handdrawn", {{"theme.cfg", "[Theme]\r\nName=Hand\r\n[Buttons]\r\nConvert = "
                                      "big_convert.PNG\r\n[Icons]\r\nNew = new\r\n"},
                        {"big_convert.PNG", Png(88, 0xff0000ff)},
                        {"new_16.png", Png(16, 0xff00ff00)},
                        {"new_48.png", Png(48, 0xffff0000)}});
    ListThemes();
    LoadTheme(true, true, true);
    EXPECT_EQ(ThemeImage(ImageSet::Buttons, "Convert").width(), 88);
    EXPECT_EQ(ThemeImage(ImageSet::MenuIcons, "New").width(), 16);
    EXPECT_EQ(ThemeImage(ImageSet::ToolbarIcons, "New").width(), 48);
    EXPECT_FALSE(ThemeIcon(ImageSet::ToolbarIcons, "New").isNull());
    // Names without a key stay empty.
    EXPECT_TRUE(ThemeImage(ImageSet::MenuIcons, "Copy").isNull());
    EXPECT_TRUE(ThemeIcon(ImageSet::ToolbarIcons, "Copy").isNull());
    EXPECT_TRUE(ThemeImage(ImageSet::Buttons, "InFiles").isNull());

    // A change of the icon size reloads only the toolbar set.
    Settings.Interface.UISize = 0;
    LoadTheme(false, false, true);
    EXPECT_EQ(ThemeImage(ImageSet::ToolbarIcons, "New").width(), 16);
    FreeThemeImages();
    EXPECT_TRUE(ThemeImage(ImageSet::Buttons, "Convert").isNull());
}

TEST_F(ThemeTest, ListsArchivesSortedWithTheirDisplayNames) {
    Theme("zeta", {{"theme.cfg", "[Theme]\r\nName = Last One\r\n"}});
    Theme("alpha", {{"theme.cfg", "[Theme]\nName = bare line feeds\n"}});
    fs::create_directories(m_dir / "folder.zip");
    std::ofstream(m_dir / "notes.txt") << "x";
    std::ofstream(m_dir / "empty.zip");
    ListThemes();
    ASSERT_EQ(ThemeList.size(), 3u);
    EXPECT_EQ(ThemeList["alpha"], "alpha");
    EXPECT_EQ(ThemeList["empty"], "empty");
    EXPECT_EQ(ThemeList["zeta"], "Last One");
    EXPECT_EQ(ThemeList.rbegin()->first, "zeta");
}

TEST_F(ThemeTest, MissingThemeFallsBackToTheLastListedAndStoresIt) {
    Theme("alpha",
          {{"theme.cfg", "[Icons]\r\nNew = new\r\n"}, {"new_16.png", Png(16, 0xff0000ff)}});
    Theme("beta", {{"theme.cfg", "[Icons]\r\nNew = new\r\n"}, {"new_16.png", Png(16, 0xff00ff00)}});
    Settings.Interface.UITheme = "deleted";
    ListThemes();
    LoadTheme(true, true, true);
    EXPECT_EQ(Settings.Interface.UITheme, "beta");
    EXPECT_EQ(Colour(ImageSet::MenuIcons, "New"), 0xff00ff00);

    // With no archive at all nothing is loaded and the setting stays.
    fs::remove_all(m_dir);
    ListThemes();
    EXPECT_TRUE(ThemeList.empty());
    Settings.Interface.UITheme = "deleted";
    LoadTheme(true, true, true);
    EXPECT_EQ(Settings.Interface.UITheme, "deleted");
    EXPECT_EQ(Colour(ImageSet::MenuIcons, "New"), 0xff00ff00); // keeps what it held
}

TEST_F(ThemeTest, DamagedArchivesAndEntriesLoadNothingAndKeepThePreviousImages) {
    Theme("good", {{"theme.cfg", "[Icons]\r\nNew = new\r\nCopy = copy\r\n"},
                   {"new_16.png", Png(16, 0xff0000ff)},
                   {"copy_16.png", Png(16, 0xff0000ff)}});
    Settings.Interface.UITheme = "good";
    LoadTheme(true, true, false);
    ASSERT_EQ(Colour(ImageSet::MenuIcons, "New"), 0xff0000ff);

    // An entry that is no PNG keeps the previous picture; a good one replaces it.
    Theme("broken", {{"theme.cfg", "[Icons]\r\nNew = new\r\nCopy = copy\r\n"},
                     {"new_16.png", "not a png"},
                     {"copy_16.png", Png(16, 0xff00ff00)}});
    Settings.Interface.UITheme = "broken";
    LoadTheme(true, true, false);
    EXPECT_EQ(Colour(ImageSet::MenuIcons, "New"), 0xff0000ff);
    EXPECT_EQ(Colour(ImageSet::MenuIcons, "Copy"), 0xff00ff00);

    // Garbage, an empty file and a zip cut in half load nothing and do not crash.
    std::ofstream(m_dir / "garbage.zip") << std::string(5000, 'Z');
    std::ofstream(m_dir / "empty.zip");
    Theme("whole",
          {{"theme.cfg", "[Icons]\r\nNew = new\r\n"}, {"new_16.png", Png(16, 0xffffffff)}});
    const std::string whole = [&] {
        std::ifstream in(m_dir / "whole.zip", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    std::ofstream(m_dir / "cut.zip", std::ios::binary) << whole.substr(0, whole.size() * 3 / 4);
    for (const char* name : {"garbage", "empty", "cut"}) {
        Settings.Interface.UITheme = name;
        LoadTheme(true, true, true);
        EXPECT_EQ(Settings.Interface.UITheme, name);
        EXPECT_EQ(Colour(ImageSet::MenuIcons, "New"), 0xff0000ff) << name;
        EXPECT_EQ(ThemeDisplayName(name), QString(name));
    }
    // Theme names never leave the theme folders.
    Settings.Interface.UITheme = "../good";
    EXPECT_EQ(ThemeArchivePath("../good"), "");
}

TEST_F(ThemeTest, ReadingStopsAtTheEntryLimit) {
    Theme("big", {{"theme.cfg", "[Theme]\r\nName = Big\r\n"}, {"a.bin", std::string(1000, 'a')}});
    ArchiveEntries entries;
    ASSERT_TRUE(ReadThemeArchive((m_dir / "big.zip").string(), entries, 100));
    EXPECT_EQ(entries["a.bin"].size(), 100u);
    EXPECT_EQ(entries["theme.cfg"], "[Theme]\r\nName = Big\r\n");
    EXPECT_EQ(ReadArchiveEntryStart((m_dir / "big.zip").string(), "theme.cfg", 7), "[Theme]");
}

TEST(SetToolbarIconSize, ResizesTheToolbarsIcons) {
    QToolBar toolbar;
    toolbar.addAction("x");
    SetToolbarIconSize(&toolbar, 48);
    EXPECT_EQ(toolbar.iconSize(), QSize(48, 48));
    SetToolbarIconSize(nullptr, 16); // no toolbar: nothing happens
}

// The archives the build packs into gfx/ beside the executable.
class BuiltThemes : public ::testing::Test {
protected:
    void SetUp() override {
        SetThemeFolders({QM_BINARY_DIR "/gfx"});
        if (ThemeArchivePath("handdrawn").empty())
            GTEST_SKIP() << "no theme archives built (rsvg-convert missing)";
        ListThemes();
    }
    void TearDown() override {
        SetThemeFolders({});
        FreeThemeImages();
        ThemeList.clear();
        ResetSettings(0);
    }
};

TEST_F(BuiltThemes, EveryThemeHasEveryImageAtEverySize) {
    EXPECT_EQ(ThemeList["handdrawn"], "Hand-drawn");
    for (const auto& [theme, display] : ThemeList) {
        SCOPED_TRACE(theme);
        EXPECT_NE(display, QString::fromStdString(theme));
        // The name also stands within the first 255 bytes, for readers that look no further.
        const std::string start = ReadArchiveEntryStart(ThemeArchivePath(theme), "theme.cfg", 255);
        EXPECT_EQ(CfgValue(QString::fromStdString(start), "Theme", "Name"), display);
        Settings.Interface.UITheme = theme;
        for (int uiSize = 0; uiSize <= 4; ++uiSize) {
            FreeThemeImages();
            Settings.Interface.UISize = uiSize;
            LoadTheme(true, true, true);
            const int size = IconPixelSize(uiSize);
            for (const char* name : IconNames) {
                EXPECT_EQ(ThemeImage(ImageSet::MenuIcons, name).size(), QSize(16, 16)) << name;
                EXPECT_EQ(ThemeImage(ImageSet::ToolbarIcons, name).size(), QSize(size, size))
                    << name;
            }
        }
        EXPECT_EQ(ThemeImage(ImageSet::Buttons, "Convert").size(), QSize(88, 88));
        EXPECT_EQ(ThemeImage(ImageSet::Buttons, "InFiles").size(), QSize(64, 64));
        EXPECT_EQ(ThemeImage(ImageSet::Buttons, "InFolder").size(), QSize(64, 64));
    }
    EXPECT_FALSE(ApplicationIcon().isNull());
}

TEST_F(BuiltThemes, ADeletedThemeIsReplacedByTheLastOneAndSavedSo) {
    ReadSettingsText("[Interface]\r\nUI Theme = deleted\r\nUI Size = 3\r\n", Settings);
    ASSERT_EQ(Settings.Interface.UITheme, "deleted");
    LoadTheme(true, true, true);
    const std::string last = ThemeList.rbegin()->first;
    EXPECT_EQ(Settings.Interface.UITheme, last);
    EXPECT_EQ(ThemeImage(ImageSet::ToolbarIcons, "New").width(), 48);
    EXPECT_NE(SettingsFileText(Settings).find("UI Theme = " + last + "\r\n"), std::string::npos);
}

TEST_F(BuiltThemes, ImagesAreDrawnNotBlank) {
    Settings.Interface.UITheme = "handdrawn";
    LoadTheme(true, true, true);
    for (const char* name : IconNames) {
        const QImage image = ThemeImage(ImageSet::ToolbarIcons, name).toImage();
        int opaque = 0, dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                opaque += qAlpha(p) > 128;
                dark += qAlpha(p) > 128 && qGray(p) < 80;
            }
        // Some colour and some ink outline, but not a filled square.
        EXPECT_GT(opaque, image.width() * image.height() / 8) << name;
        EXPECT_LT(opaque, image.width() * image.height() * 15 / 16) << name;
        EXPECT_GT(dark, image.width()) << name;
    }
}

} // namespace
} // namespace qm::gui
