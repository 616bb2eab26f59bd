// Encoding: a bitmap into JFIF bytes, with libjpeg's defaults (YCbCr 2x2/1x1/1x1, the Annex K
// tables scaled to the picture's quality, baseline or the simple progressive script) and the
// float DCT. 24- and 32-bit storage (the card is a 32-bit device bitmap) goes to the library as
// it lies in memory, blue, green, red (and unused); any other format is converted to a 24-bit
// copy first.
#include "jpeg/JPEGCodec.h"
#include "jpeg/JPEGImage.h"
#include "platform/GdiObjects.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace jpeg {

namespace {

// Rows handed to the library per call; the library reports progress once per call.
constexpr JDIMENSION kRowsPerCall = 32;

// The rows of a bitmap's storage in the form the library reads, top row first.
struct InputRows {
    std::vector<JSAMPROW> rows;
    J_COLOR_SPACE colorSpace = JCS_EXT_BGR;
    int components = 3;
};

// The rows of bitmap's storage when the library can read them as they are: 24 bits, or 32 bits
// with the standard channel masks (its fourth byte unused). libjpeg-turbo converts both with the
// same arithmetic, so the bytes equal those of a 24-bit copy. Nothing for other storage. The
// storage must stay unchanged while the rows are in use.
std::optional<InputRows> StorageRows(const graphics::TBitmap& bitmap) {
    const graphics::TBitmapImage& image = bitmap.Image();
    if (!image.handle)
        return std::nullopt;
    const platform::Surface& pixels = std::as_const(*image.handle).Pixels();
    if (pixels.Width() != bitmap.Width() || pixels.Height() != bitmap.Height() ||
        pixels.Indexed() || pixels.IsMonochromeDevice() || pixels.Masks() != platform::kMasks888)
        return std::nullopt;
    InputRows input;
    if (pixels.BitsPerPixel() == 32) {
        input.colorSpace = JCS_EXT_BGRX;
        input.components = 4;
    } else if (pixels.BitsPerPixel() != 24) {
        return std::nullopt;
    }
    input.rows.resize(size_t(pixels.Height()));
    for (int y = 0; y < pixels.Height(); ++y) {
        // The library only reads input rows; its interface just is not const.
        input.rows[size_t(y)] = const_cast<JSAMPROW>(pixels.Row(y).data());
    }
    return input;
}

} // namespace

void TJPEGImage::Encode() {
    codec::Compressor encoder(this);
    encoder.Create();
    jpeg_compress_struct& cinfo = encoder.cinfo;
    if (HasBytes())
        NewDataRecord();
    data_->Bytes = std::make_unique<graphics::TMemoryStream>();
    graphics::TMemoryStream& bytes = *data_->Bytes;
    codec::Run(encoder, [&] { encoder.AttachDestination(bytes); });

    // Nothing to encode: the bytes stay empty and a save writes an empty file.
    if (!cachedBitmap_ || cachedBitmap_->Width() == 0 || cachedBitmap_->Height() == 0)
        return;

    // The encoder reads the storage the bitmap shares with this one, which a listener drawing
    // on the cached bitmap meanwhile would only part from it (copy on write), never change.
    graphics::TBitmap source;
    source.CopyFrom(cachedBitmap_.get());
    std::optional<InputRows> input = StorageRows(source);
    if (!input) {
        source.SetPixelFormat(graphics::pf24bit);
        input = StorageRows(source);
        if (!input)
            throw graphics::EInvalidGraphic("Bitmap image is not valid");
    }

    cinfo.image_width = JDIMENSION(source.Width());
    cinfo.image_height = JDIMENSION(source.Height());
    cinfo.input_components = input->components;
    cinfo.in_color_space = input->colorSpace;
    const int quality = encodeQuality_;
    const bool progressive = progressiveOutput_;
    codec::Run(encoder, [&] {
        jpeg_set_defaults(&cinfo);
        cinfo.dct_method = JDCT_FLOAT;
        jpeg_set_quality(&cinfo, quality, TRUE);
        if (progressive)
            jpeg_simple_progression(&cinfo);
    });

    // From here on a listener's EAbort ends the encoding quietly; what was written is dropped.
    bool completed = false;
    std::exception_ptr failure;
    try {
        Progress(graphics::psStarting, 0, false, {}, std::string());
        codec::Run(encoder, [&] { jpeg_start_compress(&cinfo, TRUE); });
        while (cinfo.next_scanline < cinfo.image_height) {
            const JDIMENSION next = cinfo.next_scanline;
            const JDIMENSION count = std::min(kRowsPerCall, cinfo.image_height - next);
            JSAMPARRAY rows = input->rows.data() + next;
            JDIMENSION done = 0;
            codec::Run(encoder, [&] { done = jpeg_write_scanlines(&cinfo, rows, count); });
            if (done == 0)
                break; // cannot happen without suspension; finish will complain
        }
        codec::Run(encoder, [&] { jpeg_finish_compress(&cinfo); });
        completed = true;
    } catch (const graphics::EAbort&) {
    } catch (...) {
        failure = std::current_exception();
    }

    try {
        Progress(graphics::psEnding, completed ? 100 : 0, false, {}, std::string());
    } catch (const graphics::EAbort&) {
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    // A partial stream must never be saved later as if it were the picture.
    if (!completed)
        NewDataRecord();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace jpeg
