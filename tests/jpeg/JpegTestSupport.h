// Helpers of the jpeg tests: files and the corpus tables, the BMP layout that libjpeg-turbo's
// djpeg writes (so that decoded pixels can be compared with its md5 sums through the shared
// MD5), libjpeg's message numbers, and test pictures.
#pragma once

#include "graphics/Bitmap.h"
#include "support/Files.h"
#include "support/Md5.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace jpegtest {

using testsupport::CorpusPath;
using testsupport::ReadFileBytes;
using testsupport::ReadTsv;
std::string TestDataPath(const std::string& relative);
void WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes);
// A fresh empty folder under the system's temporary folder, removed by the caller.
std::string MakeTempFolder();

using testsupport::Md5Hex;

// The density of the file's JFIF segment (unit 0 and 1 x 1 when there is none).
struct Density {
    int unit = 0;
    int x = 1;
    int y = 1;
};
Density ReadJfifDensity(std::span<const uint8_t> jpeg);

// The file "djpeg -bmp" writes for these pixels: a bottom-up BMP with a 40-byte header, 24 bits
// per pixel, or 8 bits with a 256-entry colour table filled from the bitmap's palette.
std::vector<uint8_t> DjpegStyleBmp(graphics::TBitmap& bitmap, const Density& density);

// The numbers of libjpeg's messages whose format matches text ("Bogus marker length", "Not a
// JPEG file: starts with 0x42 0x4d", ...).
std::set<int> LibraryMessageNumbers(const std::string& text);

// A 24-bit bitmap whose pixels come from pixel(x, y) -> {blue, green, red}.
struct Bgr {
    uint8_t b = 0;
    uint8_t g = 0;
    uint8_t r = 0;
};
void MakeBitmap(graphics::TBitmap& bitmap, int width, int height,
                const std::function<Bgr(int, int)>& pixel);
// A deterministic card-sized test picture: gradients, hard-edged boxes, thin rules and a fine
// pattern, as a composed card has.
Bgr CardPixel(int x, int y);
// The pixels as a binary PPM (red, green, blue), the input format of cjpeg.
std::vector<uint8_t> PpmOf(graphics::TBitmap& bitmap);

// The bytes of a pixel (3 for 24 bits, 1 for 8 bits) at (x, y).
std::vector<uint8_t> PixelBytes(graphics::TBitmap& bitmap, int x, int y);
// The palette's entries (none without a palette).
std::vector<platform::PALETTEENTRY> PaletteEntries(graphics::TBitmap& bitmap);

// The path of a program on PATH, or empty.
std::string FindProgram(const std::string& name);
// Runs a command line; returns its exit status.
int RunCommand(const std::string& command);

// JPEG marker helpers: the offset of the first segment with this marker before the scan data,
// or -1.
long FindMarker(std::span<const uint8_t> jpeg, uint8_t marker);

} // namespace jpegtest
