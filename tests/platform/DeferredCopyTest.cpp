// Whole-bitmap copies onto device bitmaps are made when first needed. Whatever happens to the
// source or the copy afterwards, each must show what an immediate copy would have shown.
#include "GdiTestSupport.h"
#include "platform/Gdi.h"
#include "platform/GdiObjects.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace platform {
namespace {

constexpr int kW = 13; // odd, so rows have padding
constexpr int kH = 7;

COLORREF Pattern(int x, int y) {
    return RGB(uint8_t(x * 17), uint8_t(y * 31), uint8_t((x ^ y) * 9));
}

void Paint(const Canvas& c, int width, int height) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            SetPixel(*c, x, y, Pattern(x, y));
        }
    }
}

// A 24-bit top-down section painted with the pattern.
Canvas PatternSection(int bpp = 24) {
    Canvas c = DibCanvas(DibInfo(kW, -kH, bpp));
    Paint(c, kW, kH);
    return c;
}

bool IsDeferred(const Canvas& c) {
    return c.bitmap->Pixels().Deferred();
}

// The copy an immediate BitBlt makes: two halves, so no whole-bitmap copy is involved.
Canvas ImmediateCopy(const Canvas& source, int width, int height, Canvas target) {
    EXPECT_TRUE(BitBlt(*target, 0, 0, width, height / 2, source.dc.get(), 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(*target, 0, height / 2, width, height - height / 2, source.dc.get(), 0,
                       height / 2, SRCCOPY));
    EXPECT_FALSE(IsDeferred(target));
    return target;
}

Canvas WholeCopy(const Canvas& source, int width, int height, Canvas target) {
    EXPECT_TRUE(BitBlt(*target, 0, 0, width, height, source.dc.get(), 0, 0, SRCCOPY));
    return target;
}

// Rows of a bitmap as a 32-bit DIB would hold them, through the raw-byte path.
std::vector<uint8_t> Bytes32(const Canvas& c, int width, int height) {
    BITMAPINFO info = DibInfo(width, -height, 32);
    std::vector<uint8_t> bits(size_t(width) * 4 * size_t(height));
    EXPECT_EQ(GetDIBits(*c, *c.bitmap, 0, unsigned(height), bits, info, DIB_RGB_COLORS), height);
    return bits;
}

TEST(DeferredCopy, WholeCopyOfASectionReadsLikeAnImmediateCopy) {
    for (const int bpp : {24, 32, 16}) {
        SCOPED_TRACE(bpp);
        Canvas source = PatternSection(bpp);
        Canvas deferred = WholeCopy(source, kW, kH, DeviceCanvas(kW, kH, kRed));
        Canvas immediate = ImmediateCopy(source, kW, kH, DeviceCanvas(kW, kH, kRed));
        ASSERT_TRUE(IsDeferred(deferred));
        // Read while deferred, then again once a write has made the copy real.
        EXPECT_EQ(Pixels(*deferred, 0, 0, kW, kH), Pixels(*immediate, 0, 0, kW, kH));
        EXPECT_EQ(Bytes32(deferred, kW, kH), Bytes32(immediate, kW, kH));
        SetPixel(*deferred, 0, 0, GetPixel(*immediate, 0, 0));
        EXPECT_FALSE(IsDeferred(deferred));
        EXPECT_EQ(Pixels(*deferred, 0, 0, kW, kH), Pixels(*immediate, 0, 0, kW, kH));
        EXPECT_EQ(Bytes32(deferred, kW, kH), Bytes32(immediate, kW, kH));
    }
}

TEST(DeferredCopy, UnusedBitsOfThirtyTwoBitRowsAreCopiedToo) {
    Canvas source = PatternSection(32);
    DIBSECTION ds;
    GetObject(*source.bitmap, ds);
    for (int i = 0; i < kW * kH; ++i) {
        ds.dsBm.bmBits[size_t(i) * 4 + 3] = uint8_t(i); // an alpha channel the device ignores
    }
    Canvas deferred = WholeCopy(source, kW, kH, DeviceCanvas(kW, kH));
    Canvas immediate = ImmediateCopy(source, kW, kH, DeviceCanvas(kW, kH));
    Canvas secondDeferred = WholeCopy(deferred, kW, kH, DeviceCanvas(kW, kH));
    Canvas secondImmediate = ImmediateCopy(immediate, kW, kH, DeviceCanvas(kW, kH));
    EXPECT_EQ(Bytes32(deferred, kW, kH), Bytes32(immediate, kW, kH));
    EXPECT_EQ(Bytes32(secondDeferred, kW, kH), Bytes32(secondImmediate, kW, kH));
}

TEST(DeferredCopy, ConversionsUseTheColoursSetWhenCopying) {
    // Colour to monochrome: pixels of the source's background colour become white.
    Canvas source = PatternSection();
    SetBkColor(*source, Pattern(3, 2));
    Canvas mono = WholeCopy(source, kW, kH, MonoCanvas(kW, kH));
    Canvas monoNow = ImmediateCopy(source, kW, kH, MonoCanvas(kW, kH));
    SetBkColor(*source, kBlack); // too late to matter
    EXPECT_EQ(GetPixel(*mono, 3, 2), kWhite);
    EXPECT_EQ(Pixels(*mono, 0, 0, kW, kH), Pixels(*monoNow, 0, 0, kW, kH));

    // Monochrome to colour: 0 bits take the target's text colour, 1 bits its background.
    Canvas colour = DeviceCanvas(kW, kH);
    SetTextColor(*colour, kRed);
    SetBkColor(*colour, RGB(0, 0, 255));
    ASSERT_TRUE(BitBlt(*colour, 0, 0, kW, kH, monoNow.dc.get(), 0, 0, SRCCOPY));
    ASSERT_TRUE(IsDeferred(colour));
    SetTextColor(*colour, kBlack);
    SetBkColor(*colour, kWhite);
    EXPECT_EQ(GetPixel(*colour, 3, 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(*colour, 0, 0), kRed);
}

TEST(DeferredCopy, TableSourcesKeepTheColoursOfTheirTableAtCopyTime) {
    std::vector<RGBQUAD> table{Quad(kBlack), Quad(kRed), Quad(RGB(0, 255, 0)), Quad(kWhite)};
    Canvas source = DibCanvas(DibInfo(kW, kH, 8, table));
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            SetPixel(*source, x, y, QuadToColor(table[size_t((x + y) % 4)]));
        }
    }
    Canvas first = WholeCopy(source, kW, kH, DeviceCanvas(kW, kH));
    const std::vector<COLORREF> before = Pixels(*source, 0, 0, kW, kH);

    const RGBQUAD blue = Quad(RGB(0, 0, 255));
    SetDIBColorTable(*source, 1, std::span(&blue, 1)); // red entries now show blue
    Canvas second = WholeCopy(source, kW, kH, DeviceCanvas(kW, kH));
    const std::vector<COLORREF> after = Pixels(*source, 0, 0, kW, kH);
    ASSERT_NE(before, after);

    SetPixel(*source, 0, 0, kWhite); // and the source changes under both copies
    EXPECT_EQ(Pixels(*first, 0, 0, kW, kH), before);
    EXPECT_EQ(Pixels(*second, 0, 0, kW, kH), after);
}

TEST(DeferredCopy, WritesToEitherSideStayOnThatSide) {
    Canvas source = DeviceCanvas(kW, kH);
    Paint(source, kW, kH);
    const std::vector<COLORREF> original = Pixels(*source, 0, 0, kW, kH);
    Canvas copy = WholeCopy(source, kW, kH, DeviceCanvas(kW, kH));
    Canvas copyOfCopy = WholeCopy(copy, kW, kH, DeviceCanvas(kW, kH));
    ASSERT_TRUE(IsDeferred(copy));
    ASSERT_TRUE(IsDeferred(copyOfCopy));

    // Drawing on the source.
    HBRUSH brush = CreateBrushIndirect(LOGBRUSH{BS_SOLID, kRed, 0});
    FillRect(*source, RECT{0, 0, 4, 4}, *brush);
    EXPECT_EQ(Pixels(*copy, 0, 0, kW, kH), original);
    // Drawing on one copy.
    SetPixel(*copy, 5, 5, kBlack);
    EXPECT_EQ(GetPixel(*copyOfCopy, 5, 5), original[size_t(5 * kW + 5)]);
    EXPECT_EQ(GetPixel(*source, 5, 5), original[size_t(5 * kW + 5)]);
    EXPECT_EQ(GetPixel(*copy, 5, 5), kBlack);
    EXPECT_EQ(Pixels(*copyOfCopy, 0, 0, kW, kH), original);

    // A copy overwritten as a whole by another picture: a copy taken of it keeps the old one.
    Canvas third = WholeCopy(copy, kW, kH, DeviceCanvas(kW, kH));
    const std::vector<COLORREF> copyPixels = Pixels(*copy, 0, 0, kW, kH);
    WholeCopy(source, kW, kH, std::move(copy));
    EXPECT_EQ(Pixels(*third, 0, 0, kW, kH), copyPixels);
}

TEST(DeferredCopy, SectionMemoryWrittenAfterGdiFlushLeavesCopiesAlone) {
    Canvas source = PatternSection();
    Canvas copy = WholeCopy(source, kW, kH, DeviceCanvas(kW, kH));
    Canvas copyOfCopy = WholeCopy(copy, kW, kH, DeviceCanvas(kW, kH));
    const std::vector<COLORREF> original = Pixels(*source, 0, 0, kW, kH);

    ASSERT_TRUE(GdiFlush());
    DIBSECTION ds;
    GetObject(*source.bitmap, ds);
    std::memset(ds.dsBm.bmBits, 0xFF, size_t(ds.dsBm.bmWidthBytes) * kH);
    EXPECT_EQ(GetPixel(*source, 0, 0), kWhite);
    EXPECT_EQ(Pixels(*copy, 0, 0, kW, kH), original);
    EXPECT_EQ(Pixels(*copyOfCopy, 0, 0, kW, kH), original);
    // The section keeps its address: pointers taken earlier stay valid.
    DIBSECTION again;
    GetObject(*source.bitmap, again);
    EXPECT_EQ(again.dsBm.bmBits, ds.dsBm.bmBits);
}

TEST(DeferredCopy, CopiesOutliveTheirSource) {
    Canvas copy;
    std::vector<COLORREF> original;
    {
        Canvas source = PatternSection();
        original = Pixels(*source, 0, 0, kW, kH);
        copy = WholeCopy(source, kW, kH, DeviceCanvas(kW, kH));
    }
    ASSERT_TRUE(GdiFlush()); // with the source gone there is nothing left to part from
    EXPECT_EQ(Pixels(*copy, 0, 0, kW, kH), original);
    StretchBlt(*copy, 0, 0, kW, kH, copy.dc.get(), 0, 0, kW, kH, SRCCOPY);
    EXPECT_EQ(Pixels(*copy, 0, 0, kW, kH), original);
}

TEST(DeferredCopy, OnlyWholeUnchangedCopiesOntoDeviceBitmapsWait) {
    Canvas source = PatternSection();
    EXPECT_FALSE(IsDeferred(WholeCopy(source, kW, kH, DibCanvas(DibInfo(kW, kH, 32)))));
    EXPECT_FALSE(IsDeferred(WholeCopy(source, kW, kH, DeviceCanvas(kW + 1, kH))));
    Canvas inverted = DeviceCanvas(kW, kH);
    ASSERT_TRUE(BitBlt(*inverted, 0, 0, kW, kH, source.dc.get(), 0, 0, NOTSRCCOPY));
    EXPECT_FALSE(IsDeferred(inverted));
    EXPECT_EQ(GetPixel(*inverted, 2, 3), Pattern(2, 3) ^ 0xFFFFFF);
    // A scaled copy reads a deferred source without making it real.
    Canvas copy = WholeCopy(source, kW, kH, DeviceCanvas(kW, kH));
    Canvas half = DeviceCanvas(kW / 2, kH / 2);
    ASSERT_TRUE(StretchBlt(*half, 0, 0, kW / 2, kH / 2, copy.dc.get(), 0, 0, kW, kH, SRCCOPY));
    EXPECT_TRUE(IsDeferred(copy));
    EXPECT_EQ(GetPixel(*half, 1, 1), Pattern(3, 3));
}

} // namespace
} // namespace platform
