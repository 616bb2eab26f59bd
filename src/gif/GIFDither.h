// Error-diffusion dithering of colour indices to the 216-colour web palette: serpentine
// Floyd-Steinberg with 7/16, 3/16, 5/16 and 1/16 shares in fixed point (1024 per unit).
#pragma once

#include "gif/GIFImage.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace gif {

// round(numerator / 51) with halves to even.
int RoundToWebLevel(int value);

// The web palette index of a colour, without error diffusion.
uint8_t NearestWebIndex(const TGIFColor& color);

class TWebDitherer {
  public:
    // colors: the frame's colour table; indices beyond it are black.
    TWebDitherer(std::span<const TGIFColor> colors, uint32_t width);

    // Dithers the next row (rows in order from the top) into web palette indices. With a
    // transparentIndex of 0 to 255, pixels of that index set their bit in maskRow (first pixel
    // of a byte in its most significant bit), keep their undithered colour and neither take nor
    // spread error. Returns whether such a pixel was seen.
    bool DitherRow(std::span<const uint8_t> in, std::span<uint8_t> out, int transparentIndex,
                   std::span<uint8_t> maskRow);

  private:
    std::array<TGIFColor, 256> colors_{};
    uint32_t width_;
    // Per channel: the current and the next row's error, pixel x at x + 1.
    std::array<std::vector<int32_t>, 3> current_;
    std::array<std::vector<int32_t>, 3> next_;
    bool leftToRight_ = true;
};

} // namespace gif
