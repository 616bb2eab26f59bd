// BMP reading: layouts, colour tables, pixel offsets, short and hostile files, compressed files
// and their save stream, and the public BMP Suite and fuzzing seeds from the shared corpus.
#include "graphics/BmpReader.h"

#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/Stream.h"
#include "platform/Gdi.h"
#include "platform/Screen.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace graphics {
namespace {

namespace fs = std::filesystem;
using platform::BI_BITFIELDS;
using platform::BI_RGB;
using platform::BI_RLE4;
using platform::BI_RLE8;
using platform::RGBQUAD;

// ---- Building files ---------------------------------------------------------------------------

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The parts of a BMP file, written in file order by Build().
struct BmpParts {
    // BITMAPFILEHEADER
    uint16_t type = 0x4D42;              // "BM"
    std::optional<uint32_t> pixelOffset; // default: where the pixels really start
    // BITMAPINFOHEADER (or BITMAPCOREHEADER for a header size of 12)
    uint32_t headerSize = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = BI_RGB;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 2835;
    int32_t yPelsPerMeter = 2834;
    uint32_t colorsUsed = 0;
    uint32_t colorsImportant = 0;
    std::vector<uint8_t> extraHeader; // bytes 40 and on of a larger header (zero-padded)
    std::vector<uint32_t> masks;      // after a 40-byte header
    std::vector<RGBQUAD> table;       // three bytes per entry in a core-header file
    std::vector<uint8_t> gap;         // bytes between the table and the pixels
    std::vector<uint8_t> pixels;
};

std::vector<uint8_t> Build(const BmpParts& s) {
    std::vector<uint8_t> header;
    Put32(header, s.headerSize);
    if (s.headerSize == 12) {
        Put16(header, uint32_t(s.width));
        Put16(header, uint32_t(s.height));
        Put16(header, s.planes);
        Put16(header, s.bitCount);
    } else {
        Put32(header, uint32_t(s.width));
        Put32(header, uint32_t(s.height));
        Put16(header, s.planes);
        Put16(header, s.bitCount);
        Put32(header, s.compression);
        Put32(header, s.sizeImage);
        Put32(header, uint32_t(s.xPelsPerMeter));
        Put32(header, uint32_t(s.yPelsPerMeter));
        Put32(header, s.colorsUsed);
        Put32(header, s.colorsImportant);
        header.insert(header.end(), s.extraHeader.begin(), s.extraHeader.end());
        if (s.headerSize < 4096) // a hostile size says more than the file holds
            header.resize(std::max<size_t>(header.size(), s.headerSize));
    }
    for (uint32_t mask : s.masks)
        Put32(header, mask);
    for (const RGBQUAD& c : s.table) {
        header.insert(header.end(), {c.rgbBlue, c.rgbGreen, c.rgbRed});
        if (s.headerSize != 12)
            header.push_back(c.rgbReserved);
    }
    header.insert(header.end(), s.gap.begin(), s.gap.end());

    std::vector<uint8_t> file;
    const uint32_t offset = uint32_t(14 + header.size());
    Put16(file, s.type);
    Put32(file, uint32_t(14 + header.size() + s.pixels.size())); // file size
    Put32(file, 0);                                              // reserved
    Put32(file, s.pixelOffset.value_or(offset));
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), s.pixels.begin(), s.pixels.end());
    return file;
}

uint32_t RowBytes(int width, int bitCount) {
    return uint32_t(((width * bitCount + 31) & ~31) / 8);
}

// Distinct, non-zero bytes, so that misplaced or missing bytes show.
std::vector<uint8_t> Pattern(size_t count, uint8_t seed = 1) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = uint8_t(1 + (i * 7 + seed) % 251);
    return bytes;
}

std::vector<RGBQUAD> GreyTable(size_t count) {
    std::vector<RGBQUAD> table(count);
    for (size_t i = 0; i < count; ++i)
        table[i] = RGBQUAD{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
    return table;
}

BmpParts TrueColor24(int width, int height) {
    BmpParts s;
    s.width = width;
    s.height = height;
    s.pixels = Pattern(size_t(RowBytes(width, 24)) * size_t(std::abs(height)));
    return s;
}

BmpParts Indexed8(int width, int height, size_t tableEntries) {
    BmpParts s;
    s.width = width;
    s.height = height;
    s.bitCount = 8;
    s.table = GreyTable(tableEntries);
    s.pixels.resize(size_t(RowBytes(width, 8)) * size_t(height));
    for (size_t i = 0; i < s.pixels.size(); ++i)
        s.pixels[i] = uint8_t(i % tableEntries);
    return s;
}

// ---- Looking at the result --------------------------------------------------------------------

void Load(TBitmap& bitmap, const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    bitmap.LoadFromStream(stream);
}

// The DIB section's memory, as stored (bottom row first for a bottom-up section).
std::vector<uint8_t> SectionBytes(const TBitmap& bitmap) {
    const platform::BITMAP& bm = bitmap.Description().dsBm;
    EXPECT_NE(bm.bmBits, nullptr);
    if (bm.bmBits == nullptr)
        return {};
    return {bm.bmBits, bm.bmBits + size_t(bm.bmWidthBytes) * size_t(bm.bmHeight)};
}

// Every pixel as 0x00RRGGBB, top row first, whatever the storage.
std::vector<uint32_t> Pixels(TBitmap& bitmap) {
    bitmap.MakeStorageReady();
    const int w = bitmap.Width();
    const int h = bitmap.Height();
    if (!bitmap.Image().handle) {
        ADD_FAILURE() << "no storage";
        return {};
    }
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<uint8_t> bits(size_t(w) * size_t(h) * 4);
    EXPECT_EQ(platform::GetDIBits(platform::GetScreenDC(), *bitmap.Image().handle, 0, unsigned(h),
                                  bits, info, platform::DIB_RGB_COLORS),
              h);
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(bits[i * 4]) | uint32_t(bits[i * 4 + 1]) << 8 |
                    uint32_t(bits[i * 4 + 2]) << 16;
    return pixels;
}

uint32_t Rgb(const RGBQUAD& c) {
    return uint32_t(c.rgbBlue) | uint32_t(c.rgbGreen) << 8 | uint32_t(c.rgbRed) << 16;
}

// A bitmap holding a small picture, to check that failed loads keep it.
struct LoadedBitmap {
    TBitmap bitmap;
    const TBitmapImage* image = nullptr;
    int changes = 0;

    LoadedBitmap() {
        Load(bitmap, Build(TrueColor24(3, 2)));
        image = &bitmap.Image();
        bitmap.OnChange = [this](TGraphic&) { ++changes; };
    }
    void ExpectUnchanged() {
        EXPECT_EQ(&bitmap.Image(), image);
        EXPECT_EQ(bitmap.Width(), 3);
        EXPECT_EQ(bitmap.Height(), 2);
        EXPECT_EQ(changes, 0);
    }
};

template <class E> std::string FailureOf(const std::vector<uint8_t>& bytes) {
    LoadedBitmap target;
    std::string message = "(no exception)";
    try {
        Load(target.bitmap, bytes);
    } catch (const E& e) {
        message = e.message();
    }
    target.ExpectUnchanged();
    return message;
}

constexpr const char* kNotValid = "Bitmap image is not valid";
constexpr const char* kReadError = "Stream read error";

// ---- Layouts ----------------------------------------------------------------------------------

TEST(BmpLayouts, BottomUp24BitFileBecomesASectionWithTheFileRows) {
    const BmpParts parts = TrueColor24(640, 480);
    TBitmap bitmap;
    Load(bitmap, Build(parts));
    EXPECT_EQ(bitmap.Width(), 640);
    EXPECT_EQ(bitmap.Height(), 480);
    EXPECT_EQ(bitmap.StorageKind(), bmDIB);
    EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
    EXPECT_EQ(bitmap.Description().dsBmih.biHeight, 480);
    EXPECT_EQ(SectionBytes(bitmap), parts.pixels);
    // The information header's densities travel into the description.
    EXPECT_EQ(bitmap.Description().dsBmih.biXPelsPerMeter, 2835);
    EXPECT_EQ(bitmap.Description().dsBmih.biYPelsPerMeter, 2834);
    EXPECT_FALSE(bitmap.Image().os2Format);
    EXPECT_EQ(bitmap.Image().saveStream, nullptr);
}

TEST(BmpLayouts, NegativeHeightGivesATopDownSectionWithPositiveHeight) {
    const BmpParts parts = TrueColor24(5, -3);
    TBitmap bitmap;
    Load(bitmap, Build(parts));
    EXPECT_EQ(bitmap.Height(), 3);
    EXPECT_LT(bitmap.Description().dsBmih.biHeight, 0);
    EXPECT_EQ(SectionBytes(bitmap), parts.pixels);
    // The first stored row is the top row.
    const std::span<uint8_t> top = bitmap.RowAddress(0);
    EXPECT_TRUE(std::equal(top.begin(), top.end(), parts.pixels.begin()));
}

TEST(BmpLayouts, CoreHeaderFileShowsTheSameColoursAsTheInfoHeaderFile) {
    BmpParts info = Indexed8(9, 4, 256);
    BmpParts core = info;
    core.headerSize = 12;
    TBitmap fromInfo;
    TBitmap fromCore;
    Load(fromInfo, Build(info));
    Load(fromCore, Build(core));
    EXPECT_TRUE(fromCore.Image().os2Format);
    EXPECT_EQ(fromCore.PixelFormat(), pf8bit);
    EXPECT_EQ(fromCore.Description().dsBmih.biClrUsed, 256u);
    EXPECT_EQ(SectionBytes(fromCore), info.pixels);
    EXPECT_EQ(Pixels(fromCore), Pixels(fromInfo));
    EXPECT_EQ(Pixels(fromCore)[0], Rgb(info.table[info.pixels[size_t(3 * RowBytes(9, 8))]]));
}

TEST(BmpLayouts, LargerHeadersAreKeptWholeAndTheirMasksUsed) {
    // A 108-byte header (BITMAPV4HEADER) with bit fields: the masks are part of the header.
    BmpParts s;
    s.headerSize = 108;
    s.width = 2;
    s.height = 1;
    s.bitCount = 32;
    s.compression = BI_BITFIELDS;
    s.extraHeader = {0x00, 0x00, 0x00, 0xFF,  // red mask 0xFF000000
                     0x00, 0x00, 0xFF, 0x00,  // green mask 0x00FF0000
                     0x00, 0xFF, 0x00, 0x00}; // blue mask 0x0000FF00
    s.pixels = {0x00, 0x30, 0x20, 0x10, 0x00, 0x03, 0x02, 0x01};
    TBitmap bitmap;
    Load(bitmap, Build(s));
    EXPECT_EQ(Pixels(bitmap), (std::vector<uint32_t>{0x102030, 0x010203}));
}

// ---- Colour tables ----------------------------------------------------------------------------

// The pixel offset points nowhere useful in these files, so only the table's size decides where
// the pixels start.
TEST(BmpColorTables, ColoursUsedZeroReadsTheDefaultTableAnd16ReadsSixteen) {
    for (uint32_t used : {0u, 16u}) {
        BmpParts s = Indexed8(6, 3, used == 0 ? 256 : used);
        s.colorsUsed = used;
        s.pixelOffset = 0;
        TBitmap bitmap;
        Load(bitmap, Build(s));
        EXPECT_EQ(SectionBytes(bitmap), s.pixels) << "colours used " << used;
        EXPECT_EQ(bitmap.Description().dsBmih.biClrUsed, used == 0 ? 256u : 16u);
        EXPECT_EQ(Pixels(bitmap)[1], Rgb(s.table[s.pixels[size_t(2 * RowBytes(6, 8)) + 1]]));
    }
}

TEST(BmpColorTables, MoreThan256ColoursKeepsTheFirst256AndSkipsTheRest) {
    BmpParts s = Indexed8(16, 16, 256);
    s.colorsUsed = 300;
    s.table = GreyTable(300);
    for (size_t i = 256; i < 300; ++i)
        s.table[i] = RGBQUAD{0xEE, 0xEE, 0xEE, 0};
    s.pixelOffset = 0;
    TBitmap bitmap;
    Load(bitmap, Build(s));
    EXPECT_EQ(bitmap.Description().dsBmih.biClrUsed, 256u);
    EXPECT_EQ(SectionBytes(bitmap), s.pixels);
    // The top-left pixel is stored in the last row: index 240.
    EXPECT_EQ(Pixels(bitmap)[0], Rgb(s.table[240]));
}

TEST(BmpColorTables, AColourCountBeyondTheFileIsAReadError) {
    BmpParts s = Indexed8(4, 4, 16);
    s.colorsUsed = 0xFFFFFFFF;
    EXPECT_EQ(FailureOf<EReadError>(Build(s)), kReadError);
    s.colorsUsed = 200; // only 16 entries and 16 pixel bytes follow
    EXPECT_EQ(FailureOf<EReadError>(Build(s)), kReadError);
}

TEST(BmpColorTables, TrueColourFileWithATableGetsAPaletteOfIt) {
    BmpParts s = TrueColor24(4, 2);
    s.colorsUsed = 3;
    s.table = GreyTable(3);
    TBitmap bitmap;
    Load(bitmap, Build(s));
    ASSERT_NE(bitmap.PaletteOf(), nullptr);
    EXPECT_TRUE(bitmap.PaletteModified());
    std::vector<platform::PALETTEENTRY> entries(4);
    ASSERT_EQ(platform::GetPaletteEntries(*bitmap.PaletteOf(), 0, entries), 3u);
    EXPECT_EQ(entries[2], (platform::PALETTEENTRY{6, 253, 2, 0}));
    EXPECT_EQ(SectionBytes(bitmap), s.pixels);

    TBitmap plain;
    Load(plain, Build(TrueColor24(4, 2)));
    EXPECT_EQ(plain.PaletteOf(), nullptr);
}

// ---- The pixel offset -------------------------------------------------------------------------

TEST(BmpPixelOffset, AGapAfterTheTableIsSkipped) {
    BmpParts s = Indexed8(5, 2, 16);
    s.colorsUsed = 16;
    s.gap = std::vector<uint8_t>(10, 0xEE);
    TBitmap bitmap;
    Load(bitmap, Build(s));
    EXPECT_EQ(SectionBytes(bitmap), s.pixels);
}

TEST(BmpPixelOffset, OffsetsInsideTheHeadersOrPastTheFileAreIgnored) {
    BmpParts s = Indexed8(5, 2, 16);
    s.colorsUsed = 16;
    const std::vector<uint8_t> file = Build(s);
    for (uint32_t offset : {0u, 20u, 14u + 40u + 63u, uint32_t(file.size()), 0xFFFFFFF0u}) {
        s.pixelOffset = offset;
        TBitmap bitmap;
        Load(bitmap, Build(s));
        EXPECT_EQ(SectionBytes(bitmap), s.pixels) << "offset " << offset;
    }
}

// ---- Short and cut files ----------------------------------------------------------------------

TEST(BmpShortFiles, PixelDataCutShortLoadsWithTheMissingBytesZero) {
    const BmpParts parts = TrueColor24(8, 4);
    std::vector<uint8_t> file = Build(parts);
    file.resize(file.size() - 30);
    TBitmap bitmap;
    Load(bitmap, file);
    std::vector<uint8_t> expected = parts.pixels;
    std::fill(expected.end() - 30, expected.end(), uint8_t(0));
    EXPECT_EQ(SectionBytes(bitmap), expected);
}

TEST(BmpShortFiles, AnEmptyFileEmptiesTheBitmapWithoutError) {
    LoadedBitmap target;
    Load(target.bitmap, {});
    EXPECT_TRUE(target.bitmap.IsEmpty());
    EXPECT_EQ(target.bitmap.Width(), 0);
    EXPECT_EQ(target.bitmap.Height(), 0);
}

TEST(BmpShortFiles, FilesEndingInsideTheHeadersFailWithTheirClass) {
    BmpParts s = Indexed8(4, 2, 16);
    s.colorsUsed = 16;
    const std::vector<uint8_t> file = Build(s);
    const auto cut = [&](size_t size) {
        return std::vector<uint8_t>(file.begin(), file.begin() + size);
    };
    // Inside the file header: a short read.
    EXPECT_EQ(FailureOf<EReadError>(cut(1)), kReadError);
    EXPECT_EQ(FailureOf<EReadError>(cut(13)), kReadError);
    // Inside the header size or the information header: no picture is described.
    EXPECT_EQ(FailureOf<EInvalidGraphic>(cut(16)), kNotValid);
    EXPECT_EQ(FailureOf<EInvalidGraphic>(cut(14 + 39)), kNotValid);
    // Inside the colour table.
    EXPECT_EQ(FailureOf<EReadError>(cut(14 + 40 + 10)), kReadError);

    BmpParts core = Indexed8(4, 2, 256);
    core.headerSize = 12;
    const std::vector<uint8_t> coreFile = Build(core);
    EXPECT_EQ(FailureOf<EInvalidGraphic>({coreFile.begin(), coreFile.begin() + 14 + 11}),
              kNotValid);

    BmpParts masks;
    masks.width = 2;
    masks.height = 2;
    masks.bitCount = 16;
    masks.compression = BI_BITFIELDS;
    masks.masks = {0xF800, 0x07E0, 0x001F};
    const std::vector<uint8_t> masksFile = Build(masks);
    EXPECT_EQ(FailureOf<EReadError>({masksFile.begin(), masksFile.begin() + 14 + 40 + 8}),
              kReadError);
}

TEST(BmpShortFiles, TheByteCountLimitsTheReadOnALongerStream) {
    const BmpParts parts = TrueColor24(4, 2);
    std::vector<uint8_t> bytes = Build(parts);
    const int64_t size = int64_t(bytes.size()) - 6;
    bytes.insert(bytes.end(), 64, 0xFF); // data of something else after the file
    TMemoryStream stream(bytes);
    TBitmap bitmap;
    InstallImage(bitmap, ReadBmpImage(stream, size));
    std::vector<uint8_t> expected = parts.pixels;
    std::fill(expected.end() - 6, expected.end(), uint8_t(0));
    EXPECT_EQ(SectionBytes(bitmap), expected);
}

TEST(BmpShortFiles, LoadFromStreamStartsAtTheCurrentPosition) {
    const BmpParts parts = TrueColor24(3, 3);
    std::vector<uint8_t> bytes = {'j', 'u', 'n', 'k'};
    const std::vector<uint8_t> file = Build(parts);
    bytes.insert(bytes.end(), file.begin(), file.end());
    TMemoryStream stream(bytes);
    stream.SetPosition(4);
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    EXPECT_EQ(SectionBytes(bitmap), parts.pixels);
}

// ---- Image size -------------------------------------------------------------------------------

TEST(BmpImageSize, AnImageSizeBeyondThePixelsReadsNoMoreThanTheSection) {
    BmpParts s = TrueColor24(4, 4);
    s.sizeImage = 0xF0000000; // several GB claimed
    std::vector<uint8_t> file = Build(s);
    file.insert(file.end(), 100, 0xAB); // more bytes than the section holds
    TBitmap bitmap;
    Load(bitmap, file);
    EXPECT_EQ(SectionBytes(bitmap), s.pixels);
}

TEST(BmpImageSize, ASmallerImageSizeReadsOnlyThatMany) {
    BmpParts s = TrueColor24(4, 4);
    s.sizeImage = 8;
    TBitmap bitmap;
    Load(bitmap, Build(s));
    std::vector<uint8_t> expected(s.pixels.size(), 0);
    std::copy_n(s.pixels.begin(), 8, expected.begin());
    EXPECT_EQ(SectionBytes(bitmap), expected);
}

// ---- Bit fields -------------------------------------------------------------------------------

BmpParts Rgb565() {
    BmpParts s;
    s.width = 2;
    s.height = 2;
    s.bitCount = 16;
    s.compression = BI_BITFIELDS;
    s.masks = {0xF800, 0x07E0, 0x001F}; // red, green, blue
    s.pixelOffset = 0;                  // the masks and the empty table alone place the pixels
    s.pixels = {
        0x00, 0xF8, 0xE0, 0x07, // bottom row: red, green
        0x1F, 0x00, 0xFF, 0xFF, // top row: blue, white
    };
    return s;
}

TEST(BmpBitFields, SixteenBitMasksAfterA40ByteHeaderComeBeforeTheEmptyTable) {
    const BmpParts s = Rgb565();
    TBitmap bitmap;
    Load(bitmap, Build(s));
    EXPECT_EQ(bitmap.PixelFormat(), pf16bit);
    EXPECT_EQ(bitmap.Description().dsBitfields, (std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F}));
    EXPECT_EQ(SectionBytes(bitmap), s.pixels);
    EXPECT_EQ(Pixels(bitmap), (std::vector<uint32_t>{0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FF00}));
}

TEST(BmpBitFields, MasksThatCannotDescribePixelsAreNotValid) {
    for (const std::vector<uint32_t>& masks :
         {std::vector<uint32_t>{0, 0, 0}, std::vector<uint32_t>{0xF8000, 0x07E0, 0x001F}}) {
        BmpParts s = Rgb565();
        s.masks = masks;
        EXPECT_EQ(FailureOf<EInvalidGraphic>(Build(s)), kNotValid);
    }
}

// ---- Refused layouts --------------------------------------------------------------------------

struct Refusal {
    const char* what;
    BmpParts parts;
};

std::vector<Refusal> Refusals() {
    const BmpParts base = TrueColor24(4, 4);
    std::vector<Refusal> r;
    const auto add = [&](const char* what, auto change) {
        BmpParts s = base;
        change(s);
        r.push_back({what, s});
    };
    add("signature", [](BmpParts& s) { s.type = 0x4142; });
    add("planes", [](BmpParts& s) { s.planes = 2; });
    add("header size 16", [](BmpParts& s) { s.headerSize = 16; });
    add("header size 39", [](BmpParts& s) { s.headerSize = 39; });
    add("header larger than the file", [](BmpParts& s) { s.headerSize = 0x7FFFFFF0; });
    add("bit count 2", [](BmpParts& s) { s.bitCount = 2; });
    add("bit count 0", [](BmpParts& s) { s.bitCount = 0; });
    add("bit count 64", [](BmpParts& s) { s.bitCount = 64; });
    add("width 0", [](BmpParts& s) { s.width = 0; });
    add("negative width", [](BmpParts& s) { s.width = -4; });
    add("height 0", [](BmpParts& s) { s.height = 0; });
    add("JPEG compression", [](BmpParts& s) { s.compression = 4; });
    add("PNG compression", [](BmpParts& s) { s.compression = 5; });
    add("alpha bit fields", [](BmpParts& s) { s.compression = 6; });
    add("RLE8 at 4 bits", [](BmpParts& s) { s.bitCount = 4, s.compression = BI_RLE8; });
    add("RLE4 at 8 bits", [](BmpParts& s) { s.bitCount = 8, s.compression = BI_RLE4; });
    add("bit fields at 24 bits", [](BmpParts& s) { s.compression = BI_BITFIELDS; });
    // Beyond 256 megapixels or 1 GiB of pixels: refused from the header alone.
    add("400 megapixels", [](BmpParts& s) { s.width = 20000, s.height = 20000, s.bitCount = 1; });
    add("a row past 256 megapixels",
        [](BmpParts& s) { s.width = 16384, s.height = -16385, s.bitCount = 32; });
    add("most negative height", [](BmpParts& s) { s.height = INT32_MIN; });
    return r;
}

TEST(BmpRefusals, UnsupportedOrHostileLayoutsAreNotValidAndKeepThePicture) {
    for (const Refusal& refusal : Refusals()) {
        SCOPED_TRACE(refusal.what);
        EXPECT_EQ(FailureOf<EInvalidGraphic>(Build(refusal.parts)), kNotValid);
    }
}

TEST(BmpRefusals, AMissingFileIsAnOpenErrorWithTheFullPath) {
    TBitmap bitmap;
    try {
        bitmap.ReadFromFile("no-such-dir/missing.bmp");
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        const std::string full = (fs::current_path() / "no-such-dir/missing.bmp").string();
        EXPECT_EQ(e.message().rfind("Cannot open file \"" + full + "\". ", 0), 0u) << e.message();
    }
}

// ---- Compressed files -------------------------------------------------------------------------

BmpParts Rle8File() {
    BmpParts s;
    s.width = 4;
    s.height = 2;
    s.bitCount = 8;
    s.compression = BI_RLE8;
    s.colorsUsed = 3;
    s.table = {RGBQUAD{0, 0, 0x80, 0}, RGBQUAD{0xFF, 0, 0, 0}, RGBQUAD{0, 0xFF, 0, 0}};
    s.pixels = {
        4, 1,             // bottom row: four of colour 1
        0, 0,             // end of line
        0, 3, 2, 1, 2, 0, // top row: absolute run 2 1 2 and its pad byte; column 3 undefined
        0, 1,             // end of bitmap
    };
    s.sizeImage = uint32_t(s.pixels.size());
    return s;
}

TEST(BmpCompressed, Rle8FileDecodesToADeviceBitmapThatSavesTheFileUnchanged) {
    const std::vector<uint8_t> file = Build(Rle8File());
    TBitmap bitmap;
    Load(bitmap, file);
    EXPECT_EQ(bitmap.StorageKind(), bmDDB);
    EXPECT_EQ(bitmap.Width(), 4);
    EXPECT_EQ(bitmap.Height(), 2);
    const uint32_t blue = 0x0000FF, green = 0x00FF00, zero = 0x800000;
    EXPECT_EQ(Pixels(bitmap),
              (std::vector<uint32_t>{green, blue, green, zero, blue, blue, blue, blue}));
    ASSERT_NE(bitmap.Image().saveStream, nullptr);
    const auto saved = bitmap.Image().saveStream->Memory();
    EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.end()), file);
    ASSERT_NE(bitmap.PaletteOf(), nullptr);
    EXPECT_TRUE(bitmap.PaletteModified());
    EXPECT_EQ(bitmap.Description().dsBmih.biClrUsed, 3u);

    TMemoryStream out;
    bitmap.SaveToStream(out);
    EXPECT_EQ(std::vector<uint8_t>(out.Memory().begin(), out.Memory().end()), file);
    // The first change of the pixels drops the file bytes.
    bitmap.HandleOf();
    EXPECT_EQ(bitmap.Image().saveStream, nullptr);
}

TEST(BmpCompressed, Rle4FileWithAGapBeforeThePixelsDecodes) {
    BmpParts s;
    s.width = 5;
    s.height = 1;
    s.bitCount = 4;
    s.compression = BI_RLE4;
    s.table = GreyTable(16);
    s.gap = {0xEE, 0xEE, 0xEE};
    s.pixels = {5, 0x12, 0, 1}; // 1 2 1 2 1, end of bitmap
    TBitmap bitmap;
    Load(bitmap, Build(s));
    const uint32_t one = Rgb(s.table[1]), two = Rgb(s.table[2]);
    EXPECT_EQ(Pixels(bitmap), (std::vector<uint32_t>{one, two, one, two, one}));
    EXPECT_EQ(bitmap.Description().dsBmih.biClrUsed, 16u);
}

TEST(BmpCompressed, ASixteenColourPaletteOnAPaletteDisplayUsesTheSystemColours) {
    BmpParts s;
    s.width = 2;
    s.height = 1;
    s.bitCount = 4;
    s.compression = BI_RLE4;
    s.table = GreyTable(16);
    s.pixels = {2, 0x01, 0, 1};
    const auto paletteOf = [&](int screenBits) {
        platform::SetScreenForTesting({.bitsPerPixel = screenBits});
        TBitmap bitmap;
        Load(bitmap, Build(s));
        platform::SetScreenForTesting({});
        std::vector<platform::PALETTEENTRY> entries(16);
        EXPECT_NE(bitmap.PaletteOf(), nullptr);
        if (bitmap.PaletteOf() != nullptr)
            platform::GetPaletteEntries(*bitmap.PaletteOf(), 0, entries);
        return entries;
    };
    std::vector<platform::PALETTEENTRY> system(16);
    platform::GetPaletteEntries(platform::SystemPalette16(), 0, system);
    std::vector<platform::PALETTEENTRY> table;
    for (const RGBQUAD& c : s.table)
        table.push_back({c.rgbRed, c.rgbGreen, c.rgbBlue, 0});
    EXPECT_EQ(paletteOf(32), table);
    EXPECT_EQ(paletteOf(8), system);
}

// ---- Notification -----------------------------------------------------------------------------

TEST(BmpNotification, ALoadFiresOnChangeOnceAndAFailureNotAtAll) {
    TBitmap bitmap;
    int changes = 0;
    bitmap.OnChange = [&](TGraphic&) { ++changes; };
    Load(bitmap, Build(TrueColor24(2, 2)));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(bitmap.Modified());
    BmpParts bad = TrueColor24(2, 2);
    bad.planes = 3;
    EXPECT_THROW(Load(bitmap, Build(bad)), EInvalidGraphic);
    EXPECT_EQ(changes, 1);
}

// ---- The shared corpus ------------------------------------------------------------------------

const fs::path kCorpus = VELMORA_CORPUS_DIR;

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Reference {
    int alternative;
    fs::path rgba;
    int width;
    int height;
};

// The BMP Suite's manifest: for each file, its reference renderings.
const std::map<std::string, std::vector<Reference>>& Manifest() {
    static const auto manifest = [] {
        std::map<std::string, std::vector<Reference>> m;
        std::ifstream in(kCorpus / "bmp/MANIFEST.tsv");
        std::string line;
        std::getline(in, line); // column names
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::stringstream fields(line);
            for (std::string field; std::getline(fields, field, '\t');)
                f.push_back(field);
            if (f.size() < 8 || f[5].empty())
                continue;
            m[f[0]].push_back(
                {std::stoi(f[3]), kCorpus / "bmp" / f[5], std::stoi(f[6]), std::stoi(f[7])});
        }
        return m;
    }();
    return manifest;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(kCorpus / folder, error)) {
        if (entry.is_regular_file())
            files.push_back(folder + "/" + entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// 16-bit and narrow bit-field channels widen to 8 bits by our own rounding; the references
// were widened with another, which differs by one step at most. 8-bit channels must match.
int ChannelTolerance(const TBitmap& bitmap) {
    const auto& d = bitmap.Description();
    if (d.dsBm.bmBitsPixel != 16 && d.dsBm.bmBitsPixel != 32)
        return 0;
    for (uint32_t mask : d.dsBitfields) {
        if (std::popcount(mask) != 8)
            return 1;
    }
    return 0;
}

// The largest channel difference from the reference, or -1 for another size.
int DifferenceFrom(TBitmap& bitmap, const Reference& reference) {
    if (bitmap.Width() != reference.width || bitmap.Height() != reference.height)
        return -1;
    const std::vector<uint8_t> rgba = ReadFile(reference.rgba);
    const std::vector<uint32_t> pixels = Pixels(bitmap);
    if (rgba.size() != pixels.size() * 4)
        return -1;
    int worst = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            const int ours = int((pixels[i] >> (16 - 8 * c)) & 0xFF);
            worst = std::max(worst, std::abs(ours - int(rgba[i * 4 + size_t(c)])));
        }
    }
    return worst;
}

// A corpus path as the suite's manifest names it ("bmp/g/pal1.bmp" is "g/pal1.bmp").
std::string SuiteKey(const std::string& file) {
    return file.rfind("bmp/", 0) == 0 ? file.substr(4) : file;
}

// Whether the decoded picture matches one of the file's reference renderings.
bool MatchesAReference(TBitmap& bitmap, const std::string& file, std::string& detail) {
    const auto it = Manifest().find(SuiteKey(file));
    if (it == Manifest().end()) {
        detail = "no reference";
        return false;
    }
    for (const Reference& reference : it->second) {
        const int difference = DifferenceFrom(bitmap, reference);
        detail += " alternative " + std::to_string(reference.alternative) + ": " +
                  (difference < 0 ? "other size" : "difference " + std::to_string(difference));
        if (difference >= 0 && difference <= ChannelTolerance(bitmap))
            return true;
    }
    return false;
}

std::string TestName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name;
}

// What a file of the suite does: decode (and match a reference), or fail cleanly.
enum class Outcome { Matches, Decodes, NotValid, ReadError, DecodesOrFails };

std::optional<std::string> LoadCorpusFile(TBitmap& bitmap, const std::string& file) {
    try {
        bitmap.ReadFromFile((kCorpus / file).string());
    } catch (const Exception& e) {
        EXPECT_FALSE(e.message().empty());
        return e.message();
    }
    return std::nullopt;
}

void ExpectOutcome(const std::string& file, Outcome outcome) {
    TBitmap bitmap;
    const std::optional<std::string> failure = LoadCorpusFile(bitmap, file);
    testing::Test::RecordProperty("result", failure ? "refused: " + *failure : "decoded");
    switch (outcome) {
    case Outcome::Matches: {
        ASSERT_FALSE(failure) << *failure;
        std::string detail;
        EXPECT_TRUE(MatchesAReference(bitmap, file, detail)) << detail;
        break;
    }
    case Outcome::Decodes:
        ASSERT_FALSE(failure) << *failure;
        EXPECT_GT(bitmap.Width(), 0);
        Pixels(bitmap); // every pixel can be read
        break;
    case Outcome::NotValid:
        EXPECT_EQ(failure.value_or("decoded"), kNotValid);
        break;
    case Outcome::ReadError:
        EXPECT_EQ(failure.value_or("decoded"), kReadError);
        break;
    case Outcome::DecodesOrFails:
        if (!failure && !bitmap.IsEmpty()) // an empty file empties the bitmap
            Pixels(bitmap);
        break;
    }
}

class BmpSuiteGood : public testing::TestWithParam<std::string> {};

TEST_P(BmpSuiteGood, DecodesAndMatchesTheReference) {
    const bool hasReference = Manifest().count(SuiteKey(GetParam())) != 0;
    ExpectOutcome(GetParam(), hasReference ? Outcome::Matches : Outcome::Decodes);
}

INSTANTIATE_TEST_SUITE_P(Corpus, BmpSuiteGood, testing::ValuesIn(FilesIn("bmp/g")), TestName);

// Questionable files: what this reader does with each, decided on purpose.
Outcome QuestionableOutcome(const std::string& file) {
    static const std::map<std::string, Outcome> outcomes = {
        // Bit counts and compressions outside the accepted layouts.
        {"q/pal1huffmsb.bmp", Outcome::NotValid},
        {"q/pal2.bmp", Outcome::NotValid},
        {"q/pal2color.bmp", Outcome::NotValid},
        {"q/rgb24jpeg.bmp", Outcome::NotValid},
        {"q/rgb24png.bmp", Outcome::NotValid},
        {"q/rgb24rle24.bmp", Outcome::NotValid},
        {"q/rgba32abf.bmp", Outcome::NotValid},
        {"q/rgba64.bmp", Outcome::NotValid},
        // A 16-byte header.
        {"q/pal8os2v2-16.bmp", Outcome::NotValid},
        // Alpha channels and colour profiles are not applied: the colours are read as stored.
        {"q/rgba16-4444.bmp", Outcome::Decodes},
        {"q/rgba16-5551.bmp", Outcome::Decodes},
        {"q/rgba16-1924.bmp", Outcome::Decodes},
        {"q/rgba32-1.bmp", Outcome::Decodes},
        {"q/rgba32-2.bmp", Outcome::Decodes},
        {"q/rgba32-1010102.bmp", Outcome::Decodes},
        {"q/rgba32h56.bmp", Outcome::Decodes},
        {"q/rgb24prof2.bmp", Outcome::Decodes},
        // A core header has no colour count: its table is the full 256 entries.
        {"q/pal8os2sp.bmp", Outcome::Decodes},
    };
    const auto it = outcomes.find(SuiteKey(file));
    // Everything else, including the gap after the table and the oversized table, must show
    // the reference picture (undefined RLE pixels as colour 0).
    return it == outcomes.end() ? Outcome::Matches : it->second;
}

class BmpSuiteQuestionable : public testing::TestWithParam<std::string> {};

TEST_P(BmpSuiteQuestionable, DecodesOrFailsCleanlyAsDecided) {
    ExpectOutcome(GetParam(), QuestionableOutcome(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Corpus, BmpSuiteQuestionable, testing::ValuesIn(FilesIn("bmp/q")),
                         TestName);

Outcome BadOutcome(const std::string& file) {
    static const std::map<std::string, Outcome> outcomes = {
        {"b/badbitcount.bmp", Outcome::NotValid},     {"b/badplanes.bmp", Outcome::NotValid},
        {"b/badwidth.bmp", Outcome::NotValid},        {"b/reallybig.bmp", Outcome::NotValid},
        {"b/badpalettesize.bmp", Outcome::ReadError}, {"b/shortfile.bmp", Outcome::Decodes},
        {"b/badbitssize.bmp", Outcome::Decodes},      {"b/rgb16-880.bmp", Outcome::Matches},
    };
    const auto it = outcomes.find(SuiteKey(file));
    return it == outcomes.end() ? Outcome::DecodesOrFails : it->second;
}

class BmpSuiteBad : public testing::TestWithParam<std::string> {};

TEST_P(BmpSuiteBad, FailsCleanlyOrDecodesWithoutFault) {
    ExpectOutcome(GetParam(), BadOutcome(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Corpus, BmpSuiteBad, testing::ValuesIn(FilesIn("bmp/b")), TestName);

TEST(BmpSuiteExtra, AnOs2BitmapArrayIsNotABitmap) {
    ExpectOutcome("bmp/x/ba-bm.bmp", Outcome::NotValid);
}

// Fuzzing seeds and the regression files of this project: no expectations beyond a clean end.
class BmpHostileFiles : public testing::TestWithParam<std::string> {};

TEST_P(BmpHostileFiles, LoadOrFailCleanly) {
    ExpectOutcome(GetParam(), Outcome::DecodesOrFails);
}

INSTANTIATE_TEST_SUITE_P(FuzzSeeds, BmpHostileFiles,
                         testing::ValuesIn(FilesIn("fuzz/go-fuzz-corpus/bmp/corpus")), TestName);

// Hostile files kept in the project: the name's first word is the outcome they must have.
std::vector<std::string> RegressionFiles() {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(VELMORA_TEST_DATA_DIR) / "bmp", error))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

class BmpRegressionFiles : public testing::TestWithParam<std::string> {};

TEST_P(BmpRegressionFiles, HaveTheOutcomeTheirNameSays) {
    const std::string name = fs::path(GetParam()).filename().string();
    const std::string outcome = name.substr(0, name.find('-'));
    TBitmap bitmap;
    std::string result = "decodes";
    try {
        bitmap.ReadFromFile(GetParam());
        Pixels(bitmap);
    } catch (const EInvalidGraphic& e) {
        result = e.message() == kNotValid ? "invalid" : e.message();
    } catch (const EReadError& e) {
        result = e.message() == kReadError ? "readerror" : e.message();
    }
    EXPECT_EQ(result, outcome);
}

std::string FileNameOf(const testing::TestParamInfo<std::string>& info) {
    return TestName({fs::path(info.param).stem().string(), info.index});
}

INSTANTIATE_TEST_SUITE_P(TestData, BmpRegressionFiles, testing::ValuesIn(RegressionFiles()),
                         FileNameOf);

} // namespace
} // namespace graphics
