#include "app/labels/LabelSheetsDialog.h"

#include "app/print/LabelQPainter.h"
#include "app/print/PrintDialogs.h"
#include "app/toolkit/Application.h"
#include "app/toolkit/Dialogs.h"
#include "labels/LabelPainter.h"
#include "labels/LabelPdf.h"
#include "labels/SheetFile.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageSize>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>

namespace velmora::labels_window {

namespace fs = std::filesystem;
namespace lb = labels;

namespace {

// The preview's box on screen, in pixels; the first sheet is scaled to fit it.
constexpr int kPreviewWidth = 300;
constexpr int kPreviewHeight = 424;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString Plural(std::size_t count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

bool IsPaper(const lb::SheetLayout& sheet, double width, double height) {
    return std::abs(sheet.paperWidth - width) < 0.05 && std::abs(sheet.paperHeight - height) < 0.05;
}

QString Describe(const lb::SheetLayout& sheet) {
    const QString paper = IsPaper(sheet, lb::kA4WidthMm, lb::kA4HeightMm) ? QStringLiteral("A4")
                          : IsPaper(sheet, lb::kLetterWidthMm, lb::kLetterHeightMm)
                              ? QStringLiteral("US Letter")
                              : QStringLiteral("%1 x %2 mm")
                                    .arg(sheet.paperWidth, 0, 'f', 1)
                                    .arg(sheet.paperHeight, 0, 'f', 1);
    return QStringLiteral("%1: %2 labels of %3 x %4 mm on %5")
        .arg(Q(sheet.name))
        .arg(sheet.LabelsPerSheet())
        .arg(sheet.labelWidth, 0, 'f', 1)
        .arg(sheet.labelHeight, 0, 'f', 1)
        .arg(paper);
}

// The paper the printer starts with: the stock's own, at actual size from the paper's corner.
QPageSize PageSizeOf(const lb::SheetLayout& sheet) {
    if (IsPaper(sheet, lb::kA4WidthMm, lb::kA4HeightMm))
        return QPageSize(QPageSize::A4);
    if (IsPaper(sheet, lb::kLetterWidthMm, lb::kLetterHeightMm))
        return QPageSize(QPageSize::Letter);
    return QPageSize(QSizeF(sheet.paperWidth, sheet.paperHeight), QPageSize::Millimeter,
                     Q(sheet.name), QPageSize::ExactMatch);
}

bool SamePath(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) ||
           fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// Runs a widget's handler inside the program's exception handler, as menu items run.
template <class F> auto Guarded(F handler) {
    return [handler](auto&&...) { toolkit::Application().Guard(handler); };
}

} // namespace

LabelSheetsDialog::LabelSheetsDialog(lb::LogForLabels log, std::string datePattern,
                                     std::string ownCall, QWidget* parent)
    : QDialog(parent), log_(std::move(log)), datePattern_(std::move(datePattern)),
      ownCall_(std::move(ownCall)) {
    setObjectName(QStringLiteral("LabelSheetsDialog"));
    setWindowTitle(
        QStringLiteral("Print Labels - %1").arg(Q(fs::path(log_.Path()).filename().string())));

    for (const lb::SheetLayout& sheet : lb::BuiltInSheets())
        sheets_.push_back(sheet);

    counts_ = new QLabel(this);
    counts_->setObjectName(QStringLiteral("CountsLabel"));
    QFont bold = counts_->font();
    bold.setBold(true);
    counts_->setFont(bold);
    totals_ = new QLabel(this);
    totals_->setObjectName(QStringLiteral("TotalsLabel"));
    totals_->setWordWrap(true);

    sheet_ = new QComboBox(this);
    sheet_->setObjectName(QStringLiteral("SheetCombo"));
    for (const lb::SheetLayout& sheet : sheets_)
        sheet_->addItem(Describe(sheet));
    sheet_->addItem(QStringLiteral("Other sheet file..."));

    skip_ = new QSpinBox(this);
    skip_->setObjectName(QStringLiteral("SkipSpin"));
    skip_->setToolTip(QStringLiteral("Labels already used on the first sheet"));

    const auto offset = [this](const char* name) {
        auto* spin = new QDoubleSpinBox(this);
        spin->setObjectName(QLatin1String(name));
        spin->setRange(-lb::kMaxPrinterOffsetMm, lb::kMaxPrinterOffsetMm);
        spin->setDecimals(1);
        spin->setSingleStep(0.1);
        spin->setSuffix(QStringLiteral(" mm"));
        return spin;
    };
    offsetX_ = offset("OffsetXSpin");
    offsetX_->setToolTip(QStringLiteral("Moves everything printed to the right"));
    offsetY_ = offset("OffsetYSpin");
    offsetY_->setToolTip(QStringLiteral("Moves everything printed down"));

    perCard_ = new QSpinBox(this);
    perCard_->setObjectName(QStringLiteral("PerCardSpin"));
    perCard_->setRange(1, int(qsl::kMaxContactsPerCard));
    perCard_->setToolTip(QStringLiteral("Up to this many contacts with one station per label"));

    selection_ = new QComboBox(this);
    selection_->setObjectName(QStringLiteral("SelectionCombo"));
    selection_->addItem(QStringLiteral("All contacts"));
    selection_->addItem(QStringLiteral("Only unsent (not QSL_SENT Y or I)"));
    selection_->addItem(QStringLiteral("Queued (QSL_SENT R or Q)"));

    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("PreviewLabel"));
    preview_->setFixedSize(kPreviewWidth, kPreviewHeight);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameShape(QFrame::StyledPanel);

    print_ = new QPushButton(QStringLiteral("&Print..."), this);
    print_->setObjectName(QStringLiteral("PrintButton"));
    save_ = new QPushButton(QStringLiteral("&Save PDF..."), this);
    save_->setObjectName(QStringLiteral("SavePdfButton"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(print_, QDialogButtonBox::ActionRole);
    buttons->addButton(save_, QDialogButtonBox::ActionRole);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Sheet:"), sheet_);
    form->addRow(QStringLiteral("S&kip labels:"), skip_);
    auto* offsets = new QHBoxLayout;
    offsets->addWidget(new QLabel(QStringLiteral("X"), this));
    offsets->addWidget(offsetX_);
    offsets->addWidget(new QLabel(QStringLiteral("Y"), this));
    offsets->addWidget(offsetY_);
    form->addRow(QStringLiteral("Printer offset:"), offsets);
    form->addRow(QStringLiteral("&Contacts per label:"), perCard_);
    form->addRow(QStringLiteral("S&election:"), selection_);

    auto* left = new QVBoxLayout;
    left->addWidget(counts_);
    left->addWidget(totals_);
    left->addLayout(form);
    left->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addWidget(preview_, 0, Qt::AlignTop);
    auto* whole = new QVBoxLayout(this);
    whole->addLayout(columns);
    whole->addWidget(buttons);

    connect(sheet_, &QComboBox::currentIndexChanged, this,
            Guarded([this] { ChooseSheet(sheet_->currentIndex()); }));
    const auto update = Guarded([this] { Update(); });
    connect(skip_, &QSpinBox::valueChanged, this, update);
    connect(offsetX_, &QDoubleSpinBox::valueChanged, this, update);
    connect(offsetY_, &QDoubleSpinBox::valueChanged, this, update);
    connect(perCard_, &QSpinBox::valueChanged, this, update);
    connect(selection_, &QComboBox::currentIndexChanged, this, update);
    connect(print_, &QPushButton::clicked, this, Guarded([this] { PrintSheets(); }));
    connect(save_, &QPushButton::clicked, this, Guarded([this] { SavePdf(); }));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    Update();
}

lb::SheetPlacement LabelSheetsDialog::Placement() const {
    lb::SheetPlacement placement;
    placement.offsetX = offsetX_->value();
    placement.offsetY = offsetY_->value();
    placement.skip = skip_->value();
    return placement;
}

std::size_t LabelSheetsDialog::Sheets() const {
    return lb::SheetsNeeded(Sheet(), Placement(), run_.labels.size());
}

void LabelSheetsDialog::ChooseSheet(int index) {
    if (index >= 0 && index < int(sheets_.size())) {
        sheetIndex_ = index;
        Update();
        return;
    }
    // "Other sheet file...": the combo shows the sheet in use until a file has been read.
    {
        const QSignalBlocker blocker(sheet_);
        sheet_->setCurrentIndex(sheetIndex_);
    }
    toolkit::TOpenDialog open;
    open.Title = "Label Sheet File";
    open.Filter = "Sheet file|*.sheet *.txt|All files|*";
    open.InitialDir = fs::path(log_.Path()).parent_path().string();
    if (!open.Execute())
        return;
    const lb::SheetLayout sheet = lb::ReadSheetFile(open.FileName);
    sheets_.push_back(sheet);
    sheetIndex_ = int(sheets_.size()) - 1;
    const QSignalBlocker blocker(sheet_);
    sheet_->insertItem(sheetIndex_, Describe(sheet));
    sheet_->setCurrentIndex(sheetIndex_);
    Update();
}

void LabelSheetsDialog::Update() {
    const lb::SheetLayout& sheet = Sheet();
    {
        // A skip count the new sheet cannot hold is lowered to its last label.
        const QSignalBlocker blocker(skip_);
        skip_->setRange(0, sheet.LabelsPerSheet() - 1);
    }
    lb::LogLabelOptions options;
    options.selection = qsl::SentSelection(selection_->currentIndex());
    options.perCard = std::size_t(perCard_->value());
    options.datePattern = datePattern_;
    options.defaultOwnCall = ownCall_;
    run_ = log_.Labels(options);

    const std::size_t sheets = Sheets();
    counts_->setText(
        QStringLiteral("%1 on %2")
            .arg(Plural(run_.labels.size(), "label", "labels"), Plural(sheets, "sheet", "sheets")));
    QString totals = QStringLiteral("%1 of %2, from label %3 of the first sheet")
                         .arg(Plural(run_.contacts, "contact", "contacts"))
                         .arg(Q(fs::path(log_.Path()).filename().string()))
                         .arg(skip_->value() + 1);
    if (run_.damaged > 0)
        totals += QStringLiteral("; %1 left out")
                      .arg(Plural(run_.damaged, "damaged record or record without a call",
                                  "damaged records or records without a call"));
    if (run_.notSelected > 0)
        totals += QStringLiteral("; %1 not selected").arg(run_.notSelected);
    totals_->setText(totals);

    const bool any = !run_.labels.empty();
    print_->setEnabled(any);
    save_->setEnabled(any);
    if (!any) {
        preview_->setPixmap({});
        preview_->setText(QStringLiteral("No contacts to label"));
        return;
    }
    // Drawn at twice the size it is shown, then scaled down smoothly: thin outlines and small
    // text stay legible.
    const double dpi = 2 * std::min(kPreviewWidth * 25.4 / sheet.paperWidth,
                                    kPreviewHeight * 25.4 / sheet.paperHeight);
    const QImage image = print::PreviewFirstSheet(sheet, Placement(), run_.labels, dpi);
    preview_->setPixmap(QPixmap::fromImage(image.scaled(
        kPreviewWidth, kPreviewHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void LabelSheetsDialog::PrintSheets() {
    const lb::SheetLayout& sheet = Sheet();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Velmora labels"));
    printer.setPageSize(PageSizeOf(sheet));
    printer.setPageOrientation(QPageLayout::Portrait);
    // The labels are placed from the paper's corner; the printer's margins must not move them.
    printer.setFullPage(true);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    if (!print::PrintDialogs().RunPrintLabels(printer))
        return;
    QPainter painter;
    if (!painter.begin(&printer))
        throw graphics::Exception("The printer could not be started");
    print::LabelQPainter labelPainter(painter, [&printer] {
        if (!printer.newPage())
            throw graphics::Exception("The printer refused the next sheet");
    });
    lb::RenderLabels(labelPainter, sheet, Placement(), run_.labels);
    painter.end();
}

void LabelSheetsDialog::SavePdf() {
    toolkit::TSavePictureDialog save;
    save.Title = "Save Labels";
    save.Filter = "PDF document|*.pdf";
    save.DefaultExt = "pdf";
    const fs::path logPath = log_.Path();
    save.FileName = (logPath.parent_path() / (logPath.stem().string() + "-labels.pdf")).string();
    if (!save.Execute())
        return;
    const std::string fileName = save.FileName;
    if (SamePath(fileName, logPath))
        throw lb::ELabelError(fileName + ": is the log itself, which is never written");
    std::error_code error;
    if (fs::is_directory(fileName, error))
        throw lb::ELabelError(fileName + ": is a folder, not a file for the labels");
    // The log's folder is one click away in the dialog: an existing file is replaced only after
    // an explicit yes.
    if (fs::exists(fileName, error) && !toolkit::ConfirmReplace(fileName))
        return;
    lb::WriteLabelsPdf(fileName, Sheet(), Placement(), run_.labels);
}

} // namespace velmora::labels_window
