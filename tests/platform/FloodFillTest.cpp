#include "GdiTestSupport.h"
#include "platform/Gdi.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);

// A white 20 x 20 picture with a black square ring (outline 4..15) around a hole: a red
// square 8..11 inside the ring that touches nothing.
Canvas RingWithHole() {
    Canvas c = DeviceCanvas(20, 20);
    SelectObject(*c, GetStockObject(NULL_BRUSH));
    Rectangle(*c, 4, 4, 16, 16);
    HBRUSH red = CreateBrushIndirect(LOGBRUSH{BS_SOLID, kRed, 0});
    FillRect(*c, RECT{8, 8, 12, 12}, *red);
    return c;
}

void UseBrush(DeviceContext& dc, COLORREF color, HBRUSH& keep) {
    keep = CreateBrushIndirect(LOGBRUSH{BS_SOLID, color, 0});
    SelectObject(dc, *keep);
}

TEST(ExtFloodFill, BorderFillStopsAtTheBorderColourAndCoversTheHole) {
    Canvas c = RingWithHole();
    HBRUSH brush;
    UseBrush(*c, kBlue, brush);
    ASSERT_TRUE(ExtFloodFill(*c, 6, 6, kBlack, FLOODFILLBORDER));
    EXPECT_EQ(GetPixel(*c, 5, 5), kBlue);
    EXPECT_EQ(GetPixel(*c, 14, 14), kBlue);
    EXPECT_EQ(GetPixel(*c, 9, 9), kBlue); // not the border colour: filled as well
    EXPECT_EQ(GetPixel(*c, 4, 4), kBlack);
    EXPECT_EQ(GetPixel(*c, 3, 3), kWhite); // outside the ring
    EXPECT_EQ(GetPixel(*c, 0, 19), kWhite);
}

TEST(ExtFloodFill, SurfaceFillCoversOnlyConnectedPixelsOfTheColour) {
    Canvas c = RingWithHole();
    HBRUSH brush;
    UseBrush(*c, kBlue, brush);
    ASSERT_TRUE(ExtFloodFill(*c, 6, 6, kWhite, FLOODFILLSURFACE));
    EXPECT_EQ(GetPixel(*c, 5, 5), kBlue);
    EXPECT_EQ(GetPixel(*c, 7, 9), kBlue);
    EXPECT_EQ(GetPixel(*c, 9, 9), kRed);    // the hole keeps its colour
    EXPECT_EQ(GetPixel(*c, 4, 10), kBlack); // the ring too
    EXPECT_EQ(GetPixel(*c, 2, 2), kWhite);  // outside is not connected
}

TEST(ExtFloodFill, FollowsFourNeighboursOnly) {
    Canvas c = DeviceCanvas(3, 3);
    SetPixel(*c, 1, 0, kBlack);
    SetPixel(*c, 0, 1, kBlack);
    HBRUSH brush;
    UseBrush(*c, kBlue, brush);
    ASSERT_TRUE(ExtFloodFill(*c, 0, 0, kWhite, FLOODFILLSURFACE));
    EXPECT_EQ(GetPixel(*c, 0, 0), kBlue);
    EXPECT_EQ(GetPixel(*c, 1, 1), kWhite); // diagonal neighbour only
}

TEST(ExtFloodFill, BrushOfTheFollowedColourStillTerminates) {
    Canvas c = DeviceCanvas(50, 50);
    HBRUSH brush;
    UseBrush(*c, kWhite, brush);
    EXPECT_TRUE(ExtFloodFill(*c, 25, 25, kWhite, FLOODFILLSURFACE));
    EXPECT_TRUE(ExtFloodFill(*c, 25, 25, kBlack, FLOODFILLBORDER));
    EXPECT_EQ(GetPixel(*c, 0, 0), kWhite);
}

TEST(ExtFloodFill, StartOnTheBorderOrOffTheSurfaceFails) {
    Canvas c = RingWithHole();
    HBRUSH brush;
    UseBrush(*c, kBlue, brush);
    EXPECT_FALSE(ExtFloodFill(*c, 4, 4, kBlack, FLOODFILLBORDER));
    EXPECT_FALSE(ExtFloodFill(*c, 4, 4, kWhite, FLOODFILLSURFACE));
    EXPECT_FALSE(ExtFloodFill(*c, -1, 4, kWhite, FLOODFILLSURFACE));
    EXPECT_FALSE(ExtFloodFill(*c, 20, 4, kWhite, FLOODFILLSURFACE));
    EXPECT_FALSE(ExtFloodFill(*c, 1, 1, kWhite, 7));
    EXPECT_EQ(GetPixel(*c, 5, 5), kWhite);
}

TEST(ExtFloodFill, ClearBrushPaintsNothing) {
    Canvas c = RingWithHole();
    SelectObject(*c, GetStockObject(NULL_BRUSH));
    EXPECT_TRUE(ExtFloodFill(*c, 6, 6, kBlack, FLOODFILLBORDER));
    EXPECT_EQ(GetPixel(*c, 6, 6), kWhite);
}

TEST(ExtFloodFill, SystemColourValuesCountAsTheirLowBits) {
    // 0xFF00000C names a system colour; the device sees RGB(12, 0, 0).
    Canvas c = DeviceCanvas(4, 1, RGB(12, 0, 0));
    SetPixel(*c, 2, 0, kBlack);
    HBRUSH brush;
    UseBrush(*c, kBlue, brush);
    ASSERT_TRUE(ExtFloodFill(*c, 0, 0, 0xFF00000C, FLOODFILLSURFACE));
    EXPECT_EQ(GetPixel(*c, 1, 0), kBlue);
    EXPECT_EQ(GetPixel(*c, 3, 0), RGB(12, 0, 0));
}

TEST(ExtFloodFill, ColoursAreComparedAfterMappingToTheTable) {
    Canvas c = DibCanvas(DibInfo(4, 1, 8, {Quad(kWhite), Quad(kBlack), Quad(kBlue)}));
    SetPixel(*c, 2, 0, kBlack);
    HBRUSH brush;
    UseBrush(*c, kBlue, brush);
    // A near-black border colour maps to the black entry.
    ASSERT_TRUE(ExtFloodFill(*c, 0, 0, RGB(20, 20, 20), FLOODFILLBORDER));
    EXPECT_EQ(IndexAt(*c.bitmap, 0, 0), 2);
    EXPECT_EQ(IndexAt(*c.bitmap, 1, 0), 2);
    EXPECT_EQ(IndexAt(*c.bitmap, 2, 0), 1);
    EXPECT_EQ(IndexAt(*c.bitmap, 3, 0), 0);
}

TEST(ExtFloodFill, LargeSerpentineNeedsNoRecursion) {
    // A maze of horizontal walls with alternating gaps: one long winding region.
    const int w = 400;
    const int h = 400;
    Canvas c = DeviceCanvas(w, h);
    HBRUSH black = CreateBrushIndirect(LOGBRUSH{BS_SOLID, kBlack, 0});
    for (int y = 1; y < h; y += 2) {
        const bool gapRight = (y / 2) % 2 == 0;
        FillRect(*c, RECT{gapRight ? 0 : 1, y, gapRight ? w - 1 : w, y + 1}, *black);
    }
    HBRUSH brush;
    UseBrush(*c, kBlue, brush);
    ASSERT_TRUE(ExtFloodFill(*c, 0, 0, kWhite, FLOODFILLSURFACE));
    EXPECT_EQ(GetPixel(*c, w - 1, h - 2), kBlue);
    EXPECT_EQ(GetPixel(*c, 0, h - 2), kBlue);
    EXPECT_EQ(GetPixel(*c, 5, 1), kBlack);
}

TEST(ExtFloodFill, HatchedBrushFillsWithItsPattern) {
    Canvas c = DeviceCanvas(8, 8);
    HBRUSH hatch = CreateBrushIndirect(LOGBRUSH{BS_HATCHED, kRed, HS_HORIZONTAL});
    SelectObject(*c, *hatch);
    SetBkMode(*c, TRANSPARENT);
    ASSERT_TRUE(ExtFloodFill(*c, 3, 3, kWhite, FLOODFILLSURFACE));
    EXPECT_EQ(GetPixel(*c, 5, 0), kRed);
    EXPECT_EQ(GetPixel(*c, 5, 1), kWhite);
}

} // namespace
} // namespace platform
