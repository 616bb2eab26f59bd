#include "labels/LabelContent.h"

#include "labels/LabelSheet.h"
#include "platform/FontEngineUtf8.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace velmora::labels {

namespace {

constexpr double kMmPerPt = 25.4 / 72.0;
constexpr std::string_view kEllipsis = "\xE2\x80\xA6"; // U+2026

// Sizes of the label's lines relative to the body size, and the room around them (in body ems).
constexpr double kTitleScale = 1.2;
constexpr double kHeaderScale = 0.8;
constexpr double kSatelliteScale = 0.9;
constexpr double kLeading = 1.2;
constexpr double kAfterTitle = 0.25;
constexpr double kRuleSpace = 0.2;
constexpr double kBeforeFooter = 0.3;
constexpr double kMinColumnGap = 0.8;
constexpr double kMaxColumnGap = 2.5;
constexpr double kPairGap = 1.0;
constexpr double kRuleWidthMm = 0.15;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string Field(std::string_view value) {
    return Trimmed(CleanText(value));
}

double Em(double sizePt) {
    return sizePt * kMmPerPt;
}

// The byte offset after each code point of text (which is clean UTF-8).
std::vector<std::size_t> CodePointEnds(std::string_view text) {
    std::vector<std::size_t> ends;
    std::size_t pos = 0;
    while (pos < text.size()) {
        platform::text::detail::DecodeUtf8(text, pos);
        ends.push_back(pos);
    }
    return ends;
}

// Cuts text at minSize to the longest start that fits with the ellipsis.
FittedText CutToFit(std::string_view text, double maxWidth, double sizePt, FontWeight weight,
                    TextMeasurer& measurer) {
    const std::vector<std::size_t> ends = CodePointEnds(text);
    const auto candidate = [&](std::size_t count) {
        std::string cut = count == 0 ? std::string() : Trimmed(text.substr(0, ends[count - 1]));
        return cut + std::string(kEllipsis);
    };
    // Widths of a start grow with its length, so the longest start that fits is found by halving.
    std::size_t low = 0; // candidate(low) is known to fit once found
    std::size_t high = ends.size();
    std::string best;
    double bestWidth = 0;
    const std::string bare(kEllipsis);
    const double bareWidth = measurer.Width(bare, sizePt, weight);
    if (bareWidth > maxWidth)
        return {"", sizePt, 0};
    best = bare;
    bestWidth = bareWidth;
    while (low + 1 < high) {
        const std::size_t middle = low + (high - low) / 2;
        const std::string text2 = candidate(middle);
        const double width = measurer.Width(text2, sizePt, weight);
        if (width <= maxWidth) {
            low = middle;
            best = text2;
            bestWidth = width;
        } else {
            high = middle;
        }
    }
    return {best, sizePt, bestWidth};
}

// The widths of columns whose contents want natural widths, sharing available: columns that
// want no more than an equal share keep their width, the others share the rest equally.
std::vector<double> ShareWidths(const std::vector<double>& natural, double available) {
    std::vector<std::size_t> order(natural.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return natural[a] < natural[b]; });
    std::vector<double> widths(natural.size(), 0.0);
    double remaining = std::max(available, 0.0);
    for (std::size_t k = 0; k < order.size(); ++k) {
        const double fair = remaining / static_cast<double>(order.size() - k);
        const double width = std::min(natural[order[k]], fair);
        widths[order[k]] = width;
        remaining -= width;
    }
    return widths;
}

class LabelLayout {
  public:
    LabelLayout(const LabelData& label, double width, double height, TextMeasurer& measurer)
        : width_(width), height_(height), measurer_(measurer) {
        Read(label);
    }

    LabelDrawing Build();

  private:
    struct Line {
        double scale;
        FontWeight weight;
    };

    void Read(const LabelData& label);
    double LineHeight(double sizePt, FontWeight weight);
    double ContentHeight(double bodyPt);
    void Place(const FittedText& fitted, double x, double y, FontWeight weight);
    void PlacePair(const std::string& left, FontWeight leftWeight, double leftPt,
                   const std::string& right, double rightPt, double y);
    std::vector<double> NaturalWidths(double sizePt);
    double TableSize();
    double PlaceTable(double top);
    std::vector<double> ColumnWidths(const std::vector<double>& natural, double available);

    double width_;
    double height_;
    TextMeasurer& measurer_;
    double pad_ = 0;
    double body_ = 0;
    double table_ = 0;
    double inner_ = 0;

    std::string title_;
    std::string via_;
    std::string satellite_;
    std::string thanks_;
    std::string signature_;
    std::array<std::string, 5> headers_;
    std::vector<std::array<std::string, 5>> cells_;
    LabelDrawing drawing_;
};

void LabelLayout::Read(const LabelData& label) {
    const std::string call = Field(label.call);
    if (call.empty())
        throw ELabelError("A label needs the call sign of the station it goes to.");
    if (label.rows.empty())
        throw ELabelError("The label for " + call + " has no contact.");
    if (label.rows.size() > kMaxRowsPerLabel)
        throw ELabelError("A label holds at most " + std::to_string(kMaxRowsPerLabel) +
                          " contacts; the one for " + call + " has " +
                          std::to_string(label.rows.size()) + ".");
    title_ = "To Radio " + call;
    const std::string via = Field(label.qslVia);
    if (!via.empty())
        via_ = "via " + via;
    const std::string own = Field(label.ownCall);
    if (!own.empty())
        signature_ = "73 de " + own;

    bool anyFrequency = false;
    bool allReceived = true;
    std::vector<std::string> satellites;
    for (const LabelRow& row : label.rows) {
        std::string mhz = Field(row.mhz);
        anyFrequency = anyFrequency || !mhz.empty();
        allReceived = allReceived && row.qslReceived;
        cells_.push_back({Field(row.date), Field(row.utc), mhz.empty() ? Field(row.band) : mhz,
                          Field(row.mode), Field(row.rst)});
        const std::string satellite = Field(row.satellite);
        if (!satellite.empty() &&
            std::find(satellites.begin(), satellites.end(), satellite) == satellites.end())
            satellites.push_back(satellite);
    }
    headers_ = {"Date", "UTC", anyFrequency ? "MHz" : "Band", "Mode", "RST"};
    for (const std::string& satellite : satellites)
        satellite_ += (satellite_.empty() ? "Satellite: " : ", ") + satellite;
    // Their card for every contact on this label is here: thank them; otherwise ask for one.
    thanks_ = allReceived ? "TNX QSL" : "PSE QSL";
}

double LabelLayout::LineHeight(double sizePt, FontWeight weight) {
    return std::max(kLeading * Em(sizePt),
                    measurer_.Ascent(sizePt, weight) + measurer_.Descent(sizePt, weight));
}

// Everything from the title's top to the footer's bottom at a body size; the line heights are
// proportional to the size, so the body size that fills a label follows from one measurement.
double LabelLayout::ContentHeight(double bodyPt) {
    double height = LineHeight(kTitleScale * bodyPt, FontWeight::bold) + Em(kAfterTitle * bodyPt) +
                    LineHeight(kHeaderScale * bodyPt, FontWeight::bold) + Em(kRuleSpace * bodyPt) +
                    static_cast<double>(cells_.size()) * LineHeight(bodyPt, FontWeight::regular) +
                    Em(kBeforeFooter * bodyPt) + LineHeight(bodyPt, FontWeight::bold);
    if (!satellite_.empty())
        height += LineHeight(kSatelliteScale * bodyPt, FontWeight::regular);
    return height;
}

void LabelLayout::Place(const FittedText& fitted, double x, double y, FontWeight weight) {
    if (fitted.text.empty())
        return;
    drawing_.texts.push_back({fitted.text, x, y, fitted.sizePt, weight, fitted.width});
}

// A line with one text at the left and another at the right (title and manager, thanks and
// signature). When both do not fit, the right one keeps at least 40 % of the line.
void LabelLayout::PlacePair(const std::string& left, FontWeight leftWeight, double leftPt,
                            const std::string& right, double rightPt, double y) {
    const double gap = Em(kPairGap * body_);
    double rightMax = 0;
    if (!right.empty()) {
        const double rightNatural = measurer_.Width(right, rightPt, FontWeight::regular);
        const double leftNatural = measurer_.Width(left, leftPt, leftWeight);
        rightMax = std::min(rightNatural, std::max(0.4 * inner_, inner_ - gap - leftNatural));
    }
    const double leftMax = right.empty() ? inner_ : inner_ - gap - rightMax;
    Place(FitText(left, leftMax, leftPt, std::min(kMinTextPt, leftPt), leftWeight, measurer_), pad_,
          y, leftWeight);
    if (!right.empty()) {
        const FittedText fitted = FitText(right, rightMax, rightPt, std::min(kMinTextPt, rightPt),
                                          FontWeight::regular, measurer_);
        Place(fitted, width_ - pad_ - fitted.width, y, FontWeight::regular);
    }
}

// Columns too wide together: each first gets room for a usual value of its kind (a date, a time,
// a frequency, a mode, a report), so that one absurdly long value cannot cut the others; what is
// left goes to the columns that want more.
std::vector<double> LabelLayout::ColumnWidths(const std::vector<double>& natural,
                                              double available) {
    static constexpr std::array<std::string_view, 5> kUsual = {"0000-00-00", "0000", "000.000",
                                                               "MFSK16", "-000"};
    std::vector<double> widths(natural.size());
    std::vector<double> wanting(natural.size());
    double reserved = 0;
    for (std::size_t column = 0; column < natural.size(); ++column) {
        widths[column] =
            std::min(natural[column], measurer_.Width(kUsual[column], table_, FontWeight::regular));
        wanting[column] = natural[column] - widths[column];
        reserved += widths[column];
    }
    if (reserved >= available) {
        for (double& width : widths)
            width *= std::max(available, 0.0) / reserved;
        return widths;
    }
    const std::vector<double> extra = ShareWidths(wanting, available - reserved);
    for (std::size_t column = 0; column < natural.size(); ++column)
        widths[column] += extra[column];
    return widths;
}

// The widest value of each column (its header included) with the table's text at sizePt.
std::vector<double> LabelLayout::NaturalWidths(double sizePt) {
    std::vector<double> natural(headers_.size());
    for (std::size_t column = 0; column < headers_.size(); ++column) {
        natural[column] =
            measurer_.Width(headers_[column], kHeaderScale * sizePt, FontWeight::bold);
        for (const auto& cells : cells_)
            natural[column] = std::max(natural[column],
                                       measurer_.Width(cells[column], sizePt, FontWeight::regular));
    }
    return natural;
}

// One size for the whole table: the body size, or smaller so that the table fits the label's
// width (not below the minimum; values still too long are then fitted one by one).
double LabelLayout::TableSize() {
    const std::vector<double> natural = NaturalWidths(body_);
    const double gaps = static_cast<double>(headers_.size() - 1);
    const double wanted =
        std::accumulate(natural.begin(), natural.end(), 0.0) + gaps * Em(kMinColumnGap * body_);
    const double size = wanted > inner_ ? body_ * inner_ / wanted : body_;
    return std::max(size, std::min(kMinTextPt, body_));
}

// The table of contacts from top; returns the y below its last row.
double LabelLayout::PlaceTable(double top) {
    const double headerPt = kHeaderScale * table_;
    const std::vector<double> natural = NaturalWidths(table_);
    const double gaps = static_cast<double>(headers_.size() - 1);
    const double total = std::accumulate(natural.begin(), natural.end(), 0.0);
    std::vector<double> widths = natural;
    double gap = Em(kMinColumnGap * table_);
    if (total + gaps * gap <= inner_)
        gap = std::min((inner_ - total) / gaps, Em(kMaxColumnGap * table_));
    else
        widths = ColumnWidths(natural, inner_ - gaps * gap);

    std::vector<double> xs(widths.size());
    double x = pad_;
    for (std::size_t column = 0; column < widths.size(); ++column) {
        xs[column] = x;
        x += widths[column] + gap;
    }
    const double tableRight = x - gap;

    double y = top;
    const double headerBaseline = y + measurer_.Ascent(headerPt, FontWeight::bold);
    for (std::size_t column = 0; column < headers_.size(); ++column)
        Place(FitText(headers_[column], widths[column], headerPt, std::min(kMinTextPt, headerPt),
                      FontWeight::bold, measurer_),
              xs[column], headerBaseline, FontWeight::bold);
    y += LineHeight(headerPt, FontWeight::bold);
    const double ruleY = y + Em(kRuleSpace * body_) / 2;
    drawing_.rules.push_back({pad_, ruleY, tableRight, ruleY, kRuleWidthMm});
    y += Em(kRuleSpace * body_);

    for (const auto& cells : cells_) {
        const double baseline = y + measurer_.Ascent(table_, FontWeight::regular);
        for (std::size_t column = 0; column < cells.size(); ++column)
            Place(FitText(cells[column], widths[column], table_, std::min(kMinTextPt, table_),
                          FontWeight::regular, measurer_),
                  xs[column], baseline, FontWeight::regular);
        y += LineHeight(table_, FontWeight::regular);
    }
    return y;
}

LabelDrawing LabelLayout::Build() {
    pad_ = std::clamp(0.06 * std::min(width_, height_), 1.0, 3.0);
    inner_ = width_ - 2 * pad_;
    const double innerHeight = height_ - 2 * pad_;
    // The height is linear in the body size: measure at 10 pt and scale. The table may need a
    // smaller size to fit the width; the other lines then keep in proportion to it, so that a
    // narrow label does not get a huge title over a tiny table. Smaller lines only leave more
    // room, so nothing reaches past the label's bottom.
    body_ = std::min(kMaxBodyPt, 10.0 * innerHeight / ContentHeight(10.0));
    table_ = TableSize();
    const double titlePt = std::min(kTitleScale * body_, 1.5 * table_);
    const double linePt = std::min(body_, 1.25 * table_);

    double y = pad_;
    PlacePair(title_, FontWeight::bold, titlePt, via_, linePt,
              y + measurer_.Ascent(titlePt, FontWeight::bold));
    y += LineHeight(titlePt, FontWeight::bold) + Em(kAfterTitle * body_);

    y = PlaceTable(y);

    if (!satellite_.empty()) {
        const double satellitePt = std::min(kSatelliteScale * body_, table_);
        Place(FitText(satellite_, inner_, satellitePt, std::min(kMinTextPt, satellitePt),
                      FontWeight::regular, measurer_),
              pad_, y + measurer_.Ascent(satellitePt, FontWeight::regular), FontWeight::regular);
    }

    // The footer sits on the label's bottom edge; the space left over stays above it.
    const double footerBaseline = height_ - pad_ - measurer_.Descent(linePt, FontWeight::bold);
    PlacePair(thanks_, FontWeight::bold, linePt, signature_, linePt, footerBaseline);
    return std::move(drawing_);
}

} // namespace

std::string CleanText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = platform::text::detail::DecodeUtf8(text, pos);
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
        AppendUtf8(out, control ? U' ' : c);
    }
    return out;
}

FittedText FitText(std::string_view text, double maxWidth, double sizePt, double minSizePt,
                   FontWeight weight, TextMeasurer& measurer) {
    if (text.empty() || !(maxWidth > 0))
        return {"", sizePt, 0};
    double width = measurer.Width(text, sizePt, weight);
    if (width <= maxWidth)
        return {std::string(text), sizePt, width};
    // Widths grow in proportion to the size; a few smaller steps absorb rounding.
    double size = std::max(minSizePt, sizePt * maxWidth / width);
    for (int step = 0; step < 8; ++step) {
        width = measurer.Width(text, size, weight);
        if (width <= maxWidth)
            return {std::string(text), size, width};
        if (size <= minSizePt)
            break;
        size = std::max(minSizePt, size * 0.98);
    }
    if (size > minSizePt) {
        width = measurer.Width(text, minSizePt, weight);
        if (width <= maxWidth)
            return {std::string(text), minSizePt, width};
    }
    return CutToFit(text, maxWidth, minSizePt, weight, measurer);
}

LabelDrawing LayOutLabel(const LabelData& label, double widthMm, double heightMm,
                         TextMeasurer& measurer) {
    return LabelLayout(label, widthMm, heightMm, measurer).Build();
}

} // namespace velmora::labels
