#include "tjpeg/TurboJpeg.h"

#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/Surface.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <turbojpeg.h>

namespace tjpeg {

namespace {

const char* const kNotValid = "Jpeg file is not valid";

struct HandleCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// TurboJPEG reports a failed call as a warning whenever a warning came first, even when a fatal
// error followed it; its last message tells them apart. These are the starts of libjpeg's
// warning texts (its JWRN_ messages); every other text is fatal.
bool LastMessageIsWarning(tjhandle handle) {
    if (tjGetErrorCode(handle) != TJERR_WARNING)
        return false;
    static constexpr std::string_view kWarnings[] = {
        "Corrupt JPEG data",
        "Premature end of JPEG file",
        "Inconsistent progression sequence",
        "Invalid SOS parameters for sequential JPEG",
        "Unknown Adobe color transform code",
        "Warning: unknown JFIF revision",
        "Application transferred too many scanlines",
    };
    const std::string_view text = tjGetErrorStr2(handle);
    return std::ranges::any_of(kWarnings,
                               [text](std::string_view start) { return text.starts_with(start); });
}

[[noreturn]] void RaiseLibraryError(tjhandle handle) {
    throw EJpegFile(std::string(kNotValid) + ": " + tjGetErrorStr2(handle));
}

Handle NewDecompressor() {
    Handle handle(tjInitDecompress());
    if (!handle)
        RaiseLibraryError(nullptr);
    return handle;
}

// TurboJPEG takes sizes as unsigned long; files beyond the byte limit are refused before that.
unsigned long CheckedSize(std::span<const uint8_t> file) {
    if (file.empty() || file.size() > platform::kMaxPixelBytes)
        throw EJpegFile(kNotValid);
    return static_cast<unsigned long>(file.size());
}

// The frame header itself (ITU T.81, B.2.2), found by walking the marker segments up to the
// first scan: for sampling layouts that TurboJPEG 2.x cannot name (4:1:0, mixed factors), whose
// header call fails although the library decodes them.
std::optional<JpegHeader> ReadFrameHeader(std::span<const uint8_t> file) {
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8)
        return std::nullopt;
    size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        const uint8_t marker = file[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image
            return std::nullopt;
        const size_t length = (size_t(file[at + 2]) << 8) | file[at + 3];
        if (length < 2 || at + 2 + length > file.size())
            return std::nullopt;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && length >= 8) {
            const uint8_t* f = &file[at + 4];
            return JpegHeader{(f[3] << 8) | f[4], (f[1] << 8) | f[2], f[5] == 4};
        }
        at += 2 + length;
    }
    return std::nullopt;
}

JpegHeader ReadHeader(tjhandle handle, std::span<const uint8_t> file) {
    const unsigned long size = CheckedSize(file);
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    JpegHeader header;
    // A warning (damaged data the library reads on) still gives the frame.
    if (tjDecompressHeader3(handle, file.data(), size, &width, &height, &subsampling,
                            &colorspace) == 0 ||
        (LastMessageIsWarning(handle) && width > 0 && height > 0)) {
        header = {width, height, colorspace == TJCS_CMYK || colorspace == TJCS_YCCK};
    } else if (const auto frame = ReadFrameHeader(file);
               frame && frame->width > 0 && frame->height > 0) {
        // The decode itself then accepts the file or gives the library's reason.
        header = *frame;
    } else {
        RaiseLibraryError(handle);
    }
    // The bitmap holds 24 bits per pixel; four-component files pass through a 32-bit buffer.
    if (!platform::SurfaceSizeAllowed(header.width, header.height, 24) ||
        (header.fourComponents && !platform::SurfaceSizeAllowed(header.width, header.height, 32)))
        throw EJpegFile(kNotValid);
    return header;
}

// One call for the whole picture, bottom row first as a bottom-up DIB section stores it. A
// warning (data damaged but decodable, such as a truncated scan) keeps what was decoded; the
// scan limit stops progressive files crafted to run thousands of scans.
void Decompress(tjhandle handle, std::span<const uint8_t> file, std::span<uint8_t> pixels,
                const JpegHeader& header, int pitch, int pixelFormat) {
    if (pixels.size() < size_t(pitch) * size_t(header.height))
        throw EJpegFile(kNotValid);
    const int flags = TJFLAG_BOTTOMUP | TJFLAG_LIMITSCANS;
    if (tjDecompress2(handle, file.data(), CheckedSize(file), pixels.data(), header.width, pitch,
                      header.height, pixelFormat, flags) != 0 &&
        !LastMessageIsWarning(handle))
        RaiseLibraryError(handle);
}

uint8_t Scale(unsigned a, unsigned b) {
    return uint8_t((a * b + 127) / 255);
}

// CMYK to blue, green, red, reading the values as Adobe's applications store them (255 meaning
// no ink), whether or not the file carries Adobe's segment: the common case, and what
// libjpeg-turbo's djpeg shows for every four-component file.
void CmykRowToBgr(std::span<const uint8_t> cmyk, std::span<uint8_t> bgr) {
    const size_t width = cmyk.size() / 4;
    for (size_t x = 0; x < width; ++x) {
        const unsigned k = cmyk[4 * x + 3];
        bgr[3 * x] = Scale(cmyk[4 * x + 2], k);
        bgr[3 * x + 1] = Scale(cmyk[4 * x + 1], k);
        bgr[3 * x + 2] = Scale(cmyk[4 * x], k);
    }
}

graphics::TNewBitmapImage MakeSection(const JpegHeader& header) {
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = header.width;
    info.bmiHeader.biHeight = header.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    graphics::TNewBitmapImage parts;
    platform::SetLastError(platform::ERROR_SUCCESS);
    parts.storage =
        platform::CreateDIBSection(&platform::GetScreenDC(), info, platform::DIB_RGB_COLORS);
    if (!parts.storage ||
        platform::GetObject(*parts.storage, parts.description) != platform::kDibSectionObjectSize ||
        parts.description.dsBm.bmBits == nullptr)
        graphics::RaiseBitmapCreationError();
    return parts;
}

} // namespace

JpegHeader ReadJpegHeader(std::span<const uint8_t> file) {
    const Handle handle = NewDecompressor();
    return ReadHeader(handle.get(), file);
}

void DecodeJpeg(std::span<const uint8_t> file, graphics::TBitmap& target) {
    const Handle handle = NewDecompressor();
    const JpegHeader header = ReadHeader(handle.get(), file);
    graphics::TNewBitmapImage parts = MakeSection(header);
    const platform::BITMAP& layout = parts.description.dsBm;
    const size_t stride = size_t(layout.bmWidthBytes);
    const std::span<uint8_t> bits(layout.bmBits, stride * size_t(header.height));
    if (!header.fourComponents) {
        Decompress(handle.get(), file, bits, header, int(stride), TJPF_BGR);
    } else {
        const size_t cmykStride = size_t(header.width) * 4;
        std::vector<uint8_t> cmyk(cmykStride * size_t(header.height));
        Decompress(handle.get(), file, cmyk, header, int(cmykStride), TJPF_CMYK);
        for (size_t row = 0; row < size_t(header.height); ++row)
            CmykRowToBgr(std::span(cmyk).subspan(row * cmykStride, cmykStride),
                         bits.subspan(row * stride, stride));
    }
    graphics::InstallImage(target, std::move(parts));
}

std::vector<uint8_t> EncodeJpeg(const graphics::TBitmap& source, int quality) {
    if (source.IsEmpty() || source.Width() <= 0 || source.Height() <= 0)
        throw EJpegFile("Jpeg file has no picture to save");
    // A private 24-bit copy gives blue, green, red rows whatever the source's format.
    graphics::TBitmap work;
    work.CopyFrom(&source);
    work.SetPixelFormat(graphics::pf24bit);
    const int width = work.Width();
    const int height = work.Height();
    const size_t rowBytes = size_t(width) * 3;
    std::vector<uint8_t> pixels(rowBytes * size_t(height));
    for (int y = 0; y < height; ++y) {
        const std::span<const uint8_t> row = work.RowAddress(y).first(rowBytes);
        std::copy(row.begin(), row.end(), pixels.begin() + ptrdiff_t(rowBytes * size_t(y)));
    }
    Handle handle(tjInitCompress());
    if (!handle)
        RaiseLibraryError(nullptr);
    unsigned char* output = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(handle.get(), pixels.data(), width, int(rowBytes), height,
                                   TJPF_BGR, &output, &size, TJSAMP_420, quality, 0);
    const std::unique_ptr<unsigned char, BufferFree> owned(output);
    if (result != 0)
        throw EJpegFile(std::string("Jpeg file error: ") + tjGetErrorStr2(handle.get()));
    return std::vector<uint8_t>(output, output + size);
}

} // namespace tjpeg
