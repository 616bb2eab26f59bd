#include "labels/LabelSheet.h"

#include "platform/Ascii.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace velmora::labels {

namespace {

constexpr double kInch = 25.4;

// Lets a grid that fills its paper exactly (5160: 3/16 + 2 x 2.75 + 2.625 + 3/16 in) count as
// fitting although its millimetre figures are rounded.
constexpr double kFitToleranceMm = 0.05;

// The published figures. Label size and count are Avery's product data (the size is part of each
// product's name, "L7160 63.5 x 38.1 mm, 21 per sheet"). The rest:
// - A4 stock has a 2.5 mm gap between columns and none between rows, the grid centred on the
//   sheet. Label Planet's "Label Printing Template Information" for LP65/38, the L7651
//   equivalent (labelplanet.co.uk), gives top and bottom margins 10.7 mm, side margins 4.75 mm,
//   horizontal pitch 40.6 mm and vertical pitch 21.2 mm: (210 - 5 x 38.1 - 4 x 2.5) / 2 = 4.75
//   and (297 - 13 x 21.2) / 2 = 10.7. The same rule gives L7160's 7.25 mm and 15.15 mm and
//   L7163's 4.65 mm and 15.15 mm (templates round them to 7.2, 4.6 and 15.1 mm).
// - 5160: top margin 0.5 in, side margins 0.188 in (3/16), 3 x 10 labels of 2.625 x 1 in with
//   0.125 in between columns (the Avery dimensions table in GitHub gist armadsen/5084458; CTAN's
//   labelmac3 prints "30 to a page, in boxes of dimension 2.625 x 1 in").
// - 5163: 2 x 5 labels of 4 x 2 in, top margin 0.5 in, side margin 0.16 in, pitch 4.19 x 2 in
//   (Microsoft's Word VBA reference, CustomLabel.HorizontalPitch, example "Laser labels"); those
//   are the rounded 5/32 in and 4 3/16 in that fill the 8.5 in exactly.
const std::array<SheetLayout, 5> kBuiltIn = {{
    {"L7160", kA4WidthMm, kA4HeightMm, 3, 7, 63.5, 38.1, 66.0, 38.1, 7.25, 15.15},
    {"L7163", kA4WidthMm, kA4HeightMm, 2, 7, 99.1, 38.1, 101.6, 38.1, 4.65, 15.15},
    {"L7651", kA4WidthMm, kA4HeightMm, 5, 13, 38.1, 21.2, 40.6, 21.2, 4.75, 10.7},
    {"5160", kLetterWidthMm, kLetterHeightMm, 3, 10, 2.625 * kInch, 1.0 * kInch, 2.75 * kInch,
     1.0 * kInch, 0.1875 * kInch, 0.5 * kInch},
    {"5163", kLetterWidthMm, kLetterHeightMm, 2, 5, 4.0 * kInch, 2.0 * kInch, 4.1875 * kInch,
     2.0 * kInch, 0.15625 * kInch, 0.5 * kInch},
}};

std::string Mm(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g mm", value);
    return text;
}

[[noreturn]] void Fail(const SheetLayout& sheet, const std::string& problem) {
    const std::string name = sheet.name.empty() ? std::string("label sheet") : sheet.name;
    throw ELabelError("Label sheet \"" + name + "\": " + problem);
}

void CheckLength(const SheetLayout& sheet, const char* what, double value, double low,
                 double high) {
    if (!std::isfinite(value) || value < low || value > high)
        Fail(sheet, std::string(what) + " must be from " + Mm(low) + " to " + Mm(high) + ", not " +
                        (std::isfinite(value) ? Mm(value) : std::string("a finite number")));
}

void CheckCount(const SheetLayout& sheet, const char* what, int value) {
    if (value < 1 || value > kMaxLabelsPerSide)
        Fail(sheet, std::string(what) + " must be from 1 to " + std::to_string(kMaxLabelsPerSide) +
                        ", not " + std::to_string(value));
}

// One direction of the grid: count labels of size at pitch from margin must stay on paper.
void CheckAlong(const SheetLayout& sheet, const char* direction, int count, double size,
                double pitch, double margin, double paper) {
    if (pitch + kFitToleranceMm < size)
        Fail(sheet, std::string("the ") + direction + " pitch (" + Mm(pitch) +
                        ") is smaller than the label (" + Mm(size) + "), so labels would overlap");
    const double end = margin + (count - 1) * pitch + size;
    if (end > paper + kFitToleranceMm)
        Fail(sheet, "the labels end " + Mm(end) + " from the paper's " +
                        (direction[0] == 'h' ? "left" : "top") + " edge, beyond the paper (" +
                        Mm(paper) + ")");
}

} // namespace

std::span<const SheetLayout> BuiltInSheets() {
    return kBuiltIn;
}

const SheetLayout* FindBuiltInSheet(std::string_view name) {
    constexpr std::string_view kBrand = "avery ";
    if (name.size() > kBrand.size() && platform::StartsWithNoCase(name, kBrand))
        name.remove_prefix(kBrand.size());
    for (const SheetLayout& sheet : kBuiltIn) {
        if (platform::EqualNoCase(name, sheet.name))
            return &sheet;
    }
    return nullptr;
}

void ValidateSheet(const SheetLayout& sheet) {
    CheckLength(sheet, "the paper width", sheet.paperWidth, kMinPaperSideMm, kMaxPaperSideMm);
    CheckLength(sheet, "the paper height", sheet.paperHeight, kMinPaperSideMm, kMaxPaperSideMm);
    CheckCount(sheet, "the number of columns", sheet.columns);
    CheckCount(sheet, "the number of rows", sheet.rows);
    CheckLength(sheet, "the label width", sheet.labelWidth, kMinLabelWidthMm, sheet.paperWidth);
    CheckLength(sheet, "the label height", sheet.labelHeight, kMinLabelHeightMm, sheet.paperHeight);
    CheckLength(sheet, "the horizontal pitch", sheet.pitchX, 0, sheet.paperWidth);
    CheckLength(sheet, "the vertical pitch", sheet.pitchY, 0, sheet.paperHeight);
    CheckLength(sheet, "the left margin", sheet.marginLeft, 0, sheet.paperWidth);
    CheckLength(sheet, "the top margin", sheet.marginTop, 0, sheet.paperHeight);
    CheckAlong(sheet, "horizontal", sheet.columns, sheet.labelWidth, sheet.pitchX, sheet.marginLeft,
               sheet.paperWidth);
    CheckAlong(sheet, "vertical", sheet.rows, sheet.labelHeight, sheet.pitchY, sheet.marginTop,
               sheet.paperHeight);
}

void ValidatePlacement(const SheetLayout& sheet, const SheetPlacement& placement) {
    for (double offset : {placement.offsetX, placement.offsetY}) {
        if (!std::isfinite(offset) || std::fabs(offset) > kMaxPrinterOffsetMm)
            throw ELabelError("The printer offset must be from -" + Mm(kMaxPrinterOffsetMm) +
                              " to " + Mm(kMaxPrinterOffsetMm) + ".");
    }
    const int perSheet = sheet.LabelsPerSheet();
    if (placement.skip < 0 || placement.skip >= perSheet)
        throw ELabelError("The number of labels to skip must be from 0 to " +
                          std::to_string(perSheet - 1) + " (a sheet of " + sheet.name + " holds " +
                          std::to_string(perSheet) + "), not " + std::to_string(placement.skip) +
                          ".");
}

RectMm SlotRect(const SheetLayout& sheet, int slot, double offsetX, double offsetY) {
    const int column = slot % sheet.columns;
    const int row = slot / sheet.columns;
    return {sheet.marginLeft + column * sheet.pitchX + offsetX,
            sheet.marginTop + row * sheet.pitchY + offsetY, sheet.labelWidth, sheet.labelHeight};
}

LabelPosition PositionOf(const SheetLayout& sheet, const SheetPlacement& placement,
                         std::size_t label) {
    const auto perSheet = static_cast<std::size_t>(sheet.LabelsPerSheet());
    const std::size_t index = static_cast<std::size_t>(placement.skip) + label;
    LabelPosition position;
    position.sheet = index / perSheet;
    position.slot = static_cast<int>(index % perSheet);
    position.rect = SlotRect(sheet, position.slot, placement.offsetX, placement.offsetY);
    return position;
}

std::size_t SheetsNeeded(const SheetLayout& sheet, const SheetPlacement& placement,
                         std::size_t labels) {
    if (labels == 0)
        return 0;
    return PositionOf(sheet, placement, labels - 1).sheet + 1;
}

} // namespace velmora::labels
