// The main window's edit commands: the picture history and the clipboard.
#include "app/mnVelmora.h"
#include "card/Fit.h"
#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"

#include <memory>
#include <utility>

namespace velmora {

namespace {

// The clipboard object of this activation. Activation normally makes it; a command reached
// before the first activation gets one made here rather than a null object.
clipbrd::TClipboard& ClipboardOf(CardState& state) {
    if (!state.ClipboardObj)
        state.ClipboardObj = std::make_unique<clipbrd::TClipboard>();
    return *state.ClipboardObj;
}

// Paints the whole card white with a solid brush and gives the canvas its brush back, so the
// clear does not depend on what the last drawing left in the brush (after the overlay it is
// clear and would paint nothing).
void ClearToWhite(graphics::TCanvas& canvas, int width, int height) {
    graphics::TBrush saved;
    saved.CopyFrom(&canvas.Brush());
    canvas.Brush().SetStyle(graphics::bsSolid);
    canvas.Brush().SetColor(graphics::clWhite);
    try {
        canvas.FillArea({0, 0, width, height});
    } catch (...) {
        canvas.Brush().CopyFrom(&saved);
        throw;
    }
    canvas.Brush().CopyFrom(&saved);
}

} // namespace

void TForm1::TakePicture() {
    CardBitmap(); // the preview holds its card from here on
    History.Take(Image1->Image().Picture());
}

void TForm1::UndoPicture() {
    History.Undo(Image1->Image().Picture());
}

void TForm1::RedoPicture() {
    History.Redo(Image1->Image().Picture());
}

void TForm1::Undo1Click() {
    Undo2Click();
}

void TForm1::Undo2Click() {
    UndoPicture();
}

void TForm1::Repeatcommand1Click() {
    RedoPicture();
}

void TForm1::Copy2Click() {
    ClipboardOf(State()).CopyFrom(&CardToHandOn(*this, "copy"));
}

// Cut takes no snapshot: Undo afterwards goes back to the newest one.
void TForm1::Cut2Click() {
    graphics::TBitmap& card = CardToHandOn(*this, "cut");
    ClipboardOf(State()).CopyFrom(&card);
    ClearToWhite(CardCanvas(), card.Width(), card.Height());
}

// The card takes the clipboard's picture fitted to the card like a background (a card pasted
// back stays pixel for pixel), keeping the bitmap object and so its canvas's tools. A clipboard
// without a picture, or with one without pixels, leaves the card as it was.
void TForm1::Paste2Click() {
    auto pasted = std::make_unique<graphics::TBitmap>();
    pasted->CopyFrom(&ClipboardOf(State()));
    if (pasted->Width() <= 0 || pasted->Height() <= 0)
        throw graphics::EInvalidGraphic("The clipboard's picture has no pixels to put on the card");
    CardBitmap().CopyFrom(card::FitToCard(std::move(pasted)).get());
    State().HasPicture = true;
}

} // namespace velmora
