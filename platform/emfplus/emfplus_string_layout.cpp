#include "platform/emfplus/emfplus_string_layout.h"

#include <algorithm>
#include <cmath>

namespace qm::emfplus {
namespace {

constexpr double kSlack = 1e-6; // rounding allowance when a line is measured against the width

bool IsBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == 0x3000;
}

// The first tab stop right of x (x from the start of the line).
double NextTabStop(double x, const LayoutParams& p) {
    if (p.tabStops.empty()) {
        if (!(p.defaultTab > 0))
            return x;
        return (std::floor(x / p.defaultTab + kSlack) + 1) * p.defaultTab;
    }
    double stop = p.firstTabOffset;
    for (double d : p.tabStops) {
        stop += std::max(d, 0.0);
        if (stop > x + kSlack)
            return stop;
    }
    // Past the last stop, stops go on at the last distance.
    const double last = p.tabStops.back();
    if (!(last > 0))
        return x;
    return stop + (std::floor((x - stop) / last + kSlack) + 1) * last;
}

double AdvanceAt(const LayoutChar& ch, double x, const LayoutParams& p) {
    if (ch.c == U'\t')
        return NextTabStop(x, p) - x;
    return ch.c == U'\n' ? 0 : ch.advance;
}

struct Range {
    size_t begin = 0, end = 0; // characters of the line, the break left out
    size_t paragraphEnd = 0;
};

// Splits one paragraph [begin, end) into lines no wider than avail, breaking after blanks and
// around ideographs, or inside a word that is wider than the line alone. A blank hangs past
// the end of its line; the blanks at a break are left out of both lines.
void WrapParagraph(const std::vector<LayoutChar>& chars, size_t begin, size_t end, double avail,
                   bool wrap, const LayoutParams& p, std::vector<Range>& out) {
    size_t start = begin;
    while (true) {
        double x = 0;
        size_t breakEnd = SIZE_MAX, breakNext = SIZE_MAX;
        size_t i = start;
        for (; i < end; ++i) {
            const char32_t c = chars[i].c;
            if (i > start && !IsBlank(c) &&
                (IsBlank(chars[i - 1].c) || IsIdeographic(c) || IsIdeographic(chars[i - 1].c))) {
                breakEnd = i;
                breakNext = i;
                while (breakEnd > start && IsBlank(chars[breakEnd - 1].c))
                    --breakEnd;
            }
            const double advance = AdvanceAt(chars[i], x, p);
            if (wrap && i > start && !IsBlank(c) && x + advance > avail + kSlack)
                break;
            x += advance;
        }
        if (i >= end) {
            out.push_back({start, end, end});
            return;
        }
        if (breakNext != SIZE_MAX && breakNext > start) {
            out.push_back({start, breakEnd, end});
            start = breakNext;
        } else {
            out.push_back({start, i, end});
            start = i;
        }
        if (out.size() > 100000)
            return;
    }
}

// Places the characters of [begin, end) from x = 0; tabs take their stops.
std::vector<LaidChar> Place(const std::vector<LayoutChar>& chars, size_t begin, size_t end,
                            const LayoutParams& p) {
    std::vector<LaidChar> out;
    out.reserve(end - begin);
    double x = 0;
    for (size_t i = begin; i < end; ++i) {
        const double advance = AdvanceAt(chars[i], x, p);
        out.push_back({i, x, advance});
        x += advance;
    }
    return out;
}

double EndOf(const std::vector<LaidChar>& placed, size_t count) {
    return count ? placed[count - 1].x + placed[count - 1].advance : 0;
}

// The width of the placed characters, trailing blanks left out unless they are measured.
double WidthOf(const std::vector<LayoutChar>& chars, const std::vector<LaidChar>& placed,
               bool trailingBlanks) {
    size_t n = placed.size();
    while (!trailingBlanks && n > 0 && placed[n - 1].index != LaidChar::kEllipsis &&
           IsBlank(chars[placed[n - 1].index].c))
        --n;
    double width = 0;
    for (size_t i = 0; i < n; ++i)
        width = std::max(width, placed[i].x + placed[i].advance);
    return width;
}

// How many of the placed characters fit in room: any prefix, or (by word) a prefix that ends
// a word; a single word too long for the room is cut at a character.
size_t FittingPrefix(const std::vector<LayoutChar>& chars, const std::vector<LaidChar>& placed,
                     double room, bool byWord) {
    size_t n = 0;
    while (n < placed.size() && EndOf(placed, n + 1) <= room + kSlack)
        ++n;
    if (!byWord || n == placed.size())
        return n;
    for (size_t k = n; k > 0; --k) {
        const char32_t last = chars[placed[k - 1].index].c;
        const char32_t next = chars[placed[k].index].c;
        if (!IsBlank(last) && (IsBlank(next) || IsIdeographic(next) || IsIdeographic(last)))
            return k;
    }
    return n;
}

void DropTrailingBlanks(const std::vector<LayoutChar>& chars, std::vector<LaidChar>& placed) {
    while (!placed.empty() && placed.back().index != LaidChar::kEllipsis &&
           IsBlank(chars[placed.back().index].c))
        placed.pop_back();
}

// Cuts a line that does not fit (or that ends the visible text early) as the trimming asks.
void Trim(const std::vector<LayoutChar>& chars, std::vector<LaidChar>& placed, double avail,
          bool cutShort, const LayoutParams& p) {
    const bool fits = WidthOf(chars, placed, false) <= avail + kSlack;
    const bool ellipsis = p.trimming == Trimming::EllipsisCharacter ||
                          p.trimming == Trimming::EllipsisWord ||
                          p.trimming == Trimming::EllipsisPath;
    if (fits && !(cutShort && ellipsis))
        return;
    const double room = ellipsis ? avail - p.ellipsisAdvance : avail;
    const bool byWord = p.trimming == Trimming::Word || p.trimming == Trimming::EllipsisWord;
    if (p.trimming == Trimming::EllipsisPath && !cutShort) {
        // Keep the last part of the path whole, from its last separator; cut before it.
        size_t sep = placed.size();
        while (sep > 0 && chars[placed[sep - 1].index].c != U'\\' &&
               chars[placed[sep - 1].index].c != U'/')
            --sep;
        if (sep > 0) {
            --sep;
            const double tail = EndOf(placed, placed.size()) - placed[sep].x;
            if (tail <= room + kSlack) {
                std::vector<LaidChar> head(placed.begin(), placed.begin() + sep);
                head.resize(FittingPrefix(chars, head, room - tail, false));
                const double at = EndOf(head, head.size());
                const double shift = at + p.ellipsisAdvance - placed[sep].x;
                std::vector<LaidChar> out = head;
                out.push_back({LaidChar::kEllipsis, at, p.ellipsisAdvance});
                for (size_t i = sep; i < placed.size(); ++i)
                    out.push_back({placed[i].index, placed[i].x + shift, placed[i].advance});
                placed = std::move(out);
                return;
            }
        }
    }
    placed.resize(FittingPrefix(chars, placed, std::max(room, 0.0), byWord));
    DropTrailingBlanks(chars, placed);
    if (ellipsis) {
        placed.push_back({LaidChar::kEllipsis, EndOf(placed, placed.size()), p.ellipsisAdvance});
    }
}

} // namespace

bool IsIdeographic(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

std::u32string RemoveHotkeyPrefixes(const std::u32string& text, HotkeyPrefix prefix,
                                    std::vector<size_t>& underlined) {
    underlined.clear();
    if (prefix != HotkeyPrefix::Show && prefix != HotkeyPrefix::Hide)
        return text;
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != U'&') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 1 >= text.size())
            break; // a last lone prefix
        ++i;
        if (text[i] != U'&' && prefix == HotkeyPrefix::Show)
            underlined.push_back(out.size());
        out.push_back(text[i]);
    }
    return out;
}

std::vector<LaidLine> LayOutString(const std::vector<LayoutChar>& chars, const LayoutParams& p) {
    const bool bounded = p.width > 0;
    const double avail = bounded ? std::max(p.width - p.leadingMargin - p.trailingMargin, 0.0) : 0;
    const bool wrap = bounded && !(p.flags & kFormatNoWrap);
    std::vector<Range> ranges;
    for (size_t begin = 0;;) {
        size_t end = begin;
        while (end < chars.size() && chars[end].c != U'\n')
            ++end;
        WrapParagraph(chars, begin, end, avail, wrap, p, ranges);
        if (end >= chars.size() || ranges.size() > 100000)
            break;
        begin = end + 1;
    }
    // Lines past the bottom: gone when clipped, and partly visible ones with the line limit.
    size_t visible = ranges.size();
    if (p.height > 0 && p.lineHeight > 0) {
        const double fit = p.height / p.lineHeight;
        double limit = double(visible);
        if (p.flags & kFormatLineLimit)
            limit = std::max(std::floor(fit + kSlack), 0.0);
        else if (!(p.flags & kFormatNoClip))
            limit = std::max(std::ceil(fit - kSlack), 1.0);
        if (limit < double(visible)) // also keeps a huge or NaN limit out of the conversion
            visible = size_t(limit);
    }
    const bool cutShort = visible < ranges.size();
    // Trimmed text shows as much of the rest of its paragraph as fits on the last line.
    if (cutShort && visible > 0 && p.trimming != Trimming::None)
        ranges[visible - 1].end = ranges[visible - 1].paragraphEnd;

    uint32_t align = p.alignment;
    if ((p.flags & kFormatRightToLeft) && align != 1)
        align = 2 - align;
    const double total = double(visible) * p.lineHeight;
    double top = 0;
    if (p.lineAlignment == 1)
        top = (p.height > 0 ? p.height - total : -total) / 2;
    else if (p.lineAlignment == 2)
        top = p.height > 0 ? p.height - total : -total;

    std::vector<LaidLine> lines;
    lines.reserve(visible);
    for (size_t li = 0; li < visible; ++li) {
        LaidLine line;
        line.chars = Place(chars, ranges[li].begin, ranges[li].end, p);
        if (bounded && p.trimming != Trimming::None)
            Trim(chars, line.chars, avail, cutShort && li + 1 == visible, p);
        line.width = WidthOf(chars, line.chars, (p.flags & kFormatMeasureTrailingSpaces) != 0);
        line.chars.erase(std::remove_if(line.chars.begin(), line.chars.end(),
                                        [&](const LaidChar& c) {
                                            return c.index != LaidChar::kEllipsis &&
                                                   chars[c.index].c == U'\t';
                                        }),
                         line.chars.end());
        if (align == 1)
            line.left = bounded ? p.leadingMargin + (avail - line.width) / 2 : -line.width / 2;
        else if (align == 2)
            line.left = bounded ? p.width - p.trailingMargin - line.width : -line.width;
        else
            line.left = p.leadingMargin;
        line.top = top + double(li) * p.lineHeight;
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace qm::emfplus
