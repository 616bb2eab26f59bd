#include "PdfProbe.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

namespace printtest {

namespace {

std::optional<QString> Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool Dark(QRgb pixel, int threshold) {
    return qRed(pixel) < threshold || qGreen(pixel) < threshold || qBlue(pixel) < threshold;
}

double ToMm(int pixels, int dpi) {
    return pixels * 25.4 / dpi;
}

} // namespace

bool PopplerAvailable() {
    for (const char* tool : {"pdfinfo", "pdfimages", "pdftoppm"}) {
        if (!Run(QString::fromLatin1(tool), {QStringLiteral("-v")}))
            return false;
    }
    return true;
}

std::optional<PdfInfo> ReadPdfInfo(const QString& pdf) {
    const auto output = Run(QStringLiteral("pdfinfo"), {pdf});
    if (!output)
        return std::nullopt;
    PdfInfo info;
    const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                   QRegularExpression::MultilineOption);
    const QRegularExpression size(QStringLiteral("^Page size:\\s+([0-9.]+) x ([0-9.]+) pts"),
                                  QRegularExpression::MultilineOption);
    const auto pagesMatch = pages.match(*output);
    const auto sizeMatch = size.match(*output);
    if (!pagesMatch.hasMatch() || !sizeMatch.hasMatch())
        return std::nullopt;
    info.pages = pagesMatch.captured(1).toInt();
    info.pageWidth = sizeMatch.captured(1).toDouble();
    info.pageHeight = sizeMatch.captured(2).toDouble();
    return info;
}

std::vector<PdfImage> ListPdfImages(const QString& pdf) {
    std::vector<PdfImage> images;
    const auto output = Run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    if (!output)
        return images;
    // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio,
    // after two heading lines.
    const QStringList lines = output->split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QStringList field =
            lines[i].split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (field.size() < 14 || field[2] != QLatin1String("image"))
            continue;
        PdfImage image;
        image.page = field[0].toInt();
        image.width = field[3].toInt();
        image.height = field[4].toInt();
        image.encoding = field[8].toStdString();
        image.interpolated = field[9] == QLatin1String("yes");
        image.xPpi = field[12].toInt();
        image.yPpi = field[13].toInt();
        images.push_back(image);
    }
    return images;
}

QImage RenderFirstPage(const QString& pdf, int dpi) {
    QTemporaryDir folder;
    if (!folder.isValid())
        return {};
    const QString prefix = folder.filePath(QStringLiteral("page"));
    if (!Run(QStringLiteral("pdftoppm"),
             {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QStringLiteral("1"),
              QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-singlefile"), pdf,
              prefix}))
        return {};
    return QImage(prefix + QStringLiteral(".ppm")).convertToFormat(QImage::Format_RGB32);
}

BoxMm InkBox(const QImage& page, int dpi, int threshold) {
    int left = page.width(), top = page.height(), right = -1, bottom = -1;
    for (int y = 0; y < page.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            if (!Dark(row[x], threshold))
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return {};
    return {ToMm(left, dpi), ToMm(top, dpi), ToMm(right + 1, dpi), ToMm(bottom + 1, dpi), true};
}

std::vector<BoxMm> InkPatches(const QImage& page, int dpi, const std::vector<QRect>& skip,
                              int threshold) {
    const int width = page.width();
    const int height = page.height();
    std::vector<uint8_t> seen(size_t(width) * height, 0);
    auto skipped = [&skip](int x, int y) {
        return std::any_of(skip.begin(), skip.end(),
                           [x, y](const QRect& r) { return r.contains(x, y); });
    };
    auto ink = [&](int x, int y) { return Dark(page.pixel(x, y), threshold) && !skipped(x, y); };
    std::vector<BoxMm> patches;
    std::vector<std::pair<int, int>> stack;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (seen[size_t(y) * width + x] || !ink(x, y))
                continue;
            int left = x, right = x, top = y, bottom = y;
            stack.push_back({x, y});
            seen[size_t(y) * width + x] = 1;
            while (!stack.empty()) {
                const auto [px, py] = stack.back();
                stack.pop_back();
                left = std::min(left, px);
                right = std::max(right, px);
                top = std::min(top, py);
                bottom = std::max(bottom, py);
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = px + dx, ny = py + dy;
                        if (nx < 0 || ny < 0 || nx >= width || ny >= height ||
                            seen[size_t(ny) * width + nx] || !ink(nx, ny))
                            continue;
                        seen[size_t(ny) * width + nx] = 1;
                        stack.push_back({nx, ny});
                    }
                }
            }
            patches.push_back({ToMm(left, dpi), ToMm(top, dpi), ToMm(right + 1, dpi),
                               ToMm(bottom + 1, dpi), true});
        }
    }
    return patches;
}

} // namespace printtest
