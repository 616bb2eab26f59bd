// The narrow interface through which the main window's command handlers reach the card: the
// card bitmap and its canvas, the drawing state, the typed data and the station profile. The
// handlers of each feature (file, edit, tools, help) use only this, never the widgets.
#pragma once

#include "card/Background.h"
#include "card/CardComposer.h"
#include "clipbrd/Clipboard.h"
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Color.h"
#include "graphics/Tools.h"
#include "profile/StationProfile.h"

#include <memory>
#include <string>
#include <string_view>

namespace velmora {

using card::FontDescription;

// The main window's drawing state, alive for the whole run.
struct CardState {
    graphics::TColor TextColor = graphics::clBlack;
    FontDescription CallIdFont;
    FontDescription SavedFont;
    // A new one at every activation of the main window.
    std::unique_ptr<clipbrd::TClipboard> ClipboardObj;
    // JpegImage, WorkBitmap and GifImage: made anew by every Find and template load, used by
    // Save As afterwards.
    card::BackgroundObjects Pictures;
    // Set once a Find or a Paste has put a picture into the card; until then Verify draws on
    // the blank card template.
    bool HasPicture = false;
};

class CardSession {
  public:
    virtual ~CardSession() = default;
    // The bitmap the preview holds, and its canvas.
    virtual graphics::TBitmap& CardBitmap() = 0;
    virtual graphics::TCanvas& CardCanvas() = 0;
    virtual CardState& State() = 0;
    // Everything the overlay is drawn from, as it stands now: the typed fields, the profile's
    // power, the text colour and the call-sign font.
    virtual card::CardData CurrentCardData() const = 0;
    virtual const StationProfile& Profile() const = 0;
    // The picture history: TakePicture pushes a snapshot of the card, UndoPicture puts the
    // newest snapshot back into the card, RedoPicture reverses the last Undo.
    virtual void TakePicture() = 0;
    virtual void UndoPicture() = 0;
    virtual void RedoPicture() = 0;
};

// The card for a command that hands it on (action: "save", "copy", "cut"). An empty card is
// refused with a message naming the command, so no empty file or clipboard picture is made.
graphics::TBitmap& CardToHandOn(CardSession& session, std::string_view action);

} // namespace velmora
