#include "card/CardComposer.h"

#include "platform/Ascii.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace card {

namespace {

using graphics::TCanvas;
using graphics::TColor;
using graphics::TFont;

// Font sizes of the overlay, in points.
constexpr int32_t kCountrySize = 16;
constexpr int32_t kThanksSize = 10;
constexpr int32_t kOperatorSize = 11;
constexpr int32_t kAddressSize = 8;

constexpr size_t kFrequencyWidth = 9;

FontDescription Describe(const TFont& font) {
    return {font.Name(), font.Style(), font.Size(), font.Color()};
}

void Apply(TFont& font, const FontDescription& description) {
    font.SetName(description.name);
    font.SetStyle(description.style);
    font.SetSize(description.size);
    font.SetColor(description.color);
}

// Centred on the width of the text as typed, drawn in upper case: a lower-case call sign whose
// capitals are wider therefore sits right of the true centre, as users of the program know it.
void DrawCentred(TCanvas& canvas, int y, std::string_view typed) {
    const int x = CentredX(canvas.MeasureWidth(typed));
    canvas.DrawTextAt(x, y, UpperCase(typed));
}

void DrawLine(TCanvas& canvas, int x1, int y1, int x2, int y2) {
    canvas.MovePenTo(x1, y1);
    canvas.DrawLineTo(x2, y2);
}

// Country and call sign: the overlay's text font is set up here and stays in force for the
// rest of the card; the call sign alone borrows the call-sign font.
void DrawTitle(TCanvas& canvas, const CardData& data, FontDescription& savedFont) {
    TFont& font = canvas.Font();
    font.SetStyle({graphics::fsBold});
    font.SetColor(data.textColor);
    canvas.Brush().SetStyle(graphics::bsClear);
    font.SetSize(kCountrySize);
    DrawCentred(canvas, 1, data.country);

    savedFont = Describe(font);
    Apply(font, data.callIdFont);
    DrawCentred(canvas, 25, data.callSign);
    Apply(font, savedFont);
}

// A white pen would vanish under the mask operation (AND with white changes nothing), so white
// lines are drawn with the operation that sets every bit instead.
void SetLinePen(graphics::TPen& pen, TColor textColor) {
    if (textColor == graphics::clWhite) {
        pen.SetMode(graphics::pmWhite);
    } else {
        pen.SetMode(graphics::pmMask);
        pen.SetColor(textColor);
    }
}

std::string ThanksLine(const CardData& data) {
    if (data.contactedOperator.empty())
        return UpperCase(data.thanks);
    return UpperCase(data.contactedOperator) + ", " + UpperCase(data.thanks);
}

ContactRow FirstRow(const CardData& data) {
    return {data.contactedStation, data.date, data.utc, data.frequency, data.rst, data.mode};
}

// The ruled contact table: a frame split by a rule into a header row and one row per contact,
// and five column rules. Drawn in the size the canvas font had on entry. The drawing order
// (frame, rules, then column by column) is the one-row card's, whose pixels must not change.
void DrawTable(TCanvas& canvas, const CardData& data) {
    std::vector<ContactRow> rows{FirstRow(data)};
    rows.insert(rows.end(), data.moreRows.begin(), data.moreRows.end());
    if (rows.size() > kMaxTableRows)
        rows.resize(kMaxTableRows);
    const TableLayout layout = LayoutTable(rows.size());
    const int top = layout.top;
    const int bottom = 300;
    const int header = top + layout.headerInset;
    const int firstRow = top + layout.headerHeight;
    const auto rowText = [&](size_t i) {
        return firstRow + int(i) * layout.rowHeight + layout.textInset;
    };

    canvas.DrawRectangle(50, top, 470, bottom);
    for (size_t i = 0; i < rows.size(); ++i) {
        const int y = firstRow + int(i) * layout.rowHeight;
        DrawLine(canvas, 50, y, 470, y);
    }

    canvas.DrawTextAt(55, header, "Confirming QSO With");
    for (size_t i = 0; i < rows.size(); ++i)
        canvas.DrawTextAt(90, rowText(i), UpperCase(rows[i].contactedStation));

    canvas.DrawTextAt(205, header, "Date");
    DrawLine(canvas, 180, top, 180, bottom);
    for (size_t i = 0; i < rows.size(); ++i)
        canvas.DrawTextAt(185, rowText(i), rows[i].date);

    canvas.DrawTextAt(270, header, "UTC");
    DrawLine(canvas, 260, top, 260, bottom);
    for (size_t i = 0; i < rows.size(); ++i)
        canvas.DrawTextAt(265, rowText(i), rows[i].utc);

    canvas.DrawTextAt(340, header, data.frequencyColumn == FrequencyColumn::Band ? "Band" : "MHz");
    DrawLine(canvas, 310, top, 310, bottom);
    for (size_t i = 0; i < rows.size(); ++i)
        canvas.DrawTextAt(325, rowText(i), FrequencyField(rows[i].frequency));

    canvas.DrawTextAt(400, header, "RST");
    DrawLine(canvas, 390, top, 390, bottom);
    for (size_t i = 0; i < rows.size(); ++i)
        canvas.DrawTextAt(395, rowText(i), rows[i].rst);

    canvas.DrawTextAt(435, header, "Mode");
    DrawLine(canvas, 430, top, 430, bottom);
    for (size_t i = 0; i < rows.size(); ++i)
        canvas.DrawTextAt(435, rowText(i), rows[i].mode);
}

// Operator, address block and station lines. The prefixed lines are drawn even when their
// values are empty.
void DrawStation(TCanvas& canvas, const CardData& data) {
    TFont& font = canvas.Font();
    font.SetSize(kOperatorSize);
    canvas.DrawTextAt(50, 70, data.operatorName);

    font.SetSize(kAddressSize);
    canvas.DrawTextAt(320, 70, data.qth);
    canvas.DrawTextAt(320, 85, data.city + data.state);
    canvas.DrawTextAt(320, 100, data.zip);
    if (!data.qslVia.empty())
        canvas.DrawTextAt(320, 115, "QSL via " + UpperCase(data.qslVia));
    canvas.DrawTextAt(50, 130, "RIG: " + data.rig);
    canvas.DrawTextAt(50, 145, "PWR: " + std::string(TrimBlanks(data.power)) + "W");
    canvas.DrawTextAt(50, 160, "Antenna: " + data.antenna);
    if (!data.satellite.empty())
        canvas.DrawTextAt(50, kSatelliteY, "Sat: " + data.satellite);
}

bool IsContinuationByte(char c) {
    return (static_cast<uint8_t>(c) & 0xC0) == 0x80;
}

} // namespace

void DrawBoxes(TCanvas& canvas, const CardData& data, FontDescription& savedFont) {
    const int32_t entrySize = canvas.Font().Size();

    DrawTitle(canvas, data, savedFont);
    SetLinePen(canvas.Pen(), data.textColor);

    canvas.Font().SetSize(kThanksSize);
    canvas.DrawTextAt(50, LayoutTable(1 + data.moreRows.size()).thanksY, ThanksLine(data));

    canvas.Font().SetSize(entrySize);
    DrawTable(canvas, data);

    DrawStation(canvas, data);
    canvas.Font().SetSize(entrySize);
}

void DrawBoxes(TCanvas& canvas, const CardData& data) {
    FontDescription scratch;
    DrawBoxes(canvas, data, scratch);
}

TableLayout LayoutTable(size_t rows) {
    if (rows <= 1)
        return {250, 25, 5, 25, 5, 230};
    rows = std::min(rows, kMaxTableRows);
    // Several rows share the height the one-row table leaves free above it down to the line
    // under the antenna line: a lower header row, and rows of 15 to 20 pixels (the 8-point
    // text cell is 13 pixels high).
    constexpr int kHeader = 18;
    constexpr int kRowsSpace = 75;
    const int rowHeight = std::min(20, kRowsSpace / int(rows));
    const int top = 300 - kHeader - rowHeight * int(rows);
    // The thanks line keeps its distance from the table, but never comes up to the "Sat:" line.
    const int thanksY = std::max(top - 20, kSatelliteY + 15);
    return {top, kHeader, (kHeader - 12) / 2, rowHeight, (rowHeight - 12) / 2, thanksY};
}

std::string UpperCase(std::string_view text) {
    return platform::AsciiUpperCopy(text);
}

std::string FrequencyField(std::string_view text) {
    size_t cut = text.size();
    if (cut > kFrequencyWidth) {
        cut = kFrequencyWidth;
        // Step back to the lead byte of a sequence that would be split. A UTF-8 sequence has at
        // most three continuation bytes; a longer run is not UTF-8, and is cut where it falls.
        size_t lead = cut;
        while (lead > 0 && cut - lead < 3 && IsContinuationByte(text[lead]))
            --lead;
        if (!IsContinuationByte(text[lead]))
            cut = lead;
    }
    std::string result(text.substr(0, cut));
    result.resize(kFrequencyWidth, ' ');
    return result;
}

} // namespace card
