// StretchBlt cost: nearest-neighbour stretching reads one source pixel per destination pixel, so
// shrinking a 6000 x 4000 picture into the 495 x 315 preview costs what shrinking a 1000 x 700
// one does. HALFTONE averages every source pixel and grows with the source; it is measured for
// comparison. Same-format BitBlt is a row copy.
#include "platform/Gdi.h"

#include <benchmark/benchmark.h>

namespace {

using namespace platform;

struct Picture {
    HDC dc;
    HBITMAP bitmap;
    std::shared_ptr<GdiObject> previous;

    Picture(int width, int height)
        : dc(CreateCompatibleDC(nullptr)),
          bitmap(CreateCompatibleBitmap(GetScreenDC(), width, height)) {
        previous = SelectObject(*dc, *bitmap);
        HBRUSH brush = CreateBrushIndirect(LOGBRUSH{BS_HATCHED, RGB(200, 40, 10), HS_DIAGCROSS});
        FillRect(*dc, RECT{0, 0, width, height}, *brush);
    }
    ~Picture() { SelectObject(*dc, *previous); }
};

void Stretch(benchmark::State& state, int mode) {
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    Picture source(width, height);
    Picture preview(495, 315);
    SetStretchBltMode(*preview.dc, mode);
    for (auto _ : state) {
        StretchBlt(*preview.dc, 0, 0, 495, 315, source.dc.get(), 0, 0, width, height, SRCCOPY);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 495 * 315);
}

void StretchNearest(benchmark::State& state) {
    Stretch(state, COLORONCOLOR);
}
void StretchHalftone(benchmark::State& state) {
    Stretch(state, HALFTONE);
}

void CopySameFormat(benchmark::State& state) {
    Picture source(495, 315);
    Picture target(495, 315);
    for (auto _ : state) {
        BitBlt(*target.dc, 0, 0, 495, 315, source.dc.get(), 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 495 * 315 * 4);
}

BENCHMARK(StretchNearest)->Args({6000, 4000})->Args({1000, 700})->Args({400, 300});
BENCHMARK(StretchHalftone)->Args({6000, 4000})->Args({1000, 700});
BENCHMARK(CopySameFormat);

} // namespace

BENCHMARK_MAIN();
