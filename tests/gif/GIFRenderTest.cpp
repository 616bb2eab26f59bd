// The first frame as a bitmap: whole-screen frames, frames placed on a white screen, palettes,
// transparency masks, missing colour tables, dithering to the web palette, and caching.
#include "GIFTestSupport.h"
#include "gif/GIFDither.h"
#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "graphics/PictureFormats.h"
#include "platform/Clipboard.h"

#include <gtest/gtest.h>

using namespace giftest;
using gif::TGIFImage;
using graphics::TBitmap;

namespace {

std::unique_ptr<TGIFImage> Load(const Bytes& bytes, uint16_t options = gif::kDefaultRenderOptions) {
    auto image = std::make_unique<TGIFImage>();
    image->LoadFromBytes(bytes);
    image->SetRenderOptions(options);
    return image;
}

platform::COLORREF Rgb(const RGB& c) {
    return platform::RGB(c[0], c[1], c[2]);
}

platform::COLORREF PixelOf(TBitmap& bitmap, int x, int y) {
    return platform::COLORREF(bitmap.Canvas().PixelAt(x, y));
}

// The 8-bit values of a row, read from a private copy so the bitmap itself stays shared.
Bytes RowOf(TBitmap& bitmap, int y) {
    TBitmap copy;
    copy.CopyFrom(&bitmap);
    const auto row = copy.RowAddress(y);
    return Bytes(row.begin(), row.begin() + copy.Width());
}

std::vector<platform::PALETTEENTRY> EntriesOf(platform::GdiPalette* palette) {
    uint16_t count = 0;
    platform::GetObject(*palette, count);
    std::vector<platform::PALETTEENTRY> entries(count);
    platform::GetPaletteEntries(*palette, 0, entries);
    return entries;
}

constexpr platform::COLORREF kWhite = platform::RGB(255, 255, 255);

Bytes Pattern(size_t n, int modulo) {
    Bytes v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t((i * 7 + i / 13) % size_t(modulo));
    return v;
}

} // namespace

TEST(GIFBitmap, WholeScreenFrameIsItsOwnIndexedBitmap) {
    const std::vector<RGB> colors = TestColors(256);
    const Bytes pixels = Pattern(495 * 315, 256);
    GifBuilder b;
    b.Header(495, 315, 7, "GIF89a", colors).LiteralImage(0, 0, 495, 315, pixels).Trailer();
    auto image = Load(b.Data());
    TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), 495);
    EXPECT_EQ(bitmap->Height(), 315);
    EXPECT_EQ(bitmap->PixelFormat(), graphics::pf8bit);
    EXPECT_FALSE(bitmap->IsTransparent());
    const auto entries = EntriesOf(bitmap->PaletteOf());
    ASSERT_EQ(entries.size(), 256u);
    for (size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(entries[i],
                  (platform::PALETTEENTRY{colors[i][0], colors[i][1], colors[i][2], 0}));
    for (int y : {0, 1, 157, 314})
        EXPECT_EQ(RowOf(*bitmap, y),
                  Bytes(pixels.begin() + y * 495, pixels.begin() + (y + 1) * 495))
            << "row " << y;
    EXPECT_EQ(PixelOf(*bitmap, 3, 2), Rgb(colors[pixels[2 * 495 + 3]]));
    // Shared with the frame's own bitmap, not copied.
    EXPECT_TRUE(bitmap->SharesImageWith(*image->SubImage(0).FrameBitmap()));
}

TEST(GIFBitmap, SmallerFrameIsDrawnAtItsPlaceOnWhite) {
    const std::vector<RGB> colors = TestColors(4);
    const Bytes pixels = Pattern(50 * 40, 4);
    GifBuilder b;
    b.Header(100, 100, 1, "GIF89a", colors).LiteralImage(10, 20, 50, 40, pixels, 2).Trailer();
    auto image = Load(b.Data());
    TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), 100);
    EXPECT_EQ(bitmap->Height(), 100);
    EXPECT_EQ(bitmap->StorageKind(), graphics::bmDDB);
    for (int y = 0; y < 100; y += 3)
        for (int x = 0; x < 100; x += 3) {
            const bool inside = x >= 10 && x < 60 && y >= 20 && y < 60;
            const platform::COLORREF expected =
                inside ? Rgb(colors[pixels[size_t(y - 20) * 50 + size_t(x - 10)]]) : kWhite;
            ASSERT_EQ(PixelOf(*bitmap, x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(PixelOf(*bitmap, 59, 59), Rgb(colors[pixels[39 * 50 + 49]]));
    EXPECT_EQ(PixelOf(*bitmap, 60, 59), kWhite);
    EXPECT_EQ(PixelOf(*bitmap, 9, 20), kWhite);
}

TEST(GIFBitmap, ScreenSizedFrameAtAnOffsetIsReturnedUnshifted) {
    const std::vector<RGB> colors = TestColors(4);
    const Bytes pixels = Pattern(8 * 6, 4);
    GifBuilder b;
    b.Header(8, 6, 1, "GIF89a", colors).LiteralImage(5, 5, 8, 6, pixels, 2).Trailer();
    auto image = Load(b.Data());
    TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(RowOf(*bitmap, 0), Bytes(pixels.begin(), pixels.begin() + 8));
    EXPECT_EQ(bitmap->PixelFormat(), graphics::pf8bit);
}

TEST(GIFBitmap, TransparentIndexKeepsItsColourAndMarksTheMask) {
    const std::vector<RGB> colors = TestColors(4);
    const Bytes pixels{0, 3, 1, 3, 3, 2, 0, 0, 1, 1, 3, 2};
    GifBuilder b;
    b.Header(4, 3, 1, "GIF89a", colors).GraphicControl(0x01, 0, 3);
    b.LiteralImage(0, 0, 4, 3, pixels, 2).Trailer();
    auto image = Load(b.Data());
    TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(PixelOf(*bitmap, 1, 0), Rgb(colors[3]));
    EXPECT_FALSE(bitmap->IsTransparent());
    platform::GdiBitmap* mask = image->SubImage(0).TransparencyMask();
    ASSERT_NE(mask, nullptr);
    platform::BITMAP info;
    platform::GetObject(*mask, info);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(info.bmWidth, 4);
    EXPECT_EQ(info.bmHeight, 3);
    platform::HDC dc = platform::CreateCompatibleDC(nullptr);
    platform::SelectObject(*dc, *mask);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(platform::GetPixel(*dc, x, y) == kWhite, pixels[size_t(y * 4 + x)] == 3)
                << x << "," << y;
}

TEST(GIFBitmap, NoMaskWithoutTransparentPixels) {
    GifBuilder b;
    b.Header(2, 2, 1).GraphicControl(0x01, 0, 3).LiteralImage(0, 0, 2, 2, Bytes{0, 1, 2, 1}, 2);
    auto image = Load(b.Data());
    ASSERT_NE(image->Bitmap(), nullptr);
    EXPECT_EQ(image->SubImage(0).TransparencyMask(), nullptr);
}

TEST(GIFBitmap, FrameWithoutImageGivesAWhiteScreen) {
    GifBuilder b;
    b.Header(6, 4, 1).Comment({"only a comment"}).Trailer();
    auto image = Load(b.Data());
    ASSERT_EQ(image->Count(), 1);
    EXPECT_EQ(image->SubImage(0).FrameBitmap(), nullptr);
    TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), 6);
    EXPECT_EQ(bitmap->Height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(PixelOf(*bitmap, x, y), kWhite);
}

TEST(GIFBitmap, LocalTableServesWithoutAGlobalOne) {
    const std::vector<RGB> local = TestColors(4);
    GifBuilder b;
    b.Header(2, 1).LiteralImage(0, 0, 2, 1, Bytes{2, 3}, 2, 0x81, local).Trailer();
    auto image = Load(b.Data());
    TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(PixelOf(*bitmap, 0, 0), Rgb(local[2]));
    EXPECT_EQ(PixelOf(*bitmap, 1, 0), Rgb(local[3]));
    EXPECT_EQ(EntriesOf(image->PaletteOf()).size(), 4u);
}

TEST(GIFBitmap, NoColourTableAtAllFailsEveryTime) {
    GifBuilder b;
    b.Header(2, 1).LiteralImage(0, 0, 2, 1, Bytes{0, 1}, 2).Trailer();
    auto image = Load(b.Data());
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            image->Bitmap();
            FAIL() << "attempt " << attempt;
        } catch (const gif::GIFException& e) {
            EXPECT_EQ(e.message(), gif::sNoColorTable);
        }
    }
    EXPECT_THROW(image->PaletteOf(), gif::GIFException);
}

TEST(GIFBitmap, OnePixelHighFrame) {
    const std::vector<RGB> colors = TestColors(4);
    GifBuilder b;
    b.Header(7, 1, 1, "GIF89a", colors).LiteralImage(0, 0, 7, 1, Bytes{0, 1, 2, 3, 2, 1, 0}, 2);
    auto image = Load(b.Data());
    TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(RowOf(*bitmap, 0), (Bytes{0, 1, 2, 3, 2, 1, 0}));
    EXPECT_EQ(PixelOf(*bitmap, 3, 0), Rgb(colors[3]));
}

TEST(GIFBitmap, IsBuiltOnceAndDroppedByTheNextLoad) {
    auto image =
        Load(GifBuilder().Header(2, 2, 1).LiteralImage(0, 0, 2, 2, Bytes{0, 1, 2, 3}, 2).Data());
    TBitmap* first = image->Bitmap();
    EXPECT_EQ(image->Bitmap(), first);
    image->LoadFromBytes(GifBuilder().Header(3, 1, 1).Trailer().Data());
    EXPECT_EQ(image->Bitmap(), nullptr) << "no frame, no bitmap";
}

TEST(GIFBitmap, FrameBitmapReportsRenderingProgress) {
    auto image =
        Load(GifBuilder().Header(2, 2, 1).LiteralImage(0, 0, 2, 2, Bytes{0, 1, 2, 3}, 2).Data());
    std::vector<std::pair<graphics::TProgressStage, std::string>> events;
    std::string sender;
    image->OnProgress = [&](graphics::TPersistent& s, graphics::TProgressStage stage, uint8_t, bool,
                            const platform::RECT&, const std::string& message) {
        events.emplace_back(stage, message);
        sender = std::string(s.ClassName());
    };
    ASSERT_NE(image->SubImage(0).FrameBitmap(), nullptr);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events.front(), std::make_pair(graphics::psStarting, std::string("Rendering...")));
    EXPECT_EQ(events.back().first, graphics::psEnding);
    EXPECT_EQ(sender, "TGIFSubImage");
}

TEST(GIFBitmap, AbortWhileRenderingGivesNoBitmap) {
    auto image =
        Load(GifBuilder().Header(2, 2, 1).LiteralImage(0, 0, 2, 2, Bytes{0, 1, 2, 3}, 2).Data());
    image->OnProgress = [](graphics::TPersistent&, graphics::TProgressStage stage, uint8_t, bool,
                           const platform::RECT&, const std::string&) {
        if (stage == graphics::psRunning)
            throw graphics::EAbort("");
    };
    EXPECT_EQ(image->SubImage(0).FrameBitmap(), nullptr);
}

TEST(GIFBitmap, DrawFrameScalesThePlaceOnTheScreen) {
    const std::vector<RGB> colors = TestColors(4);
    GifBuilder b;
    b.Header(10, 10, 1, "GIF89a", colors).LiteralImage(5, 5, 5, 5, Bytes(25, 2), 2);
    auto image = Load(b.Data());
    TBitmap target;
    target.SetSize(20, 20);
    image->SubImage(0).DrawFrame(target.Canvas(), platform::RECT{0, 0, 20, 20}, false);
    EXPECT_EQ(PixelOf(target, 9, 9), kWhite);
    EXPECT_EQ(PixelOf(target, 10, 10), Rgb(colors[2]));
    EXPECT_EQ(PixelOf(target, 19, 19), Rgb(colors[2]));
}

TEST(GIFBitmap, TransparentDrawingLeavesTransparentPixelsAlone) {
    const std::vector<RGB> colors = TestColors(4);
    GifBuilder b;
    b.Header(3, 1, 1, "GIF89a", colors).GraphicControl(0x01, 0, 1);
    b.LiteralImage(0, 0, 3, 1, Bytes{0, 1, 2}, 2);
    auto image = Load(b.Data());
    TBitmap target;
    target.SetSize(3, 1);
    target.Canvas().Brush().SetColor(graphics::clRed);
    target.Canvas().FillArea(platform::RECT{0, 0, 3, 1});
    image->SubImage(0).DrawFrame(target.Canvas(), platform::RECT{0, 0, 3, 1}, true);
    EXPECT_EQ(PixelOf(target, 0, 0), Rgb(colors[0]));
    EXPECT_EQ(PixelOf(target, 1, 0), platform::RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(target, 2, 0), Rgb(colors[2]));
}

TEST(GIFBitmap, DrawGraphicStretchesTheFirstFrame) {
    const std::vector<RGB> colors = TestColors(4);
    auto image = Load(GifBuilder()
                          .Header(2, 1, 1, "GIF89a", colors)
                          .LiteralImage(0, 0, 2, 1, Bytes{1, 2}, 2)
                          .Data());
    TBitmap target;
    target.SetSize(4, 2);
    target.Canvas().DrawStretched(platform::RECT{0, 0, 4, 2}, image.get());
    EXPECT_EQ(PixelOf(target, 1, 1), Rgb(colors[1]));
    EXPECT_EQ(PixelOf(target, 2, 0), Rgb(colors[2]));
}

// ---- Dithering --------------------------------------------------------------------------------

constexpr uint16_t kAlwaysDither = gif::goDither;

TEST(GIFDither, WebPaletteHoldsTheColourCube) {
    const platform::HPALETTE palette = gif::WebPalette();
    const auto entries = EntriesOf(palette.get());
    ASSERT_EQ(entries.size(), 216u);
    EXPECT_EQ(entries[0], (platform::PALETTEENTRY{0, 0, 0, 0}));
    EXPECT_EQ(entries[36 * 1 + 6 * 2 + 3], (platform::PALETTEENTRY{51, 102, 153, 0}));
    EXPECT_EQ(entries[215], (platform::PALETTEENTRY{255, 255, 255, 0}));
}

TEST(GIFDither, RoundsHalvesToEven) {
    EXPECT_EQ(gif::RoundToWebLevel(25), 0);
    EXPECT_EQ(gif::RoundToWebLevel(26), 1);
    EXPECT_EQ(gif::RoundToWebLevel(128), 3);
    EXPECT_EQ(gif::RoundToWebLevel(-26), -1);
    EXPECT_EQ(gif::RoundToWebLevel(300), 6);
}

TEST(GIFDither, GreyFrameSpreadsErrorsInSerpentineOrder) {
    // Worked by hand: row 0 left to right gives levels 3, 2; row 1 right to left gives 3 at
    // x = 1, then 2 at x = 0 with the error carried leftwards.
    const std::vector<RGB> colors{{128, 128, 128}, {0, 0, 0}};
    auto image = Load(GifBuilder()
                          .Header(2, 2, 0, "GIF89a", colors)
                          .LiteralImage(0, 0, 2, 2, Bytes(4, 0), 2)
                          .Data(),
                      kAlwaysDither);
    ASSERT_TRUE(image->DitheringApplies());
    TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(RowOf(*bitmap, 0), (Bytes{129, 86}));
    EXPECT_EQ(RowOf(*bitmap, 1), (Bytes{86, 129}));
    EXPECT_EQ(EntriesOf(bitmap->PaletteOf()).size(), 216u);
}

TEST(GIFDither, GreyBecomesAMixtureOfLevelsTwoAndThree) {
    const std::vector<RGB> colors{{128, 128, 128}, {0, 0, 0}};
    auto image = Load(GifBuilder()
                          .Header(32, 32, 0, "GIF89a", colors)
                          .LiteralImage(0, 0, 32, 32, Bytes(1024, 0), 2)
                          .Data(),
                      kAlwaysDither);
    TBitmap* bitmap = image->Bitmap();
    ASSERT_NE(bitmap, nullptr);
    int sum = 0;
    std::array<int, 2> seen{};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const platform::COLORREF c = PixelOf(*bitmap, x, y);
            for (uint8_t v :
                 {platform::GetRValue(c), platform::GetGValue(c), platform::GetBValue(c)}) {
                ASSERT_TRUE(v == 102 || v == 153) << int(v);
                ++seen[v == 153];
            }
            sum += platform::GetRValue(c);
        }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_NEAR(sum / 1024.0, 128.0, 1.0);
}

TEST(GIFDither, IndicesBeyondTheTableAreBlack) {
    const std::vector<RGB> colors{{255, 255, 255}, {255, 255, 255}};
    auto image = Load(GifBuilder()
                          .Header(3, 1, 0, "GIF89a", colors)
                          .LiteralImage(0, 0, 3, 1, Bytes{3, 3, 3}, 2)
                          .Data(),
                      kAlwaysDither);
    EXPECT_EQ(RowOf(*image->Bitmap(), 0), (Bytes{0, 0, 0}));
}

TEST(GIFDither, TransparentPixelsKeepTheirNearestColourAndTakeNoError) {
    const std::vector<RGB> colors{{128, 128, 128}, {100, 0, 255}};
    GifBuilder b;
    b.Header(3, 1, 0, "GIF89a", colors).GraphicControl(0x01, 0, 1);
    b.LiteralImage(0, 0, 3, 1, Bytes{0, 1, 0}, 2);
    auto image = Load(b.Data(), kAlwaysDither);
    // Pixel 0 rounds 128 up and spreads -25 * 1024; pixel 1 is transparent and neither takes
    // nor passes it on, so pixel 2 rounds up again.
    EXPECT_EQ(RowOf(*image->Bitmap(), 0), (Bytes{129, 36 * 2 + 0 + 5, 129}));
    ASSERT_NE(image->SubImage(0).TransparencyMask(), nullptr);
}

TEST(GIFDither, FrameWithoutAnyTableFails) {
    auto image = Load(GifBuilder().Header(2, 1).LiteralImage(0, 0, 2, 1, Bytes{0, 1}, 2).Data(),
                      kAlwaysDither);
    try {
        image->Bitmap();
        FAIL();
    } catch (const gif::GIFException& e) {
        EXPECT_EQ(e.message(), gif::sNoColorTable);
    }
}

TEST(GIFDither, DefaultOptionsDoNotDitherOnATrueColourScreen) {
    auto image = Load(GifBuilder().Header(2, 1, 0).LiteralImage(0, 0, 2, 1, Bytes{0, 1}, 2).Data());
    EXPECT_FALSE(gif::PaletteDisplay());
    EXPECT_FALSE(image->DitheringApplies());
    image->SetRenderOptions(gif::goDither | gif::goAutoDither);
    EXPECT_FALSE(image->DitheringApplies());
    image->SetRenderOptions(gif::goDither);
    EXPECT_TRUE(image->DitheringApplies());
}

// ---- Unit registrations -----------------------------------------------------------------------

// The format list's "gif" entry comes from the picture table (tests/card/PictureTableTest).
TEST(GIFUnit, RegistersTheClipboardName) {
    gif::InitializeGIFImageUnit();
    EXPECT_GE(gif::CF_GIF(), platform::kFirstRegisteredFormat);
    EXPECT_EQ(platform::GetClipboardFormatName(gif::CF_GIF()), "GIF Image");
    const auto created = TGIFImage::Class().Create();
    EXPECT_NE(dynamic_cast<TGIFImage*>(created.get()), nullptr);
}
