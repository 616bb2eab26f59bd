// Text on a card: about thirty short strings in two or three fonts per draw.
#include "platform/FontEngine.h"

#include <array>
#include <benchmark/benchmark.h>
#include <string_view>

namespace {

using platform::LOGFONT;
using platform::text::RealizedFont;

constexpr std::array<std::string_view, 30> kCardTexts = {"DL1ABC",
                                                         "GERMANY",
                                                         "Hans Mustermann",
                                                         "Hauptstrasse 12",
                                                         "Musterstadt",
                                                         "NRW",
                                                         "12345",
                                                         "Rig: IC-7300",
                                                         "Pwr: 100 W",
                                                         "Ant: Dipole",
                                                         "Tnx QSO 73",
                                                         "Confirming QSO With",
                                                         "Date",
                                                         "UTC",
                                                         "MHz",
                                                         "RST",
                                                         "Mode",
                                                         "W1AW",
                                                         "2024-05-01",
                                                         "14:05",
                                                         "14.205",
                                                         "59",
                                                         "SSB",
                                                         "PSE QSL TNX",
                                                         "QTH",
                                                         "Operator",
                                                         "K\xC3\xB6ln",
                                                         "Grid JO30",
                                                         "CQ DX",
                                                         "via bureau"};

LOGFONT Request(int32_t height, int32_t weight = platform::FW_NORMAL) {
    LOGFONT font;
    font.lfFaceName = "MS Sans Serif";
    font.lfHeight = height;
    font.lfWeight = weight;
    return font;
}

void BM_LayoutCardTextWarm(benchmark::State& state) {
    const auto font = RealizedFont::Get(Request(-11));
    for (std::string_view text : kCardTexts) {
        benchmark::DoNotOptimize(font->Layout(text));
    }
    for (auto _ : state) {
        for (std::string_view text : kCardTexts) {
            benchmark::DoNotOptimize(font->Layout(text));
        }
    }
}
BENCHMARK(BM_LayoutCardTextWarm);

void BM_MeasureCardTextWarm(benchmark::State& state) {
    const auto font = RealizedFont::Get(Request(-11));
    for (auto _ : state) {
        for (std::string_view text : kCardTexts) {
            benchmark::DoNotOptimize(font->MeasureWidth(text));
        }
    }
}
BENCHMARK(BM_MeasureCardTextWarm);

void BM_GetCachedFont(benchmark::State& state) {
    const LOGFONT request = Request(-32, platform::FW_BOLD);
    const auto keep = RealizedFont::Get(request);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RealizedFont::Get(request));
    }
}
BENCHMARK(BM_GetCachedFont);

// A cold font each time: matching, opening the face and rendering every glyph of the card.
void BM_FirstDrawColdFont(benchmark::State& state) {
    int32_t height = 100;
    for (auto _ : state) {
        const auto font = RealizedFont::Get(Request(-(height++)));
        for (std::string_view text : kCardTexts) {
            benchmark::DoNotOptimize(font->Layout(text));
        }
        if (height > 1500) {
            height = 100;
        }
    }
}
BENCHMARK(BM_FirstDrawColdFont)->Unit(benchmark::kMillisecond);

} // namespace
