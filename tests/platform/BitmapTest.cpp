#include "GdiTestSupport.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"

#include <cstring>
#include <gtest/gtest.h>

namespace platform {
namespace {

// ---- Device-dependent bitmaps -------------------------------------------------------------

TEST(DeviceBitmap, CompatibleWithTheScreenIsBlackBgrx) {
    HBITMAP b = CreateCompatibleBitmap(GetScreenDC(), 5, 3);
    ASSERT_TRUE(b);
    DIBSECTION ds;
    EXPECT_EQ(GetObject(*b, ds), kBitmapObjectSize);
    EXPECT_EQ(ds.dsBm.bmWidth, 5);
    EXPECT_EQ(ds.dsBm.bmHeight, 3);
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(ds.dsBm.bmPlanes, 1);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 20);
    EXPECT_EQ(ds.dsBm.bmBits, nullptr);
    Canvas c(std::move(b));
    EXPECT_EQ(Pixels(*c, 0, 0, 5, 3), std::vector<COLORREF>(15, kBlack));
}

TEST(DeviceBitmap, ZeroSizeGivesTheStockMonochromeBitmapAndNegativeIsRefused) {
    HBITMAP empty = CreateCompatibleBitmap(GetScreenDC(), 0, 10);
    ASSERT_TRUE(empty);
    BITMAP bm;
    GetObject(*empty, bm);
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    SetLastError(0);
    EXPECT_FALSE(CreateCompatibleBitmap(GetScreenDC(), -1, 10));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(CreateBitmap(10, -1, 1, 1));
}

TEST(DeviceBitmap, AFreshMemoryContextMakesMonochromeBitmaps) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(*dc, 17, 2);
    BITMAP bm;
    GetObject(*b, bm);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(bm.bmWidthBytes, 4); // word-aligned rows
}

TEST(DeviceBitmap, CreateBitmapReadsWordAlignedRowsTopFirst) {
    // 10 pixels wide: two bytes per row. Row 0: 1000 0000 01.., row 1: 0111 1111 10..
    const std::vector<uint8_t> bits{0x80, 0x40, 0x7F, 0x80};
    Canvas c(CreateBitmap(10, 2, 1, 1, bits));
    ASSERT_TRUE(c.bitmap);
    EXPECT_EQ(Pixels(*c, 0, 0, 10, 1),
              (std::vector<COLORREF>{kWhite, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack,
                                     kBlack, kWhite}));
    EXPECT_EQ(GetPixel(*c, 0, 1), kBlack);
    EXPECT_EQ(GetPixel(*c, 7, 1), kWhite);
    EXPECT_EQ(GetPixel(*c, 8, 1), kWhite);
    EXPECT_EQ(GetPixel(*c, 9, 1), kBlack);
}

TEST(DeviceBitmap, CreateBitmapOfThirtyTwoBitsAndShortData) {
    const std::vector<uint8_t> bits{0x10, 0x20, 0x30, 0x00}; // blue, green, red, unused
    Canvas c(CreateBitmap(2, 1, 1, 32, bits));
    ASSERT_TRUE(c.bitmap);
    EXPECT_EQ(GetPixel(*c, 0, 0), RGB(0x30, 0x20, 0x10));
    EXPECT_EQ(GetPixel(*c, 1, 0), kBlack);
    EXPECT_FALSE(CreateBitmap(2, 2, 1, 8));
}

// ---- Size limits --------------------------------------------------------------------------

TEST(SizeLimits, HugeBitmapsAreRefusedBeforeAllocating) {
    SetLastError(0);
    EXPECT_FALSE(CreateCompatibleBitmap(GetScreenDC(), 100000, 100000));
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(CreateCompatibleBitmap(GetScreenDC(), 16385, 16384)); // just over 256 Mpx
    EXPECT_FALSE(CreateBitmap(0x7FFFFFFF, 0x7FFFFFFF, 1, 1));
    // 1 bit per pixel is small in bytes but still over the pixel limit.
    EXPECT_FALSE(CreateDIBSection(nullptr, DibInfo(20000, 20000, 1), DIB_RGB_COLORS));
    EXPECT_FALSE(CreateDIBSection(nullptr, DibInfo(16385, -16384, 32), DIB_RGB_COLORS));
    EXPECT_FALSE(CreateDIBSection(nullptr, DibInfo(0x7FFFFFFF, -0x7FFFFFFF, 24), DIB_RGB_COLORS));
    BITMAPINFO info = DibInfo(1, 1, 8);
    info.bmiHeader.biHeight = INT32_MIN; // its magnitude does not fit 32 bits
    EXPECT_FALSE(CreateDIBSection(nullptr, info, DIB_RGB_COLORS));
    EXPECT_FALSE(CreateDIBitmap(GetScreenDC(), DibInfo(70000, 70000, 8), {}, DIB_RGB_COLORS));
}

// ---- DIB sections -------------------------------------------------------------------------

TEST(DibSection, RowsAreDwordAlignedAndZeroed) {
    struct Case {
        int width, bpp, stride;
    };
    for (Case k : {Case{33, 1, 8}, Case{9, 4, 8}, Case{5, 8, 8}, Case{3, 16, 8}, Case{3, 24, 12},
                   Case{3, 32, 12}, Case{1, 24, 4}}) {
        HBITMAP b = CreateDIBSection(nullptr, DibInfo(k.width, 3, k.bpp), DIB_RGB_COLORS);
        ASSERT_TRUE(b) << k.bpp;
        DIBSECTION ds;
        EXPECT_EQ(GetObject(*b, ds), kDibSectionObjectSize);
        EXPECT_EQ(ds.dsBm.bmWidthBytes, k.stride) << k.width << "x" << k.bpp;
        EXPECT_EQ(ds.dsBmih.biSizeImage, uint32_t(k.stride * 3));
        ASSERT_NE(ds.dsBm.bmBits, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(ds.dsBm.bmBits) % 4, 0u);
        for (int i = 0; i < k.stride * 3; ++i) {
            ASSERT_EQ(ds.dsBm.bmBits[i], 0);
        }
    }
}

TEST(DibSection, DescriptionKeepsTheHeaderAndMasks) {
    BITMAPINFO info = DibInfo(7, -4, 16);
    info.bmiHeader.biCompression = BI_BITFIELDS;
    info.bmiMasks = {0xF800, 0x07E0, 0x001F};
    info.bmiHeader.biXPelsPerMeter = 3780;
    HBITMAP b = CreateDIBSection(nullptr, info, DIB_RGB_COLORS);
    ASSERT_TRUE(b);
    DIBSECTION ds;
    GetObject(*b, ds);
    EXPECT_EQ(ds.dsBm.bmHeight, 4);
    EXPECT_EQ(ds.dsBmih.biSize, 40u);
    EXPECT_EQ(ds.dsBmih.biHeight, -4);
    EXPECT_EQ(ds.dsBmih.biBitCount, 16);
    EXPECT_EQ(ds.dsBmih.biCompression, BI_BITFIELDS);
    EXPECT_EQ(ds.dsBmih.biXPelsPerMeter, 3780);
    EXPECT_EQ(ds.dsBitfields, (std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F}));

    HBITMAP plain = CreateDIBSection(nullptr, DibInfo(2, 2, 16), DIB_RGB_COLORS);
    GetObject(*plain, ds);
    EXPECT_EQ(ds.dsBitfields, (std::array<uint32_t, 3>{0x7C00, 0x03E0, 0x001F}));
}

TEST(DibSection, BitfieldMasksOfLargerHeadersComeFromTheExtraBytes) {
    BITMAPINFO info = DibInfo(1, 1, 32);
    info.bmiHeader.biSize = 108;
    info.bmiHeader.biCompression = BI_BITFIELDS;
    info.bmiExtraHeader.assign(68, 0);
    const uint32_t masks[3] = {0x000000FF, 0x0000FF00, 0x00FF0000}; // red in the low byte
    std::memcpy(info.bmiExtraHeader.data(), masks, sizeof masks);
    Canvas c = DibCanvas(info);
    ASSERT_TRUE(c.bitmap);
    SetPixel(*c, 0, 0, RGB(0x11, 0x22, 0x33));
    DIBSECTION ds;
    GetObject(*c.bitmap, ds);
    EXPECT_EQ(ds.dsBm.bmBits[0], 0x11);
    EXPECT_EQ(ds.dsBm.bmBits[2], 0x33);
    EXPECT_EQ(GetPixel(*c, 0, 0), RGB(0x11, 0x22, 0x33));
}

TEST(DibSection, BottomUpAndTopDownRowOrder) {
    for (int height : {3, -3}) {
        Canvas c = DibCanvas(DibInfo(4, height, 8, {Quad(kBlack), Quad(kWhite)}));
        SetPixel(*c, 0, 0, kWhite); // top-left
        DIBSECTION ds;
        GetObject(*c.bitmap, ds);
        const int memoryRow = height > 0 ? 2 : 0;
        EXPECT_EQ(ds.dsBm.bmBits[memoryRow * ds.dsBm.bmWidthBytes], 1) << height;
        EXPECT_EQ(ds.dsBm.bmBits[(2 - memoryRow) * ds.dsBm.bmWidthBytes], 0) << height;
    }
}

TEST(DibSection, PixelMemoryStaysAtItsAddress) {
    Canvas c = DibCanvas(DibInfo(16, 16, 24));
    DIBSECTION before;
    GetObject(*c.bitmap, before);
    HBRUSH brush = CreateBrushIndirect(LOGBRUSH{BS_SOLID, RGB(1, 2, 3), 0});
    FillRect(*c, RECT{0, 0, 16, 16}, *brush);
    DIBSECTION after;
    GetObject(*c.bitmap, after);
    EXPECT_EQ(before.dsBm.bmBits, after.dsBm.bmBits);
    EXPECT_EQ(after.dsBm.bmBits[0], 3); // blue, green, red
    EXPECT_EQ(after.dsBm.bmBits[2], 1);
}

TEST(DibSection, UnsupportedLayoutsAreRefused) {
    for (auto [bpp, compression] :
         {std::pair{2, BI_RGB}, std::pair{8, BI_RLE8}, std::pair{4, BI_RLE4},
          std::pair{24, BI_BITFIELDS}, std::pair{8, 7u}}) {
        BITMAPINFO info = DibInfo(4, 4, bpp);
        info.bmiHeader.biCompression = compression;
        SetLastError(0);
        EXPECT_FALSE(CreateDIBSection(nullptr, info, DIB_RGB_COLORS)) << bpp;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_FALSE(CreateDIBSection(nullptr, DibInfo(0, 4, 8), DIB_RGB_COLORS));
    EXPECT_FALSE(CreateDIBSection(nullptr, DibInfo(4, 0, 8), DIB_RGB_COLORS));
    BITMAPINFO zeroMasks = DibInfo(4, 4, 16);
    zeroMasks.bmiHeader.biCompression = BI_BITFIELDS;
    EXPECT_FALSE(CreateDIBSection(nullptr, zeroMasks, DIB_RGB_COLORS));
}

TEST(DibSection, ColourTableOfTheSelectedSection) {
    Canvas c = DibCanvas(DibInfo(2, 1, 8, {Quad(kBlack), Quad(RGB(255, 0, 0))}));
    std::array<RGBQUAD, 4> table{};
    EXPECT_EQ(GetDIBColorTable(*c, 0, table), 2u);
    EXPECT_EQ(table[1], Quad(RGB(255, 0, 0)));
    SetPixel(*c, 1, 0, RGB(255, 0, 0));
    const std::array<RGBQUAD, 2> replacement{Quad(RGB(0, 255, 0)), Quad(RGB(0, 0, 255))};
    EXPECT_EQ(SetDIBColorTable(*c, 1, replacement), 2u); // grows the used part
    EXPECT_EQ(GetPixel(*c, 1, 0), RGB(0, 255, 0));       // same index, new colour
    EXPECT_EQ(GetDIBColorTable(*c, 0, table), 3u);
    EXPECT_EQ(GetDIBColorTable(*c, 5, table), 0u);
    EXPECT_EQ(SetDIBColorTable(*c, 300, replacement), 0u);

    Canvas device = DeviceCanvas(2, 2);
    EXPECT_EQ(GetDIBColorTable(*device, 0, table), 0u);
}

// ---- CreateDIBitmap -----------------------------------------------------------------------

TEST(CreateDIBitmap, EightBitBottomUpRowsWithShortData) {
    const std::vector<RGBQUAD> table{Quad(RGB(10, 20, 30)), Quad(RGB(255, 0, 0)),
                                     Quad(RGB(0, 0, 255))};
    const BITMAPINFO info = DibInfo(3, 3, 8, table);
    // Rows of 4 bytes, bottom row first; the top row is missing.
    const std::vector<uint8_t> bits{1, 2, 1, 0, 2, 2, 2, 0};
    Canvas c(CreateDIBitmap(GetScreenDC(), info, bits, DIB_RGB_COLORS));
    ASSERT_TRUE(c.bitmap);
    DIBSECTION ds;
    EXPECT_EQ(GetObject(*c.bitmap, ds), kBitmapObjectSize); // a device bitmap
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(Pixels(*c, 0, 2, 3, 3),
              (std::vector<COLORREF>{RGB(255, 0, 0), RGB(0, 0, 255), RGB(255, 0, 0)}));
    EXPECT_EQ(GetPixel(*c, 1, 1), RGB(0, 0, 255));
    EXPECT_EQ(Pixels(*c, 0, 0, 3, 1), std::vector<COLORREF>(3, RGB(10, 20, 30)));
}

TEST(CreateDIBitmap, TopDownFourAndOneBitRows) {
    const std::vector<RGBQUAD> table{Quad(kBlack), Quad(kWhite), Quad(RGB(0, 128, 0))};
    const std::vector<uint8_t> four{0x12, 0x00, 0x00, 0x00, 0x21, 0x00, 0x00, 0x00};
    Canvas c(CreateDIBitmap(GetScreenDC(), DibInfo(2, -2, 4, table), four, DIB_RGB_COLORS));
    EXPECT_EQ(Pixels(*c, 0, 0, 2, 2),
              (std::vector<COLORREF>{kWhite, RGB(0, 128, 0), RGB(0, 128, 0), kWhite}));
    const std::vector<uint8_t> one{0xA0, 0, 0, 0};
    Canvas m(CreateDIBitmap(GetScreenDC(), DibInfo(3, 1, 1, {Quad(RGB(9, 9, 9)), Quad(kWhite)}),
                            one, DIB_RGB_COLORS));
    EXPECT_EQ(Pixels(*m, 0, 0, 3, 1), (std::vector<COLORREF>{kWhite, RGB(9, 9, 9), kWhite}));
}

TEST(CreateDIBitmap, TrueColourAndBitfieldRows) {
    const std::vector<uint8_t> bgr{0x30, 0x20, 0x10, 0x00}; // one 24-bit pixel, padded row
    Canvas c(CreateDIBitmap(GetScreenDC(), DibInfo(1, 1, 24), bgr, DIB_RGB_COLORS));
    EXPECT_EQ(GetPixel(*c, 0, 0), RGB(0x10, 0x20, 0x30));
    BITMAPINFO info = DibInfo(2, 1, 16);
    info.bmiHeader.biCompression = BI_BITFIELDS;
    info.bmiMasks = {0xF800, 0x07E0, 0x001F};
    const std::vector<uint8_t> rgb565{0x00, 0xF8, 0xE0, 0x07}; // red, green
    Canvas d(CreateDIBitmap(GetScreenDC(), info, rgb565, DIB_RGB_COLORS));
    EXPECT_EQ(Pixels(*d, 0, 0, 2, 1), (std::vector<COLORREF>{RGB(255, 0, 0), RGB(0, 255, 0)}));
}

TEST(CreateDIBitmap, RunLengthDataIsDecodedBottomRowFirst) {
    const std::vector<RGBQUAD> table{Quad(kBlack), Quad(RGB(255, 0, 0)), Quad(RGB(0, 0, 255))};
    BITMAPINFO info = DibInfo(3, 2, 8, table);
    info.bmiHeader.biCompression = BI_RLE8;
    // Bottom row: three pixels of index 1; end of line; top row: one pixel of index 2; end.
    const std::vector<uint8_t> bits{3, 1, 0, 0, 1, 2, 0, 1};
    Canvas c(CreateDIBitmap(GetScreenDC(), info, bits, DIB_RGB_COLORS));
    ASSERT_TRUE(c.bitmap);
    EXPECT_EQ(Pixels(*c, 0, 1, 3, 2), std::vector<COLORREF>(3, RGB(255, 0, 0)));
    // Pixels the data does not reach keep colour 0 of the table.
    EXPECT_EQ(Pixels(*c, 0, 0, 3, 1), (std::vector<COLORREF>{RGB(0, 0, 255), kBlack, kBlack}));
}

// ---- GetDIBits ----------------------------------------------------------------------------

TEST(GetDIBits, QueryModesDescribeTheBitmapAndItsTable) {
    HBITMAP b = CreateCompatibleBitmap(GetScreenDC(), 7, 5);
    BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    ASSERT_NE(GetDIBits(GetScreenDC(), *b, 0, 5, {}, info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.bmiHeader.biWidth, 7);
    EXPECT_EQ(info.bmiHeader.biHeight, 5);
    EXPECT_EQ(info.bmiHeader.biBitCount, 32);
    EXPECT_EQ(info.bmiHeader.biSizeImage, 7u * 4 * 5);
    EXPECT_EQ(info.bmiHeader.biCompression, BI_BITFIELDS);
    EXPECT_EQ(info.bmiMasks, (std::array<uint32_t, 3>{0xFF0000, 0xFF00, 0xFF}));

    BITMAPINFO eight = DibInfo(7, 5, 8);
    ASSERT_NE(GetDIBits(GetScreenDC(), *b, 0, 5, {}, eight, DIB_RGB_COLORS), 0);
    EXPECT_EQ(eight.bmiColors.size(), 256u);
    BITMAPINFO one = DibInfo(7, 5, 1);
    GetDIBits(GetScreenDC(), *b, 0, 5, {}, one, DIB_RGB_COLORS);
    EXPECT_EQ(one.bmiColors, (std::vector<RGBQUAD>{Quad(kBlack), Quad(kWhite)}));
}

TEST(GetDIBits, RoundTripThirtyTwoToTwentyFourToEight) {
    const std::vector<RGBQUAD> table{Quad(kBlack), Quad(RGB(255, 0, 0)), Quad(RGB(0, 255, 0)),
                                     Quad(RGB(0, 0, 255)), Quad(kWhite)};
    Canvas original = DeviceCanvas(5, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const RGBQUAD q = table[size_t((x + y) % 5)];
            SetPixel(*original, x, y, RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
        }
    }
    BITMAPINFO info24 = DibInfo(5, 3, 24);
    std::vector<uint8_t> bits24(16 * 3);
    ASSERT_EQ(GetDIBits(*original, *original.bitmap, 0, 3, bits24, info24, DIB_RGB_COLORS), 3);
    // Bottom-up: the first row in memory is the bitmap's last row; pixel 0 there is table[2].
    EXPECT_EQ(bits24[0], 0x00);
    EXPECT_EQ(bits24[1], 0xFF);
    EXPECT_EQ(bits24[2], 0x00);

    Canvas middle(CreateDIBitmap(GetScreenDC(), info24, bits24, DIB_RGB_COLORS));
    EXPECT_EQ(Pixels(*middle, 0, 0, 5, 3), Pixels(*original, 0, 0, 5, 3));

    BITMAPINFO info8 = DibInfo(5, -3, 8, table);
    std::vector<uint8_t> bits8(8 * 3);
    ASSERT_EQ(GetDIBits(*middle, *middle.bitmap, 0, 3, bits8, info8, DIB_RGB_COLORS), 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(bits8[size_t(y * 8 + x)], (x + y) % 5) << x << "," << y;
        }
    }
    Canvas back(CreateDIBitmap(GetScreenDC(), info8, bits8, DIB_RGB_COLORS));
    EXPECT_EQ(Pixels(*back, 0, 0, 5, 3), Pixels(*original, 0, 0, 5, 3));
}

TEST(GetDIBits, ScanLinesCountFromTheBottomInBottomUpLayouts) {
    Canvas c = DeviceCanvas(1, 4);
    for (int y = 0; y < 4; ++y) {
        SetPixel(*c, 0, y, RGB(uint8_t(y * 10), 0, 0));
    }
    BITMAPINFO up = DibInfo(1, 4, 32);
    std::vector<uint8_t> two(8);
    ASSERT_EQ(GetDIBits(*c, *c.bitmap, 1, 2, two, up, DIB_RGB_COLORS), 2);
    EXPECT_EQ(two[2], 20); // scan line 1 from the bottom is row 2
    EXPECT_EQ(two[6], 10);
    BITMAPINFO down = DibInfo(1, -4, 32);
    ASSERT_EQ(GetDIBits(*c, *c.bitmap, 1, 2, two, down, DIB_RGB_COLORS), 2);
    EXPECT_EQ(two[2], 10);
    EXPECT_EQ(two[6], 20);
    std::vector<uint8_t> all(16);
    EXPECT_EQ(GetDIBits(*c, *c.bitmap, 2, 10, all, up, DIB_RGB_COLORS), 2); // clamped
}

TEST(GetDIBits, RefusesAShortBufferAndBadLayouts) {
    Canvas c = DeviceCanvas(10, 10);
    BITMAPINFO info = DibInfo(10, 10, 24);
    std::vector<uint8_t> small(32 * 10 - 1);
    SetLastError(0);
    EXPECT_EQ(GetDIBits(*c, *c.bitmap, 0, 10, small, info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    std::vector<uint8_t> enough(32 * 10);
    BITMAPINFO rle = DibInfo(10, 10, 8);
    rle.bmiHeader.biCompression = BI_RLE8;
    EXPECT_EQ(GetDIBits(*c, *c.bitmap, 0, 10, enough, rle, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(*c, *c.bitmap, 10, 1, enough, info, DIB_RGB_COLORS), 0);
}

TEST(GetDIBits, MonochromeBitmapGivesItsBitsAsBlackAndWhite) {
    Canvas m = MonoCanvas(3, 1);
    SetPixel(*m, 1, 0, kWhite);
    SetTextColor(*m, RGB(255, 0, 0)); // text colours play no part here
    BITMAPINFO info = DibInfo(3, 1, 1);
    std::vector<uint8_t> bits(4);
    ASSERT_EQ(GetDIBits(*m, *m.bitmap, 0, 1, bits, info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(bits[0], 0x40);
    EXPECT_EQ(info.bmiColors, (std::vector<RGBQUAD>{Quad(kBlack), Quad(kWhite)}));
}

TEST(GetDIBits, SixteenBitOutputPacksTheChannels) {
    Canvas c = DeviceCanvas(1, 1, RGB(0xFF, 0x80, 0x08));
    BITMAPINFO info = DibInfo(1, 1, 16);
    std::vector<uint8_t> bits(4);
    ASSERT_EQ(GetDIBits(*c, *c.bitmap, 0, 1, bits, info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(bits[0] | (bits[1] << 8), (31 << 10) | (16 << 5) | 1); // 5-5-5
    info.bmiHeader.biCompression = BI_BITFIELDS;
    info.bmiMasks = {0xF800, 0x07E0, 0x001F};
    ASSERT_EQ(GetDIBits(*c, *c.bitmap, 0, 1, bits, info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(bits[0] | (bits[1] << 8), (31 << 11) | (32 << 5) | 1); // 5-6-5
}

// ---- Selection ----------------------------------------------------------------------------

TEST(Selection, ABitmapLivesInOneContextAtATime) {
    HBITMAP b = CreateCompatibleBitmap(GetScreenDC(), 2, 2);
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(nullptr);
    auto previous = SelectObject(*first, *b);
    ASSERT_TRUE(previous);
    EXPECT_EQ(GetObjectType(*previous), ObjectType::Bitmap);
    EXPECT_FALSE(SelectObject(*second, *b));
    EXPECT_EQ(SelectObject(*first, *b).get(), b.get()); // reselecting is harmless
    SelectObject(*first, *previous);
    EXPECT_TRUE(SelectObject(*second, *b));
    second.reset();
    EXPECT_TRUE(SelectObject(*first, *b)); // a deleted context lets go
    EXPECT_FALSE(SelectObject(GetScreenDC(), *b));
}

TEST(Selection, TheStockBitmapIsSharedByEveryContext) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    auto stockA = GetCurrentObject(*a, ObjectType::Bitmap);
    EXPECT_EQ(stockA, GetCurrentObject(*b, ObjectType::Bitmap));
    BITMAP bm;
    GetObject(static_cast<GdiBitmap&>(*stockA), bm);
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmBitsPixel, 1);
}

TEST(Selection, ASelectedObjectOutlivesItsHandle) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(GetScreenDC(), 2, 2);
    HPEN pen = CreatePenIndirect(LOGPEN{PS_SOLID, {1, 0}, RGB(255, 0, 0)});
    auto stock = SelectObject(*dc, *b);
    SelectObject(*dc, *pen);
    b.reset();
    pen.reset();
    MoveToEx(*dc, 0, 0, nullptr);
    LineTo(*dc, 2, 0);
    EXPECT_EQ(GetPixel(*dc, 1, 0), RGB(255, 0, 0));
    SelectObject(*dc, *stock);
}

TEST(Selection, MemoryContextDefaults) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGPEN pen;
    GetObject(static_cast<GdiPen&>(*GetCurrentObject(*dc, ObjectType::Pen)), pen);
    EXPECT_EQ(pen.lopnStyle, PS_SOLID);
    EXPECT_EQ(pen.lopnColor, kBlack);
    LOGBRUSH brush;
    GetObject(static_cast<GdiBrush&>(*GetCurrentObject(*dc, ObjectType::Brush)), brush);
    EXPECT_EQ(brush.lbStyle, BS_SOLID);
    EXPECT_EQ(brush.lbColor, kWhite);
    LOGFONT font;
    GetObject(static_cast<GdiFont&>(*GetCurrentObject(*dc, ObjectType::Font)), font);
    EXPECT_EQ(font.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(font.lfHeight, -11);
    uint16_t entries = 0;
    GetObject(static_cast<GdiPalette&>(*GetCurrentObject(*dc, ObjectType::Palette)), entries);
    EXPECT_EQ(entries, 20);
    EXPECT_EQ(GetTextColor(*dc), kBlack);
    EXPECT_EQ(GetBkColor(*dc), kWhite);
    EXPECT_EQ(GetBkMode(*dc), OPAQUE);
    EXPECT_EQ(GetROP2(*dc), R2_COPYPEN);
    EXPECT_EQ(SetStretchBltMode(*dc, HALFTONE), BLACKONWHITE);
    EXPECT_EQ(SetStretchBltMode(*dc, 99), 0);
    EXPECT_EQ(SetROP2(*dc, 0), 0);
    EXPECT_EQ(GetROP2(*dc), R2_COPYPEN);
    POINT origin{5, 5};
    EXPECT_TRUE(GetWindowOrgEx(*dc, &origin));
    EXPECT_EQ(origin, (POINT{0, 0}));
}

TEST(Selection, PalettesSelectOnlyThroughSelectPalette) {
    HDC dc = CreateCompatibleDC(nullptr);
    HPALETTE palette = CreateHalftonePalette(nullptr);
    EXPECT_FALSE(SelectObject(*dc, *palette));
    auto previous = SelectPalette(*dc, *palette, true);
    ASSERT_TRUE(previous);
    EXPECT_EQ(GetCurrentObject(*dc, ObjectType::Palette).get(), palette.get());
    EXPECT_EQ(RealizePalette(*dc), 0u); // a true-colour display maps nothing
    EXPECT_EQ(SelectPalette(*dc, *previous, true).get(), palette.get());
}

} // namespace
} // namespace platform
