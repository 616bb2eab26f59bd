// The image control: the card canvas it hands out, the destination rectangle and painting.
#include "graphics/ImageControl.h"

#include "TestSupport.h"
#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/PictureFormats.h"

#include <gtest/gtest.h>

namespace graphics {
namespace {

using test::MakeTrueColor;
using test::Pixel;

// The preview as the main window sets it up.
struct Preview : TImage {
    Preview() {
        SetSize(495, 315);
        SetStretch(true);
    }
};

TEST(ImageControl, DefaultsAre105SquareWithEverythingOff) {
    TImage image;
    EXPECT_EQ(image.Width(), 105);
    EXPECT_EQ(image.Height(), 105);
    EXPECT_FALSE(image.Stretch());
    EXPECT_FALSE(image.Center());
    EXPECT_FALSE(image.Proportional());
    EXPECT_FALSE(image.Transparent());
    EXPECT_FALSE(image.AutoSize());
    EXPECT_FALSE(image.IncrementalDisplay());
}

TEST(ImageControl, CanvasOfAnEmptyPictureIsAWhiteCardBitmap) {
    Preview preview;
    TCanvas& canvas = preview.Canvas();
    auto* card = dynamic_cast<TBitmap*>(preview.Picture().HeldGraphic());
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(&card->Canvas(), &canvas);
    EXPECT_EQ(card->Width(), 495);
    EXPECT_EQ(card->Height(), 315);
    EXPECT_EQ(card->StorageKind(), bmDDB);
    EXPECT_EQ(card->ImageReferenceCount(), 1); // the temporary bitmap is gone
    for (int y = 0; y < 315; y += 13)
        for (int x = 0; x < 495; x += 11)
            ASSERT_EQ(Pixel(*card, x, y), 0xFFFFFFu);
    // The same canvas on every request.
    EXPECT_EQ(&preview.Canvas(), &canvas);
}

TEST(ImageControl, CanvasRefusesAPictureThatIsNoBitmap) {
    Preview preview;
    TIcon icon;
    preview.Picture().SetHeldGraphic(&icon);
    try {
        preview.Canvas();
        FAIL();
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.message(), "Can only modify an image if it contains a bitmap");
    }
}

TEST(ImageControl, EmptiedPictureGetsANewWhiteBitmap) {
    Preview preview;
    preview.Canvas().Brush().SetColor(clBlack);
    preview.Canvas().FillArea({0, 0, 495, 315});
    TPicture empty;
    preview.Picture().CopyFrom(&empty);
    EXPECT_EQ(preview.Picture().HeldGraphic(), nullptr);
    preview.Canvas();
    EXPECT_EQ(preview.Picture().Width(), 495);
    EXPECT_EQ(Pixel(preview.Picture().Bitmap(), 100, 100), 0xFFFFFFu);
    EXPECT_EQ(preview.Canvas().Brush().Color(), clWhite);
}

TEST(ImageControl, PictureAssignmentResetsToolsButBitmapAssignmentKeepsThem) {
    Preview preview;
    TCanvas& card = preview.Canvas();
    card.Brush().SetStyle(bsClear);
    card.Pen().SetMode(pmMask);
    card.Font().SetSize(16);

    // Loading and pasting assign a bitmap to the picture's bitmap.
    auto loaded = MakeTrueColor(200, 100, clRed);
    preview.Picture().Bitmap().CopyFrom(loaded.get());
    EXPECT_EQ(&preview.Canvas(), &card);
    EXPECT_EQ(card.Brush().Style(), bsClear);
    EXPECT_EQ(card.Pen().Mode(), pmMask);
    EXPECT_EQ(card.Font().Size(), 16);
    EXPECT_EQ(preview.Picture().Width(), 200);

    // Undo assigns another picture: a new bitmap object with a new canvas.
    TPicture snapshot;
    auto earlier = MakeTrueColor(495, 315);
    snapshot.SetHeldGraphic(earlier.get());
    preview.Picture().CopyFrom(&snapshot);
    TCanvas& fresh = preview.Canvas();
    EXPECT_EQ(fresh.Brush().Style(), bsSolid);
    EXPECT_EQ(fresh.Brush().Color(), clWhite);
    EXPECT_EQ(fresh.Pen().Mode(), pmCopy);
    EXPECT_EQ(fresh.Font().Name(), "MS Sans Serif");
    EXPECT_EQ(fresh.Font().Size(), 8);
}

TEST(ImageControl, DestRectWithoutStretchIsThePicturesSize) {
    TImage image;
    image.SetSize(495, 315);
    auto bitmap = MakeTrueColor(200, 100);
    image.Picture().SetHeldGraphic(bitmap.get());
    EXPECT_EQ(image.DestRect(), (platform::RECT{0, 0, 200, 100}));
    image.SetCenter(true);
    EXPECT_EQ(image.DestRect(), (platform::RECT{147, 107, 347, 207}));
}

TEST(ImageControl, DestRectStretchFillsTheClient) {
    Preview preview;
    auto bitmap = MakeTrueColor(400, 300);
    preview.Picture().SetHeldGraphic(bitmap.get());
    EXPECT_EQ(preview.DestRect(), (platform::RECT{0, 0, 495, 315}));
    preview.SetCenter(true);
    EXPECT_EQ(preview.DestRect(), (platform::RECT{0, 0, 495, 315}));
}

TEST(ImageControl, ProportionalKeepsTheRatioWithTruncation) {
    struct Case {
        int w, h, cw, ch;
        bool stretch;
        platform::RECT expected;
    };
    const Case cases[] = {
        // Wider than high: width fills, height = Trunc(cw / r).
        {400, 300, 495, 315, true, {0, 0, 420, 315}},   // 371.25 > 315: height fills
        {800, 300, 495, 315, true, {0, 0, 495, 185}},   // 495 / 2.666.. = 185.6
        {1000, 333, 495, 315, false, {0, 0, 495, 164}}, // larger, so scaled without Stretch
        // Higher than wide and square.
        {300, 400, 495, 315, true, {0, 0, 236, 315}}, // 315 * 0.75 = 236.25
        {315, 315, 495, 315, true, {0, 0, 315, 315}},
        {100, 700, 50, 300, true, {0, 0, 42, 300}}, // 42.857
        {100, 300, 20, 300, true, {0, 0, 20, 60}},  // width would exceed: 20 / (1/3)
        // Smaller picture without Stretch keeps its size.
        {100, 50, 495, 315, false, {0, 0, 100, 50}},
    };
    for (const Case& c : cases) {
        TImage image;
        image.SetSize(c.cw, c.ch);
        image.SetProportional(true);
        image.SetStretch(c.stretch);
        TBitmap bitmap;
        bitmap.SetSize(c.w, c.h);
        image.Picture().SetHeldGraphic(&bitmap);
        EXPECT_EQ(image.DestRect(), c.expected) << c.w << "x" << c.h;
    }
}

TEST(ImageControl, CenterUsesTruncatingDivision) {
    TImage image;
    image.SetSize(495, 315);
    image.SetProportional(true);
    image.SetStretch(true);
    image.SetCenter(true);
    TBitmap bitmap;
    bitmap.SetSize(400, 300);
    image.Picture().SetHeldGraphic(&bitmap);
    EXPECT_EQ(image.DestRect(), (platform::RECT{37, 0, 457, 315}));
    // A picture larger than the control centres with a negative offset.
    TImage small;
    small.SetSize(10, 10);
    small.SetCenter(true);
    TBitmap big;
    big.SetSize(15, 13);
    small.Picture().SetHeldGraphic(&big);
    EXPECT_EQ(small.DestRect(), (platform::RECT{-2, -1, 13, 12}));
}

TEST(ImageControl, PaintsTheCardStretchedIntoThePreview) {
    Preview preview;
    TBitmap& card = preview.Picture().Bitmap();
    card.CopyFrom(MakeTrueColor(400, 300, clBlue).get());
    card.Canvas().Brush().SetColor(clRed);
    card.Canvas().FillArea({0, 0, 200, 300});
    TPaintBuffer buffer(495, 315);
    buffer.Canvas().Brush().SetColor(clLime);
    buffer.Canvas().FillArea({0, 0, 495, 315});
    preview.Paint(buffer.Canvas());
    EXPECT_EQ(buffer.PixelAt(0, 0), 0x0000FFu);
    EXPECT_EQ(buffer.PixelAt(494, 314), 0xFF0000u);
    // Column 200 of the card starts at 200 * 495 / 400 = 247.5 in the preview.
    EXPECT_EQ(buffer.PixelAt(246, 100), 0x0000FFu);
    EXPECT_EQ(buffer.PixelAt(248, 100), 0xFF0000u);
    EXPECT_FALSE(preview.Drawing());
}

TEST(ImageControl, EmptyPictureDrawsNothing) {
    Preview preview;
    TPaintBuffer buffer(495, 315);
    buffer.Canvas().Brush().SetColor(clLime);
    buffer.Canvas().FillArea({0, 0, 495, 315});
    preview.Paint(buffer.Canvas());
    EXPECT_EQ(buffer.PixelAt(100, 100), 0x00FF00u);
}

TEST(ImageControl, DrawingOnTheCardInvalidatesThePreview) {
    Preview preview;
    int invalidations = 0;
    preview.OnInvalidate = [&] { ++invalidations; };
    TCanvas& card = preview.Canvas();
    const int afterCreation = invalidations;
    EXPECT_GE(afterCreation, 1);
    card.DrawTextAt(10, 10, "CQ");
    EXPECT_EQ(invalidations, afterCreation + 1);
    card.MeasureText("CQ");
    card.MovePenTo(0, 0);
    EXPECT_EQ(invalidations, afterCreation + 1);
    // Painting does not invalidate itself.
    TPaintBuffer buffer(495, 315);
    preview.Paint(buffer.Canvas());
    EXPECT_EQ(invalidations, afterCreation + 1);
}

TEST(ImageControl, OpaqueOnlyWhenTheDestinationCoversTheControl) {
    Preview preview;
    preview.Canvas();
    EXPECT_TRUE(preview.Opaque());
    preview.SetStretch(false);
    preview.Picture().Bitmap().ResizeWidth(100);
    EXPECT_FALSE(preview.Opaque());
    preview.SetStretch(true);
    preview.SetTransparent(true);
    EXPECT_TRUE(preview.Picture().HeldGraphic()->IsTransparent());
    EXPECT_FALSE(preview.Opaque());
}

TEST(ImageControl, AutoSizeTakesThePicturesSize) {
    TImage image;
    int reported = 0;
    image.OnResize = [&](int w, int h) {
        ++reported;
        EXPECT_EQ(w, 30);
        EXPECT_EQ(h, 20);
    };
    image.SetAutoSize(true);
    TBitmap bitmap;
    bitmap.SetSize(30, 20);
    image.Picture().SetHeldGraphic(&bitmap);
    EXPECT_EQ(image.Width(), 30);
    EXPECT_EQ(image.Height(), 20);
    EXPECT_EQ(reported, 1);
}

TEST(PaintBuffer, RowsAreTopDownBgrx) {
    TPaintBuffer buffer(3, 2);
    buffer.Canvas().SetPixelAt(1, 0, TColor(0x112233));
    auto row = buffer.Row(0);
    ASSERT_EQ(row.size(), 12u);
    EXPECT_EQ(row[4], 0x11); // blue
    EXPECT_EQ(row[5], 0x22);
    EXPECT_EQ(row[6], 0x33); // red
    EXPECT_TRUE(buffer.Row(2).empty());
}

} // namespace
} // namespace graphics
