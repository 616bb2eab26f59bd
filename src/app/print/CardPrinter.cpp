#include "app/print/CardPrinter.h"

#include "app/image/QtImage.h"
#include "graphics/Bitmap.h"

#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

namespace velmora::print {

namespace {

constexpr double kMmPerInch = 25.4;

std::string DestinationOf(const QPrinter& printer) {
    const QString name = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName()
                                                                       : printer.printerName();
    return name.isEmpty() ? std::string("the printer") : name.toStdString();
}

[[noreturn]] void PrintFailed(const QPrinter& printer) {
    throw EPrinter("Unable to print to " + DestinationOf(printer));
}

void DrawSheet(QPainter& painter, const SheetLayout& layout, const QImage& image, double perMm) {
    auto toDevice = [perMm](double mm) { return mm * perMm; };
    for (const RectMm& place : layout.cards)
        painter.drawImage(QRectF(toDevice(place.left), toDevice(place.top), toDevice(place.width),
                                 toDevice(place.height)),
                          image);
    QPen pen(Qt::black, toDevice(kCutMarkWidthMm));
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    for (const LineMm& mark : layout.cutMarks)
        painter.drawLine(QPointF(toDevice(mark.x1), toDevice(mark.y1)),
                         QPointF(toDevice(mark.x2), toDevice(mark.y2)));
}

} // namespace

QImage CardImageOf(graphics::TBitmap& card) {
    platform::GdiBitmap* storage = card.IsEmpty() ? nullptr : card.HandleOf();
    if (storage == nullptr)
        throw EPrinter("There is no card to print");
    QImage image = ImageFromBitmap(*storage, card.PaletteHandle());
    if (image.isNull())
        throw EPrinter("The card cannot be read for printing");
    return image;
}

QImage ScaledForPrint(const QImage& card, int deviceDpi) {
    const int dpi = std::clamp(deviceDpi, 1, kMaxPrintDpi);
    const int width = std::max(1, int(std::lround(kCardWidthMm / kMmPerInch * dpi)));
    const int height = std::max(1, int(std::lround(kCardHeightMm / kMmPerInch * dpi)));
    return card.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

SheetGeometry SheetOf(const QPageLayout& pageLayout) {
    QPageLayout layout = pageLayout;
    // In full-page mode the layout reports no margins; the printable area is what they leave.
    layout.setMode(QPageLayout::StandardMode);
    layout.setUnits(QPageLayout::Millimeter);
    const QRectF paper = layout.fullRect(QPageLayout::Millimeter);
    const QRectF printable = layout.paintRect(QPageLayout::Millimeter);
    return {paper.width(), paper.height(),
            RectMm{printable.left() - paper.left(), printable.top() - paper.top(),
                   printable.width(), printable.height()}};
}

void PrintCard(const QImage& card, QPrinter& printer, const PrintOptions& options) {
    // Positions are measured from the paper's corner, not from the printable area.
    printer.setFullPage(true);
    const SheetLayout layout = LayoutSheet(SheetOf(printer.pageLayout()), options);
    const QImage image = ScaledForPrint(card, printer.resolution());
    // Printers that make copies themselves get one page; PDF files need every copy as a page.
    const int copies =
        printer.supportsMultipleCopies() ? 1 : std::clamp(printer.copyCount(), 1, kMaxCopies);

    QPainter painter;
    if (!painter.begin(&printer))
        PrintFailed(printer);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !printer.newPage())
            PrintFailed(printer);
        DrawSheet(painter, layout, image, printer.resolution() / kMmPerInch);
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        PrintFailed(printer);
}

} // namespace velmora::print
