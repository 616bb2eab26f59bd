// Label sheets drawn with QPainter, for the window's printing and its preview: the labels core
// lays the sheets out and measures text through this painter, which measures with the Qt font it
// draws with, so what the printer gets fits exactly as the PDF writer's layout fits.
#pragma once

#include "labels/LabelPainter.h"

#include <QFont>
#include <QImage>
#include <functional>

class QPainter;
class QPaintDevice;

namespace velmora::print {

class LabelQPainter : public labels::LabelPainter {
  public:
    // Draws on painter's device, whose resolution (logical DPI) turns millimetres into device
    // pixels. newPage is called before every sheet after the first (QPrinter::newPage).
    LabelQPainter(QPainter& painter, std::function<void()> newPage = {});

    double Width(std::string_view utf8, double sizePt, labels::FontWeight weight) override;
    double Ascent(double sizePt, labels::FontWeight weight) override;
    double Descent(double sizePt, labels::FontWeight weight) override;

    void BeginSheet(double paperWidth, double paperHeight) override;
    void EndSheet() override;
    void DrawOutline(const labels::RectMm& rect) override;
    void BeginLabel(const labels::RectMm& rect) override;
    void EndLabel() override;
    void DrawText(const labels::PlacedText& text) override;
    void DrawRule(const labels::RuleLine& rule) override;

  private:
    QFont FontFor(double sizePt, labels::FontWeight weight) const;
    double Px(double mm) const { return mm * dpi_ / 25.4; }

    QPainter& painter_;
    std::function<void()> newPage_;
    double dpi_;
    int sheets_ = 0;
};

// The first sheet as a picture at dpi (white paper, label outlines in grey): the print dialog's
// preview. Raises labels::ELabelError as RenderLabels does.
QImage PreviewFirstSheet(const labels::SheetLayout& sheet, const labels::SheetPlacement& placement,
                         std::span<const labels::LabelData> labels, double dpi);

} // namespace velmora::print
