// The picture holder: what it stores, how it copies, and what it reports.
#include "graphics/Picture.h"

#include "TestSupport.h"
#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/PictureFormats.h"

#include <gtest/gtest.h>

namespace graphics {
namespace {

using test::MakeTrueColor;
using test::Pixel;

TEST(Picture, StartsEmpty) {
    TPicture picture;
    EXPECT_EQ(picture.HeldGraphic(), nullptr);
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.Height(), 0);
}

TEST(Picture, BitmapOfAnEmptyPictureIsZeroByZero) {
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&](TPicture&) { ++changes; };
    TBitmap& bitmap = picture.Bitmap();
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_EQ(bitmap.Width(), 0);
    EXPECT_EQ(picture.HeldGraphic(), &bitmap);
    // Asking again returns the same bitmap without a change.
    EXPECT_EQ(&picture.Bitmap(), &bitmap);
    EXPECT_EQ(changes, 1);
}

TEST(Picture, BitmapReplacesAnotherGraphic) {
    TPicture picture;
    TIcon icon;
    picture.SetHeldGraphic(&icon);
    ASSERT_NE(picture.HeldGraphic(), nullptr);
    EXPECT_EQ(picture.HeldGraphic()->ClassName(), "TIcon");
    TBitmap& bitmap = picture.Bitmap();
    EXPECT_EQ(picture.HeldGraphic(), &bitmap);
}

TEST(Picture, StoresACopySharingTheImage) {
    auto bitmap = MakeTrueColor(20, 10, clRed);
    TPicture picture;
    picture.SetHeldGraphic(bitmap.get());
    auto* held = dynamic_cast<TBitmap*>(picture.HeldGraphic());
    ASSERT_NE(held, nullptr);
    EXPECT_NE(held, bitmap.get());
    EXPECT_TRUE(held->SharesImageWith(*bitmap));
    EXPECT_EQ(picture.Width(), 20);
    EXPECT_EQ(picture.Height(), 10);
    bitmap.reset(); // the picture's copy lives on
    EXPECT_EQ(Pixel(*held, 1, 1), 0x0000FFu);
}

TEST(Picture, TwoPicturesOfOneBitmapDivergeOnDrawing) {
    auto bitmap = MakeTrueColor(80, 30);
    TPicture first;
    TPicture second;
    first.SetHeldGraphic(bitmap.get());
    second.SetHeldGraphic(bitmap.get());
    TBitmap& a = first.Bitmap();
    TBitmap& b = second.Bitmap();
    for (int x = 0; x < 80; x += 5)
        EXPECT_EQ(Pixel(a, x, 15), Pixel(b, x, 15));
    a.Canvas().Font().SetColor(clBlack);
    a.Canvas().DrawTextAt(2, 2, "W1AW");
    bool differs = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x)
            differs |= Pixel(a, x, y) != Pixel(b, x, y);
    EXPECT_TRUE(differs);
    for (int y = 0; y < 30; y += 3)
        for (int x = 0; x < 80; x += 3)
            EXPECT_EQ(Pixel(b, x, y), 0xFFFFFFu);
}

TEST(Picture, ContentChangesOfTheGraphicAreReported) {
    TPicture picture;
    auto bitmap = MakeTrueColor(10, 10);
    picture.SetHeldGraphic(bitmap.get());
    int changes = 0;
    picture.OnChange = [&](TPicture&) { ++changes; };
    picture.Bitmap().Canvas().SetPixelAt(1, 1, clRed);
    EXPECT_EQ(changes, 1);
    picture.Bitmap().ResizeWidth(12);
    EXPECT_EQ(changes, 2);
    picture.Bitmap().Canvas().MeasureText("x");
    EXPECT_EQ(changes, 2);
}

struct ReporterTag {
    static constexpr const char* name = "TReporter";
    static const TGraphicClass& Parent() { return TGraphic::Class(); }
};
using Reporter = test::DummyGraphic<ReporterTag>;

TEST(Picture, ProgressOfTheGraphicIsForwarded) {
    TPicture picture;
    Reporter graphic;
    picture.SetHeldGraphic(&graphic);
    int calls = 0;
    picture.OnProgress = [&](TPersistent& sender, TProgressStage stage, uint8_t percent, bool,
                             const platform::RECT&, const std::string& message) {
        ++calls;
        EXPECT_EQ(&sender, picture.HeldGraphic());
        EXPECT_EQ(stage, psRunning);
        EXPECT_EQ(percent, 40);
        EXPECT_EQ(message, "half");
    };
    auto* held = dynamic_cast<Reporter*>(picture.HeldGraphic());
    ASSERT_NE(held, nullptr);
    held->ReportProgress(psRunning, 40, "half");
    EXPECT_EQ(calls, 1);
}

TEST(Picture, CopyFromPictureAndEmptyPicture) {
    auto bitmap = MakeTrueColor(7, 9);
    TPicture source;
    source.SetHeldGraphic(bitmap.get());
    TPicture target;
    target.CopyFrom(&source);
    ASSERT_NE(target.HeldGraphic(), nullptr);
    EXPECT_NE(target.HeldGraphic(), source.HeldGraphic());
    EXPECT_EQ(target.Width(), 7);

    TPicture empty;
    int changes = 0;
    target.OnChange = [&](TPicture&) { ++changes; };
    target.CopyFrom(&empty);
    EXPECT_EQ(target.HeldGraphic(), nullptr);
    EXPECT_EQ(changes, 1);

    target.CopyFrom(bitmap.get());
    EXPECT_EQ(target.Width(), 7);
    target.CopyFrom(nullptr);
    EXPECT_EQ(target.HeldGraphic(), nullptr);
}

TEST(Picture, SelfAssignmentKeepsThePicture) {
    auto bitmap = MakeTrueColor(7, 9, clRed);
    TPicture picture;
    picture.SetHeldGraphic(bitmap.get());
    picture.CopyFrom(&picture);
    EXPECT_EQ(picture.Width(), 7);
    EXPECT_EQ(Pixel(picture.Bitmap(), 2, 2), 0x0000FFu);
}

TEST(Picture, CopyIntoAGraphicOfItsClass) {
    auto bitmap = MakeTrueColor(5, 6);
    TPicture picture;
    picture.SetHeldGraphic(bitmap.get());
    TBitmap target;
    target.CopyFrom(&picture); // a bitmap asks the picture to fill it
    EXPECT_EQ(target.Width(), 5);
    EXPECT_TRUE(target.SharesImageWith(*bitmap));

    TPicture iconPicture;
    TIcon icon;
    iconPicture.SetHeldGraphic(&icon);
    try {
        target.CopyFrom(&iconPicture);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "Cannot assign a TPicture to a TBitmap");
    }
}

TEST(Picture, UnknownSourcesRaiseConvertError) {
    TPicture picture;
    TBrush brush;
    try {
        picture.CopyFrom(&brush);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "Cannot assign a TBrush to a TPicture");
    }
}

TEST(Picture, AFailingNotificationLeavesNoFreedGraphicBehind) {
    TPicture picture;
    auto bitmap = MakeTrueColor(3, 3);
    picture.OnChange = [](TPicture&) { throw EAbort("stop"); };
    EXPECT_THROW(picture.SetHeldGraphic(bitmap.get()), EAbort);
    EXPECT_EQ(picture.HeldGraphic(), nullptr);
    EXPECT_EQ(picture.Width(), 0);
}

TEST(Picture, LoadFromFileRefusesUnknownExtensions) {
    TPicture picture;
    try {
        picture.LoadFromFile("card.xyz");
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.message(), "Unknown picture file extension (.xyz)");
    }
    EXPECT_EQ(picture.HeldGraphic(), nullptr);
}

TEST(Picture, LoadFromFileReportsAMissingFile) {
    TPicture picture;
    EXPECT_THROW(picture.LoadFromFile("/nonexistent/dir/card.bmp"), EFOpenError);
    EXPECT_EQ(picture.HeldGraphic(), nullptr);
}

} // namespace
} // namespace graphics
