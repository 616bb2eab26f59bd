#include "labels/LabelPainter.h"

#include <vector>

namespace velmora::labels {

namespace {

void DrawSlotOutlines(LabelPainter& painter, const SheetLayout& sheet,
                      const SheetPlacement& placement) {
    for (int slot = 0; slot < sheet.LabelsPerSheet(); ++slot)
        painter.DrawOutline(SlotRect(sheet, slot, placement.offsetX, placement.offsetY));
}

} // namespace

void RenderLabels(LabelPainter& painter, const SheetLayout& sheet, const SheetPlacement& placement,
                  std::span<const LabelData> labels, const RenderOptions& options) {
    ValidateSheet(sheet);
    ValidatePlacement(sheet, placement);
    if (labels.empty())
        throw ELabelError("There are no labels to print.");

    // Every label is laid out before the first page starts, so a bad label stops the job
    // before anything is drawn.
    std::vector<LabelDrawing> drawings;
    drawings.reserve(labels.size());
    for (const LabelData& label : labels)
        drawings.push_back(LayOutLabel(label, sheet.labelWidth, sheet.labelHeight, painter));

    bool open = false;
    std::size_t current = 0;
    for (std::size_t index = 0; index < drawings.size(); ++index) {
        const LabelPosition position = PositionOf(sheet, placement, index);
        if (!open || position.sheet != current) {
            if (open)
                painter.EndSheet();
            if (options.maxSheets != 0 && position.sheet >= options.maxSheets) {
                open = false;
                break;
            }
            painter.BeginSheet(sheet.paperWidth, sheet.paperHeight);
            if (options.outlines == LabelOutlines::everySlot)
                DrawSlotOutlines(painter, sheet, placement);
            open = true;
            current = position.sheet;
        }
        painter.BeginLabel(position.rect);
        for (const RuleLine& rule : drawings[index].rules)
            painter.DrawRule(rule);
        for (const PlacedText& text : drawings[index].texts)
            painter.DrawText(text);
        painter.EndLabel();
    }
    if (open)
        painter.EndSheet();
}

} // namespace velmora::labels
