// Decoding: JPEG bytes straight into a bitmap's rows, in the bitmap's blue, green, red order
// (libjpeg-turbo's JCS_EXT_BGR), or as palette indices through libjpeg's colour quantizers.
#include "jpeg/JPEGCodec.h"
#include "jpeg/JPEGImage.h"
#include "platform/Gdi.h"
#include "platform/Surface.h"

#include <algorithm>
#include <array>
#include <exception>
#include <jerror.h>
#include <span>
#include <vector>

namespace jpeg {

namespace {

// An 8-bit display keeps 20 static colours for the system; pictures get the rest.
constexpr int kQuantizedColors = 236;

enum class RowLayout : uint8_t {
    Bgr,     // three bytes per pixel, written in place
    Indices, // one palette index per pixel, written in place
    Cmyk,    // four bytes per pixel from libjpeg, converted into the bitmap's BGR row
};

// The decoding parameters: full size, block smoothing, the float DCT (libjpeg-turbo's default
// differs), and the output layout that fits a bitmap.
RowLayout ConfigureOutput(jpeg_decompress_struct& cinfo, bool eightBitOutput) {
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    cinfo.do_block_smoothing = TRUE;
    cinfo.dct_method = JDCT_FLOAT;
    RowLayout layout;
    switch (cinfo.out_color_space) {
    case JCS_GRAYSCALE:
        // A bitmap has no 8-bit grey format without a palette: always quantized.
        layout = RowLayout::Indices;
        break;
    case JCS_CMYK:
        // Four-component files (CMYK and YCCK) become colour; a quantized colour map of four
        // components would have no place in a palette, so they stay 24-bit.
        layout = RowLayout::Cmyk;
        break;
    default:
        cinfo.out_color_space = JCS_EXT_BGR;
        layout = eightBitOutput ? RowLayout::Indices : RowLayout::Bgr;
        break;
    }
    if (layout == RowLayout::Indices) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = kQuantizedColors;
    }
    return layout;
}

// The frame's declared size is not trusted: a picture beyond the shared pixel limit is refused
// before libjpeg allocates anything for the whole image.
void CheckPixelLimit(const jpeg_decompress_struct& cinfo, RowLayout layout) {
    const int bitsPerPixel = layout == RowLayout::Indices ? 8 : 24;
    if (!platform::SurfaceSizeAllowed(cinfo.image_width, cinfo.image_height, bitsPerPixel))
        throw EJPEG(JERR_IMAGE_TOO_BIG);
}

// The logical palette of libjpeg's colour map: grey entries for grey output, otherwise the
// map's components in blue, green, red order.
platform::LOGPALETTE ColorMapToPalette(const jpeg_decompress_struct& cinfo) {
    platform::LOGPALETTE palette;
    palette.palVersion = 0x300;
    const int count = cinfo.actual_number_of_colors;
    palette.palPalEntry.resize(size_t(count));
    const bool grey = cinfo.out_color_space == JCS_GRAYSCALE;
    for (int i = 0; i < count; ++i) {
        platform::PALETTEENTRY& entry = palette.palPalEntry[size_t(i)];
        if (grey) {
            entry.peRed = entry.peGreen = entry.peBlue = cinfo.colormap[0][i];
        } else {
            entry.peRed = cinfo.colormap[2][i];
            entry.peGreen = cinfo.colormap[1][i];
            entry.peBlue = cinfo.colormap[0][i];
        }
    }
    return palette;
}

// The bitmap's storage for the output: a bottom-up DIB section of 24 bits, or of 8 bits with the
// colour map as palette and colour table, as the bitmap's own pixel format and sizing make it.
// Made here directly, because every row is written by the decoder: filling a picture of many
// megapixels white first would cost as much as a good part of the decoding.
void MakeOutputStorage(const jpeg_decompress_struct& cinfo, RowLayout layout,
                       graphics::TBitmap& target) {
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = int32_t(cinfo.output_width);
    info.bmiHeader.biHeight = int32_t(cinfo.output_height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = layout == RowLayout::Indices ? 8 : 24;
    graphics::TNewBitmapImage parts;
    if (cinfo.colormap != nullptr) {
        const platform::LOGPALETTE palette = ColorMapToPalette(cinfo);
        for (const platform::PALETTEENTRY& e : palette.palPalEntry)
            info.bmiColors.push_back({e.peBlue, e.peGreen, e.peRed, 0});
        parts.palette = platform::CreatePalette(palette);
        if (!parts.palette)
            graphics::RaiseOutOfResources();
    }
    parts.storage =
        platform::CreateDIBSection(&platform::GetScreenDC(), info, platform::DIB_RGB_COLORS);
    if (!parts.storage ||
        platform::GetObject(*parts.storage, parts.description) != platform::kDibSectionObjectSize)
        graphics::RaiseOutOfResources();
    graphics::InstallImage(target, std::move(parts));
}

// Rows the decoding did not reach (it was stopped or failed) are white, as new bitmap area is.
void WhitenRowsFrom(graphics::TBitmap& target, int first) {
    if (target.IsEmpty() || first >= target.Height())
        return;
    uint8_t white = 0xFF;
    if (target.PixelFormat() == graphics::pf8bit && target.PaletteHandle() != nullptr)
        white = uint8_t(platform::GetNearestPaletteIndex(*target.PaletteHandle(),
                                                         platform::RGB(255, 255, 255)));
    const size_t used = size_t(target.Width()) * (target.PixelFormat() == graphics::pf8bit ? 1 : 3);
    for (int y = first; y < target.Height(); ++y)
        std::ranges::fill(target.RowAddress(y).first(used), white);
}

uint8_t Scale(unsigned a, unsigned b) {
    return uint8_t((a * b + 127) / 255);
}

// CMYK to blue, green, red. The inks are read inverted, 255 meaning no ink, as Adobe's
// applications store them and as libjpeg's djpeg reads every four-component file, with or
// without Adobe's marker. Taken as plain ink amounts, a file without the marker came out
// nearly black.
void CmykToBgr(std::span<const uint8_t> cmyk, std::span<uint8_t> bgr, size_t width) {
    for (size_t x = 0; x < width; ++x) {
        const unsigned c = cmyk[4 * x];
        const unsigned m = cmyk[4 * x + 1];
        const unsigned y = cmyk[4 * x + 2];
        const unsigned k = cmyk[4 * x + 3];
        bgr[3 * x] = Scale(y, k);
        bgr[3 * x + 1] = Scale(m, k);
        bgr[3 * x + 2] = Scale(c, k);
    }
}

// Output rows asked of the library per call; it gives at most one row group per call.
constexpr JDIMENSION kRowsPerCall = 16;

// Reads every output row into its place in target, in batches of rows written in place (one
// row at a time through a conversion row for CMYK).
void ReadRows(codec::Decompressor& decoder, graphics::TBitmap& target, RowLayout layout) {
    jpeg_decompress_struct& cinfo = decoder.cinfo;
    const size_t width = cinfo.output_width;
    const size_t libraryRowBytes = width * size_t(cinfo.output_components);
    const size_t bitmapRowBytes = layout == RowLayout::Indices ? width : 3 * width;
    std::vector<uint8_t> cmykRow(layout == RowLayout::Cmyk ? libraryRowBytes : 0);
    const JDIMENSION perCall = layout == RowLayout::Cmyk ? 1 : kRowsPerCall;
    std::array<JSAMPROW, kRowsPerCall> addresses{};

    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        const JDIMENSION count = std::min(perCall, cinfo.output_height - first);
        std::span<uint8_t> row;
        for (JDIMENSION i = 0; i < count; ++i) {
            row = target.RowAddress(int(first + i));
            if (row.size() < bitmapRowBytes ||
                (layout != RowLayout::Cmyk && row.size() < libraryRowBytes))
                throw graphics::EInvalidGraphic("Bitmap image is not valid");
            addresses[i] = layout == RowLayout::Cmyk ? cmykRow.data() : row.data();
        }
        JDIMENSION done = 0;
        codec::Run(decoder, [&] { done = jpeg_read_scanlines(&cinfo, addresses.data(), count); });
        if (done == 0)
            break; // cannot happen with a source that never suspends; finish will complain
        if (layout == RowLayout::Cmyk)
            CmykToBgr(cmykRow, row, width);
    }
}

} // namespace

graphics::TBitmap& TJPEGImage::Bitmap() {
    if (cachedBitmap_)
        return *cachedBitmap_;
    cachedBitmap_ = std::make_unique<graphics::TBitmap>();
    // A picture that never had bytes decodes to an empty bitmap.
    if (HasBytes())
        Decode(*cachedBitmap_);
    return *cachedBitmap_;
}

void TJPEGImage::Decode(graphics::TBitmap& target) {
    codec::Decompressor decoder(this);
    decoder.Create();
    jpeg_decompress_struct& cinfo = decoder.cinfo;
    // The bytes are read in place; a filled record never changes while pictures share it.
    const std::span<const uint8_t> bytes = data_->Bytes->Memory();
    codec::Run(decoder, [&] {
        decoder.AttachMemory(bytes);
        jpeg_read_header(&cinfo, TRUE);
    });
    const RowLayout layout = ConfigureOutput(cinfo, eightBitOutput_);
    CheckPixelLimit(cinfo, layout);
    target.SetPixelFormat(layout == RowLayout::Indices ? graphics::pf8bit : graphics::pf24bit);

    // From here on a listener's EAbort ends the decoding quietly, keeping the rows so far.
    bool completed = false;
    std::exception_ptr failure;
    try {
        Progress(graphics::psStarting, 0, false, {}, std::string());
        // With two-pass quantization this runs the colour statistics over the whole image.
        codec::Run(decoder, [&] { jpeg_start_decompress(&cinfo); });
        MakeOutputStorage(cinfo, layout, target);
        if (cinfo.colormap != nullptr)
            SetPaletteModified(true);
        ReadRows(decoder, target, layout);
        codec::Run(decoder, [&] { jpeg_finish_decompress(&cinfo); });
        completed = true;
    } catch (const graphics::EAbort&) {
    } catch (...) {
        failure = std::current_exception();
    }
    if (!completed) {
        try {
            WhitenRowsFrom(target, int(cinfo.output_scanline));
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }

    try {
        Progress(graphics::psEnding, completed ? 100 : 0, PaletteModified(), {}, std::string());
        if (PaletteModified())
            NotifyChanged();
    } catch (const graphics::EAbort&) {
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace jpeg
