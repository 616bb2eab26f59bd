// Drawing sheets of labels through a small painter interface, so that the PDF writer (cairo) and
// the window's printer (Qt) put the same layout on paper: the painter measures text with the
// font it draws with, and the sheet code decides everything else.
#pragma once

#include "labels/LabelContent.h"
#include "labels/LabelSheet.h"

#include <cstddef>
#include <span>

namespace velmora::labels {

class LabelPainter : public TextMeasurer {
  public:
    // A new page of the paper's size, in millimetres.
    virtual void BeginSheet(double paperWidth, double paperHeight) = 0;
    virtual void EndSheet() = 0;
    // A thin outline of a label, in paper coordinates (previews and alignment tests).
    virtual void DrawOutline(const RectMm& rect) = 0;
    // Until EndLabel, drawing is in the label's coordinates (millimetres from its top-left
    // corner) and nothing shows outside rect.
    virtual void BeginLabel(const RectMm& rect) = 0;
    virtual void EndLabel() = 0;
    virtual void DrawText(const PlacedText& text) = 0;
    virtual void DrawRule(const RuleLine& rule) = 0;
};

enum class LabelOutlines { none, everySlot };

struct RenderOptions {
    LabelOutlines outlines = LabelOutlines::none;
    // Stops after this many sheets (a preview of the first sheet); 0 draws all.
    std::size_t maxSheets = 0;
};

// Validates the sheet, the placement and every label, lays out every label, then draws them
// onto as many sheets as they take. Raises ELabelError before drawing anything when something is
// wrong, and for no labels at all.
void RenderLabels(LabelPainter& painter, const SheetLayout& sheet, const SheetPlacement& placement,
                  std::span<const LabelData> labels, const RenderOptions& options = {});

} // namespace velmora::labels
