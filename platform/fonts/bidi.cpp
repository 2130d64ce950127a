#include "platform/fonts/bidi.h"

#include "platform/fonts/font_face.h"

#include <fribidi.h>

#include <algorithm>

namespace qm::fonts {

bool NeedsBidi(const std::u32string& text, bool rtlBase) {
    if (rtlBase)
        return !text.empty();
    return std::any_of(text.begin(), text.end(), [](char32_t c) {
        return FRIBIDI_IS_RTL(fribidi_get_bidi_type(FriBidiChar(c)));
    });
}

std::vector<BidiRun> BidiRuns(const std::u32string& text, bool rtlBase) {
    std::vector<BidiRun> runs;
    const size_t n = text.size();
    if (n == 0 || n > (1u << 20))
        return runs;
    // Embedding levels per character: even left to right, odd right to left.
    const auto* chars = reinterpret_cast<const FriBidiChar*>(text.data());
    std::vector<FriBidiCharType> types(n);
    std::vector<FriBidiBracketType> brackets(n);
    std::vector<FriBidiLevel> levels(n);
    fribidi_get_bidi_types(chars, FriBidiStrIndex(n), types.data());
    fribidi_get_bracket_types(chars, FriBidiStrIndex(n), types.data(), brackets.data());
    FriBidiParType base = rtlBase ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR;
    if (!fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), FriBidiStrIndex(n),
                                             &base, levels.data()))
        return {{0, n, rtlBase}};
    // Trailing blanks take the paragraph's level (rule L1), as drawing a line does.
    const FriBidiLevel baseLevel = rtlBase ? 1 : 0;
    for (size_t i = n; i > 0 && (FRIBIDI_IS_EXPLICIT_OR_BN_OR_WS(types[i - 1]) ||
                                 types[i - 1] == FRIBIDI_TYPE_WS);
         --i)
        levels[i - 1] = baseLevel;
    std::vector<FriBidiLevel> runLevels;
    for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        while (j < n && levels[j] == levels[i])
            ++j;
        runs.push_back({i, j - i, (levels[i] & 1) != 0});
        runLevels.push_back(levels[i]);
        i = j;
    }
    // Rule L2: from the highest level down to the lowest odd one, reverse every sequence of
    // runs at that level or above.
    const FriBidiLevel highest = *std::max_element(runLevels.begin(), runLevels.end());
    FriBidiLevel lowestOdd = highest;
    for (FriBidiLevel l : runLevels)
        if (l & 1)
            lowestOdd = std::min(lowestOdd, l);
    for (FriBidiLevel level = highest; level >= lowestOdd && level > 0; --level) {
        for (size_t i = 0; i < runs.size();) {
            if (runLevels[i] < level) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < runs.size() && runLevels[j] >= level)
                ++j;
            std::reverse(runs.begin() + long(i), runs.begin() + long(j));
            std::reverse(runLevels.begin() + long(i), runLevels.begin() + long(j));
            i = j;
        }
    }
    return runs;
}

bool IsRightToLeft(char32_t c) {
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) ||
           (c >= 0xFE70 && c <= 0xFEFF);
}

bool NeedsShaping(char32_t c) {
    return IsRightToLeft(c) || (c >= 0x0900 && c <= 0x0FFF) || (c >= 0x1000 && c <= 0x109F) ||
           (c >= 0x1780 && c <= 0x17FF);
}

std::vector<FacePiece> PiecesByFace(const std::u32string& text, const BidiRun& run,
                                    const std::vector<const FontFace*>& faces) {
    std::vector<FacePiece> pieces;
    const size_t end = std::min({run.start + run.length, text.size(), faces.size()});
    for (size_t k = run.start; k < end; ++k) {
        const FontFace* face = faces[k];
        if (!pieces.empty() &&
            (pieces.back().face == face || !face ||
             (text[k] == U' ' && pieces.back().face && pieces.back().face->GlyphIndex(U' '))))
            ++pieces.back().length;
        else
            pieces.push_back({face, k, 1});
    }
    if (run.rtl)
        std::reverse(pieces.begin(), pieces.end());
    return pieces;
}

} // namespace qm::fonts
