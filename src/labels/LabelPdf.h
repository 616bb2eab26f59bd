// Sheets of labels as a PDF file through cairo: vector pages with real, selectable text in the
// program's sans face (Liberation Sans, else DejaVu Sans, as the card uses), never a picture of
// the text.
#pragma once

#include "labels/LabelPainter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora::labels {

// The PDF document's bytes. Raises ELabelError for bad input (see RenderLabels), when no sans
// face is installed, or when cairo fails.
std::vector<uint8_t> LabelsPdf(const SheetLayout& sheet, const SheetPlacement& placement,
                               std::span<const LabelData> labels,
                               const RenderOptions& options = {});

// Measures text exactly as the PDF writer sets it (its fonts, unhinted metrics), so that a layout
// can be checked against what the PDF shows. Raises ELabelError when no sans face is installed.
std::unique_ptr<TextMeasurer> MakePdfTextMeasurer();

// Writes the PDF to path without ever leaving a half-written file: the document is made first,
// then it replaces the file (temporary file, flush, rename). Raises ELabelError as LabelsPdf
// does, EFCreateError or EWriteError when the file cannot be written; an existing file then
// keeps its contents.
void WriteLabelsPdf(const std::string& path, const SheetLayout& sheet,
                    const SheetPlacement& placement, std::span<const LabelData> labels,
                    const RenderOptions& options = {});

} // namespace velmora::labels
