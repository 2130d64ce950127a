// Themes: zip archives of PNG images in the folder gfx/ that give the windowed interface its
// button images, menu icons and toolbar icons. Interface/UI Theme names the archive (without
// ".zip"), Interface/UI Size the toolbar icon size.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class QToolBar;

namespace qm::gui {

/// The three image sets. Button images and menu icons are taken at 16 pixels in entry names,
/// toolbar icons at IconPixelSize(Interface/UI Size).
enum class ImageSet { Buttons, MenuIcons, ToolbarIcons };

/// The names of the button images: "Convert", "InFiles", "InFolder".
extern const std::array<const char*, 3> ButtonImageNames;
/// The names of the menu icons, in order; the toolbar icons use the same names.
extern const std::array<const char*, 22> IconNames;

/// The fixed image number of a name in a set: buttons 0..2, menu icons 3..24, toolbar icons
/// 25..46, in the order of the name lists above. -1 for a name the set does not have.
int ImageNumber(ImageSet set, std::string_view name);
/// Number of image numbers over all three sets (47).
int ImageCount();

/// Theme names (archive file names without ".zip") to display names, filled by ListThemes.
/// Sorted by name; the last entry is the fallback theme.
extern std::map<std::string, QString> ThemeList;

/// The folders searched for theme archives, each ending in "/": ProgramFolder + "gfx/", then
/// the installed data folder's gfx/ (the one configured at build time, then share/quellmark/gfx/
/// beside the executable's bin/ folder). An archive in an earlier folder hides one of the same
/// name in a later folder.
std::vector<std::string> ThemeFolders();
/// Replaces the searched folders (tests); an empty list restores the default ones.
void SetThemeFolders(std::vector<std::string> folders);
/// The path of theme `name`'s archive, or "" when no folder holds a file of that name.
std::string ThemeArchivePath(const std::string& name);

/// Fills ThemeList from the *.zip files of ThemeFolders (regular files only).
void ListThemes();
/// The theme's display name: theme.cfg's Theme/Name when the archive exists, opens and has
/// one, else `name` itself. theme.cfg is read up to 64 KiB, so a long one still names its theme.
QString ThemeDisplayName(const std::string& name);

/// A value of theme.cfg's text, "" when absent. Letter case is ignored. The key is matched as
/// the start of a line that ends in CR LF, so it also matches a longer key beginning with it
/// on an earlier line of the group, and a text with bare LF line ends yields nothing. The value
/// is the part of the line between the first and the second "=", trimmed.
QString CfgValue(const QString& cfgText, const QString& group, const QString& key);

/// The entry name for a theme.cfg value at a pixel size: the value itself when it contains
/// ".png" (any case), else value + "_" + size + ".png".
QString ThemeEntryName(const QString& value, int pixelSize);

/// Loads the chosen image sets of the theme Interface/UI Theme. When that archive is missing
/// and ThemeList is not empty, Interface/UI Theme becomes the theme listed last. A missing,
/// empty or unreadable archive loads nothing (the images keep what they held); a name without
/// value or entry, or an entry that is not a PNG, keeps its previous image.
void LoadTheme(bool buttons, bool menuIcons, bool toolbarIcons);
/// Drops the images held under every image number.
void FreeThemeImages();

/// 0 -> 16, 1 -> 24, 2 -> 32, 3 -> 48, 4 -> 64, anything else -> 16.
int IconPixelSize(int uiSize);
/// Sets the toolbar's icon size to size x size and lets it re-size itself.
void SetToolbarIconSize(QToolBar* toolbar, int size);

/// The image loaded under a name of a set; a null pixmap when none was loaded.
QPixmap ThemeImage(ImageSet set, std::string_view name);
/// The same image as an icon; a null icon when none was loaded.
QIcon ThemeIcon(ImageSet set, std::string_view name);

/// The program's own icon for its windows: the quellmark_<size>.png files of the first theme
/// folder that has them, else the desktop's icon theme entry "quellmark"; null when neither.
QIcon ApplicationIcon();

} // namespace qm::gui
