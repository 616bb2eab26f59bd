// Tool defaults, assignment rules and the shared device objects.
#include "graphics/Tools.h"

#include "graphics/Canvas.h"
#include "graphics/Exceptions.h"
#include "platform/Kernel.h"

#include <gtest/gtest.h>

namespace graphics {
namespace {

TEST(Font, DefaultsAreMsSansSerifEightPointsInWindowText) {
    TFont font;
    EXPECT_EQ(font.Name(), "MS Sans Serif");
    EXPECT_EQ(font.PixelsPerInch(), 96);
    EXPECT_EQ(font.Height(), -11);
    EXPECT_EQ(font.Size(), 8);
    EXPECT_TRUE(font.Style().Empty());
    EXPECT_EQ(font.Charset(), platform::DEFAULT_CHARSET);
    EXPECT_EQ(font.Pitch(), fpDefault);
    EXPECT_EQ(font.Color(), clWindowText);
    EXPECT_EQ(uint32_t(clWindowText), 0xFF000008u);
}

TEST(Font, SizesOfTheCardStoreRoundedHeightsAndReadBack) {
    struct Case {
        int size;
        int height;
    };
    for (Case c : {Case{8, -11}, Case{10, -13}, Case{11, -15}, Case{16, -21}, Case{24, -32}}) {
        TFont font;
        font.SetSize(c.size);
        EXPECT_EQ(font.Height(), c.height) << c.size;
        EXPECT_EQ(font.Size(), c.size) << c.size;
    }
}

TEST(Font, NameIsCutTo31BytesAndEmptyNameIgnored) {
    TFont font;
    font.SetName("");
    EXPECT_EQ(font.Name(), "MS Sans Serif");
    font.SetName(std::string(40, 'a'));
    EXPECT_EQ(font.Name(), std::string(31, 'a'));
    // 30 ASCII bytes and a two-byte sequence: the sequence would straddle byte 31.
    font.SetName(std::string(30, 'b') + "\xC3\xA9" + "x");
    EXPECT_EQ(font.Name(), std::string(30, 'b'));
    // A three-byte sequence ending exactly at byte 31 stays whole.
    font.SetName(std::string(28, 'c') + "\xE2\x82\xAC" + "yz");
    EXPECT_EQ(font.Name(), std::string(28, 'c') + "\xE2\x82\xAC");
}

TEST(Font, DefaultNameResolvesToTheDefaultFace) {
    TFont font;
    font.SetName("default");
    EXPECT_EQ(font.Name(), "default");
    EXPECT_EQ(font.LogFont().lfFaceName, "MS Sans Serif");
}

TEST(Font, LogFontCarriesStyleWeightAndPitch) {
    TFont font;
    font.SetStyle({fsBold, fsUnderline});
    font.SetPitch(fpFixed);
    const platform::LOGFONT lf = font.LogFont();
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(lf.lfItalic, 0);
    EXPECT_EQ(lf.lfUnderline, 1);
    EXPECT_EQ(lf.lfStrikeOut, 0);
    EXPECT_EQ(lf.lfPitchAndFamily, 1);
    EXPECT_EQ(lf.lfHeight, -11);
    font.SetPitch(fpVariable);
    EXPECT_EQ(font.LogFont().lfPitchAndFamily, 2);
}

TEST(Font, CopyFromKeepsThePointSizeAcrossResolutions) {
    TFont source;
    source.SetPixelsPerInch(120);
    source.SetSize(10); // height -17 at 120 pixels per inch
    source.SetName("Arial");
    source.SetColor(clRed);
    source.SetStyle({fsItalic});
    TFont target;
    target.CopyFrom(&source);
    EXPECT_EQ(target.Name(), "Arial");
    EXPECT_EQ(target.Color(), clRed);
    EXPECT_TRUE(target.Style().Contains(fsItalic));
    EXPECT_EQ(target.PixelsPerInch(), 96);
    EXPECT_EQ(target.Size(), 10);
    EXPECT_EQ(target.Height(), -13);

    TFont same;
    same.SetPixelsPerInch(120);
    same.CopyFrom(&source);
    EXPECT_EQ(same.Height(), -17);
}

TEST(Font, ChangeFiresOnlyForEffectiveChanges) {
    TFont font;
    int changes = 0;
    font.OnChange = [&](TGraphicsObject&) { ++changes; };
    font.SetSize(8);
    font.SetName("MS Sans Serif");
    font.SetColor(clWindowText);
    EXPECT_EQ(changes, 0);
    font.SetSize(16);
    font.SetColor(clBlue);
    EXPECT_EQ(changes, 2);
}

TEST(Font, AssigningANonFontRaisesConvertError) {
    TFont font;
    TPen pen;
    try {
        font.CopyFrom(&pen);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "Cannot assign a TPen to a TFont");
    }
    try {
        font.CopyFrom(nullptr);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "Cannot assign a nil to a TFont");
    }
}

TEST(Pen, DefaultsAndNegativeWidthIgnored) {
    TPen pen;
    EXPECT_EQ(pen.Color(), clBlack);
    EXPECT_EQ(pen.Width(), 1);
    EXPECT_EQ(pen.Style(), psSolid);
    EXPECT_EQ(pen.Mode(), pmCopy);
    pen.SetWidth(3);
    pen.SetWidth(-1);
    EXPECT_EQ(pen.Width(), 3);
    pen.SetWidth(0);
    EXPECT_EQ(pen.Width(), 0);
}

TEST(Pen, ModesMapToTheirRasterOperations) {
    const int expected[] = {1, 16, 11, 6, 13, 4, 14, 5, 12, 3, 15, 2, 9, 8, 7, 10};
    for (int m = pmBlack; m <= pmNotXor; ++m)
        EXPECT_EQ(PenModeToRop2(TPenMode(m)), expected[m]) << m;
    for (int s = psSolid; s <= psInsideFrame; ++s)
        EXPECT_EQ(PenStyleToDevice(TPenStyle(s)), uint32_t(s));
}

TEST(Pen, CopyFromTakesColourWidthStyleAndMode) {
    TPen source;
    source.SetColor(clRed);
    source.SetWidth(4);
    source.SetStyle(psDot);
    source.SetMode(pmXor);
    TPen target;
    target.CopyFrom(&source);
    EXPECT_EQ(target.Color(), clRed);
    EXPECT_EQ(target.Width(), 4);
    EXPECT_EQ(target.Style(), psDot);
    EXPECT_EQ(target.Mode(), pmXor);
}

TEST(Brush, ClearStyleWhitensAndColourMakesSolidAgain) {
    TBrush brush;
    EXPECT_EQ(brush.Color(), clWhite);
    EXPECT_EQ(brush.Style(), bsSolid);
    brush.SetColor(clRed);
    brush.SetStyle(bsClear);
    EXPECT_EQ(brush.Color(), clWhite);
    EXPECT_EQ(brush.Style(), bsClear);
    brush.SetColor(clBlack);
    EXPECT_EQ(brush.Style(), bsSolid);
    EXPECT_EQ(brush.Color(), clBlack);
    // Setting any colour, even white, ends the clear style.
    brush.SetStyle(bsClear);
    brush.SetColor(clWhite);
    EXPECT_EQ(brush.Style(), bsSolid);
    // A hatch keeps its colour.
    brush.SetColor(clBlue);
    brush.SetStyle(bsCross);
    EXPECT_EQ(brush.Color(), clBlue);
}

TEST(Brush, CopyFromTakesColourStyleAndPattern) {
    TBrush source;
    source.SetStyle(bsDiagCross);
    source.SetColor(clGreen);
    TBrush target;
    target.CopyFrom(&source);
    EXPECT_EQ(target.Style(), bsDiagCross);
    EXPECT_EQ(target.Color(), clGreen);
    EXPECT_EQ(target.Bitmap(), nullptr);
}

TEST(DeviceObjects, EqualRecordsShareOneObjectUntilTheLastUserGoes) {
    const size_t before = PenCacheSize();
    {
        auto a = std::make_unique<TPen>();
        auto b = std::make_unique<TPen>();
        a->SetColor(0x123456);
        b->SetColor(0x123456);
        EXPECT_EQ(&a->Handle(), &b->Handle());
        EXPECT_EQ(PenCacheSize(), before + 1);
        b->SetColor(0x654321);
        EXPECT_NE(&a->Handle(), &b->Handle());
        EXPECT_EQ(PenCacheSize(), before + 2);
        a.reset();
        EXPECT_EQ(PenCacheSize(), before + 1);
    }
    EXPECT_EQ(PenCacheSize(), before);
}

TEST(DeviceObjects, FontsAndBrushesShareByRecordToo) {
    TFont a;
    TFont b;
    a.SetSize(16);
    b.SetSize(16);
    EXPECT_EQ(&a.Handle(), &b.Handle());
    // The colour is not part of the shared record.
    b.SetColor(clRed);
    EXPECT_EQ(&a.Handle(), &b.Handle());
    b.SetStyle({fsBold});
    EXPECT_NE(&a.Handle(), &b.Handle());

    TBrush c;
    TBrush d;
    d.SetStyle(bsClear);
    EXPECT_NE(&c.Handle(), &d.Handle());
    d.SetColor(clWhite);
    EXPECT_EQ(&c.Handle(), &d.Handle());
}

TEST(FontName, CutNeverSplitsASequence) {
    EXPECT_EQ(CutFontName("short"), "short");
    const std::string euros = "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                              "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                              "\xE2\x82\xAC\xE2\x82\xAC"; // 12 x 3 bytes
    EXPECT_EQ(CutFontName(euros), euros.substr(0, 30));
}

} // namespace
} // namespace graphics
