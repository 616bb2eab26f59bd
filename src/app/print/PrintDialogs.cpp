#include "app/print/PrintDialogs.h"

#include "app/toolkit/ReturnActivation.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velmora::print {

namespace {

QDoubleSpinBox* NewOffsetBox(const char* name, double value, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(-kMaxOffsetMm, kMaxOffsetMm);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" mm"));
    box->setValue(value);
    return box;
}

class QtPrintDialogProvider : public PrintDialogProvider {
  public:
    bool RunPrint(QPrinter& printer, PrintOptions& options) override {
        toolkit::ReturnActivation owner(QApplication::activeWindow());
        QPrintDialog dialog(&printer, owner.window());
        dialog.setObjectName(QStringLiteral("PrintDialog"));
        dialog.setWindowTitle(QStringLiteral("Print"));
        // One page, no selection: the card is the whole document.
        dialog.setOptions(QAbstractPrintDialog::PrintToFile |
                          QAbstractPrintDialog::PrintCollateCopies |
                          QAbstractPrintDialog::PrintShowPageSize);
        dialog.setMinMax(1, 1);
        auto* page = new CardOptionsPage(options);
        dialog.setOptionTabs({page});
        if (dialog.exec() != QDialog::Accepted)
            return false;
        options = page->Options();
        return true;
    }

    bool RunPageSetup(QPrinter& printer) override {
        toolkit::ReturnActivation owner(QApplication::activeWindow());
        QPageSetupDialog dialog(&printer, owner.window());
        dialog.setObjectName(QStringLiteral("PageSetupDialog"));
        dialog.setWindowTitle(QStringLiteral("Print Setup"));
        return dialog.exec() == QDialog::Accepted;
    }

    bool RunPrintLabels(QPrinter& printer) override {
        toolkit::ReturnActivation owner(QApplication::activeWindow());
        QPrintDialog dialog(&printer, owner.window());
        dialog.setObjectName(QStringLiteral("PrintLabelsDialog"));
        dialog.setWindowTitle(QStringLiteral("Print Labels"));
        // Every sheet of the run: a partial print would leave the skip count of the next run
        // to guesswork.
        dialog.setOptions(QAbstractPrintDialog::PrintToFile |
                          QAbstractPrintDialog::PrintCollateCopies |
                          QAbstractPrintDialog::PrintShowPageSize);
        return dialog.exec() == QDialog::Accepted;
    }
};

} // namespace

std::unique_ptr<PrintDialogProvider> NewQtPrintDialogProvider() {
    return std::make_unique<QtPrintDialogProvider>();
}

PrintDialogProvider& PrintDialogs() {
    return toolkit::DialogSeam<PrintDialogProvider>::InUse<QtPrintDialogProvider>();
}

CardOptionsPage::CardOptionsPage(const PrintOptions& options, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CardOptionsPage"));
    setWindowTitle(QStringLiteral("Card"));

    auto* cards = new QGroupBox(QStringLiteral("Cards on each page"), this);
    onePerPage_ = new QRadioButton(QStringLiteral("One card, centred on the paper"), cards);
    onePerPage_->setObjectName(QStringLiteral("OnePerPage"));
    fillPage_ = new QRadioButton(QStringLiteral("As many as fit, with cut marks"), cards);
    fillPage_->setObjectName(QStringLiteral("FillPage"));
    (options.Cards == csFillPage ? fillPage_ : onePerPage_)->setChecked(true);
    auto* cardsLayout = new QVBoxLayout(cards);
    cardsLayout->addWidget(onePerPage_);
    cardsLayout->addWidget(fillPage_);

    auto* offset = new QGroupBox(QStringLiteral("Printer offset"), this);
    offsetX_ = NewOffsetBox("OffsetX", options.OffsetXmm, offset);
    offsetY_ = NewOffsetBox("OffsetY", options.OffsetYmm, offset);
    offsetX_->setToolTip(QStringLiteral("Moves the print to the right (left when negative)"));
    offsetY_->setToolTip(QStringLiteral("Moves the print down (up when negative)"));
    auto* offsetLayout = new QFormLayout(offset);
    offsetLayout->addRow(QStringLiteral("Right:"), offsetX_);
    offsetLayout->addRow(QStringLiteral("Down:"), offsetY_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cards);
    layout->addWidget(offset);
    layout->addStretch();
}

PrintOptions CardOptionsPage::Options() const {
    PrintOptions options;
    options.Cards = fillPage_->isChecked() ? csFillPage : csOnePerPage;
    options.OffsetXmm = offsetX_->value();
    options.OffsetYmm = offsetY_->value();
    return options;
}

} // namespace velmora::print
