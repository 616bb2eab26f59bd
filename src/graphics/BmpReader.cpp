// Reading the BMP file format (BITMAPFILEHEADER, then a BITMAPCOREHEADER or a BITMAPINFOHEADER
// or one of its successors, optional bit-field masks, the colour table and the pixel rows).
//
// Every byte comes through one bounded reader that never passes the file's end, and every size
// taken from the file is checked before it is used: the dimensions against the shared pixel
// limit before anything is allocated, the header size and colour count against the bytes that
// are left, the pixel byte count against the storage it is read into.
#include "graphics/BmpReader.h"

#include "graphics/Exceptions.h"
#include "graphics/Stream.h"
#include "platform/DeviceContext.h" // complete object types for selection
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/LittleEndian.h"
#include "platform/Surface.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace graphics {

using platform::BITMAPINFO;
using platform::BITMAPINFOHEADER;
using platform::DIBSECTION;
using platform::HBITMAP;
using platform::HPALETTE;
using platform::RGBQUAD;

namespace {

constexpr uint16_t kBmpType = 0x4D42; // "BM"
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kMaxTableEntries = 256;

[[noreturn]] void NotValid() {
    throw EInvalidGraphic("Bitmap image is not valid");
}
[[noreturn]] void ReadError() {
    throw EReadError("Stream read error");
}

using platform::ReadLe16;
using platform::ReadLe32;

int32_t Le32s(std::span<const uint8_t> b, size_t at) {
    return int32_t(ReadLe32(b, at));
}

// The one way bytes leave the stream: never more than the file's remaining length, and a
// request beyond it is a read error, not a read past the end.
class BoundedReader {
  public:
    BoundedReader(TStream& stream, int64_t limit)
        : stream_(stream), left_(std::max<int64_t>(limit, 0)) {}

    int64_t Left() const { return left_; }
    TStream& Stream() { return stream_; }

    void Read(std::span<uint8_t> out) {
        if (int64_t(out.size()) > left_)
            ReadError();
        stream_.ReadBuffer(out);
        left_ -= int64_t(out.size());
    }

    void Skip(int64_t count) {
        if (count > left_)
            ReadError();
        if (count > 0) {
            const int64_t target = stream_.Position() + count;
            if (stream_.Seek(count, soCurrent) != target)
                ReadError();
            left_ -= count;
        }
    }

  private:
    TStream& stream_;
    int64_t left_;
};

// The information header as the reader keeps it: the 40-byte fields (a core header widened to
// them), the header's own bytes after its size field (for the save stream), and any bytes
// beyond the first 40 (masks and colour-space data of the larger headers).
struct DibHeader {
    uint32_t size = 0;
    bool core = false;
    BITMAPINFOHEADER fields;
    std::vector<uint8_t> raw;
};

DibHeader ReadHeader(BoundedReader& in) {
    DibHeader header;
    // A file that ends inside the header cannot describe a picture.
    if (in.Left() < 4)
        NotValid();
    uint8_t sizeBytes[4];
    in.Read(sizeBytes);
    header.size = ReadLe32(sizeBytes, 0);
    BITMAPINFOHEADER& h = header.fields;
    if (header.size == kCoreHeaderSize) {
        // BITMAPCOREHEADER: unsigned 16-bit width and height, planes, bit count.
        header.core = true;
        header.raw.resize(8);
        if (in.Left() < 8)
            NotValid();
        in.Read(header.raw);
        h.biWidth = ReadLe16(header.raw, 0);
        h.biHeight = ReadLe16(header.raw, 2);
        h.biPlanes = ReadLe16(header.raw, 4);
        h.biBitCount = ReadLe16(header.raw, 6);
        h.biSize = kInfoHeaderSize;
        return header;
    }
    if (header.size < kInfoHeaderSize || int64_t(header.size) - 4 > in.Left())
        NotValid();
    header.raw.resize(header.size - 4);
    in.Read(header.raw);
    const std::span<const uint8_t> r = header.raw; // offsets below are 4 less than the header's
    h.biSize = header.size;
    h.biWidth = Le32s(r, 0);
    h.biHeight = Le32s(r, 4);
    h.biPlanes = ReadLe16(r, 8);
    h.biBitCount = ReadLe16(r, 10);
    h.biCompression = ReadLe32(r, 12);
    h.biSizeImage = ReadLe32(r, 16);
    h.biXPelsPerMeter = Le32s(r, 20);
    h.biYPelsPerMeter = Le32s(r, 24);
    h.biClrUsed = ReadLe32(r, 28);
    h.biClrImportant = ReadLe32(r, 32);
    return header;
}

bool IsCompressed(const BITMAPINFOHEADER& h) {
    return h.biCompression != platform::BI_RGB && h.biCompression != platform::BI_BITFIELDS;
}

int64_t AbsHeight(const BITMAPINFOHEADER& h) {
    return std::llabs(int64_t(h.biHeight));
}

// Layouts the reader and the device layer can make a bitmap of; everything else is refused
// here, before any storage is allocated.
void CheckLayout(const BITMAPINFOHEADER& h) {
    if (h.biPlanes != 1)
        NotValid();
    const int bits = h.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        NotValid();
    switch (h.biCompression) {
    case platform::BI_RGB:
        break;
    case platform::BI_BITFIELDS:
        if (bits != 16 && bits != 32)
            NotValid();
        break;
    case platform::BI_RLE8:
        if (bits != 8)
            NotValid();
        break;
    case platform::BI_RLE4:
        if (bits != 4)
            NotValid();
        break;
    default:
        NotValid();
    }
    if (h.biWidth <= 0 || h.biHeight == 0)
        NotValid();
    const int64_t height = AbsHeight(h);
    if (!platform::SurfaceSizeAllowed(h.biWidth, height, bits))
        NotValid();
    // A compressed picture becomes a device bitmap of the screen's 32 bits per pixel.
    if (IsCompressed(h) && !platform::SurfaceSizeAllowed(h.biWidth, height, 32))
        NotValid();
}

// The masks a bit-field picture uses, from the 12 bytes after a 40-byte header or from the
// larger header itself; pixels cannot be read through masks that are empty or wider than the
// pixel.
void CheckMasks(const BITMAPINFO& info, const DibHeader& header) {
    const BITMAPINFOHEADER& h = info.bmiHeader;
    if (h.biCompression != platform::BI_BITFIELDS)
        return;
    std::array<uint32_t, 3> masks = info.bmiMasks;
    if (header.size >= 52) {
        for (size_t i = 0; i < 3; ++i)
            masks[i] = ReadLe32(header.raw, 36 + 4 * i);
    } else if (header.size != kInfoHeaderSize) {
        NotValid(); // 41 to 51 bytes: the masks would be cut
    }
    const uint32_t all = masks[0] | masks[1] | masks[2];
    const uint32_t limit = h.biBitCount == 32 ? 0xFFFFFFFFu : 0xFFFFu;
    if (all == 0 || (all & ~limit) != 0)
        NotValid();
}

// The colour table: colours-used entries (the bit count's default when 0), at most 256 kept
// and any beyond skipped. Core-header entries are three bytes and widened to four.
std::vector<RGBQUAD> ReadColorTable(BoundedReader& in, BITMAPINFOHEADER& h, bool core) {
    uint64_t count = h.biClrUsed;
    if (count == 0)
        count = h.biBitCount <= 8 ? (uint64_t(1) << h.biBitCount) : 0;
    const uint64_t kept = std::min<uint64_t>(count, kMaxTableEntries);
    const size_t entryBytes = core ? 3 : 4;
    std::vector<uint8_t> bytes(size_t(kept) * entryBytes);
    in.Read(bytes);
    in.Skip(int64_t((count - kept) * entryBytes));
    h.biClrUsed = uint32_t(kept);

    std::vector<RGBQUAD> table(static_cast<size_t>(kept));
    for (size_t i = 0; i < table.size(); ++i) {
        const uint8_t* e = bytes.data() + i * entryBytes;
        table[i] = RGBQUAD{e[0], e[1], e[2], core ? uint8_t(0) : e[3]};
    }
    return table;
}

// Valid files may leave a gap between the colour table and the pixels; the file header's pixel
// offset is followed when it lies at or after the table's end and inside the file.
void SkipToPixels(BoundedReader& in, const TBmpFileHeader& fileHeader, int64_t fileSize) {
    const int64_t offset = ReadLe32(fileHeader, 10);
    const int64_t position = fileSize - in.Left(); // from the start of the file
    if (offset > position && offset < fileSize)
        in.Skip(offset - position);
}

// A logical palette with the table's colours in order. A 16-colour table on a display with a
// hardware palette of at least 16 entries uses the system's 16 colours instead.
HPALETTE PaletteFromTable(std::span<const RGBQUAD> table) {
    if (table.empty())
        return {};
    platform::LOGPALETTE log;
    log.palPalEntry.reserve(table.size());
    for (const RGBQUAD& c : table)
        log.palPalEntry.push_back({c.rgbRed, c.rgbGreen, c.rgbBlue, 0});
    const platform::DeviceContext& screen = platform::GetScreenDC();
    const bool hardwarePalette =
        (platform::GetDeviceCaps(screen, platform::RASTERCAPS) & platform::RC_PALETTE) != 0 &&
        platform::GetDeviceCaps(screen, platform::SIZEPALETTE) >= 16;
    if (table.size() == 16 && hardwarePalette) {
        std::array<platform::PALETTEENTRY, 16> system{};
        platform::GetPaletteEntries(platform::SystemPalette16(), 0, system);
        std::copy_n(system.begin(), 8, log.palPalEntry.begin());
        std::copy_n(system.begin() + 8, 8, log.palPalEntry.begin() + 8);
    }
    return platform::CreatePalette(log);
}

// Selects a bitmap and a palette into a memory context for the duration of a call and puts
// the previous objects back afterwards.
class CompatibleContext {
  public:
    CompatibleContext() : dc_(platform::CreateCompatibleDC(&platform::GetScreenDC())) {
        if (!dc_)
            RaiseOutOfResources();
        bitmap_ = platform::CreateCompatibleBitmap(platform::GetScreenDC(), 1, 1);
        if (bitmap_)
            previousBitmap_ = platform::SelectObject(*dc_, *bitmap_);
    }
    ~CompatibleContext() {
        if (previousPalette_)
            platform::SelectPalette(*dc_, *previousPalette_, false);
        if (previousBitmap_)
            platform::SelectObject(*dc_, *previousBitmap_);
    }
    CompatibleContext(const CompatibleContext&) = delete;
    CompatibleContext& operator=(const CompatibleContext&) = delete;

    void Realize(platform::GdiPalette& palette) {
        previousPalette_ = platform::SelectPalette(*dc_, palette, false);
        platform::RealizePalette(*dc_);
    }
    platform::DeviceContext& Get() { return *dc_; }

  private:
    platform::HDC dc_;
    HBITMAP bitmap_;
    std::shared_ptr<platform::GdiObject> previousBitmap_;
    std::shared_ptr<platform::GdiPalette> previousPalette_;
};

// Compressed pixels: the device layer decodes them into a device-dependent bitmap.
HBITMAP MakeDecodedBitmap(const BITMAPINFO& info, std::span<const uint8_t> bits,
                          HPALETTE& palette) {
    CompatibleContext context;
    if (info.bmiHeader.biClrUsed > 0) {
        palette = PaletteFromTable(info.bmiColors);
        if (palette)
            context.Realize(*palette);
    }
    platform::SetLastError(platform::ERROR_SUCCESS);
    HBITMAP bitmap = platform::CreateDIBitmap(context.Get(), info, bits, platform::DIB_RGB_COLORS);
    if (!bitmap)
        RaiseBitmapCreationError();
    return bitmap;
}

// Uncompressed pixels go from the stream straight into the section's memory in one read; bytes
// the file does not hold stay zero.
HBITMAP MakeSection(const BITMAPINFO& info, BoundedReader& in, uint64_t byteCount) {
    platform::SetLastError(platform::ERROR_SUCCESS);
    HBITMAP section =
        platform::CreateDIBSection(&platform::GetScreenDC(), info, platform::DIB_RGB_COLORS);
    DIBSECTION d;
    if (!section || platform::GetObject(*section, d) != platform::kDibSectionObjectSize ||
        d.dsBm.bmBits == nullptr)
        RaiseBitmapCreationError();
    const uint64_t capacity = uint64_t(d.dsBm.bmWidthBytes) * uint64_t(d.dsBm.bmHeight);
    in.Read(std::span(d.dsBm.bmBits, size_t(std::min(byteCount, capacity))));
    return section;
}

// The compressed file's exact bytes, for the bitmap to save unchanged: the file header, the
// information header, and everything after it.
std::unique_ptr<TMemoryStream>
CopyCompressedFile(BoundedReader& in, const TBmpFileHeader& fileHeader, const DibHeader& header) {
    const size_t headBytes = fileHeader.size() + 4 + header.raw.size();
    std::vector<uint8_t> bytes(headBytes + size_t(in.Left()));
    auto out = bytes.begin();
    out = std::copy(fileHeader.begin(), fileHeader.end(), out);
    for (int shift = 0; shift < 32; shift += 8)
        *out++ = uint8_t(header.size >> shift);
    std::copy(header.raw.begin(), header.raw.end(), out);
    in.Read(std::span(bytes).subspan(headBytes));
    auto stream = std::make_unique<TMemoryStream>(std::move(bytes));
    stream->SetPosition(int64_t(headBytes));
    return stream;
}

} // namespace

TNewBitmapImage ReadBmpImage(TStream& stream, int64_t size) {
    BoundedReader in(stream, size);
    TBmpFileHeader fileHeader;
    in.Read(fileHeader);
    if (ReadLe16(fileHeader, 0) != kBmpType)
        NotValid();
    return ReadDibBody(stream, in.Left(), fileHeader);
}

TNewBitmapImage ReadDibBody(TStream& stream, int64_t remaining, const TBmpFileHeader& fileHeader) {
    const int64_t fileSize = int64_t(fileHeader.size()) + std::max<int64_t>(remaining, 0);
    BoundedReader fileReader(stream, remaining);
    DibHeader header = ReadHeader(fileReader);
    CheckLayout(header.fields);

    // A compressed file is read on from a copy of its bytes, which becomes the save stream.
    std::unique_ptr<TMemoryStream> saveStream;
    std::unique_ptr<BoundedReader> copyReader;
    if (IsCompressed(header.fields)) {
        saveStream = CopyCompressedFile(fileReader, fileHeader, header);
        copyReader = std::make_unique<BoundedReader>(*saveStream,
                                                     saveStream->Size() - saveStream->Position());
    }
    BoundedReader& in = copyReader ? *copyReader : fileReader;

    BITMAPINFO info;
    BITMAPINFOHEADER& h = info.bmiHeader;
    h = header.fields;
    if (!header.core && header.raw.size() > kInfoHeaderSize - 4)
        info.bmiExtraHeader.assign(header.raw.begin() + (kInfoHeaderSize - 4), header.raw.end());
    if (header.size == kInfoHeaderSize && (h.biBitCount == 16 || h.biBitCount == 32) &&
        h.biCompression == platform::BI_BITFIELDS) {
        uint8_t masks[12];
        in.Read(masks);
        info.bmiMasks = {ReadLe32(masks, 0), ReadLe32(masks, 4), ReadLe32(masks, 8)};
    }
    CheckMasks(info, header);
    info.bmiColors = ReadColorTable(in, h, header.core);
    SkipToPixels(in, fileHeader, fileSize);

    if (h.biSizeImage == 0)
        h.biSizeImage = uint32_t(platform::DibStride(h.biWidth, h.biBitCount) * AbsHeight(h));
    const uint32_t left32 =
        uint32_t(std::min<int64_t>(in.Left(), std::numeric_limits<uint32_t>::max()));
    const uint64_t byteCount = std::min(left32, h.biSizeImage);

    TNewBitmapImage parts;
    if (saveStream) {
        const auto bits =
            saveStream->Memory().subspan(size_t(saveStream->Position()), size_t(byteCount));
        parts.storage = MakeDecodedBitmap(info, bits, parts.palette);
    } else {
        parts.storage = MakeSection(info, in, byteCount);
    }
    if (h.biBitCount > 8 && h.biClrUsed > 0 && !parts.palette)
        parts.palette = PaletteFromTable(info.bmiColors);

    platform::GetObject(*parts.storage, parts.description);
    BITMAPINFOHEADER& described = parts.description.dsBmih;
    described.biXPelsPerMeter = h.biXPelsPerMeter;
    described.biYPelsPerMeter = h.biYPelsPerMeter;
    described.biClrUsed = h.biClrUsed;
    described.biClrImportant = h.biClrImportant;
    parts.saveStream = std::move(saveStream);
    parts.os2Format = header.core;
    return parts;
}

} // namespace graphics
