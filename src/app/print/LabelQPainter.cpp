#include "app/print/LabelQPainter.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <cmath>

namespace velmora::print {

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

LabelQPainter::LabelQPainter(QPainter& painter, std::function<void()> newPage)
    : painter_(painter), newPage_(std::move(newPage)),
      dpi_(painter.device() != nullptr ? painter.device()->logicalDpiX() : 96) {}

QFont LabelQPainter::FontFor(double sizePt, labels::FontWeight weight) const {
    // The program's sans face, as on the card and in the PDF.
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(sizePt);
    font.setBold(weight == labels::FontWeight::bold);
    // Unhinted, so measured widths scale with the size and match what is drawn at any DPI.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

double LabelQPainter::Width(std::string_view utf8, double sizePt, labels::FontWeight weight) {
    const QFontMetricsF metrics(FontFor(sizePt, weight), painter_.device());
    return metrics.horizontalAdvance(Utf8(utf8)) * 25.4 / dpi_;
}

double LabelQPainter::Ascent(double sizePt, labels::FontWeight weight) {
    return QFontMetricsF(FontFor(sizePt, weight), painter_.device()).ascent() * 25.4 / dpi_;
}

double LabelQPainter::Descent(double sizePt, labels::FontWeight weight) {
    return QFontMetricsF(FontFor(sizePt, weight), painter_.device()).descent() * 25.4 / dpi_;
}

void LabelQPainter::BeginSheet(double, double) {
    if (sheets_++ > 0 && newPage_)
        newPage_();
}

void LabelQPainter::EndSheet() {}

void LabelQPainter::DrawOutline(const labels::RectMm& rect) {
    painter_.save();
    painter_.setPen(QPen(QColor(160, 160, 160), 0));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRect(QRectF(Px(rect.left), Px(rect.top), Px(rect.width), Px(rect.height)));
    painter_.restore();
}

void LabelQPainter::BeginLabel(const labels::RectMm& rect) {
    painter_.save();
    painter_.translate(Px(rect.left), Px(rect.top));
    painter_.setClipRect(QRectF(0, 0, Px(rect.width), Px(rect.height)));
    painter_.setPen(Qt::black);
}

void LabelQPainter::EndLabel() {
    painter_.restore();
}

void LabelQPainter::DrawText(const labels::PlacedText& text) {
    painter_.setFont(FontFor(text.sizePt, text.weight));
    painter_.drawText(QPointF(Px(text.x), Px(text.y)), Utf8(text.text));
}

void LabelQPainter::DrawRule(const labels::RuleLine& rule) {
    painter_.setPen(QPen(Qt::black, Px(rule.width)));
    painter_.drawLine(QPointF(Px(rule.x1), Px(rule.y1)), QPointF(Px(rule.x2), Px(rule.y2)));
    painter_.setPen(Qt::black);
}

QImage PreviewFirstSheet(const labels::SheetLayout& sheet, const labels::SheetPlacement& placement,
                         std::span<const labels::LabelData> labels, double dpi) {
    const auto pixels = [dpi](double mm) { return int(std::lround(mm * dpi / 25.4)); };
    QImage image(pixels(sheet.paperWidth), pixels(sheet.paperHeight), QImage::Format_RGB32);
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    LabelQPainter labelPainter(painter);
    labels::RenderOptions options;
    options.outlines = labels::LabelOutlines::everySlot;
    options.maxSheets = 1;
    labels::RenderLabels(labelPainter, sheet, placement, labels, options);
    return image;
}

} // namespace velmora::print
