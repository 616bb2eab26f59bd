// Small fixtures for the raster device tests: memory contexts with a bitmap selected, and the
// colours the tests paint with. The tests live in namespace platform and use them unqualified.
#pragma once

#include "platform/Gdi.h"

#include <gtest/gtest.h>
#include <vector>

namespace platform::testing {

// A memory context that owns the bitmap selected into it.
struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    std::shared_ptr<GdiObject> previous;

    Canvas() = default;
    Canvas(HBITMAP b) : dc(CreateCompatibleDC(nullptr)), bitmap(std::move(b)) {
        previous = SelectObject(*dc, *bitmap);
    }
    Canvas(Canvas&&) = default;
    Canvas& operator=(Canvas&&) = default;
    ~Canvas() {
        if (dc && previous) {
            SelectObject(*dc, *previous);
        }
    }
    DeviceContext& operator*() const { return *dc; }
};

// A screen-format (32-bit) device bitmap of one colour.
inline Canvas DeviceCanvas(int width, int height, COLORREF fill = RGB(255, 255, 255)) {
    Canvas c(CreateCompatibleBitmap(GetScreenDC(), width, height));
    HBRUSH brush = CreateBrushIndirect(LOGBRUSH{BS_SOLID, fill, 0});
    FillRect(*c, RECT{0, 0, width, height}, *brush);
    return c;
}

inline Canvas MonoCanvas(int width, int height) {
    return Canvas(CreateBitmap(width, height, 1, 1));
}

inline BITMAPINFO DibInfo(int width, int height, int bpp, std::vector<RGBQUAD> colors = {}) {
    BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = uint16_t(bpp);
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biClrUsed = uint32_t(colors.size());
    info.bmiColors = std::move(colors);
    return info;
}

inline Canvas DibCanvas(const BITMAPINFO& info) {
    return Canvas(CreateDIBSection(nullptr, info, DIB_RGB_COLORS));
}

inline RGBQUAD Quad(COLORREF c) {
    return RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0};
}

// Pixel colours of a rectangle, row by row.
inline std::vector<COLORREF> Pixels(const DeviceContext& dc, int x0, int y0, int x1, int y1) {
    std::vector<COLORREF> out;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            out.push_back(GetPixel(dc, x, y));
        }
    }
    return out;
}

// The raw byte of an 8-bit DIB section's pixel (its colour-table index).
inline uint8_t IndexAt(const GdiBitmap& bitmap, int x, int y) {
    DIBSECTION ds;
    GetObject(bitmap, ds);
    const int row = ds.dsBmih.biHeight > 0 ? ds.dsBm.bmHeight - 1 - y : y;
    return ds.dsBm.bmBits[size_t(row) * size_t(ds.dsBm.bmWidthBytes) + size_t(x)];
}

inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kRed = RGB(255, 0, 0);

} // namespace platform::testing

namespace platform {

using testing::Canvas;
using testing::DeviceCanvas;
using testing::DibCanvas;
using testing::DibInfo;
using testing::IndexAt;
using testing::kBlack;
using testing::kRed;
using testing::kWhite;
using testing::MonoCanvas;
using testing::Pixels;
using testing::Quad;

} // namespace platform
