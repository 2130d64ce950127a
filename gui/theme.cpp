#include "gui/theme.h"

#include <QImage>
#include <QToolBar>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/settings.h"
#include "engine/conversion_job.h"
#include "gui/texts.h"
#include "gui/theme_archive.h"

#ifndef QM_INSTALLED_GFX_DIR
#define QM_INSTALLED_GFX_DIR ""
#endif

namespace qm::gui {

const std::array<const char*, 3> ButtonImageNames = {"Convert", "InFiles", "InFolder"};
const std::array<const char*, 22> IconNames = {
    "New",
    "Add",
    "InFiles",
    "InFolder",
    "OutFolder",
    "OutFormat",
    "FavFolder",
    "ImportFiles",
    "ExportFiles",
    "Exit",
    "Copy",
    "Delete",
    "SelectAll",
    "Convert",
    "Error",
    "Preferences",
    "CustomConverter",
    "Help",
    "Email",
    "Web",
    "Updates",
    "About",
};

std::map<std::string, QString> ThemeList;

namespace {

constexpr int kMenuIconBase = static_cast<int>(ButtonImageNames.size());
constexpr int kToolbarIconBase = kMenuIconBase + static_cast<int>(IconNames.size());
constexpr int kImageCount = kToolbarIconBase + static_cast<int>(IconNames.size());
// theme.cfg is read whole for its display name up to this size.
constexpr size_t kCfgNameLimit = 64u << 10;

std::vector<QImage>& Images() {
    static std::vector<QImage> images(kImageCount);
    return images;
}

std::vector<std::string>& FolderOverride() {
    static std::vector<std::string> folders;
    return folders;
}

template <size_t N> int IndexOf(const std::array<const char*, N>& names, std::string_view name) {
    for (size_t i = 0; i < N; ++i)
        if (name == names[i])
            return static_cast<int>(i);
    return -1;
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

// A theme name is a plain file name: no folders, not empty.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool IsNonEmptyFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) > 0 &&
           !ec;
}

// Trims spaces, then tabs, then CR, then LF from both ends, one kind after the other.
QString TrimValue(QString value) {
    for (QChar c : {QChar(' '), QChar('\t'), QChar('\r'), QChar('\n')}) {
        qsizetype begin = 0, end = value.size();
        while (begin < end && value[begin] == c)
            ++begin;
        while (end > begin && value[end - 1] == c)
            --end;
        value = value.mid(begin, end - begin);
    }
    return value;
}

// Loads one set's names from the archive's entries into their image numbers.
void LoadImageSet(const ArchiveEntries& entries, const QString& cfg, ImageSet set) {
    const bool buttons = set == ImageSet::Buttons;
    const QString group = buttons ? QStringLiteral("Buttons") : QStringLiteral("Icons");
    const int pixelSize =
        set == ImageSet::ToolbarIcons ? IconPixelSize(Settings.Interface.UISize) : 16;
    auto load = [&](const char* name) {
        const QString value = CfgValue(cfg, group, QString::fromLatin1(name));
        if (value.isEmpty())
            return;
        const auto it = entries.find(U8(ThemeEntryName(value, pixelSize)));
        if (it == entries.end())
            return;
        QImage image;
        if (!image.loadFromData(reinterpret_cast<const uchar*>(it->second.data()),
                                static_cast<int>(it->second.size()), "PNG"))
            return;
        Images()[static_cast<size_t>(ImageNumber(set, name))] = std::move(image);
    };
    if (buttons)
        for (const char* name : ButtonImageNames)
            load(name);
    else
        for (const char* name : IconNames)
            load(name);
}

} // namespace

int ImageNumber(ImageSet set, std::string_view name) {
    switch (set) {
    case ImageSet::Buttons:
        return IndexOf(ButtonImageNames, name);
    case ImageSet::MenuIcons: {
        const int i = IndexOf(IconNames, name);
        return i < 0 ? -1 : kMenuIconBase + i;
    }
    case ImageSet::ToolbarIcons: {
        const int i = IndexOf(IconNames, name);
        return i < 0 ? -1 : kToolbarIconBase + i;
    }
    }
    return -1;
}

int ImageCount() {
    return kImageCount;
}

std::vector<std::string> ThemeFolders() {
    if (!FolderOverride().empty())
        return FolderOverride();
    // Beside the executable (the build folder), then the data folder it was built for, then the
    // data folder next to its bin/ when the installed tree was moved elsewhere.
    std::vector<std::string> folders = {ExecutableFolder() + "gfx/"};
    for (const std::string& folder :
         {WithSlash(QM_INSTALLED_GFX_DIR), ExecutableFolder() + "../share/quellmark/gfx/"})
        if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    return folders;
}

void SetThemeFolders(std::vector<std::string> folders) {
    for (std::string& folder : folders)
        folder = WithSlash(folder);
    FolderOverride() = std::move(folders);
}

std::string ThemeArchivePath(const std::string& name) {
    if (!IsPlainName(name))
        return {};
    for (const std::string& folder : ThemeFolders()) {
        const std::string path = folder + name + ".zip";
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec))
            return path;
    }
    return {};
}

void ListThemes() {
    ThemeList.clear();
    for (const std::string& folder : ThemeFolders()) {
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
             it.increment(ec)) {
            std::error_code typeEc;
            const std::filesystem::path& path = it->path();
            if (!it->is_regular_file(typeEc) || path.extension() != ".zip")
                continue;
            const std::string name = path.stem().string();
            if (IsPlainName(name) && !ThemeList.count(name))
                ThemeList[name] = ThemeDisplayName(name);
        }
    }
}

QString ThemeDisplayName(const std::string& name) {
    const std::string path = ThemeArchivePath(name);
    if (path.empty() || !IsNonEmptyFile(path))
        return Q(name);
    const std::string cfg = ReadArchiveEntryStart(path, "theme.cfg", kCfgNameLimit);
    const QString display = CfgValue(Q(cfg), QStringLiteral("Theme"), QStringLiteral("Name"));
    return display.isEmpty() ? Q(name) : display;
}

QString CfgValue(const QString& cfgText, const QString& group, const QString& key) {
    const qsizetype groupStart =
        cfgText.indexOf(QLatin1Char('[') + group + QLatin1Char(']'), 0, Qt::CaseInsensitive);
    if (groupStart < 0)
        return {};
    qsizetype groupEnd = cfgText.indexOf(QLatin1Char('['), groupStart + 1);
    if (groupEnd < 0)
        groupEnd = cfgText.size();
    const qsizetype match =
        cfgText.indexOf(QStringLiteral("\r\n") + key, groupStart, Qt::CaseInsensitive);
    if (match < 0 || match >= groupEnd)
        return {};
    const qsizetype lineStart = match + 2;
    qsizetype lineEnd = cfgText.indexOf(QStringLiteral("\r\n"), lineStart);
    if (lineEnd < 0)
        lineEnd = cfgText.size();
    const QString line = cfgText.mid(lineStart, lineEnd - lineStart);
    const qsizetype firstEq = line.indexOf(QLatin1Char('='));
    if (firstEq < 0)
        return {};
    const qsizetype secondEq = line.indexOf(QLatin1Char('='), firstEq + 1);
    const QString value =
        secondEq < 0 ? line.mid(firstEq + 1) : line.mid(firstEq + 1, secondEq - firstEq - 1);
    return TrimValue(value);
}

QString ThemeEntryName(const QString& value, int pixelSize) {
    if (value.contains(QStringLiteral(".png"), Qt::CaseInsensitive))
        return value;
    return value + QLatin1Char('_') + QString::number(pixelSize) + QStringLiteral(".png");
}

void LoadTheme(bool buttons, bool menuIcons, bool toolbarIcons) {
    std::string path = ThemeArchivePath(Settings.Interface.UITheme);
    if (path.empty() && !ThemeList.empty()) {
        Settings.Interface.UITheme = ThemeList.rbegin()->first;
        path = ThemeArchivePath(Settings.Interface.UITheme);
    }
    ArchiveEntries entries;
    if (!ReadThemeArchive(path, entries))
        return;
    const auto cfgEntry = entries.find("theme.cfg");
    const QString cfg = cfgEntry == entries.end() ? QString() : Q(cfgEntry->second);
    if (buttons)
        LoadImageSet(entries, cfg, ImageSet::Buttons);
    if (menuIcons)
        LoadImageSet(entries, cfg, ImageSet::MenuIcons);
    if (toolbarIcons)
        LoadImageSet(entries, cfg, ImageSet::ToolbarIcons);
}

void FreeThemeImages() {
    for (QImage& image : Images())
        image = QImage();
}

int IconPixelSize(int uiSize) {
    switch (uiSize) {
    case 1:
        return 24;
    case 2:
        return 32;
    case 3:
        return 48;
    case 4:
        return 64;
    default:
        return 16;
    }
}

void SetToolbarIconSize(QToolBar* toolbar, int size) {
    if (!toolbar)
        return;
    toolbar->setIconSize(QSize(size, size));
    toolbar->updateGeometry();
    toolbar->adjustSize();
}

QPixmap ThemeImage(ImageSet set, std::string_view name) {
    const int number = ImageNumber(set, name);
    if (number < 0 || Images()[static_cast<size_t>(number)].isNull())
        return {};
    return QPixmap::fromImage(Images()[static_cast<size_t>(number)]);
}

QIcon ThemeIcon(ImageSet set, std::string_view name) {
    const QPixmap pixmap = ThemeImage(set, name);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

QIcon ApplicationIcon() {
    for (const std::string& folder : ThemeFolders()) {
        QIcon icon;
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            const std::string path = folder + "quellmark_" + std::to_string(size) + ".png";
            std::error_code ec;
            if (std::filesystem::is_regular_file(path, ec))
                icon.addFile(Q(path), QSize(size, size));
        }
        if (!icon.isNull())
            return icon;
    }
    return QIcon::fromTheme(QStringLiteral("quellmark"));
}

} // namespace qm::gui
