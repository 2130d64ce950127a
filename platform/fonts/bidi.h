// Bidirectional text: the order in which the runs of a mixed left-to-right and right-to-left
// string are drawn.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qm::fonts {

class FontFace;

/// A run of characters of one direction.
struct BidiRun {
    size_t start = 0;  // first character, in logical order
    size_t length = 0; // characters
    bool rtl = false;  // drawn right to left (its glyphs reversed)
};

/// True for characters of the right-to-left scripts (Hebrew, Arabic, Syriac, Thaana, N'Ko and
/// their presentation forms).
bool IsRightToLeft(char32_t c);

/// True for characters whose glyphs depend on their neighbours: right-to-left scripts, Indic,
/// Thai, Lao, Tibetan, Myanmar, Khmer.
bool NeedsShaping(char32_t c);

/// True when the text needs reordering: it holds right-to-left characters, or rtlBase is set.
bool NeedsBidi(const std::u32string& text, bool rtlBase);

/// The text's runs in drawing order, left to right, from the Unicode bidirectional algorithm
/// (FriBidi) with a paragraph direction of right to left when rtlBase is set, else left to
/// right. Every character belongs to exactly one run. Empty for empty text.
std::vector<BidiRun> BidiRuns(const std::u32string& text, bool rtlBase);

/// Characters of one run that one face shapes together.
struct FacePiece {
    const FontFace* face = nullptr;
    size_t start = 0;  // first character, in logical order
    size_t length = 0; // characters
};

/// The run's characters in pieces of one face each, in drawing order (reversed for a
/// right-to-left run). faces[k] is the face of text[k]; a blank the piece before it can draw,
/// and a character with no face, stay with the piece before them.
std::vector<FacePiece> PiecesByFace(const std::u32string& text, const BidiRun& run,
                                    const std::vector<const FontFace*>& faces);

} // namespace qm::fonts
