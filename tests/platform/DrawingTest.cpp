#include "GdiTestSupport.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"

#include <array>
#include <climits>
#include <functional>
#include <gtest/gtest.h>

namespace platform {
namespace {

HPEN Pen(COLORREF color, int width = 1, uint32_t style = PS_SOLID) {
    return CreatePenIndirect(LOGPEN{style, POINT{width, 0}, color});
}

HBRUSH Solid(COLORREF color) {
    return CreateBrushIndirect(LOGBRUSH{BS_SOLID, color, 0});
}

// The result of each binary raster operation, written from its definition.
const std::array<std::function<uint32_t(uint32_t, uint32_t)>, 17> kRop2 = {
    nullptr,
    [](uint32_t, uint32_t) { return 0u; },           // R2_BLACK
    [](uint32_t p, uint32_t d) { return ~(p | d); }, // R2_NOTMERGEPEN
    [](uint32_t p, uint32_t d) { return ~p & d; },   // R2_MASKNOTPEN
    [](uint32_t p, uint32_t) { return ~p; },         // R2_NOTCOPYPEN
    [](uint32_t p, uint32_t d) { return p & ~d; },   // R2_MASKPENNOT
    [](uint32_t, uint32_t d) { return ~d; },         // R2_NOT
    [](uint32_t p, uint32_t d) { return p ^ d; },    // R2_XORPEN
    [](uint32_t p, uint32_t d) { return ~(p & d); }, // R2_NOTMASKPEN
    [](uint32_t p, uint32_t d) { return p & d; },    // R2_MASKPEN
    [](uint32_t p, uint32_t d) { return ~(p ^ d); }, // R2_NOTXORPEN
    [](uint32_t, uint32_t d) { return d; },          // R2_NOP
    [](uint32_t p, uint32_t d) { return ~p | d; },   // R2_MERGENOTPEN
    [](uint32_t p, uint32_t) { return p; },          // R2_COPYPEN
    [](uint32_t p, uint32_t d) { return p | ~d; },   // R2_MERGEPENNOT
    [](uint32_t p, uint32_t d) { return p | d; },    // R2_MERGEPEN
    [](uint32_t, uint32_t) { return 0xFFFFFFFFu; },  // R2_WHITE
};

// Counts pixels that differ from colour.
int CountNot(const DeviceContext& dc, int w, int h, COLORREF color) {
    int n = 0;
    for (COLORREF c : Pixels(dc, 0, 0, w, h)) {
        n += c != color;
    }
    return n;
}

// ---- Rectangles ---------------------------------------------------------------------------

TEST(Rectangle, ThinPenAndClearBrushChangeOnlyTheOutline) {
    Canvas c = DeviceCanvas(495, 315);
    HPEN pen = Pen(kBlack);
    SelectObject(*c, *pen);
    SelectObject(*c, GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(Rectangle(*c, 50, 250, 470, 300));
    for (int y = 240; y < 310; ++y) {
        for (int x = 40; x < 480; ++x) {
            const bool outline = (y >= 250 && y <= 299 && (x == 50 || x == 469)) ||
                                 (x >= 50 && x <= 469 && (y == 250 || y == 299));
            ASSERT_EQ(GetPixel(*c, x, y), outline ? kBlack : kWhite) << x << "," << y;
        }
    }
    EXPECT_EQ(CountNot(*c, 495, 315, kWhite), 2 * 420 + 2 * 48);
}

TEST(Rectangle, InteriorTakesTheBrushInsideTheOutline) {
    Canvas c = DeviceCanvas(20, 20);
    HPEN pen = Pen(RGB(255, 0, 0));
    HBRUSH brush = Solid(RGB(0, 0, 255));
    SelectObject(*c, *pen);
    SelectObject(*c, *brush);
    Rectangle(*c, 2, 3, 10, 8);
    EXPECT_EQ(GetPixel(*c, 2, 3), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(*c, 9, 7), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(*c, 3, 4), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(*c, 8, 6), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(*c, 10, 5), kWhite); // right edge exclusive
    EXPECT_EQ(GetPixel(*c, 5, 8), kWhite);  // bottom edge exclusive
    EXPECT_EQ(CountNot(*c, 20, 20, kWhite), 8 * 5);
}

TEST(Rectangle, NullPenDrawsTheInteriorOnly) {
    Canvas c = DeviceCanvas(20, 20);
    HBRUSH brush = Solid(kBlack);
    SelectObject(*c, GetStockObject(NULL_PEN));
    SelectObject(*c, *brush);
    Rectangle(*c, 2, 2, 8, 8);
    EXPECT_EQ(GetPixel(*c, 2, 2), kWhite);
    EXPECT_EQ(GetPixel(*c, 3, 3), kBlack);
    EXPECT_EQ(GetPixel(*c, 6, 6), kBlack);
    EXPECT_EQ(GetPixel(*c, 7, 7), kWhite);
    EXPECT_EQ(CountNot(*c, 20, 20, kWhite), 4 * 4);
}

TEST(Rectangle, ReversedCornersAreNormalised) {
    Canvas a = DeviceCanvas(20, 20);
    Canvas b = DeviceCanvas(20, 20);
    Rectangle(*a, 3, 4, 12, 15);
    Rectangle(*b, 12, 15, 3, 4);
    EXPECT_EQ(Pixels(*a, 0, 0, 20, 20), Pixels(*b, 0, 0, 20, 20));
}

TEST(Rectangle, XorTwiceRestoresEveryPixelAlsoWithAThickPen) {
    for (int width : {1, 2, 5}) {
        Canvas c = DeviceCanvas(30, 30, RGB(10, 200, 30));
        HPEN pen = Pen(RGB(0xF0, 0x0F, 0x55), width);
        HBRUSH brush = Solid(RGB(0x33, 0x44, 0x55));
        SelectObject(*c, *pen);
        SelectObject(*c, *brush);
        SetROP2(*c, R2_XORPEN);
        const auto before = Pixels(*c, 0, 0, 30, 30);
        Rectangle(*c, 5, 5, 25, 20);
        EXPECT_NE(Pixels(*c, 0, 0, 30, 30), before);
        Rectangle(*c, 5, 5, 25, 20);
        EXPECT_EQ(Pixels(*c, 0, 0, 30, 30), before) << "width " << width;
    }
}

TEST(Rectangle, ThickPenIsCentredOnTheOutlineAndInsideFrameStaysInside) {
    Canvas c = DeviceCanvas(30, 30);
    HPEN pen = Pen(kBlack, 3);
    SelectObject(*c, *pen);
    SelectObject(*c, GetStockObject(NULL_BRUSH));
    Rectangle(*c, 10, 10, 20, 20);
    // Outline columns 10 and 19 widened by one on both sides.
    EXPECT_EQ(GetPixel(*c, 9, 15), kBlack);
    EXPECT_EQ(GetPixel(*c, 11, 15), kBlack);
    EXPECT_EQ(GetPixel(*c, 8, 15), kWhite);
    EXPECT_EQ(GetPixel(*c, 12, 15), kWhite);
    EXPECT_EQ(GetPixel(*c, 20, 15), kBlack);
    EXPECT_EQ(GetPixel(*c, 21, 15), kWhite);

    Canvas inside = DeviceCanvas(30, 30);
    HPEN frame = Pen(kBlack, 3, PS_INSIDEFRAME);
    SelectObject(*inside, *frame);
    SelectObject(*inside, GetStockObject(NULL_BRUSH));
    Rectangle(*inside, 10, 10, 20, 20);
    EXPECT_EQ(GetPixel(*inside, 9, 15), kWhite);
    EXPECT_EQ(GetPixel(*inside, 10, 15), kBlack);
    EXPECT_EQ(GetPixel(*inside, 12, 15), kBlack);
    EXPECT_EQ(GetPixel(*inside, 13, 15), kWhite);
    EXPECT_EQ(GetPixel(*inside, 19, 19), kBlack);
    EXPECT_EQ(GetPixel(*inside, 20, 19), kWhite);
}

TEST(Rectangle, IsClippedAtEveryEdge) {
    Canvas c = DeviceCanvas(10, 10);
    HBRUSH brush = Solid(RGB(0, 0, 255));
    SelectObject(*c, *brush);
    EXPECT_TRUE(Rectangle(*c, -5, -5, 3, 3)); // top-left corner
    EXPECT_EQ(GetPixel(*c, 2, 0), kBlack);    // right outline column
    EXPECT_EQ(GetPixel(*c, 0, 2), kBlack);    // bottom outline row
    EXPECT_EQ(GetPixel(*c, 1, 1), RGB(0, 0, 255));
    EXPECT_TRUE(Rectangle(*c, 7, 7, 15, 15)); // bottom-right corner
    EXPECT_EQ(GetPixel(*c, 7, 9), kBlack);
    EXPECT_EQ(GetPixel(*c, 9, 7), kBlack);
    EXPECT_EQ(GetPixel(*c, 9, 9), RGB(0, 0, 255));
    EXPECT_TRUE(Rectangle(*c, INT_MIN, INT_MIN, INT_MAX, INT_MAX)); // all interior
    EXPECT_EQ(CountNot(*c, 10, 10, RGB(0, 0, 255)), 0);
}

TEST(Rectangle, DashedOutlineFollowsThePerimeter) {
    Canvas c = DeviceCanvas(40, 10);
    HPEN pen = Pen(kBlack, 1, PS_DOT);
    SelectObject(*c, *pen);
    SelectObject(*c, GetStockObject(NULL_BRUSH));
    SetBkMode(*c, TRANSPARENT);
    Rectangle(*c, 0, 0, 40, 10);
    // Dots are three on, three off along the top edge.
    for (int x = 0; x < 12; ++x) {
        EXPECT_EQ(GetPixel(*c, x, 0), (x % 6) < 3 ? kBlack : kWhite) << x;
    }
    // The pattern runs on down the right edge: positions 40 and 41 are off, 42 is on.
    EXPECT_EQ(GetPixel(*c, 39, 1), kWhite);
    EXPECT_EQ(GetPixel(*c, 39, 2), kWhite);
    EXPECT_EQ(GetPixel(*c, 39, 3), kBlack);
    EXPECT_EQ(GetPixel(*c, 5, 5), kWhite);
}

// ---- Lines --------------------------------------------------------------------------------

TEST(LineTo, EndPointIsNotDrawnAndThePositionMoves) {
    Canvas c = DeviceCanvas(495, 315);
    MoveToEx(*c, 180, 250, nullptr);
    ASSERT_TRUE(LineTo(*c, 180, 300));
    for (int y = 240; y < 310; ++y) {
        EXPECT_EQ(GetPixel(*c, 180, y), (y >= 250 && y <= 299) ? kBlack : kWhite) << y;
    }
    EXPECT_EQ(CountNot(*c, 495, 315, kWhite), 50);
    POINT p;
    GetCurrentPositionEx(*c, &p);
    EXPECT_EQ(p, (POINT{180, 300}));
}

TEST(LineTo, HorizontalDiagonalAndBackwardsLines) {
    Canvas c = DeviceCanvas(20, 20);
    MoveToEx(*c, 2, 1, nullptr);
    LineTo(*c, 8, 1);
    EXPECT_EQ(Pixels(*c, 1, 1, 9, 2), (std::vector<COLORREF>{kWhite, kBlack, kBlack, kBlack, kBlack,
                                                             kBlack, kBlack, kWhite}));
    MoveToEx(*c, 10, 10, nullptr);
    LineTo(*c, 14, 14);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(GetPixel(*c, 10 + i, 10 + i), kBlack);
    }
    EXPECT_EQ(GetPixel(*c, 14, 14), kWhite);
    MoveToEx(*c, 8, 5, nullptr);
    LineTo(*c, 3, 5); // right to left: start drawn, end not
    EXPECT_EQ(GetPixel(*c, 8, 5), kBlack);
    EXPECT_EQ(GetPixel(*c, 4, 5), kBlack);
    EXPECT_EQ(GetPixel(*c, 3, 5), kWhite);
}

TEST(LineTo, ShallowLineStepsOnceOnTheMinorAxis) {
    Canvas c = DeviceCanvas(20, 5);
    MoveToEx(*c, 0, 0, nullptr);
    LineTo(*c, 10, 1);
    int top = 0;
    int bottom = 0;
    for (int x = 0; x < 10; ++x) {
        top += GetPixel(*c, x, 0) == kBlack;
        bottom += GetPixel(*c, x, 1) == kBlack;
    }
    EXPECT_EQ(top + bottom, 10); // one pixel per column
    EXPECT_GT(top, 0);
    EXPECT_GT(bottom, 0);
    EXPECT_EQ(GetPixel(*c, 0, 0), kBlack);
}

TEST(LineTo, ThickLineCoversASquareAroundEachPointOnce) {
    Canvas c = DeviceCanvas(30, 30);
    HPEN pen = Pen(kBlack, 3);
    SelectObject(*c, *pen);
    MoveToEx(*c, 5, 10, nullptr);
    LineTo(*c, 20, 10);
    for (int y = 8; y <= 12; ++y) {
        EXPECT_EQ(GetPixel(*c, 10, y), (y >= 9 && y <= 11) ? kBlack : kWhite) << y;
    }
    EXPECT_EQ(GetPixel(*c, 4, 10), kBlack); // the square around the start point
    EXPECT_EQ(GetPixel(*c, 3, 10), kWhite);

    Canvas x = DeviceCanvas(30, 30, RGB(1, 2, 3));
    HPEN xorPen = Pen(RGB(0xFF, 0x00, 0xFF), 4);
    SelectObject(*x, *xorPen);
    SetROP2(*x, R2_XORPEN);
    const auto before = Pixels(*x, 0, 0, 30, 30);
    MoveToEx(*x, 3, 4, nullptr);
    LineTo(*x, 25, 17);
    MoveToEx(*x, 3, 4, nullptr);
    LineTo(*x, 25, 17);
    EXPECT_EQ(Pixels(*x, 0, 0, 30, 30), before);
}

TEST(LineTo, DotsLeaveGapsOrFillThemInOpaqueMode) {
    Canvas c = DeviceCanvas(20, 3);
    HPEN pen = Pen(kBlack, 1, PS_DOT);
    SelectObject(*c, *pen);
    SetBkMode(*c, TRANSPARENT);
    MoveToEx(*c, 0, 1, nullptr);
    LineTo(*c, 12, 1);
    for (int x = 0; x < 12; ++x) {
        EXPECT_EQ(GetPixel(*c, x, 1), (x % 6) < 3 ? kBlack : kWhite) << x;
    }
    SetBkMode(*c, OPAQUE);
    SetBkColor(*c, RGB(0, 255, 0));
    MoveToEx(*c, 0, 2, nullptr);
    LineTo(*c, 12, 2);
    for (int x = 0; x < 12; ++x) {
        EXPECT_EQ(GetPixel(*c, x, 2), (x % 6) < 3 ? kBlack : RGB(0, 255, 0)) << x;
    }
}

TEST(LineTo, FarOutsideEndPointsAreClipped) {
    Canvas c = DeviceCanvas(10, 10);
    MoveToEx(*c, INT_MIN / 2, 5, nullptr);
    EXPECT_TRUE(LineTo(*c, INT_MAX / 2, 5));
    EXPECT_EQ(CountNot(*c, 10, 10, kWhite), 10);
    MoveToEx(*c, -1000000000, -1000000000, nullptr);
    EXPECT_TRUE(LineTo(*c, 1000000000, 1000000000));
    EXPECT_EQ(GetPixel(*c, 3, 3), kBlack);
    EXPECT_EQ(GetPixel(*c, 9, 9), kBlack);
    HPEN wide = Pen(kBlack, 1000000);
    SelectObject(*c, *wide);
    MoveToEx(*c, 0, 0, nullptr);
    EXPECT_TRUE(LineTo(*c, 2000000000, 0));
    EXPECT_EQ(CountNot(*c, 10, 10, kBlack), 0);
}

TEST(LineTo, NullPenMovesWithoutDrawing) {
    Canvas c = DeviceCanvas(10, 10);
    SelectObject(*c, GetStockObject(NULL_PEN));
    MoveToEx(*c, 0, 0, nullptr);
    LineTo(*c, 9, 9);
    EXPECT_EQ(CountNot(*c, 10, 10, kWhite), 0);
    POINT p;
    GetCurrentPositionEx(*c, &p);
    EXPECT_EQ(p, (POINT{9, 9}));
}

// ---- Binary raster operations ---------------------------------------------------------------

TEST(Rop2, EveryModeOnTheColourBitsOfADeviceBitmap) {
    const COLORREF pen = RGB(0xA5, 0x3C, 0x0F);
    const COLORREF dest = RGB(0x5A, 0xF0, 0x33);
    for (int rop = R2_BLACK; rop <= R2_WHITE; ++rop) {
        Canvas c = DeviceCanvas(2, 1, dest);
        HPEN p = Pen(pen);
        SelectObject(*c, *p);
        SetROP2(*c, rop);
        MoveToEx(*c, 0, 0, nullptr);
        LineTo(*c, 1, 0);
        EXPECT_EQ(GetPixel(*c, 0, 0), kRop2[size_t(rop)](pen, dest) & 0xFFFFFF) << "rop " << rop;
        EXPECT_EQ(GetPixel(*c, 1, 0), dest);
    }
}

TEST(Rop2, EveryModeOnTheIndicesOfAnEightBitSection) {
    std::vector<RGBQUAD> table;
    for (int i = 0; i < 256; ++i) {
        table.push_back(Quad(RGB(uint8_t(i), uint8_t(255 - i), uint8_t((i * 7) & 0xFF))));
    }
    const uint32_t penIndex = 0xA5;
    const uint32_t destIndex = 0x3C;
    for (int rop = R2_BLACK; rop <= R2_WHITE; ++rop) {
        Canvas c = DibCanvas(DibInfo(4, 2, 8, table));
        const auto tableColor = [&](uint32_t i) {
            return RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
        };
        SetPixel(*c, 0, 1, tableColor(destIndex));
        ASSERT_EQ(IndexAt(*c.bitmap, 0, 1), destIndex);
        HPEN p = Pen(tableColor(penIndex));
        SelectObject(*c, *p);
        SetROP2(*c, rop);
        MoveToEx(*c, 0, 1, nullptr);
        LineTo(*c, 1, 1);
        EXPECT_EQ(IndexAt(*c.bitmap, 0, 1), kRop2[size_t(rop)](penIndex, destIndex) & 0xFF)
            << "rop " << rop;
    }
}

TEST(Rop2, MaskPenKeepsOnlyThePenBits) {
    Canvas white = DeviceCanvas(2, 1, kWhite);
    Canvas green = DeviceCanvas(2, 1, RGB(0, 255, 0));
    for (Canvas* c : {&white, &green}) {
        HPEN pen = Pen(RGB(255, 0, 0)); // 0x0000FF
        SelectObject(**c, *pen);
        SetROP2(**c, R2_MASKPEN);
        MoveToEx(**c, 0, 0, nullptr);
        LineTo(**c, 1, 0);
    }
    EXPECT_EQ(GetPixel(*white, 0, 0), 0x0000FFu);
    EXPECT_EQ(GetPixel(*green, 0, 0), kBlack);
}

TEST(Rop2, RectangleInteriorUsesTheBrushColourAsThePen) {
    Canvas c = DeviceCanvas(10, 10, RGB(0x0F, 0xF0, 0xFF));
    HBRUSH brush = Solid(RGB(0xFF, 0xFF, 0x00));
    SelectObject(*c, *brush);
    SetROP2(*c, R2_MASKPEN);
    Rectangle(*c, 0, 0, 10, 10);
    EXPECT_EQ(GetPixel(*c, 5, 5), RGB(0x0F, 0xF0, 0x00));
    EXPECT_EQ(GetPixel(*c, 0, 0), kBlack); // black pen masks everything
}

TEST(Rop2, SixteenBitSectionsCombineTheColourBits) {
    BITMAPINFO info = DibInfo(4, 1, 16);
    info.bmiHeader.biCompression = BI_BITFIELDS;
    info.bmiMasks = {0xF800, 0x07E0, 0x001F};
    Canvas c = DibCanvas(info);
    SetPixel(*c, 0, 0, RGB(0xF8, 0xFC, 0xF8));
    EXPECT_EQ(GetPixel(*c, 0, 0), RGB(0xFF, 0xFF, 0xFF)); // full-scale channels widen to 255
    SetROP2(*c, R2_NOT);
    MoveToEx(*c, 0, 0, nullptr);
    LineTo(*c, 2, 0);
    EXPECT_EQ(GetPixel(*c, 0, 0), kBlack);
    EXPECT_EQ(GetPixel(*c, 1, 0), kWhite);
}

TEST(Rop2, MonochromeBitmapsMapColoursToTheNearerOfBlackAndWhite) {
    Canvas c = testing::MonoCanvas(8, 1);
    EXPECT_EQ(SetPixel(*c, 0, 0, RGB(255, 0, 0)), kBlack);
    EXPECT_EQ(SetPixel(*c, 1, 0, RGB(200, 200, 200)), kWhite);
    EXPECT_EQ(SetPixel(*c, 2, 0, kWhite), kWhite);
    SetROP2(*c, R2_NOT);
    MoveToEx(*c, 0, 0, nullptr);
    LineTo(*c, 3, 0);
    EXPECT_EQ(Pixels(*c, 0, 0, 4, 1), (std::vector<COLORREF>{kWhite, kBlack, kBlack, kBlack}));
}

// ---- Fills --------------------------------------------------------------------------------

TEST(FillRect, IgnoresTheRop2ModeAndExcludesRightAndBottom) {
    Canvas c = DeviceCanvas(10, 10, RGB(1, 2, 3));
    SetROP2(*c, R2_XORPEN);
    HBRUSH brush = Solid(RGB(200, 100, 50));
    FillRect(*c, RECT{2, 3, 5, 7}, *brush);
    EXPECT_EQ(GetPixel(*c, 2, 3), RGB(200, 100, 50));
    EXPECT_EQ(GetPixel(*c, 4, 6), RGB(200, 100, 50));
    EXPECT_EQ(GetPixel(*c, 5, 6), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(*c, 4, 7), RGB(1, 2, 3));
    EXPECT_EQ(CountNot(*c, 10, 10, RGB(1, 2, 3)), 12);
}

TEST(FillRect, NullBrushPaintsNothing) {
    Canvas c = DeviceCanvas(10, 10, RGB(9, 9, 9));
    EXPECT_NE(FillRect(*c, RECT{0, 0, 10, 10}, static_cast<GdiBrush&>(GetStockObject(NULL_BRUSH))),
              0);
    EXPECT_EQ(CountNot(*c, 10, 10, RGB(9, 9, 9)), 0);
}

TEST(FillRect, IsClippedAndEmptyRectanglesPaintNothing) {
    Canvas c = DeviceCanvas(10, 10);
    HBRUSH brush = Solid(kBlack);
    FillRect(*c, RECT{5, 5, 3, 3}, *brush);
    EXPECT_EQ(CountNot(*c, 10, 10, kWhite), 0);
    FillRect(*c, RECT{-100, 8, 100, 100}, *brush);
    EXPECT_EQ(CountNot(*c, 10, 10, kWhite), 20);
    FillRect(*c, RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, *brush);
    EXPECT_EQ(CountNot(*c, 10, 10, kBlack), 0);
}

TEST(FillRect, HatchPaintsLinesAndTheBackgroundOnlyWhenOpaque) {
    HBRUSH hatch = CreateBrushIndirect(LOGBRUSH{BS_HATCHED, RGB(255, 0, 0), HS_CROSS});
    ASSERT_TRUE(hatch);
    Canvas c = DeviceCanvas(16, 16, RGB(0, 0, 255));
    SetBkMode(*c, TRANSPARENT);
    FillRect(*c, RECT{0, 0, 16, 16}, *hatch);
    int red = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool line = x % 8 == 0 || y % 8 == 0;
            EXPECT_EQ(GetPixel(*c, x, y), line ? RGB(255, 0, 0) : RGB(0, 0, 255)) << x << "," << y;
            red += line;
        }
    }
    EXPECT_EQ(red, 4 * 15);

    SetBkMode(*c, OPAQUE);
    SetBkColor(*c, RGB(0, 255, 0));
    SetBrushOrgEx(*c, 3, 2, nullptr); // the pattern moves with the origin
    FillRect(*c, RECT{0, 0, 16, 16}, *hatch);
    EXPECT_EQ(GetPixel(*c, 3, 5), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(*c, 5, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(*c, 0, 0), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(*c, 4, 3), RGB(0, 255, 0));
}

TEST(FillRect, DiagonalHatchesRunInTheirDirections) {
    HBRUSH forward = CreateBrushIndirect(LOGBRUSH{BS_HATCHED, kBlack, HS_FDIAGONAL});
    HBRUSH backward = CreateBrushIndirect(LOGBRUSH{BS_HATCHED, kBlack, HS_BDIAGONAL});
    Canvas c = DeviceCanvas(8, 8);
    SetBkMode(*c, TRANSPARENT);
    FillRect(*c, RECT{0, 0, 8, 8}, *forward);
    EXPECT_EQ(GetPixel(*c, 0, 0), kBlack);
    EXPECT_EQ(GetPixel(*c, 5, 5), kBlack);
    EXPECT_EQ(CountNot(*c, 8, 8, kWhite), 8);
    Canvas d = DeviceCanvas(8, 8);
    SetBkMode(*d, TRANSPARENT);
    FillRect(*d, RECT{0, 0, 8, 8}, *backward);
    EXPECT_EQ(GetPixel(*d, 7, 0), kBlack);
    EXPECT_EQ(GetPixel(*d, 0, 7), kBlack);
    EXPECT_EQ(CountNot(*d, 8, 8, kWhite), 8);
}

TEST(FillRect, PatternBrushTilesFromTheBrushOrigin) {
    Canvas pattern = DeviceCanvas(2, 2, kWhite);
    SetPixel(*pattern, 0, 0, RGB(255, 0, 0));
    HBRUSH brush = CreatePatternBrush(*pattern.bitmap);
    ASSERT_TRUE(brush);
    Canvas c = DeviceCanvas(8, 8, kBlack);
    FillRect(*c, RECT{0, 0, 8, 8}, *brush);
    EXPECT_EQ(GetPixel(*c, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(*c, 2, 4), RGB(255, 0, 0)); // a 2 x 2 bitmap repeats
    EXPECT_EQ(GetPixel(*c, 1, 0), kWhite);
    SetBrushOrgEx(*c, 1, 1, nullptr);
    FillRect(*c, RECT{0, 0, 8, 8}, *brush);
    EXPECT_EQ(GetPixel(*c, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(*c, 0, 0), kWhite);
}

TEST(FillRect, MonochromePatternTakesTextAndBackgroundColours) {
    Canvas mono = testing::MonoCanvas(8, 8);
    SetPixel(*mono, 1, 0, kWhite);
    HBRUSH brush = CreatePatternBrush(*mono.bitmap);
    Canvas c = DeviceCanvas(8, 8);
    SetTextColor(*c, RGB(255, 0, 0));
    SetBkColor(*c, RGB(0, 0, 255));
    FillRect(*c, RECT{0, 0, 8, 8}, *brush);
    EXPECT_EQ(GetPixel(*c, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(*c, 1, 0), RGB(0, 0, 255));
}

TEST(PatBlt, TernaryOperationsWithPatternAndDestination) {
    Canvas c = DeviceCanvas(4, 1, RGB(0x0F, 0xF0, 0x3C));
    HBRUSH brush = Solid(RGB(0xFF, 0x00, 0xF0));
    SelectObject(*c, *brush);
    ASSERT_TRUE(PatBlt(*c, 0, 0, 1, 1, PATINVERT));
    EXPECT_EQ(GetPixel(*c, 0, 0), RGB(0xF0, 0xF0, 0xCC));
    ASSERT_TRUE(PatBlt(*c, 1, 0, 1, 1, DSTINVERT));
    EXPECT_EQ(GetPixel(*c, 1, 0), RGB(0xF0, 0x0F, 0xC3));
    ASSERT_TRUE(PatBlt(*c, 2, 0, 1, 1, 0x00A000C9)); // P AND D
    EXPECT_EQ(GetPixel(*c, 2, 0), RGB(0x0F, 0x00, 0x30));
    ASSERT_TRUE(PatBlt(*c, 3, 0, 1, 1, PATCOPY));
    EXPECT_EQ(GetPixel(*c, 3, 0), RGB(0xFF, 0x00, 0xF0));
    ASSERT_TRUE(PatBlt(*c, 0, 0, 2, 1, BLACKNESS));
    EXPECT_EQ(GetPixel(*c, 1, 0), kBlack);
    ASSERT_TRUE(PatBlt(*c, 4, 1, -4, -1, WHITENESS)); // negative sizes extend left and up
    EXPECT_EQ(CountNot(*c, 4, 1, kWhite), 0);
}

TEST(PatBlt, RefusesOperationsThatNeedASource) {
    Canvas c = DeviceCanvas(4, 4);
    SetLastError(0);
    EXPECT_FALSE(PatBlt(*c, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CountNot(*c, 4, 4, kWhite), 0);
}

TEST(PatBlt, WhitenessOnAnIndexedSectionSetsAllIndexBits) {
    Canvas c = DibCanvas(DibInfo(4, 4, 4, {Quad(kBlack), Quad(kWhite)}));
    PatBlt(*c, 0, 0, 4, 4, WHITENESS);
    DIBSECTION ds;
    GetObject(*c.bitmap, ds);
    EXPECT_EQ(ds.dsBm.bmBits[0], 0xFF); // index 15 in both nibbles
}

// ---- Pixels -------------------------------------------------------------------------------

TEST(Pixel, OutsideTheBitmapIsInvalid) {
    Canvas c = DeviceCanvas(3, 3);
    EXPECT_EQ(GetPixel(*c, -1, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(*c, 3, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(*c, 0, 3), CLR_INVALID);
    EXPECT_EQ(SetPixel(*c, 0, -1, kBlack), CLR_INVALID);
    EXPECT_EQ(SetPixel(*c, 2, 2, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(*c, 2, 2), RGB(1, 2, 3));
}

TEST(Pixel, SystemColourValuesCountAsTheirLowBits) {
    Canvas c = DeviceCanvas(3, 3);
    EXPECT_EQ(SetPixel(*c, 0, 0, 0xFF00000C), RGB(12, 0, 0));
}

TEST(Pixel, IndexedSurfacesStoreTheNearestTableColour) {
    Canvas c = DibCanvas(DibInfo(2, 2, 8, {Quad(kBlack), Quad(RGB(200, 0, 0)), Quad(kWhite)}));
    EXPECT_EQ(SetPixel(*c, 0, 0, RGB(180, 20, 10)), RGB(200, 0, 0));
    EXPECT_EQ(IndexAt(*c.bitmap, 0, 0), 1);
    EXPECT_EQ(GetPixel(*c, 1, 1), kBlack); // new sections are zeroed: index 0
}

TEST(ScreenDC, DrawsNothingAndReadsNothing) {
    DeviceContext& screen = GetScreenDC();
    EXPECT_TRUE(Rectangle(screen, 0, 0, 10, 10));
    EXPECT_TRUE(LineTo(screen, 5, 5));
    EXPECT_EQ(GetPixel(screen, 0, 0), CLR_INVALID);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
    MoveToEx(screen, 0, 0, nullptr);
}

} // namespace
} // namespace platform
