#include "GdiTestSupport.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

// A distinct colour for every pixel of pictures up to 4096 x 4096.
COLORREF Unique(int x, int y) {
    return RGB(uint8_t(x & 0xFF), uint8_t(y & 0xFF), uint8_t(((x >> 8) & 0x0F) | ((y >> 8) << 4)));
}

Canvas UniqueCanvas(int width, int height) {
    Canvas c = DeviceCanvas(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            SetPixel(*c, x, y, Unique(x, y));
        }
    }
    return c;
}

// Evaluates a ternary raster operation bit by bit from its truth table.
uint32_t Ternary(uint32_t rop, uint32_t p, uint32_t s, uint32_t d) {
    const uint32_t table = (rop >> 16) & 0xFF;
    uint32_t out = 0;
    for (int bit = 0; bit < 24; ++bit) {
        const uint32_t index = (((p >> bit) & 1) << 2) | (((s >> bit) & 1) << 1) | ((d >> bit) & 1);
        out |= ((table >> index) & 1) << bit;
    }
    return out;
}

// ---- BitBlt -------------------------------------------------------------------------------

TEST(BitBlt, CopiesAndClipsAtEveryEdge) {
    Canvas src = UniqueCanvas(8, 8);
    Canvas dst = DeviceCanvas(8, 8, kBlack);
    ASSERT_TRUE(BitBlt(*dst, -2, -3, 8, 8, src.dc.get(), 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(*dst, 0, 0), Unique(2, 3));
    EXPECT_EQ(GetPixel(*dst, 5, 4), Unique(7, 7));
    EXPECT_EQ(GetPixel(*dst, 6, 4), kBlack); // beyond the source's right edge
    EXPECT_EQ(GetPixel(*dst, 5, 5), kBlack); // beyond its bottom edge

    const COLORREF fill = RGB(0, 0, 255); // a colour the small unique pictures never hold
    Canvas dst2 = DeviceCanvas(8, 8, fill);
    ASSERT_TRUE(BitBlt(*dst2, 5, 5, 10, 10, src.dc.get(), -1, -2, SRCCOPY));
    EXPECT_EQ(GetPixel(*dst2, 5, 7), fill); // source (-1, 0) does not exist
    EXPECT_EQ(GetPixel(*dst2, 6, 6), fill); // source (0, -1) neither
    EXPECT_EQ(GetPixel(*dst2, 6, 7), Unique(0, 0));
    EXPECT_EQ(GetPixel(*dst2, 7, 7), Unique(1, 0));
    EXPECT_EQ(Pixels(*dst2, 0, 0, 8, 7), std::vector<COLORREF>(56, fill));

    EXPECT_TRUE(BitBlt(*dst2, 100, 100, 10, 10, src.dc.get(), 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(*dst2, 0, 0, 10, 10, src.dc.get(), 100, 0, SRCCOPY));
}

TEST(BitBlt, TernaryOperationsCombinePatternSourceAndDestination) {
    const COLORREF p = RGB(0xF0, 0xCC, 0xAA);
    const COLORREF s = RGB(0x3C, 0x5A, 0x96);
    const COLORREF d = RGB(0x0F, 0xF0, 0x69);
    for (uint32_t rop : {SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, SRCERASE, NOTSRCCOPY, NOTSRCERASE,
                         MERGECOPY, MERGEPAINT, 0x00B8074Au, 0x00E20746u, 0x001D0000u}) {
        Canvas src = DeviceCanvas(1, 1, s);
        Canvas dst = DeviceCanvas(1, 1, d);
        HBRUSH brush = CreateBrushIndirect(LOGBRUSH{BS_SOLID, p, 0});
        SelectObject(*dst, *brush);
        ASSERT_TRUE(BitBlt(*dst, 0, 0, 1, 1, src.dc.get(), 0, 0, rop));
        EXPECT_EQ(GetPixel(*dst, 0, 0), Ternary(rop, p, s, d)) << std::hex << rop;
    }
}

TEST(BitBlt, OperationsWithoutSourceNeedNoSourceContext) {
    Canvas dst = DeviceCanvas(2, 2, RGB(1, 2, 3));
    EXPECT_TRUE(BitBlt(*dst, 0, 0, 2, 2, nullptr, 0, 0, DSTINVERT));
    EXPECT_EQ(GetPixel(*dst, 1, 1), RGB(254, 253, 252));
    SetLastError(0);
    EXPECT_FALSE(BitBlt(*dst, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(BitBlt(*dst, 0, 0, 2, 2, &GetScreenDC(), 0, 0, SRCCOPY));
}

TEST(BitBlt, OverlappingCopyWithinOneBitmap) {
    Canvas c = UniqueCanvas(6, 6);
    ASSERT_TRUE(BitBlt(*c, 1, 1, 5, 5, c.dc.get(), 0, 0, SRCCOPY)); // down and right
    for (int y = 1; y < 6; ++y) {
        for (int x = 1; x < 6; ++x) {
            EXPECT_EQ(GetPixel(*c, x, y), Unique(x - 1, y - 1)) << x << "," << y;
        }
    }
    Canvas d = UniqueCanvas(6, 6);
    ASSERT_TRUE(BitBlt(*d, 0, 0, 5, 5, d.dc.get(), 1, 1, NOTSRCCOPY)); // up and left
    EXPECT_EQ(GetPixel(*d, 0, 0), ~Unique(1, 1) & 0xFFFFFF);
    EXPECT_EQ(GetPixel(*d, 4, 4), ~Unique(5, 5) & 0xFFFFFF);
}

TEST(BitBlt, MonochromeSourceTakesTheDestinationTextAndBackgroundColours) {
    Canvas mono = MonoCanvas(2, 1);
    SetPixel(*mono, 1, 0, kWhite); // bit 1
    Canvas dst = DeviceCanvas(2, 1);
    SetTextColor(*dst, RGB(255, 0, 0));
    SetBkColor(*dst, RGB(0, 0, 255));
    ASSERT_TRUE(BitBlt(*dst, 0, 0, 2, 1, mono.dc.get(), 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(*dst, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(*dst, 1, 0), RGB(0, 0, 255));
}

TEST(BitBlt, ColourToMonochromeMarksTheSourceBackgroundColour) {
    Canvas src = DeviceCanvas(3, 1, RGB(10, 20, 30));
    SetPixel(*src, 1, 0, kWhite);
    SetPixel(*src, 2, 0, kBlack);
    SetBkColor(*src, RGB(10, 20, 30));
    Canvas mono = MonoCanvas(3, 1);
    ASSERT_TRUE(BitBlt(*mono, 0, 0, 3, 1, src.dc.get(), 0, 0, SRCCOPY));
    // Only pixels of the background colour become 1 (white); white pixels become 0.
    EXPECT_EQ(Pixels(*mono, 0, 0, 3, 1), (std::vector<COLORREF>{kWhite, kBlack, kBlack}));
}

TEST(BitBlt, MonochromeToMonochromeCopiesBits) {
    Canvas a = MonoCanvas(9, 1);
    SetPixel(*a, 0, 0, kWhite);
    SetPixel(*a, 8, 0, kWhite);
    Canvas b = MonoCanvas(9, 1);
    SetTextColor(*b, RGB(255, 0, 0)); // no effect between monochrome bitmaps
    ASSERT_TRUE(BitBlt(*b, 0, 0, 9, 1, a.dc.get(), 0, 0, SRCCOPY));
    EXPECT_EQ(Pixels(*b, 0, 0, 9, 1), Pixels(*a, 0, 0, 9, 1));
}

TEST(BitBlt, ConvertsBetweenTableAndTrueColourLayouts) {
    const std::vector<RGBQUAD> table{Quad(kBlack), Quad(RGB(255, 0, 0)), Quad(RGB(0, 128, 0)),
                                     Quad(kWhite)};
    Canvas indexed = DibCanvas(DibInfo(4, 1, 8, table));
    for (int x = 0; x < 4; ++x) {
        SetPixel(*indexed, x, 0,
                 RGB(table[size_t(x)].rgbRed, table[size_t(x)].rgbGreen, table[size_t(x)].rgbBlue));
    }
    Canvas device = DeviceCanvas(4, 1);
    ASSERT_TRUE(BitBlt(*device, 0, 0, 4, 1, indexed.dc.get(), 0, 0, SRCCOPY));
    EXPECT_EQ(Pixels(*device, 0, 0, 4, 1),
              (std::vector<COLORREF>{kBlack, RGB(255, 0, 0), RGB(0, 128, 0), kWhite}));

    Canvas colours = DeviceCanvas(4, 1);
    SetPixel(*colours, 0, 0, RGB(250, 10, 10));
    SetPixel(*colours, 1, 0, RGB(10, 100, 10));
    SetPixel(*colours, 2, 0, RGB(240, 240, 240));
    SetPixel(*colours, 3, 0, RGB(20, 20, 20));
    Canvas back = DibCanvas(DibInfo(4, 1, 8, table));
    ASSERT_TRUE(BitBlt(*back, 0, 0, 4, 1, colours.dc.get(), 0, 0, SRCCOPY));
    EXPECT_EQ(IndexAt(*back.bitmap, 0, 0), 1);
    EXPECT_EQ(IndexAt(*back.bitmap, 1, 0), 2);
    EXPECT_EQ(IndexAt(*back.bitmap, 2, 0), 3);
    EXPECT_EQ(IndexAt(*back.bitmap, 3, 0), 0);
}

TEST(BitBlt, TwentyFourAndSixteenBitSectionsRoundTrip) {
    Canvas src = UniqueCanvas(5, 3);
    Canvas s24 = DibCanvas(DibInfo(5, -3, 24));
    ASSERT_TRUE(BitBlt(*s24, 0, 0, 5, 3, src.dc.get(), 0, 0, SRCCOPY));
    EXPECT_EQ(Pixels(*s24, 0, 0, 5, 3), Pixels(*src, 0, 0, 5, 3));
    Canvas s16 = DibCanvas(DibInfo(5, 3, 16)); // 5-5-5
    Canvas grey = DeviceCanvas(5, 3, RGB(0x88, 0x48, 0xF8));
    ASSERT_TRUE(BitBlt(*s16, 0, 0, 5, 3, grey.dc.get(), 0, 0, SRCCOPY));
    // Five bits per channel keep the top bits; reading widens them by repetition.
    EXPECT_EQ(GetPixel(*s16, 2, 1), RGB(0x8C, 0x4A, 0xFF));
}

// ---- StretchBlt ---------------------------------------------------------------------------

TEST(StretchBlt, DoublingReplicatesEachPixel) {
    Canvas src = UniqueCanvas(2, 2);
    Canvas dst = DeviceCanvas(4, 4);
    ASSERT_TRUE(StretchBlt(*dst, 0, 0, 4, 4, src.dc.get(), 0, 0, 2, 2, SRCCOPY));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(GetPixel(*dst, x, y), Unique(x / 2, y / 2)) << x << "," << y;
        }
    }
}

TEST(StretchBlt, NearestNeighbourSamplesThePixelUnderEachCentre) {
    for (auto [sw, sh] : {std::pair{400, 300}, std::pair{1000, 700}}) {
        Canvas src = UniqueCanvas(sw, sh);
        Canvas dst = DeviceCanvas(495, 315);
        SetStretchBltMode(*dst, COLORONCOLOR);
        ASSERT_TRUE(StretchBlt(*dst, 0, 0, 495, 315, src.dc.get(), 0, 0, sw, sh, SRCCOPY));
        for (int y = 0; y < 315; y += 7) {
            for (int x = 0; x < 495; x += 5) {
                const int sx = (2 * x + 1) * sw / (2 * 495);
                const int sy = (2 * y + 1) * sh / (2 * 315);
                ASSERT_EQ(GetPixel(*dst, x, y), Unique(sx, sy)) << x << "," << y;
            }
        }
        // The corners sample the pixels under the corner pixels' centres.
        EXPECT_EQ(GetPixel(*dst, 0, 0), Unique(sw / 990, sh / 630));
        EXPECT_EQ(GetPixel(*dst, 494, 314), Unique(989 * sw / 990, 629 * sh / 630));
    }
}

TEST(StretchBlt, EnlargingKeepsEverySourceColumn) {
    Canvas src = UniqueCanvas(400, 1);
    Canvas dst = DeviceCanvas(495, 1);
    StretchBlt(*dst, 0, 0, 495, 1, src.dc.get(), 0, 0, 400, 1, SRCCOPY);
    int column = 0;
    for (int x = 0; x < 495; ++x) {
        const COLORREF c = GetPixel(*dst, x, 0);
        if (c != Unique(column, 0)) {
            ++column;
            ASSERT_EQ(c, Unique(column, 0)) << "at " << x; // columns advance one at a time
        }
    }
    EXPECT_EQ(column, 399);
}

TEST(StretchBlt, NegativeWidthMirrors) {
    Canvas src = UniqueCanvas(3, 1);
    Canvas dst = DeviceCanvas(3, 1);
    ASSERT_TRUE(StretchBlt(*dst, 3, 0, -3, 1, src.dc.get(), 0, 0, 3, 1, SRCCOPY));
    EXPECT_EQ(Pixels(*dst, 0, 0, 3, 1),
              (std::vector<COLORREF>{Unique(2, 0), Unique(1, 0), Unique(0, 0)}));
}

TEST(StretchBlt, SamplesOutsideTheSourceLeaveTheDestination) {
    Canvas src = UniqueCanvas(4, 4);
    Canvas dst = DeviceCanvas(8, 8, kBlack);
    ASSERT_TRUE(StretchBlt(*dst, 0, 0, 8, 8, src.dc.get(), -4, -4, 8, 8, SRCCOPY));
    EXPECT_EQ(GetPixel(*dst, 3, 3), kBlack);
    EXPECT_EQ(GetPixel(*dst, 4, 4), Unique(0, 0));
    EXPECT_EQ(GetPixel(*dst, 7, 7), Unique(3, 3));
    EXPECT_EQ(GetPixel(*dst, 7, 3), kBlack);
}

TEST(StretchBlt, ClipsTheDestination) {
    Canvas src = UniqueCanvas(10, 10);
    Canvas dst = DeviceCanvas(4, 4);
    ASSERT_TRUE(StretchBlt(*dst, -10, -10, 20, 20, src.dc.get(), 0, 0, 10, 10, SRCCOPY));
    EXPECT_EQ(GetPixel(*dst, 0, 0), Unique(5, 5));
    EXPECT_EQ(GetPixel(*dst, 3, 3), Unique(6, 6));
}

TEST(StretchBlt, HalftoneAveragesTheSourceBox) {
    Canvas src = DeviceCanvas(4, 2, kBlack);
    SetPixel(*src, 0, 0, kWhite);
    SetPixel(*src, 1, 1, kWhite);
    SetPixel(*src, 2, 0, RGB(200, 100, 0));
    SetPixel(*src, 3, 0, RGB(200, 100, 0));
    SetPixel(*src, 2, 1, RGB(200, 100, 0));
    SetPixel(*src, 3, 1, RGB(200, 100, 0));
    Canvas dst = DeviceCanvas(2, 1);
    SetStretchBltMode(*dst, HALFTONE);
    ASSERT_TRUE(StretchBlt(*dst, 0, 0, 2, 1, src.dc.get(), 0, 0, 4, 2, SRCCOPY));
    EXPECT_EQ(GetPixel(*dst, 0, 0), RGB(128, 128, 128));
    EXPECT_EQ(GetPixel(*dst, 1, 0), RGB(200, 100, 0));
}

TEST(StretchBlt, HalftoneOntoAPaletteSectionPicksTheNearestEntry) {
    const std::vector<RGBQUAD> table{Quad(kBlack), Quad(RGB(128, 128, 128)), Quad(kWhite)};
    Canvas src = DeviceCanvas(2, 2, kBlack);
    SetPixel(*src, 0, 0, kWhite);
    SetPixel(*src, 1, 1, kWhite);
    Canvas dst = DibCanvas(DibInfo(1, 1, 8, table));
    SetStretchBltMode(*dst, HALFTONE);
    ASSERT_TRUE(StretchBlt(*dst, 0, 0, 1, 1, src.dc.get(), 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(IndexAt(*dst.bitmap, 0, 0), 1);
}

TEST(StretchBlt, MonochromeRulesApplyWhenStretching) {
    Canvas mono = MonoCanvas(2, 1);
    SetPixel(*mono, 1, 0, kWhite);
    Canvas dst = DeviceCanvas(4, 1);
    SetTextColor(*dst, RGB(1, 2, 3));
    SetBkColor(*dst, RGB(4, 5, 6));
    ASSERT_TRUE(StretchBlt(*dst, 0, 0, 4, 1, mono.dc.get(), 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(Pixels(*dst, 0, 0, 4, 1),
              (std::vector<COLORREF>{RGB(1, 2, 3), RGB(1, 2, 3), RGB(4, 5, 6), RGB(4, 5, 6)}));
}

TEST(TransparentStretchBlt, LeavesTransparentPixelsAlone) {
    Canvas src = DeviceCanvas(2, 1, RGB(255, 0, 255));
    SetPixel(*src, 1, 0, RGB(0, 255, 0));
    Canvas dst = DeviceCanvas(4, 1, RGB(9, 9, 9));
    ASSERT_TRUE(TransparentStretchBlt(*dst, 0, 0, 4, 1, *src, 0, 0, 2, 1, RGB(255, 0, 255)));
    EXPECT_EQ(Pixels(*dst, 0, 0, 4, 1),
              (std::vector<COLORREF>{RGB(9, 9, 9), RGB(9, 9, 9), RGB(0, 255, 0), RGB(0, 255, 0)}));
}

} // namespace
} // namespace platform
