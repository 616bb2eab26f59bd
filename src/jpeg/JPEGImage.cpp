#include "jpeg/JPEGImage.h"

#include "graphics/FileReplace.h"
#include "graphics/PictureFormats.h"
#include "jpeg/JPEGCodec.h"
#include "jpeg/JPEGExif.h"
#include "platform/Gdi.h"

#include <string>

namespace jpeg {

namespace {

// What the header check learns from a file.
struct HeaderInfo {
    bool multipleScans = false;
    int width = 0;
    int height = 0;
    int orientation = 1;
};

// Reads the header of bytes from offset 0: fails on data that does not start with SOI and on a
// damaged header, and reads nothing of the compressed image data. libjpeg keeps the APP1
// segments for the EXIF orientation; only here, so decoding itself skips them as before.
HeaderInfo CheckHeader(graphics::TMemoryStream& bytes) {
    codec::Decompressor decoder;
    decoder.Create();
    HeaderInfo info;
    codec::Run(decoder, [&] {
        decoder.AttachMemory(bytes.Memory());
        jpeg_save_markers(&decoder.cinfo, kExifMarker, kExifMarkerMaxLength);
        jpeg_read_header(&decoder.cinfo, TRUE);
        info.multipleScans = jpeg_has_multiple_scans(&decoder.cinfo) != 0;
    });
    info.width = int(decoder.cinfo.image_width);
    info.height = int(decoder.cinfo.image_height);
    // Outside the library's frame: libexif's work needs no jump point, and its memory has an owner.
    info.orientation = ExifOrientation(decoder.cinfo.marker_list);
    return info;
}

} // namespace

EJPEG::EJPEG(int messageCode)
    : graphics::EInvalidGraphic("JPEG error #" + std::to_string(messageCode)), code_(messageCode) {}

// ---- Module state.

void InitJpegDefaults() {
    const platform::DeviceContext& screen = platform::GetScreenDC();
    const int depth = platform::GetDeviceCaps(screen, platform::BITSPIXEL) *
                      platform::GetDeviceCaps(screen, platform::PLANES);
    JpegDefaults.EightBitOutput = depth <= 8 ? 1 : 0;
}

namespace {
bool unitInitialized = false;
} // namespace

void InitializeJPEGImageUnit() {
    if (unitInitialized)
        return;
    unitInitialized = true;
    InitJpegDefaults();
}

void FinalizeJPEGImageUnit() {
    unitInitialized = false;
    // The class leaves the list whoever entered it (the picture table, at start-up).
    graphics::UnregisterGraphicClass(TJPEGImage::Class());
}

// ---- TJPEGImage.

TJPEGImage::TJPEGImage()
    : data_(std::make_shared<TJPEGData>()), encodeQuality_(JpegDefaults.EncodeQuality),
      eightBitOutput_(JpegDefaults.EightBitOutput != 0),
      progressiveOutput_(JpegDefaults.ProgressiveOutput != 0) {}

TJPEGImage::~TJPEGImage() = default;

const graphics::TGraphicClass& TJPEGImage::Class() {
    static const graphics::TGraphicClass cls{
        "TJPEGImage", &graphics::TGraphic::Class(),
        []() -> std::unique_ptr<graphics::TGraphic> { return std::make_unique<TJPEGImage>(); }};
    return cls;
}

void TJPEGImage::NewDataRecord() {
    data_ = std::make_shared<TJPEGData>();
}

void TJPEGImage::CopyFrom(const graphics::TPersistent* source) {
    if (const auto* bitmap = dynamic_cast<const graphics::TBitmap*>(source)) {
        // The copy is made before the old bitmap goes: the source may be that bitmap.
        auto copy = std::make_unique<graphics::TBitmap>();
        copy->CopyFrom(bitmap);
        NewDataRecord();
        cachedBitmap_ = std::move(copy);
        return;
    }
    if (const auto* picture = dynamic_cast<const TJPEGImage*>(source)) {
        if (picture == this)
            return;
        std::unique_ptr<graphics::TBitmap> copy;
        if (picture->cachedBitmap_) {
            copy = std::make_unique<graphics::TBitmap>();
            copy->CopyFrom(picture->cachedBitmap_.get());
        }
        // Filled records never change, so the two pictures can share one.
        data_ = picture->data_;
        cachedBitmap_ = std::move(copy);
        encodeQuality_ = picture->encodeQuality_;
        eightBitOutput_ = picture->eightBitOutput_;
        progressiveOutput_ = picture->progressiveOutput_;
        SetPaletteModified(PaletteOf() != nullptr);
        NotifyChanged();
        return;
    }
    graphics::TGraphic::CopyFrom(source);
}

void TJPEGImage::DrawGraphic(graphics::TCanvas& target, const platform::RECT& rect) {
    Bitmap().DrawGraphic(target, rect);
}

bool TJPEGImage::IsEmpty() const {
    const bool noBytes = !HasBytes() || data_->Bytes->Memory().empty();
    return noBytes && (!cachedBitmap_ || cachedBitmap_->IsEmpty());
}

int TJPEGImage::Width() const {
    return cachedBitmap_ ? cachedBitmap_->Width() : data_->HeaderWidth;
}

int TJPEGImage::Height() const {
    return cachedBitmap_ ? cachedBitmap_->Height() : data_->HeaderHeight;
}

void TJPEGImage::ResizeWidth(int) {
    throw graphics::EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::ResizeHeight(int) {
    throw graphics::EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

platform::GdiPalette* TJPEGImage::PaletteOf() const {
    return cachedBitmap_ ? cachedBitmap_->PaletteOf() : nullptr;
}

// ---- Loading.

void TJPEGImage::LoadFromStream(graphics::TStream& stream) {
    const int64_t count = stream.Size() - stream.Position();
    ReadJpegBytes(count > 0 ? count : 0, stream);
}

void TJPEGImage::ReadJpegBytes(int64_t count, graphics::TStream& stream) {
    NewDataRecord();
    cachedBitmap_.reset();
    // Read completely before the record takes the bytes: a short stream leaves no half file.
    auto bytes = std::make_unique<graphics::TMemoryStream>();
    bytes->SetSize(count);
    if (count > 0)
        stream.ReadBuffer(bytes->Memory());
    data_->Bytes = std::move(bytes);
    // An empty file passes; decoding it fails.
    if (count > 0) {
        const HeaderInfo info = CheckHeader(*data_->Bytes);
        progressiveOutput_ = info.multipleScans;
        data_->HeaderWidth = info.width;
        data_->HeaderHeight = info.height;
        data_->Orientation = info.orientation;
    }
    SetPaletteModified(true);
    NotifyChanged();
}

// ---- Saving.

void TJPEGImage::EnsureData() {
    if (!HasBytes())
        Encode();
}

void TJPEGImage::SaveToStream(graphics::TStream& stream) {
    EnsureData();
    if (HasBytes() && !data_->Bytes->Memory().empty())
        stream.WriteBuffer(data_->Bytes->Memory());
}

void TJPEGImage::WriteToFile(const std::string& path) {
    // Encoding first: a failing encoder never touches the file.
    EnsureData();
    // A listener stopped the encoding: there is nothing to save, and the file stays as it was.
    if (!HasBytes())
        throw graphics::EAbort("Operation aborted");
    graphics::ReplaceFileContents(path, data_->Bytes->Memory());
}

// ---- Hand-over values.

graphics::THandOverValues TJPEGImage::ExportClipboardData() {
    return Bitmap().ExportClipboardData();
}

void TJPEGImage::ImportClipboardData(uint16_t format, platform::GdiBitmap* data,
                                     platform::GdiPalette* palette) {
    graphics::TBitmap bitmap;
    bitmap.ImportClipboardData(format, data, palette);
    CopyFrom(&bitmap);
    SetPaletteModified(PaletteOf() != nullptr);
    NotifyChanged();
}

} // namespace jpeg
