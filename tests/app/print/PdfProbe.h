// Reads a printed PDF back with poppler-utils: the page count and size (pdfinfo), the images
// placed on the first page (pdfimages -list) and the page rendered to pixels (pdftoppm), so the
// tests measure what a printer would be sent.
#pragma once

#include <QImage>
#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace printtest {

// Whether pdfinfo, pdfimages and pdftoppm can be run.
bool PopplerAvailable();

struct PdfInfo {
    int pages = 0;
    // In points (1/72 inch).
    double pageWidth = 0;
    double pageHeight = 0;
};
std::optional<PdfInfo> ReadPdfInfo(const QString& pdf);

struct PdfImage {
    int page = 0;
    int width = 0;
    int height = 0;
    int xPpi = 0;
    int yPpi = 0;
    std::string encoding;
    bool interpolated = false;
};
std::vector<PdfImage> ListPdfImages(const QString& pdf);

// The first page at dpi, in colour; null when it cannot be rendered.
QImage RenderFirstPage(const QString& pdf, int dpi);

constexpr double kPointsPerMm = 72.0 / 25.4;

// The smallest rectangle holding every pixel darker than threshold in any channel, in
// millimetres on a page rendered at dpi; invalid when there is none. Region limits the search
// (pixels).
struct BoxMm {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool valid = false;
    double width() const { return right - left; }
    double height() const { return bottom - top; }
};
BoxMm InkBox(const QImage& page, int dpi, int threshold = 200);

// The number of separate patches of ink (8-connected) outside the rectangles to skip (pixels),
// and their boxes in millimetres.
std::vector<BoxMm> InkPatches(const QImage& page, int dpi, const std::vector<QRect>& skip,
                              int threshold = 160);

} // namespace printtest
