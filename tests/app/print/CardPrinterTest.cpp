// Printing the card into PDF files and reading them back: page count and size, the image's
// pixels and resolution, where the card lands (alone, moved by the offset, or as a sheet of
// cards with cut marks) and what a failed job reports.
#include "app/print/CardPrinter.h"

#include "PdfProbe.h"
#include "graphics/Bitmap.h"

#include <QApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

using namespace velmora::print;
using printtest::BoxMm;

// Rendering resolution for measuring: one pixel is 0.17 mm.
constexpr int kDpi = 150;
constexpr double kPixelMm = 25.4 / kDpi;

// The QApplication the printing code needs, made once when the tests run.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (QApplication::instance() != nullptr)
            return;
        static int argc = 1;
        static char name[] = "velmora_print_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// A card whose quarters have four colours, so turned, mirrored or colour-swapped output shows.
constexpr graphics::TColor kTopLeft = graphics::clRed;
constexpr graphics::TColor kTopRight = graphics::clLime;
constexpr graphics::TColor kBottomLeft = graphics::clBlue;
constexpr graphics::TColor kBottomRight = graphics::clYellow;

void PaintQuarters(graphics::TBitmap& card) {
    const int w = card.Width(), h = card.Height();
    auto fill = [&card](graphics::TColor color, const platform::RECT& rect) {
        card.Canvas().Brush().SetColor(color);
        card.Canvas().FillArea(rect);
    };
    fill(kTopLeft, {0, 0, w / 2, h / 2});
    fill(kTopRight, {w / 2, 0, w, h / 2});
    fill(kBottomLeft, {0, h / 2, w / 2, h});
    fill(kBottomRight, {w / 2, h / 2, w, h});
}

QImage QuarterCard() {
    graphics::TBitmap card;
    card.SetSize(495, 315);
    PaintQuarters(card);
    return CardImageOf(card);
}

QRgb Rgb(graphics::TColor color) {
    return qRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// Within the JPEG tolerance of the PDF's image and of the renderer.
::testing::AssertionResult Near(QRgb actual, QRgb expected) {
    const int tolerance = 40;
    if (std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
        std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
        std::abs(qBlue(actual) - qBlue(expected)) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel " << std::hex << actual << " where " << expected << " was printed";
}

QRgb PixelAtMm(const QImage& page, double x, double y) {
    return page.pixel(int(x / kPixelMm), int(y / kPixelMm));
}

// The four colours at the centres of the card's quarters.
void ExpectQuarters(const QImage& page, const RectMm& card) {
    const double qx = card.width / 4, qy = card.height / 4;
    EXPECT_TRUE(Near(PixelAtMm(page, card.left + qx, card.top + qy), Rgb(kTopLeft)));
    EXPECT_TRUE(Near(PixelAtMm(page, card.left + 3 * qx, card.top + qy), Rgb(kTopRight)));
    EXPECT_TRUE(Near(PixelAtMm(page, card.left + qx, card.top + 3 * qy), Rgb(kBottomLeft)));
    EXPECT_TRUE(Near(PixelAtMm(page, card.left + 3 * qx, card.top + 3 * qy), Rgb(kBottomRight)));
}

void ExpectBox(const BoxMm& box, double left, double top, double width, double height) {
    ASSERT_TRUE(box.valid) << "nothing printed";
    // A rendered edge may fall on either side of a pixel.
    const double tolerance = 2 * kPixelMm;
    EXPECT_NEAR(box.left, left, tolerance);
    EXPECT_NEAR(box.top, top, tolerance);
    EXPECT_NEAR(box.width(), width, tolerance);
    EXPECT_NEAR(box.height(), height, tolerance);
}

class CardPrinterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!printtest::PopplerAvailable())
            GTEST_SKIP() << "poppler-utils (pdfinfo, pdfimages, pdftoppm) are not installed";
        ASSERT_TRUE(folder_.isValid());
        printer_.setOutputFormat(QPrinter::PdfFormat);
        printer_.setOutputFileName(Pdf());
    }

    QString Pdf() const { return folder_.filePath(QStringLiteral("card.pdf")); }

    void SetPaper(const QPageSize& size, QPageLayout::Orientation orientation, double marginMm) {
        ASSERT_TRUE(printer_.setPageLayout(
            QPageLayout(size, orientation, QMarginsF(marginMm, marginMm, marginMm, marginMm),
                        QPageLayout::Millimeter)));
    }

    QImage PrintAndRender(const PrintOptions& options) {
        PrintCard(QuarterCard(), printer_, options);
        return printtest::RenderFirstPage(Pdf(), kDpi);
    }

    QTemporaryDir folder_;
    QPrinter printer_{QPrinter::HighResolution};
};

TEST_F(CardPrinterTest, OnCardPaperOnePageHoldsTheCardAtQslSize) {
    SetPaper(QPageSize(QSizeF(kCardWidthMm, kCardHeightMm), QPageSize::Millimeter),
             QPageLayout::Portrait, 0);
    PrintCard(QuarterCard(), printer_, {});

    const auto info = printtest::ReadPdfInfo(Pdf());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 1);
    // 5.5 x 3.5 inches.
    EXPECT_NEAR(info->pageWidth, 396, 0.5);
    EXPECT_NEAR(info->pageHeight, 252, 0.5);

    // One image of 5.5 x 3.5 inches at 300 pixels per inch: the card scaled to print size.
    const auto images = printtest::ListPdfImages(Pdf());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 1650);
    EXPECT_EQ(images[0].height, 1050);
    EXPECT_EQ(images[0].xPpi, 300);
    EXPECT_EQ(images[0].yPpi, 300);

    const QImage page = printtest::RenderFirstPage(Pdf(), kDpi);
    ASSERT_FALSE(page.isNull());
    ExpectBox(printtest::InkBox(page, kDpi), 0, 0, kCardWidthMm, kCardHeightMm);
    ExpectQuarters(page, {0, 0, kCardWidthMm, kCardHeightMm});
}

TEST_F(CardPrinterTest, OnA4TheCardIsCentredAtQslSize) {
    SetPaper(QPageSize(QPageSize::A4), QPageLayout::Portrait, 10);
    const QImage page = PrintAndRender({});
    const auto info = printtest::ReadPdfInfo(Pdf());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 1);
    EXPECT_NEAR(info->pageWidth, 210 * printtest::kPointsPerMm, 1);
    EXPECT_NEAR(info->pageHeight, 297 * printtest::kPointsPerMm, 1);
    ASSERT_EQ(printtest::ListPdfImages(Pdf()).size(), 1u);

    const double left = (210 - kCardWidthMm) / 2, top = (297 - kCardHeightMm) / 2;
    ExpectBox(printtest::InkBox(page, kDpi), left, top, kCardWidthMm, kCardHeightMm);
    ExpectQuarters(page, {left, top, kCardWidthMm, kCardHeightMm});
}

TEST_F(CardPrinterTest, TheOffsetMovesTheCard) {
    SetPaper(QPageSize(QPageSize::A4), QPageLayout::Portrait, 10);
    const double left = (210 - kCardWidthMm) / 2, top = (297 - kCardHeightMm) / 2;
    for (const auto& [dx, dy] : {std::pair{12.5, -7.0}, std::pair{-20.0, 30.0}}) {
        SCOPED_TRACE(testing::Message() << "offset " << dx << ", " << dy);
        const QImage page = PrintAndRender({csOnePerPage, dx, dy});
        ExpectBox(printtest::InkBox(page, kDpi), left + dx, top + dy, kCardWidthMm, kCardHeightMm);
        ExpectQuarters(page, {left + dx, top + dy, kCardWidthMm, kCardHeightMm});
    }
}

TEST_F(CardPrinterTest, OnCardPaperTheOffsetCutsTheCardAtThePaperEdge) {
    SetPaper(QPageSize(QSizeF(kCardWidthMm, kCardHeightMm), QPageSize::Millimeter),
             QPageLayout::Portrait, 0);
    const QImage page = PrintAndRender({csOnePerPage, 5, 3});
    ExpectBox(printtest::InkBox(page, kDpi), 5, 3, kCardWidthMm - 5, kCardHeightMm - 3);
}

TEST_F(CardPrinterTest, ASheetHoldsAsManyCardsAsFitWithCutMarks) {
    // A4 landscape, 5 mm margins: two by two cards in a block of 279.4 x 177.8 mm.
    SetPaper(QPageSize(QPageSize::A4), QPageLayout::Landscape, 5);
    const QImage page = PrintAndRender({csFillPage, 0, 0});
    const auto info = printtest::ReadPdfInfo(Pdf());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 1);
    EXPECT_EQ(printtest::ListPdfImages(Pdf()).size(), 4u);

    const double left = 5 + (287 - 2 * kCardWidthMm) / 2;
    const double top = 5 + (200 - 2 * kCardHeightMm) / 2;
    const QRect block(int(left / kPixelMm) - 2, int(top / kPixelMm) - 2,
                      int(2 * kCardWidthMm / kPixelMm) + 5, int(2 * kCardHeightMm / kPixelMm) + 5);
    // The cards fill the block; everything else printed is a cut mark.
    ExpectBox(printtest::InkBox(page.copy(block), kDpi), 2 * kPixelMm, 2 * kPixelMm,
              2 * kCardWidthMm, 2 * kCardHeightMm);
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column)
            ExpectQuarters(page, {left + column * kCardWidthMm, top + row * kCardHeightMm,
                                  kCardWidthMm, kCardHeightMm});
    }

    const std::vector<BoxMm> marks = printtest::InkPatches(page, kDpi, {block});
    // Three vertical cuts marked above and below, three horizontal ones left and right.
    ASSERT_EQ(marks.size(), 12u);
    const double tolerance = 2 * kPixelMm;
    int above = 0, below = 0, before = 0, after = 0;
    for (const BoxMm& mark : marks) {
        EXPECT_LT(std::min(mark.width(), mark.height()), 0.6) << "cut marks are thin";
        if (mark.height() > mark.width()) {
            const double x = (mark.left + mark.right) / 2;
            const double cut = (x - left) / kCardWidthMm;
            EXPECT_NEAR(cut * kCardWidthMm, std::round(cut) * kCardWidthMm, tolerance);
            if (mark.bottom < top) {
                ++above;
                EXPECT_NEAR(mark.bottom, top - kCutMarkGapMm, tolerance);
                EXPECT_NEAR(mark.height(), kCutMarkLengthMm, tolerance);
            } else {
                ++below;
                EXPECT_NEAR(mark.top, top + 2 * kCardHeightMm + kCutMarkGapMm, tolerance);
            }
        } else {
            const double y = (mark.top + mark.bottom) / 2;
            const double cut = (y - top) / kCardHeightMm;
            EXPECT_NEAR(cut * kCardHeightMm, std::round(cut) * kCardHeightMm, tolerance);
            if (mark.right < left) {
                ++before;
                EXPECT_NEAR(mark.right, left - kCutMarkGapMm, tolerance);
                EXPECT_GE(mark.left, 5 - tolerance) << "inside the printable area";
            } else {
                ++after;
                EXPECT_NEAR(mark.left, left + 2 * kCardWidthMm + kCutMarkGapMm, tolerance);
            }
        }
    }
    EXPECT_EQ(above, 3);
    EXPECT_EQ(below, 3);
    EXPECT_EQ(before, 3);
    EXPECT_EQ(after, 3);
}

TEST_F(CardPrinterTest, TheOffsetMovesTheSheetAndItsMarks) {
    SetPaper(QPageSize(QPageSize::A4), QPageLayout::Portrait, 5);
    const BoxMm still = printtest::InkBox(PrintAndRender({csFillPage, 0, 0}), kDpi);
    const BoxMm moved = printtest::InkBox(PrintAndRender({csFillPage, 2.5, -4}), kDpi);
    ASSERT_TRUE(still.valid && moved.valid);
    EXPECT_NEAR(moved.left - still.left, 2.5, 2 * kPixelMm);
    EXPECT_NEAR(moved.top - still.top, -4, 2 * kPixelMm);
    EXPECT_EQ(printtest::ListPdfImages(Pdf()).size(), 3u) << "A4 portrait holds three cards";
}

TEST_F(CardPrinterTest, EveryCopyAskedForIsAPageOfThePdf) {
    // A PDF file cannot make copies the way a printer does: each copy is a page of its own.
    SetPaper(QPageSize(QPageSize::A4), QPageLayout::Landscape, 5);
    printer_.setCopyCount(3);
    ASSERT_FALSE(printer_.supportsMultipleCopies());
    PrintCard(QuarterCard(), printer_, {csFillPage, 0, 0});
    const auto info = printtest::ReadPdfInfo(Pdf());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 3);
    std::map<int, int> cardsOnPage;
    for (const auto& image : printtest::ListPdfImages(Pdf()))
        ++cardsOnPage[image.page];
    EXPECT_EQ(cardsOnPage, (std::map<int, int>{{1, 4}, {2, 4}, {3, 4}}));
}

TEST_F(CardPrinterTest, AFileThatCannotBeWrittenIsReportedAsAFailure) {
    const QString path = folder_.filePath(QStringLiteral("no such folder/card.pdf"));
    printer_.setOutputFileName(path);
    try {
        PrintCard(QuarterCard(), printer_, {});
        FAIL() << "printing into a missing folder succeeded";
    } catch (const EPrinter& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to print to " + path.toStdString());
    }
}

// The pixels come from the card bitmap through the raster layer, whatever its storage.
TEST(CardImage, IsReadFromTheCardBitmapInEveryStorage) {
    for (const graphics::TPixelFormat format :
         {graphics::pf32bit, graphics::pf24bit, graphics::pf8bit, graphics::pfDevice}) {
        SCOPED_TRACE(testing::Message() << "pixel format " << int(format));
        graphics::TBitmap card;
        card.SetSize(495, 315);
        card.SetPixelFormat(format);
        PaintQuarters(card);
        const QImage image = CardImageOf(card);
        ASSERT_EQ(image.size(), QSize(495, 315));
        EXPECT_EQ(image.pixel(10, 10), Rgb(kTopLeft));
        EXPECT_EQ(image.pixel(484, 10), Rgb(kTopRight));
        EXPECT_EQ(image.pixel(10, 304), Rgb(kBottomLeft));
        EXPECT_EQ(image.pixel(484, 304), Rgb(kBottomRight));
    }
}

TEST(CardImage, AnEmptyBitmapIsNoCardToPrint) {
    graphics::TBitmap empty;
    EXPECT_THROW(CardImageOf(empty), EPrinter);
}

TEST(ScaledForPrint, CoversTheQslSizeAtTheDeviceResolutionUpTo300Dpi) {
    const QImage card(495, 315, QImage::Format_RGB32);
    EXPECT_EQ(ScaledForPrint(card, 1200).size(), QSize(1650, 1050));
    EXPECT_EQ(ScaledForPrint(card, 300).size(), QSize(1650, 1050));
    EXPECT_EQ(ScaledForPrint(card, 96).size(), QSize(528, 336));
    EXPECT_EQ(ScaledForPrint(card, 0).size(), QSize(6, 4)) << "a broken resolution gives no crash";
}

TEST(ScaledForPrint, InterpolatesBetweenPixels) {
    // A black pixel beside a white one: scaled smoothly there are greys between them.
    QImage card(2, 1, QImage::Format_RGB32);
    card.setPixel(0, 0, qRgb(0, 0, 0));
    card.setPixel(1, 0, qRgb(255, 255, 255));
    const QImage scaled = ScaledForPrint(card, 300);
    int greys = 0;
    for (int x = 0; x < scaled.width(); ++x) {
        const int value = qGray(scaled.pixel(x, scaled.height() / 2));
        greys += value > 20 && value < 235;
    }
    EXPECT_GT(greys, scaled.width() / 4);
}

TEST(SheetOf, ReadsThePaperAndItsMarginsInMillimetres) {
    const QPageLayout letter(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                             QMarginsF(18, 36, 9, 72), QPageLayout::Point);
    const SheetGeometry sheet = SheetOf(letter);
    EXPECT_NEAR(sheet.paperWidth, 279.4, 0.05);
    EXPECT_NEAR(sheet.paperHeight, 215.9, 0.05);
    EXPECT_NEAR(sheet.printable.left, 18 / printtest::kPointsPerMm, 0.05);
    EXPECT_NEAR(sheet.printable.top, 36 / printtest::kPointsPerMm, 0.05);
    EXPECT_NEAR(sheet.printable.right(), 279.4 - 9 / printtest::kPointsPerMm, 0.05);
    EXPECT_NEAR(sheet.printable.bottom(), 215.9 - 72 / printtest::kPointsPerMm, 0.05);

    // The printer's full-page mode, which printing uses, keeps the margins as the printable area.
    QPageLayout fullPage = letter;
    fullPage.setMode(QPageLayout::FullPageMode);
    EXPECT_NEAR(SheetOf(fullPage).printable.left, sheet.printable.left, 1e-9);
}

} // namespace
