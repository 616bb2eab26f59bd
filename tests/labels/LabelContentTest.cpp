// The text of one label and how it is fitted: measured here with a fixed-pitch stand-in font,
// so every width is known exactly (the PDF tests measure with the real one).
#include "labels/LabelContent.h"

#include "labels/LabelSheet.h"
#include "platform/FontEngineUtf8.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace velmora::labels;

constexpr double kMmPerPt = 25.4 / 72.0;

// Every code point is half an em wide (bold ones 0.6 em); glyphs reach 0.8 em up, 0.2 em down.
class FixedPitchFont : public TextMeasurer {
  public:
    double Width(std::string_view utf8, double sizePt, FontWeight weight) override {
        ++calls;
        std::size_t count = 0;
        for (std::size_t pos = 0; pos < utf8.size(); ++count)
            platform::text::detail::DecodeUtf8(utf8, pos);
        return static_cast<double>(count) * sizePt * kMmPerPt *
               (weight == FontWeight::bold ? 0.6 : 0.5);
    }
    double Ascent(double sizePt, FontWeight) override { return 0.8 * sizePt * kMmPerPt; }
    double Descent(double sizePt, FontWeight) override { return 0.2 * sizePt * kMmPerPt; }
    int calls = 0;
};

LabelRow Row(std::string date, std::string utc, std::string mhz, std::string mode,
             std::string rst) {
    LabelRow row;
    row.date = std::move(date);
    row.utc = std::move(utc);
    row.mhz = std::move(mhz);
    row.mode = std::move(mode);
    row.rst = std::move(rst);
    return row;
}

LabelData OneContact() {
    LabelData label;
    label.call = "DL1ABC";
    label.ownCall = "G4XYZ";
    label.rows.push_back(Row("2026-12-07", "1432", "14.074", "FT8", "-12"));
    return label;
}

std::vector<std::string> Texts(const LabelDrawing& drawing) {
    std::vector<std::string> texts;
    for (const PlacedText& text : drawing.texts)
        texts.push_back(text.text);
    return texts;
}

bool Has(const LabelDrawing& drawing, std::string_view text) {
    const auto texts = Texts(drawing);
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Every glyph box and rule lies inside the label (a hair of rounding allowed).
void ExpectInside(const LabelDrawing& drawing, double width, double height, TextMeasurer& font) {
    constexpr double kHair = 1e-9;
    for (const PlacedText& text : drawing.texts) {
        SCOPED_TRACE(text.text);
        EXPECT_GE(text.x, -kHair);
        EXPECT_LE(text.x + font.Width(text.text, text.sizePt, text.weight), width + kHair);
        EXPECT_GE(text.y - font.Ascent(text.sizePt, text.weight), -kHair);
        EXPECT_LE(text.y + font.Descent(text.sizePt, text.weight), height + kHair);
    }
    for (const RuleLine& rule : drawing.rules) {
        EXPECT_GE(std::min(rule.x1, rule.x2), -kHair);
        EXPECT_LE(std::max(rule.x1, rule.x2), width + kHair);
        EXPECT_GE(std::min(rule.y1, rule.y2) - rule.width / 2, -kHair);
        EXPECT_LE(std::max(rule.y1, rule.y2) + rule.width / 2, height + kHair);
    }
}

TEST(FitText, KeepsShrinksThenCutsWithAnEllipsis) {
    FixedPitchFont font;
    const double em10 = 10 * kMmPerPt;
    // Ten characters at 10 pt are 5 em wide.
    FittedText fits = FitText("ABCDEFGHIJ", 5 * em10, 10, 5, FontWeight::regular, font);
    EXPECT_EQ(fits.text, "ABCDEFGHIJ");
    EXPECT_DOUBLE_EQ(fits.sizePt, 10);

    FittedText shrunk = FitText("ABCDEFGHIJ", 4 * em10, 10, 5, FontWeight::regular, font);
    EXPECT_EQ(shrunk.text, "ABCDEFGHIJ");
    EXPECT_NEAR(shrunk.sizePt, 8, 0.2);
    EXPECT_LE(shrunk.width, 4 * em10);

    // At the 5 pt minimum a character is a quarter of em10: the room holds five and the ellipsis.
    FittedText cut = FitText("ABCDEFGHIJ", 1.55 * em10, 10, 5, FontWeight::regular, font);
    EXPECT_EQ(cut.text, "ABCDE\xE2\x80\xA6");
    EXPECT_DOUBLE_EQ(cut.sizePt, 5);
    EXPECT_LE(cut.width, 1.55 * em10);

    EXPECT_EQ(FitText("ABCDEFGHIJ", 0.26 * em10, 10, 5, FontWeight::regular, font).text,
              "\xE2\x80\xA6");
    EXPECT_EQ(FitText("ABCDEFGHIJ", 0.24 * em10, 10, 5, FontWeight::regular, font).text, "");
    EXPECT_EQ(FitText("ABC", 0, 10, 5, FontWeight::regular, font).text, "");
    EXPECT_EQ(FitText("", 10, 10, 5, FontWeight::regular, font).text, "");
}

TEST(FitText, CutsWholeCharactersAndDropsBlanksBeforeTheEllipsis) {
    FixedPitchFont font;
    const double em5 = 5 * kMmPerPt;
    // Two-byte letters: a cut never leaves half of one.
    const FittedText umlauts = FitText("\xC3\x84\xC3\x96\xC3\x9C\xC3\x84\xC3\x96\xC3\x9C",
                                       2.1 * em5, 5, 5, FontWeight::regular, font);
    EXPECT_EQ(umlauts.text, "\xC3\x84\xC3\x96\xC3\x9C\xE2\x80\xA6");
    EXPECT_EQ(FitText("AB   CDEFGH", 2.6 * em5, 5, 5, FontWeight::regular, font).text,
              "AB\xE2\x80\xA6");
    // A long value costs a number of measurements that grows with its length's logarithm.
    font.calls = 0;
    FitText(std::string(100000, 'W'), 10 * em5, 5, 5, FontWeight::regular, font);
    EXPECT_LT(font.calls, 40);
}

TEST(CleanText, ControlCharactersAndBrokenUtf8BecomeHarmless) {
    EXPECT_EQ(CleanText("DL1\tABC\r\n"), "DL1 ABC  ");
    EXPECT_EQ(CleanText("A\xFF"
                        "B"),
              "A\xEF\xBF\xBD"
              "B");
    EXPECT_EQ(CleanText("\xC3"), "\xEF\xBF\xBD"); // cut short
    EXPECT_EQ(CleanText("M\xC2\x85"), "M ");      // C1 control (NEL)
    EXPECT_EQ(CleanText("\xE2\x80\x94 \xF0\x9F\x93\xBB"), "\xE2\x80\x94 \xF0\x9F\x93\xBB");
}

TEST(LabelContent, SaysWhoItIsForTheContactsAndTheRequest) {
    FixedPitchFont font;
    LabelData label = OneContact();
    label.qslVia = "DL9MGR";
    const LabelDrawing drawing = LayOutLabel(label, 99.1, 38.1, font);
    EXPECT_EQ(Texts(drawing),
              (std::vector<std::string>{"To Radio DL1ABC", "via DL9MGR", "Date", "UTC", "MHz",
                                        "Mode", "RST", "2026-12-07", "1432", "14.074", "FT8", "-12",
                                        "PSE QSL", "73 de G4XYZ"}));
    ASSERT_EQ(drawing.rules.size(), 1u); // under the table's header

    // The title starts at the top left, the manager ends at the right edge's padding.
    const PlacedText& title = drawing.texts[0];
    const PlacedText& via = drawing.texts[1];
    EXPECT_NEAR(title.x, 99.1 - (via.x + via.width), 1e-9);
    EXPECT_EQ(title.weight, FontWeight::bold);
    // The request sits on the bottom edge, at the same padding.
    const PlacedText& thanks = drawing.texts[drawing.texts.size() - 2];
    EXPECT_NEAR(38.1 - (thanks.y + font.Descent(thanks.sizePt, thanks.weight)), title.x, 1e-9);
    ExpectInside(drawing, 99.1, 38.1, font);
}

TEST(LabelContent, BandHeaderSatelliteLineAndThanks) {
    FixedPitchFont font;
    LabelData label = OneContact();
    label.rows[0].mhz.clear();
    label.rows[0].band = "2m";
    label.rows[0].satellite = "AO-91";
    label.rows[0].qslReceived = true;
    LabelRow second = label.rows[0];
    second.band = "70cm";
    second.satellite = "SO-50";
    label.rows.push_back(second);
    label.rows.push_back(second); // the same satellite is named once
    const LabelDrawing drawing = LayOutLabel(label, 99.1, 38.1, font);
    EXPECT_TRUE(Has(drawing, "Band"));
    EXPECT_FALSE(Has(drawing, "MHz"));
    EXPECT_TRUE(Has(drawing, "70cm"));
    EXPECT_TRUE(Has(drawing, "Satellite: AO-91, SO-50"));
    EXPECT_TRUE(Has(drawing, "TNX QSL"));
    EXPECT_FALSE(Has(drawing, "PSE QSL"));

    // One contact without their card: ask for it. One with a frequency: the column is MHz, and
    // a contact with only a band still shows it there.
    label.rows[1].qslReceived = false;
    label.rows[2].mhz = "435.300";
    const LabelDrawing mixed = LayOutLabel(label, 99.1, 38.1, font);
    EXPECT_TRUE(Has(mixed, "PSE QSL"));
    EXPECT_TRUE(Has(mixed, "MHz"));
    EXPECT_TRUE(Has(mixed, "2m"));
    EXPECT_TRUE(Has(mixed, "435.300"));
}

TEST(LabelContent, VeryLongValuesStayInsideEveryBuiltInLabel) {
    FixedPitchFont font;
    LabelData label;
    label.call = "VERYLONGCALLSIGN/" + std::string(200, 'P');
    label.qslVia = "MANAGER-" + std::string(300, 'M');
    label.ownCall = std::string(500, 'O');
    for (std::size_t i = 0; i < kMaxRowsPerLabel; ++i) {
        LabelRow row = Row("2026-12-07", "1432", std::string(80, '9'),
                           "MODE-" + std::string(120, 'X'), std::string(60, '5'));
        row.satellite = "SATELLITE-" + std::string(400, 'S') + std::to_string(i);
        label.rows.push_back(row);
    }
    for (const SheetLayout& sheet : BuiltInSheets()) {
        SCOPED_TRACE(sheet.name);
        const LabelDrawing drawing = LayOutLabel(label, sheet.labelWidth, sheet.labelHeight, font);
        ExpectInside(drawing, sheet.labelWidth, sheet.labelHeight, font);
        // Long values were cut, short ones kept whole, and nothing was dropped for lack of room.
        EXPECT_TRUE(Has(drawing, "2026-12-07"));
        EXPECT_TRUE(Has(drawing, "1432"));
        EXPECT_EQ(drawing.texts.size(), 2u + 5u + 5u * 5u + 1u + 2u);
        for (const PlacedText& text : drawing.texts) {
            if (text.text.size() > 12 && !text.text.ends_with("\xE2\x80\xA6"))
                ADD_FAILURE() << "not cut: " << text.text;
        }
    }
}

TEST(LabelContent, FiveContactsShareTheHeightOfTheSmallestLabel) {
    FixedPitchFont font;
    LabelData label = OneContact();
    for (int i = 0; i < 4; ++i)
        label.rows.push_back(label.rows[0]);
    const SheetLayout& l7651 = *FindBuiltInSheet("L7651"); // 38.1 x 21.2 mm
    const LabelDrawing drawing = LayOutLabel(label, l7651.labelWidth, l7651.labelHeight, font);
    ExpectInside(drawing, l7651.labelWidth, l7651.labelHeight, font);
    // Rows are stacked without overlapping: the baselines of the five rows' dates rise steadily.
    std::vector<double> baselines;
    double size = 0;
    for (const PlacedText& text : drawing.texts) {
        if (text.text == "2026-12-07") {
            baselines.push_back(text.y);
            size = text.sizePt;
        }
    }
    ASSERT_EQ(baselines.size(), 5u);
    for (std::size_t i = 1; i < baselines.size(); ++i)
        EXPECT_GE(baselines[i] - baselines[i - 1], font.Ascent(size, FontWeight::regular) +
                                                       font.Descent(size, FontWeight::regular) -
                                                       1e-9);

    // A large label keeps the body at its largest size instead of blowing it up.
    const LabelDrawing big = LayOutLabel(OneContact(), 200, 150, font);
    for (const PlacedText& text : big.texts)
        EXPECT_LE(text.sizePt, 1.2 * kMaxBodyPt + 1e-9);
}

TEST(LabelContent, RefusesLabelsWithoutACallOrWithTooManyContacts) {
    FixedPitchFont font;
    LabelData noCall = OneContact();
    noCall.call = " \t ";
    EXPECT_THROW(LayOutLabel(noCall, 63.5, 38.1, font), ELabelError);
    LabelData noRows = OneContact();
    noRows.rows.clear();
    EXPECT_THROW(LayOutLabel(noRows, 63.5, 38.1, font), ELabelError);
    LabelData six = OneContact();
    six.rows.resize(kMaxRowsPerLabel + 1, six.rows[0]);
    try {
        LayOutLabel(six, 63.5, 38.1, font);
        ADD_FAILURE() << "six contacts were accepted";
    } catch (const ELabelError& error) {
        EXPECT_EQ(error.message(), "A label holds at most 5 contacts; the one for DL1ABC has 6.");
    }
    // Without an own call the request stands alone; control characters never reach the page.
    LabelData plain = OneContact();
    plain.ownCall.clear();
    plain.rows[0].mode = "F\nT8";
    const LabelDrawing drawing = LayOutLabel(plain, 63.5, 38.1, font);
    EXPECT_EQ(drawing.texts.back().text, "PSE QSL");
    EXPECT_TRUE(Has(drawing, "F T8"));
}

} // namespace
