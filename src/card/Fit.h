// Fitting a background into the card: a picture of any other size than the card's is scaled to
// the card's width (landscape) or height (portrait), centred on black, so the overlay always
// lands on it; smaller pictures are scaled up the same way larger ones are scaled down. A landscape
// picture flatter than the card gets black bands above and below; a taller one is cut equally at
// top and bottom; a portrait picture gets bands left and right; a square one is scaled to the
// card's smaller side.
#pragma once

#include "graphics/Bitmap.h"
#include "platform/Gdi.h"

#include <memory>

namespace card {

// The size of the preview, and so of a fitted card.
inline constexpr int kPreviewWidth = 495;
inline constexpr int kPreviewHeight = 315;

// Where a picture of w x h lands in a frame of W x H: the drawn size and the rectangle it is
// stretched into (right and bottom exclusive; parts outside the frame are clipped).
struct FitPlacement {
    int drawnWidth = 0;
    int drawnHeight = 0;
    platform::RECT target{};
};

// The placement rule. Landscape (w > h): the drawn height is h * W / w, the product taken as an
// integer and divided in floating point, truncated toward zero; the drawn width is W. Portrait
// (h > w): the drawn width is w * H / h in the same way; the drawn height is H. Square (w == h):
// min(W, H) both ways. The rectangle is centred with integer halves:
// left = W / 2 - dw / 2, top = H / 2 - dh / 2 (each division truncating toward zero).
FitPlacement PlaceInFrame(int w, int h, int W, int H);

// True when the picture must be fitted before the card takes it: any size but exactly the
// card's 495 x 315, which goes in unchanged, pixel for pixel.
bool NeedsFit(int pictureWidth, int pictureHeight);

// A new W x H bitmap, black, with source stretched into PlaceInFrame's rectangle through the
// result's canvas. Takes source and releases it. A null or empty source gives the black frame.
std::unique_ptr<graphics::TBitmap> Resize(std::unique_ptr<graphics::TBitmap> source, int W, int H);

// The picture as the card takes it: source itself when it is exactly the card's size, else
// Resize(source, 495, 315). Every way a picture reaches the card (Find, Paste, the command
// line's background) goes through this one rule.
std::unique_ptr<graphics::TBitmap> FitToCard(std::unique_ptr<graphics::TBitmap> source);

} // namespace card
