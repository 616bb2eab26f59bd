// The card commands of CardSession: Find, Save As, Verify and the clipboard commands. Each works
// on the session's card and state alone; the window supplies file names and the typed data.
#include "app/CardSession.h"
#include "card/Fit.h"
#include "graphics/Exceptions.h"
#include "jpeg/JPEGImage.h"

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

void CardSession::FindBackground(const std::string& fileName) {
    const CommandScope command(*this);
    card::BackgroundObjects& pictures = state_.Pictures;
    pictures.OnProgress = OnProgress;
    CardBitmap().CopyFrom(&card::LoadBackground(pictures, fileName));
    state_.HasPicture = true;
    TakePicture();
}

void CardSession::SaveCard(const std::string& fileName) {
    const CommandScope command(*this);
    graphics::TBitmap& card = CardToHandOn("save");
    card::BackgroundObjects& pictures = state_.Pictures;
    // Before any Find or Verify there are no picture objects yet; the card is saved all the same.
    if (!pictures.WorkBitmap)
        pictures.WorkBitmap = std::make_unique<graphics::TBitmap>();
    if (!pictures.JpegImage) {
        pictures.JpegImage = std::make_unique<jpeg::TJPEGImage>();
        pictures.JpegImage->OnProgress = OnProgress;
    }
    pictures.WorkBitmap->CopyFrom(&card);
    pictures.JpegImage->CopyFrom(pictures.WorkBitmap.get());
    // The picture is encoded before the file is touched and replaces it only once it is
    // completely written, so a failure leaves an existing file as it was.
    pictures.JpegImage->WriteToFile(fileName);
}

void CardSession::LoadBlankCard(const std::string& path) {
    const CommandScope command(*this);
    card::BackgroundObjects& pictures = state_.Pictures;
    pictures.OnProgress = OnProgress;
    CardBitmap().CopyFrom(&card::LoadBlankCard(pictures, path));
    TakePicture();
}

void CardSession::DrawBoxes(const card::CardData& typed) {
    const CommandScope command(*this);
    card::DrawBoxes(CardCanvas(), CardDataFor(typed), state_.SavedFont);
}

void CardSession::Copy() {
    const CommandScope command(*this);
    ClipboardOf(state_).CopyFrom(&CardToHandOn("copy"));
}

// Cut takes no snapshot: Undo afterwards goes back to the newest one.
void CardSession::Cut() {
    const CommandScope command(*this);
    graphics::TBitmap& card = CardToHandOn("cut");
    ClipboardOf(state_).CopyFrom(&card);
    ClearToWhite(CardCanvas(), card.Width(), card.Height());
}

// The card takes the clipboard's picture fitted to the card like a background (a card pasted
// back stays pixel for pixel), keeping the bitmap object and so its canvas's tools. A clipboard
// without a picture, or with one without pixels, leaves the card as it was.
void CardSession::Paste() {
    const CommandScope command(*this);
    auto pasted = std::make_unique<graphics::TBitmap>();
    pasted->CopyFrom(&ClipboardOf(state_));
    if (pasted->Width() <= 0 || pasted->Height() <= 0)
        throw graphics::EInvalidGraphic("The clipboard's picture has no pixels to put on the card");
    CardBitmap().CopyFrom(card::FitToCard(std::move(pasted)).get());
    state_.HasPicture = true;
}

} // namespace velmora
