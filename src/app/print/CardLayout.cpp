#include "app/print/CardLayout.h"

#include <algorithm>
#include <cmath>

namespace velmora::print {

namespace {

// Lets a paper that holds an exact number of cards (279.4 mm for two) hold them, although the
// printer reports its size in rounded units.
constexpr double kFitToleranceMm = 0.05;

double Finite(double value) {
    return std::isfinite(value) ? value : 0.0;
}

int CardsAlong(double available, double card) {
    if (!(available > 0))
        return 0;
    const double count = std::floor((available + kFitToleranceMm) / card);
    return int(std::clamp(count, 0.0, double(kMaxCardsPerSide)));
}

SheetLayout SingleCard(const SheetGeometry& sheet) {
    SheetLayout layout;
    layout.columns = 1;
    layout.rows = 1;
    layout.cards.push_back({(Finite(sheet.paperWidth) - kCardWidthMm) / 2,
                            (Finite(sheet.paperHeight) - kCardHeightMm) / 2, kCardWidthMm,
                            kCardHeightMm});
    return layout;
}

enum class MarkDirection { vertical, horizontal };

// The marks of one cut line, before and after the block, each as long as the printable area
// allows. begin and end are where the block starts and ends along the mark's direction; limit
// is the printable range in that direction.
void AddMarks(std::vector<LineMm>& marks, double across, double begin, double end,
              double limitBegin, double limitEnd, MarkDirection direction) {
    auto add = [&](double from, double to) {
        if (to - from < kCutMarkMinimumMm)
            return;
        marks.push_back(direction == MarkDirection::vertical ? LineMm{across, from, across, to}
                                                             : LineMm{from, across, to, across});
    };
    const double beforeEnd = begin - kCutMarkGapMm;
    add(std::max(beforeEnd - kCutMarkLengthMm, limitBegin), beforeEnd);
    const double afterBegin = end + kCutMarkGapMm;
    add(afterBegin, std::min(afterBegin + kCutMarkLengthMm, limitEnd));
}

SheetLayout FilledSheet(const SheetGeometry& sheet) {
    const RectMm& area = sheet.printable;
    const int columns = CardsAlong(area.width, kCardWidthMm);
    const int rows = CardsAlong(area.height, kCardHeightMm);
    if (columns == 0 || rows == 0)
        return SingleCard(sheet);

    SheetLayout layout;
    layout.columns = columns;
    layout.rows = rows;
    const double blockWidth = columns * kCardWidthMm;
    const double blockHeight = rows * kCardHeightMm;
    const double left = area.left + (area.width - blockWidth) / 2;
    const double top = area.top + (area.height - blockHeight) / 2;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column)
            layout.cards.push_back({left + column * kCardWidthMm, top + row * kCardHeightMm,
                                    kCardWidthMm, kCardHeightMm});
    }
    // Every cut, the outer edges included, gets a mark at both ends.
    for (int column = 0; column <= columns; ++column)
        AddMarks(layout.cutMarks, left + column * kCardWidthMm, top, top + blockHeight, area.top,
                 area.bottom(), MarkDirection::vertical);
    for (int row = 0; row <= rows; ++row)
        AddMarks(layout.cutMarks, top + row * kCardHeightMm, left, left + blockWidth, area.left,
                 area.right(), MarkDirection::horizontal);
    return layout;
}

} // namespace

SheetLayout LayoutSheet(const SheetGeometry& sheet, const PrintOptions& options) {
    SheetLayout layout = options.Cards == csFillPage ? FilledSheet(sheet) : SingleCard(sheet);
    const double dx = Finite(options.OffsetXmm);
    const double dy = Finite(options.OffsetYmm);
    for (RectMm& card : layout.cards) {
        card.left += dx;
        card.top += dy;
    }
    for (LineMm& mark : layout.cutMarks) {
        mark.x1 += dx;
        mark.x2 += dx;
        mark.y1 += dy;
        mark.y2 += dy;
    }
    return layout;
}

} // namespace velmora::print
