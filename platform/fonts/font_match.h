// Resolves Windows face names to installed font files through fontconfig.
#pragma once

#include <string>
#include <vector>

namespace qm::fonts {

/// Where the glyphs of a requested face come from.
struct FontMatch {
    std::string file;             // font file path; empty when nothing at all could be found
    int index = 0;                // face index inside the file (collections)
    std::string family;           // family name of the installed font used
    bool exact = false;           // the named face itself or a metric-compatible substitute
    bool syntheticBold = false;   // bold asked for, the installed face is lighter
    bool syntheticItalic = false; // italic asked for, the installed face is upright
    /// Average character width of the Windows face the installed one stands in for, in
    /// 1/2048 em (what a logical font's width is measured against); 0 = use the font's own.
    int windowsAvgCharWidth = 0;
    /// The file holds Windows raster fonts, one face index per size (see font_face.h).
    bool bitmap = false;
    /// Further sizes of a raster look-alike that comes as one file per size.
    std::vector<std::string> moreBitmapFiles;
};

/// Pitch and family hints of a LOGFONT (its lfPitchAndFamily byte) used to pick a
/// substitute when the named face is unknown.
enum class FontHint { Any, Roman, Modern, Swiss };

/// Folders searched for free look-alikes of the fonts Windows ships (Tahoma, Symbol,
/// Wingdings, Webdings, Marlett and the raster faces MS Sans Serif, Courier, System,
/// Fixedsys, Small Fonts; MS Serif and Terminal from the X11 bitmap fonts), which fontconfig
/// does not list: QM_WINDOWS_FONT_DIR when set, then /usr/share/wine/fonts, then
/// /usr/share/fonts/X11. Files that are absent are skipped.
std::vector<std::string> LookAlikeFontDirs();

/// True when fontconfig has a family of this name, or one of the metric-compatible
/// substitutes for a Windows face (Arial -> Liberation Sans or Arimo, Times New Roman ->
/// Liberation Serif or Tinos, Courier New -> Liberation Mono or Cousine, Calibri -> Carlito,
/// Cambria -> Caladea, Arial Narrow -> Liberation Sans Narrow), or an outline look-alike
/// file of it is installed (raster look-alikes do not count). A family that fontconfig would only
/// replace by its general fallback is not loadable. False for an empty name.
bool IsFontLoadable(const std::string& family);

/// The font file that draws the face family (UTF-8) at the weight (100-900, 0 = normal) and
/// slant asked for. An unknown face gets a similar installed font (exact = false); when even
/// the default families are missing, the fontconfig default is taken. Faces of which only a
/// look-alike file is installed (LookAlikeFontDirs) resolve to that file, the raster ones
/// with bitmap set. file is empty only
/// when fontconfig finds no font at all. Results are cached; safe from any thread.
FontMatch MatchFont(const std::string& family, int weight, bool italic,
                    FontHint hint = FontHint::Any);

/// MatchFont for drawing that takes outline fonts only (EMF+ text): a raster face resolves
/// to its outline stand-in (MS Sans Serif and MS Serif to Liberation Sans and Serif, Courier,
/// Fixedsys and Terminal to Liberation Mono) instead of its raster look-alike.
FontMatch MatchOutlineFont(const std::string& family, int weight, bool italic,
                           FontHint hint = FontHint::Any);

/// An installed font that has the character c (for text its face lacks), at the weight and
/// slant asked for. file is empty when no installed font has it. Cached; safe from any thread.
FontMatch MatchFontForCharacter(char32_t c, int weight, bool italic);

/// The hint that a LOGFONT's lfPitchAndFamily byte carries.
FontHint HintFromPitchAndFamily(unsigned pitchAndFamily);

/// True for the Windows symbol faces whose characters live in U+F020..U+F0FF
/// (Symbol, Wingdings, Wingdings 2/3, Webdings, Marlett).
bool IsSymbolFace(const std::string& family);

/// True for the Windows bitmap (raster) faces, which are never smoothed: MS Sans Serif,
/// MS Serif, MS Shell Dlg, Courier, System, Fixedsys, Terminal, Small Fonts.
bool IsBitmapFace(const std::string& family);

} // namespace qm::fonts
