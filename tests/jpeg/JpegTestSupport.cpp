#include "JpegTestSupport.h"

#include "platform/Gdi.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <jpeglib.h>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace jpegtest {

std::string TestDataPath(const std::string& relative) {
    return std::string(VELMORA_TEST_DATA_DIR) + "/jpeg/" + relative;
}

void WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string MakeTempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velmora-jpeg-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

// ---- JPEG structure.

Density ReadJfifDensity(std::span<const uint8_t> jpeg) {
    Density density;
    size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        const uint8_t marker = jpeg[i + 1];
        const size_t length = size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
        if (marker == 0xDA || marker == 0xD9)
            break;
        if (marker == 0xE0 && length >= 16 && i + 2 + length <= jpeg.size() &&
            std::memcmp(&jpeg[i + 4], "JFIF", 5) == 0) {
            density.unit = jpeg[i + 11];
            density.x = jpeg[i + 12] << 8 | jpeg[i + 13];
            density.y = jpeg[i + 14] << 8 | jpeg[i + 15];
        }
        i += 2 + length;
    }
    return density;
}

long FindMarker(std::span<const uint8_t> jpeg, uint8_t wanted) {
    size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        const uint8_t marker = jpeg[i + 1];
        if (marker == wanted)
            return long(i);
        if (marker == 0xDA || marker == 0xD9)
            break;
        i += 2 + (size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
    }
    return -1;
}

namespace {

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

} // namespace

std::vector<uint8_t> DjpegStyleBmp(graphics::TBitmap& bitmap, const Density& density) {
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const bool indexed = bitmap.PixelFormat() == graphics::pf8bit;
    const int bytesPerPixel = indexed ? 1 : 3;
    const size_t rowBytes = (size_t(width) * size_t(bytesPerPixel) + 3) & ~size_t(3);
    const uint32_t tableBytes = indexed ? 1024 : 0;
    const uint32_t offset = 54 + tableBytes;
    const uint32_t pixelsPerMetre = density.unit == 2 ? uint32_t(density.x) * 100 : 0;
    const uint32_t pixelsPerMetreY = density.unit == 2 ? uint32_t(density.y) * 100 : 0;

    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    PutLE(out, offset + uint32_t(rowBytes * size_t(height)), 4);
    PutLE(out, 0, 4);
    PutLE(out, offset, 4);
    PutLE(out, 40, 4);
    PutLE(out, uint32_t(width), 4);
    PutLE(out, uint32_t(height), 4);
    PutLE(out, 1, 2);
    PutLE(out, indexed ? 8 : 24, 2);
    PutLE(out, 0, 4); // compression
    PutLE(out, 0, 4); // image size
    PutLE(out, pixelsPerMetre, 4);
    PutLE(out, pixelsPerMetreY, 4);
    PutLE(out, indexed ? 256 : 0, 4);
    PutLE(out, 0, 4);
    if (indexed) {
        std::vector<platform::PALETTEENTRY> entries = PaletteEntries(bitmap);
        entries.resize(256);
        for (const auto& e : entries) {
            out.push_back(e.peBlue);
            out.push_back(e.peGreen);
            out.push_back(e.peRed);
            out.push_back(0);
        }
    }
    for (int y = height - 1; y >= 0; --y) {
        const std::span<uint8_t> row = bitmap.RowAddress(y);
        const size_t used = size_t(width) * size_t(bytesPerPixel);
        out.insert(out.end(), row.begin(), row.begin() + std::ptrdiff_t(used));
        out.insert(out.end(), rowBytes - used, 0);
    }
    return out;
}

// ---- libjpeg messages.

std::set<int> LibraryMessageNumbers(const std::string& text) {
    jpeg_error_mgr err{};
    jpeg_std_error(&err);
    std::set<int> numbers;
    static const std::regex conversion("%[-0-9]*l?[duxX]");
    for (int i = 0; i <= err.last_jpeg_message; ++i) {
        const char* format = err.jpeg_message_table[i];
        if (format == nullptr)
            continue;
        std::string pattern;
        for (const char* p = format; *p != '\0'; ++p) {
            if (*p == '%') {
                std::cmatch m;
                if (std::regex_search(p, m, conversion, std::regex_constants::match_continuous)) {
                    pattern += "-?[0-9a-fA-F]+";
                    p += m.length(0) - 1;
                    continue;
                }
                if (p[1] == 's') {
                    pattern += ".*";
                    ++p;
                    continue;
                }
            }
            if (std::strchr(".^$|()[]{}*+?\\", *p) != nullptr)
                pattern += '\\';
            pattern += *p;
        }
        if (std::regex_match(text, std::regex(pattern)))
            numbers.insert(i);
    }
    return numbers;
}

// ---- Pictures.

void MakeBitmap(graphics::TBitmap& bitmap, int width, int height,
                const std::function<Bgr(int, int)>& pixel) {
    bitmap.SetPixelFormat(graphics::pf24bit);
    bitmap.SetSize(width, height);
    for (int y = 0; y < height; ++y) {
        const std::span<uint8_t> row = bitmap.RowAddress(y);
        for (int x = 0; x < width; ++x) {
            const Bgr c = pixel(x, y);
            row[size_t(3 * x)] = c.b;
            row[size_t(3 * x + 1)] = c.g;
            row[size_t(3 * x + 2)] = c.r;
        }
    }
}

Bgr CardPixel(int x, int y) {
    // A black frame with ruled table lines, as the card overlay draws.
    if (x < 2 || y < 2 || x >= 493 || y >= 313)
        return {0, 0, 0};
    if (y >= 220 && (y - 220) % 20 == 0 && x >= 20 && x < 475)
        return {0, 0, 0};
    // A saturated box and a white address block.
    if (x >= 30 && x < 150 && y >= 30 && y < 90)
        return {40, 40, 220};
    if (x >= 300 && x < 470 && y >= 40 && y < 120)
        return {255, 255, 255};
    // Fine "lettering": a checker of 1-pixel cells inside the white block.
    if (x >= 310 && x < 460 && y >= 50 && y < 60)
        return (x + y) % 2 == 0 ? Bgr{0, 0, 0} : Bgr{255, 255, 255};
    // A photo-like background: smooth gradients with a little structured texture.
    const int texture = ((x * 7 + y * 13) % 17) - 8;
    auto clamp = [](int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
    return {clamp(60 + y * 150 / 315 + texture), clamp(90 + x * 100 / 495),
            clamp(200 - (x + y) * 120 / 810 + texture / 2)};
}

std::vector<uint8_t> PpmOf(graphics::TBitmap& bitmap) {
    const std::string header =
        "P6\n" + std::to_string(bitmap.Width()) + " " + std::to_string(bitmap.Height()) + "\n255\n";
    std::vector<uint8_t> out(header.begin(), header.end());
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::span<uint8_t> row = bitmap.RowAddress(y);
        for (int x = 0; x < bitmap.Width(); ++x) {
            out.push_back(row[size_t(3 * x + 2)]);
            out.push_back(row[size_t(3 * x + 1)]);
            out.push_back(row[size_t(3 * x)]);
        }
    }
    return out;
}

std::vector<uint8_t> PixelBytes(graphics::TBitmap& bitmap, int x, int y) {
    const std::span<uint8_t> row = bitmap.RowAddress(y);
    if (bitmap.PixelFormat() == graphics::pf8bit)
        return {row[size_t(x)]};
    return {row[size_t(3 * x)], row[size_t(3 * x + 1)], row[size_t(3 * x + 2)]};
}

std::vector<platform::PALETTEENTRY> PaletteEntries(graphics::TBitmap& bitmap) {
    platform::GdiPalette* palette = bitmap.PaletteHandle();
    if (palette == nullptr)
        return {};
    uint16_t count = 0;
    platform::GetObject(*palette, count);
    std::vector<platform::PALETTEENTRY> entries(count);
    platform::GetPaletteEntries(*palette, 0, entries);
    return entries;
}

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec))
            return candidate.string();
    }
    return {};
}

int RunCommand(const std::string& command) {
    return std::system(command.c_str());
}

} // namespace jpegtest
