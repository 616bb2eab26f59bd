// What poppler's tools read back from a PDF: the words of each page with their boxes
// (pdftotext -bbox), the page count and size, and the fonts the file embeds (pdffonts).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace labels_test {

// A word's box in millimetres from the page's top-left corner.
struct PdfWord {
    std::string text;
    double xMin = 0;
    double yMin = 0;
    double xMax = 0;
    double yMax = 0;
};

struct PdfPage {
    double width = 0; // millimetres
    double height = 0;
    std::vector<PdfWord> words;
};

// Whether pdftotext and pdffonts can be run.
bool PopplerAvailable();

// The pages and their words; empty when pdftotext fails.
std::vector<PdfPage> ReadWords(const std::string& pdfPath);

// The plain text of every page, as pdftotext extracts it (-layout off).
std::string ReadText(const std::string& pdfPath);

// pdffonts' table of the fonts used (name, type, embedded, subset).
std::string ReadFonts(const std::string& pdfPath);

} // namespace labels_test
