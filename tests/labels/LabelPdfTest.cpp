// Label sheets as PDF files, read back with poppler's tools: where every label's text lands on
// each built-in stock (within 0.2 mm), skipped labels and the printer offset, text that never
// leaves its label, and text that pdftotext extracts as the contacts' data in a real font.
//
// Set VELMORA_LABELS_OUT to a folder to keep the sample sheets the tests write there.
#include "labels/LabelPdf.h"

#include "PdfWords.h"
#include "graphics/Exceptions.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace {

using namespace velmora::labels;
using labels_test::PdfPage;
using labels_test::PdfWord;

constexpr double kGeometryToleranceMm = 0.2;

LabelRow Row(std::string date, std::string utc, std::string mhz, std::string band, std::string mode,
             std::string rst) {
    LabelRow row;
    row.date = std::move(date);
    row.utc = std::move(utc);
    row.mhz = std::move(mhz);
    row.band = std::move(band);
    row.mode = std::move(mode);
    row.rst = std::move(rst);
    return row;
}

LabelData Label(std::string call, std::vector<LabelRow> rows, std::string via = {}) {
    LabelData label;
    label.call = std::move(call);
    label.qslVia = std::move(via);
    label.ownCall = "DL1VEL";
    label.rows = std::move(rows);
    return label;
}

// A morning's worth of cards, as the log's grouping will hand them over.
std::vector<LabelData> SampleLabels() {
    std::vector<LabelData> labels;
    labels.push_back(Label("G4XYZ", {Row("2026-03-14", "0712", "14.074", "20m", "FT8", "-07")}));
    labels.push_back(Label("JA1ABC",
                           {Row("2026-03-14", "0735", "21.074", "15m", "FT8", "-12"),
                            Row("2026-03-15", "0802", "28.074", "10m", "FT8", "-03")},
                           "JA1QSL"));
    LabelData satellite =
        Label("EA4SAT", {Row("2026-03-16", "1119", "435.300", "70cm", "FM", "59"),
                         Row("2026-03-16", "1247", "145.880", "2m", "SSB", "57")});
    satellite.rows[0].satellite = "SO-50";
    satellite.rows[1].satellite = "RS-44";
    labels.push_back(satellite);
    LabelData thanks = Label("W1AW/4", {Row("2026-03-17", "2201", "", "40m", "CW", "599")});
    thanks.rows[0].qslReceived = true;
    labels.push_back(thanks);
    labels.push_back(Label("VK2ABC",
                           {Row("2026-03-18", "0611", "7.074", "40m", "FT8", "-15"),
                            Row("2026-03-18", "0633", "10.136", "30m", "FT8", "-11"),
                            Row("2026-03-19", "0645", "14.074", "20m", "FT8", "-09"),
                            Row("2026-03-19", "0702", "18.100", "17m", "FT8", "-14"),
                            Row("2026-03-20", "0715", "24.915", "12m", "FT8", "-18")},
                           "M0OXO"));
    labels.push_back(Label("SP9ŻÓŁ", {Row("2026-03-21", "1530", "3.573", "80m", "FT4", "+02")}));
    return labels;
}

std::vector<std::string> WordsOf(const LabelData& label) {
    std::vector<std::string> words{"To", "Radio", label.call};
    if (!label.qslVia.empty())
        words.insert(words.end(), {"via", label.qslVia});
    bool frequency = false;
    bool received = true;
    std::vector<std::string> satellites;
    for (const LabelRow& row : label.rows) {
        frequency = frequency || !row.mhz.empty();
        received = received && row.qslReceived;
        if (!row.satellite.empty())
            satellites.push_back(row.satellite + ",");
    }
    words.insert(words.end(), {"Date", "UTC", frequency ? "MHz" : "Band", "Mode", "RST"});
    for (const LabelRow& row : label.rows)
        words.insert(words.end(),
                     {row.date, row.utc, row.mhz.empty() ? row.band : row.mhz, row.mode, row.rst});
    if (!satellites.empty()) {
        satellites.back().pop_back();
        words.push_back("Satellite:");
        words.insert(words.end(), satellites.begin(), satellites.end());
    }
    words.insert(words.end(), {received ? "TNX" : "PSE", "QSL", "73", "de", label.ownCall});
    std::sort(words.begin(), words.end());
    return words;
}

bool Inside(const PdfWord& word, const RectMm& rect, double tolerance) {
    return word.xMin >= rect.left - tolerance && word.xMax <= rect.right() + tolerance &&
           word.yMin >= rect.top - tolerance && word.yMax <= rect.bottom() + tolerance;
}

std::vector<std::string> WordsInside(const PdfPage& page, const RectMm& rect) {
    std::vector<std::string> words;
    for (const PdfWord& word : page.words) {
        if (Inside(word, rect, 0.01))
            words.push_back(word.text);
    }
    std::sort(words.begin(), words.end());
    return words;
}

const PdfWord* Find(const PdfPage& page, std::string_view text) {
    const auto it = std::find_if(page.words.begin(), page.words.end(),
                                 [&](const PdfWord& word) { return word.text == text; });
    return it == page.words.end() ? nullptr : &*it;
}

class LabelPdf : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!labels_test::PopplerAvailable())
            GTEST_SKIP() << "poppler-utils (pdftotext, pdffonts) are not installed";
        folder_ = std::filesystem::temp_directory_path() /
                  ("velmora-labels-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        measurer_ = MakePdfTextMeasurer();
    }
    void TearDown() override {
        if (!folder_.empty())
            std::filesystem::remove_all(folder_);
    }

    // Writes the PDF into the scratch folder, and a copy into VELMORA_LABELS_OUT when set.
    std::string Write(const std::string& name, const SheetLayout& sheet,
                      const SheetPlacement& placement, const std::vector<LabelData>& labels,
                      const RenderOptions& options = {}) {
        const std::string path = (folder_ / name).string();
        WriteLabelsPdf(path, sheet, placement, labels, options);
        if (const char* out = std::getenv("VELMORA_LABELS_OUT"); out != nullptr && *out != 0)
            std::filesystem::copy_file(path, std::filesystem::path(out) / name,
                                       std::filesystem::copy_options::overwrite_existing);
        return path;
    }

    // Where the call sign of a one-contact label at rect starts and where its baseline is: the
    // layout as the PDF's own font measures it.
    struct Expected {
        double x;
        double yMin;
    };
    Expected CallPosition(const LabelData& label, const RectMm& rect) {
        const LabelDrawing drawing = LayOutLabel(label, rect.width, rect.height, *measurer_);
        const PlacedText& title = drawing.texts.front();
        const double prefix = measurer_->Width("To Radio ", title.sizePt, title.weight);
        return {rect.left + title.x + prefix,
                rect.top + title.y - measurer_->Ascent(title.sizePt, title.weight)};
    }

    void ExpectCallAt(const PdfPage& page, const LabelData& label, const RectMm& rect) {
        SCOPED_TRACE(label.call);
        const PdfWord* word = Find(page, label.call);
        ASSERT_NE(word, nullptr);
        const Expected expected = CallPosition(label, rect);
        EXPECT_NEAR(word->xMin, expected.x, kGeometryToleranceMm);
        EXPECT_NEAR(word->yMin, expected.yMin, kGeometryToleranceMm);
        EXPECT_TRUE(Inside(*word, rect, 0.01));
    }

    std::filesystem::path folder_;
    std::unique_ptr<TextMeasurer> measurer_;
};

std::vector<LabelData> Numbered(std::size_t count) {
    std::vector<LabelData> labels;
    for (std::size_t i = 0; i < count; ++i)
        labels.push_back(Label("K" + std::to_string(i) + "LBL",
                               {Row("2026-01-02", "1200", "14.074", "20m", "FT8", "-10")}));
    return labels;
}

TEST_F(LabelPdf, EveryLabelOfEveryBuiltInSheetLandsWhereTheStockHasIt) {
    for (const SheetLayout& sheet : BuiltInSheets()) {
        SCOPED_TRACE(sheet.name);
        const std::vector<LabelData> labels = Numbered(sheet.LabelsPerSheet());
        const std::string path = Write("geometry-" + sheet.name + ".pdf", sheet, {}, labels);
        const std::vector<PdfPage> pages = labels_test::ReadWords(path);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_NEAR(pages[0].width, sheet.paperWidth, kGeometryToleranceMm);
        EXPECT_NEAR(pages[0].height, sheet.paperHeight, kGeometryToleranceMm);
        for (int slot = 0; slot < sheet.LabelsPerSheet(); ++slot)
            ExpectCallAt(pages[0], labels[static_cast<std::size_t>(slot)], SlotRect(sheet, slot));
    }
}

TEST_F(LabelPdf, SkippedLabelsStayBlankAndTheRunGoesOnToTheNextSheet) {
    const SheetLayout& sheet = *FindBuiltInSheet("L7160");
    const std::vector<LabelData> labels = Numbered(5);
    const std::string path = Write("skip-19.pdf", sheet, {0, 0, 19}, labels);
    const std::vector<PdfPage> pages = labels_test::ReadWords(path);
    ASSERT_EQ(pages.size(), 2u);
    ExpectCallAt(pages[0], labels[0], SlotRect(sheet, 19));
    ExpectCallAt(pages[0], labels[1], SlotRect(sheet, 20));
    ExpectCallAt(pages[1], labels[2], SlotRect(sheet, 0));
    ExpectCallAt(pages[1], labels[4], SlotRect(sheet, 2));
    // Nothing is printed on the first 19 labels of the used sheet.
    for (const PdfWord& word : pages[0].words)
        EXPECT_GE(word.yMin, SlotRect(sheet, 18).top) << word.text;
    EXPECT_EQ(pages[0].words.size(), 2 * WordsOf(labels[0]).size());

    // A preview stops after the first sheet.
    const std::string preview =
        Write("preview.pdf", sheet, {0, 0, 19}, labels, {LabelOutlines::none, 1});
    EXPECT_EQ(labels_test::ReadWords(preview).size(), 1u);
}

TEST_F(LabelPdf, ThePrinterOffsetMovesEveryLabel) {
    const SheetLayout& sheet = *FindBuiltInSheet("5163");
    const std::vector<LabelData> labels = Numbered(10);
    const std::string path = Write("offset.pdf", sheet, {1.5, -2.0, 0}, labels);
    const std::vector<PdfPage> pages = labels_test::ReadWords(path);
    ASSERT_EQ(pages.size(), 1u);
    for (int slot : {0, 1, 9})
        ExpectCallAt(pages[0], labels[static_cast<std::size_t>(slot)],
                     SlotRect(sheet, slot, 1.5, -2.0));
}

TEST_F(LabelPdf, TheTextExtractsAsTheContactsDataInARealFont) {
    const std::vector<LabelData> labels = SampleLabels();
    for (const SheetLayout& sheet : BuiltInSheets()) {
        SCOPED_TRACE(sheet.name);
        const std::string path = Write("sample-" + sheet.name + ".pdf", sheet, {}, labels);
        const std::vector<PdfPage> pages = labels_test::ReadWords(path);
        ASSERT_EQ(pages.size(), 1u);
        for (std::size_t i = 0; i < labels.size(); ++i)
            EXPECT_EQ(WordsInside(pages[0], PositionOf(sheet, {}, i).rect), WordsOf(labels[i]))
                << labels[i].call;

        // Real text in an embedded TrueType face, nothing drawn as a picture.
        const std::string fonts = labels_test::ReadFonts(path);
        EXPECT_NE(fonts.find("LiberationSans-Bold"), std::string::npos) << fonts;
        EXPECT_NE(fonts.find("LiberationSans "), std::string::npos) << fonts;
        EXPECT_NE(fonts.find("TrueType"), std::string::npos) << fonts;
        EXPECT_EQ(fonts.find(" no "), std::string::npos) << "a font is not embedded:\n" << fonts;
    }
    const std::string text = labels_test::ReadText((folder_ / "sample-L7163.pdf").string());
    EXPECT_NE(text.find("SP9ŻÓŁ"), std::string::npos) << text;
    EXPECT_NE(text.find("Satellite: SO-50, RS-44"), std::string::npos) << text;
}

TEST_F(LabelPdf, VeryLongValuesAreCutInsideTheirLabels) {
    LabelData label = Label("DL0" + std::string(60, 'X'), {}, "MANAGER" + std::string(60, 'M'));
    label.ownCall = "OWN" + std::string(80, 'O');
    for (std::size_t i = 0; i < kMaxRowsPerLabel; ++i) {
        LabelRow row = Row("2026-12-07", "1432", "1296.2" + std::string(30, '0'), "",
                           "OLIVIA-" + std::string(40, '8'), std::string(20, '5'));
        row.satellite = "QO-100 " + std::string(120, 'Q');
        label.rows.push_back(row);
    }
    for (const SheetLayout& sheet : BuiltInSheets()) {
        SCOPED_TRACE(sheet.name);
        const std::vector<LabelData> labels(static_cast<std::size_t>(sheet.LabelsPerSheet()),
                                            label);
        const std::string path =
            Write("long-" + sheet.name + ".pdf", sheet, {}, labels, {LabelOutlines::everySlot, 0});
        const std::vector<PdfPage> pages = labels_test::ReadWords(path);
        ASSERT_EQ(pages.size(), 1u);
        std::map<int, int> ellipses;
        for (const PdfWord& word : pages[0].words) {
            int home = -1;
            for (int slot = 0; slot < sheet.LabelsPerSheet(); ++slot) {
                if (Inside(word, SlotRect(sheet, slot), 0.01))
                    home = slot;
            }
            EXPECT_GE(home, 0) << word.text << " leaves its label at " << word.xMin << ", "
                               << word.yMin << " - " << word.xMax << ", " << word.yMax;
            if (word.text.ends_with("…"))
                ++ellipses[home];
        }
        // Each label cut its call, manager, satellites, signature and the long cells.
        for (int slot = 0; slot < sheet.LabelsPerSheet(); ++slot)
            EXPECT_GE(ellipses[slot], 5) << "slot " << slot;
    }
}

TEST_F(LabelPdf, WritingNeverLeavesAHalfWrittenOrWrongFile) {
    const SheetLayout& sheet = *FindBuiltInSheet("L7651");
    const std::string path = (folder_ / "labels.pdf").string();
    WriteLabelsPdf(path, sheet, {}, SampleLabels());
    std::ifstream in(path, std::ios::binary);
    std::string head(5, '\0');
    in.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");
    const auto size = std::filesystem::file_size(path);

    // Bad input is refused before the file is touched.
    EXPECT_THROW(WriteLabelsPdf(path, sheet, {}, {}), ELabelError);
    std::vector<LabelData> bad = SampleLabels();
    bad.back().call.clear();
    EXPECT_THROW(WriteLabelsPdf(path, sheet, {}, bad), ELabelError);
    EXPECT_THROW(WriteLabelsPdf(path, sheet, {0, 0, 65}, SampleLabels()), ELabelError);
    EXPECT_EQ(std::filesystem::file_size(path), size);

    // A folder in the way is reported, not overwritten.
    EXPECT_THROW(WriteLabelsPdf(folder_.string(), sheet, {}, SampleLabels()),
                 graphics::EFCreateError);
    // Text with broken UTF-8 still makes a document.
    std::vector<LabelData> broken = SampleLabels();
    broken[0].call = "G4\xFF\xFEXYZ";
    EXPECT_FALSE(LabelsPdf(sheet, {}, broken).empty());
}

} // namespace
