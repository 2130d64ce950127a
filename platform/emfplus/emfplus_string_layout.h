// Line layout of EMF+ DrawString text in its layout rectangle: line breaks and wrapping, tab
// stops, line limit, trimming with and without an ellipsis, alignment across and along the
// lines, and the hotkey prefix. Works on advances alone, so it is tested without fonts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm::emfplus {

/// Ideographs, kana, Hangul and full-width forms: a line may break before and after each, and
/// vertical lines draw them upright.
bool IsIdeographic(char32_t c);

/// StringFormat flags that the layout follows.
enum StringFormatFlag : uint32_t {
    kFormatRightToLeft = 0x1,
    kFormatVertical = 0x2,
    kFormatMeasureTrailingSpaces = 0x800,
    kFormatNoWrap = 0x1000,
    kFormatLineLimit = 0x2000,
    kFormatNoClip = 0x4000,
};

/// How a line too long for the rectangle is cut (the StringTrimming values).
enum class Trimming : uint32_t {
    None = 0,
    Character = 1,
    Word = 2,
    EllipsisCharacter = 3,
    EllipsisWord = 4,
    EllipsisPath = 5,
};

/// What the hotkey prefix '&' does (the HotkeyPrefix values).
enum class HotkeyPrefix : int32_t { None = 0, Show = 1, Hide = 2 };

/// The text of a string with its hotkey prefixes taken out: "&&" stands for '&', '&' before
/// another character marks that character (underlined when shown), a last lone '&' goes.
/// underlined: the indices in the result of the marked characters (with Show only).
std::u32string RemoveHotkeyPrefixes(const std::u32string& text, HotkeyPrefix prefix,
                                    std::vector<size_t>& underlined);

/// The layout's inputs, in the units of the layout rectangle. Along a line is x, across the
/// lines y, whatever the direction the lines are drawn in.
struct LayoutParams {
    uint32_t flags = 0;
    uint32_t alignment = 0;     // along the lines: 0 near, 1 centre, 2 far
    uint32_t lineAlignment = 0; // across the lines, the same values
    Trimming trimming = Trimming::Character;
    double width = 0;         // along the lines; 0 = unbounded (the string starts at a point)
    double height = 0;        // across the lines; 0 = unbounded
    double leadingMargin = 0; // before and after each line
    double trailingMargin = 0;
    double lineHeight = 1;
    double firstTabOffset = 0;
    std::vector<double> tabStops; // distances between tab stops; empty: every defaultTab
    double defaultTab = 0;
    double ellipsisAdvance = 0; // the advance of the ellipsis character
};

/// One character of the string: U'\n' breaks the line, U'\t' moves to the next tab stop, a
/// blank is where a line may wrap.
struct LayoutChar {
    char32_t c = 0;
    double advance = 0;
};

/// A character or the ellipsis placed on a line, x from the line's left end.
struct LaidChar {
    static constexpr size_t kEllipsis = SIZE_MAX;
    size_t index = 0; // into the characters, or kEllipsis
    double x = 0;
    double advance = 0;
};

struct LaidLine {
    double left = 0; // the line's left end, from the rectangle's left edge
    double top = 0;  // the line's top, from the rectangle's top edge
    double width = 0;
    std::vector<LaidChar> chars; // in logical order; tabs, breaks and trailing blanks left out
};

/// The lines of the string in the rectangle. Lines that would lie wholly outside a bounded
/// rectangle are dropped unless clipping is off; with the line limit, partly visible ones too.
/// A line cut by trimming ends with the ellipsis where the trimming asks for one.
std::vector<LaidLine> LayOutString(const std::vector<LayoutChar>& chars, const LayoutParams& p);

} // namespace qm::emfplus
