// What one QSL label says and where each piece of text goes inside it. A label carries one
// card's worth of contacts with one station: "To Radio CALL" (and "via MANAGER"), a small table
// of the contacts (Date, UTC, MHz or Band, Mode, RST), the satellite line when a contact went
// through one, and "PSE QSL" or "TNX QSL" with the own call sign.
//
// The input is plain values, filled by whoever groups the log's contacts per card; the layout
// measures text through a TextMeasurer, so the PDF writer and the window's printer each lay out
// with the font they draw with. Text never leaves its label: a value too long for its place is
// set smaller, down to a minimum size, and then cut with an ellipsis.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::labels {

// A card confirms at most this many contacts; so does a label.
inline constexpr std::size_t kMaxRowsPerLabel = 5;

// One contact, as it is to be shown (the date as 2026-12-07, the time as 1432).
struct LabelRow {
    std::string date;
    std::string utc;
    std::string mhz;  // empty when the log gives only the band
    std::string band; // shown when there is no frequency
    std::string mode;
    std::string rst;
    std::string satellite;    // SAT_NAME; empty for a contact without a satellite
    bool qslReceived = false; // QSL_RCVD is Y: their card for this contact is here
};

struct LabelData {
    std::string call;    // the station the card goes to
    std::string qslVia;  // QSL_VIA, the manager; empty when the card goes direct
    std::string ownCall; // the sender's call sign
    std::vector<LabelRow> rows;
};

enum class FontWeight { regular, bold };

// Font measurement in millimetres for text set at a size in points.
class TextMeasurer {
  public:
    virtual ~TextMeasurer() = default;
    // The advance width of the UTF-8 text.
    virtual double Width(std::string_view utf8, double sizePt, FontWeight weight) = 0;
    // How far the font's glyphs may reach above and below the baseline.
    virtual double Ascent(double sizePt, FontWeight weight) = 0;
    virtual double Descent(double sizePt, FontWeight weight) = 0;
};

// A piece of text placed in the label: x is the left end of its baseline, y the baseline, both
// in millimetres from the label's top-left corner; width is its measured advance width.
struct PlacedText {
    std::string text;
    double x = 0;
    double y = 0;
    double sizePt = 0;
    FontWeight weight = FontWeight::regular;
    double width = 0;
};

// A straight rule, label coordinates in millimetres.
struct RuleLine {
    double x1 = 0;
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
    double width = 0;
};

struct LabelDrawing {
    std::vector<PlacedText> texts;
    std::vector<RuleLine> rules;
};

// Text is never set smaller than this to make it fit; beyond it, it is cut.
inline constexpr double kMinTextPt = 4.5;
// The body text's largest size; larger labels get more space around it.
inline constexpr double kMaxBodyPt = 10.0;

// Raises ELabelError for a label without a call sign or with no or more than kMaxRowsPerLabel
// rows. Text values may hold any bytes: control characters become spaces and bytes that are not
// UTF-8 become U+FFFD before anything is measured.
LabelDrawing LayOutLabel(const LabelData& label, double widthMm, double heightMm,
                         TextMeasurer& measurer);

// The text as it fits into maxWidth: at sizePt when it fits, else at the largest smaller size
// that fits (not below minSizePt), else at minSizePt cut to the longest start that fits with an
// ellipsis ("…") after it; empty when not even the ellipsis fits.
struct FittedText {
    std::string text;
    double sizePt = 0;
    double width = 0;
};
FittedText FitText(std::string_view text, double maxWidth, double sizePt, double minSizePt,
                   FontWeight weight, TextMeasurer& measurer);

// The text with control characters turned into spaces and ill-formed UTF-8 into U+FFFD, so that
// any value from a log can be measured and drawn.
std::string CleanText(std::string_view text);

} // namespace velmora::labels
