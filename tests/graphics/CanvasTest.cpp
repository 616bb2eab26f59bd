// The canvas's pixel rules, readiness flags and notifications.
#include "graphics/Canvas.h"

#include "TestSupport.h"
#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "platform/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Screen.h"

#include <gtest/gtest.h>

namespace graphics {
namespace {

using test::MakeTrueColor;
using test::Pixel;

class CanvasTest : public ::testing::Test {
  protected:
    void SetUp() override { bitmap = MakeTrueColor(500, 320); }
    TCanvas& Canvas() { return bitmap->Canvas(); }
    uint32_t At(int x, int y) { return Pixel(*bitmap, x, y); }
    // Number of pixels in [x0, x1) x [y0, y1) that differ from colour.
    int CountOther(int x0, int y0, int x1, int y1, uint32_t colour) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += At(x, y) != colour;
        return n;
    }

    std::unique_ptr<TBitmap> bitmap;
};

TEST_F(CanvasTest, RectangleOutlineCoversRightAndBottomExclusively) {
    Canvas().Brush().SetStyle(bsClear);
    Canvas().DrawRectangle(50, 250, 470, 300);
    for (int y = 250; y < 300; ++y) {
        EXPECT_EQ(At(50, y), 0u) << y;
        EXPECT_EQ(At(469, y), 0u) << y;
        EXPECT_EQ(At(470, y), 0xFFFFFFu) << y;
    }
    for (int x = 50; x < 470; ++x) {
        EXPECT_EQ(At(x, 250), 0u) << x;
        EXPECT_EQ(At(x, 299), 0u) << x;
        EXPECT_EQ(At(x, 300), 0xFFFFFFu) << x;
    }
    EXPECT_EQ(At(49, 260), 0xFFFFFFu);
    EXPECT_EQ(At(50, 249), 0xFFFFFFu);
    // A clear brush leaves the interior alone.
    EXPECT_EQ(CountOther(51, 251, 469, 299, 0xFFFFFF), 0);
}

TEST_F(CanvasTest, RectangleInteriorTakesTheBrush) {
    Canvas().Brush().SetColor(clRed);
    Canvas().DrawRectangle(10, 10, 20, 16);
    EXPECT_EQ(At(10, 10), 0u);
    EXPECT_EQ(At(11, 11), 0x0000FFu);
    EXPECT_EQ(At(18, 14), 0x0000FFu);
    EXPECT_EQ(At(19, 14), 0u);
    EXPECT_EQ(At(18, 15), 0u);
    EXPECT_EQ(At(20, 12), 0xFFFFFFu);
}

TEST_F(CanvasTest, LineStopsOnePixelShortOfItsEnd) {
    Canvas().MovePenTo(180, 250);
    Canvas().DrawLineTo(180, 300);
    for (int y = 250; y < 300; ++y)
        EXPECT_EQ(At(180, y), 0u) << y;
    EXPECT_EQ(At(180, 300), 0xFFFFFFu);
    EXPECT_EQ(At(180, 249), 0xFFFFFFu);
    EXPECT_EQ(At(181, 260), 0xFFFFFFu);
    EXPECT_EQ(Canvas().PenPosition(), (platform::POINT{180, 300}));
}

TEST_F(CanvasTest, ConsecutiveLinesContinueFromThePenPosition) {
    Canvas().MovePenTo(10, 10);
    Canvas().DrawLineTo(20, 10);
    Canvas().DrawLineTo(20, 20);
    EXPECT_EQ(At(19, 10), 0u);
    EXPECT_EQ(At(20, 10), 0u); // start of the second line
    EXPECT_EQ(At(20, 19), 0u);
    EXPECT_EQ(At(20, 20), 0xFFFFFFu);
}

TEST_F(CanvasTest, PenColourAndSystemColoursAreResolved) {
    Canvas().Pen().SetColor(clWindowText);
    Canvas().MovePenTo(0, 5);
    Canvas().DrawLineTo(10, 5);
    EXPECT_EQ(At(3, 5), platform::GetSysColor(platform::COLOR_WINDOWTEXT));
    Canvas().SetPixelAt(1, 1, clAppWorkSpace);
    EXPECT_EQ(At(1, 1), platform::GetSysColor(platform::COLOR_APPWORKSPACE));
}

TEST_F(CanvasTest, MaskModeRule) {
    Canvas().Pen().SetMode(pmMask);
    Canvas().Pen().SetColor(TColor(0x0000FF));
    Canvas().SetPixelAt(101, 5, TColor(0x00FF00));
    Canvas().MovePenTo(100, 5);
    Canvas().DrawLineTo(103, 5);
    EXPECT_EQ(At(100, 5), 0x0000FFu); // white AND red
    EXPECT_EQ(At(101, 5), 0x000000u); // green AND red
    // A black pen draws black; a white pen leaves the destination.
    Canvas().Pen().SetColor(clBlack);
    Canvas().MovePenTo(100, 6);
    Canvas().DrawLineTo(101, 6);
    EXPECT_EQ(At(100, 6), 0u);
    Canvas().SetPixelAt(100, 7, TColor(0x336699));
    Canvas().Pen().SetColor(clWhite);
    Canvas().MovePenTo(100, 7);
    Canvas().DrawLineTo(101, 7);
    EXPECT_EQ(At(100, 7), 0x336699u);
}

// Expected result of a pen mode for pen P and destination D within mask bits.
uint32_t ApplyMode(TPenMode mode, uint32_t p, uint32_t d, uint32_t mask) {
    uint32_t r = 0;
    switch (mode) {
    case pmBlack:
        r = 0;
        break;
    case pmWhite:
        r = ~0u;
        break;
    case pmNop:
        r = d;
        break;
    case pmNot:
        r = ~d;
        break;
    case pmCopy:
        r = p;
        break;
    case pmNotCopy:
        r = ~p;
        break;
    case pmMergePenNot:
        r = p | ~d;
        break;
    case pmMaskPenNot:
        r = p & ~d;
        break;
    case pmMergeNotPen:
        r = ~p | d;
        break;
    case pmMaskNotPen:
        r = ~p & d;
        break;
    case pmMerge:
        r = p | d;
        break;
    case pmNotMerge:
        r = ~(p | d);
        break;
    case pmMask:
        r = p & d;
        break;
    case pmNotMask:
        r = ~(p & d);
        break;
    case pmXor:
        r = p ^ d;
        break;
    case pmNotXor:
        r = ~(p ^ d);
        break;
    }
    return r & mask;
}

class PenModeTest : public ::testing::TestWithParam<int> {};

TEST_P(PenModeTest, TrueColourCombinesTheColourBits) {
    const auto mode = TPenMode(GetParam());
    const uint32_t pen = 0x00F0CC33;
    const uint32_t dest = 0x005A3C96;
    auto bitmap = MakeTrueColor(8, 4, TColor(dest));
    TCanvas& c = bitmap->Canvas();
    c.Pen().SetMode(mode);
    c.Pen().SetColor(TColor(pen));
    c.MovePenTo(1, 1);
    c.DrawLineTo(5, 1);
    EXPECT_EQ(Pixel(*bitmap, 2, 1), ApplyMode(mode, pen, dest, 0xFFFFFF));
    EXPECT_EQ(Pixel(*bitmap, 5, 1), dest); // end point untouched
    EXPECT_EQ(Pixel(*bitmap, 2, 2), dest);
    // Rectangles combine outline and interior the same way (the interior with the brush).
    c.Brush().SetColor(TColor(pen));
    c.DrawRectangle(0, 2, 4, 4);
    EXPECT_EQ(Pixel(*bitmap, 0, 2), ApplyMode(mode, pen, dest, 0xFFFFFF));
}

TEST_P(PenModeTest, ColourTableSurfacesCombineIndices) {
    const auto mode = TPenMode(GetParam());
    // Entry i has a colour whose bits differ from i, so index and colour arithmetic part.
    platform::LOGPALETTE lp;
    for (int i = 0; i < 256; ++i)
        lp.palPalEntry.push_back({uint8_t(i), 0x40, uint8_t(255 - i), 0});
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf8bit);
    bitmap.SetSize(8, 4);
    bitmap.SetPaletteHandle(platform::CreatePalette(lp));
    auto colourOf = [](uint32_t i) {
        return TColor(platform::RGB(uint8_t(i), 0x40, uint8_t(255 - i)));
    };
    const uint32_t penIndex = 0x33;
    const uint32_t destIndex = 0x96;
    for (int y = 0; y < 4; ++y)
        std::fill_n(bitmap.RowAddress(y).data(), 8, uint8_t(destIndex));
    TCanvas& c = bitmap.Canvas();
    c.Pen().SetMode(mode);
    c.Pen().SetColor(colourOf(penIndex));
    c.MovePenTo(1, 1);
    c.DrawLineTo(5, 1);
    EXPECT_EQ(uint32_t(bitmap.RowAddress(1)[2]), ApplyMode(mode, penIndex, destIndex, 0xFF));
    EXPECT_EQ(uint32_t(bitmap.RowAddress(1)[5]), destIndex);
}

INSTANTIATE_TEST_SUITE_P(AllModes, PenModeTest, ::testing::Range(0, 16));

TEST_F(CanvasTest, WhiteModeWhitensWhateverThePenColour) {
    bitmap = MakeTrueColor(10, 10, clNavy);
    Canvas().Pen().SetMode(pmWhite);
    Canvas().Pen().SetColor(clRed);
    Canvas().MovePenTo(0, 0);
    Canvas().DrawLineTo(5, 0);
    EXPECT_EQ(At(2, 0), 0xFFFFFFu);
}

TEST_F(CanvasTest, OpaqueTextFillsTheCellWithTheBrush) {
    Canvas().Brush().SetColor(clYellow);
    Canvas().Font().SetColor(clBlue);
    const platform::SIZE size = Canvas().MeasureText("Hello");
    ASSERT_GT(size.cx, 0);
    ASSERT_GT(size.cy, 0);
    Canvas().DrawTextAt(40, 30, "Hello");
    const uint32_t yellow = 0x00FFFF;
    int glyph = 0;
    int cell = 0;
    for (int y = 30; y < 30 + size.cy; ++y) {
        for (int x = 40; x < 40 + size.cx; ++x) {
            const uint32_t p = At(x, y);
            cell += p == yellow;
            glyph += p != yellow;
            EXPECT_NE(p, 0xFFFFFFu) << x << "," << y;
        }
    }
    EXPECT_GT(glyph, 10);
    EXPECT_GT(cell, glyph);
    // Nothing outside the cell changes.
    EXPECT_EQ(CountOther(40 + size.cx, 30, 40 + size.cx + 10, 30 + size.cy, 0xFFFFFF), 0);
    EXPECT_EQ(CountOther(40, 30 + size.cy, 40 + size.cx, 30 + size.cy + 5, 0xFFFFFF), 0);
    EXPECT_EQ(CountOther(40, 25, 40 + size.cx, 30, 0xFFFFFF), 0);
}

TEST_F(CanvasTest, ClearBrushTextChangesOnlyGlyphPixels) {
    bitmap = MakeTrueColor(200, 60, clLime);
    Canvas().Brush().SetStyle(bsClear);
    Canvas().Font().SetColor(clRed);
    Canvas().Font().SetSize(16);
    const platform::SIZE size = Canvas().MeasureText("Hello");
    Canvas().DrawTextAt(10, 10, "Hello");
    int background = 0;
    int touched = 0;
    for (int y = 10; y < 10 + size.cy; ++y) {
        for (int x = 10; x < 10 + size.cx; ++x) {
            const uint32_t p = At(x, y);
            background += p == 0x00FF00;
            touched += p != 0x00FF00;
        }
    }
    EXPECT_GT(touched, 20);
    EXPECT_GT(background, touched); // the cell itself stays green
    EXPECT_EQ(At(10, 10), 0x00FF00u);
}

TEST_F(CanvasTest, DefaultTextIsWindowTextOnOpaqueWhite) {
    // A red surface whose canvas has never been touched.
    auto redSurface = MakeTrueColor(100, 30, clRed);
    bitmap = std::make_unique<TBitmap>();
    bitmap->CopyFrom(redSurface.get());
    const platform::SIZE size = Canvas().MeasureText("Ag");
    Canvas().DrawTextAt(5, 5, "Ag");
    // The top-left corner of the cell is background: the brush's white.
    EXPECT_EQ(At(5, 5), 0xFFFFFFu);
    // Glyphs are smoothed against the white cell: some are nearly black (window text), and no
    // pixel of the cell keeps the red it had.
    bool dark = false;
    int red = 0;
    for (int y = 5; y < 5 + size.cy; ++y) {
        for (int x = 5; x < 5 + size.cx; ++x) {
            const uint32_t p = At(x, y);
            dark |= (p & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p >> 16) < 0x60;
            red += p == 0x0000FF;
        }
    }
    EXPECT_TRUE(dark);
    EXPECT_EQ(red, 0);
    EXPECT_EQ(platform::GetSysColor(platform::COLOR_WINDOWTEXT), 0u);
}

TEST_F(CanvasTest, LineAfterTextStartsAtTheTextEnd) {
    Canvas().Font().SetColor(clRed);
    const int width = Canvas().MeasureWidth("Confirming QSO With");
    Canvas().DrawTextAt(50, 230, "Confirming QSO With");
    EXPECT_EQ(Canvas().PenPosition(), (platform::POINT{50 + width, 230}));
    Canvas().DrawLineTo(470, 230);
    EXPECT_EQ(At(50 + width, 230), 0u);
    EXPECT_EQ(At(469, 230), 0u);
    EXPECT_NE(At(50, 230), 0u);
    EXPECT_NE(At(50 + width - 1, 230), 0u);
}

TEST_F(CanvasTest, EmptyTextDrawsNothingAndMovesThePen) {
    Canvas().Brush().SetColor(clRed);
    Canvas().DrawTextAt(60, 70, "");
    EXPECT_EQ(Canvas().PenPosition(), (platform::POINT{60, 70}));
    EXPECT_EQ(CountOther(55, 65, 80, 90, 0xFFFFFF), 0);
    EXPECT_EQ(Canvas().MeasureText(""), (platform::SIZE{0, Canvas().MeasureHeight("")}));
}

TEST_F(CanvasTest, MeasureTextAgreesWithTheDrawnWidth) {
    Canvas().Font().SetSize(24);
    const int width = Canvas().MeasureWidth("W1AW");
    Canvas().DrawTextAt(0, 0, "W1AW");
    EXPECT_EQ(Canvas().PenPosition().x, width);
    // Larger text is wider.
    Canvas().Font().SetSize(8);
    EXPECT_LT(Canvas().MeasureWidth("W1AW"), width);
}

TEST_F(CanvasTest, FillAreaCoversRightAndBottomExclusively) {
    Canvas().Brush().SetColor(clBlue);
    Canvas().Pen().SetMode(pmXor); // does not apply to fills
    Canvas().FillArea({10, 20, 30, 25});
    EXPECT_EQ(At(10, 20), 0xFF0000u);
    EXPECT_EQ(At(29, 24), 0xFF0000u);
    EXPECT_EQ(At(30, 24), 0xFFFFFFu);
    EXPECT_EQ(At(29, 25), 0xFFFFFFu);
    EXPECT_EQ(CountOther(10, 20, 30, 25, 0xFF0000), 0);
}

TEST_F(CanvasTest, ClearBrushFillChangesNothing) {
    Canvas().Brush().SetStyle(bsClear);
    Canvas().FillArea({0, 0, 500, 320});
    EXPECT_EQ(CountOther(0, 0, 500, 320, 0xFFFFFF), 0);
}

TEST_F(CanvasTest, HatchedBrushLeavesGapsTransparent) {
    bitmap = MakeTrueColor(16, 16, clLime);
    Canvas().Brush().SetColor(clRed);
    Canvas().Brush().SetStyle(bsHorizontal);
    Canvas().FillArea({0, 0, 16, 16});
    const int red = 16 * 16 - CountOther(0, 0, 16, 16, 0x0000FF);
    const int green = 16 * 16 - CountOther(0, 0, 16, 16, 0x00FF00);
    EXPECT_GT(red, 0);
    EXPECT_GT(green, red);
    EXPECT_EQ(red + green, 256);
}

TEST_F(CanvasTest, FloodFillsFollowBorderAndSurfaceRules) {
    Canvas().Brush().SetStyle(bsClear);
    Canvas().DrawRectangle(10, 10, 30, 30);
    Canvas().Brush().SetColor(clRed);
    Canvas().FloodFillArea(20, 20, clBlack, fsBorder);
    EXPECT_EQ(At(20, 20), 0x0000FFu);
    EXPECT_EQ(At(11, 11), 0x0000FFu);
    EXPECT_EQ(At(10, 10), 0u);
    EXPECT_EQ(At(5, 5), 0xFFFFFFu);

    Canvas().Brush().SetColor(clBlue);
    Canvas().FloodFillArea(20, 20, clRed, fsSurface);
    EXPECT_EQ(At(28, 28), 0xFF0000u);
    EXPECT_EQ(At(5, 5), 0xFFFFFFu);
}

TEST_F(CanvasTest, FloodFillHandsASystemColourOverUnconverted) {
    // The device reads 0xFF000008 as 0x000008; resolved, it would be window text black.
    ASSERT_EQ(platform::GetSysColor(platform::COLOR_WINDOWTEXT), 0u);
    bitmap = MakeTrueColor(20, 20, clBlack);
    Canvas().Brush().SetColor(TColor(0x000008));
    Canvas().FillArea({5, 5, 15, 15});
    Canvas().Brush().SetColor(clRed);
    Canvas().FloodFillArea(10, 10, clWindowText, fsSurface);
    EXPECT_EQ(At(10, 10), 0x0000FFu);
    EXPECT_EQ(At(5, 5), 0x0000FFu);
    EXPECT_EQ(At(2, 2), 0u); // the black surround was not the surface colour
}

TEST_F(CanvasTest, ClearBrushFloodFillPaintsNothing) {
    Canvas().Brush().SetStyle(bsClear);
    Canvas().FloodFillArea(5, 5, clWhite, fsSurface);
    EXPECT_EQ(CountOther(0, 0, 500, 320, 0xFFFFFF), 0);
}

TEST_F(CanvasTest, PixelReadAndWrite) {
    Canvas().SetPixelAt(3, 4, TColor(0x102030));
    EXPECT_EQ(Canvas().PixelAt(3, 4), TColor(0x102030));
    EXPECT_EQ(Canvas().PixelAt(4, 4), clWhite);
}

TEST_F(CanvasTest, CopyAreaStretchesWithTheCopyMode) {
    auto source = MakeTrueColor(4, 4, clRed);
    Canvas().CopyArea({0, 0, 8, 8}, source->Canvas(), {0, 0, 4, 4});
    EXPECT_EQ(CountOther(0, 0, 8, 8, 0x0000FF), 0);
    EXPECT_EQ(At(8, 8), 0xFFFFFFu);
    Canvas().SetCopyMode(platform::NOTSRCCOPY);
    Canvas().CopyArea({10, 0, 12, 2}, source->Canvas(), {0, 0, 4, 4});
    EXPECT_EQ(At(10, 0), 0xFFFF00u);
}

TEST_F(CanvasTest, NotificationsSurroundDrawingButNotMeasuringOrMoving) {
    int before = 0;
    int after = 0;
    Canvas().OnBeforeChange = [&](TCanvas&) {
        EXPECT_EQ(before, after);
        ++before;
    };
    Canvas().OnChange = [&](TCanvas&) { ++after; };
    Canvas().MovePenTo(1, 1);
    Canvas().MeasureText("abc");
    Canvas().PixelAt(0, 0);
    Canvas().PenPosition();
    EXPECT_EQ(before, 0);
    EXPECT_EQ(after, 0);
    Canvas().DrawLineTo(5, 5);
    Canvas().DrawTextAt(0, 0, "x");
    Canvas().DrawRectangle(0, 0, 3, 3);
    Canvas().FillArea({0, 0, 2, 2});
    Canvas().FloodFillArea(0, 0, clWhite, fsSurface);
    Canvas().SetPixelAt(0, 0, clRed);
    EXPECT_EQ(before, 6);
    EXPECT_EQ(after, 6);
}

TEST_F(CanvasTest, ToolsAreSelectedLazilyAndSwappedForStockObjectsOnChange) {
    TBitmap fresh;
    fresh.CopyFrom(bitmap.get());
    TCanvas& c = fresh.Canvas();
    c.MovePenTo(0, 0);
    EXPECT_EQ(c.State(), csHandleValid);
    c.DrawLineTo(3, 0);
    EXPECT_EQ(c.State(), csHandleValid | csPenValid | csBrushValid);
    platform::DeviceContext& dc = c.DeviceContext();
    EXPECT_EQ(platform::GetCurrentObject(dc, platform::ObjectType::Pen).get(),
              static_cast<platform::GdiObject*>(&c.Pen().Handle()));
    EXPECT_EQ(platform::GetROP2(dc), platform::R2_COPYPEN);

    c.Pen().SetColor(clRed);
    EXPECT_EQ(c.State(), csHandleValid | csBrushValid);
    EXPECT_EQ(platform::GetCurrentObject(dc, platform::ObjectType::Pen).get(),
              &platform::GetStockObject(platform::BLACK_PEN));
    // An unchanged assignment does not deselect.
    c.Brush().SetColor(clWhite);
    EXPECT_TRUE(c.State() & csBrushValid);

    c.Pen().SetMode(pmXor);
    c.DrawLineTo(6, 0);
    EXPECT_EQ(platform::GetROP2(dc), platform::R2_XORPEN);
    c.MeasureText("a");
    EXPECT_EQ(c.State(), csAllValid);
    c.Font().SetColor(clBlue);
    EXPECT_EQ(c.State(), csHandleValid | csPenValid | csBrushValid);
    c.MeasureText("a");
    EXPECT_EQ(platform::GetTextColor(dc), 0xFF0000u);
}

TEST_F(CanvasTest, BrushReadinessSetsBackgroundColourAndMode) {
    TCanvas& c = Canvas();
    c.Brush().SetColor(TColor(0x102030));
    c.FillArea({0, 0, 1, 1});
    platform::DeviceContext& dc = c.DeviceContext();
    EXPECT_EQ(platform::GetBkColor(dc), 0x102030u);
    EXPECT_EQ(platform::GetBkMode(dc), platform::OPAQUE);
    c.Brush().SetStyle(bsCross);
    c.FillArea({0, 0, 1, 1});
    EXPECT_EQ(platform::GetBkColor(dc), 0xEFDFCFu);
    EXPECT_EQ(platform::GetBkMode(dc), platform::TRANSPARENT);
}

TEST(PlainCanvas, DoesNotAllowDrawing) {
    TCanvas canvas;
    try {
        canvas.DrawLineTo(1, 1);
        FAIL();
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.message(), "Canvas does not allow drawing");
    }
    EXPECT_THROW(canvas.MeasureText("a"), EInvalidOperation);
    EXPECT_EQ(canvas.State(), 0);
    EXPECT_EQ(canvas.Pen().Color(), clBlack);
}

TEST(PlainCanvas, DrawingANullGraphicDoesNothing) {
    TCanvas canvas;
    canvas.DrawStretched({0, 0, 10, 10}, nullptr);
    canvas.DrawAt(0, 0, nullptr);
    TBitmap empty;
    canvas.DrawAt(0, 0, &empty);
    SUCCEED();
}

TEST(CanvasLock, CountsNestedAcquisitions) {
    TCanvas canvas;
    EXPECT_TRUE(canvas.TryAcquireLock());
    EXPECT_EQ(canvas.LockCount(), 1);
    EXPECT_FALSE(canvas.TryAcquireLock());
    canvas.AcquireLock();
    EXPECT_EQ(canvas.LockCount(), 2);
    canvas.ReleaseLock();
    canvas.ReleaseLock();
    EXPECT_EQ(canvas.LockCount(), 0);
    {
        TCanvasLock lock(canvas);
        EXPECT_EQ(canvas.LockCount(), 1);
    }
    EXPECT_EQ(canvas.LockCount(), 0);
}

TEST(BitmapCanvasContext, PenPositionSurvivesAReplacedContext) {
    auto bitmap = MakeTrueColor(20, 20);
    TCanvas& c = bitmap->Canvas();
    c.MovePenTo(7, 9);
    // Resizing replaces the storage and so the context.
    bitmap->ResizeWidth(30);
    EXPECT_FALSE(c.HandleAllocated());
    EXPECT_EQ(c.PenPosition(), (platform::POINT{7, 9}));
}

TEST(BitmapCanvasContext, ToolSettingsSurviveANewContext) {
    auto bitmap = MakeTrueColor(20, 20);
    TCanvas& c = bitmap->Canvas();
    c.Pen().SetColor(clRed);
    c.MovePenTo(0, 0);
    c.DrawLineTo(5, 0);
    bitmap->ResizeHeight(25);
    c.MovePenTo(0, 22);
    c.DrawLineTo(5, 22);
    EXPECT_EQ(Pixel(*bitmap, 2, 22), 0x0000FFu);
}

} // namespace
} // namespace graphics
