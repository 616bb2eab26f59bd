// The words a label must show, and the words a PDF page shows inside a rectangle: what a
// reader of a printed label sees, compared word by word.
#pragma once

#include "PdfWords.h"
#include "adif/Adif.h"
#include "labels/LabelSheet.h"

#include <string>
#include <vector>

namespace labels_test {

// Every word the label of these records (one card's contacts, oldest first) must show, sorted,
// with the dates in the default layout.
std::vector<std::string> ExpectedWords(const std::vector<const adif::Record*>& records);

// The words whose centre lies in the rectangle, sorted.
std::vector<std::string> WordsIn(const PdfPage& page, const velmora::labels::RectMm& rect);

} // namespace labels_test
