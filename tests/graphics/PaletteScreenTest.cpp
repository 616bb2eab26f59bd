// The palette paths of bitmaps on a display of 8 bits per pixel: halftone palettes for deeper
// images and HALFTONE stretching. The screen is chosen before anything reads it.
#include "TestSupport.h"
#include "graphics/Bitmap.h"
#include "graphics/ImageControl.h"
#include "platform/DeviceContext.h"
#include "platform/Gdi.h"
#include "platform/Screen.h"

#include <gtest/gtest.h>

namespace graphics {
namespace {

const bool kEightBitScreen = [] {
    platform::ScreenDescription screen;
    screen.bitsPerPixel = 8;
    platform::SetScreenForTesting(screen);
    return true;
}();

using test::MakeTrueColor;

TEST(EightBitScreen, DeepSectionGetsAHalftonePalette) {
    ASSERT_TRUE(kEightBitScreen);
    ASSERT_EQ(platform::GetDeviceCaps(platform::GetScreenDC(), platform::BITSPIXEL), 8);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(8, 8);
    ASSERT_NE(bitmap->PaletteHandle(), nullptr);
    EXPECT_TRUE(bitmap->Image().halftone);
    EXPECT_FALSE(bitmap->IgnorePalette());
    uint16_t entries = 0;
    platform::GetObject(*bitmap->PaletteHandle(), entries);
    EXPECT_EQ(entries, 256);
}

TEST(EightBitScreen, EightBitSectionUsesItsOwnTable) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf8bit);
    bitmap.SetSize(4, 4);
    ASSERT_NE(bitmap.PaletteHandle(), nullptr);
    EXPECT_FALSE(bitmap.Image().halftone);
}

TEST(EightBitScreen, DeeperBitmapsStretchWithHalftoneKeepingTheBrushOrigin) {
    auto photo = MakeTrueColor(64, 64, clBlue);
    photo->SetPixelFormat(pf24bit);
    TPaintBuffer target(16, 16);
    platform::DeviceContext& dc = target.Canvas().DeviceContext();
    platform::SetBrushOrgEx(dc, 3, 5, nullptr);
    target.Canvas().DrawStretched({0, 0, 16, 16}, photo.get());
    EXPECT_EQ(platform::GetStretchBltMode(dc), platform::HALFTONE);
    platform::POINT origin;
    platform::GetBrushOrgEx(dc, &origin);
    EXPECT_EQ(origin, (platform::POINT{3, 5}));
    EXPECT_EQ(target.PixelAt(8, 8), 0xFF0000u);
}

TEST(EightBitScreen, MonochromeBitmapsLeaveTheStretchModeAlone) {
    TBitmap mono;
    mono.SetPixelFormat(pf1bit);
    mono.SetSize(8, 8);
    mono.SetPixelFormat(pfDevice);
    ASSERT_TRUE(mono.IsMonochrome());
    TPaintBuffer target(16, 16);
    platform::DeviceContext& dc = target.Canvas().DeviceContext();
    platform::SetStretchBltMode(dc, platform::BLACKONWHITE);
    target.Canvas().DrawStretched({0, 0, 16, 16}, &mono);
    EXPECT_EQ(platform::GetStretchBltMode(dc), platform::BLACKONWHITE);
}

TEST(EightBitScreen, PrivateCopyOfAHalftoneImageMakesItsPaletteAgain) {
    auto photo = std::make_unique<TBitmap>();
    photo->SetPixelFormat(pf24bit);
    photo->SetSize(8, 8);
    ASSERT_NE(photo->PaletteHandle(), nullptr);
    ASSERT_TRUE(photo->Image().halftone);
    TBitmap copy;
    copy.CopyFrom(photo.get());
    copy.Canvas().SetPixelAt(1, 1, clRed);
    ASSERT_FALSE(copy.SharesImageWith(*photo));
    ASSERT_NE(copy.PaletteHandle(), nullptr);
    EXPECT_NE(copy.PaletteHandle(), photo->PaletteHandle());
    EXPECT_TRUE(copy.Image().halftone);
}

} // namespace
} // namespace graphics
