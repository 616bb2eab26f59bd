// Fitting a picture into the card: the placement arithmetic for each kind of picture, and the
// fitted bitmaps themselves (black bands on exact rows and columns, the picture stretched into
// exactly the placement rectangle, the parts outside the card cut off).
#include "card/Fit.h"

#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Color.h"

#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

namespace {

using card::FitPlacement;
using card::kPreviewHeight;
using card::kPreviewWidth;
using card::PlaceInFrame;
using card::Resize;
using graphics::TBitmap;
using graphics::TColor;
using platform::RECT;

constexpr TColor kTopLeft = 0x2040E0; // red-ish
constexpr TColor kTopRight = 0x30C040;
constexpr TColor kBottomLeft = 0xE06020;
constexpr TColor kBottomRight = 0x20D0F0;

// A w x h picture in four quadrants of clearly different, non-black colours, so a stretched copy
// shows where each part of the source went and every black pixel is a band.
std::unique_ptr<TBitmap> QuadrantPicture(int w, int h) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(w, h);
    graphics::TCanvas& canvas = bitmap->Canvas();
    const int mx = w / 2;
    const int my = h / 2;
    const struct {
        RECT area;
        TColor color;
    } parts[] = {{{0, 0, mx, my}, kTopLeft},
                 {{mx, 0, w, my}, kTopRight},
                 {{0, my, mx, h}, kBottomLeft},
                 {{mx, my, w, h}, kBottomRight}};
    for (const auto& part : parts) {
        canvas.Brush().SetColor(part.color);
        canvas.FillArea(part.area);
    }
    return bitmap;
}

std::vector<TColor> PixelsOf(TBitmap& bitmap) {
    std::vector<TColor> pixels;
    pixels.reserve(size_t(bitmap.Width()) * size_t(bitmap.Height()));
    graphics::TCanvas& canvas = bitmap.Canvas();
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x)
            pixels.push_back(canvas.PixelAt(x, y));
    }
    return pixels;
}

// A black frame with the same kind of source stretched into the given rectangle: what a fitted
// picture must look like, pixel for pixel.
std::vector<TColor> ExpectedFrame(int sourceW, int sourceH, int W, int H, RECT target) {
    TBitmap frame;
    frame.SetSize(W, H);
    frame.Canvas().Brush().SetColor(graphics::clBlack);
    frame.Canvas().FillArea({0, 0, W, H});
    auto source = QuadrantPicture(sourceW, sourceH);
    frame.Canvas().DrawStretched(target, source.get());
    return PixelsOf(frame);
}

struct Row {
    int w, h;
    int dw, dh;
    RECT target;
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << r.w << " x " << r.h;
}

// The worked values for the 495 x 315 card, and the other shapes the card meets.
const Row kCardRows[] = {
    // 371.25 truncated: 28 rows cut at the top and at the bottom.
    {800, 600, 495, 371, {0, -28, 495, 343}},
    // An even drawn height taller than the card: the halves are taken apart, so 29 rows are cut
    // at the top and 28 at the bottom.
    {495, 372, 495, 372, {0, -29, 495, 343}},
    // 247.5 truncated: black bands of 34 rows above and below.
    {1000, 500, 495, 247, {0, 34, 495, 281}},
    // 236.25 truncated: bands of 129 columns left and 130 right.
    {600, 800, 236, 315, {129, 0, 365, 315}},
    // 185.625 truncated, not rounded: bands of 65 rows above and below.
    {400, 150, 495, 185, {0, 65, 495, 250}},
    // A square is shown whole at the card's height, centred: bands of 90 columns each side.
    {800, 800, 315, 315, {90, 0, 405, 315}},
    {316, 316, 315, 315, {90, 0, 405, 315}},
    // Exactly the card's shape fills it.
    {990, 630, 495, 315, {0, 0, 495, 315}},
    // One pixel wider than the card: 99.8 truncated to 99, odd height centred by halves.
    {496, 100, 495, 99, {0, 108, 495, 207}},
    // One pixel higher: 99.68 truncated to 99.
    {100, 316, 99, 315, {198, 0, 297, 315}},
};

class FitRows : public ::testing::TestWithParam<Row> {};

TEST_P(FitRows, PlacementOnTheCard) {
    const Row& r = GetParam();
    const FitPlacement p = PlaceInFrame(r.w, r.h, kPreviewWidth, kPreviewHeight);
    EXPECT_EQ(p.drawnWidth, r.dw);
    EXPECT_EQ(p.drawnHeight, r.dh);
    EXPECT_EQ(p.target.left, r.target.left);
    EXPECT_EQ(p.target.top, r.target.top);
    EXPECT_EQ(p.target.right, r.target.right);
    EXPECT_EQ(p.target.bottom, r.target.bottom);
}

TEST_P(FitRows, FittedBitmapIsThePictureStretchedIntoTheRectangleOnBlack) {
    const Row& r = GetParam();
    auto fitted = Resize(QuadrantPicture(r.w, r.h), kPreviewWidth, kPreviewHeight);
    ASSERT_EQ(fitted->Width(), kPreviewWidth);
    ASSERT_EQ(fitted->Height(), kPreviewHeight);

    const std::vector<TColor> pixels = PixelsOf(*fitted);
    EXPECT_EQ(pixels, ExpectedFrame(r.w, r.h, kPreviewWidth, kPreviewHeight, r.target));

    // Independently of the reference: black exactly outside the rectangle, the picture inside.
    const auto at = [&](int x, int y) { return pixels[size_t(y) * kPreviewWidth + size_t(x)]; };
    int wrong = 0;
    for (int y = 0; y < kPreviewHeight; ++y) {
        for (int x = 0; x < kPreviewWidth; ++x) {
            const bool inside = x >= r.target.left && x < r.target.right && y >= r.target.top &&
                                y < r.target.bottom;
            if (inside != (at(x, y) != graphics::clBlack))
                ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);

    // The quadrants keep their places: corners of the visible part of the rectangle.
    const int left = std::max(0, r.target.left);
    const int top = std::max(0, r.target.top);
    const int right = std::min(kPreviewWidth, r.target.right) - 1;
    const int bottom = std::min(kPreviewHeight, r.target.bottom) - 1;
    EXPECT_EQ(at(left, top), kTopLeft);
    EXPECT_EQ(at(right, top), kTopRight);
    EXPECT_EQ(at(left, bottom), kBottomLeft);
    EXPECT_EQ(at(right, bottom), kBottomRight);
}

INSTANTIATE_TEST_SUITE_P(Card, FitRows, ::testing::ValuesIn(kCardRows));

TEST(Fit, CutRowsAreEqualAtTopAndBottom) {
    // 800 x 600 is drawn 371 high from row -28: the source rows that land above the card and
    // below it are lost in equal numbers, so the middle of the picture stays in the middle.
    auto source = std::make_unique<TBitmap>();
    source->SetSize(800, 600);
    graphics::TCanvas& canvas = source->Canvas();
    canvas.Brush().SetColor(0x808080);
    canvas.FillArea({0, 0, 800, 600});
    // Bands of 40 source rows at the top and bottom: about 24.7 card rows, all inside the cut.
    canvas.Brush().SetColor(0x00FF00);
    canvas.FillArea({0, 0, 800, 40});
    canvas.FillArea({0, 560, 800, 600});
    // A band of 20 rows across the middle.
    canvas.Brush().SetColor(0xFF0000);
    canvas.FillArea({0, 290, 800, 310});

    auto fitted = Resize(std::move(source), kPreviewWidth, kPreviewHeight);
    graphics::TCanvas& out = fitted->Canvas();
    int middleFirst = -1;
    int middleLast = -1;
    for (int y = 0; y < kPreviewHeight; ++y) {
        const TColor c = out.PixelAt(kPreviewWidth / 2, y);
        EXPECT_NE(c, TColor(0x00FF00)) << "row " << y << " shows a part that must be cut";
        if (c == TColor(0xFF0000)) {
            if (middleFirst < 0)
                middleFirst = y;
            middleLast = y;
        }
    }
    // Source rows 290..309 scaled by 371/600 and moved up by 28: card rows 151..162.
    EXPECT_GE(middleFirst, 150);
    EXPECT_LE(middleLast, 163);
    EXPECT_NEAR((middleFirst + middleLast) / 2.0, 157, 1.5);
}

TEST(Fit, OtherFrameSizes) {
    // The rule is the same for any frame; halves truncate toward zero.
    FitPlacement p = PlaceInFrame(300, 100, 101, 51);
    EXPECT_EQ(p.drawnWidth, 101);
    EXPECT_EQ(p.drawnHeight, 33); // 33.67 truncated
    EXPECT_EQ(p.target.left, 0);
    EXPECT_EQ(p.target.top, 25 - 16);
    EXPECT_EQ(p.target.bottom, 9 + 33);

    // A square in a portrait frame fits its width.
    p = PlaceInFrame(500, 500, 100, 300);
    EXPECT_EQ(p.drawnWidth, 100);
    EXPECT_EQ(p.drawnHeight, 100);
    EXPECT_EQ(p.target.left, 0);
    EXPECT_EQ(p.target.top, 100);
}

TEST(Fit, ProductsBeyondThirtyTwoBitsKeepTheirTrueValue) {
    // 2,000,000 x 5,000 does not fit in 32 bits; the drawn height is still the true quotient.
    const FitPlacement p = PlaceInFrame(3'000'000, 2'000'000, 5'000, 5'000);
    EXPECT_EQ(p.drawnWidth, 5'000);
    EXPECT_EQ(p.drawnHeight, 3'333);
    EXPECT_EQ(p.target.top, 2'500 - 1'666);
}

TEST(Fit, EmptySourceGivesTheBlackFrame) {
    auto fitted = Resize(std::make_unique<TBitmap>(), 40, 30);
    ASSERT_EQ(fitted->Width(), 40);
    ASSERT_EQ(fitted->Height(), 30);
    for (TColor c : PixelsOf(*fitted))
        ASSERT_EQ(c, graphics::clBlack);
    EXPECT_EQ(Resize(nullptr, 8, 8)->Width(), 8);

    // A picture so flat that its drawn height truncates to 0 leaves the frame black.
    EXPECT_EQ(PlaceInFrame(1000, 1, kPreviewWidth, kPreviewHeight).drawnHeight, 0);
    auto line = Resize(QuadrantPicture(1000, 1), kPreviewWidth, kPreviewHeight);
    for (TColor c : PixelsOf(*line))
        ASSERT_EQ(c, graphics::clBlack);
}

TEST(Fit, EverySizeButTheCardsIsFitted) {
    EXPECT_FALSE(card::NeedsFit(495, 315));
    for (const auto& [w, h] :
         {std::pair{10, 10}, std::pair{0, 0}, std::pair{496, 1}, std::pair{1, 316},
          std::pair{494, 315}, std::pair{495, 314}, std::pair{315, 495}, std::pair{990, 630}})
        EXPECT_TRUE(card::NeedsFit(w, h)) << w << " x " << h;
}

TEST(Fit, FitToCardKeepsACardSizedPictureAndScalesTheRest) {
    auto exact = QuadrantPicture(kPreviewWidth, kPreviewHeight);
    const TBitmap* exactAddress = exact.get();
    auto kept = card::FitToCard(std::move(exact));
    EXPECT_EQ(kept.get(), exactAddress);

    auto small = card::FitToCard(QuadrantPicture(99, 63));
    ASSERT_EQ(small->Width(), kPreviewWidth);
    ASSERT_EQ(small->Height(), kPreviewHeight);
    // 99 x 63 has the card's proportions: scaled five times, it fills the card without bands.
    EXPECT_NE(small->Canvas().PixelAt(0, 0), graphics::clBlack);
    EXPECT_NE(small->Canvas().PixelAt(494, 314), graphics::clBlack);

    auto none = card::FitToCard(nullptr);
    EXPECT_EQ(none->Width(), kPreviewWidth);
}

} // namespace
