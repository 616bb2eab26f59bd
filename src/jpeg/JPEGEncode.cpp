// Encoding: a bitmap into JFIF bytes, with libjpeg's defaults (YCbCr 2x2/1x1/1x1, the Annex K
// tables scaled to the picture's quality, baseline or the simple progressive script), the float
// DCT, and the rows read in place from a 24-bit copy in blue, green, red order.
#include "jpeg/JPEGCodec.h"
#include "jpeg/JPEGImage.h"

#include <algorithm>
#include <exception>
#include <span>
#include <vector>

namespace jpeg {

namespace {

// The address of every row of a 24-bit bitmap, top row first. The bitmap must not change while
// the table is in use.
std::vector<JSAMPROW> RowTable(graphics::TBitmap& bitmap) {
    const int height = bitmap.Height();
    const size_t rowBytes = size_t(bitmap.Width()) * 3;
    std::vector<JSAMPROW> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::span<uint8_t> row = bitmap.RowAddress(y);
        if (row.size() < rowBytes)
            throw graphics::EInvalidGraphic("Bitmap image is not valid");
        rows[size_t(y)] = row.data();
    }
    return rows;
}

// Top-down storage with aligned rows goes to the library in one call; otherwise (the usual
// bottom-up storage) one row per call, which also lets the library report progress per row.
JDIMENSION RowsPerCall(const std::vector<JSAMPROW>& rows, JDIMENSION height) {
    if (rows.size() < 2)
        return height;
    const std::ptrdiff_t stride = rows[1] - rows[0];
    return stride > 0 && stride % 4 == 0 ? height : 1;
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

    cinfo.image_width = JDIMENSION(cachedBitmap_->Width());
    cinfo.image_height = JDIMENSION(cachedBitmap_->Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;

    // The cached bitmap itself stays as it is, whatever its format.
    graphics::TBitmap source;
    source.CopyFrom(cachedBitmap_.get());
    source.SetPixelFormat(graphics::pf24bit);

    const int quality = encodeQuality_;
    const bool progressive = progressiveOutput_;
    codec::Run(encoder, [&] {
        jpeg_set_defaults(&cinfo);
        cinfo.dct_method = JDCT_FLOAT;
        jpeg_set_quality(&cinfo, quality, TRUE);
        if (progressive)
            jpeg_simple_progression(&cinfo);
    });
    std::vector<JSAMPROW> rows = RowTable(source);

    // From here on a listener's EAbort ends the encoding quietly; what was written is dropped.
    bool completed = false;
    std::exception_ptr failure;
    try {
        Progress(graphics::psStarting, 0, false, {}, std::string());
        codec::Run(encoder, [&] { jpeg_start_compress(&cinfo, TRUE); });
        const JDIMENSION perCall = RowsPerCall(rows, cinfo.image_height);
        while (cinfo.next_scanline < cinfo.image_height) {
            const JDIMENSION next = cinfo.next_scanline;
            const JDIMENSION count = std::min(perCall, cinfo.image_height - next);
            JDIMENSION done = 0;
            codec::Run(encoder,
                       [&] { done = jpeg_write_scanlines(&cinfo, rows.data() + next, count); });
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
