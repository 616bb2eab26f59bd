// Printing the card: its pixels read from the card bitmap, scaled smoothly to the QSL size and
// placed on the page by the sheet layout. Printers and PDF files take the same path.
#pragma once

#include "app/print/CardLayout.h"
#include "graphics/Exceptions.h"

#include <QImage>
#include <QPageLayout>

class QPrinter;

namespace graphics {
class TBitmap;
}

namespace velmora::print {

// A print job that could not be started or finished.
class EPrinter : public graphics::Exception {
  public:
    using graphics::Exception::Exception;
};

// The card's pixels as a 32-bit image, read from the bitmap's rows by the raster layer. Raises
// EPrinter for a bitmap without pixels.
QImage CardImageOf(graphics::TBitmap& card);

// Printers get no more detail than this: the card holds far fewer pixels, so more would only
// make the print job bigger.
inline constexpr int kMaxPrintDpi = 300;

// The card stretched over the whole QSL size at the device's resolution (at most kMaxPrintDpi),
// interpolated rather than repeated, so a print shows no blocks of pixels.
QImage ScaledForPrint(const QImage& card, int deviceDpi);

// The paper and its printable area (inside the page layout's margins) in millimetres,
// whatever unit and mode the layout is in.
SheetGeometry SheetOf(const QPageLayout& pageLayout);

// The print dialog offers no more copies than this.
inline constexpr int kMaxCopies = 999;

// Prints one page: the card once, or as a sheet with cut marks, moved by the offset. A printer
// that cannot make copies itself (a PDF file) gets one page per copy asked for. Raises EPrinter
// when the printer or the output file cannot be opened or the job fails.
void PrintCard(const QImage& card, QPrinter& printer, const PrintOptions& options);

} // namespace velmora::print
