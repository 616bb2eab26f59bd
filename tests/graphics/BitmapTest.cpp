// The bitmap: sizes, storage kinds, copy on write, resize fills, pixel formats and rows,
// palettes, hand-over values, stretching and saving.
#include "graphics/Bitmap.h"

#include "TestSupport.h"
#include "graphics/Exceptions.h"
#include "graphics/ImageControl.h"
#include "graphics/Stream.h"
#include "platform/Clipboard.h"
#include "platform/DeviceContext.h"
#include "platform/Gdi.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace graphics {
namespace {

using test::MakeTrueColor;
using test::Pixel;

// Every pixel of the bitmap in [x0, x1) x [y0, y1) has colour.
bool AllOf(TBitmap& b, int x0, int y0, int x1, int y1, uint32_t colour) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (Pixel(b, x, y) != colour)
                return false;
    return true;
}

TEST(BitmapSize, NewBitmapIsEmptyDeviceDependent) {
    TBitmap bitmap;
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.Width(), 0);
    EXPECT_EQ(bitmap.Height(), 0);
    EXPECT_EQ(bitmap.StorageKind(), bmDDB);
    EXPECT_EQ(bitmap.PixelFormat(), pfDevice);
    EXPECT_EQ(bitmap.ImageReferenceCount(), 1);
}

TEST(BitmapSize, WidthThenHeightMakesAWhiteDeviceBitmap) {
    TBitmap bitmap;
    bitmap.ResizeWidth(495);
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.Width(), 495);
    EXPECT_EQ(bitmap.Height(), 0);
    bitmap.ResizeHeight(315);
    EXPECT_FALSE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.Width(), 495);
    EXPECT_EQ(bitmap.Height(), 315);
    EXPECT_EQ(bitmap.StorageKind(), bmDDB);
    EXPECT_EQ(bitmap.PixelFormat(), pfDevice);
    EXPECT_TRUE(AllOf(bitmap, 0, 0, 495, 315, 0xFFFFFF));
}

TEST(BitmapSize, SettingTheCurrentSizeFiresNoChange) {
    auto bitmap = MakeTrueColor(10, 10);
    int changes = 0;
    bitmap->OnChange = [&](TGraphic&) { ++changes; };
    bitmap->ResizeWidth(10);
    bitmap->ResizeHeight(10);
    bitmap->SetSize(10, 10);
    EXPECT_EQ(changes, 0);
    bitmap->ResizeWidth(11);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(bitmap->Modified());
}

TEST(BitmapSize, GrowingWithoutCanvasFillsWhiteAndKeepsOldPixels) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(100, 100);
    // Paint the pixels through the rows, so the bitmap never gets a canvas.
    for (int y = 0; y < 100; ++y) {
        auto row = bitmap.RowAddress(y);
        for (int x = 0; x < 100; ++x) {
            row[x * 3] = uint8_t(x);
            row[x * 3 + 1] = uint8_t(y);
            row[x * 3 + 2] = 0x80;
        }
    }
    ASSERT_FALSE(bitmap.HasCanvas());
    bitmap.ResizeWidth(200);
    ASSERT_FALSE(bitmap.HasCanvas());
    EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
    for (int y = 0; y < 100; y += 7) {
        auto row = bitmap.RowAddress(y);
        for (int x = 0; x < 100; x += 9) {
            EXPECT_EQ(row[x * 3], uint8_t(x));
            EXPECT_EQ(row[x * 3 + 1], uint8_t(y));
        }
        for (int x = 100; x < 200; ++x)
            EXPECT_EQ(row[x * 3] & row[x * 3 + 1] & row[x * 3 + 2], 0xFF) << x;
    }
}

TEST(BitmapSize, GrowingWithACanvasFillsWithItsBrush) {
    auto bitmap = MakeTrueColor(100, 100, clRed);
    bitmap->Canvas().Brush().SetColor(clBlack);
    bitmap->ResizeWidth(200);
    EXPECT_TRUE(AllOf(*bitmap, 0, 0, 100, 100, 0x0000FF));
    EXPECT_TRUE(AllOf(*bitmap, 100, 0, 200, 100, 0x000000));
    bitmap->ResizeHeight(150);
    EXPECT_TRUE(AllOf(*bitmap, 0, 100, 200, 150, 0x000000));
    EXPECT_TRUE(AllOf(*bitmap, 0, 0, 100, 100, 0x0000FF));
}

TEST(BitmapSize, ShrinkingKeepsTheTopLeftPart) {
    auto bitmap = MakeTrueColor(40, 40);
    bitmap->Canvas().SetPixelAt(5, 5, clRed);
    bitmap->Canvas().SetPixelAt(30, 30, clBlue);
    bitmap->SetSize(20, 20);
    EXPECT_EQ(bitmap->Width(), 20);
    EXPECT_EQ(Pixel(*bitmap, 5, 5), 0x0000FFu);
}

TEST(BitmapSize, ZeroSizeEmptiesTheStorage) {
    auto bitmap = MakeTrueColor(10, 10);
    bitmap->ResizeHeight(0);
    EXPECT_TRUE(bitmap->IsEmpty());
    EXPECT_EQ(bitmap->Width(), 10);
}

TEST(CopyOnWrite, AssignmentSharesTheImage) {
    auto source = MakeTrueColor(50, 40, clGreen);
    TBitmap copy;
    int changes = 0;
    copy.OnChange = [&](TGraphic&) { ++changes; };
    copy.CopyFrom(source.get());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(copy.SharesImageWith(*source));
    EXPECT_EQ(copy.ImageReferenceCount(), 2);
    EXPECT_EQ(copy.Width(), 50);
    EXPECT_EQ(copy.Height(), 40);
    EXPECT_EQ(copy.PixelFormat(), pf32bit);
}

TEST(CopyOnWrite, DrawingOnOneCopyNeverShowsInTheOther) {
    auto first = MakeTrueColor(60, 30);
    TBitmap second;
    second.CopyFrom(first.get());
    second.Canvas().Font().SetColor(clBlack);
    second.Canvas().DrawTextAt(2, 2, "QSL");
    EXPECT_FALSE(second.SharesImageWith(*first));
    EXPECT_EQ(first->ImageReferenceCount(), 1);
    EXPECT_TRUE(AllOf(*first, 0, 0, 60, 30, 0xFFFFFF));
    EXPECT_FALSE(AllOf(second, 0, 0, 60, 30, 0xFFFFFF));

    // And the other way round, on the original.
    TBitmap third;
    third.CopyFrom(first.get());
    first->Canvas().Pen().SetColor(clRed);
    first->Canvas().MovePenTo(0, 10);
    first->Canvas().DrawLineTo(60, 10);
    EXPECT_EQ(Pixel(*first, 5, 10), 0x0000FFu);
    EXPECT_EQ(Pixel(third, 5, 10), 0xFFFFFFu);
}

TEST(CopyOnWrite, SharedDeviceBitmapCopiesToo) {
    TBitmap a;
    a.ResizeWidth(30);
    a.ResizeHeight(20);
    TBitmap b;
    b.CopyFrom(&a);
    b.Canvas().Brush().SetColor(clBlue);
    b.Canvas().FillArea({0, 0, 30, 20});
    EXPECT_EQ(b.StorageKind(), bmDDB);
    EXPECT_TRUE(AllOf(a, 0, 0, 30, 20, 0xFFFFFF));
    EXPECT_TRUE(AllOf(b, 0, 0, 30, 20, 0xFF0000));
}

// A one-bit picture shared with a card keeps its own black and white when the card's first
// drawing makes the private copy, whatever colours the card's canvas holds.
TEST(CopyOnWrite, APrivateCopyKeepsAOneBitTable) {
    TBitmap mono;
    mono.SetPixelFormat(pf1bit);
    mono.SetSize(8, 2);
    mono.RowAddress(0)[0] = 0x0F; // four black pixels, then four white
    ASSERT_EQ(Pixel(mono, 0, 0), 0x000000u);
    ASSERT_EQ(Pixel(mono, 7, 0), 0xFFFFFFu);

    TBitmap card;
    card.CopyFrom(&mono);
    card.Canvas().Font().SetColor(clRed);
    card.Canvas().Brush().SetColor(clBlue);
    card.Canvas().SetPixelAt(0, 1, clBlack);
    EXPECT_FALSE(card.SharesImageWith(mono));
    EXPECT_EQ(card.PixelFormat(), pf1bit);
    for (int x = 0; x < 8; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(Pixel(card, x, 0), x < 4 ? 0x000000u : 0xFFFFFFu);
        EXPECT_EQ(Pixel(mono, x, 0), x < 4 ? 0x000000u : 0xFFFFFFu);
    }
}

TEST(CopyOnWrite, MeasuringAndMovingDoNotCopy) {
    auto first = MakeTrueColor(20, 20);
    TBitmap second;
    second.CopyFrom(first.get());
    second.Canvas().MeasureText("abc");
    second.Canvas().MovePenTo(3, 3);
    second.Canvas().PixelAt(1, 1);
    EXPECT_TRUE(second.SharesImageWith(*first));
}

TEST(CopyOnWrite, AskingForTheHandleMakesAPrivateCopy) {
    auto first = MakeTrueColor(20, 20);
    TBitmap second;
    second.CopyFrom(first.get());
    platform::GdiBitmap* handle = second.HandleOf();
    EXPECT_NE(handle, nullptr);
    EXPECT_FALSE(second.SharesImageWith(*first));
}

TEST(CopyOnWrite, AssigningNullEmptiesAndFreedSharerLeavesTheImage) {
    auto first = MakeTrueColor(20, 20, clRed);
    auto second = std::make_unique<TBitmap>();
    second->CopyFrom(first.get());
    first.reset();
    EXPECT_EQ(second->ImageReferenceCount(), 1);
    EXPECT_EQ(Pixel(*second, 3, 3), 0x0000FFu);
    second->Canvas().SetPixelAt(0, 0, clBlue); // no copy needed now
    EXPECT_EQ(Pixel(*second, 0, 0), 0xFF0000u);
    second->CopyFrom(nullptr);
    EXPECT_TRUE(second->IsEmpty());
    EXPECT_EQ(second->Width(), 0);
}

TEST(CopyOnWrite, AssignmentToADrawnBitmapRedirectsItsCanvas) {
    auto a = MakeTrueColor(10, 10, clRed);
    auto b = MakeTrueColor(10, 10, clBlue);
    a->CopyFrom(b.get());
    b.reset();
    a->Canvas().SetPixelAt(1, 1, clLime);
    EXPECT_EQ(Pixel(*a, 1, 1), 0x00FF00u);
    EXPECT_EQ(Pixel(*a, 2, 2), 0xFF0000u);
}

TEST(CopyOnWrite, TransparencySettingsTravelWithTheImage) {
    auto source = MakeTrueColor(4, 4);
    source->SetTransparency(true);
    source->SetTransparentColor(clRed);
    TBitmap copy;
    copy.CopyFrom(source.get());
    EXPECT_TRUE(copy.IsTransparent());
    EXPECT_EQ(copy.TransparentColor(), clRed);
    EXPECT_EQ(copy.TransparentMode(), tmFixed);
}

TEST(CopyOnWrite, NonBitmapSourcesRaiseConvertError) {
    TBitmap bitmap;
    TFont font;
    try {
        bitmap.CopyFrom(&font);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "Cannot assign a TFont to a TBitmap");
    }
}

TEST(PixelFormat, ReadsFromTheDescription) {
    TBitmap bitmap;
    bitmap.SetSize(8, 8);
    EXPECT_EQ(bitmap.PixelFormat(), pfDevice);
    for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        bitmap.SetPixelFormat(f);
        EXPECT_EQ(bitmap.PixelFormat(), f) << int(f);
        EXPECT_EQ(bitmap.StorageKind(), bmDIB);
        EXPECT_EQ(bitmap.Width(), 8);
        EXPECT_EQ(bitmap.Height(), 8);
    }
    const uint16_t bits[] = {0, 1, 4, 8, 16, 16, 24, 32};
    bitmap.SetPixelFormat(pf16bit);
    EXPECT_EQ(bitmap.Description().dsBmih.biBitCount, bits[pf16bit]);
    EXPECT_EQ(bitmap.Description().dsBmih.biCompression, platform::BI_BITFIELDS);
    EXPECT_EQ(bitmap.Description().dsBitfields[1], 0x07E0u);
    bitmap.SetPixelFormat(pfDevice);
    EXPECT_EQ(bitmap.StorageKind(), bmDDB);
    EXPECT_EQ(bitmap.Width(), 8);
}

TEST(PixelFormat, ConversionKeepsThePicture) {
    auto bitmap = MakeTrueColor(16, 16, clWhite);
    bitmap->Canvas().Brush().SetColor(clRed);
    bitmap->Canvas().FillArea({0, 0, 8, 16});
    bitmap->SetPixelFormat(pf24bit);
    EXPECT_EQ(Pixel(*bitmap, 2, 2), 0x0000FFu);
    EXPECT_EQ(Pixel(*bitmap, 12, 2), 0xFFFFFFu);
    bitmap->SetPixelFormat(pfDevice);
    EXPECT_EQ(Pixel(*bitmap, 2, 2), 0x0000FFu);
    // Into one bit with black text and a white brush: white stays white, red goes black.
    bitmap->Canvas().Brush().SetColor(clWhite);
    bitmap->SetPixelFormat(pf1bit);
    EXPECT_EQ(Pixel(*bitmap, 12, 2), 0xFFFFFFu);
    EXPECT_EQ(Pixel(*bitmap, 2, 2), 0x000000u);
}

TEST(PixelFormat, EightBitsGetAHalftonePaletteAndFourTheSystemPalette) {
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    bitmap.SetPixelFormat(pf8bit);
    ASSERT_NE(bitmap.PaletteHandle(), nullptr);
    uint16_t entries = 0;
    platform::GetObject(*bitmap.PaletteHandle(), entries);
    EXPECT_EQ(entries, 256);
    EXPECT_TRUE(bitmap.PaletteModified());
    bitmap.SetPixelFormat(pf4bit);
    EXPECT_EQ(bitmap.PaletteHandle(), &platform::SystemPalette16());
}

TEST(PixelFormat, CustomIsRefused) {
    auto bitmap = MakeTrueColor(4, 4);
    try {
        bitmap->SetPixelFormat(pfCustom);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.message(), "Invalid pixel format");
    }
    EXPECT_EQ(bitmap->PixelFormat(), pf32bit);
}

TEST(Rows, AreCountedFromTheTopOfABottomUpSection) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(5, 3);
    ASSERT_GT(bitmap.Description().dsBmih.biHeight, 0);
    EXPECT_EQ(bitmap.RowAddress(0).size(), 16u); // 15 bytes padded to 32 bits
    auto top = bitmap.RowAddress(0);
    top[0] = 0x11; // blue of the top-left pixel
    top[1] = 0x22;
    top[2] = 0x33;
    EXPECT_EQ(Pixel(bitmap, 0, 0), 0x112233u);
    // In memory the top row is the last one.
    const uint8_t* memory = bitmap.Description().dsBm.bmBits;
    EXPECT_EQ(memory + 2 * 16, bitmap.RowAddress(0).data());
    EXPECT_EQ(memory, bitmap.RowAddress(2).data());
}

TEST(Rows, OutsideTheHeightRaise) {
    auto bitmap = MakeTrueColor(4, 3);
    for (int row : {-1, 3}) {
        try {
            bitmap->RowAddress(row);
            FAIL() << row;
        } catch (const EInvalidGraphicOperation& e) {
            EXPECT_EQ(e.message(), "Scan line index out of range");
        }
    }
    TBitmap empty;
    EXPECT_THROW(empty.RowAddress(0), EInvalidGraphicOperation);
}

TEST(Rows, WritingASharedImageCopiesFirst) {
    TBitmap a;
    a.SetPixelFormat(pf8bit);
    a.SetSize(4, 4);
    TBitmap b;
    b.CopyFrom(&a);
    b.RowAddress(1)[1] = 7;
    EXPECT_FALSE(a.SharesImageWith(b));
    EXPECT_NE(a.RowAddress(1)[1], 7);
}

TEST(Rows, OfADeviceBitmapReachItsPixels) {
    TBitmap bitmap;
    bitmap.SetSize(4, 2);
    auto row = bitmap.RowAddress(1);
    ASSERT_EQ(row.size(), 16u);
    row[0] = 0x00; // blue
    row[1] = 0x00;
    row[2] = 0xFF; // red
    EXPECT_EQ(Pixel(bitmap, 0, 1), 0x0000FFu);
    EXPECT_EQ(Pixel(bitmap, 0, 0), 0xFFFFFFu);
}

TEST(Palette, DibSectionWithAColourTableGetsAPaletteAndTrueColourNone) {
    TBitmap eight;
    eight.SetPixelFormat(pf1bit);
    eight.SetSize(8, 8);
    ASSERT_NE(eight.PaletteHandle(), nullptr);
    uint16_t entries = 0;
    platform::GetObject(*eight.PaletteHandle(), entries);
    EXPECT_EQ(entries, 2);

    auto deep = MakeTrueColor(4, 4);
    deep->SetPixelFormat(pf24bit);
    EXPECT_EQ(deep->PaletteHandle(), nullptr);
    EXPECT_TRUE(deep->IgnorePalette());
}

TEST(Palette, SettingAPaletteRewritesTheColourTable) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf8bit);
    bitmap.SetSize(2, 1);
    platform::LOGPALETTE lp;
    for (int i = 0; i < 256; ++i)
        lp.palPalEntry.push_back({uint8_t(i), uint8_t(i), 0, 0});
    int changes = 0;
    bitmap.OnChange = [&](TGraphic&) { ++changes; };
    bitmap.SetPaletteHandle(platform::CreatePalette(lp));
    EXPECT_EQ(changes, 1);
    bitmap.RowAddress(0)[0] = 200;
    EXPECT_EQ(Pixel(bitmap, 0, 0), platform::RGB(200, 200, 0));
    bitmap.SetPaletteHandle({});
    EXPECT_EQ(bitmap.PaletteOf(), nullptr);
}

TEST(Handle, WritingTheHandleTakesOwnership) {
    auto bitmap = MakeTrueColor(4, 4);
    platform::HBITMAP other = platform::CreateCompatibleBitmap(platform::GetScreenDC(), 7, 5);
    platform::GdiBitmap* raw = other.get();
    bitmap->SetBitmapHandle(std::move(other));
    EXPECT_EQ(bitmap->Width(), 7);
    EXPECT_EQ(bitmap->Height(), 5);
    EXPECT_EQ(bitmap->StorageKind(), bmDDB);
    EXPECT_EQ(bitmap->HandleOf(), raw);
    // New device bitmaps are black.
    EXPECT_EQ(Pixel(*bitmap, 3, 3), 0u);
}

TEST(StorageKind, ChangesBothWays) {
    TBitmap bitmap;
    bitmap.SetSize(6, 6);
    bitmap.Canvas().SetPixelAt(1, 1, clRed);
    bitmap.ChangeStorageKind(bmDIB);
    EXPECT_EQ(bitmap.StorageKind(), bmDIB);
    EXPECT_EQ(bitmap.PixelFormat(), pf32bit);
    EXPECT_EQ(Pixel(bitmap, 1, 1), 0x0000FFu);
    bitmap.ChangeStorageKind(bmDDB);
    EXPECT_EQ(bitmap.StorageKind(), bmDDB);
    EXPECT_EQ(Pixel(bitmap, 1, 1), 0x0000FFu);
}

TEST(HandOver, ExportGivesADeviceCopyOfTheSameSize) {
    auto bitmap = MakeTrueColor(30, 20, clWhite);
    bitmap->Canvas().SetPixelAt(4, 5, clRed);
    THandOverValues values = bitmap->ExportClipboardData();
    EXPECT_EQ(values.format, platform::CF_BITMAP);
    ASSERT_TRUE(values.data);
    EXPECT_FALSE(values.palette);
    platform::DIBSECTION d{};
    platform::GetObject(*values.data, d);
    EXPECT_EQ(d.dsBm.bmWidth, 30);
    EXPECT_EQ(d.dsBm.bmHeight, 20);
    EXPECT_EQ(d.dsBm.bmBits, nullptr);

    TBitmap back;
    back.ImportClipboardData(values);
    EXPECT_EQ(back.Width(), 30);
    EXPECT_EQ(back.StorageKind(), bmDDB);
    EXPECT_EQ(Pixel(back, 4, 5), 0x0000FFu);
    EXPECT_EQ(Pixel(back, 5, 5), 0xFFFFFFu);
    // The caller still owns the values and they are intact.
    EXPECT_TRUE(values.data);
}

TEST(HandOver, ExportCopiesThePalette) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf8bit);
    bitmap.SetSize(4, 4);
    THandOverValues values = bitmap.ExportClipboardData();
    ASSERT_TRUE(values.palette);
    EXPECT_NE(values.palette.get(), bitmap.PaletteHandle());

    TBitmap back;
    back.ImportClipboardData(values);
    ASSERT_NE(back.PaletteHandle(), nullptr);
    EXPECT_NE(back.PaletteHandle(), values.palette.get());
    EXPECT_TRUE(back.PaletteModified());
}

// The hand-over copies nothing until one side changes; rows written through RowAddress afterwards
// must still stay out of the values and of the bitmap that took them in.
TEST(HandOver, RowsWrittenAfterwardsStayInTheirOwnBitmap) {
    auto source = MakeTrueColor(8, 4, clWhite);
    source->SetPixelFormat(pf24bit);
    THandOverValues values = source->ExportClipboardData();
    TBitmap taken;
    taken.ImportClipboardData(values);
    for (int y = 0; y < 4; ++y) {
        auto row = source->RowAddress(y);
        std::fill(row.begin(), row.end(), uint8_t(0));
    }
    EXPECT_EQ(Pixel(*source, 3, 2), 0x000000u);
    EXPECT_EQ(Pixel(taken, 3, 2), 0xFFFFFFu);
    TBitmap again;
    again.ImportClipboardData(values);
    EXPECT_EQ(Pixel(again, 3, 2), 0xFFFFFFu);
    auto takenRow = taken.RowAddress(1);
    std::fill(takenRow.begin(), takenRow.end(), uint8_t(0x80));
    EXPECT_EQ(Pixel(again, 3, 1), 0xFFFFFFu);
}

TEST(HandOver, DibSectionsStaySections) {
    auto source = MakeTrueColor(6, 6, clBlue);
    source->SetPixelFormat(pf24bit);
    TBitmap target;
    target.ImportClipboardData(platform::CF_BITMAP, source->HandleOf(), nullptr);
    EXPECT_EQ(target.PixelFormat(), pf24bit);
    EXPECT_EQ(Pixel(target, 2, 2), 0xFF0000u);
    EXPECT_FALSE(target.SharesImageWith(*source));
}

TEST(HandOver, OtherFormatsOrNoDataAreUnsupported) {
    auto bitmap = MakeTrueColor(5, 5, clRed);
    platform::HBITMAP data = platform::CreateCompatibleBitmap(platform::GetScreenDC(), 2, 2);
    for (auto call : {+[](TBitmap&b, platform::GdiBitmap*d) {
                          b.ImportClipboardData(platform::CF_DIB, d, nullptr);
                      },
                      +[](TBitmap&b, platform::GdiBitmap*) {
                          b.ImportClipboardData(platform::CF_BITMAP, nullptr, nullptr);
                      }}) {
        try {
            call(*bitmap, data.get());
            FAIL();
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.message(), "Unsupported clipboard format");
        }
        EXPECT_EQ(bitmap->Width(), 5);
        EXPECT_EQ(Pixel(*bitmap, 1, 1), 0x0000FFu);
    }
}

TEST(HandOver, ExportOfAnEmptyBitmapHasNoData) {
    TBitmap empty;
    THandOverValues values = empty.ExportClipboardData();
    EXPECT_EQ(values.format, platform::CF_BITMAP);
    EXPECT_FALSE(values.data);
}

TEST(Drawing, StretchingIsNearestNeighbour) {
    // A 400 x 300 card with a distinct colour per pixel, painted into the 495 x 315 preview.
    TBitmap card;
    card.SetPixelFormat(pf32bit);
    card.SetSize(400, 300);
    for (int y = 0; y < 300; ++y) {
        auto row = card.RowAddress(y);
        for (int x = 0; x < 400; ++x) {
            row[x * 4] = uint8_t(x & 0xFF);
            row[x * 4 + 1] = uint8_t((x >> 8) | ((y >> 8) << 1));
            row[x * 4 + 2] = uint8_t(y & 0xFF);
        }
    }
    TPaintBuffer preview(495, 315);
    preview.Canvas().DrawStretched({0, 0, 495, 315}, &card);
    EXPECT_EQ(platform::GetStretchBltMode(preview.Canvas().DeviceContext()),
              platform::COLORONCOLOR);
    int lastColumn = -1;
    for (int x = 0; x < 495; ++x) {
        const platform::COLORREF c = preview.PixelAt(x, 0);
        const int column = int(platform::GetBValue(c)) | ((int(platform::GetGValue(c)) & 1) << 8);
        ASSERT_LT(column, 400);
        ASSERT_GE(column, lastColumn) << x; // sampled, never blended or reversed
        lastColumn = column;
    }
    EXPECT_EQ(lastColumn, 399);
    EXPECT_EQ(preview.PixelAt(0, 0), 0u);
    int lastRow = -1;
    for (int y = 0; y < 315; ++y) {
        const platform::COLORREF c = preview.PixelAt(7, y);
        const int row = platform::GetRValue(c) | ((platform::GetGValue(c) >> 1) << 8);
        ASSERT_GE(row, lastRow);
        ASSERT_LT(row, 300);
        lastRow = row;
        // Every pixel of the row samples the same source row.
        EXPECT_EQ(platform::GetRValue(preview.PixelAt(300, y)), row & 0xFF);
    }
    EXPECT_EQ(lastRow, 299);
}

TEST(Drawing, DrawAtUsesTheGraphicsOwnSize) {
    auto small = MakeTrueColor(3, 2, clRed);
    auto target = MakeTrueColor(10, 10);
    target->Canvas().DrawAt(4, 5, small.get());
    EXPECT_EQ(Pixel(*target, 4, 5), 0x0000FFu);
    EXPECT_EQ(Pixel(*target, 6, 6), 0x0000FFu);
    EXPECT_EQ(Pixel(*target, 7, 6), 0xFFFFFFu);
    EXPECT_EQ(Pixel(*target, 4, 7), 0xFFFFFFu);
}

TEST(Drawing, DrawingASharedBitmapDoesNotCopyIt) {
    auto source = MakeTrueColor(3, 3, clRed);
    TBitmap share;
    share.CopyFrom(source.get());
    auto target = MakeTrueColor(6, 6);
    target->Canvas().DrawStretched({0, 0, 6, 6}, &share);
    EXPECT_TRUE(share.SharesImageWith(*source));
    EXPECT_TRUE(AllOf(*target, 0, 0, 6, 6, 0x0000FF));
}

TEST(Drawing, TransparentBitmapLeavesItsColourOut) {
    auto sprite = MakeTrueColor(4, 4, clWhite);
    sprite->Canvas().SetPixelAt(1, 1, clRed);
    sprite->SetTransparency(true);
    EXPECT_EQ(sprite->TransparentColor(), clWhite); // the bottom-left pixel
    auto target = MakeTrueColor(4, 4, clBlue);
    target->Canvas().DrawStretched({0, 0, 4, 4}, sprite.get());
    EXPECT_EQ(Pixel(*target, 1, 1), 0x0000FFu);
    EXPECT_EQ(Pixel(*target, 2, 2), 0xFF0000u);
}

TEST(Streams, SavingWritesABmpFile) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(3, 2);
    bitmap.Canvas().SetPixelAt(0, 0, TColor(0x030201));
    TMemoryStream out;
    bitmap.SaveToStream(out);
    auto bytes = out.Memory();
    ASSERT_EQ(bytes.size(), 14u + 40u + 2 * 12u); // rows of 9 bytes padded to 12
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[2], 78);  // file size
    EXPECT_EQ(bytes[10], 54); // pixel offset
    EXPECT_EQ(bytes[14], 40); // header size
    EXPECT_EQ(bytes[28], 24); // bit count
    // Bottom-up: the top row is the second row of the file, pixels blue, green, red.
    EXPECT_EQ(bytes[54 + 12], 0x03);
    EXPECT_EQ(bytes[54 + 13], 0x02);
    EXPECT_EQ(bytes[54 + 14], 0x01);

    TBitmap empty;
    TMemoryStream nothing;
    empty.SaveToStream(nothing);
    EXPECT_EQ(nothing.Size(), 0);
}

// The canvas keeps the bitmap selected after drawing; its colour table must still be readable.
TEST(Streams, AnIndexedBitmapSavesWhileItsCanvasHoldsIt) {
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    bitmap.SetPixelFormat(pf8bit);
    bitmap.Canvas().SetPixelAt(1, 1, clRed);
    TMemoryStream out;
    ASSERT_NO_THROW(bitmap.SaveToStream(out));
    TMemoryStream in(std::vector<uint8_t>(out.Memory().begin(), out.Memory().end()));
    TBitmap back;
    back.LoadFromStream(in);
    EXPECT_EQ(back.PixelFormat(), pf8bit);
    EXPECT_EQ(back.Canvas().PixelAt(1, 1), clRed);
    EXPECT_EQ(back.Canvas().PixelAt(2, 2), bitmap.Canvas().PixelAt(2, 2));
}

TEST(Streams, LoadingAnEmptyStreamEmptiesTheBitmap) {
    auto bitmap = MakeTrueColor(4, 4);
    TMemoryStream empty;
    bitmap->LoadFromStream(empty);
    EXPECT_TRUE(bitmap->IsEmpty());
    EXPECT_EQ(bitmap->Width(), 0);
}

TEST(Streams, ANonBmpStreamIsRefusedAndThePictureKept) {
    auto bitmap = MakeTrueColor(4, 4, clRed);
    TMemoryStream junk(std::vector<uint8_t>(64, 'x'));
    try {
        bitmap->LoadFromStream(junk);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.message(), "Bitmap image is not valid");
    }
    EXPECT_EQ(bitmap->Width(), 4);
    EXPECT_EQ(Pixel(*bitmap, 1, 1), 0x0000FFu);
}

// A 2 x 2 BMP with 8-bit run-length encoded pixels (BMP file format, BI_RLE8).
std::vector<uint8_t> Rle8File() {
    std::vector<uint8_t> f = {
        'B', 'M', 70,  0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, // file header: size 70, pixels at 62
        40,  0,   0,   0,                                // header size
        2,   0,   0,   0, 2, 0, 0, 0,                    // width 2, height 2 (bottom-up)
        1,   0,   8,   0,                                // 1 plane, 8 bits
        1,   0,   0,   0,                                // BI_RLE8
        8,   0,   0,   0,                                // image size
        0,   0,   0,   0, 0, 0, 0, 0,                    // pixels per metre
        2,   0,   0,   0, 0, 0, 0, 0,                    // 2 colours used, 0 important
        0,   0,   255, 0,                                // colour 0: red
        255, 0,   0,   0,                                // colour 1: blue
        2,   0,   0,   0,                                // bottom row: two of colour 0, end of line
        2,   1,   0,   1,                                // top row: two of colour 1, end of bitmap
    };
    return f;
}

TEST(SaveStream, CompressedFileBytesAreKeptUntilThePixelsChange) {
    TBitmap bitmap;
    TMemoryStream file(Rle8File());
    bitmap.LoadFromStream(file);
    ASSERT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(bitmap.StorageKind(), bmDDB);
    TMemoryStream saved;
    bitmap.SaveToStream(saved);
    EXPECT_TRUE(std::ranges::equal(saved.Memory(), Rle8File()));
    EXPECT_EQ(Pixel(bitmap, 0, 0), 0xFF0000u);
    EXPECT_EQ(Pixel(bitmap, 0, 1), 0x0000FFu);

    bitmap.Canvas().SetPixelAt(0, 0, clLime);
    EXPECT_EQ(bitmap.Image().saveStream, nullptr);
    TMemoryStream after;
    bitmap.SaveToStream(after);
    EXPECT_FALSE(std::ranges::equal(after.Memory(), Rle8File()));
    EXPECT_EQ(after.Memory()[30], 0); // written uncompressed
}

TEST(SaveStream, AnImageOfOnlyFileBytesIsReadAgainQuietly) {
    TBitmap bitmap;
    TNewBitmapImage parts;
    parts.saveStream = std::make_unique<TMemoryStream>(Rle8File());
    InstallImage(bitmap, std::move(parts));
    EXPECT_FALSE(bitmap.IsEmpty());
    int changes = 0;
    bitmap.OnChange = [&](TGraphic&) { ++changes; };
    bitmap.MakeStorageReady();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(Pixel(bitmap, 1, 1), 0x0000FFu);
    ASSERT_TRUE(bitmap.OnChange);
}

TEST(CopyRoutine, EmptyDescriptionGivesNoStorage) {
    platform::DIBSECTION d{};
    d.dsBm.bmWidth = 10;
    EXPECT_FALSE(CopyBitmapStorage(nullptr, nullptr, nullptr, d, nullptr));
    d.dsBmih.biSize = 40;
    d.dsBmih.biWidth = 10;
    d.dsBmih.biHeight = 0;
    d.dsBm.bmHeight = 5;
    EXPECT_FALSE(CopyBitmapStorage(nullptr, nullptr, nullptr, d, nullptr));
}

TEST(CopyRoutine, MonochromeDescriptionMakesAMonochromeBitmap) {
    platform::DIBSECTION d{};
    d.dsBm.bmWidth = 9;
    d.dsBm.bmHeight = 3;
    d.dsBm.bmPlanes = 1;
    d.dsBm.bmBitsPixel = 1;
    platform::HBITMAP mono = CopyBitmapStorage(nullptr, nullptr, nullptr, d, nullptr);
    ASSERT_TRUE(mono);
    EXPECT_EQ(d.dsBm.bmBitsPixel, 1);
    EXPECT_EQ(d.dsBm.bmWidth, 9);
    EXPECT_EQ(d.dsBm.bmBits, nullptr);
}

TEST(CopyRoutine, OneBitSectionTakesCanvasColoursAsItsTable) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf1bit);
    bitmap.SetSize(4, 4);
    bitmap.Canvas().Font().SetColor(clRed);
    bitmap.Canvas().Brush().SetColor(clBlue);
    bitmap.ResizeWidth(8);
    // Entry 0 is the text colour, entry 1 the background colour.
    bitmap.RowAddress(0)[0] = 0x00;
    EXPECT_EQ(Pixel(bitmap, 0, 0), 0x0000FFu);
    bitmap.RowAddress(0)[0] = 0x80;
    EXPECT_EQ(Pixel(bitmap, 0, 0), 0xFF0000u);
}

TEST(CopyRoutine, DeepImageIntoOneBitIsBlackAndWhite) {
    auto bitmap = MakeTrueColor(4, 4, clWhite);
    bitmap->Canvas().SetPixelAt(1, 1, clBlack);
    bitmap->SetPixelFormat(pf1bit);
    EXPECT_EQ(Pixel(*bitmap, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(Pixel(*bitmap, 1, 1), 0x000000u);
}

TEST(Palette, CopyDuplicatesEntries) {
    platform::LOGPALETTE lp;
    lp.palPalEntry = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    platform::HPALETTE original = platform::CreatePalette(lp);
    platform::HPALETTE copy = CopyPalette(original.get());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), original.get());
    std::vector<platform::PALETTEENTRY> entries(2);
    platform::GetPaletteEntries(*copy, 0, entries);
    EXPECT_EQ(entries[1], (platform::PALETTEENTRY{4, 5, 6, 0}));
    EXPECT_FALSE(CopyPalette(nullptr));
}

} // namespace
} // namespace graphics
