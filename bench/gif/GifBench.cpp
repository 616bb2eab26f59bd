// GIF decoding against giflib's DGifSlurp on the same bytes in memory, side by side in one run:
//   - a 6000 x 4000 single-frame picture;
//   - a 100-frame 500 x 500 animation.
// Both sides decode every frame to colour indices (our reader loads the object model from a
// memory stream; giflib slurps through a memory read callback). Rendering to a bitmap is not
// counted. The ratio giflib time / our time is the figure of merit: 1.0 or more means we are at
// least as fast.
//
// The pictures are made here by a small GIF89a encoder (LZW with a clear code whenever the
// string table is full) over photo-like noisy indices, so that the code stream looks like a
// real dithered photo: mostly short strings, frequent code-width changes and table resets.
#include "gif/GIFImage.h"
#include "graphics/Stream.h"
#include "platform/LittleEndian.h"

#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <gif_lib.h>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// ---- Test pictures ----------------------------------------------------------------------------

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices; // rows top to bottom
};

// Indices into a 256-entry ramp palette: a smooth gradient with soft blobs plus small sensor-like
// noise, the index pattern a dithered photo gives.
Frame MakePhotoIndices(int width, int height, uint32_t seed) {
    Frame f{width, height, std::vector<uint8_t>(size_t(width) * size_t(height))};
    for (int y = 0; y < height; ++y) {
        uint8_t* row = f.indices.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 30) - 1; // -1..2
            const int dx = (x % 613) - 306;
            const int dy = (y % 487) - 243;
            const int blob = (dx * dx + dy * dy) < 180 * 180 ? 48 : 0;
            const int base = (x * 96 / width) + (y * 64 / height) + blob;
            row[x] = uint8_t(std::clamp(base + noise, 0, 255));
        }
    }
    return f;
}

// GIF89a byte writer with the variable-width LZW of section 22 and Appendix F.
class GifWriter {
  public:
    void Header(int width, int height) {
        Put("GIF89a");
        Put16(uint16_t(width));
        Put16(uint16_t(height));
        bytes_.push_back(0xF7); // global table of 256 entries, 8-bit colour resolution
        bytes_.push_back(0);    // background colour index
        bytes_.push_back(0);    // no aspect ratio
        for (int i = 0; i < 256; ++i) {
            bytes_.push_back(uint8_t(i));             // red
            bytes_.push_back(uint8_t(255 - i));       // green
            bytes_.push_back(uint8_t((i * 7) & 255)); // blue
        }
    }

    // NETSCAPE2.0 looping block, loop forever.
    void Looping() {
        const uint8_t block[] = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                                 'E',  '2',  '.', '0', 3,   1,   0,   0,   0};
        bytes_.insert(bytes_.end(), std::begin(block), std::end(block));
    }

    void GraphicControl(uint16_t delay) {
        const uint8_t block[] = {0x21, 0xF9, 4, 0x04, uint8_t(delay & 255), uint8_t(delay >> 8),
                                 0,    0};
        bytes_.insert(bytes_.end(), std::begin(block), std::end(block));
    }

    void Image(const Frame& f) {
        bytes_.push_back(0x2C);
        Put16(0);
        Put16(0);
        Put16(uint16_t(f.width));
        Put16(uint16_t(f.height));
        bytes_.push_back(0); // no local table, not interlaced
        Compress(f.indices);
    }

    std::vector<uint8_t> Finish() {
        bytes_.push_back(0x3B);
        return std::move(bytes_);
    }

  private:
    static constexpr int kMinCodeSize = 8;
    static constexpr int kClear = 1 << kMinCodeSize;
    static constexpr int kEnd = kClear + 1;
    static constexpr int kMaxCode = 4095;
    static constexpr size_t kHashSize = 8192; // power of two, twice the table

    void Put(const char* text) { bytes_.insert(bytes_.end(), text, text + std::strlen(text)); }
    void Put16(uint16_t v) { platform::AppendLe16(bytes_, v); }

    void Emit(int code) {
        bitBuffer_ |= uint32_t(code) << bitCount_;
        bitCount_ += codeSize_;
        while (bitCount_ >= 8) {
            PutDataByte(uint8_t(bitBuffer_ & 255));
            bitBuffer_ >>= 8;
            bitCount_ -= 8;
        }
    }

    // Data sub-blocks of at most 255 bytes.
    void PutDataByte(uint8_t b) {
        block_[blockLength_++] = b;
        if (blockLength_ == 255)
            FlushBlock();
    }
    void FlushBlock() {
        if (blockLength_ == 0)
            return;
        bytes_.push_back(uint8_t(blockLength_));
        bytes_.insert(bytes_.end(), block_.begin(), block_.begin() + blockLength_);
        blockLength_ = 0;
    }

    void ResetTable() {
        ++generation_;
        next_ = kEnd + 1;
        codeSize_ = kMinCodeSize + 1;
    }

    // Open addressing over (prefix code, byte) keys; entries of older generations are free.
    size_t Slot(uint32_t key) const {
        size_t h = (key * 2654435761u) & (kHashSize - 1);
        while (stamp_[h] == generation_ && keys_[h] != key)
            h = (h + 1) & (kHashSize - 1);
        return h;
    }

    void Compress(std::span<const uint8_t> pixels) {
        bytes_.push_back(kMinCodeSize);
        bitBuffer_ = 0;
        bitCount_ = 0;
        ResetTable();
        Emit(kClear);
        int current = pixels.empty() ? 0 : pixels[0];
        for (size_t i = 1; i < pixels.size(); ++i) {
            const uint32_t key = (uint32_t(current) << 8) | pixels[i];
            const size_t slot = Slot(key);
            if (stamp_[slot] == generation_) {
                current = codes_[slot];
                continue;
            }
            Emit(current);
            // The decoder widens its codes one entry after us: widen once the entry about to be
            // made no longer fits the current width.
            if (next_ >= (1 << codeSize_) && codeSize_ < 12)
                ++codeSize_;
            if (next_ >= kMaxCode) {
                Emit(kClear);
                ResetTable();
            } else {
                stamp_[slot] = generation_;
                keys_[slot] = key;
                codes_[slot] = uint16_t(next_++);
            }
            current = pixels[i];
        }
        Emit(current);
        Emit(kEnd);
        if (bitCount_ > 0)
            PutDataByte(uint8_t(bitBuffer_ & 255));
        FlushBlock();
        bytes_.push_back(0); // block terminator
    }

    std::vector<uint8_t> bytes_;
    std::array<uint8_t, 255> block_{};
    int blockLength_ = 0;
    uint32_t bitBuffer_ = 0;
    int bitCount_ = 0;
    int codeSize_ = kMinCodeSize + 1;
    int next_ = kEnd + 1;
    uint32_t generation_ = 0;
    std::vector<uint32_t> stamp_ = std::vector<uint32_t>(kHashSize, 0);
    std::vector<uint32_t> keys_ = std::vector<uint32_t>(kHashSize, 0);
    std::vector<uint16_t> codes_ = std::vector<uint16_t>(kHashSize, 0);
};

struct Picture {
    std::vector<Frame> frames;
    std::vector<uint8_t> bytes;
};

Picture MakeLarge() {
    Picture p;
    p.frames.push_back(MakePhotoIndices(6000, 4000, 12345));
    GifWriter w;
    w.Header(6000, 4000);
    w.Image(p.frames[0]);
    p.bytes = w.Finish();
    return p;
}

Picture MakeAnimation() {
    Picture p;
    GifWriter w;
    w.Header(500, 500);
    w.Looping();
    for (int i = 0; i < 100; ++i) {
        p.frames.push_back(MakePhotoIndices(500, 500, 1000u + uint32_t(i)));
        w.GraphicControl(4);
        w.Image(p.frames.back());
    }
    p.bytes = w.Finish();
    return p;
}

const Picture& Large() {
    static const Picture p = MakeLarge();
    return p;
}

const Picture& Animation() {
    static const Picture p = MakeAnimation();
    return p;
}

// ---- giflib through its public API ------------------------------------------------------------

struct MemorySource {
    std::span<const uint8_t> bytes;
    size_t position = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<MemorySource*>(gif->UserData);
    const size_t n = std::min(size_t(std::max(length, 0)), source->bytes.size() - source->position);
    std::memcpy(out, source->bytes.data() + source->position, n);
    source->position += n;
    return int(n);
}

// Owns the giflib handle; DGifCloseFile frees the slurped frames too.
class GiflibFile {
  public:
    explicit GiflibFile(std::span<const uint8_t> bytes) : source_{bytes} {
        int error = 0;
        gif_ = DGifOpen(&source_, ReadFromMemory, &error);
        if (gif_ == nullptr)
            throw std::runtime_error(std::string("DGifOpen: ") + GifErrorString(error));
    }
    ~GiflibFile() {
        int error = 0;
        DGifCloseFile(gif_, &error);
    }
    GiflibFile(const GiflibFile&) = delete;
    GiflibFile& operator=(const GiflibFile&) = delete;

    void Slurp() {
        if (DGifSlurp(gif_) != GIF_OK)
            throw std::runtime_error(std::string("DGifSlurp: ") + GifErrorString(gif_->Error));
    }
    GifFileType& File() { return *gif_; }

  private:
    MemorySource source_;
    GifFileType* gif_ = nullptr;
};

// ---- Checks, once per picture -----------------------------------------------------------------

// Both decoders must give back the encoder's indices, or the timings compare nothing.
bool VelmoraMatches(const Picture& p) {
    gif::TGIFImage image;
    image.LoadFromBytes(p.bytes);
    if (image.Count() != int(p.frames.size()))
        return false;
    for (int i = 0; i < image.Count(); ++i) {
        const auto pixels = image.SubImage(i).PixelData();
        const auto& expected = p.frames[size_t(i)].indices;
        if (!std::equal(pixels.begin(), pixels.end(), expected.begin(), expected.end()))
            return false;
    }
    return true;
}

bool GiflibMatches(const Picture& p) {
    GiflibFile file(p.bytes);
    file.Slurp();
    if (file.File().ImageCount != int(p.frames.size()))
        return false;
    for (size_t i = 0; i < p.frames.size(); ++i) {
        const auto& expected = p.frames[i].indices;
        const GifByteType* raster = file.File().SavedImages[i].RasterBits;
        if (!std::equal(expected.begin(), expected.end(), raster))
            return false;
    }
    return true;
}

// ---- Benchmarks -------------------------------------------------------------------------------

void RunVelmora(benchmark::State& state, const Picture& p) {
    if (!VelmoraMatches(p)) {
        state.SkipWithError("our reader does not give back the encoded indices");
        return;
    }
    graphics::TMemoryStream stream(p.bytes);
    for (auto _ : state) {
        stream.SetPosition(0);
        gif::TGIFImage image;
        image.LoadFromStream(stream);
        benchmark::DoNotOptimize(image.SubImage(image.Count() - 1).PixelData().data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.bytes.size()));
    state.counters["frames"] = double(p.frames.size());
}

void RunGiflib(benchmark::State& state, const Picture& p) {
    if (!GiflibMatches(p)) {
        state.SkipWithError("giflib does not give back the encoded indices");
        return;
    }
    for (auto _ : state) {
        GiflibFile file(p.bytes);
        file.Slurp();
        benchmark::DoNotOptimize(file.File().SavedImages[file.File().ImageCount - 1].RasterBits);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.bytes.size()));
    state.counters["frames"] = double(p.frames.size());
}

void BM_Velmora_Large(benchmark::State& state) {
    RunVelmora(state, Large());
}
void BM_Giflib_Large(benchmark::State& state) {
    RunGiflib(state, Large());
}
void BM_Velmora_Animation(benchmark::State& state) {
    RunVelmora(state, Animation());
}
void BM_Giflib_Animation(benchmark::State& state) {
    RunGiflib(state, Animation());
}

BENCHMARK(BM_Velmora_Large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Giflib_Large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Velmora_Animation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Giflib_Animation)->Unit(benchmark::kMillisecond);

} // namespace
