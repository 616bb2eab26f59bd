// Find of a large photo into the fitted card, against decoding the photo alone: reading the
// file, the hand-over into the working bitmap and the fit should add little to the decode.
#include "card/Background.h"
#include "card/Fit.h"
#include "graphics/Bitmap.h"
#include "jpeg/JPEGImage.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <unistd.h>

namespace {

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;

// A photo-like picture: smooth gradients with some texture, so the JPEG has realistic detail.
std::unique_ptr<graphics::TBitmap> MakePhoto() {
    auto bitmap = std::make_unique<graphics::TBitmap>();
    bitmap->SetPixelFormat(graphics::pf24bit);
    bitmap->SetSize(kPhotoWidth, kPhotoHeight);
    uint32_t noise = 12345;
    for (int y = 0; y < kPhotoHeight; ++y) {
        const std::span<uint8_t> row = bitmap->RowAddress(y);
        for (int x = 0; x < kPhotoWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 28) - 8;
            row[size_t(x) * 3] = uint8_t(std::clamp(x * 255 / kPhotoWidth + grain, 0, 255));
            row[size_t(x) * 3 + 1] = uint8_t(std::clamp(y * 255 / kPhotoHeight + grain, 0, 255));
            row[size_t(x) * 3 + 2] = uint8_t(std::clamp(((x ^ y) & 0xFF) / 2 + 64 + grain, 0, 255));
        }
    }
    return bitmap;
}

// The photo, written once per run beside the other temporary files.
const std::string& PhotoPath() {
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() /
                               ("velmora-fit-bench-" + std::to_string(getpid()) + ".jpg"))
                                  .string();
        jpeg::InitializeJPEGImageUnit();
        jpeg::TJPEGImage image;
        auto photo = MakePhoto();
        image.CopyFrom(photo.get());
        image.WriteToFile(p);
        std::atexit([] { std::filesystem::remove(PhotoPath()); });
        return p;
    }();
    return path;
}

void BM_DecodeAlone(benchmark::State& state) {
    const std::string& path = PhotoPath();
    for (auto _ : state) {
        jpeg::TJPEGImage image;
        image.ReadFromFile(path);
        benchmark::DoNotOptimize(image.Bitmap().Width());
    }
}
BENCHMARK(BM_DecodeAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FindToFittedCard(benchmark::State& state) {
    const std::string& path = PhotoPath();
    for (auto _ : state) {
        card::BackgroundObjects objects;
        graphics::TBitmap& work = card::LoadBackground(objects, path);
        benchmark::DoNotOptimize(work.Height());
    }
}
BENCHMARK(BM_FindToFittedCard)->Unit(benchmark::kMillisecond)->UseRealTime();

// The hand-over alone: the decoded photo as a bitmap handle, taken in by a working bitmap.
void BM_HandOverDecodedPhoto(benchmark::State& state) {
    jpeg::TJPEGImage image;
    image.ReadFromFile(PhotoPath());
    image.Bitmap();
    for (auto _ : state) {
        graphics::TBitmap work;
        work.ImportClipboardData(image.ExportClipboardData());
        benchmark::DoNotOptimize(work.Width());
    }
}
BENCHMARK(BM_HandOverDecodedPhoto)->Unit(benchmark::kMillisecond)->UseRealTime();

// The fit alone, of the decoded photo.
void BM_ResizeDecodedPhoto(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto photo = MakePhoto();
        state.ResumeTiming();
        auto fitted = card::Resize(std::move(photo), card::kPreviewWidth, card::kPreviewHeight);
        benchmark::DoNotOptimize(fitted->Height());
    }
}
BENCHMARK(BM_ResizeDecodedPhoto)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
