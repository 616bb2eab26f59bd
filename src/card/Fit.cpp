#include "card/Fit.h"

#include "graphics/Canvas.h"
#include "graphics/Color.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace card {

namespace {

// side * frame / other, the product an integer, the division in floating point, truncated
// toward zero. The product is formed in 64 bits: for every picture whose 32-bit product would
// not overflow the result is the same, and for the rest it is the true value instead of a
// wrapped one. A double holds these products exactly, so truncation never goes one off.
int ScaledSide(int side, int frame, int other) {
    const int64_t product = int64_t(side) * int64_t(frame);
    return static_cast<int>(static_cast<double>(product) / static_cast<double>(other));
}

} // namespace

FitPlacement PlaceInFrame(int w, int h, int W, int H) {
    FitPlacement p;
    if (w > h) {
        p.drawnHeight = ScaledSide(h, W, w);
        p.drawnWidth = W;
    } else if (h > w) {
        p.drawnWidth = ScaledSide(w, H, h);
        p.drawnHeight = H;
    } else {
        // Neither side leads: the whole square is shown, as large as the frame allows.
        p.drawnWidth = p.drawnHeight = std::min(W, H);
    }
    p.target.left = W / 2 - p.drawnWidth / 2;
    p.target.top = H / 2 - p.drawnHeight / 2;
    p.target.right = p.target.left + p.drawnWidth;
    p.target.bottom = p.target.top + p.drawnHeight;
    return p;
}

bool NeedsFit(int pictureWidth, int pictureHeight) {
    return pictureWidth != kPreviewWidth || pictureHeight != kPreviewHeight;
}

std::unique_ptr<graphics::TBitmap> Resize(std::unique_ptr<graphics::TBitmap> source, int W, int H) {
    auto result = std::make_unique<graphics::TBitmap>();
    const int w = source ? source->Width() : 0;
    const int h = source ? source->Height() : 0;
    const FitPlacement placement = PlaceInFrame(w, h, W, H);

    result->SetSize(W, H);
    graphics::TCanvas& canvas = result->Canvas();
    canvas.Brush().SetColor(graphics::clBlack);
    canvas.FillArea({0, 0, W, H});
    canvas.DrawStretched(placement.target, source.get());

    source.reset();
    return result;
}

std::unique_ptr<graphics::TBitmap> FitToCard(std::unique_ptr<graphics::TBitmap> source) {
    if (source && !NeedsFit(source->Width(), source->Height()))
        return source;
    // The fitted bitmap reports progress to whoever listened to the picture it replaces.
    graphics::TProgressEvent listener = source ? source->OnProgress : nullptr;
    auto fitted = Resize(std::move(source), kPreviewWidth, kPreviewHeight);
    fitted->OnProgress = std::move(listener);
    return fitted;
}

} // namespace card
