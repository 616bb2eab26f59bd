// TJpegFileImage: the picture class of the second JPEG codec, entered in the picture format
// list for "jpg" as "Jpeg file" (a row of card/PictureTable). Only the picture dialogs' preview
// reaches it; the card editor reads and writes JPEG files through jpeg::TJPEGImage.
//
// The picture keeps the file's bytes as read and decodes them into a 24-bit bitmap the first
// time pixels are needed. Saving writes the bytes unchanged, or compresses the bitmap when the
// picture was made from one.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Graphic.h"
#include "tjpeg/TurboJpeg.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace tjpeg {

class TJpegFileImage : public graphics::TGraphic {
  public:
    // The quality of files compressed from a bitmap, the same as the card editor's.
    static constexpr int kSaveQuality = 90;

    TJpegFileImage();
    ~TJpegFileImage() override;

    static const graphics::TGraphicClass& Class();
    const graphics::TGraphicClass& ClassType() const override { return Class(); }

    // A bitmap source: a copy of the bitmap, no bytes until saving. A picture of this class:
    // its bytes (shared, never changed) and a copy of its bitmap. Otherwise the source's
    // CopyInto decides.
    void CopyFrom(const graphics::TPersistent* source) override;

    // ---- TGraphic.
    void DrawGraphic(graphics::TCanvas& target, const platform::RECT& rect) override;
    bool IsEmpty() const override;
    int Width() const override;
    int Height() const override;
    // The picture's size is the file's: EInvalidGraphicOperation.
    void ResizeWidth(int width) override;
    void ResizeHeight(int height) override;
    // All bytes from the stream's position to its end; the header is checked (EJpegFile), the
    // pixels are decoded on first use.
    void LoadFromStream(graphics::TStream& stream) override;
    // The bytes as read, or a new file compressed from the bitmap.
    void SaveToStream(graphics::TStream& stream) override;
    void ImportClipboardData(uint16_t format, platform::GdiBitmap* data,
                             platform::GdiPalette* palette) override;
    using graphics::TGraphic::ImportClipboardData;
    graphics::THandOverValues ExportClipboardData() override;

    // ---- Jpeg file.
    // The decoded picture (decoding first when needed; EJpegFile when the data cannot be
    // decoded). A picture without bytes gives its empty or copied bitmap.
    graphics::TBitmap& Bitmap();
    bool HasBytes() const { return bytes_ != nullptr; }
    // The file's bytes as read (empty without them).
    std::span<const uint8_t> Bytes() const {
        return bytes_ ? std::span<const uint8_t>(*bytes_) : std::span<const uint8_t>();
    }
    bool HasDecodedBitmap() const { return bitmap_ != nullptr; }

  private:
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
    JpegHeader header_;
    std::unique_ptr<graphics::TBitmap> bitmap_;
};

} // namespace tjpeg
