// Label sheets: the stock a QSL label is printed on (paper, grid of labels, their size, pitch and
// margins), the built-in Avery stocks, and where label k of a run lands on which sheet. Plain
// arithmetic in millimetres from the top-left corner of the paper, without Qt, so that the PDF
// writer and the window's printing place labels alike.
#pragma once

#include "graphics/Exceptions.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace velmora::labels {

// A sheet, a sheet file, the printing options or a label's data that cannot be used. The
// message names the value and what is wrong with it.
class ELabelError : public graphics::Exception {
  public:
    using graphics::Exception::Exception;
};

struct RectMm {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    double right() const { return left + width; }
    double bottom() const { return top + height; }
};

inline constexpr double kA4WidthMm = 210.0;
inline constexpr double kA4HeightMm = 297.0;
inline constexpr double kLetterWidthMm = 8.5 * 25.4;
inline constexpr double kLetterHeightMm = 11.0 * 25.4;

// One stock. The labels form a grid of columns x rows, numbered row by row from the top left;
// the first label's corner is marginLeft, marginTop from the paper's corner and each further
// label is one pitch (edge to edge, the gap included) to the right or down. Portrait paper.
struct SheetLayout {
    std::string name;
    double paperWidth = 0;
    double paperHeight = 0;
    int columns = 0;
    int rows = 0;
    double labelWidth = 0;
    double labelHeight = 0;
    double pitchX = 0;
    double pitchY = 0;
    double marginLeft = 0;
    double marginTop = 0;

    int LabelsPerSheet() const { return columns * rows; }
};

// Limits a sheet must keep. Smaller labels cannot hold the table of five contacts readably; more
// labels along a side than this is no stock anybody sells.
inline constexpr double kMinLabelWidthMm = 20.0;
inline constexpr double kMinLabelHeightMm = 10.0;
inline constexpr int kMaxLabelsPerSide = 40;
inline constexpr double kMinPaperSideMm = 50.0;
inline constexpr double kMaxPaperSideMm = 1000.0;

// The built-in stocks: Avery L7160, L7163, L7651 (A4) and 5160, 5163 (US Letter).
std::span<const SheetLayout> BuiltInSheets();

// The built-in stock of that name, without regard to letter case; "Avery L7160" finds L7160.
// Null when there is none.
const SheetLayout* FindBuiltInSheet(std::string_view name);

// Raises ELabelError unless every value is finite and in range, the labels do not overlap and the
// whole grid lies on the paper.
void ValidateSheet(const SheetLayout& sheet);

// A correction for a printer that does not place the page exactly: everything printed moves by
// it, positive x to the right, positive y down. Larger values would move labels off their stock.
inline constexpr double kMaxPrinterOffsetMm = 20.0;

// How a run of labels is put on the stock.
struct SheetPlacement {
    double offsetX = 0;
    double offsetY = 0;
    // Labels already used on the first sheet: printing starts at label skip (0-based) there.
    int skip = 0;
};

// Raises ELabelError for an offset beyond kMaxPrinterOffsetMm or not finite, and for a skip count
// outside 0 to LabelsPerSheet() - 1.
void ValidatePlacement(const SheetLayout& sheet, const SheetPlacement& placement);

// The rectangle of label slot (0-based, row by row) on any sheet, moved by the offset.
RectMm SlotRect(const SheetLayout& sheet, int slot, double offsetX = 0, double offsetY = 0);

struct LabelPosition {
    std::size_t sheet = 0; // 0-based
    int slot = 0;          // 0-based, row by row
    RectMm rect;
};

// Where the label-th label (0-based) of a run goes: the skipped labels come first on sheet 0.
LabelPosition PositionOf(const SheetLayout& sheet, const SheetPlacement& placement,
                         std::size_t label);

// How many sheets a run of labels takes; none for no labels.
std::size_t SheetsNeeded(const SheetLayout& sheet, const SheetPlacement& placement,
                         std::size_t labels);

} // namespace velmora::labels
