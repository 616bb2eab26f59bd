// Sheet files: other stock described in a few "key = value" lines, read as untrusted text.
#include "labels/SheetFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace velmora::labels;

// L7160 written out as a user would.
constexpr std::string_view kL7160 = "# Avery L7160 by hand\n"
                                    "name = My L7160\n"
                                    "paper = A4\n"
                                    "columns = 3\n"
                                    "rows = 7\n"
                                    "label-size = 63.5 x 38.1\n"
                                    "pitch = 66 x 38.1\n"
                                    "margins = 7.25 x 15.15\n";

std::string ErrorOf(std::string_view text) {
    try {
        ParseSheetFile(text, "stock.sheet");
    } catch (const ELabelError& error) {
        return error.message();
    }
    return {};
}

// kL7160 with the line starting with key replaced (or removed when line is empty).
std::string With(std::string_view key, std::string_view line) {
    std::string text(kL7160);
    const std::size_t at = text.find("\n" + std::string(key)) + 1;
    const std::size_t end = text.find('\n', at);
    text.replace(at, end - at + 1, line.empty() ? std::string() : std::string(line) + "\n");
    return text;
}

TEST(SheetFile, AFileDescribesTheSameSheetAsTheBuiltInStock) {
    const SheetLayout sheet = ParseSheetFile(kL7160, "mine.sheet");
    const SheetLayout& builtIn = *FindBuiltInSheet("L7160");
    EXPECT_EQ(sheet.name, "My L7160");
    EXPECT_DOUBLE_EQ(sheet.paperWidth, builtIn.paperWidth);
    EXPECT_DOUBLE_EQ(sheet.paperHeight, builtIn.paperHeight);
    EXPECT_EQ(sheet.columns, builtIn.columns);
    EXPECT_EQ(sheet.rows, builtIn.rows);
    EXPECT_DOUBLE_EQ(sheet.labelWidth, builtIn.labelWidth);
    EXPECT_DOUBLE_EQ(sheet.labelHeight, builtIn.labelHeight);
    EXPECT_DOUBLE_EQ(sheet.pitchX, builtIn.pitchX);
    EXPECT_DOUBLE_EQ(sheet.pitchY, builtIn.pitchY);
    EXPECT_DOUBLE_EQ(sheet.marginLeft, builtIn.marginLeft);
    EXPECT_DOUBLE_EQ(sheet.marginTop, builtIn.marginTop);
}

TEST(SheetFile, AcceptsInchesOtherSeparatorsCaseCommentsAndWindowsLineEnds) {
    const SheetLayout sheet = ParseSheetFile("\xEF\xBB\xBF; Avery 5160 in inches\r\n"
                                             "PAPER = letter\r\n"
                                             "\r\n"
                                             "  Columns=3\r\n"
                                             "rows = 10\r\n"
                                             "Label-Size = 2.625 x 1 in\r\n"
                                             "pitch = 2.75, 1 IN\r\n"
                                             "margins = 4.7625 12.7 mm",
                                             "/tmp/us-address.sheet");
    const SheetLayout& builtIn = *FindBuiltInSheet("5160");
    EXPECT_EQ(sheet.name, "us-address"); // the file's name when no name is given
    EXPECT_DOUBLE_EQ(sheet.paperWidth, builtIn.paperWidth);
    EXPECT_DOUBLE_EQ(sheet.labelWidth, builtIn.labelWidth);
    EXPECT_DOUBLE_EQ(sheet.pitchX, builtIn.pitchX);
    EXPECT_DOUBLE_EQ(sheet.pitchY, builtIn.pitchY);
    EXPECT_NEAR(sheet.marginLeft, builtIn.marginLeft, 1e-9);
    EXPECT_NEAR(sheet.marginTop, builtIn.marginTop, 1e-9);

    const SheetLayout custom = ParseSheetFile(With("paper", "paper = 215 x 300"), "x");
    EXPECT_DOUBLE_EQ(custom.paperWidth, 215);
    EXPECT_DOUBLE_EQ(custom.paperHeight, 300);
}

TEST(SheetFile, ErrorsNameTheFileTheLineAndTheProblem) {
    EXPECT_EQ(ErrorOf(With("rows", "rowz = 7")),
              "stock.sheet, line 5: unknown key \"rowz\" (the keys are name, paper, columns, "
              "rows, label-size, pitch, margins)");
    EXPECT_EQ(ErrorOf(std::string(kL7160) + "columns = 3\n"),
              "stock.sheet, line 9: \"columns\" is given twice");
    EXPECT_EQ(ErrorOf(With("pitch", "")), "stock.sheet: the sheet file does not give pitch.");
    EXPECT_EQ(ErrorOf("name = x\n"),
              "stock.sheet: the sheet file does not give paper, columns, rows, label-size, "
              "pitch, margins.");
    EXPECT_NE(ErrorOf(With("rows", "rows")).find("line 5: expected \"key = value\""),
              std::string::npos);
    EXPECT_NE(ErrorOf(With("rows", "rows =")).find("line 5: \"rows\" has no value"),
              std::string::npos);
    EXPECT_NE(ErrorOf("[sheet]\n" + std::string(kL7160)).find("line 1: sections"),
              std::string::npos);
}

TEST(SheetFile, NumbersMustBeWhatTheKeyNeeds) {
    for (const char* line : {"rows = seven", "rows = 7.5", "rows = 0", "rows = -3", "rows = 41",
                             "rows = 99999999999999999999", "rows = 7 7"}) {
        SCOPED_TRACE(line);
        EXPECT_NE(ErrorOf(With("rows", line)).find("line 5: \"rows\" must be a whole number"),
                  std::string::npos)
            << ErrorOf(With("rows", line));
    }
    for (const char* line :
         {"label-size = 63.5", "label-size = 63.5 x", "label-size = x 38.1",
          "label-size = 63.5 x 38.1 x 2", "label-size = -63.5 x 38.1", "label-size = inf x 38.1",
          "label-size = nan x 38.1", "label-size = 63,5 x 38,1", "label-size = 63.5 x 38.1 cm",
          "label-size = 0x3F x 38.1"}) {
        SCOPED_TRACE(line);
        EXPECT_NE(ErrorOf(With("label-size", line)).find("line 6: \"label-size\" needs two"),
                  std::string::npos)
            << ErrorOf(With("label-size", line));
    }
    EXPECT_NE(ErrorOf(With("paper", "paper = A5")).find("line 3: \"paper\" needs two"),
              std::string::npos);
    // Well-formed numbers that make no sheet go through the sheet's own checks.
    EXPECT_NE(ErrorOf(With("label-size", "label-size = 1e3 x 38.1")).find("needs two"),
              std::string::npos);
    EXPECT_NE(ErrorOf(With("pitch", "pitch = 60 x 38.1")).find("overlap"), std::string::npos);
    EXPECT_NE(ErrorOf(With("margins", "margins = 30 x 15.15")).find("beyond the paper"),
              std::string::npos);
    EXPECT_NE(ErrorOf(With("paper", "paper = 5000 x 297")).find("paper width"), std::string::npos);
}

TEST(SheetFile, RefusesWhatIsNoSheetFile) {
    EXPECT_EQ(ErrorOf(std::string("paper = A4\0\n", 12)), "stock.sheet: this is not a text file.");
    EXPECT_NE(ErrorOf(std::string(kMaxSheetFileBytes + 1, '#')).find("at most 64 KiB"),
              std::string::npos);
    EXPECT_NE(ErrorOf(With("name", "name = " + std::string(65, 'n'))).find("longer than 64"),
              std::string::npos);
    EXPECT_NE(ErrorOf(With("name", "name = tab\there")).find("control character"),
              std::string::npos);
    EXPECT_NE(ErrorOf("").find("does not give paper"), std::string::npos);
}

class SheetFileOnDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("velmora-sheet-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Write(const std::string& name, std::string_view text) {
        const std::filesystem::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    std::filesystem::path folder_;
};

TEST_F(SheetFileOnDisk, ResolvesBuiltInNamesBeforeFiles) {
    const std::string path = Write("herma.sheet", With("name", "name = Herma"));
    EXPECT_EQ(ResolveSheet(path).name, "Herma");
    EXPECT_EQ(ResolveSheet("avery l7651").name, "L7651");
    try {
        ResolveSheet((folder_ / "missing.sheet").string());
        ADD_FAILURE() << "a missing file was accepted";
    } catch (const ELabelError& error) {
        EXPECT_NE(error.message().find("L7160, L7163, L7651, 5160, 5163"), std::string::npos)
            << error.message();
    }
    EXPECT_THROW(ReadSheetFile(folder_.string()), ELabelError);
    // A file far beyond the limit is refused after reading only the limit.
    const std::string big = Write("big.sheet", std::string(4 * kMaxSheetFileBytes, '#'));
    EXPECT_THROW(ReadSheetFile(big), ELabelError);
}

} // namespace
