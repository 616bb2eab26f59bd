// Pixel helpers of the card tests, without Qt: plain backgrounds and what a graphic shows.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/ImageControl.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace apptest {

// A width x height bitmap painted one colour.
inline std::unique_ptr<graphics::TBitmap> SolidBitmap(int width, int height,
                                                      graphics::TColor color) {
    auto bitmap = std::make_unique<graphics::TBitmap>();
    bitmap->SetSize(width, height);
    bitmap->Canvas().Brush().SetColor(color);
    bitmap->Canvas().FillArea({0, 0, width, height});
    return bitmap;
}

// What a graphic shows at its own size, row by row, as 0x00RRGGBB. Drawing reads the pixels
// without asking for the bitmap's handle, so shared images stay shared.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> values;

    uint32_t At(int x, int y) const { return values.at(size_t(y) * size_t(width) + size_t(x)); }
    bool AllEqual(uint32_t value) const {
        for (uint32_t v : values)
            if (v != value)
                return false;
        return true;
    }
    bool operator==(const Pixels&) const = default;
};

inline Pixels PixelsOf(graphics::TGraphic* graphic) {
    Pixels result;
    if (graphic == nullptr || graphic->IsEmpty())
        return result;
    result.width = graphic->Width();
    result.height = graphic->Height();
    graphics::TPaintBuffer buffer(result.width, result.height);
    buffer.Canvas().DrawAt(0, 0, graphic);
    result.values.reserve(size_t(result.width) * size_t(result.height));
    for (int y = 0; y < result.height; ++y) {
        const auto row = buffer.Row(y);
        for (int x = 0; x < result.width; ++x) {
            const uint8_t* p = row.data() + size_t(x) * 4;
            result.values.push_back(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
        }
    }
    return result;
}

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;

} // namespace apptest
