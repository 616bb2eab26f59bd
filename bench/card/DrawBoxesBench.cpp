// The Verify step's drawing: the whole overlay on a 495 x 315 card. The fonts are realised and
// their glyphs cached by a first draw, as they are after the first Verify of a session.
#include "card/CardComposer.h"
#include "graphics/Bitmap.h"

#include <benchmark/benchmark.h>

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

void BM_DrawBoxes(benchmark::State& state) {
    graphics::TBitmap card;
    card.SetSize(495, 315);
    const card::CardData data = BenchCard();
    card::FontDescription saved;
    card::DrawBoxes(card.Canvas(), data, saved);
    for (auto _ : state) {
        card::DrawBoxes(card.Canvas(), data, saved);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawBoxes)->Unit(benchmark::kMicrosecond);

} // namespace
