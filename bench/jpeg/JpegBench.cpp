// The JPEG picture against libjpeg-turbo called directly, as its own djpeg and cjpeg tools do,
// with the same parameters (float DCT, blue-green-red rows):
//   - the full decoding of a 6000 x 4000 photo-like JPEG into a bitmap (load, header check,
//     bitmap storage, every row) against decoding into one plain image buffer;
//   - the encoding of a 495 x 315 card (quality 90, baseline) from the device-dependent card
//     bitmap against encoding the same pixels from a plain buffer.
// Compare the pairs' times: the picture's overhead is the difference.
#include "graphics/Bitmap.h"
#include "graphics/Stream.h"
#include "jpeg/JPEGImage.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <memory>
#include <span>
#include <vector>

namespace {

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr; // rows top to bottom, no padding
};

// A photo-like picture: a sky gradient, a horizon, soft blobs and fine sensor-like noise, so
// that the entropy coder sees realistic data (not flat areas, not white noise).
Pixels MakePhoto(int width, int height) {
    Pixels p{width, height, std::vector<uint8_t>(size_t(width) * size_t(height) * 3)};
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = p.bgr.data() + size_t(y) * size_t(width) * 3;
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            int r, g, b;
            if (y < height * 2 / 5) {
                r = 90 + y * 80 / height;
                g = 140 + y * 60 / height;
                b = 230 - y * 40 / height;
            } else {
                const int dx = (x % 700) - 350;
                const int dy = (y % 500) - 250;
                const int blob = (dx * dx + dy * dy) < 200 * 200 ? 40 : 0;
                r = 60 + blob + (x * 40 / width);
                g = 110 + blob / 2 + ((x + y) % 97) / 4;
                b = 40 + (y * 30 / height);
            }
            auto clamp = [](int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            row[3 * x] = clamp(b + noise);
            row[3 * x + 1] = clamp(g + noise);
            row[3 * x + 2] = clamp(r + noise);
        }
    }
    return p;
}

std::vector<uint8_t> CompressDirect(const Pixels& p, int quality, J_DCT_METHOD dct) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(p.width);
    cinfo.image_height = JDIMENSION(p.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    cinfo.dct_method = dct;
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t stride = size_t(p.width) * 3;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(p.bgr.data()) + cinfo.next_scanline * stride;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

const std::vector<uint8_t>& Photo() {
    // A camera-style file: quality 90, 4:2:0, as most photos on a disk.
    static const std::vector<uint8_t> bytes = CompressDirect(MakePhoto(6000, 4000), 90, JDCT_ISLOW);
    return bytes;
}

// djpeg's way: the library's memory source, the whole image in one buffer, one row per call.
void BM_DecodePhoto_LibraryDirect(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = Photo();
    for (auto _ : state) {
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr err{};
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.dct_method = JDCT_FLOAT;
        cinfo.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&cinfo);
        const size_t stride = size_t(cinfo.output_width) * 3;
        std::unique_ptr<uint8_t[]> image(new uint8_t[stride * cinfo.output_height]);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = image.get() + cinfo.output_scanline * stride;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(image[stride * 2000]);
    }
    state.SetLabel("6000x4000");
}

// The picture's way: load (copy and header check), then Bitmap().
void BM_DecodePhoto_TJPEGImage(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = Photo();
    for (auto _ : state) {
        graphics::TMemoryStream stream(bytes);
        jpeg::TJPEGImage picture;
        picture.LoadFromStream(stream);
        graphics::TBitmap& bitmap = picture.Bitmap();
        benchmark::DoNotOptimize(bitmap.RowAddress(2000)[0]);
    }
    state.SetLabel("6000x4000");
}

Pixels CardPixels() {
    return MakePhoto(495, 315);
}

void BM_EncodeCard_LibraryDirect(benchmark::State& state) {
    const Pixels card = CardPixels();
    for (auto _ : state)
        benchmark::DoNotOptimize(CompressDirect(card, 90, JDCT_FLOAT));
}

// The editor's card is a device-dependent bitmap; the picture encodes from a 24-bit copy.
void BM_EncodeCard_TJPEGImage(benchmark::State& state) {
    const Pixels card = CardPixels();
    graphics::TBitmap bitmap;
    bitmap.SetPixelFormat(graphics::pf24bit);
    bitmap.SetSize(card.width, card.height);
    for (int y = 0; y < card.height; ++y) {
        const std::span<uint8_t> row = bitmap.RowAddress(y);
        std::copy_n(card.bgr.data() + size_t(y) * size_t(card.width) * 3, size_t(card.width) * 3,
                    row.data());
    }
    bitmap.SetPixelFormat(graphics::pfDevice);
    for (auto _ : state) {
        jpeg::TJPEGImage picture;
        picture.CopyFrom(&bitmap);
        graphics::TMemoryStream stream;
        picture.SaveToStream(stream);
        benchmark::DoNotOptimize(stream.Size());
    }
}

BENCHMARK(BM_DecodePhoto_LibraryDirect)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_DecodePhoto_TJPEGImage)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_EncodeCard_LibraryDirect)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeCard_TJPEGImage)->Unit(benchmark::kMicrosecond);

} // namespace
