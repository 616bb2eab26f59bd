// Helpers shared by the graphics tests: surfaces with known pixels and a minimal graphic class.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Graphic.h"
#include "platform/GdiTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace graphics::test {

// A 32-bit DIB section bitmap of the given size filled with one colour.
inline std::unique_ptr<TBitmap> MakeTrueColor(int width, int height, TColor fill = clWhite) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf32bit);
    bitmap->SetSize(width, height);
    bitmap->Canvas().Brush().SetColor(fill);
    bitmap->Canvas().FillArea({0, 0, width, height});
    return bitmap;
}

// The colour of a pixel as the device reports it (0x00BBGGRR).
inline uint32_t Pixel(TBitmap& bitmap, int x, int y) {
    return uint32_t(bitmap.Canvas().PixelAt(x, y));
}

// A graphic class that holds nothing, for format-list and assignment tests. Each instantiation
// with a distinct Tag is its own class with its own name.
template <class Tag> class DummyGraphic : public TGraphic {
  public:
    static const TGraphicClass& Class() {
        static const TGraphicClass cls{
            Tag::name, &Tag::Parent(),
            []() -> std::unique_ptr<TGraphic> { return std::make_unique<DummyGraphic>(); }};
        return cls;
    }
    const TGraphicClass& ClassType() const override { return Class(); }
    void CopyFrom(const TPersistent* source) override {
        if (dynamic_cast<const DummyGraphic*>(source) == nullptr)
            TGraphic::CopyFrom(source);
    }
    void DrawGraphic(TCanvas&, const platform::RECT&) override {}
    bool IsEmpty() const override { return true; }
    int Width() const override { return 0; }
    int Height() const override { return 0; }
    void ResizeWidth(int) override {}
    void ResizeHeight(int) override {}
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream&) override {}
    void ImportClipboardData(uint16_t, platform::GdiBitmap*, platform::GdiPalette*) override {}
    THandOverValues ExportClipboardData() override { return {}; }
    void ReportProgress(TProgressStage stage, uint8_t percent, const std::string& message) {
        Progress(stage, percent, false, {0, 0, 1, 1}, message);
    }
};

} // namespace graphics::test
