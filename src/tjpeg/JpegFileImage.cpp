#include "tjpeg/JpegFileImage.h"

#include "graphics/Exceptions.h"
#include "graphics/Stream.h"
#include "platform/Surface.h"

namespace tjpeg {

TJpegFileImage::TJpegFileImage() = default;
TJpegFileImage::~TJpegFileImage() = default;

const graphics::TGraphicClass& TJpegFileImage::Class() {
    static const graphics::TGraphicClass cls{
        "TJpegFileImage", &graphics::TGraphic::Class(),
        []() -> std::unique_ptr<graphics::TGraphic> { return std::make_unique<TJpegFileImage>(); }};
    return cls;
}

void TJpegFileImage::CopyFrom(const graphics::TPersistent* source) {
    if (const auto* bitmap = dynamic_cast<const graphics::TBitmap*>(source)) {
        // The copy is made before the old bitmap goes: the source may be that bitmap.
        auto copy = std::make_unique<graphics::TBitmap>();
        copy->CopyFrom(bitmap);
        bytes_.reset();
        header_ = {};
        bitmap_ = std::move(copy);
        NotifyChanged();
        return;
    }
    if (const auto* picture = dynamic_cast<const TJpegFileImage*>(source)) {
        if (picture == this)
            return;
        std::unique_ptr<graphics::TBitmap> copy;
        if (picture->bitmap_) {
            copy = std::make_unique<graphics::TBitmap>();
            copy->CopyFrom(picture->bitmap_.get());
        }
        bytes_ = picture->bytes_;
        header_ = picture->header_;
        bitmap_ = std::move(copy);
        transparent_ = picture->transparent_;
        NotifyChanged();
        return;
    }
    graphics::TGraphic::CopyFrom(source);
}

void TJpegFileImage::DrawGraphic(graphics::TCanvas& target, const platform::RECT& rect) {
    Bitmap().DrawGraphic(target, rect);
}

bool TJpegFileImage::IsEmpty() const {
    return !bytes_ && (!bitmap_ || bitmap_->IsEmpty());
}

int TJpegFileImage::Width() const {
    return bitmap_ ? bitmap_->Width() : header_.width;
}

int TJpegFileImage::Height() const {
    return bitmap_ ? bitmap_->Height() : header_.height;
}

void TJpegFileImage::ResizeWidth(int) {
    throw graphics::EInvalidGraphicOperation("Cannot change the size of a Jpeg file");
}

void TJpegFileImage::ResizeHeight(int) {
    throw graphics::EInvalidGraphicOperation("Cannot change the size of a Jpeg file");
}

void TJpegFileImage::LoadFromStream(graphics::TStream& stream) {
    const int64_t count = stream.Size() - stream.Position();
    if (count <= 0 || uint64_t(count) > platform::kMaxPixelBytes)
        throw EJpegFile("Jpeg file is not valid");
    // Read and check completely before the picture takes the bytes: a failure leaves it as it was.
    auto bytes = std::make_shared<std::vector<uint8_t>>(size_t(count));
    stream.ReadBuffer(*bytes);
    const JpegHeader header = ReadJpegHeader(*bytes);
    bytes_ = std::move(bytes);
    header_ = header;
    bitmap_.reset();
    NotifyChanged();
}

void TJpegFileImage::SaveToStream(graphics::TStream& stream) {
    if (bytes_) {
        stream.WriteBuffer(*bytes_);
        return;
    }
    const std::vector<uint8_t> encoded = EncodeJpeg(Bitmap(), kSaveQuality);
    stream.WriteBuffer(encoded);
}

graphics::TBitmap& TJpegFileImage::Bitmap() {
    if (!bitmap_) {
        auto decoded = std::make_unique<graphics::TBitmap>();
        if (bytes_)
            DecodeJpeg(*bytes_, *decoded);
        bitmap_ = std::move(decoded);
    }
    return *bitmap_;
}

void TJpegFileImage::ImportClipboardData(uint16_t format, platform::GdiBitmap* data,
                                         platform::GdiPalette* palette) {
    graphics::TBitmap bitmap;
    bitmap.ImportClipboardData(format, data, palette);
    CopyFrom(&bitmap);
}

graphics::THandOverValues TJpegFileImage::ExportClipboardData() {
    return Bitmap().ExportClipboardData();
}

} // namespace tjpeg
