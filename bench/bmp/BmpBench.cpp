// Loading BMP files from memory: a 6000 x 4000 24-bit file against plain copies of its pixel
// bytes (the reader should cost no more than 1.5 times the copy into a new buffer), and a
// 4000 x 3000 RLE8 file, decoded into a device bitmap.
#include "graphics/Bitmap.h"
#include "graphics/Stream.h"
#include "platform/LittleEndian.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kHeaderBytes = 14 + 40;

// BITMAPFILEHEADER and BITMAPINFOHEADER for width x height at bitCount, colorCount table
// entries (written by the caller) and pixelBytes of pixel data.
std::vector<uint8_t> Headers(int width, int height, int bitCount, uint32_t compression,
                             uint32_t colorCount, uint32_t pixelBytes) {
    std::vector<uint8_t> f;
    const uint32_t offset = kHeaderBytes + colorCount * 4;
    platform::AppendLe16(f, 0x4D42);
    platform::AppendLe32(f, offset + pixelBytes);
    platform::AppendLe32(f, 0);
    platform::AppendLe32(f, offset);
    platform::AppendLe32(f, 40);
    platform::AppendLe32(f, uint32_t(width));
    platform::AppendLe32(f, uint32_t(height));
    platform::AppendLe16(f, 1);
    platform::AppendLe16(f, uint32_t(bitCount));
    platform::AppendLe32(f, compression);
    platform::AppendLe32(f, pixelBytes);
    platform::AppendLe32(f, 2835);
    platform::AppendLe32(f, 2835);
    platform::AppendLe32(f, colorCount);
    platform::AppendLe32(f, 0);
    return f;
}

const std::vector<uint8_t>& TrueColorFile() {
    static const std::vector<uint8_t> file = [] {
        const int width = 6000;
        const int height = 4000;
        const uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u;
        std::vector<uint8_t> f = Headers(width, height, 24, 0, 0, stride * uint32_t(height));
        const size_t start = f.size();
        f.resize(start + size_t(stride) * size_t(height));
        for (size_t i = start; i < f.size(); ++i)
            f[i] = uint8_t(i * 2654435761u >> 24);
        return f;
    }();
    return file;
}

// Rows of runs of 1 to 40 pixels, with an absolute run of 10 literal pixels every 100 columns,
// each row closed by an end of line: a photograph-like mix of both commands.
const std::vector<uint8_t>& Rle8File() {
    static const std::vector<uint8_t> file = [] {
        const int width = 4000;
        const int height = 3000;
        std::vector<uint8_t> data;
        for (int y = 0; y < height; ++y) {
            int x = 0;
            while (x < width) {
                if (x % 100 == 0 && x + 10 <= width) {
                    data.insert(data.end(), {0, 10});
                    for (int i = 0; i < 10; ++i)
                        data.push_back(uint8_t(x + i + y));
                    x += 10;
                    continue;
                }
                const int run = std::min(1 + (x * 7 + y) % 40, width - x);
                const int next = ((x / 100) + 1) * 100;
                const int length = std::min(run, next - x);
                data.push_back(uint8_t(length));
                data.push_back(uint8_t(x / 16 + y));
                x += length;
            }
            data.insert(data.end(), {0, 0});
        }
        data.insert(data.end(), {0, 1});
        std::vector<uint8_t> f = Headers(width, height, 8, 1, 256, uint32_t(data.size()));
        for (int i = 0; i < 256; ++i)
            f.insert(f.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 5), 0});
        f.insert(f.end(), data.begin(), data.end());
        return f;
    }();
    return file;
}

void LoadFromMemory(benchmark::State& state, const std::vector<uint8_t>& file) {
    graphics::TMemoryStream stream(file);
    for (auto _ : state) {
        graphics::TBitmap bitmap;
        stream.SetPosition(0);
        bitmap.LoadFromStream(stream);
        benchmark::DoNotOptimize(bitmap.Description().dsBm.bmBits);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

void BM_Load24BitBmp6000x4000(benchmark::State& state) {
    LoadFromMemory(state, TrueColorFile());
}

// The floor: the same pixel bytes copied into a buffer made for them.
void BM_CopyPixelsIntoNewBuffer(benchmark::State& state) {
    const std::vector<uint8_t>& file = TrueColorFile();
    const size_t bytes = file.size() - kHeaderBytes;
    for (auto _ : state) {
        auto buffer = std::unique_ptr<uint8_t[]>(new uint8_t[bytes]);
        std::memcpy(buffer.get(), file.data() + kHeaderBytes, bytes);
        benchmark::DoNotOptimize(buffer.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

// The same copy into a buffer that already exists (no page faults): memory bandwidth alone.
void BM_CopyPixelsIntoExistingBuffer(benchmark::State& state) {
    const std::vector<uint8_t>& file = TrueColorFile();
    const size_t bytes = file.size() - kHeaderBytes;
    std::vector<uint8_t> buffer(bytes);
    for (auto _ : state) {
        std::memcpy(buffer.data(), file.data() + kHeaderBytes, bytes);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

void BM_LoadRle8Bmp4000x3000(benchmark::State& state) {
    LoadFromMemory(state, Rle8File());
    state.counters["file_MB"] = double(Rle8File().size()) / 1e6;
    state.counters["Mpixel/s"] = benchmark::Counter(
        double(state.iterations()) * 4000.0 * 3000.0 / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Load24BitBmp6000x4000)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_CopyPixelsIntoNewBuffer)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_CopyPixelsIntoExistingBuffer)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_LoadRle8Bmp4000x3000)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace
