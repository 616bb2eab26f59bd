#include "GdiTestSupport.h"
#include "platform/Gdi.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

HFONT Font(int height, bool underline = false) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfFaceName = "MS Sans Serif";
    lf.lfUnderline = underline ? 1 : 0;
    return CreateFontIndirect(lf);
}

int Count(const DeviceContext& dc, int x0, int y0, int x1, int y1, bool (*test)(COLORREF)) {
    int n = 0;
    for (COLORREF c : testing::Pixels(dc, x0, y0, x1, y1)) {
        n += test(c);
    }
    return n;
}

TEST(Text, OpaqueCellMatchesTheMeasuredExtent) {
    Canvas c = DeviceCanvas(200, 40);
    SetBkColor(*c, kRed);
    SIZE size;
    ASSERT_TRUE(GetTextExtentPoint32(*c, "Hello", size));
    ASSERT_GT(size.cx, 10);
    ASSERT_GT(size.cy, 8);
    ASSERT_TRUE(ExtTextOut(*c, 10, 5, 0, nullptr, "Hello"));
    // Inside the cell nothing is white any more; outside nothing changed.
    EXPECT_EQ(Count(*c, 10, 5, 10 + size.cx, 5 + size.cy, [](COLORREF p) { return p == kWhite; }),
              0);
    EXPECT_EQ(GetPixel(*c, 9, 5), kWhite);
    EXPECT_EQ(GetPixel(*c, 10 + size.cx, 5), kWhite);
    EXPECT_EQ(GetPixel(*c, 10, 4), kWhite);
    EXPECT_EQ(GetPixel(*c, 10, 5 + size.cy), kWhite);
    EXPECT_EQ(GetPixel(*c, 10, 5), kRed); // the top-left corner is background
    EXPECT_GT(Count(*c, 10, 5, 10 + size.cx, 5 + size.cy, [](COLORREF p) { return p != kRed; }),
              10);
}

TEST(Text, TransparentModeChangesOnlyGlyphPixelsWithAntiAliasing) {
    Canvas c = DeviceCanvas(200, 40);
    HFONT font = Font(-21);
    SelectObject(*c, *font);
    SetBkMode(*c, TRANSPARENT);
    SetBkColor(*c, kRed);
    ASSERT_TRUE(ExtTextOut(*c, 5, 5, 0, nullptr, "Velmora"));
    EXPECT_EQ(Count(*c, 0, 0, 200, 40, [](COLORREF p) { return p == kRed; }), 0);
    EXPECT_GT(Count(*c, 0, 0, 200, 40, [](COLORREF p) { return p == kBlack; }), 20);
    // Edges blend the text colour into the white background.
    EXPECT_GT(Count(*c, 0, 0, 200, 40,
                    [](COLORREF p) {
                        return p != kBlack && p != kWhite && GetRValue(p) == GetBValue(p);
                    }),
              5);
}

TEST(Text, PaletteSurfacesDrawSolidGlyphs) {
    Canvas c =
        DibCanvas(DibInfo(120, 30, 8, {Quad(kWhite), Quad(kBlack), Quad(RGB(128, 128, 128))}));
    HFONT font = Font(-21);
    SelectObject(*c, *font);
    SetBkMode(*c, TRANSPARENT);
    ASSERT_TRUE(ExtTextOut(*c, 2, 2, 0, nullptr, "Solid"));
    int ink = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 120; ++x) {
            const uint8_t i = IndexAt(*c.bitmap, x, y);
            ASSERT_NE(i, 2) << "no blended grey on a palette surface";
            ink += i == 1;
        }
    }
    EXPECT_GT(ink, 20);
}

TEST(Text, ExtentFollowsTheFontSizeAndMatchesMetrics) {
    Canvas c = DeviceCanvas(10, 10);
    SIZE small;
    GetTextExtentPoint32(*c, "Confirming QSO With", small);
    HFONT big = Font(-32);
    SelectObject(*c, *big);
    SIZE large;
    GetTextExtentPoint32(*c, "Confirming QSO With", large);
    EXPECT_GT(large.cx, small.cx * 2);
    TEXTMETRIC tm;
    ASSERT_TRUE(GetTextMetrics(*c, tm));
    EXPECT_EQ(large.cy, tm.tmHeight);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(tm.tmCharSet, ANSI_CHARSET);
    EXPECT_EQ(tm.tmWeight, FW_NORMAL);
    EXPECT_EQ(GetTextFace(*c), "MS Sans Serif");
    SIZE empty;
    GetTextExtentPoint32(*c, "", empty);
    EXPECT_EQ(empty.cx, 0);
    EXPECT_EQ(empty.cy, tm.tmHeight);
}

TEST(Text, TheScreenContextMeasuresWithTheSystemFont) {
    SIZE size;
    ASSERT_TRUE(GetTextExtentPoint32(GetScreenDC(), "Velmora", size));
    EXPECT_GT(size.cx, 0);
    TEXTMETRIC tm;
    ASSERT_TRUE(GetTextMetrics(GetScreenDC(), tm));
    EXPECT_EQ(size.cy, tm.tmHeight);
    EXPECT_TRUE(ExtTextOut(GetScreenDC(), 0, 0, 0, nullptr, "nothing to draw on"));
}

TEST(Text, EmptyTextDrawsNothing) {
    Canvas c = DeviceCanvas(20, 20);
    SetBkColor(*c, kRed);
    ASSERT_TRUE(ExtTextOut(*c, 5, 5, 0, nullptr, ""));
    EXPECT_EQ(Count(*c, 0, 0, 20, 20, [](COLORREF p) { return p != kWhite; }), 0);
}

TEST(Text, UnderlineRunsAcrossTheWholeAdvance) {
    Canvas c = DeviceCanvas(200, 40);
    HFONT font = Font(-21, true);
    SelectObject(*c, *font);
    SetBkMode(*c, TRANSPARENT);
    SIZE size;
    GetTextExtentPoint32(*c, "a b", size);
    ExtTextOut(*c, 10, 5, 0, nullptr, "a b");
    bool found = false;
    for (int y = 5; y < 5 + size.cy && !found; ++y) {
        found = Count(*c, 10, y, 10 + size.cx, y + 1, [](COLORREF p) { return p == kBlack; }) ==
                size.cx;
    }
    EXPECT_TRUE(found) << "one row of ink as wide as the text";
}

TEST(Text, OpaqueRectangleAndClipping) {
    Canvas c = DeviceCanvas(100, 30);
    SetBkColor(*c, kRed);
    SetBkMode(*c, TRANSPARENT);
    const RECT box{0, 0, 30, 30};
    ASSERT_TRUE(ExtTextOut(*c, 2, 2, ETO_OPAQUE | ETO_CLIPPED, &box, "WWWWWWWWWW"));
    EXPECT_EQ(GetPixel(*c, 29, 29), kRed);
    EXPECT_EQ(Count(*c, 30, 0, 100, 30, [](COLORREF p) { return p != kWhite; }), 0);
}

TEST(Text, SpacingArrayPlacesEachGlyph) {
    Canvas c = DeviceCanvas(200, 30);
    SetBkColor(*c, kRed);
    const std::vector<int> dx{40, 40};
    ASSERT_TRUE(ExtTextOut(*c, 0, 0, 0, nullptr, "ii", dx));
    EXPECT_EQ(GetPixel(*c, 79, 0), kRed); // the cell spans the sum of the spacing
    EXPECT_EQ(GetPixel(*c, 80, 0), kWhite);
    EXPECT_GT(Count(*c, 40, 0, 80, 30, [](COLORREF p) { return p != kRed && p != kWhite; }), 0);
    EXPECT_GT(Count(*c, 0, 0, 40, 30, [](COLORREF p) { return p != kRed && p != kWhite; }), 0);
}

} // namespace
} // namespace platform
