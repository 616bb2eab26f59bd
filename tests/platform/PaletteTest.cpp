#include "GdiTestSupport.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <tuple>

namespace platform {
namespace {

bool Contains(std::span<const PALETTEENTRY> entries, uint8_t r, uint8_t g, uint8_t b) {
    return std::any_of(entries.begin(), entries.end(), [&](const PALETTEENTRY& e) {
        return e.peRed == r && e.peGreen == g && e.peBlue == b;
    });
}

std::vector<PALETTEENTRY> Entries(const GdiPalette& palette) {
    std::vector<PALETTEENTRY> out(GetPaletteEntries(palette, 0, {}));
    GetPaletteEntries(palette, 0, out);
    return out;
}

TEST(Palette, CreateGetAndSetEntries) {
    LOGPALETTE lp;
    lp.palPalEntry = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
    HPALETTE p = CreatePalette(lp);
    ASSERT_TRUE(p);
    uint16_t count = 0;
    EXPECT_EQ(GetObject(*p, count), 2);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(GetPaletteEntries(*p, 0, {}), 3u);
    std::array<PALETTEENTRY, 5> out{};
    EXPECT_EQ(GetPaletteEntries(*p, 1, out), 2u);
    EXPECT_EQ(out[0], (PALETTEENTRY{4, 5, 6, 0}));
    const std::array<PALETTEENTRY, 3> update{{{10, 10, 10, 0}, {20, 20, 20, 0}, {30, 30, 30, 0}}};
    EXPECT_EQ(SetPaletteEntries(*p, 2, update), 1u); // only what fits
    EXPECT_EQ(Entries(*p)[2], (PALETTEENTRY{10, 10, 10, 0}));
    EXPECT_EQ(SetPaletteEntries(*p, 3, update), 0u);
    EXPECT_EQ(GetPaletteEntries(*p, 3, out), 0u);
}

TEST(Palette, InvalidDescriptionsAreRefused) {
    LOGPALETTE empty;
    SetLastError(0);
    EXPECT_FALSE(CreatePalette(empty));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    LOGPALETTE wrongVersion;
    wrongVersion.palVersion = 0x200;
    wrongVersion.palPalEntry.resize(4);
    EXPECT_FALSE(CreatePalette(wrongVersion));
    LOGPALETTE huge;
    huge.palPalEntry.resize(1025);
    EXPECT_FALSE(CreatePalette(huge));
}

TEST(Palette, NearestIndexByRgbDistance) {
    LOGPALETTE lp;
    lp.palPalEntry = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}, {255, 0, 0, 0}};
    HPALETTE p = CreatePalette(lp);
    EXPECT_EQ(GetNearestPaletteIndex(*p, RGB(200, 30, 30)), 1u); // the first of equal entries
    EXPECT_EQ(GetNearestPaletteIndex(*p, RGB(0, 0, 255)), 2u);
    EXPECT_EQ(GetNearestPaletteIndex(*p, RGB(40, 40, 40)), 0u);
    EXPECT_EQ(GetNearestPaletteIndex(*p, 0x020000FF), 1u); // flag byte ignored
}

TEST(Palette, HalftoneHoldsStaticColoursTheCubeAndGreys) {
    HPALETTE p = CreateHalftonePalette(nullptr);
    const auto entries = Entries(*p);
    ASSERT_EQ(entries.size(), 256u);
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                EXPECT_TRUE(Contains(entries, uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)));
            }
        }
    }
    for (auto [r, g, b] :
         {std::tuple{128, 0, 0}, std::tuple{192, 192, 192}, std::tuple{192, 220, 192},
          std::tuple{166, 202, 240}, std::tuple{255, 251, 240}, std::tuple{160, 160, 164},
          std::tuple{128, 128, 128}}) {
        EXPECT_TRUE(Contains(entries, uint8_t(r), uint8_t(g), uint8_t(b))) << r << "," << g;
    }
    EXPECT_EQ(entries.front(), (PALETTEENTRY{0, 0, 0, 0}));
    EXPECT_EQ(entries.back(), (PALETTEENTRY{255, 255, 255, 0}));
    std::set<int> greys;
    for (const PALETTEENTRY& e : entries) {
        if (e.peRed == e.peGreen && e.peGreen == e.peBlue) {
            greys.insert(e.peRed);
        }
    }
    EXPECT_GE(greys.size(), 28u); // cube greys, static greys and 20 in between
}

TEST(Palette, SystemPalette16IsTheVgaSetAndShared) {
    GdiPalette& vga = SystemPalette16();
    EXPECT_EQ(&vga, &SystemPalette16());
    const auto entries = Entries(vga);
    const std::vector<PALETTEENTRY> expected{
        {0, 0, 0, 0},       {128, 0, 0, 0},   {0, 128, 0, 0},   {128, 128, 0, 0},
        {0, 0, 128, 0},     {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0},
        {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},   {255, 255, 0, 0},
        {0, 0, 255, 0},     {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0}};
    EXPECT_EQ(entries, expected);
    const std::array<PALETTEENTRY, 1> change{{{1, 1, 1, 0}}};
    EXPECT_EQ(SetPaletteEntries(vga, 0, change), 0u);
    EXPECT_EQ(Entries(vga)[0], (PALETTEENTRY{0, 0, 0, 0}));
}

TEST(Palette, DefaultPaletteIsTheTwentyStaticColours) {
    auto& stock = static_cast<GdiPalette&>(GetStockObject(DEFAULT_PALETTE));
    const auto entries = Entries(stock);
    ASSERT_EQ(entries.size(), 20u);
    EXPECT_EQ(entries[7], (PALETTEENTRY{192, 192, 192, 0}));
    EXPECT_EQ(entries[19], (PALETTEENTRY{255, 255, 255, 0}));
}

TEST(Palette, GetDIBitsUsesTheVgaColoursForFourBits) {
    HBITMAP b = CreateCompatibleBitmap(GetScreenDC(), 1, 1);
    BITMAPINFO info = testing::DibInfo(1, 1, 4);
    ASSERT_NE(GetDIBits(GetScreenDC(), *b, 0, 1, {}, info, DIB_RGB_COLORS), 0);
    ASSERT_EQ(info.bmiColors.size(), 16u);
    EXPECT_EQ(info.bmiColors[9], testing::Quad(RGB(255, 0, 0)));
}

// ---- Pens, brushes and fonts as objects ----------------------------------------------------

TEST(Objects, PensAndBrushesDescribeThemselves) {
    HPEN pen = CreatePenIndirect(LOGPEN{PS_DASH, {3, 7}, 0xFF000008});
    ASSERT_TRUE(pen);
    LOGPEN lp;
    EXPECT_EQ(GetObject(*pen, lp), 16);
    EXPECT_EQ(lp.lopnStyle, PS_DASH);
    EXPECT_EQ(lp.lopnWidth.x, 3);
    EXPECT_EQ(lp.lopnColor, 0x000008u); // not a colour here: its low 24 bits
    EXPECT_EQ(GetObjectType(*pen), ObjectType::Pen);
    EXPECT_FALSE(CreatePenIndirect(LOGPEN{99, {1, 0}, 0}));

    HBRUSH hatch = CreateBrushIndirect(LOGBRUSH{BS_HATCHED, RGB(1, 2, 3), HS_DIAGCROSS});
    LOGBRUSH lb;
    EXPECT_EQ(GetObject(*hatch, lb), 12);
    EXPECT_EQ(lb.lbHatch, HS_DIAGCROSS);
    EXPECT_FALSE(CreateBrushIndirect(LOGBRUSH{BS_HATCHED, 0, 6}));
    EXPECT_FALSE(CreateBrushIndirect(LOGBRUSH{BS_PATTERN, 0, 0}));
    EXPECT_TRUE(UnrealizeObject(*hatch));
}

TEST(Objects, StockObjectsHaveTheirClassicValues) {
    LOGBRUSH lb;
    GetObject(static_cast<GdiBrush&>(GetStockObject(BLACK_BRUSH)), lb);
    EXPECT_EQ(lb.lbColor, RGB(0, 0, 0));
    GetObject(static_cast<GdiBrush&>(GetStockObject(NULL_BRUSH)), lb);
    EXPECT_EQ(lb.lbStyle, BS_NULL);
    LOGPEN lp;
    GetObject(static_cast<GdiPen&>(GetStockObject(WHITE_PEN)), lp);
    EXPECT_EQ(lp.lopnColor, RGB(255, 255, 255));
    GetObject(static_cast<GdiPen&>(GetStockObject(NULL_PEN)), lp);
    EXPECT_EQ(lp.lopnStyle, PS_NULL);
    EXPECT_EQ(GetObjectType(GetStockObject(SYSTEM_FONT)), ObjectType::Font);
    EXPECT_EQ(GetObjectType(GetStockObject(DEFAULT_GUI_FONT)), ObjectType::Font);
    EXPECT_EQ(&GetStockObject(WHITE_BRUSH), &GetStockObject(WHITE_BRUSH));
}

TEST(Objects, FaceNamesAreCutAtThirtyOneBytesOnACharacterBoundary) {
    LOGFONT lf;
    lf.lfFaceName = std::string(30, 'a') + "\xC3\xA9" + "bc"; // 'é' straddles byte 31
    HFONT f = CreateFontIndirect(lf);
    LOGFONT out;
    EXPECT_EQ(GetObject(*f, out), 60);
    EXPECT_EQ(out.lfFaceName, std::string(30, 'a'));
    lf.lfFaceName = std::string(40, 'x');
    HFONT g = CreateFontIndirect(lf);
    GetObject(*g, out);
    EXPECT_EQ(out.lfFaceName.size(), 31u);
}

} // namespace
} // namespace platform
