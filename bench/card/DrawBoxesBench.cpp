// The Verify step's drawing: the whole overlay on a 495 x 315 card. The fonts are realised and
// their glyphs cached by a first draw, as they are after the first Verify of a session.
#include "card/CardComposer.h"
#include "graphics/Bitmap.h"
#include "graphics/Tools.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

card::CardData BenchCard() {
    card::CardData d;
    d.callSign = "dl1abc";
    d.operatorName = "Hans Mustermann";
    d.date = "2024-05-01";
    d.utc = "1405";
    d.frequency = "14.205";
    d.rst = "59";
    d.mode = "SSB";
    d.thanks = "73 es tks fer qso, pse qsl";
    d.country = "Germany";
    d.qth = "Hauptstrasse 12";
    d.contactedStation = "w1aw";
    d.rig = "IC-7300";
    d.contactedOperator = "Joe";
    d.city = "Musterstadt";
    d.state = "NRW";
    d.antenna = "Dipole";
    d.zip = "12345";
    d.power = "100";
    d.callIdFont = {"MS Sans Serif", {}, 24, graphics::clBlack};
    return d;
}

// Holds a device font for each font the overlay uses, so that DrawBoxes finds them realised
// with their glyphs cached instead of making them again.
std::vector<std::unique_ptr<graphics::TFont>> HoldFonts(const card::CardData& data) {
    std::vector<std::unique_ptr<graphics::TFont>> fonts;
    for (int size : {8, 10, 11, 16}) {
        auto font = std::make_unique<graphics::TFont>();
        font->SetStyle({graphics::fsBold});
        font->SetSize(size);
        font->Handle();
        fonts.push_back(std::move(font));
    }
    auto callId = std::make_unique<graphics::TFont>();
    callId->SetName(data.callIdFont.name);
    callId->SetStyle(data.callIdFont.style);
    callId->SetSize(data.callIdFont.size);
    callId->Handle();
    fonts.push_back(std::move(callId));
    return fonts;
}

enum class Fonts { Held, Released };

void DrawBoxes(benchmark::State& state, Fonts fonts) {
    graphics::TBitmap card;
    card.SetSize(495, 315);
    const card::CardData data = BenchCard();
    const auto held =
        fonts == Fonts::Held ? HoldFonts(data) : std::vector<std::unique_ptr<graphics::TFont>>{};
    card::FontDescription saved;
    card::DrawBoxes(card.Canvas(), data, saved);
    for (auto _ : state) {
        card::DrawBoxes(card.Canvas(), data, saved);
        benchmark::ClobberMemory();
    }
}

// The target figure: every font realised and its glyphs cached.
void BM_DrawBoxes(benchmark::State& state) {
    DrawBoxes(state, Fonts::Held);
}
BENCHMARK(BM_DrawBoxes)->Unit(benchmark::kMicrosecond);

// A later Verify in the program: only the table's font outlives the call, so the others are
// made again each time.
void BM_DrawBoxesFontsReleased(benchmark::State& state) {
    DrawBoxes(state, Fonts::Released);
}
BENCHMARK(BM_DrawBoxesFontsReleased)->Unit(benchmark::kMicrosecond);

} // namespace
