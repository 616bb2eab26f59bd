#include "gif/GIFDither.h"

#include <algorithm>

namespace gif {
namespace {

constexpr int kLevelStep = 51;
constexpr int kFixedOne = 1024;

uint8_t Channel(const TGIFColor& c, int channel) {
    return channel == 0 ? c.Red : channel == 1 ? c.Green : c.Blue;
}

} // namespace

int RoundToWebLevel(int value) {
    int quotient = value / kLevelStep;
    int remainder = value % kLevelStep;
    if (remainder < 0) {
        remainder += kLevelStep;
        --quotient;
    }
    if (2 * remainder > kLevelStep || (2 * remainder == kLevelStep && (quotient & 1) != 0))
        ++quotient;
    return quotient;
}

uint8_t NearestWebIndex(const TGIFColor& c) {
    return uint8_t(36 * RoundToWebLevel(c.Red) + 6 * RoundToWebLevel(c.Green) +
                   RoundToWebLevel(c.Blue));
}

TWebDitherer::TWebDitherer(std::span<const TGIFColor> colors, uint32_t width) : width_(width) {
    std::copy_n(colors.begin(), std::min<size_t>(colors.size(), colors_.size()), colors_.begin());
    for (int c = 0; c < 3; ++c) {
        current_[size_t(c)].assign(size_t(width) + 2, 0);
        next_[size_t(c)].assign(size_t(width) + 2, 0);
    }
}

bool TWebDitherer::DitherRow(std::span<const uint8_t> in, std::span<uint8_t> out,
                             int transparentIndex, std::span<uint8_t> maskRow) {
    for (auto& row : next_)
        std::fill(row.begin(), row.end(), 0);
    bool sawTransparent = false;
    const int dir = leftToRight_ ? 1 : -1;
    const int64_t first = leftToRight_ ? 0 : int64_t(width_) - 1;
    for (uint32_t i = 0; i < width_; ++i) {
        const size_t x = size_t(first + dir * int64_t(i));
        const uint8_t index = in[x];
        const TGIFColor& color = colors_[index];
        if (index == transparentIndex) {
            maskRow[x / 8] |= uint8_t(0x80u >> (x % 8));
            sawTransparent = true;
            out[x] = NearestWebIndex(color);
            continue;
        }
        int levels[3];
        for (int c = 0; c < 3; ++c) {
            std::vector<int32_t>& cur = current_[size_t(c)];
            std::vector<int32_t>& nxt = next_[size_t(c)];
            const int v = Channel(color, c) + cur[x + 1] / kFixedOne;
            const int level = std::clamp(RoundToWebLevel(v), 0, 5);
            levels[c] = level;
            const int32_t e = (v - level * kLevelStep) * kFixedOne;
            cur[size_t(int64_t(x) + 1 + dir)] += 7 * e / 16;
            nxt[size_t(int64_t(x) + 1 - dir)] += 3 * e / 16;
            nxt[x + 1] += 5 * e / 16;
            nxt[size_t(int64_t(x) + 1 + dir)] += 1 * e / 16;
        }
        out[x] = uint8_t(36 * levels[0] + 6 * levels[1] + levels[2]);
    }
    std::swap(current_, next_);
    leftToRight_ = !leftToRight_;
    return sawTransparent;
}

} // namespace gif
