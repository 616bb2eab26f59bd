// TJPEGImage: a JPEG (JFIF) picture over libjpeg-turbo. The picture keeps the file's bytes
// unchanged in memory, decodes them into a bitmap only when a bitmap is asked for, and encodes a
// bitmap into new bytes only when bytes are needed for saving. Both results are cached, so a
// picture decodes at most once and encodes at most once.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/Graphic.h"
#include "graphics/Stream.h"
#include "platform/Gdi.h"

#include <cstdint>
#include <memory>
#include <string>

namespace jpeg {

// A failure that libjpeg treats as fatal. The message is "JPEG error #<n>" with libjpeg's own
// message number (its texts are not used), for example 53 for data that does not start with
// SOI, 42 for an empty input, 41 for a picture too large to handle.
class EJPEG : public graphics::EInvalidGraphic {
  public:
    explicit EJPEG(int messageCode);
    int MessageCode() const noexcept { return code_; }

  private:
    int code_;
};

// Module-wide settings copied into every new picture. Only EncodeQuality, EightBitOutput and
// ProgressiveOutput change a result; the others keep libjpeg's full-size, smoothed decoding.
struct TJPEGDefaults {
    uint8_t EncodeQuality = 90;
    uint8_t Grayscale = 0;
    uint8_t SpeedOverQuality = 0;
    uint8_t EightBitOutput = 0;
    uint8_t ShowScans = 0;
    uint8_t ProgressiveOutput = 0;
    uint8_t ScaleShift = 0;
    uint8_t BlockSmoothing = 1;
};
static_assert(sizeof(TJPEGDefaults) == 8);

// Written once at start-up (InitJpegDefaults), read by every constructor afterwards.
inline TJPEGDefaults JpegDefaults;

// Chooses 8-bit palette decoding when the screen has at most 8 bits per pixel.
void InitJpegDefaults();

// Module start-up: InitJpegDefaults. A second call does nothing. The picture format list's
// entries for TJPEGImage come from the picture table (card::InitializePictureModules).
void InitializeJPEGImageUnit();
// Removes TJPEGImage from the picture format list, whoever entered it.
void FinalizeJPEGImageUnit();

// The bytes of one JPEG file, as read or as encoded. Never changed once filled, so pictures may
// share a record.
class TJPEGData {
  public:
    // None in a fresh record.
    std::unique_ptr<graphics::TMemoryStream> Bytes;
    // The frame size found by the header check at load time (0 before one succeeded).
    int HeaderWidth = 0;
    int HeaderHeight = 0;
    // The EXIF Orientation found by the header check: 1 (shown as stored) to 8; 1 when the file
    // has no such tag or its EXIF data is damaged.
    int Orientation = 1;
};

class TJPEGImage : public graphics::TGraphic {
  public:
    TJPEGImage();
    ~TJPEGImage() override;

    static const graphics::TGraphicClass& Class();
    const graphics::TGraphicClass& ClassType() const override { return Class(); }

    // A bitmap source: a fresh data record and a copy of the bitmap; nothing is encoded yet and
    // no change is notified. A JPEG source: its bytes, bitmap and settings. Otherwise the
    // source's CopyInto decides.
    void CopyFrom(const graphics::TPersistent* source) override;

    // ---- TGraphic.
    void DrawGraphic(graphics::TCanvas& target, const platform::RECT& rect) override;
    bool IsEmpty() const override;
    int Width() const override;
    int Height() const override;
    // A JPEG picture is not resized: EInvalidGraphicOperation.
    void ResizeWidth(int width) override;
    void ResizeHeight(int height) override;
    platform::GdiPalette* PaletteOf() const override;
    // All bytes from the stream's position to its end; only the header is checked here.
    void LoadFromStream(graphics::TStream& stream) override;
    // Encodes first when needed, then writes all bytes in one write (a short write raises
    // EWriteError).
    void SaveToStream(graphics::TStream& stream) override;
    // Encodes first, then replaces the file through a temporary file beside it, so a failure
    // leaves an existing file as it was.
    void WriteToFile(const std::string& path) override;
    // The hand-over values of the decoded bitmap; they belong to the caller.
    graphics::THandOverValues ExportClipboardData() override;
    // Takes a copy of the bitmap the hand-over values name.
    void ImportClipboardData(uint16_t format, platform::GdiBitmap* data,
                             platform::GdiPalette* palette) override;
    using graphics::TGraphic::ImportClipboardData;

    // ---- JPEG.
    // The decoded picture, decoding the bytes first when there is none. A picture without bytes
    // gives an empty bitmap. The bitmap stays with the picture.
    graphics::TBitmap& Bitmap();
    // Encodes the bitmap when the data record has no bytes.
    void EnsureData();

    uint8_t EncodeQuality() const { return encodeQuality_; }
    bool EightBitOutput() const { return eightBitOutput_; }
    // Set by every successful header read: whether the file has several scans. A picture whose
    // last load was progressive encodes a progressive file.
    bool ProgressiveOutput() const { return progressiveOutput_; }
    // The EXIF Orientation of the file last read (1 to 8, see TJPEGData::Orientation); 1 for a
    // picture made from a bitmap. The bitmap itself is always the file's pixels as stored.
    int Orientation() const { return data_->Orientation; }

    // ---- Inspection.
    const TJPEGData& Data() const { return *data_; }
    bool HasCachedBitmap() const { return cachedBitmap_ != nullptr; }

  private:
    bool HasBytes() const { return data_->Bytes != nullptr; }
    void NewDataRecord();
    void ReadJpegBytes(int64_t count, graphics::TStream& stream);
    // Decodes Bytes into target (JPEGDecode.cpp).
    void Decode(graphics::TBitmap& target);
    // Encodes CachedBitmap into a new Bytes (JPEGEncode.cpp).
    void Encode();

    std::shared_ptr<TJPEGData> data_;
    std::unique_ptr<graphics::TBitmap> cachedBitmap_;
    uint8_t encodeQuality_;
    bool eightBitOutput_;
    bool progressiveOutput_;
};

} // namespace jpeg
