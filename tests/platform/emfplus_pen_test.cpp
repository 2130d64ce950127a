// EMF+ pens on metafiles built here: dashes stepped on the device grid, compound bands,
// custom line caps, alignment and joins.
#include <gtest/gtest.h>

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

// A horizontal line in pixels at the given page scale, drawn with the pen in slot 1.
Picture PlayLine(PlusBuilder& b, float scale, float x0, float y, float x1, bool smooth = false) {
    EmfBuilder emf;
    b.PageTransform(2, scale);
    b.AntiAlias(smooth);
    b.Record(0x400D, 1, PlusData().U32(2).F(x0).F(y).F(x1).F(y));
    b.EndOfFile().Flush(emf);
    return Play(emf.Finish());
}

// A one-pixel dash-dot pen as a recorder writes it (bevelled joins, dash offset 0), unsmoothed,
// at one pixel per unit and a hair over: the same pixels, from the same first one, to the end.
TEST(EmfPlusPens, UnsmoothedDashDotKeepsItsGapsAtAScaleAHairOverOne) {
    for (float scale : {1.0f, 1.0002f}) {
        for (int32_t join : {0, 1, 2}) {
            PlusBuilder b;
            b.SolidPen(1, kRed, 1.0f, 0xA8, PlusData().I32(join).I32(3).F(0));
            const Picture p = PlayLine(b, scale, 10, 50, 94);
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
