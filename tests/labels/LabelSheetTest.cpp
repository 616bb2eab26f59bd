// Label stock: the built-in Avery sheets, their checks, and where each label of a run lands.
#include "labels/LabelSheet.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

using namespace velmora::labels;

constexpr double kTolerance = 1e-9;

const SheetLayout& BuiltIn(const char* name) {
    const SheetLayout* sheet = FindBuiltInSheet(name);
    if (sheet == nullptr)
        throw std::runtime_error(std::string("no built-in sheet ") + name);
    return *sheet;
}

std::string ErrorOf(const SheetLayout& sheet) {
    try {
        ValidateSheet(sheet);
    } catch (const ELabelError& error) {
        return error.message();
    }
    return {};
}

// The counts the stock is sold by, each a valid sheet on its paper.
TEST(LabelSheet, BuiltInSheetsHoldTheirLabelsOnTheirPaper) {
    ASSERT_EQ(BuiltInSheets().size(), 5u);
    EXPECT_EQ(BuiltIn("L7160").LabelsPerSheet(), 21);
    EXPECT_EQ(BuiltIn("L7163").LabelsPerSheet(), 14);
    EXPECT_EQ(BuiltIn("L7651").LabelsPerSheet(), 65);
    EXPECT_EQ(BuiltIn("5160").LabelsPerSheet(), 30);
    EXPECT_EQ(BuiltIn("5163").LabelsPerSheet(), 10);
    for (const SheetLayout& sheet : BuiltInSheets()) {
        SCOPED_TRACE(sheet.name);
        const bool letter = sheet.name[0] != 'L';
        EXPECT_DOUBLE_EQ(sheet.paperWidth, letter ? 215.9 : 210.0);
        EXPECT_DOUBLE_EQ(sheet.paperHeight, letter ? 279.4 : 297.0);
        EXPECT_NO_THROW(ValidateSheet(sheet));
    }
}

// Each of these stocks is symmetric: the grid is centred on the paper, so a wrong margin or pitch
// shows as unequal margins on opposite sides.
TEST(LabelSheet, BuiltInGridsAreCentredOnTheirPaper) {
    for (const SheetLayout& sheet : BuiltInSheets()) {
        SCOPED_TRACE(sheet.name);
        const RectMm last = SlotRect(sheet, sheet.LabelsPerSheet() - 1);
        EXPECT_NEAR(sheet.paperWidth - last.right(), sheet.marginLeft, 1e-6);
        EXPECT_NEAR(sheet.paperHeight - last.bottom(), sheet.marginTop, 1e-6);
    }
    // The figures the label makers print on their template pages.
    EXPECT_NEAR(BuiltIn("L7651").marginLeft, 4.75, kTolerance);
    EXPECT_NEAR(BuiltIn("L7651").marginTop, 10.7, kTolerance);
    EXPECT_NEAR(BuiltIn("L7651").pitchX, 40.6, kTolerance);
    EXPECT_NEAR(BuiltIn("5160").pitchX, 2.75 * 25.4, kTolerance);
    EXPECT_NEAR(BuiltIn("5160").marginTop, 12.7, kTolerance);
    EXPECT_NEAR(BuiltIn("5163").pitchX, 4.1875 * 25.4, kTolerance);
}

TEST(LabelSheet, BuiltInNamesIgnoreCaseAndTheBrand) {
    EXPECT_EQ(FindBuiltInSheet("l7160"), FindBuiltInSheet("L7160"));
    EXPECT_EQ(FindBuiltInSheet("Avery L7163"), FindBuiltInSheet("L7163"));
    EXPECT_EQ(FindBuiltInSheet("AVERY 5163"), FindBuiltInSheet("5163"));
    EXPECT_NE(FindBuiltInSheet("5160"), nullptr);
    EXPECT_EQ(FindBuiltInSheet("L716"), nullptr);
    EXPECT_EQ(FindBuiltInSheet("Avery "), nullptr);
    EXPECT_EQ(FindBuiltInSheet(""), nullptr);
}

TEST(LabelSheet, SlotsRunRowByRowAndMoveWithTheOffset) {
    const SheetLayout& sheet = BuiltIn("L7160");
    const RectMm first = SlotRect(sheet, 0);
    EXPECT_NEAR(first.left, 7.25, kTolerance);
    EXPECT_NEAR(first.top, 15.15, kTolerance);
    EXPECT_NEAR(first.width, 63.5, kTolerance);
    EXPECT_NEAR(first.height, 38.1, kTolerance);
    const RectMm second = SlotRect(sheet, 1);
    EXPECT_NEAR(second.left, 7.25 + 66.0, kTolerance);
    EXPECT_NEAR(second.top, 15.15, kTolerance);
    const RectMm fourth = SlotRect(sheet, 3); // first of the second row
    EXPECT_NEAR(fourth.left, 7.25, kTolerance);
    EXPECT_NEAR(fourth.top, 15.15 + 38.1, kTolerance);

    const RectMm moved = SlotRect(sheet, 4, 1.5, -0.75);
    EXPECT_NEAR(moved.left, 7.25 + 66.0 + 1.5, kTolerance);
    EXPECT_NEAR(moved.top, 15.15 + 38.1 - 0.75, kTolerance);
}

TEST(LabelSheet, SkippedLabelsComeFirstOnTheFirstSheet) {
    const SheetLayout& sheet = BuiltIn("L7163"); // 14 a sheet
    const SheetPlacement fresh{};
    EXPECT_EQ(PositionOf(sheet, fresh, 0).slot, 0);
    EXPECT_EQ(PositionOf(sheet, fresh, 13).sheet, 0u);
    EXPECT_EQ(PositionOf(sheet, fresh, 14).sheet, 1u);
    EXPECT_EQ(PositionOf(sheet, fresh, 14).slot, 0);

    const SheetPlacement used{0, 0, 5};
    EXPECT_EQ(PositionOf(sheet, used, 0).sheet, 0u);
    EXPECT_EQ(PositionOf(sheet, used, 0).slot, 5);
    EXPECT_NEAR(PositionOf(sheet, used, 0).rect.top, SlotRect(sheet, 5).top, kTolerance);
    EXPECT_EQ(PositionOf(sheet, used, 8).slot, 13);
    EXPECT_EQ(PositionOf(sheet, used, 9).sheet, 1u);
    EXPECT_EQ(PositionOf(sheet, used, 9).slot, 0); // later sheets are whole

    EXPECT_EQ(SheetsNeeded(sheet, fresh, 0), 0u);
    EXPECT_EQ(SheetsNeeded(sheet, fresh, 14), 1u);
    EXPECT_EQ(SheetsNeeded(sheet, fresh, 15), 2u);
    EXPECT_EQ(SheetsNeeded(sheet, used, 9), 1u);
    EXPECT_EQ(SheetsNeeded(sheet, used, 10), 2u);
    EXPECT_EQ(SheetsNeeded(BuiltIn("L7651"), SheetPlacement{0, 0, 64}, 66), 2u);
}

TEST(LabelSheet, PlacementRefusesSkipsBeyondTheSheetAndLargeOffsets) {
    const SheetLayout& sheet = BuiltIn("5163"); // 10 a sheet
    EXPECT_NO_THROW(ValidatePlacement(sheet, {0, 0, 9}));
    EXPECT_NO_THROW(ValidatePlacement(sheet, {-kMaxPrinterOffsetMm, kMaxPrinterOffsetMm, 0}));
    try {
        ValidatePlacement(sheet, {0, 0, 10});
        ADD_FAILURE() << "a skip of a whole sheet was accepted";
    } catch (const ELabelError& error) {
        EXPECT_NE(error.message().find("from 0 to 9"), std::string::npos) << error.message();
    }
    EXPECT_THROW(ValidatePlacement(sheet, {0, 0, -1}), ELabelError);
    EXPECT_THROW(ValidatePlacement(sheet, {kMaxPrinterOffsetMm + 0.1, 0, 0}), ELabelError);
    EXPECT_THROW(ValidatePlacement(sheet, {0, std::numeric_limits<double>::quiet_NaN(), 0}),
                 ELabelError);
    EXPECT_THROW(ValidatePlacement(sheet, {std::numeric_limits<double>::infinity(), 0, 0}),
                 ELabelError);
}

TEST(LabelSheet, ValidationNamesWhatIsWrong) {
    SheetLayout sheet = BuiltIn("L7160");
    sheet.name = "Test";

    SheetLayout overlapping = sheet;
    overlapping.pitchX = 60;
    EXPECT_NE(ErrorOf(overlapping).find("overlap"), std::string::npos) << ErrorOf(overlapping);

    SheetLayout offPaper = sheet;
    offPaper.marginLeft = 20; // 20 + 2 x 66 + 63.5 = 215.5 mm on 210 mm paper
    EXPECT_NE(ErrorOf(offPaper).find("215.5 mm"), std::string::npos) << ErrorOf(offPaper);

    SheetLayout tooManyRows = sheet;
    tooManyRows.rows = 8; // 15.15 + 7 x 38.1 + 38.1 = 320 mm on 297 mm paper
    EXPECT_NE(ErrorOf(tooManyRows).find("top edge"), std::string::npos) << ErrorOf(tooManyRows);

    SheetLayout noColumns = sheet;
    noColumns.columns = 0;
    EXPECT_NE(ErrorOf(noColumns).find("columns"), std::string::npos);

    SheetLayout tiny = sheet;
    tiny.labelHeight = 5;
    tiny.pitchY = 5;
    EXPECT_NE(ErrorOf(tiny).find("label height"), std::string::npos);

    SheetLayout notANumber = sheet;
    notANumber.marginTop = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NE(ErrorOf(notANumber).find("top margin"), std::string::npos);

    SheetLayout negative = sheet;
    negative.marginLeft = -1;
    EXPECT_NE(ErrorOf(negative).find("left margin"), std::string::npos);

    SheetLayout hugePaper = sheet;
    hugePaper.paperWidth = 1e9;
    EXPECT_NE(ErrorOf(hugePaper).find("paper width"), std::string::npos);

    EXPECT_EQ(ErrorOf(sheet), "");
    EXPECT_EQ(ErrorOf(sheet).find("Test"), std::string::npos);
    EXPECT_EQ(ErrorOf(noColumns).rfind("Label sheet \"Test\": ", 0), 0u);
}

} // namespace
