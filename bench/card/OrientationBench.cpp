// Turning a 24-megapixel phone photo upright, against one plain copy of its rows: the turn is a
// single pass, so it should cost about as much as copying the picture once. And loading and
// decoding a photo with and without a full-size EXIF segment: the header check keeps and parses
// APP1, decoding skips it, so the two should not differ measurably.
#include "card/Orientation.h"
#include "graphics/Bitmap.h"
#include "graphics/Stream.h"
#include "jpeg/JPEGImage.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace {

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;

std::unique_ptr<graphics::TBitmap> MakePhoto(graphics::TPixelFormat format) {
    auto bitmap = std::make_unique<graphics::TBitmap>();
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(kPhotoWidth, kPhotoHeight);
    for (int y = 0; y < kPhotoHeight; ++y) {
        const std::span<uint8_t> row = bitmap->RowAddress(y);
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = uint8_t(i * 7 + size_t(y) * 3);
    }
    return bitmap;
}

graphics::TBitmap& Photo24() {
    static const auto photo = MakePhoto(graphics::pf24bit);
    return *photo;
}

void BM_CopyRows(benchmark::State& state) {
    graphics::TBitmap& photo = Photo24();
    for (auto _ : state) {
        graphics::TBitmap copy;
        copy.SetPixelFormat(graphics::pf24bit);
        copy.SetSize(kPhotoWidth, kPhotoHeight);
        for (int y = 0; y < kPhotoHeight; ++y) {
            const auto from = photo.RowAddress(y);
            std::memcpy(copy.RowAddress(y).data(), from.data(), from.size());
        }
        benchmark::DoNotOptimize(copy.Width());
    }
}

void BM_TurnUpright24(benchmark::State& state) {
    graphics::TBitmap& photo = Photo24();
    const auto orientation = card::TOrientation(state.range(0));
    for (auto _ : state) {
        const auto turned = card::TurnUpright(photo, orientation);
        benchmark::DoNotOptimize(turned->Width());
    }
}

void BM_TurnUpright8(benchmark::State& state) {
    static const auto photo = MakePhoto(graphics::pf8bit);
    const auto orientation = card::TOrientation(state.range(0));
    for (auto _ : state) {
        const auto turned = card::TurnUpright(*photo, orientation);
        benchmark::DoNotOptimize(turned->Width());
    }
}

// A 1600 x 1200 photo-like JPEG; with an EXIF segment it also carries one APP1 of the largest
// size: "Exif\0\0", a little-endian TIFF header, one IFD holding Orientation 6, then padding.
std::vector<uint8_t> PhotoJpeg(bool withExif) {
    graphics::TBitmap photo;
    photo.SetPixelFormat(graphics::pf24bit);
    photo.SetSize(1600, 1200);
    for (int y = 0; y < 1200; ++y) {
        const std::span<uint8_t> row = photo.RowAddress(y);
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = uint8_t((i / 3 + size_t(y)) / 8 + (i % 3) * 40);
    }
    jpeg::TJPEGImage encoder;
    encoder.CopyFrom(&photo);
    graphics::TMemoryStream stream;
    encoder.SaveToStream(stream);
    std::vector<uint8_t> bytes(stream.Memory().begin(), stream.Memory().end());
    if (!withExif)
        return bytes;
    std::vector<uint8_t> exif{'E',  'x',  'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, // header
                              1,    0,                                                 // one entry
                              0x12, 0x01, 3,   0,   1, 0, 0,   0,   6,  0, 0, 0, // Orientation
                              0,    0,    0,   0};                               // no next IFD
    exif.resize(65533, 0);
    std::vector<uint8_t> tagged(bytes.begin(), bytes.begin() + 2);
    tagged.insert(tagged.end(), {0xFF, 0xE1, 0xFF, 0xFF});
    tagged.insert(tagged.end(), exif.begin(), exif.end());
    tagged.insert(tagged.end(), bytes.begin() + 2, bytes.end());
    return tagged;
}

void BM_LoadHeader(benchmark::State& state) {
    const std::vector<uint8_t> bytes = PhotoJpeg(state.range(0) != 0);
    for (auto _ : state) {
        graphics::TMemoryStream stream(bytes);
        jpeg::TJPEGImage picture;
        picture.LoadFromStream(stream);
        benchmark::DoNotOptimize(picture.Orientation());
    }
}

void BM_LoadAndDecode(benchmark::State& state) {
    const std::vector<uint8_t> bytes = PhotoJpeg(state.range(0) != 0);
    for (auto _ : state) {
        graphics::TMemoryStream stream(bytes);
        jpeg::TJPEGImage picture;
        picture.LoadFromStream(stream);
        benchmark::DoNotOptimize(picture.Bitmap().Width());
    }
}

} // namespace

BENCHMARK(BM_LoadHeader)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadAndDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TurnUpright24)->Arg(2)->Arg(3)->Arg(6)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TurnUpright8)->Arg(6)->Unit(benchmark::kMillisecond);
