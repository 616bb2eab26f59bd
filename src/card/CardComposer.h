// Card composition: draws the fixed overlay of a QSL card (country and call sign centred at the
// top, the address block, rig, power and antenna lines, the thanks line and the ruled contact
// table) onto a card canvas. The layout is laid out for a 495 x 315 card; the same pixel
// positions are used on a card of any size, and whatever falls outside the card is clipped by
// the canvas.
//
// The data comes in as plain values, so the main window (from its fields) and the command-line
// front end (from a log) compose cards the same way.
#pragma once

#include "graphics/Canvas.h"
#include "graphics/Color.h"
#include "graphics/Tools.h"
#include "platform/Ascii.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace card {

// A font as the card commands keep it: face name, style, size in points, colour.
struct FontDescription {
    std::string name;
    graphics::TFontStyles style;
    int32_t size = 0;
    graphics::TColor color = graphics::clBlack;
    friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

// The call-sign font a session starts with: the face and style of the card canvas's font,
// 24 points, black.
inline FontDescription StartingCallIdFont(const graphics::TFont& canvasFont) {
    return {canvasFont.Name(), canvasFont.Style(), 24, graphics::clBlack};
}

// One more row of the contact table, for a card that confirms several contacts.
struct ContactRow {
    std::string contactedStation; // drawn upper case
    std::string date;
    std::string utc;
    std::string frequency; // MHz (or the band, see FrequencyColumn), drawn as "%-9.9s"
    std::string rst;
    std::string mode;
};

// What the table's fourth column holds: the frequency in MHz, or the band as the log names it
// ("20m") when no contact on the card has a frequency.
enum class FrequencyColumn { MHz, Band };

// Everything the composition reads. The texts are UTF-8, taken as typed; the composition does
// its own upper-casing, trimming and cutting. The comments name the main window's field.
struct CardData {
    std::string callSign;          // LabeledEdit1, drawn upper case, centred
    std::string operatorName;      // LabeledEdit2
    std::string date;              // LabeledEdit3
    std::string utc;               // LabeledEdit4
    std::string frequency;         // LabeledEdit5, MHz, drawn as "%-9.9s"
    std::string rst;               // LabeledEdit6
    std::string mode;              // LabeledEdit7
    std::string thanks;            // LabeledEdit9, drawn upper case
    std::string country;           // LabeledEdit10, drawn upper case, centred
    std::string qth;               // LabeledEdit11
    std::string contactedStation;  // LabeledEdit12, drawn upper case
    std::string rig;               // LabeledEdit13
    std::string contactedOperator; // LabeledEdit14, drawn upper case before the thanks text
    std::string city;              // LabeledEdit15
    std::string state;             // LabeledEdit16, joined to the city without a separator
    std::string antenna;           // LabeledEdit17
    std::string zip;               // LabeledEdit18
    std::string power;             // the station profile's PWR, trimmed, drawn with a "W"

    // Beyond the window's fields, for cards made from a log; empty values change nothing.
    std::vector<ContactRow> moreRows; // rows after the first (the fields above), oldest first
    FrequencyColumn frequencyColumn = FrequencyColumn::MHz;
    std::string satellite; // "Sat: NAME" under the antenna line
    std::string qslVia;    // "QSL via CALL" under the ZIP line

    // The colour of every text but the call sign, and of the lines (white lines are drawn in
    // white whatever the background, others mask the background with the colour's bits).
    graphics::TColor textColor = graphics::clBlack;
    // The call sign's font, entirely: face, style, size and colour.
    FontDescription callIdFont;
};

// The width that centred lines are centred in.
inline constexpr int kCardWidth = 495;

// Contacts one card's table can hold.
inline constexpr size_t kMaxTableRows = 5;

// Where the table and the thanks line stand for a table of `rows` contact rows (1 to
// kMaxTableRows; more are laid out as that many). The frame's bottom edge stays at y 300 and
// the table grows upward; one row gives the window's card exactly.
struct TableLayout {
    int top = 0;          // the frame's top edge
    int headerHeight = 0; // the header row, from top
    int headerInset = 0;  // from top to the header's text cell top
    int rowHeight = 0;    // each contact row
    int textInset = 0;    // from a contact row's top edge to its text cell's top
    int thanksY = 0;      // the thanks line's text cell top
};
TableLayout LayoutTable(size_t rows);

// The top of the "Sat:" line's text cell, under the antenna line.
inline constexpr int kSatelliteY = 175;

// Draws the overlay onto canvas over whatever it holds. savedFont is the caller's scratch
// font description (the main window keeps one): it is filled with the overlay's text font
// while the call sign is drawn, and keeps that value afterwards.
//
// Afterwards the canvas holds: font bold (no other style) in the canvas's own face, colour
// textColor, size back at the size it had on entry; brush style bsClear; pen mode pmWhite when
// textColor is white, else pmMask with pen colour textColor. Nothing else is restored.
void DrawBoxes(graphics::TCanvas& canvas, const CardData& data, FontDescription& savedFont);
// The same with a scratch description of its own, for callers that keep none.
void DrawBoxes(graphics::TCanvas& canvas, const CardData& data);

// ---- The text rules of the overlay, exposed for the front ends and for tests.

// Upper case as the card draws it: the ASCII letters "a" to "z" become "A" to "Z"; every other
// byte is left alone. Accented letters therefore stay as typed, and a UTF-8 sequence (whose
// bytes are all 0x80 or above) is never altered or split.
std::string UpperCase(std::string_view text);

// Drops leading and trailing bytes 0 to 32 (blanks and control characters).
using platform::TrimBlanks;

// printf's "%-9.9s" on UTF-8: the longest prefix of at most 9 bytes that does not end inside a
// UTF-8 sequence, padded on the right with blanks to 9 bytes.
std::string FrequencyField(std::string_view text);

// X of a line of width `width` centred on the card: (495 - width) / 2, truncated toward zero,
// so a line wider than the card starts left of it and is clipped on both sides.
constexpr int CentredX(int width) {
    return (kCardWidth - width) / 2;
}

} // namespace card
