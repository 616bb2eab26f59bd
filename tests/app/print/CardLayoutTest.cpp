// The sheet layout: where one card or a sheet of cards and its cut marks go on the paper.
#include "app/print/CardLayout.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using namespace velmora::print;

constexpr double kTolerance = 1e-9;

SheetGeometry Paper(double width, double height, double margin) {
    return {width, height, RectMm{margin, margin, width - 2 * margin, height - 2 * margin}};
}

PrintOptions Sheet(double dx = 0, double dy = 0) {
    return {csFillPage, dx, dy};
}

void ExpectRect(const RectMm& rect, double left, double top, double width, double height) {
    EXPECT_NEAR(rect.left, left, kTolerance);
    EXPECT_NEAR(rect.top, top, kTolerance);
    EXPECT_NEAR(rect.width, width, kTolerance);
    EXPECT_NEAR(rect.height, height, kTolerance);
}

bool Overlap(const RectMm& a, const RectMm& b) {
    return a.left < b.right() - kTolerance && b.left < a.right() - kTolerance &&
           a.top < b.bottom() - kTolerance && b.top < a.bottom() - kTolerance;
}

TEST(CardLayout, TheCardIsFiveAndAHalfByThreeAndAHalfInches) {
    EXPECT_NEAR(kCardWidthMm, 5.5 * 25.4, kTolerance);
    EXPECT_NEAR(kCardHeightMm, 3.5 * 25.4, kTolerance);
    EXPECT_NEAR(kCardWidthMm / kCardHeightMm, 11.0 / 7.0, kTolerance);
}

TEST(CardLayout, OneCardIsCentredOnThePaperWithoutCutMarks) {
    const SheetLayout a4 = LayoutSheet(Paper(210, 297, 5), {});
    ASSERT_EQ(a4.cards.size(), 1u);
    ExpectRect(a4.cards[0], (210 - 139.7) / 2, (297 - 88.9) / 2, 139.7, 88.9);
    EXPECT_TRUE(a4.cutMarks.empty());
    EXPECT_EQ(a4.columns, 1);
    EXPECT_EQ(a4.rows, 1);

    // Card-sized paper: the card covers it exactly, whatever the printer's margins.
    const SheetLayout card = LayoutSheet(Paper(139.7, 88.9, 4), {});
    ASSERT_EQ(card.cards.size(), 1u);
    ExpectRect(card.cards[0], 0, 0, 139.7, 88.9);
}

TEST(CardLayout, OffsetsMoveEverythingPrinted) {
    const SheetGeometry a4 = Paper(297, 210, 5);
    const SheetLayout single = LayoutSheet(a4, {csOnePerPage, 0, 0});
    const SheetLayout moved = LayoutSheet(a4, {csOnePerPage, 3.5, -2});
    ExpectRect(moved.cards[0], single.cards[0].left + 3.5, single.cards[0].top - 2, 139.7, 88.9);

    const SheetLayout sheet = LayoutSheet(a4, Sheet());
    const SheetLayout movedSheet = LayoutSheet(a4, Sheet(-1.25, 4));
    ASSERT_EQ(movedSheet.cards.size(), sheet.cards.size());
    ASSERT_EQ(movedSheet.cutMarks.size(), sheet.cutMarks.size());
    for (size_t i = 0; i < sheet.cards.size(); ++i)
        ExpectRect(movedSheet.cards[i], sheet.cards[i].left - 1.25, sheet.cards[i].top + 4, 139.7,
                   88.9);
    for (size_t i = 0; i < sheet.cutMarks.size(); ++i) {
        EXPECT_NEAR(movedSheet.cutMarks[i].x1, sheet.cutMarks[i].x1 - 1.25, kTolerance);
        EXPECT_NEAR(movedSheet.cutMarks[i].x2, sheet.cutMarks[i].x2 - 1.25, kTolerance);
        EXPECT_NEAR(movedSheet.cutMarks[i].y1, sheet.cutMarks[i].y1 + 4, kTolerance);
        EXPECT_NEAR(movedSheet.cutMarks[i].y2, sheet.cutMarks[i].y2 + 4, kTolerance);
    }
}

TEST(CardLayout, OffsetsThatAreNoNumbersMoveNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const SheetLayout layout = LayoutSheet(Paper(210, 297, 5), {csOnePerPage, nan, inf});
    ExpectRect(layout.cards[0], (210 - 139.7) / 2, (297 - 88.9) / 2, 139.7, 88.9);
}

struct SheetCase {
    const char* paper;
    double width, height, margin;
    int columns, rows;
};

class SheetCount : public ::testing::TestWithParam<SheetCase> {};

// As many whole cards as the printable area holds, edge to edge.
TEST_P(SheetCount, CardsFitThePrintableArea) {
    const SheetCase& c = GetParam();
    const SheetGeometry paper = Paper(c.width, c.height, c.margin);
    const SheetLayout layout = LayoutSheet(paper, Sheet());
    EXPECT_EQ(layout.columns, c.columns);
    EXPECT_EQ(layout.rows, c.rows);
    ASSERT_EQ(layout.cards.size(), size_t(c.columns * c.rows));
    for (size_t i = 0; i < layout.cards.size(); ++i) {
        const RectMm& card = layout.cards[i];
        EXPECT_GE(card.left, paper.printable.left - 0.05) << i;
        EXPECT_GE(card.top, paper.printable.top - 0.05) << i;
        EXPECT_LE(card.right(), paper.printable.right() + 0.05) << i;
        EXPECT_LE(card.bottom(), paper.printable.bottom() + 0.05) << i;
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(Overlap(card, layout.cards[j])) << i << " and " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Papers, SheetCount,
    ::testing::Values(SheetCase{"A4 portrait", 210, 297, 5, 1, 3},
                      SheetCase{"A4 landscape", 297, 210, 5, 2, 2},
                      SheetCase{"Letter landscape, no margins", 279.4, 215.9, 0, 2, 2},
                      SheetCase{"Letter landscape", 279.4, 215.9, 6.35, 1, 2},
                      SheetCase{"Letter portrait, exactly three rows", 215.9, 279.4, 6.35, 1, 3},
                      SheetCase{"Letter portrait, no margins", 215.9, 279.4, 0, 1, 3},
                      SheetCase{"A3 landscape", 420, 297, 5, 2, 3},
                      SheetCase{"card stock", 139.7, 88.9, 0, 1, 1}),
    [](const auto& info) {
        std::string name = info.param.paper;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum((unsigned char)c); }, '_');
        return name;
    });

TEST(CardLayout, APaperThatHoldsAnExactNumberOfCardsHoldsThemDespiteRounding) {
    // Printers report sizes in their own units: 279.4 mm may come back a hair smaller.
    const SheetLayout layout = LayoutSheet({279.38, 177.79, RectMm{0, 0, 279.38, 177.79}}, Sheet());
    EXPECT_EQ(layout.columns, 2);
    EXPECT_EQ(layout.rows, 2);
}

TEST(CardLayout, TheBlockOfCardsIsCentredInThePrintableArea) {
    // A4 landscape with a wider left margin: 2 x 2 cards, centred in what the margins leave.
    const SheetLayout layout = LayoutSheet({297, 210, RectMm{10, 5, 282, 200}}, Sheet());
    ASSERT_EQ(layout.cards.size(), 4u);
    const double left = 10 + (282 - 2 * 139.7) / 2;
    const double top = 5 + (200 - 2 * 88.9) / 2;
    ExpectRect(layout.cards[0], left, top, 139.7, 88.9);
    ExpectRect(layout.cards[1], left + 139.7, top, 139.7, 88.9);
    ExpectRect(layout.cards[2], left, top + 88.9, 139.7, 88.9);
    ExpectRect(layout.cards[3], left + 139.7, top + 88.9, 139.7, 88.9);
}

TEST(CardLayout, EveryCutLineHasAMarkAtBothEndsOutsideTheCards) {
    const SheetGeometry paper = Paper(297, 210, 5); // 2 x 2 cards
    const SheetLayout layout = LayoutSheet(paper, Sheet());
    const double left = 5 + (287 - 279.4) / 2;
    const double top = 5 + (200 - 177.8) / 2;
    // Three vertical cuts and three horizontal cuts, each marked before and after the block.
    ASSERT_EQ(layout.cutMarks.size(), 12u);
    int vertical = 0, horizontal = 0;
    for (const LineMm& mark : layout.cutMarks) {
        const bool isVertical = mark.x1 == mark.x2;
        ASSERT_TRUE(isVertical || mark.y1 == mark.y2) << "marks are straight";
        const RectMm box{std::min(mark.x1, mark.x2), std::min(mark.y1, mark.y2),
                         std::abs(mark.x2 - mark.x1), std::abs(mark.y2 - mark.y1)};
        EXPECT_TRUE(box.bottom() <= top || box.top >= top + 177.8 || box.right() <= left ||
                    box.left >= left + 279.4)
            << "marks stay outside the block of cards";
        EXPECT_GE(box.left, paper.printable.left - kTolerance);
        EXPECT_LE(box.right(), paper.printable.right() + kTolerance);
        EXPECT_GE(box.top, paper.printable.top - kTolerance);
        EXPECT_LE(box.bottom(), paper.printable.bottom() + kTolerance);
        if (isVertical) {
            ++vertical;
            const double cut = (mark.x1 - left) / 139.7;
            EXPECT_NEAR(cut, std::round(cut), 1e-9) << "on a vertical cut";
            // Above the block: ends the gap before the top; below: starts the gap after it.
            const bool above = box.bottom() <= top;
            EXPECT_NEAR(above ? top - box.bottom() : box.top - (top + 177.8), kCutMarkGapMm,
                        kTolerance);
            EXPECT_NEAR(box.height, kCutMarkLengthMm, kTolerance) << "room for the whole mark";
        } else {
            ++horizontal;
            const double cut = (mark.y1 - top) / 88.9;
            EXPECT_NEAR(cut, std::round(cut), 1e-9) << "on a horizontal cut";
            const bool before = box.right() <= left;
            EXPECT_NEAR(before ? left - box.right() : box.left - (left + 279.4), kCutMarkGapMm,
                        kTolerance);
            // Only 3.8 mm from the printable edge to the block: the mark is shortened.
            EXPECT_NEAR(box.width, 3.8 - kCutMarkGapMm, kTolerance);
        }
    }
    EXPECT_EQ(vertical, 6);
    EXPECT_EQ(horizontal, 6);
}

TEST(CardLayout, MarksWithoutRoomAreLeftOut) {
    // Cards edge to edge with the printable area at the sides: no room for the side marks.
    const SheetLayout tight = LayoutSheet({279.4, 215.9, RectMm{0, 5, 279.4, 205.9}}, Sheet());
    ASSERT_EQ(tight.cards.size(), 4u);
    for (const LineMm& mark : tight.cutMarks)
        EXPECT_EQ(mark.x1, mark.x2) << "only the vertical cuts have room";
    EXPECT_EQ(tight.cutMarks.size(), 6u);
}

TEST(CardLayout, APaperTooSmallForACardGetsTheSingleCentredCard) {
    const SheetGeometry a6 = Paper(105, 148, 5); // portrait A6: the card is wider
    const SheetLayout layout = LayoutSheet(a6, Sheet(1, 2));
    ASSERT_EQ(layout.cards.size(), 1u);
    ExpectRect(layout.cards[0], (105 - 139.7) / 2 + 1, (148 - 88.9) / 2 + 2, 139.7, 88.9);
    EXPECT_TRUE(layout.cutMarks.empty());

    const SheetLayout nothing = LayoutSheet({0, 0, RectMm{}}, Sheet());
    EXPECT_EQ(nothing.cards.size(), 1u);
}

TEST(CardLayout, AHugePaperStopsAtTheCardLimit) {
    const SheetLayout layout = LayoutSheet(Paper(1e6, 1e6, 0), Sheet());
    EXPECT_EQ(layout.columns, kMaxCardsPerSide);
    EXPECT_EQ(layout.rows, kMaxCardsPerSide);
}

} // namespace
