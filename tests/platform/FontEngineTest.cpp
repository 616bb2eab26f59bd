#include "platform/FontEngine.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

// Counts heap allocations made by the current thread while a test asks for it, so the test can
// check that drawing text with warm caches allocates nothing but the run itself.
namespace {
thread_local bool gCountAllocations = false;
thread_local int gAllocations = 0;
} // namespace

void* operator new(std::size_t size) {
    if (gCountAllocations) {
        ++gAllocations;
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

using namespace platform;
using namespace platform::text;

LOGFONT Request(std::string face, int32_t height, int32_t weight = FW_NORMAL, bool italic = false) {
    LOGFONT font;
    font.lfFaceName = std::move(face);
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfItalic = italic ? 1 : 0;
    return font;
}

std::shared_ptr<RealizedFont> Font(std::string face, int32_t height, int32_t weight = FW_NORMAL,
                                   bool italic = false) {
    return RealizedFont::Get(Request(std::move(face), height, weight, italic));
}

std::shared_ptr<RealizedFont> CardFont() {
    return Font("MS Sans Serif", -11);
}

int EmOf(const FontMetrics& metrics) {
    return metrics.height - metrics.internalLeading;
}

int64_t InkOf(const GlyphImage& image) {
    return std::accumulate(image.coverage.begin(), image.coverage.end(), int64_t{0});
}

int64_t InkOfRow(const GlyphImage& image, int row) {
    const auto begin = image.coverage.begin() + ptrdiff_t(row) * image.pitch;
    return std::accumulate(begin, begin + image.width, int64_t{0});
}

// Mean column of the ink in one row, for telling a slanted glyph from an upright one.
double InkCentreOfRow(const GlyphImage& image, int row) {
    double weighted = 0;
    double total = 0;
    for (int x = 0; x < image.width; ++x) {
        const int value = image.coverage[size_t(row) * size_t(image.pitch) + size_t(x)];
        weighted += double(value) * x;
        total += value;
    }
    return total > 0 ? weighted / total : 0;
}

const GlyphImage& ImageOf(RealizedFont& font, std::string_view character) {
    const TextRun run = font.Layout(character);
    EXPECT_EQ(run.glyphs.size(), 1u);
    return *run.glyphs.front().image;
}

// ---- Face resolution ---------------------------------------------------------------------------

class DefaultFaceNames : public testing::TestWithParam<const char*> {};

TEST_P(DefaultFaceNames, ResolveToLiberationSansAndShareOneFont) {
    const auto font = Font(GetParam(), -11);
    EXPECT_EQ(font->Metrics().familyName, "Liberation Sans");
    EXPECT_EQ(font, CardFont());
}

INSTANTIATE_TEST_SUITE_P(FontEngine, DefaultFaceNames,
                         testing::Values("MS Sans Serif", "ms sans serif", "Default", "default",
                                         "DEFAULT", ""));

TEST(FontEngineFaces, NamedFacesGoThroughFontconfig) {
    EXPECT_EQ(Font("DejaVu Sans", -11)->Metrics().familyName, "DejaVu Sans");
    EXPECT_EQ(Font("liberation mono", -11)->Metrics().familyName, "Liberation Mono");
}

TEST(FontEngineFaces, UnknownFaceFallsBackToAUsableFace) {
    const auto font = Font("No Such Face Anywhere", -11);
    EXPECT_FALSE(font->Metrics().familyName.empty());
    EXPECT_GT(font->Metrics().height, 0);
    EXPECT_GT(font->MeasureWidth("QSL"), 0);
    EXPECT_GT(InkOf(ImageOf(*font, "Q")), 0);
}

TEST(FontEngineFaces, FixedPitchRequestGetsAMonospacedFace) {
    LOGFONT request = Request("No Such Face Anywhere", -13);
    request.lfPitchAndFamily = FIXED_PITCH;
    const auto unknown = RealizedFont::Get(request);
    EXPECT_EQ(unknown->MeasureWidth("iii"), unknown->MeasureWidth("WWW"));

    const auto mono = Font("Liberation Mono", -13);
    EXPECT_EQ(mono->MeasureWidth("iii"), mono->MeasureWidth("WWW"));
    EXPECT_LT(CardFont()->MeasureWidth("iii"), CardFont()->MeasureWidth("WWW"));
}

// ---- Sizes and vertical metrics ----------------------------------------------------------------

TEST(FontEngineSizes, EightPointCardFont) {
    const FontMetrics& metrics = CardFont()->Metrics();
    EXPECT_EQ(EmOf(metrics), 11);
    EXPECT_EQ(metrics.height, metrics.ascent + metrics.descent);
    EXPECT_EQ(metrics.height, 13);
    EXPECT_GT(metrics.ascent, metrics.descent);
    EXPECT_GT(metrics.descent, 0);
}

TEST(FontEngineSizes, NegativeHeightIsTheEmSize) {
    int previousHeight = 0;
    for (int em = 6; em <= 72; ++em) {
        SCOPED_TRACE(em);
        const FontMetrics& metrics = Font("MS Sans Serif", -em)->Metrics();
        EXPECT_EQ(EmOf(metrics), em);
        EXPECT_EQ(metrics.height, metrics.ascent + metrics.descent);
        EXPECT_GE(metrics.height, previousHeight);
        previousHeight = metrics.height;
    }
}

TEST(FontEngineSizes, PositiveHeightIsTheCellHeight) {
    EXPECT_EQ(Font("MS Sans Serif", 13)->Metrics().height, 13);
    for (int cell = 6; cell <= 80; ++cell) {
        SCOPED_TRACE(cell);
        const FontMetrics& metrics = Font("MS Sans Serif", cell)->Metrics();
        EXPECT_LE(std::abs(metrics.height - cell), 1);
        EXPECT_EQ(metrics.height, metrics.ascent + metrics.descent);
        EXPECT_GE(metrics.internalLeading, 0);
    }
}

TEST(FontEngineSizes, ZeroHeightIsTheEightPointDefault) {
    EXPECT_EQ(Font("MS Sans Serif", 0), CardFont());
}

TEST(FontEngineSizes, AbsurdHeightsAreClamped) {
    for (const int32_t height : {INT_MIN, -100000, -2001}) {
        SCOPED_TRACE(height);
        const auto font = Font("MS Sans Serif", height);
        EXPECT_EQ(EmOf(font->Metrics()), 2000);
        EXPECT_EQ(font, Font("MS Sans Serif", -2000));
    }
    for (const int32_t height : {INT_MAX, 100000, 2001}) {
        SCOPED_TRACE(height);
        const auto font = Font("MS Sans Serif", height);
        EXPECT_LE(std::abs(font->Metrics().height - 2000), 1);
        EXPECT_EQ(font, Font("MS Sans Serif", 2000));
    }
    // One huge glyph still renders and measures sensibly.
    const auto huge = Font("MS Sans Serif", INT_MIN);
    const TextRun run = huge->Layout("I");
    EXPECT_GT(run.glyphs.front().image->rows, 1000);
    EXPECT_LT(run.advance, 2000);
}

TEST(FontEngineSizes, DecorationsLieInsideTheCell) {
    for (const int32_t height : {-8, -11, -13, -21, -32, -64, 13, 40}) {
        SCOPED_TRACE(height);
        const FontMetrics& metrics = Font("MS Sans Serif", height)->Metrics();
        EXPECT_GE(metrics.underlineThickness, 1);
        EXPECT_GE(metrics.underlinePosition, 0);
        EXPECT_LE(metrics.underlinePosition + metrics.underlineThickness, metrics.descent);
        EXPECT_GE(metrics.strikeoutThickness, 1);
        EXPECT_GE(metrics.strikeoutPosition, metrics.strikeoutThickness);
        EXPECT_LT(metrics.strikeoutPosition, metrics.ascent);
    }
    EXPECT_GT(Font("MS Sans Serif", -64)->Metrics().underlineThickness,
              CardFont()->Metrics().underlineThickness);
}

// ---- Widths ----------------------------------------------------------------------------------

TEST(FontEngineWidths, CharacterWidthMetricsMatchTheGlyphs) {
    const auto font = CardFont();
    const FontMetrics& metrics = font->Metrics();
    EXPECT_EQ(metrics.aveCharWidth, font->MeasureWidth("x"));
    for (char c = ' '; c <= '~'; ++c) {
        SCOPED_TRACE(c);
        EXPECT_LE(font->MeasureWidth(std::string(1, c)), metrics.maxCharWidth);
    }
}

TEST(FontEngineWidths, BoldUsesTheRealBoldFaceAndIsWider) {
    const auto regular = CardFont();
    const auto bold = Font("MS Sans Serif", -11, FW_BOLD);
    EXPECT_NE(bold, regular);
    EXPECT_FALSE(bold->Synthetic());
    EXPECT_EQ(bold->Metrics().familyName, "Liberation Sans");
    EXPECT_GT(bold->MeasureWidth("Confirming QSO With"),
              regular->MeasureWidth("Confirming QSO With"));
    EXPECT_GT(bold->MeasureWidth("QSL"), regular->MeasureWidth("QSL"));
    EXPECT_GT(InkOf(ImageOf(*bold, "I")), InkOf(ImageOf(*regular, "I")));
}

TEST(FontEngineWidths, ItalicUsesTheRealItalicFace) {
    const auto italic = Font("MS Sans Serif", -32, FW_NORMAL, true);
    EXPECT_FALSE(italic->Synthetic());
    const GlyphImage& slanted = ImageOf(*italic, "I");
    // The stem leans right: its top row lies further right than its bottom row.
    EXPECT_GT(InkCentreOfRow(slanted, 0), InkCentreOfRow(slanted, slanted.rows - 1) + 1);
}

// DejaVu Math TeX Gyre comes in one style only, so bold and italic must be synthesised.
TEST(FontEngineWidths, MissingStylesAreSynthesised) {
    const std::string face = "DejaVu Math TeX Gyre";
    const auto regular = Font(face, -32);
    if (regular->Metrics().familyName != face) {
        GTEST_SKIP() << face << " is not installed";
    }
    EXPECT_FALSE(regular->Synthetic());

    const auto bold = Font(face, -32, FW_BOLD);
    EXPECT_TRUE(bold->Synthetic());
    EXPECT_GT(bold->MeasureWidth("QSL"), regular->MeasureWidth("QSL"));
    EXPECT_EQ(bold->MeasureWidth("QSL"), bold->Layout("QSL").advance);
    EXPECT_GT(InkOf(ImageOf(*bold, "I")), InkOf(ImageOf(*regular, "I")));

    const auto italic = Font(face, -32, FW_NORMAL, true);
    EXPECT_TRUE(italic->Synthetic());
    EXPECT_EQ(italic->MeasureWidth("QSL"), regular->MeasureWidth("QSL"));
    const GlyphImage& upright = ImageOf(*regular, "I");
    const GlyphImage& slanted = ImageOf(*italic, "I");
    EXPECT_NEAR(InkCentreOfRow(upright, 0), InkCentreOfRow(upright, upright.rows - 1), 1.0);
    EXPECT_GT(InkCentreOfRow(slanted, 0), InkCentreOfRow(slanted, slanted.rows - 1) + 2);
}

TEST(FontEngineWidths, MeasuringAgreesWithLayout) {
    const std::vector<std::string> texts = {
        "",
        "QSL",
        "Confirming QSO With",
        "Date",
        "  UTC  ",
        "73 de DL1ABC, Rig: IC-7300 100 W",
        "K\xC3\xB6ln \xE2\x80\x93 \xC3\x84\xC3\x96\xC3\x9C \xC3\x9F \xE2\x82\xAC",
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
        "\xF0\x9F\x93\xBB radio",
        "bad \xFF\xFE bytes \xC3",
        "\xE2\x82",
        "tab\tnew\nline\r",
        std::string("nul\0byte", 8),
    };
    for (const int32_t height : {-11, -21, 13}) {
        for (const int32_t weight : {FW_NORMAL, FW_BOLD}) {
            const auto font = Font("MS Sans Serif", height, weight);
            for (const std::string& text : texts) {
                SCOPED_TRACE(testing::Message() << height << "/" << weight << ": " << text);
                const TextRun run = font->Layout(text);
                EXPECT_EQ(font->MeasureWidth(text), run.advance);
                int32_t previous = 0;
                for (const PlacedGlyph& glyph : run.glyphs) {
                    ASSERT_NE(glyph.image, nullptr);
                    EXPECT_GE(glyph.x, previous);
                    previous = glyph.x;
                }
                EXPECT_LE(previous, run.advance);
            }
        }
    }
}

TEST(FontEngineWidths, AdvancesAddUpWithoutKerning) {
    const auto font = Font("MS Sans Serif", -21);
    const int32_t a = font->MeasureWidth("A");
    const int32_t v = font->MeasureWidth("V");
    EXPECT_EQ(font->MeasureWidth("AVAV"), 2 * (a + v));
    const TextRun run = font->Layout("AVAV");
    ASSERT_EQ(run.glyphs.size(), 4u);
    EXPECT_EQ(run.glyphs[0].x, 0);
    EXPECT_EQ(run.glyphs[1].x, a);
    EXPECT_EQ(run.glyphs[2].x, a + v);
    EXPECT_EQ(run.glyphs[3].x, 2 * a + v);
}

// ---- UTF-8 -----------------------------------------------------------------------------------

struct Utf8Case {
    const char* name;
    std::string bytes;
    size_t codePoints; // each maximal ill-formed subsequence counts as one U+FFFD
    size_t replacements;
};

TEST(FontEngineUtf8, IllFormedBytesBecomeOneReplacementEach) {
    const std::vector<Utf8Case> cases = {
        {"ascii", "abc", 3, 0},
        {"two-byte", "\xC3\xA4", 1, 0},
        {"three-byte", "\xE2\x82\xAC", 1, 0},
        {"four-byte", "\xF0\x9F\x93\xBB", 1, 0},
        {"invalid lead", "\xFF", 1, 1},
        {"stray continuations", "\x80\x80", 2, 2},
        {"overlong slash", "\xC0\xAF", 2, 2},
        {"truncated three-byte", "\xE2\x82", 1, 1},
        {"truncated then letter", "\xE2\x82x", 2, 1},
        {"truncated four-byte", "\xF0\x9F\x93", 1, 1},
        {"overlong three-byte", "\xE0\x80\xAF", 3, 3},
        {"surrogate", "\xED\xA0\x80", 3, 3},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", 4, 4},
        {"lead before ascii",
         "\xC3"
         "A",
         2, 1},
    };
    const auto font = CardFont();
    const int32_t replacement = font->MeasureWidth("\xEF\xBF\xBD");
    const auto validWidth = [&](const std::string& bytes) {
        std::string valid;
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80) {
                valid += c;
            }
        }
        return font->MeasureWidth(valid);
    };
    for (const Utf8Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TextRun run = font->Layout(c.bytes);
        EXPECT_EQ(run.glyphs.size(), c.codePoints);
        EXPECT_EQ(font->MeasureWidth(c.bytes), run.advance);
        if (c.replacements > 0) {
            EXPECT_EQ(run.advance, validWidth(c.bytes) + int32_t(c.replacements) * replacement);
        }
    }
}

TEST(FontEngineUtf8, DecodingStopsAtTheEndOfTheView) {
    const auto font = CardFont();
    const std::string euro = "\xE2\x82\xAC";
    const std::string_view cut(euro.data(), 2); // the byte after the view would complete it
    const TextRun run = font->Layout(cut);
    ASSERT_EQ(run.glyphs.size(), 1u);
    EXPECT_EQ(run.glyphs[0].image, font->Layout("\xEF\xBF\xBD").glyphs[0].image);
    EXPECT_NE(run.glyphs[0].image, font->Layout(euro).glyphs[0].image);
    EXPECT_EQ(font->MeasureWidth(cut), font->MeasureWidth("\xEF\xBF\xBD"));
}

// ---- Glyph coverage and the cache ------------------------------------------------------------

TEST(FontEngineGlyphs, CapitalIHasInkInsideItsBoxAndAdvance) {
    for (const int32_t height : {-11, -21, -32}) {
        SCOPED_TRACE(height);
        const auto font = Font("MS Sans Serif", height);
        const FontMetrics& metrics = font->Metrics();
        const TextRun run = font->Layout("I");
        ASSERT_EQ(run.glyphs.size(), 1u);
        const GlyphImage& image = *run.glyphs[0].image;
        ASSERT_GT(image.width, 0);
        ASSERT_GT(image.rows, 0);
        ASSERT_GE(image.pitch, image.width);
        ASSERT_GE(image.coverage.size(),
                  size_t(image.pitch) * size_t(image.rows - 1) + size_t(image.width));
        EXPECT_GE(*std::max_element(image.coverage.begin(), image.coverage.end()), 200);
        for (int y = 0; y < image.rows; ++y) {
            EXPECT_GT(InkOfRow(image, y), 0) << "row " << y; // the stem is unbroken
        }
        EXPECT_GE(run.glyphs[0].x + image.left, 0);
        EXPECT_LE(run.glyphs[0].x + image.left + image.width, run.advance);
        EXPECT_LE(image.top, metrics.ascent);
        EXPECT_EQ(image.top, image.rows); // a capital sits on the baseline
    }
}

TEST(FontEngineGlyphs, PrintableAsciiFitsTheCellVertically) {
    for (const int32_t height : {-8, -11, -13, -21, -32, -64}) {
        const auto font = Font("MS Sans Serif", height);
        const FontMetrics& metrics = font->Metrics();
        for (char c = '!'; c <= '~'; ++c) {
            SCOPED_TRACE(testing::Message() << height << " '" << c << "'");
            const GlyphImage& image = ImageOf(*font, std::string(1, c));
            EXPECT_GT(InkOf(image), 0);
            EXPECT_LE(image.top, metrics.ascent);
            EXPECT_LE(image.rows - image.top, metrics.descent);
        }
    }
}

TEST(FontEngineGlyphs, SpaceAdvancesWithoutInk) {
    const auto font = CardFont();
    const TextRun run = font->Layout(" ");
    ASSERT_EQ(run.glyphs.size(), 1u);
    EXPECT_GT(run.advance, 0);
    EXPECT_EQ(InkOf(*run.glyphs[0].image), 0);
}

TEST(FontEngineGlyphs, EachGlyphIsRenderedOnceAndKept) {
    const auto font = CardFont();
    const TextRun first = font->Layout("SOS");
    const TextRun second = font->Layout("OS");
    ASSERT_EQ(first.glyphs.size(), 3u);
    EXPECT_EQ(first.glyphs[0].image, first.glyphs[2].image);
    EXPECT_EQ(second.glyphs[0].image, first.glyphs[1].image);
    EXPECT_EQ(second.glyphs[1].image, first.glyphs[0].image);
}

TEST(FontEngineGlyphs, MeasuringFirstStillRendersOnLayout) {
    // A size no other test uses, so the glyph's first visit is a measurement.
    const auto font = Font("MS Sans Serif", -37);
    const int32_t width = font->MeasureWidth("\xC5\x8B"); // U+014B, eng
    const TextRun run = font->Layout("\xC5\x8B");
    EXPECT_EQ(run.advance, width);
    EXPECT_GT(InkOf(*run.glyphs[0].image), 0);
}

TEST(FontEngineGlyphs, WarmCachesAllocateOnlyTheRun) {
    const auto font = CardFont();
    const std::string text = "Confirming QSO With";
    (void)font->Layout(text);

    gAllocations = 0;
    gCountAllocations = true;
    const TextRun run = font->Layout(text);
    const int32_t width = font->MeasureWidth(text);
    gCountAllocations = false;

    EXPECT_EQ(gAllocations, 1); // the glyph vector
    EXPECT_EQ(width, run.advance);
}

// ---- Sharing -----------------------------------------------------------------------------------

TEST(FontEngineSharing, EqualRequestsShareOneFont) {
    const LOGFONT request = Request("Liberation Serif", -15, FW_BOLD, true);
    const auto font = RealizedFont::Get(request);
    EXPECT_EQ(RealizedFont::Get(request), font);
    EXPECT_EQ(Font("LIBERATION serif", -15, FW_BOLD, true), font);

    // Fields the engine does not use do not split the cache.
    LOGFONT unused = request;
    unused.lfWidth = 7;
    unused.lfEscapement = 900;
    unused.lfQuality = 4;
    unused.lfPitchAndFamily = 0x20; // a family nibble, no pitch
    EXPECT_EQ(RealizedFont::Get(unused), font);
}

TEST(FontEngineSharing, FieldsThatMatterGiveDistinctFonts) {
    const LOGFONT base = Request("Liberation Serif", -15);
    const auto font = RealizedFont::Get(base);
    std::vector<LOGFONT> variants(7, base);
    variants[0].lfHeight = -16;
    variants[1].lfWeight = FW_BOLD;
    variants[2].lfItalic = 1;
    variants[3].lfUnderline = 1;
    variants[4].lfStrikeOut = 1;
    variants[5].lfCharSet = ANSI_CHARSET;
    variants[6].lfPitchAndFamily = VARIABLE_PITCH;
    for (size_t i = 0; i < variants.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(RealizedFont::Get(variants[i]), font);
    }
    // Underline is drawn by the device; the face and its metrics are the same.
    EXPECT_EQ(RealizedFont::Get(variants[3])->Metrics().height, font->Metrics().height);
}

TEST(FontEngineSharing, ThreadsShareFontsAndGlyphsSafely) {
    const std::string text = "QSL \xC3\x84 Confirming QSO With 14.205 MHz";
    std::atomic<int> mismatches{0};
    std::vector<std::shared_ptr<RealizedFont>> seen(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < seen.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const auto font = Font("DejaVu Serif", -(10 + i % 5), i % 2 ? FW_BOLD : FW_NORMAL);
                if (font->MeasureWidth(text) != font->Layout(text).advance) {
                    ++mismatches;
                }
            }
            seen[t] = Font("DejaVu Serif", -12);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
    for (const auto& font : seen) {
        EXPECT_EQ(font, seen.front());
    }
}

} // namespace
