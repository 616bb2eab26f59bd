#include "app/CardSession.h"

#include "graphics/Exceptions.h"
#include "platform/Ascii.h"

#include <utility>

namespace velmora {

std::string CardFileName(const std::string& typed) {
    if (platform::EndsWithNoCase(typed, ".jpg") || platform::EndsWithNoCase(typed, ".jpeg"))
        return typed;
    return typed + ".jpg";
}

CardSession::CommandScope::CommandScope(CardSession& session) : session_(session) {
    ++session_.commandDepth_;
}

CardSession::CommandScope::~CommandScope() {
    if (--session_.commandDepth_ > 0 || !session_.changedInCommand_)
        return;
    session_.changedInCommand_ = false;
    if (session_.OnCardChanged)
        session_.OnCardChanged(session_.card_);
}

CardSession::CardSession(std::string profileLocation) : store_(std::move(profileLocation)) {
    card_.OnChange = [this](graphics::TPicture&) { CardPictureChanged(); };
}

void CardSession::CardPictureChanged() {
    if (commandDepth_ > 0)
        changedInCommand_ = true;
    else if (OnCardChanged)
        OnCardChanged(card_);
}

CardSession::~CardSession() {
    card_.OnChange = nullptr;
}

const StationProfile& CardSession::ReadStationProfile() {
    store_.Values = ReadProfile(store_.IniFile);
    return store_.Values;
}

void CardSession::StartCard(int width, int height) {
    const CommandScope command(*this);
    width_ = width;
    height_ = height;
    state_.CallIdFont = card::StartingCallIdFont(CardCanvas().Font());
}

void CardSession::Activate() {
    state_.ClipboardObj = std::make_unique<clipbrd::TClipboard>();
    state_.TextColor = graphics::clBlack;
}

graphics::TBitmap& CardSession::CardBitmap() {
    // An empty card is a white bitmap of the preview's size from the first time it is asked
    // for; from then on the picture always holds the card bitmap.
    if (card_.HeldGraphic() == nullptr) {
        graphics::TBitmap blank;
        blank.ResizeWidth(width_);
        blank.ResizeHeight(height_);
        card_.SetHeldGraphic(&blank);
    }
    return card_.Bitmap();
}

graphics::TCanvas& CardSession::CardCanvas() {
    return CardBitmap().Canvas();
}

card::CardData CardSession::CardDataFor(card::CardData typed) const {
    typed.power = Profile().PWR;
    typed.textColor = state_.TextColor;
    typed.callIdFont = state_.CallIdFont;
    return typed;
}

graphics::TBitmap& CardSession::CardToHandOn(std::string_view action) {
    graphics::TBitmap& card = CardBitmap();
    if (card.Width() <= 0 || card.Height() <= 0) {
        std::string message = "The card is empty: there is nothing to ";
        message += action;
        throw graphics::Exception(message);
    }
    return card;
}

void CardSession::TakePicture() {
    const CommandScope command(*this);
    CardBitmap(); // the card holds its bitmap from here on
    history_.Take(card_);
}

void CardSession::UndoPicture() {
    const CommandScope command(*this);
    history_.Undo(card_);
}

void CardSession::RedoPicture() {
    const CommandScope command(*this);
    history_.Redo(card_);
}

} // namespace velmora
