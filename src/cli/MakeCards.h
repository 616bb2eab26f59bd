// The steps of making cards without a window: the station profile, the contact data of one card
// (from a log record or from options), the card's file name, the background, and the card
// itself. The card is made exactly as the main window makes it: the background is read and fitted
// as Find puts it into a fresh 495 x 315 card (or the blank card is taken as Verify takes it),
// the overlay is drawn by card::DrawBoxes, and the card is written by the JPEG picture.
#pragma once

#include "adif/Adif.h"
#include "card/Background.h"
#include "card/CardComposer.h"
#include "cli/CardFile.h"
#include "graphics/Bitmap.h"
#include "profile/StationProfile.h"
#include "qsl/Contact.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace cli {

// ---- The station profile.

// The main window's profile file for an executable in the same folder: "velmora.ini" beside
// it, since both programs are installed side by side and share one profile.
std::filesystem::path DefaultProfilePath(const std::filesystem::path& executable);

// The eleven keys of section "User", read as the main window reads them (values up to 2047
// bytes, empty when missing). A missing file reads as an empty profile.
velmora::StationProfile ReadStationProfile(const std::filesystem::path& path);

// ---- One card's contact data.

// The contact of a record as a card shows it lives in the core (qsl/Contact.h), where the label
// sheets and the window's contact list map records the same way.
using qsl::Contact;
using qsl::ContactFromRecord;
using qsl::FormatQsoDate;
using qsl::FormatTimeOn;
using qsl::IsDatePattern;
using qsl::kDefaultDateFormat;

// Whether the thanks line asks for the other station's card (" PSE QSL") or thanks for it
// (" TNX QSL").
enum class QslRequest { None, PseTnx };

// Everything DrawBoxes reads: the own station from the profile (its call sign replaced by the
// contact's own call when one is given), the contact, black text and the window's starting
// call-sign font (the card canvas's face and style, 24 points, black).
card::CardData CardDataFor(const Contact& contact, const velmora::StationProfile& profile);

// A card confirming several contacts with one station, oldest first (at most
// card::kMaxTableRows): the first fills the card as above, the others add table rows. The
// fourth column shows the band when no contact has a frequency (and a contact without one shows
// its band in any case); the operator's name, QSL message and manager come from the first
// contact that has one, the satellite line names every satellite used. With PseTnx the thanks
// line ends " PSE QSL" unless every contact's card has been received (" TNX QSL").
card::CardData CardDataFor(std::span<const Contact> contacts,
                           const velmora::StationProfile& profile, QslRequest request);

// ---- File names.

// A file name part: every byte that is not an ASCII letter, digit or '-' becomes '_', and a
// whole UTF-8 sequence becomes a single '_'.
std::string SanitizeNamePart(std::string_view text);

// "<CALL>_<QSO_DATE>_<TIME_ON>" with each part sanitised.
std::string CardBaseName(const adif::Record& record);

// Creates path as an empty file, failing (EEXIST among others) when it exists: the claim that
// keeps an existing file from being replaced.
std::error_code ClaimNewFile(const std::filesystem::path& path);
// Removes a claim that was never filled; a file the writer did put in place stays.
void ReleaseEmptyClaim(const std::filesystem::path& path);

// Hands out the card files of one run in a folder, in the order of the cards. A name is never
// given twice in one run: a second card of the same name gets "_2", then "_3" and so on. A file
// that exists is kept (the next suffix is taken) unless existing is Overwrite; nothing is made
// here, and PutCardFile with Keep never replaces a file that appears under the name meanwhile.
class CardNamer {
  public:
    CardNamer(std::filesystem::path folder, ExistingFiles existing);

    // The path for a card of base name base, or none (with error set) when the folder cannot be
    // looked into.
    std::optional<std::filesystem::path> Claim(const std::string& base, std::error_code& error);

  private:
    std::filesystem::path folder_;
    ExistingFiles existing_;
    std::set<std::string> taken_;
};

// ---- The background and the card.

// Where the blank card is looked for, in order: the current folder, then the installed data
// folder beside the executable's folder (<prefix>/share/velmora for <prefix>/bin), then the
// data folder the program was configured for.
std::vector<std::filesystem::path> BlankCardCandidates(const std::filesystem::path& executable);
// The first candidate that exists, or none.
std::optional<std::filesystem::path> FindBlankCard(const std::filesystem::path& executable);

// The background of every card of a run, read once. With a picture: read by the reader of its
// name's ending and fitted as Find fits it into a fresh 495 x 315 card. Without one: the blank
// card at its own size, as Verify takes it. Raises the reader's error.
class CardBackground {
  public:
    static CardBackground FromPicture(const std::string& path);
    static CardBackground FromBlankCard(const std::string& path);

    const graphics::TBitmap& Bitmap() const { return *objects_.WorkBitmap; }

  private:
    CardBackground() = default;
    card::BackgroundObjects objects_;
};

// A new card: a bitmap sharing the background's pixels with the overlay drawn on its canvas.
std::unique_ptr<graphics::TBitmap> ComposeCard(const CardBackground& background,
                                               const card::CardData& data);

// The card's JPEG file (quality 90, the JPEG picture's defaults), as Save As writes it: encoded
// first, then put in place through a temporary file. Raises the writer's error.
void WriteCard(const graphics::TBitmap& card, const std::string& path);
// The same file's bytes, for writing elsewhere (graphics::ReplaceFileContents puts them in place as
// WriteCard does). Raises the encoder's error.
std::vector<uint8_t> EncodeCard(const graphics::TBitmap& card);

} // namespace cli
