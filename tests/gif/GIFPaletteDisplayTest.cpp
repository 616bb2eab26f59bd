// The reader on a display of 8 bits per pixel: with the default render options every frame is
// dithered to the web palette. The screen is chosen before any module reads it, so this runs
// as its own test program.
#include "GIFTestSupport.h"
#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "platform/Screen.h"

#include <gtest/gtest.h>

using namespace giftest;

namespace {

const bool kScreenChosen = [] {
    platform::ScreenDescription screen;
    screen.bitsPerPixel = 8;
    platform::SetScreenForTesting(screen);
    return true;
}();

std::unique_ptr<gif::TGIFImage> GreyImage(uint16_t screenW, uint16_t screenH, uint16_t left,
                                          uint16_t top, uint16_t w, uint16_t h) {
    const std::vector<RGB> colors{{128, 128, 128}, {0, 0, 0}};
    GifBuilder b;
    b.Header(screenW, screenH, 0, "GIF89a", colors);
    b.LiteralImage(left, top, w, h, Bytes(size_t(w) * h, 0), 2).Trailer();
    auto image = std::make_unique<gif::TGIFImage>();
    image->LoadFromBytes(b.Data());
    return image;
}

// Counts, over the given pixels, the channel values that are 102 and 153; any other value
// fails.
void ExpectGreyMixture(graphics::TBitmap& bitmap, int left, int top, int right, int bottom) {
    int low = 0, high = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const auto c = platform::COLORREF(bitmap.Canvas().PixelAt(x, y));
            for (uint8_t v :
                 {platform::GetRValue(c), platform::GetGValue(c), platform::GetBValue(c)}) {
                ASSERT_TRUE(v == 102 || v == 153) << x << "," << y << ": " << int(v);
                (v == 102 ? low : high)++;
            }
        }
    EXPECT_GT(low, 0);
    EXPECT_GT(high, 0);
}

} // namespace

TEST(GIFOnPaletteDisplay, DefaultOptionsDither) {
    ASSERT_TRUE(kScreenChosen);
    EXPECT_TRUE(gif::PaletteDisplay());
    auto image = GreyImage(16, 16, 0, 0, 16, 16);
    EXPECT_TRUE(image->DitheringApplies());
    graphics::TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->PixelFormat(), graphics::pf8bit);
    uint16_t entries = 0;
    platform::GetObject(*bitmap->PaletteOf(), entries);
    EXPECT_EQ(entries, 216);
    ExpectGreyMixture(*bitmap, 0, 0, 16, 16);
}

TEST(GIFOnPaletteDisplay, PlacedFrameIsDitheredOnWhite) {
    auto image = GreyImage(20, 10, 4, 2, 8, 6);
    graphics::TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), 20);
    ExpectGreyMixture(*bitmap, 4, 2, 12, 8);
    EXPECT_EQ(platform::COLORREF(bitmap->Canvas().PixelAt(0, 0)), platform::RGB(255, 255, 255));
    EXPECT_EQ(platform::COLORREF(bitmap->Canvas().PixelAt(12, 8)), platform::RGB(255, 255, 255));
}

TEST(GIFOnPaletteDisplay, AutoDitherOffStillDithers) {
    auto image = GreyImage(4, 4, 0, 0, 4, 4);
    image->SetRenderOptions(gif::goDither);
    EXPECT_TRUE(image->DitheringApplies());
    image->SetRenderOptions(0);
    EXPECT_FALSE(image->DitheringApplies());
    graphics::TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(platform::COLORREF(bitmap->Canvas().PixelAt(1, 1)), platform::RGB(128, 128, 128));
}
