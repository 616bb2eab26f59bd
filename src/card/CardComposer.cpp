#include "card/CardComposer.h"

#include "platform/Ascii.h"

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

// The ruled contact table: a frame split by a rule into a header row and a value row, and five
// column rules. Drawn in the size the canvas font had on entry.
void DrawTable(TCanvas& canvas, const CardData& data) {
    canvas.DrawRectangle(50, 250, 470, 300);
    DrawLine(canvas, 50, 275, 470, 275);

    canvas.DrawTextAt(55, 255, "Confirming QSO With");
    canvas.DrawTextAt(90, 280, UpperCase(data.contactedStation));

    canvas.DrawTextAt(205, 255, "Date");
    DrawLine(canvas, 180, 250, 180, 300);
    canvas.DrawTextAt(185, 280, data.date);

    canvas.DrawTextAt(270, 255, "UTC");
    DrawLine(canvas, 260, 250, 260, 300);
    canvas.DrawTextAt(265, 280, data.utc);

    canvas.DrawTextAt(340, 255, "MHz");
    DrawLine(canvas, 310, 250, 310, 300);
    canvas.DrawTextAt(325, 280, FrequencyField(data.frequency));

    canvas.DrawTextAt(400, 255, "RST");
    DrawLine(canvas, 390, 250, 390, 300);
    canvas.DrawTextAt(395, 280, data.rst);

    canvas.DrawTextAt(435, 255, "Mode");
    DrawLine(canvas, 430, 250, 430, 300);
    canvas.DrawTextAt(435, 280, data.mode);
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
    canvas.DrawTextAt(50, 130, "RIG: " + data.rig);
    canvas.DrawTextAt(50, 145, "PWR: " + std::string(TrimBlanks(data.power)) + "W");
    canvas.DrawTextAt(50, 160, "Antenna: " + data.antenna);
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
    canvas.DrawTextAt(50, 230, ThanksLine(data));

    canvas.Font().SetSize(entrySize);
    DrawTable(canvas, data);

    DrawStation(canvas, data);
    canvas.Font().SetSize(entrySize);
}

void DrawBoxes(TCanvas& canvas, const CardData& data) {
    FontDescription scratch;
    DrawBoxes(canvas, data, scratch);
}

std::string UpperCase(std::string_view text) {
    return platform::AsciiUpperCopy(text);
}

std::string_view TrimBlanks(std::string_view text) {
    const auto isBlank = [](char c) { return static_cast<uint8_t>(c) <= 32; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
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
