// Sheet files: other label stock described in a few lines of text, for example
//
//     # Herma 4360 on A4
//     name = Herma 4360
//     paper = A4                  (A4, Letter, or WIDTH x HEIGHT in millimetres)
//     columns = 3
//     rows = 8
//     label-size = 70 x 36        (width x height)
//     pitch = 70 x 36             (from one label's left / top edge to the next one's)
//     margins = 0 x 4.5           (left x top: the paper's edge to the first label)
//
// One "key = value" a line; blank lines and lines starting with # or ; are ignored; keys are
// compared without regard to letter case. Lengths are millimetres, or inches with "in" after the
// pair ("label-size = 2.625 x 1 in"); a pair may be written "A x B", "A, B" or "A B". Every key
// but name must be given, once. The file is untrusted input: anything else is an error that
// names the line.
#pragma once

#include "labels/LabelSheet.h"

#include <string>
#include <string_view>

namespace velmora::labels {

// Sheet files are a few hundred bytes; anything longer than this is not one.
inline constexpr std::size_t kMaxSheetFileBytes = 64 * 1024;

// The sheet that text describes, validated (ValidateSheet). sourceName is what error messages
// call the text (the file's name). Raises ELabelError.
SheetLayout ParseSheetFile(std::string_view text, const std::string& sourceName);

// Reads and parses the sheet file at path. Raises ELabelError, also when the file cannot be read.
SheetLayout ReadSheetFile(const std::string& path);

// A built-in stock by name ("L7160", "Avery 5163"), else the sheet file at nameOrPath. Raises
// ELabelError naming the built-in stocks when it is neither.
SheetLayout ResolveSheet(const std::string& nameOrPath);

} // namespace velmora::labels
