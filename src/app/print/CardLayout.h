// Where the cards and their cut marks go on a sheet of paper. Positions are millimetres from
// the top-left corner of the paper. Plain arithmetic without Qt, so it is tested on its own and
// the printing code only draws what it is given.
#pragma once

#include <vector>

namespace velmora::print {

// The standard QSL card: 5.5 x 3.5 inches, the card bitmap's own 11 : 7 proportion.
inline constexpr double kCardWidthMm = 139.7;
inline constexpr double kCardHeightMm = 88.9;

// Cut marks: thin lines that continue each cut outside the block of cards, a little away from
// it so the knife does not have to start on a card.
inline constexpr double kCutMarkGapMm = 1.5;
inline constexpr double kCutMarkLengthMm = 5.0;
inline constexpr double kCutMarkWidthMm = 0.2;
// A mark squeezed shorter than this by the printable area is left out.
inline constexpr double kCutMarkMinimumMm = 1.0;
// More cards than this along one side is no card sheet; a huge custom paper stops here.
inline constexpr int kMaxCardsPerSide = 64;

enum TCardsPerSheet { csOnePerPage, csFillPage };

// What the user chose for printing; kept for the session.
struct PrintOptions {
    TCardsPerSheet Cards = csOnePerPage;
    // Moves everything printed, to correct a printer that does not place the page exactly:
    // positive x to the right, positive y down.
    double OffsetXmm = 0;
    double OffsetYmm = 0;
    friend bool operator==(const PrintOptions&, const PrintOptions&) = default;
};

// The offsets the options page accepts: a correction, not a way to move the card off the paper.
inline constexpr double kMaxOffsetMm = 50.0;

struct RectMm {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    double right() const { return left + width; }
    double bottom() const { return top + height; }
};

struct LineMm {
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
};

// The paper and the part of it the printer can print on (inside its margins).
struct SheetGeometry {
    double paperWidth = 0;
    double paperHeight = 0;
    RectMm printable;
};

struct SheetLayout {
    int columns = 0;
    int rows = 0;
    // Row by row, left to right.
    std::vector<RectMm> cards;
    std::vector<LineMm> cutMarks;
};

// One card centred on the paper; or as many as fit in the printable area, edge to edge in a
// block centred there, with cut marks around the block on every cut line. Paper too small for
// one card in its printable area gets the single centred card. The offset moves everything.
SheetLayout LayoutSheet(const SheetGeometry& sheet, const PrintOptions& options);

} // namespace velmora::print
