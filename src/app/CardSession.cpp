#include "app/CardSession.h"

#include "graphics/Exceptions.h"

namespace velmora {

graphics::TBitmap& CardToHandOn(CardSession& session, std::string_view action) {
    graphics::TBitmap& card = session.CardBitmap();
    if (card.Width() <= 0 || card.Height() <= 0) {
        std::string message = "The card is empty: there is nothing to ";
        message += action;
        throw graphics::Exception(message);
    }
    return card;
}

} // namespace velmora
