// EMF+ pens on metafiles built here: dashes stepped on the device grid, compound bands,
// custom line caps, alignment and joins.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/emfplus/emfplus.h"
#include "tests/platform/emfplus_builder.h"

namespace qm::emf::testing {
namespace {

constexpr uint32_t kRed = 0xFFFF0000u;

// The row y from x0 to x1 as a string: '#' red, '.' white, '?' anything else.
std::string Row(const Picture& p, int y, int x0, int x1) {
    std::string s;
    for (int x = x0; x < x1; ++x) {
        const uint32_t c = p.At(x, y);
        s += c == 0xFF0000u ? '#' : c == 0xFFFFFFu ? '.' : '?';
    }
    return s;
}

// With QM_EMFPLUS_SEEDS set, the records built so far become a seed of the EMF+ fuzz target.
void WriteSeed(const PlusBuilder& b, const char* seed) {
    if (const char* dir = std::getenv("QM_EMFPLUS_SEEDS"); dir && seed)
        std::ofstream(std::string(dir) + "/" + seed, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.Records().data()),
                   std::streamsize(b.Records().size()));
}

// A horizontal line in pixels at the given page scale, drawn with the pen in slot 1.
Picture PlayLine(PlusBuilder& b, float scale, float x0, float y, float x1,
                 const char* seed = nullptr) {
    EmfBuilder emf;
    b.PageTransform(2, scale);
    b.AntiAlias(false);
    b.Record(0x400D, 1, PlusData().U32(2).F(x0).F(y).F(x1).F(y));
    b.EndOfFile();
    WriteSeed(b, seed);
    b.Flush(emf);
    return Play(emf.Finish());
}

// A one-pixel dash-dot pen as a recorder writes it (bevelled joins, dash offset 0), unsmoothed,
// at one pixel per unit and a hair over: the same pixels, from the same first one, to the end.
TEST(EmfPlusPens, UnsmoothedDashDotKeepsItsGapsAtAScaleAHairOverOne) {
    for (float scale : {1.0f, 1.0002f}) {
        for (int32_t join : {0, 1, 2}) {
            PlusBuilder b;
            b.SolidPen(1, kRed, 1.0f, 0xA8, PlusData().I32(join).I32(3).F(0));
            const Picture p =
                PlayLine(b, scale, 10, 50, 94, join == 1 ? "pen_dash_dot_scale" : nullptr);
            SCOPED_TRACE(::testing::Message() << "scale " << scale << " join " << join);
            EXPECT_EQ(Row(p, 50, 8, 34), "..###.#.###.#.###.#.###.#.");
            EXPECT_EQ(Row(p, 50, 82, 96), "###.#.###.#...");
            EXPECT_EQ(Row(p, 49, 0, p.width), std::string(p.width, '.'));
            EXPECT_EQ(Row(p, 51, 0, p.width), std::string(p.width, '.'));
        }
    }
}

} // namespace
} // namespace qm::emf::testing

namespace qm::emf::testing {
namespace {

// An EMF+ path object's bytes: float points, the types as given.
PlusData PathBytes(const std::vector<std::pair<float, float>>& points,
                   const std::vector<uint8_t>& types) {
    PlusData d;
    d.U32(0xDBC01002).U32(uint32_t(points.size())).U32(0);
    for (auto [x, y] : points)
        d.F(x).F(y);
    for (uint8_t t : types)
        d.Bytes({t});
    return d.Pad();
}

// A custom cap of the default kind filling the path, with a base inset; widths scale 1.
PlusData FigureCap(const PlusData& fillPath, float baseInset) {
    PlusData cap;
    cap.U32(0xDBC01002).I32(0); // default kind
    cap.U32(1).I32(0).F(baseInset).I32(0).I32(0).I32(0).F(10).F(1);
    cap.F(0).F(0).F(0).F(0); // hot spots
    cap.U32(uint32_t(fillPath.bytes.size())).Bytes(fillPath.bytes);
    PlusData sized;
    return sized.U32(uint32_t(cap.bytes.size())).Bytes(cap.bytes);
}

TEST(EmfPlusPens, CompoundLineDrawsItsBandsAcrossTheWidth) {
    PlusBuilder b;
    PlusData compound;
    compound.U32(4).F(0).F(1.0f / 3).F(2.0f / 3).F(1);
    b.SolidPen(1, kRed, 9.0f, 0x400, compound);
    const Picture p = PlayLine(b, 1.0f, 10, 50, 80, "pen_compound");
    std::string column;
    for (int y = 44; y < 57; ++y)
        column += p.At(40, y) == 0xFF0000u ? '#' : '.';
    EXPECT_EQ(column, "..###...###..");
}

TEST(EmfPlusPens, CompoundLinesOutOfOrderDrawOneBand) {
    PlusBuilder b;
    PlusData compound;
    compound.U32(4).F(0).F(0.7f).F(0.3f).F(1);
    b.SolidPen(1, kRed, 9.0f, 0x400, compound);
    const Picture p = PlayLine(b, 1.0f, 10, 50, 80);
    for (int y = 46; y < 55; ++y)
        EXPECT_EQ(p.At(40, y), 0xFF0000u) << y;
}

// A translucent pen whose cap overlaps its line: one even tint, not darker where they meet.
TEST(EmfPlusPens, TranslucentPensTintOverlapsOnce) {
    PlusBuilder b;
    b.SolidPen(1, 0x80FF0000u, 10.0f, 0x02, PlusData().I32(2)); // round start, flat end
    const Picture p = PlayLine(b, 1.0f, 20, 50, 80);
    const uint32_t tint = p.At(50, 50);
    EXPECT_NE(tint, 0xFFFFFFu);
    EXPECT_NE(tint, 0xFF0000u);
    EXPECT_EQ(p.At(22, 50), tint); // where the cap's disc covers the line
    EXPECT_EQ(p.At(17, 50), tint); // the cap alone
    EXPECT_EQ(p.At(82, 50), 0xFFFFFFu);
}

// A triangle two pen widths long pointing out of the line, at its end or its start; with a
// base inset the line stops that many widths short of its end.
TEST(EmfPlusPens, CustomCapFiguresSitAtTheEndsAlongTheLine) {
    const PlusData triangle = PathBytes({{-1, 0}, {1, 0}, {0, 2}}, {0, 1, 0x81});
    for (bool atEnd : {true, false}) {
        for (float inset : {0.0f, 2.0f}) {
            PlusBuilder b;
            b.SolidPen(1, kRed, 4.0f, atEnd ? 0x1000 : 0x800, FigureCap(triangle, inset));
            // The line runs from 20 to 60; the capped end is at 60 (mirrored when at the start).
            const Picture p = atEnd ? PlayLine(b, 1.0f, 20, 50, 60, "pen_figure_cap")
                                    : PlayLine(b, 1.0f, 60, 50, 20);
            SCOPED_TRACE(::testing::Message() << "at end " << atEnd << " inset " << inset);
            EXPECT_EQ(p.At(40, 48), 0xFF0000u); // the line
            EXPECT_EQ(p.At(61, 47), 0xFF0000u); // the triangle's base, wider than the line
            EXPECT_EQ(p.At(61, 45), 0xFFFFFFu);
            EXPECT_EQ(p.At(67, 50), 0xFF0000u); // near its tip
            EXPECT_EQ(p.At(70, 50), 0xFFFFFFu); // beyond it
            EXPECT_EQ(p.At(54, 48), inset > 0 ? 0xFFFFFFu : 0xFF0000u);
            EXPECT_EQ(p.At(20, 48), 0xFF0000u); // the other end is plain
            EXPECT_EQ(p.At(17, 48), 0xFFFFFFu);
        }
    }
}

// Dash caps round the ends of the dashes, within the dashes' lengths, but not the figure's
// own ends; a round end cap rounds only the end.
TEST(EmfPlusPens, DashCapsAndLineCapsGoToTheirOwnEnds) {
    PlusBuilder b;
    // end cap round, line style dash, dash cap round
    b.SolidPen(1, kRed, 6.0f, 0x04 | 0x20 | 0x40, PlusData().I32(2).I32(1).I32(2));
    const Picture p = PlayLine(b, 1.0f, 20, 50, 80, "pen_dash_caps");
    EXPECT_EQ(p.At(18, 50), 0xFFFFFFu); // flat start
    EXPECT_EQ(p.At(20, 50), 0xFF0000u);
    // The first dash runs from 20 to 38, rounded at its end: full width until 35.
    EXPECT_EQ(p.At(34, 47), 0xFF0000u);
    EXPECT_EQ(p.At(37, 47), 0xFFFFFFu);
    EXPECT_EQ(p.At(37, 50), 0xFF0000u);
    EXPECT_EQ(p.At(39, 50), 0xFFFFFFu); // the gap (38..44) stays
    EXPECT_EQ(p.At(43, 50), 0xFFFFFFu);
    EXPECT_EQ(p.At(45, 50), 0xFF0000u); // the next dash
    // The line's own end (80) is round: ink beyond it at the centre line.
    EXPECT_EQ(p.At(81, 50), 0xFF0000u);
    EXPECT_EQ(p.At(81, 47), 0xFFFFFFu);
}

// Anchor caps are figures twice the pen's width across: a diamond centred on the start, an
// arrow with its tip on the end.
TEST(EmfPlusPens, AnchorCapsAreFiguresWiderThanTheLine) {
    PlusBuilder b;
    b.SolidPen(1, kRed, 6.0f, 0x06, PlusData().I32(0x13).I32(0x14));
    const Picture p = PlayLine(b, 1.0f, 20, 50, 80, "pen_anchor_caps");
    EXPECT_EQ(p.At(50, 47), 0xFF0000u); // the line, six wide
    EXPECT_EQ(p.At(50, 45), 0xFFFFFFu);
    EXPECT_EQ(p.At(20, 45), 0xFF0000u); // the diamond
    EXPECT_EQ(p.At(15, 50), 0xFF0000u);
    EXPECT_EQ(p.At(15, 47), 0xFFFFFFu);
    EXPECT_EQ(p.At(12, 50), 0xFFFFFFu);
    EXPECT_EQ(p.At(70, 45), 0xFF0000u); // the arrow
    EXPECT_EQ(p.At(70, 42), 0xFFFFFFu);
    EXPECT_EQ(p.At(79, 50), 0xFF0000u);
    EXPECT_EQ(p.At(82, 50), 0xFFFFFFu); // nothing beyond its tip
}

// A sharp corner whose miter is longer than the limit: a mitred join is cut off at the limit,
// a clipped-miter join is bevelled.
TEST(EmfPlusPens, MitresBeyondTheLimitAreCutOffOrBevelled) {
    for (int32_t join : {0, 3}) {
        EmfBuilder emf;
        PlusBuilder b;
        b.PageTransform(2, 1.0f);
        b.SolidPen(1, kRed, 10.0f, 0x18, PlusData().I32(join).F(2));
        b.Record(0x400D, 1, PlusData().U32(3).F(20).F(80).F(50).F(20).F(80).F(80));
        b.EndOfFile();
        WriteSeed(b, join == 0 ? "pen_miter_clipped" : nullptr);
        b.Flush(emf);
        const Picture p = Play(emf.Finish());
        SCOPED_TRACE(join);
        EXPECT_EQ(p.At(50, 19), 0xFF0000u);
        EXPECT_EQ(p.At(50, 13), join == 0 ? 0xFF0000u : 0xFFFFFFu);
        EXPECT_EQ(p.At(50, 9), 0xFFFFFFu);
        EXPECT_EQ(p.At(46, 12), 0xFFFFFFu); // cut square across, not to a point
    }
}

// An inset pen keeps a rectangle's outline inside the rectangle.
TEST(EmfPlusPens, InsetPensDrawInsideClosedFigures) {
    // Wine's recorder writes the alignment as a float (1.0f).
    for (int32_t alignment : {0, 1, 0x3F800000}) {
        EmfBuilder emf;
        PlusBuilder b;
        b.PageTransform(2, 1.0f);
        b.SolidPen(1, kRed, 6.0f, 0x200, PlusData().I32(alignment));
        b.Record(0x400B, 1, PlusData().U32(1).Rect(20, 20, 40, 40)); // DrawRects
        b.EndOfFile();
        WriteSeed(b, alignment ? "pen_inset" : nullptr);
        b.Flush(emf);
        const Picture p = Play(emf.Finish());
        SCOPED_TRACE(alignment);
        EXPECT_EQ(p.At(18, 40), alignment ? 0xFFFFFFu : 0xFF0000u);
        EXPECT_EQ(p.At(24, 40), alignment ? 0xFF0000u : 0xFFFFFFu);
        EXPECT_EQ(p.At(40, 18), alignment ? 0xFFFFFFu : 0xFF0000u);
        EXPECT_EQ(p.At(40, 58), 0xFF0000u);
        EXPECT_EQ(p.At(40, 62), alignment ? 0xFFFFFFu : 0xFF0000u);
        EXPECT_EQ(p.At(40, 64), 0xFFFFFFu);
    }
}

} // namespace
} // namespace qm::emf::testing
