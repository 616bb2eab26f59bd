// File > Print and File > Print Setup on the main window: the dialogs they open, what they keep
// for the session, the PDF they print, the error they report; and the card options page.
#include "../AppTestSupport.h"
#include "PdfProbe.h"
#include "app/mnVelmora.h"
#include "app/print/CardPrinter.h"
#include "app/print/PrintDialogs.h"
#include "graphics/Bitmap.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

namespace {

using apptest::AppTest;
using apptest::ProcessEvents;
using velmora::Form1;
using namespace velmora::print;

// Answers the print dialogs from a script; a dialog with no answer queued is cancelled.
class ScriptedPrintDialogs : public PrintDialogProvider {
  public:
    std::deque<std::function<bool(QPrinter&, PrintOptions&)>> print;
    std::deque<std::function<bool(QPrinter&)>> pageSetup;
    std::vector<PrintOptions> optionsShown;
    std::vector<QPrinter*> printersShown;

    bool RunPrint(QPrinter& printer, PrintOptions& options) override {
        optionsShown.push_back(options);
        printersShown.push_back(&printer);
        if (print.empty())
            return false;
        auto answer = std::move(print.front());
        print.pop_front();
        return answer(printer, options);
    }
    bool RunPageSetup(QPrinter& printer) override {
        printersShown.push_back(&printer);
        if (pageSetup.empty())
            return false;
        auto answer = std::move(pageSetup.front());
        pageSetup.pop_front();
        return answer(printer);
    }
    bool RunPrintLabels(QPrinter&) override { return false; }
};

class PrintCommandsTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        guard_ = std::make_unique<ScopedPrintDialogProvider>(printDialogs_);
        StartProgram();
        ASSERT_NE(Form1, nullptr);
    }
    void TearDown() override {
        guard_.reset();
        AppTest::TearDown();
    }

    QString Pdf(const char* name = "card.pdf") const {
        return QString::fromStdString((folder_ / name).string());
    }
    // The user picks "Print to File (PDF)" with this name, and the options.
    std::function<bool(QPrinter&, PrintOptions&)> ToPdf(QString file,
                                                        std::optional<PrintOptions> chosen = {}) {
        return [file, chosen](QPrinter& printer, PrintOptions& options) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(file);
            if (chosen)
                options = *chosen;
            return true;
        };
    }
    QAction* Item(const char* name) const {
        return Form1->findChild<QAction*>(QString::fromLatin1(name));
    }
    void PaintCard(graphics::TColor color) {
        Form1->Session().CardCanvas().Brush().SetColor(color);
        Form1->Session().CardCanvas().FillArea({0, 0, 495, 315});
    }
    bool Poppler() const { return printtest::PopplerAvailable(); }

    ScriptedPrintDialogs printDialogs_;
    std::unique_ptr<ScopedPrintDialogProvider> guard_;
};

TEST_F(PrintCommandsTest, PrintOpensThePrintDialogAndACancelPrintsNothing) {
    Item("Print1")->trigger();
    ASSERT_EQ(printDialogs_.optionsShown.size(), 1u);
    EXPECT_EQ(printDialogs_.optionsShown[0], PrintOptions{}) << "one card, no offset at first";
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder_)) << "nothing written";
}

TEST_F(PrintCommandsTest, CtrlPIsPrint) {
    Form1->Show();
    ProcessEvents();
    QTest::keyClick(Form1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(printDialogs_.optionsShown.size(), 1u);
}

TEST_F(PrintCommandsTest, PrintToAPdfFileGivesOnePageWithTheCardAtQslSize) {
    if (!Poppler())
        GTEST_SKIP() << "poppler-utils are not installed";
    PaintCard(graphics::clNavy);
    printDialogs_.print.push_back(ToPdf(Pdf()));
    Item("Print1")->trigger();
    ASSERT_TRUE(boxes_.empty()) << boxes_[0].text;

    const auto info = printtest::ReadPdfInfo(Pdf());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 1);
    const auto images = printtest::ListPdfImages(Pdf());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_NEAR(images[0].width / double(images[0].xPpi), 5.5, 0.01);
    EXPECT_NEAR(images[0].height / double(images[0].yPpi), 3.5, 0.01);

    const int dpi = 100;
    const QImage page = printtest::RenderFirstPage(Pdf(), dpi);
    const printtest::BoxMm box = printtest::InkBox(page, dpi);
    ASSERT_TRUE(box.valid);
    EXPECT_NEAR(box.width(), kCardWidthMm, 0.6);
    EXPECT_NEAR(box.height(), kCardHeightMm, 0.6);
    const QRgb middle = page.pixel(int((box.left + box.right) / 2 / 25.4 * dpi),
                                   int((box.top + box.bottom) / 2 / 25.4 * dpi));
    EXPECT_LT(qRed(middle), 40);
    EXPECT_LT(qGreen(middle), 40);
    EXPECT_GT(qBlue(middle), 90) << "the card's own navy";
}

TEST_F(PrintCommandsTest, TheOptionsAndThePrinterAreKeptForTheSession) {
    const PrintOptions sheet{csFillPage, 1.5, -2};
    printDialogs_.print.push_back(ToPdf(Pdf("first.pdf"), sheet));
    Item("Print1")->trigger();
    Item("Print1")->trigger(); // shown again, cancelled
    ASSERT_EQ(printDialogs_.optionsShown.size(), 2u);
    EXPECT_EQ(printDialogs_.optionsShown[1], sheet);
    EXPECT_EQ(printDialogs_.printersShown[0], printDialogs_.printersShown[1]);
    EXPECT_EQ(printDialogs_.printersShown[1]->outputFileName(), Pdf("first.pdf"));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "first.pdf"));
}

TEST_F(PrintCommandsTest, PrintSetupChoosesThePaperForTheNextPrint) {
    if (!Poppler())
        GTEST_SKIP() << "poppler-utils are not installed";
    printDialogs_.pageSetup.push_back([](QPrinter& printer) {
        printer.setPageSize(QPageSize(QPageSize::A5));
        printer.setPageOrientation(QPageLayout::Landscape);
        return true;
    });
    Item("PrintSetup1")->trigger();
    printDialogs_.print.push_back(ToPdf(Pdf()));
    Item("Print1")->trigger();
    ASSERT_EQ(printDialogs_.printersShown.size(), 2u);
    EXPECT_EQ(printDialogs_.printersShown[0], printDialogs_.printersShown[1])
        << "Print uses the printer Print Setup prepared";

    const auto info = printtest::ReadPdfInfo(Pdf());
    ASSERT_TRUE(info);
    EXPECT_NEAR(info->pageWidth, 210 * printtest::kPointsPerMm, 1);
    EXPECT_NEAR(info->pageHeight, 148 * printtest::kPointsPerMm, 1);
}

TEST_F(PrintCommandsTest, ACancelledPrintSetupKeepsThePaper) {
    QPrinter& printer = Form1->Printing.Printer();
    printer.setPageSize(QPageSize(QPageSize::Letter));
    Item("PrintSetup1")->trigger(); // no answer: cancelled
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::Letter);
}

TEST_F(PrintCommandsTest, AFailedPrintShowsTheErrorAndWritesNothing) {
    const QString path = Pdf("missing folder/card.pdf");
    printDialogs_.print.push_back(ToPdf(path));
    Item("Print1")->trigger();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Velmora");
    EXPECT_EQ(boxes_[0].text, "Unable to print to " + path.toStdString() + ".");
    EXPECT_FALSE(std::filesystem::exists(path.toStdString()));
}

TEST(CardOptionsPage, ShowsTheOptionsAndReturnsWhatTheUserSet) {
    CardOptionsPage page({csFillPage, 2.5, -1});
    auto* fill = page.findChild<QRadioButton*>(QStringLiteral("FillPage"));
    auto* one = page.findChild<QRadioButton*>(QStringLiteral("OnePerPage"));
    auto* x = page.findChild<QDoubleSpinBox*>(QStringLiteral("OffsetX"));
    auto* y = page.findChild<QDoubleSpinBox*>(QStringLiteral("OffsetY"));
    ASSERT_TRUE(fill && one && x && y);
    EXPECT_EQ(page.windowTitle(), QStringLiteral("Card"));
    EXPECT_TRUE(fill->isChecked());
    EXPECT_FALSE(one->isChecked());
    EXPECT_DOUBLE_EQ(x->value(), 2.5);
    EXPECT_DOUBLE_EQ(y->value(), -1);
    EXPECT_EQ(page.Options(), (PrintOptions{csFillPage, 2.5, -1}));

    one->setChecked(true);
    x->setValue(-3);
    y->setValue(4.5);
    EXPECT_EQ(page.Options(), (PrintOptions{csOnePerPage, -3, 4.5}));
}

TEST(CardOptionsPage, OffsetsStayWithinTheirRange) {
    CardOptionsPage page({csOnePerPage, 500, -500});
    EXPECT_EQ(page.Options(), (PrintOptions{csOnePerPage, kMaxOffsetMm, -kMaxOffsetMm}));
}

// Qt's own dialogs, answered by finding them once they are open.
class QtPrintDialogsTest : public AppTest {
  protected:
    // Runs action on the modal dialog as soon as it shows; a dialog still open after that (or
    // never found) is rejected, so no test waits for a person.
    template <class Dialog> void WhenShown(std::function<void(Dialog&)> action) {
        QTimer::singleShot(0, [action] {
            for (int attempt = 0; attempt < 100; ++attempt) {
                if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                    action(*dialog);
                    if (dialog->isVisible())
                        dialog->reject();
                    return;
                }
                QTest::qWait(20);
            }
            ADD_FAILURE() << "the dialog never showed";
        });
    }
};

TEST_F(QtPrintDialogsTest, ThePrintDialogHasTheCardPageAndReturnsItsOptions) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString((folder_ / "dialog.pdf").string()));
    PrintOptions options;
    bool sawCardTab = false;
    WhenShown<QPrintDialog>([&sawCardTab](QPrintDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), QStringLiteral("PrintDialog"));
        auto* page = dialog.findChild<CardOptionsPage*>();
        ASSERT_NE(page, nullptr);
        for (auto* tabs : dialog.findChildren<QTabWidget*>())
            sawCardTab = sawCardTab || tabs->indexOf(page) >= 0;
        page->findChild<QRadioButton*>(QStringLiteral("FillPage"))->setChecked(true);
        page->findChild<QDoubleSpinBox*>(QStringLiteral("OffsetX"))->setValue(3);
        dialog.accept();
    });
    const auto provider = NewQtPrintDialogProvider();
    EXPECT_TRUE(provider->RunPrint(printer, options));
    EXPECT_TRUE(sawCardTab) << "the options are a tab of the print dialog";
    EXPECT_EQ(options, (PrintOptions{csFillPage, 3, 0}));
}

TEST_F(QtPrintDialogsTest, ACancelledPrintDialogKeepsTheOptions) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    PrintOptions options{csFillPage, 1, 1};
    WhenShown<QPrintDialog>([](QPrintDialog& dialog) {
        dialog.findChild<QRadioButton*>(QStringLiteral("OnePerPage"))->setChecked(true);
        dialog.reject();
    });
    EXPECT_FALSE(NewQtPrintDialogProvider()->RunPrint(printer, options));
    EXPECT_EQ(options, (PrintOptions{csFillPage, 1, 1}));
}

TEST_F(QtPrintDialogsTest, ThePageSetupDialogSetsThePrintersPaper) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    WhenShown<QPageSetupDialog>([](QPageSetupDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), QStringLiteral("PageSetupDialog"));
        auto* sizes = dialog.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
        ASSERT_NE(sizes, nullptr) << "Qt's page setup widget has changed";
        const int a5 = sizes->findText(QStringLiteral("A5"), Qt::MatchStartsWith);
        ASSERT_GE(a5, 0);
        sizes->setCurrentIndex(a5);
        dialog.accept();
    });
    EXPECT_TRUE(NewQtPrintDialogProvider()->RunPageSetup(printer));
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A5);

    WhenShown<QPageSetupDialog>([](QPageSetupDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(NewQtPrintDialogProvider()->RunPageSetup(printer));
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A5);
}

} // namespace
