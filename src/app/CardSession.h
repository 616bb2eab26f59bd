// CardSession: the card being composed and everything the card commands work with: the card
// picture, the picture history, the drawing state and the station profile. It knows no widget:
// what it needs from the user (file names, the typed card data) comes in as arguments, and
// whoever shows the card follows it through OnCardChanged. The main window's handlers gather
// their input, call the session and show; tests drive the session on its own.
#pragma once

#include "app/PictureHistory.h"
#include "card/Background.h"
#include "card/CardComposer.h"
#include "card/Fit.h"
#include "clipbrd/Clipboard.h"
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Color.h"
#include "graphics/Picture.h"
#include "graphics/Tools.h"
#include "profile/StationProfile.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

using card::FontDescription;

// The drawing state of the card, alive for the whole run.
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

// The saved card is a JPEG file: a name typed without a JPEG extension gets ".jpg", one that
// has ".jpg" or ".jpeg" in any letter case is kept as typed.
std::string CardFileName(const std::string& typed);

class CardSession {
  public:
    // profileLocation: the INI file the station profile is read from and written to.
    explicit CardSession(std::string profileLocation);
    ~CardSession();
    CardSession(const CardSession&) = delete;
    CardSession& operator=(const CardSession&) = delete;

    // ---- Start-up and activation (CardSession.cpp).
    // Reads the station profile from its file into Profile().
    const StationProfile& ReadStationProfile();
    // Gives the empty card a white bitmap of width x height (the preview's size) and starts the
    // call-sign font from that bitmap's canvas font.
    void StartCard(int width, int height);
    // A new clipboard object, and the text colour black again.
    void Activate();

    // ---- The card and its state (CardSession.cpp).
    // The card picture; it always holds the card bitmap once the card is asked for.
    graphics::TPicture& Picture() { return card_; }
    graphics::TBitmap& CardBitmap();
    graphics::TCanvas& CardCanvas();
    CardState& State() { return state_; }
    const CardState& State() const { return state_; }
    // The card snapshots for Undo and Redo, oldest first.
    PictureHistory& History() { return history_; }
    const PictureHistory& History() const { return history_; }
    // The profile values and their INI file, shared with the setup window.
    ProfileStore& Store() { return store_; }
    const StationProfile& Profile() const { return store_.Values; }
    // Everything the overlay is drawn from: the typed fields as given, the profile's power, the
    // text colour and the call-sign font.
    card::CardData CardDataFor(card::CardData typed) const;
    // The card for a command that hands it on (action: "save", "copy", "cut"). An empty card is
    // refused with a message naming the command, so no empty file or clipboard picture is made.
    graphics::TBitmap& CardToHandOn(std::string_view action);

    // ---- The picture history (CardSession.cpp).
    // Pushes a snapshot of the card.
    void TakePicture();
    // Puts the newest snapshot back into the card; nothing to undo, nothing happens.
    void UndoPicture();
    // Reverses the last Undo; nothing to redo, nothing happens.
    void RedoPicture();

    // ---- The card commands (CardCommands.cpp).
    // Find: reads fileName into new picture objects, fits it into the card and takes a
    // snapshot. A file that cannot be read leaves the card and the history as they were.
    void FindBackground(const std::string& fileName);
    // Save As: writes the card as a JPEG file named fileName (the ending already decided, the
    // user already asked before replacing). An empty card is refused.
    void SaveCard(const std::string& fileName);
    // True until a Find or a Paste has put a picture into the card: Verify then starts from the
    // blank card template.
    bool NeedsBlankCard() const { return !state_.HasPicture; }
    // Verify's template step: the card takes a fresh copy of the blank card template at its own
    // size, and a snapshot of it is taken. A missing template raises before the card changes.
    void LoadBlankCard(const std::string& path = card::kBlankCardName);
    // Verify's drawing: the overlay of the typed fields on the card canvas.
    void DrawBoxes(const card::CardData& typed);
    // The clipboard commands on the clipboard object of this activation.
    void Copy();
    void Cut();
    void Paste();

    // Progress events of the picture objects' decoding and encoding; empty reports none.
    graphics::TProgressEvent OnProgress;
    // Called with the card picture once the card has changed, so a preview can show it: once at
    // the end of a command that changed it (also when the command fails part way), and at once
    // for a change made outside the commands. It must not throw.
    std::function<void(const graphics::TPicture&)> OnCardChanged;

  private:
    // Holds back the change notices while a command runs and gives one when the outermost
    // command ends. One notice per command rather than per drawing call: a follower that keeps
    // a copy sharing the card's pixels makes the card's next drawing copy them all first.
    class CommandScope {
      public:
        explicit CommandScope(CardSession& session);
        ~CommandScope();
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;

      private:
        CardSession& session_;
    };
    void CardPictureChanged();

    int commandDepth_ = 0;
    bool changedInCommand_ = false;
    int width_ = card::kPreviewWidth;
    int height_ = card::kPreviewHeight;
    graphics::TPicture card_;
    PictureHistory history_;
    CardState state_;
    ProfileStore store_;
};

} // namespace velmora
