// The window's label painter over QPainter: text measured in millimetres whatever the device's
// resolution, labels on the slots the sheet gives them, and nothing drawn outside a label, even
// for values far too long for it. (Part of print_tests, whose environment makes the
// QApplication.)
#include "app/print/LabelQPainter.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

using namespace velmora;
namespace lb = velmora::labels;

lb::LabelData Label(std::string call, std::string via = {}) {
    lb::LabelData label;
    label.call = std::move(call);
    label.qslVia = std::move(via);
    label.ownCall = "G4XYZ";
    lb::LabelRow row;
    row.date = "2026-12-07";
    row.utc = "1432";
    row.mhz = "14.074";
    row.mode = "FT8";
    row.rst = "-12";
    label.rows = {row, row};
    return label;
}

bool Dark(QRgb pixel) {
    return qGray(pixel) < 100; // outlines are drawn in light grey, text and rules in black
}

// Dark pixels inside (or, with inside false, outside) the rectangles, in millimetres.
int CountDark(const QImage& image, double dpi, const std::vector<lb::RectMm>& rects, bool inside) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!Dark(image.pixel(x, y)))
                continue;
            const double xm = (x + 0.5) * 25.4 / dpi;
            const double ym = (y + 0.5) * 25.4 / dpi;
            bool in = false;
            for (const lb::RectMm& r : rects)
                in = in || (xm >= r.left - 0.3 && xm <= r.right() + 0.3 && ym >= r.top - 0.3 &&
                            ym <= r.bottom() + 0.3);
            count += in == inside ? 1 : 0;
        }
    }
    return count;
}

TEST(LabelQPainter, MeasuresInMillimetresWhateverTheResolution) {
    QImage low(10, 10, QImage::Format_RGB32);
    low.setDotsPerMeterX(3780); // 96 dpi
    low.setDotsPerMeterY(3780);
    QImage high(10, 10, QImage::Format_RGB32);
    high.setDotsPerMeterX(11811); // 300 dpi
    high.setDotsPerMeterY(11811);
    QPainter lowPainter(&low);
    QPainter highPainter(&high);
    print::LabelQPainter atLow(lowPainter);
    print::LabelQPainter atHigh(highPainter);
    const double width = atHigh.Width("To Radio DL1ABC", 10, lb::FontWeight::bold);
    // 15 characters of a 10 pt sans face: a few centimetres, not pixels or inches.
    EXPECT_GT(width, 20.0);
    EXPECT_LT(width, 40.0);
    // Qt sets fonts in whole pixels, so 10 pt at 96 dpi (13.3 px) comes out a little narrower;
    // the layout measures with the font it then draws, so that is what must fit.
    EXPECT_NEAR(atLow.Width("To Radio DL1ABC", 10, lb::FontWeight::bold), width, width * 0.05);
    EXPECT_NEAR(atHigh.Width("To Radio DL1ABC", 20, lb::FontWeight::bold), 2 * width, width * 0.03);
    EXPECT_NEAR(atHigh.Ascent(10, lb::FontWeight::regular),
                atLow.Ascent(10, lb::FontWeight::regular), 0.2);
}

TEST(LabelQPainter, ThePreviewDrawsTheLabelsOnTheSlotsAfterTheSkipAndNowhereElse) {
    const lb::SheetLayout& sheet = *lb::FindBuiltInSheet("L7160");
    lb::SheetPlacement placement;
    placement.skip = 2;
    const std::vector<lb::LabelData> labels{Label("DL1ABC"), Label("F5XYZ", "F6ABC")};
    const double dpi = 100;
    const QImage image = print::PreviewFirstSheet(sheet, placement, labels, dpi);
    EXPECT_EQ(image.width(), 827); // 210 mm at 100 dpi
    const lb::RectMm third = lb::SlotRect(sheet, 2);
    const lb::RectMm fourth = lb::SlotRect(sheet, 3);
    EXPECT_GT(CountDark(image, dpi, {third}, true), 200);
    EXPECT_GT(CountDark(image, dpi, {fourth}, true), 200);
    EXPECT_EQ(CountDark(image, dpi, {third, fourth}, false), 0);
}

TEST(LabelQPainter, ValuesFarTooLongStayInsideTheirLabel) {
    const lb::SheetLayout& sheet = *lb::FindBuiltInSheet("L7651"); // the smallest labels
    lb::LabelData label = Label(std::string(80, 'W'), std::string(60, 'M'));
    label.rows[0].mode = "OLIVIA-16/500-VERY-LONG-SUBMODE";
    label.rows[1].satellite = std::string(90, 'S');
    const std::vector<lb::LabelData> labels{label};
    const double dpi = 150;
    const QImage image = print::PreviewFirstSheet(sheet, {}, labels, dpi);
    const lb::RectMm first = lb::SlotRect(sheet, 0);
    EXPECT_GT(CountDark(image, dpi, {first}, true), 100);
    EXPECT_EQ(CountDark(image, dpi, {first}, false), 0);
}

TEST(LabelQPainter, EachFurtherSheetStartsANewPage) {
    const lb::SheetLayout& sheet = *lb::FindBuiltInSheet("L7160");
    const std::vector<lb::LabelData> labels(sheet.LabelsPerSheet() * 2 + 1, Label("DL1ABC"));
    QImage page(100, 100, QImage::Format_RGB32);
    QPainter painter(&page);
    int newPages = 0;
    print::LabelQPainter labelPainter(painter, [&] { ++newPages; });
    lb::RenderLabels(labelPainter, sheet, {}, labels);
    EXPECT_EQ(newPages, 2);
}

} // namespace
