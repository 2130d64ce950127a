// Character codes of the Windows symbol fonts and of glyph-index text, as Unicode.
#pragma once

#include <cstdint>
#include <string>

namespace qm::fonts {

enum class SymbolSet { None, Symbol, Wingdings, Wingdings2, Wingdings3, Webdings };

/// Which symbol table a face name needs (None for text faces).
SymbolSet SymbolSetOf(const std::string& family);

/// The Unicode character a symbol-font code stands for (codes 0x20..0xFF, or the same in
/// U+F020..U+F0FF). Codes without a known equivalent come back unchanged.
char32_t SymbolToUnicode(SymbolSet set, char32_t code);

/// The Unicode character of glyph index i in the standard Macintosh glyph order that
/// TrueType text fonts of Windows follow for their first 258 glyphs; 0 when unknown.
char32_t StandardGlyphToUnicode(uint32_t glyphIndex);

} // namespace qm::fonts
