// Costs the card editor relies on: assignment is a reference count whatever the size, the first
// drawing on a shared image makes one private copy (compared with a plain memcpy of the same
// bytes), the preview stretch, and drawing a card's worth of short strings.
#include "graphics/Bitmap.h"
#include "graphics/ImageControl.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace graphics;

std::unique_ptr<TBitmap> MakeBitmap(int width, int height, TPixelFormat format) {
    auto bitmap = std::make_unique<TBitmap>();
    if (format != pfDevice)
        bitmap->SetPixelFormat(format);
    bitmap->SetSize(width, height);
    bitmap->Canvas().Brush().SetColor(clTeal);
    bitmap->Canvas().FillArea({0, 0, width / 2, height / 2});
    return bitmap;
}

void BM_AssignBitmap(benchmark::State& state) {
    auto source = MakeBitmap(int(state.range(0)), int(state.range(1)), pfDevice);
    TBitmap target;
    for (auto _ : state) {
        target.CopyFrom(source.get());
        benchmark::DoNotOptimize(target.ImageReferenceCount());
    }
}
BENCHMARK(BM_AssignBitmap)->Args({100, 100})->Args({6000, 4000});

void FirstDrawingOnShared(benchmark::State& state, TPixelFormat format) {
    auto source = MakeBitmap(6000, 4000, format);
    TBitmap target;
    for (auto _ : state) {
        state.PauseTiming();
        target.CopyFrom(source.get());
        target.Canvas(); // the canvas exists before the measured drawing
        state.ResumeTiming();
        target.Canvas().SetPixelAt(1, 1, clRed);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 6000 * 4000 * 4);
}

void BM_FirstDrawOnShared6000x4000Device(benchmark::State& state) {
    FirstDrawingOnShared(state, pfDevice);
}
BENCHMARK(BM_FirstDrawOnShared6000x4000Device)->Unit(benchmark::kMillisecond);

void BM_FirstDrawOnShared6000x4000Dib32(benchmark::State& state) {
    FirstDrawingOnShared(state, pf32bit);
}
BENCHMARK(BM_FirstDrawOnShared6000x4000Dib32)->Unit(benchmark::kMillisecond);

// The reference: copying the same 96 MB into freshly allocated memory.
void BM_MemcpySameBytes(benchmark::State& state) {
    const size_t bytes = size_t(6000) * 4000 * 4;
    std::vector<uint8_t> source(bytes, 0x5A);
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> target(new uint8_t[bytes]);
        std::memcpy(target.get(), source.data(), bytes);
        benchmark::DoNotOptimize(target.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond);

void BM_StretchIntoPreview(benchmark::State& state) {
    auto photo = MakeBitmap(6000, 4000, pfDevice);
    TPaintBuffer preview(495, 315);
    for (auto _ : state) {
        preview.Canvas().DrawStretched({0, 0, 495, 315}, photo.get());
        benchmark::DoNotOptimize(preview.PixelAt(10, 10));
    }
}
BENCHMARK(BM_StretchIntoPreview)->Unit(benchmark::kMicrosecond);

void BM_CardStrings(benchmark::State& state) {
    TBitmap card;
    card.SetSize(495, 315);
    TCanvas& canvas = card.Canvas();
    static const char* const lines[] = {"United States",
                                        "W1AW",
                                        "Hiram Percy Maxim",
                                        "225 Main Street",
                                        "Newington",
                                        "CT",
                                        "06111",
                                        "Rig: IC-7300",
                                        "Power: 100 W",
                                        "Ant: Dipole",
                                        "Thanks for the QSO!",
                                        "Confirming QSO With",
                                        "Date",
                                        "UTC",
                                        "MHz",
                                        "RST",
                                        "Mode",
                                        "DL1ABC",
                                        "2024-05-01",
                                        "1432",
                                        "14.074",
                                        "599",
                                        "FT8",
                                        "73",
                                        "QTH: Newington",
                                        "Grid FN31",
                                        "CQ zone 5",
                                        "ITU zone 8",
                                        "Pse QSL",
                                        "Tnx QSL"};
    for (auto _ : state) {
        canvas.Font().SetSize(24);
        canvas.Font().SetStyle({fsBold});
        canvas.DrawTextAt(100, 10, lines[1]);
        canvas.Font().SetSize(10);
        canvas.Font().SetStyle({});
        int y = 40;
        for (const char* line : lines) {
            canvas.DrawTextAt(20, y % 300, line);
            y += 9;
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 31);
}
BENCHMARK(BM_CardStrings)->Unit(benchmark::kMicrosecond);

} // namespace
