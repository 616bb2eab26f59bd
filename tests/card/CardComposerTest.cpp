// The card overlay on real card bitmaps: where each text lands (compared pixel for pixel with
// the same text drawn alone at the expected place), the table's lines under each pen mode, the
// text rules, clipping on other card sizes and the canvas state left behind.
#include "card/CardComposer.h"

#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Color.h"
#include "graphics/Tools.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using card::CardData;
using card::FontDescription;
using graphics::TBitmap;
using graphics::TCanvas;
using graphics::TColor;
using platform::RECT;

constexpr int kCardW = 495;
constexpr int kCardH = 315;
// The face of a canvas font in its default state.
const std::string kCanvasFace = "MS Sans Serif";

std::unique_ptr<TBitmap> MakeCard(int width, int height, TColor background) {
    auto card = std::make_unique<TBitmap>();
    card->SetSize(width, height);
    TCanvas& canvas = card->Canvas();
    canvas.Brush().SetColor(background);
    canvas.FillArea({0, 0, width, height});
    canvas.Brush().SetColor(graphics::clWhite);
    return card;
}

// The pixels of a rectangle of a bitmap, row by row.
struct Pixels {
    RECT area;
    std::vector<TColor> values;

    TColor At(int x, int y) const {
        return values[size_t(y - area.top) * size_t(area.right - area.left) +
                      size_t(x - area.left)];
    }
};

RECT Intersect(RECT a, RECT b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

Pixels Read(TBitmap& bitmap, RECT area) {
    area = Intersect(area, {0, 0, bitmap.Width(), bitmap.Height()});
    Pixels p{area, {}};
    p.values.reserve(size_t(area.right - area.left) * size_t(area.bottom - area.top));
    TCanvas& canvas = bitmap.Canvas();
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            p.values.push_back(canvas.PixelAt(x, y));
    return p;
}

Pixels ReadAll(TBitmap& bitmap) {
    return Read(bitmap, {0, 0, bitmap.Width(), bitmap.Height()});
}

void SetFont(TCanvas& canvas, const FontDescription& font) {
    canvas.Font().SetName(font.name);
    canvas.Font().SetStyle(font.style);
    canvas.Font().SetSize(font.size);
    canvas.Font().SetColor(font.color);
}

// The overlay's text font: bold in the canvas face, in the card's text colour.
FontDescription Overlay(int size, TColor color) {
    return {kCanvasFace, {graphics::fsBold}, size, color};
}

platform::SIZE Measure(std::string_view text, const FontDescription& font) {
    TBitmap scratch;
    scratch.SetSize(1, 1);
    SetFont(scratch.Canvas(), font);
    return scratch.Canvas().MeasureText(text);
}

// One text as it should appear on the card: its cell's top-left and its font.
struct ExpectedText {
    std::string what;
    int x;
    int y;
    std::string text;
    FontDescription font;

    RECT Cell() const {
        const platform::SIZE size = Measure(text, font);
        return {x, y, x + size.cx, y + size.cy};
    }
};

// The cell of expected drawn alone on a card of the same background, compared pixel for pixel
// with the same cell of card. The reference must show ink, so an empty comparison cannot pass.
testing::AssertionResult CellMatches(TBitmap& card, TColor background, const ExpectedText& e) {
    const RECT cell = e.Cell();
    auto reference = MakeCard(card.Width(), card.Height(), background);
    TCanvas& canvas = reference->Canvas();
    SetFont(canvas, e.font);
    canvas.Brush().SetStyle(graphics::bsClear);
    canvas.DrawTextAt(e.x, e.y, e.text);

    const Pixels want = Read(*reference, cell);
    const Pixels got = Read(card, cell);
    int ink = 0;
    int wrong = 0;
    for (size_t i = 0; i < want.values.size(); ++i) {
        ink += want.values[i] != background;
        wrong += want.values[i] != got.values[i];
    }
    if (ink == 0)
        return testing::AssertionFailure() << e.what << ": the reference cell shows no ink";
    if (wrong != 0)
        return testing::AssertionFailure()
               << e.what << " \"" << e.text << "\" at (" << e.x << ", " << e.y << "): " << wrong
               << " of " << want.values.size() << " cell pixels differ";
    return testing::AssertionSuccess();
}

CardData SampleCard() {
    CardData d;
    d.callSign = "k1abc";
    d.operatorName = "Hans Mueller";
    d.date = "2024-05-01";
    d.utc = "1405";
    d.frequency = "14.074";
    d.rst = "599";
    d.mode = "FT8";
    d.thanks = "73 tnx";
    d.country = "usa";
    d.qth = "Main St 1";
    d.contactedStation = "w1aw";
    d.rig = "IC-7300";
    d.contactedOperator = "bob";
    d.city = "Springfield";
    d.state = "IL";
    d.antenna = "Dipole";
    d.zip = "62701";
    d.power = " 100 ";
    d.textColor = 0x800000; // navy
    d.callIdFont = {kCanvasFace, {}, 24, graphics::clBlack};
    return d;
}

// Every text of SampleCard() where the overlay puts it, in the font it uses (entry size 8).
std::vector<ExpectedText> SampleLayout(const CardData& d) {
    const TColor c = d.textColor;
    const FontDescription title = Overlay(16, c);
    return {
        {"country", card::CentredX(Measure("usa", title).cx), 1, "USA", title},
        {"call sign", card::CentredX(Measure("k1abc", d.callIdFont).cx), 25, "K1ABC", d.callIdFont},
        {"operator", 50, 70, "Hans Mueller", Overlay(11, c)},
        {"QTH", 320, 70, "Main St 1", Overlay(8, c)},
        {"city and state", 320, 85, "SpringfieldIL", Overlay(8, c)},
        {"ZIP", 320, 100, "62701", Overlay(8, c)},
        {"rig", 50, 130, "RIG: IC-7300", Overlay(8, c)},
        {"power", 50, 145, "PWR: 100W", Overlay(8, c)},
        {"antenna", 50, 160, "Antenna: Dipole", Overlay(8, c)},
        {"thanks", 50, 230, "BOB, 73 TNX", Overlay(10, c)},
        {"station header", 55, 255, "Confirming QSO With", Overlay(8, c)},
        {"station", 90, 280, "W1AW", Overlay(8, c)},
        {"date header", 205, 255, "Date", Overlay(8, c)},
        {"date", 185, 280, "2024-05-01", Overlay(8, c)},
        {"UTC header", 270, 255, "UTC", Overlay(8, c)},
        {"UTC", 265, 280, "1405", Overlay(8, c)},
        {"MHz header", 340, 255, "MHz", Overlay(8, c)},
        {"MHz", 325, 280, "14.074   ", Overlay(8, c)},
        {"RST header", 400, 255, "RST", Overlay(8, c)},
        {"RST", 395, 280, "599", Overlay(8, c)},
        {"mode header", 435, 255, "Mode", Overlay(8, c)},
        {"mode", 435, 280, "FT8", Overlay(8, c)},
    };
}

bool OnTableLine(int x, int y) {
    const bool inRows = y >= 250 && y <= 299;
    const bool inColumns = x >= 50 && x <= 469;
    if (inRows && (x == 50 || x == 469 || x == 180 || x == 260 || x == 310 || x == 390 || x == 430))
        return true;
    return inColumns && (y == 250 || y == 299 || y == 275);
}

// Checks every pixel of the frame, the rule and the column rules, and that the lines stop where
// they should (end points not drawn, right and bottom edges exclusive).
void ExpectTableLines(TBitmap& card, TColor line, TColor background) {
    const Pixels p = ReadAll(card);
    int wrong = 0;
    for (int y = 250; y <= 299; ++y)
        for (int x : {50, 180, 260, 310, 390, 430, 469})
            wrong += p.At(x, y) != line;
    for (int y : {250, 275, 299})
        for (int x = 50; x <= 469; ++x)
            wrong += p.At(x, y) != line;
    EXPECT_EQ(wrong, 0) << "line pixels not in " << std::hex << line;

    for (int x : {50, 180, 260, 310, 390, 430, 469}) {
        EXPECT_EQ(p.At(x, 249), background) << "above column " << x;
        EXPECT_EQ(p.At(x, 300), background) << "below column " << x;
    }
    EXPECT_EQ(p.At(49, 275), background);
    EXPECT_EQ(p.At(470, 275), background) << "the rule's end point is not drawn";
    EXPECT_EQ(p.At(470, 250), background) << "the frame's right edge is exclusive";
    // The band between the frame's top and the header texts: the frame is not filled.
    for (int x = 51; x < 469; ++x) {
        if (!OnTableLine(x, 252)) {
            EXPECT_EQ(p.At(x, 252), background) << "interior pixel " << x;
        }
    }
}

// ---- Layout -----------------------------------------------------------------------------------

TEST(CardLayout, EveryTextSitsInItsCellInItsFont) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    const CardData data = SampleCard();
    card::DrawBoxes(card->Canvas(), data);

    for (const ExpectedText& e : SampleLayout(data))
        EXPECT_TRUE(CellMatches(*card, graphics::clWhite, e));
}

TEST(CardLayout, NothingIsDrawnOutsideTheCellsAndTheTable) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    const CardData data = SampleCard();
    card::DrawBoxes(card->Canvas(), data);

    std::vector<RECT> cells;
    for (const ExpectedText& e : SampleLayout(data)) {
        const RECT c = e.Cell();
        cells.push_back({c.left - 1, c.top - 1, c.right + 1, c.bottom + 1});
    }
    const Pixels p = ReadAll(*card);
    int stray = 0;
    for (int y = 0; y < kCardH; ++y) {
        for (int x = 0; x < kCardW; ++x) {
            if (p.At(x, y) == graphics::clWhite || OnTableLine(x, y))
                continue;
            bool inCell = false;
            for (const RECT& c : cells)
                inCell = inCell || (x >= c.left && x < c.right && y >= c.top && y < c.bottom);
            if (!inCell && ++stray <= 5)
                ADD_FAILURE() << "stray pixel at (" << x << ", " << y << ")";
        }
    }
    EXPECT_EQ(stray, 0);
}

TEST(CardLayout, CentredLinesUseTheWidthOfTheTypedText) {
    // Lower-case w is narrower than W, so the upper-case call sign sits right of the centre.
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    CardData data;
    data.callSign = "wwwww";
    data.callIdFont = {kCanvasFace, {}, 24, graphics::clBlack};
    card::DrawBoxes(card->Canvas(), data);

    const int typedX = card::CentredX(Measure("wwwww", data.callIdFont).cx);
    const int upperX = card::CentredX(Measure("WWWWW", data.callIdFont).cx);
    ASSERT_GT(typedX, upperX);
    EXPECT_TRUE(
        CellMatches(*card, graphics::clWhite, {"call sign", typedX, 25, "WWWWW", data.callIdFont}));
    EXPECT_FALSE(
        CellMatches(*card, graphics::clWhite, {"call sign", upperX, 25, "WWWWW", data.callIdFont}));
}

TEST(CardLayout, TheCallSignUsesTheWholeCallIdFont) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    CardData data;
    data.callSign = "DL1XYZ";
    data.textColor = graphics::clBlack;
    data.callIdFont = {
        "DejaVu Serif", {graphics::fsItalic, graphics::fsUnderline}, 20, graphics::clRed};
    card::DrawBoxes(card->Canvas(), data);

    const int x = card::CentredX(Measure("DL1XYZ", data.callIdFont).cx);
    EXPECT_TRUE(
        CellMatches(*card, graphics::clWhite, {"call sign", x, 25, "DL1XYZ", data.callIdFont}));
}

TEST(CardLayout, ACountryWiderThanTheCardStartsLeftOfItTruncatedTowardZero) {
    // Grow the text until it is wider than the card by an odd number of pixels, where
    // truncation toward zero and rounding down differ.
    const FontDescription title = Overlay(16, graphics::clBlack);
    std::string country = "REPUBLIC OF THE WIDE COUNTRY";
    int width = Measure(country, title).cx;
    while (width <= kCardW || (kCardW - width) % 2 == 0) {
        country += country.size() % 2 ? "I" : "W";
        width = Measure(country, title).cx;
    }
    const int x = card::CentredX(width);
    ASSERT_LT(x, 0);
    EXPECT_EQ(x, -((width - kCardW) / 2));

    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    CardData data;
    data.country = country;
    card::DrawBoxes(card->Canvas(), data);
    EXPECT_TRUE(CellMatches(*card, graphics::clWhite, {"country", x, 1, country, title}));
    EXPECT_FALSE(CellMatches(*card, graphics::clWhite, {"country", x - 1, 1, country, title}));
}

TEST(CardLayout, TheTableUsesTheFontSizeTheCanvasHadOnEntry) {
    // Ten points: large enough to tell apart, small enough that no header runs into the next.
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    card->Canvas().Font().SetSize(10);
    CardData data;
    data.rst = "579";
    card::DrawBoxes(card->Canvas(), data);

    EXPECT_TRUE(CellMatches(*card, graphics::clWhite,
                            {"date header", 205, 255, "Date", Overlay(10, graphics::clBlack)}));
    EXPECT_TRUE(CellMatches(*card, graphics::clWhite,
                            {"RST", 395, 280, "579", Overlay(10, graphics::clBlack)}));
    // The station block has sizes of its own.
    EXPECT_TRUE(CellMatches(*card, graphics::clWhite,
                            {"rig", 50, 130, "RIG: ", Overlay(8, graphics::clBlack)}));
}

// ---- Several contacts, band, satellite and QSL manager --------------------------------------

// SampleCard() confirming `rows` contacts, with a satellite, a QSL manager and a thanks text
// long enough to run across the card.
CardData SeveralContacts(size_t rows) {
    CardData d = SampleCard();
    d.thanks = "73 and thanks for the many contacts on the satellites this year";
    d.satellite = "AO-7, SO-50";
    d.qslVia = "w1xyz";
    for (size_t i = 1; i < rows; ++i)
        d.moreRows.push_back({"w1aw", "2024-05-0" + std::to_string(i + 1),
                              "0" + std::to_string(i) + "00", "7.0" + std::to_string(i),
                              "5" + std::to_string(i) + "9", i % 2 ? "CW" : "SSB"});
    return d;
}

// Every text of SeveralContacts(rows) where the overlay puts it for that many rows.
std::vector<ExpectedText> SeveralLayout(const CardData& d) {
    const size_t rows = std::min<size_t>(1 + d.moreRows.size(), card::kMaxTableRows);
    const card::TableLayout layout = card::LayoutTable(rows);
    const TColor c = d.textColor;
    const FontDescription small = Overlay(8, c);
    std::vector<ExpectedText> texts = SampleLayout(d);
    // The table and the thanks line move; the station block stays.
    texts.erase(std::remove_if(texts.begin(), texts.end(),
                               [](const ExpectedText& e) { return e.y >= 230; }),
                texts.end());
    texts.push_back(
        {"thanks", 50, layout.thanksY, "BOB, " + card::UpperCase(d.thanks), Overlay(10, c)});
    texts.push_back({"satellite", 50, card::kSatelliteY, "Sat: " + d.satellite, small});
    texts.push_back({"QSL via", 320, 115, "QSL via " + card::UpperCase(d.qslVia), small});
    const int header = layout.top + layout.headerInset;
    const char* headers[] = {"Confirming QSO With", "Date", "UTC", "MHz", "RST", "Mode"};
    const int headerX[] = {55, 205, 270, 340, 400, 435};
    for (int i = 0; i < 6; ++i)
        texts.push_back(
            {std::string("header ") + headers[i], headerX[i], header, headers[i], small});
    for (size_t r = 0; r < rows; ++r) {
        const card::ContactRow row =
            r == 0 ? card::ContactRow{d.contactedStation, d.date, d.utc, d.frequency, d.rst, d.mode}
                   : d.moreRows[r - 1];
        const int y =
            layout.top + layout.headerHeight + int(r) * layout.rowHeight + layout.textInset;
        const std::string n = " of row " + std::to_string(r + 1);
        texts.push_back({"station" + n, 90, y, card::UpperCase(row.contactedStation), small});
        texts.push_back({"date" + n, 185, y, row.date, small});
        texts.push_back({"UTC" + n, 265, y, row.utc, small});
        texts.push_back({"MHz" + n, 325, y, card::FrequencyField(row.frequency), small});
        texts.push_back({"RST" + n, 395, y, row.rst, small});
        texts.push_back({"mode" + n, 435, y, row.mode, small});
    }
    return texts;
}

bool OnRowsTableLine(const card::TableLayout& layout, size_t rows, int x, int y) {
    const bool inRows = y >= layout.top && y <= 299;
    const bool inColumns = x >= 50 && x <= 469;
    if (inRows && (x == 50 || x == 469 || x == 180 || x == 260 || x == 310 || x == 390 || x == 430))
        return true;
    if (!inColumns)
        return false;
    if (y == layout.top || y == 299)
        return true;
    for (size_t r = 0; r < rows; ++r) {
        if (y == layout.top + layout.headerHeight + int(r) * layout.rowHeight)
            return true;
    }
    return false;
}

TEST(CardTable, TheLayoutGrowsUpwardFromTheBottomEdgeWithRowsOfAtLeast15Pixels) {
    const card::TableLayout one = card::LayoutTable(1);
    EXPECT_EQ(one.top, 250);
    EXPECT_EQ(one.thanksY, 230);
    int previousTop = one.top + 1;
    for (size_t rows = 1; rows <= card::kMaxTableRows; ++rows) {
        SCOPED_TRACE(rows);
        const card::TableLayout layout = card::LayoutTable(rows);
        EXPECT_EQ(layout.top + layout.headerHeight + int(rows) * layout.rowHeight, 300);
        EXPECT_GE(layout.rowHeight, 15);
        EXPECT_LT(layout.top, previousTop);
        previousTop = layout.top;
    }
    // More rows than a card holds are laid out as the most it holds.
    EXPECT_EQ(card::LayoutTable(9).top, card::LayoutTable(card::kMaxTableRows).top);
}

// The cells of the texts are pairwise apart and every pixel drawn lies in a cell or on a table
// line, for every number of rows: nothing overlaps, whatever the card holds.
TEST(CardTable, NothingOverlapsAtAnyRowCount) {
    for (size_t rows = 1; rows <= card::kMaxTableRows + 1; ++rows) {
        SCOPED_TRACE(testing::Message() << rows << " rows");
        auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
        const CardData data = SeveralContacts(rows);
        card::DrawBoxes(card->Canvas(), data);
        const size_t drawnRows = std::min(rows, card::kMaxTableRows);
        const card::TableLayout layout = card::LayoutTable(drawnRows);

        const std::vector<ExpectedText> texts = SeveralLayout(data);
        const size_t stationBlock = SampleLayout(data).size() - 13; // texts that never move
        std::vector<RECT> cells;
        for (const ExpectedText& e : texts) {
            EXPECT_TRUE(CellMatches(*card, graphics::clWhite, e));
            cells.push_back(Intersect(e.Cell(), {0, 0, kCardW, kCardH}));
        }
        for (size_t i = 0; i < cells.size(); ++i) {
            for (size_t j = std::max(i + 1, stationBlock); j < cells.size(); ++j) {
                const RECT both = Intersect(cells[i], cells[j]);
                EXPECT_TRUE(both.left == both.right || both.top == both.bottom)
                    << texts[i].what << " overlaps " << texts[j].what;
            }
            // A text above the table ends above its frame.
            if (cells[i].top < layout.top) {
                EXPECT_LE(cells[i].bottom, layout.top) << texts[i].what << " runs into the table";
            }
        }
        // Bold glyphs may reach one pixel beyond their cell, as on the window's card.
        const Pixels p = ReadAll(*card);
        int stray = 0;
        for (int y = 0; y < kCardH; ++y) {
            for (int x = 0; x < kCardW; ++x) {
                if (p.At(x, y) == graphics::clWhite || OnRowsTableLine(layout, drawnRows, x, y))
                    continue;
                bool inCell = false;
                for (const RECT& c : cells)
                    inCell = inCell ||
                             (x >= c.left - 1 && x <= c.right && y >= c.top - 1 && y <= c.bottom);
                if (!inCell && ++stray <= 5)
                    ADD_FAILURE() << "stray pixel at (" << x << ", " << y << ")";
            }
        }
        EXPECT_EQ(stray, 0);
        // Every rule is drawn across the table.
        for (size_t r = 0; r <= drawnRows; ++r) {
            const int y =
                r == drawnRows ? 299 : layout.top + layout.headerHeight + int(r) * layout.rowHeight;
            EXPECT_EQ(p.At(120, y), data.textColor) << "rule at " << y;
        }
        EXPECT_EQ(p.At(120, layout.top), data.textColor);
        EXPECT_EQ(p.At(120, layout.top - 1), graphics::clWhite);
    }
}

TEST(CardTable, WithoutFrequenciesTheColumnShowsTheBand) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    CardData data;
    data.frequency = "20m";
    data.frequencyColumn = card::FrequencyColumn::Band;
    card::DrawBoxes(card->Canvas(), data);
    const FontDescription small = Overlay(8, graphics::clBlack);
    EXPECT_TRUE(CellMatches(*card, graphics::clWhite, {"band header", 340, 255, "Band", small}));
    EXPECT_TRUE(CellMatches(*card, graphics::clWhite, {"band", 325, 280, "20m      ", small}));
    EXPECT_FALSE(CellMatches(*card, graphics::clWhite, {"MHz header", 340, 255, "MHz", small}));
}

TEST(CardTable, EmptyExtrasLeaveTheWindowsCardAlone) {
    // A card without the log's extras is the window's card, pixel for pixel.
    auto plain = MakeCard(kCardW, kCardH, graphics::clWhite);
    card::DrawBoxes(plain->Canvas(), SampleCard());
    CardData extras = SampleCard();
    extras.satellite = "";
    extras.qslVia = "";
    extras.moreRows.clear();
    extras.frequencyColumn = card::FrequencyColumn::MHz;
    auto same = MakeCard(kCardW, kCardH, graphics::clWhite);
    card::DrawBoxes(same->Canvas(), extras);
    EXPECT_EQ(ReadAll(*plain).values, ReadAll(*same).values);
}

// ---- Thanks line ------------------------------------------------------------------------------

struct ThanksCase {
    const char* contactedOperator;
    const char* thanks;
    const char* drawn;
};

void PrintTo(const ThanksCase& c, std::ostream* os) {
    *os << '"' << c.contactedOperator << "\" + \"" << c.thanks << '"';
}

class CardThanks : public testing::TestWithParam<ThanksCase> {};

TEST_P(CardThanks, PrefixesTheContactedOperatorWhenThereIsOne) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    CardData data;
    data.contactedOperator = GetParam().contactedOperator;
    data.thanks = GetParam().thanks;
    card::DrawBoxes(card->Canvas(), data);
    EXPECT_TRUE(CellMatches(*card, graphics::clWhite,
                            {"thanks", 50, 230, GetParam().drawn, Overlay(10, graphics::clBlack)}));
}

INSTANTIATE_TEST_SUITE_P(
    Operators, CardThanks,
    testing::Values(ThanksCase{"", "73 es tks fer qso", "73 ES TKS FER QSO"},
                    ThanksCase{"joe", "73 es tks fer qso", "JOE, 73 ES TKS FER QSO"},
                    // A blank counts as an operator.
                    ThanksCase{" ", "73", " , 73"}, ThanksCase{"ann", "", "ANN, "}));

// ---- Pen modes --------------------------------------------------------------------------------

TEST(CardLines, BlackTextDrawsBlackLines) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    CardData data;
    data.textColor = graphics::clBlack;
    card::DrawBoxes(card->Canvas(), data);
    ExpectTableLines(*card, graphics::clBlack, graphics::clWhite);
    EXPECT_EQ(card->Canvas().Pen().Mode(), graphics::pmMask);
}

TEST(CardLines, WhiteTextDrawsWhiteLinesOnAnyBackground) {
    const TColor background = 0x336699;
    auto card = MakeCard(kCardW, kCardH, background);
    card->Canvas().Pen().SetColor(graphics::clLime);
    CardData data;
    data.textColor = graphics::clWhite;
    card::DrawBoxes(card->Canvas(), data);
    ExpectTableLines(*card, graphics::clWhite, background);
    EXPECT_EQ(card->Canvas().Pen().Mode(), graphics::pmWhite);
    // The white mode needs no colour: the pen keeps the one it had.
    EXPECT_EQ(card->Canvas().Pen().Color(), graphics::clLime);
}

TEST(CardLines, OtherColoursKeepOnlyTheirBitsOfTheBackground) {
    const TColor background = 0x4080C0;
    auto card = MakeCard(kCardW, kCardH, background);
    CardData data;
    data.textColor = graphics::clRed; // 0x0000FF
    card::DrawBoxes(card->Canvas(), data);
    ExpectTableLines(*card, 0x0000C0, background);
    EXPECT_EQ(card->Canvas().Pen().Mode(), graphics::pmMask);
    EXPECT_EQ(card->Canvas().Pen().Color(), graphics::clRed);
}

TEST(CardLines, AColourThatIsAlmostWhiteMasks) {
    const TColor background = 0x336699;
    auto card = MakeCard(kCardW, kCardH, background);
    CardData data;
    data.textColor = 0xFFFFFE;
    card::DrawBoxes(card->Canvas(), data);
    ExpectTableLines(*card, background & 0xFFFFFE, background);
}

// ---- Text rules -------------------------------------------------------------------------------

TEST(CardText, UpperCaseChangesOnlyAsciiLetters) {
    EXPECT_EQ(card::UpperCase("dl1abc/p az AZ 09 {}"), "DL1ABC/P AZ AZ 09 {}");
    // e-acute, sharp s and Cyrillic small a: bytes left exactly as they were.
    EXPECT_EQ(card::UpperCase("caf\xC3\xA9 stra\xC3\x9F"
                              "e \xD0\xB0"),
              "CAF\xC3\xA9 STRA\xC3\x9F"
              "E \xD0\xB0");
    EXPECT_EQ(card::UpperCase(""), "");
}

TEST(CardText, UpperCasedFieldsKeepAccentedLettersOnTheCard) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    CardData data;
    data.contactedStation = "oe1\xC3\xA9x";
    card::DrawBoxes(card->Canvas(), data);
    EXPECT_TRUE(CellMatches(*card, graphics::clWhite,
                            {"station", 90, 280, "OE1\xC3\xA9X", Overlay(8, graphics::clBlack)}));
}

TEST(CardText, TrimDropsBlanksAndControlCharactersAtBothEnds) {
    EXPECT_EQ(card::TrimBlanks(" \t\r\n100 W\x01 "), "100 W");
    EXPECT_EQ(card::TrimBlanks("   "), "");
    EXPECT_EQ(card::TrimBlanks(""), "");
    EXPECT_EQ(card::TrimBlanks("5"), "5");
}

TEST(CardText, PowerLineWithAndWithoutAValue) {
    for (const auto& [power, drawn] : {std::pair{"", "PWR: W"}, std::pair{"\t 5 ", "PWR: 5W"}}) {
        auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
        CardData data;
        data.power = power;
        card::DrawBoxes(card->Canvas(), data);
        EXPECT_TRUE(CellMatches(*card, graphics::clWhite,
                                {"power", 50, 145, drawn, Overlay(8, graphics::clBlack)}));
    }
}

TEST(CardText, FrequencyFieldIsNineBytesPaddedOrCut) {
    EXPECT_EQ(card::FrequencyField("7.074"), "7.074    ");
    EXPECT_EQ(card::FrequencyField("14.074000"), "14.074000");
    EXPECT_EQ(card::FrequencyField("14.0740001"), "14.074000");
    EXPECT_EQ(card::FrequencyField(""), "         ");
}

TEST(CardText, FrequencyFieldNeverSplitsAUtf8Sequence) {
    // A two-byte e-acute at bytes 8-9: cut before it, and pad to nine.
    EXPECT_EQ(card::FrequencyField("12345678\xC3\xA9"), "12345678 ");
    // Ending exactly at byte 9 it stays.
    EXPECT_EQ(card::FrequencyField("1234567\xC3\xA9"
                                   "0"),
              "1234567\xC3\xA9");
    // A four-byte sequence at bytes 6-9.
    EXPECT_EQ(card::FrequencyField("123456\xF0\x9F\x93\xBB"), "123456   ");
    // A run of stray continuation bytes is no sequence: cut where it falls.
    EXPECT_EQ(card::FrequencyField("12345\x80\x80\x80\x80\x80"), "12345\x80\x80\x80\x80");
}

TEST(CardText, TheTableShowsTheCutFrequency) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    CardData data;
    data.frequency = "14.0740001";
    card::DrawBoxes(card->Canvas(), data);
    EXPECT_TRUE(CellMatches(*card, graphics::clWhite,
                            {"MHz", 325, 280, "14.074000", Overlay(8, graphics::clBlack)}));
}

// ---- Card sizes -------------------------------------------------------------------------------

TEST(CardSizes, ASmallerCardShowsTheTopLeftOfTheFullCard) {
    const CardData data = SampleCard();
    auto full = MakeCard(kCardW, kCardH, graphics::clWhite);
    card::DrawBoxes(full->Canvas(), data);

    for (const auto& [w, h] : {std::pair{200, 100}, std::pair{60, 300}, std::pair{480, 20}}) {
        auto small = MakeCard(w, h, graphics::clWhite);
        card::DrawBoxes(small->Canvas(), data);
        const Pixels got = ReadAll(*small);
        const Pixels want = Read(*full, {0, 0, w, h});
        EXPECT_EQ(got.values, want.values) << w << " x " << h;
    }
}

TEST(CardSizes, ALargerCardKeepsTheOverlayInTheTopLeftCorner) {
    const CardData data = SampleCard();
    auto full = MakeCard(kCardW, kCardH, graphics::clWhite);
    card::DrawBoxes(full->Canvas(), data);
    auto large = MakeCard(640, 480, graphics::clWhite);
    card::DrawBoxes(large->Canvas(), data);

    EXPECT_EQ(Read(*large, {0, 0, kCardW, kCardH}).values, ReadAll(*full).values);
    const Pixels right = Read(*large, {kCardW, 0, 640, 480});
    const Pixels below = Read(*large, {0, kCardH, kCardW, 480});
    for (const Pixels* p : {&right, &below})
        for (TColor c : p->values)
            ASSERT_EQ(c, graphics::clWhite);
}

TEST(CardSizes, ATinyCardDrawsWithoutFault) {
    auto tiny = MakeCard(1, 1, graphics::clWhite);
    EXPECT_NO_THROW(card::DrawBoxes(tiny->Canvas(), SampleCard()));
}

// ---- Canvas state -----------------------------------------------------------------------------

TEST(CardState, LeavesBoldTextFontAtTheEntrySizeAndAClearBrush) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    TCanvas& canvas = card->Canvas();
    canvas.Font().SetName("DejaVu Sans Mono");
    canvas.Font().SetStyle({graphics::fsItalic, graphics::fsStrikeOut});
    canvas.Font().SetSize(12);
    canvas.Font().SetColor(graphics::clGreen);

    CardData data = SampleCard();
    data.textColor = graphics::clPurple;
    data.callIdFont = {"DejaVu Serif", {graphics::fsItalic}, 30, graphics::clBlue};
    FontDescription saved{"scratch", {}, 1, graphics::clAqua};
    card::DrawBoxes(canvas, data, saved);

    EXPECT_EQ(canvas.Font().Name(), "DejaVu Sans Mono");
    EXPECT_EQ(canvas.Font().Style(), graphics::TFontStyles{graphics::fsBold});
    EXPECT_EQ(canvas.Font().Size(), 12);
    EXPECT_EQ(canvas.Font().Color(), graphics::clPurple);
    EXPECT_EQ(canvas.Brush().Style(), graphics::bsClear);
    EXPECT_EQ(canvas.Brush().Color(), graphics::clWhite);
    EXPECT_EQ(canvas.Pen().Mode(), graphics::pmMask);
    EXPECT_EQ(canvas.Pen().Color(), graphics::clPurple);
    // The scratch holds the overlay font from before the call sign.
    EXPECT_EQ(saved,
              (FontDescription{"DejaVu Sans Mono", {graphics::fsBold}, 16, graphics::clPurple}));
}

TEST(CardState, ADefaultCanvasEndsAtEightPoints) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    card::DrawBoxes(card->Canvas(), SampleCard());
    EXPECT_EQ(card->Canvas().Font().Size(), 8);
    EXPECT_EQ(card->Canvas().Font().Name(), kCanvasFace);
}

TEST(CardState, DrawingTwiceDrawsOverTheFirstOverlay) {
    auto card = MakeCard(kCardW, kCardH, graphics::clWhite);
    CardData data = SampleCard();
    card::DrawBoxes(card->Canvas(), data);
    data.utc = "2359";
    card::DrawBoxes(card->Canvas(), data);
    EXPECT_EQ(card->Canvas().Font().Size(), 8);

    // Both times are on the card, one over the other: every pixel either of them inks is inked.
    const FontDescription font = Overlay(8, data.textColor);
    const Pixels got = Read(*card, {265, 280, 330, 300});
    for (const char* utc : {"1405", "2359"}) {
        auto alone = MakeCard(kCardW, kCardH, graphics::clWhite);
        SetFont(alone->Canvas(), font);
        alone->Canvas().Brush().SetStyle(graphics::bsClear);
        alone->Canvas().DrawTextAt(265, 280, utc);
        const Pixels want = Read(*alone, got.area);
        int inked = 0;
        for (size_t i = 0; i < want.values.size(); ++i) {
            if (want.values[i] == graphics::clWhite)
                continue;
            ++inked;
            EXPECT_NE(got.values[i], graphics::clWhite) << utc << " pixel " << i;
        }
        EXPECT_GT(inked, 0) << utc;
    }
}

// ---- A picture for people ---------------------------------------------------------------------

// Writes the card as a binary PPM (P6) when VELMORA_CARD_PNG names a path, for looking at.
void WritePpm(TBitmap& bitmap, const char* path) {
    const Pixels p = ReadAll(bitmap);
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "wb"), &std::fclose);
    ASSERT_TRUE(file) << path;
    std::fprintf(file.get(), "P6\n%d %d\n255\n", bitmap.Width(), bitmap.Height());
    std::vector<unsigned char> bytes;
    bytes.reserve(p.values.size() * 3);
    for (TColor c : p.values) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 16) & 0xFF));
    }
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
}

TEST(CardPicture, AComposedCardOnAColouredBackground) {
    auto card = MakeCard(kCardW, kCardH, 0xF0E0C0); // pale sky
    TCanvas& canvas = card->Canvas();
    canvas.Brush().SetColor(0xB0D8B0); // meadow
    canvas.FillArea({0, 190, kCardW, kCardH});
    canvas.Brush().SetColor(graphics::clWhite);

    CardData data = SampleCard();
    data.textColor = 0x402000;
    card::DrawBoxes(canvas, data);
    ExpectTableLines(*card, 0x402000 & 0xB0D8B0, 0xB0D8B0);

    if (const char* path = std::getenv("VELMORA_CARD_PNG"))
        WritePpm(*card, path);
}

} // namespace
