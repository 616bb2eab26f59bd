// The BI_RLE8 / BI_RLE4 decoder behind CreateDIBitmap: commands, clipping of hostile data, and
// the mapping of stored rows to top-down indices.
#include "platform/Rle.h"

#include "platform/Gdi.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace platform {
namespace {

BITMAPINFO RleInfo(int width, int height, uint32_t compression) {
    BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = compression == BI_RLE8 ? 8 : 4;
    info.bmiHeader.biCompression = compression;
    return info;
}

// Decodes and returns the indices as rows of hex digits, top row first, for readable checks.
std::vector<std::string> Decode(int width, int height, uint32_t compression,
                                const std::vector<uint8_t>& data) {
    std::vector<uint8_t> indices;
    EXPECT_TRUE(DecodeRleToIndices(RleInfo(width, height, compression), data, indices));
    EXPECT_EQ(indices.size(), size_t(width) * size_t(std::abs(height)));
    std::vector<std::string> rows;
    for (size_t y = 0; y * size_t(width) < indices.size(); ++y) {
        std::string row;
        for (int x = 0; x < width; ++x)
            row += "0123456789abcdef"[indices[y * size_t(width) + size_t(x)] & 0x0F];
        rows.push_back(row);
    }
    return rows;
}

using Rows = std::vector<std::string>;

TEST(Rle8Decoding, EncodedRunsAndEndOfLineFillRowsFromTheBottom) {
    const std::vector<uint8_t> data = {
        3, 0x01, 1, 0x02, // bottom row: 1 1 1 2
        0, 0,             // end of line
        2, 0x03,          // next row up: 3 3
        0, 1,             // end of bitmap
    };
    EXPECT_EQ(Decode(4, 3, BI_RLE8, data), (Rows{"0000", "3300", "1112"}));
}

TEST(Rle8Decoding, AbsoluteRunsAreCopiedAndPaddedToWords) {
    const std::vector<uint8_t> data = {
        0, 3,    0x04, 0x05, 0x06, 0x00,       // absolute run of 3, one pad byte
        1, 0x07,                               // an encoded run after the padding
        0, 0,    0,    4,    1,    2,    3, 4, // next row: absolute run of 4, no padding
        0, 1,
    };
    EXPECT_EQ(Decode(4, 2, BI_RLE8, data), (Rows{"1234", "4567"}));
}

TEST(Rle8Decoding, DeltaMovesRightAndUp) {
    const std::vector<uint8_t> data = {
        1, 0x01,       // (0, bottom)
        0, 2,    2, 1, // delta: two right, one up
        1, 0x02,       // lands at column 3 of the middle row
        0, 1,
    };
    EXPECT_EQ(Decode(4, 3, BI_RLE8, data), (Rows{"0000", "0002", "1000"}));
}

TEST(Rle8Decoding, TopDownHeightStoresTheFirstRowAtTheTop) {
    const std::vector<uint8_t> data = {2, 0x05, 0, 0, 2, 0x06, 0, 1};
    EXPECT_EQ(Decode(2, -2, BI_RLE8, data), (Rows{"55", "66"}));
}

TEST(Rle8Decoding, RunsPastTheRowEndAreClippedNotWrapped) {
    const std::vector<uint8_t> data = {
        200, 0x01,                      // far longer than the row
        0,   5,    1, 2,    3, 4, 5, 0, // an absolute run starting beyond the row's end
        0,   0,    1, 0x09,             // the next row starts at column 0 again
        0,   1,
    };
    EXPECT_EQ(Decode(3, 2, BI_RLE8, data), (Rows{"900", "111"}));
}

TEST(Rle8Decoding, DeltaOutOfTheImageEndsDecoding) {
    const std::vector<uint8_t> data = {
        1, 0x01, 0, 2, 0, 255, // far above the top
        1, 0x02,               // never reached
    };
    EXPECT_EQ(Decode(2, 2, BI_RLE8, data), (Rows{"00", "10"}));
}

TEST(Rle8Decoding, EndOfLinePastTheTopEndsDecoding) {
    const std::vector<uint8_t> data = {1, 0x01, 0, 0, 1, 0x02, 0, 0, 1, 0x03, 0, 0};
    EXPECT_EQ(Decode(1, 2, BI_RLE8, data), (Rows{"2", "1"}));
}

TEST(Rle8Decoding, DataCutShortLeavesTheRestAtColourZero) {
    // Every place the data can stop: after a count, inside an escape, a delta, a literal run.
    const std::vector<std::vector<uint8_t>> cuts = {
        {2, 0x01, 3}, {2, 0x01, 0}, {2, 0x01, 0, 2, 1}, {2, 0x01, 0, 4, 0x05}, {},
    };
    EXPECT_EQ(Decode(4, 1, BI_RLE8, cuts[0]), (Rows{"1100"}));
    EXPECT_EQ(Decode(4, 1, BI_RLE8, cuts[1]), (Rows{"1100"}));
    EXPECT_EQ(Decode(4, 1, BI_RLE8, cuts[2]), (Rows{"1100"}));
    EXPECT_EQ(Decode(4, 1, BI_RLE8, cuts[3]), (Rows{"1150"}));
    EXPECT_EQ(Decode(4, 1, BI_RLE8, cuts[4]), (Rows{"0000"}));
}

TEST(Rle4Decoding, EncodedRunsAlternateTheTwoNibbles) {
    const std::vector<uint8_t> data = {
        5, 0x12,          // 1 2 1 2 1
        0, 0,    3, 0xAB, // a b a
        0, 1,
    };
    EXPECT_EQ(Decode(6, 2, BI_RLE4, data), (Rows{"aba000", "121210"}));
}

TEST(Rle4Decoding, AbsoluteRunsOfOddLengthUseHalfBytesAndPadToWords) {
    const std::vector<uint8_t> data = {
        0, 3,    0x34, 0x50,             // 3 4 5: two bytes, already word aligned
        0, 5,    0x67, 0x89, 0xA0, 0x00, // 6 7 8 9 a: three bytes and one pad
        1, 0xF0,                         // one more pixel after the padding
        0, 1,
    };
    EXPECT_EQ(Decode(9, 1, BI_RLE4, data), (Rows{"3456789af"}));
}

TEST(Rle4Decoding, RunsAreClippedToTheRow) {
    const std::vector<uint8_t> data = {255, 0x12, 0, 0, 0, 7, 0x12, 0x34, 0x56, 0x70, 0, 1};
    EXPECT_EQ(Decode(3, 2, BI_RLE4, data), (Rows{"123", "121"}));
}

TEST(RleDecoding, RefusesLayoutsItCannotDecode) {
    std::vector<uint8_t> indices = {1, 2, 3};
    const std::vector<uint8_t> data = {1, 1, 0, 1};
    BITMAPINFO wrongDepth = RleInfo(4, 4, BI_RLE8);
    wrongDepth.bmiHeader.biBitCount = 4;
    EXPECT_FALSE(DecodeRleToIndices(wrongDepth, data, indices));
    EXPECT_TRUE(indices.empty());
    EXPECT_FALSE(DecodeRleToIndices(RleInfo(4, 4, BI_RGB), data, indices));
    EXPECT_FALSE(DecodeRleToIndices(RleInfo(0, 4, BI_RLE8), data, indices));
    EXPECT_FALSE(DecodeRleToIndices(RleInfo(-4, 4, BI_RLE8), data, indices));
    EXPECT_FALSE(DecodeRleToIndices(RleInfo(4, 0, BI_RLE8), data, indices));
    // Beyond the pixel limit: refused before anything is allocated.
    EXPECT_FALSE(DecodeRleToIndices(RleInfo(1 << 30, 1 << 30, BI_RLE4), data, indices));
    EXPECT_FALSE(DecodeRleToIndices(RleInfo(1 << 16, -(1 << 16), BI_RLE8), data, indices));
}

TEST(RleDecoding, CreateDIBitmapShowsDecodedColoursAndColourZeroWhereUndefined) {
    BITMAPINFO info = RleInfo(3, 2, BI_RLE8);
    info.bmiColors = {RGBQUAD{0x10, 0x20, 0x30, 0}, RGBQUAD{0xFF, 0, 0, 0}, RGBQUAD{0, 0xFF, 0, 0}};
    const std::vector<uint8_t> data = {
        1, 0x01,       // bottom-left: blue
        0, 2,    0, 1, // up one row: the middle of the top row
        1, 0x02,       // green
        0, 1,
    };
    HBITMAP bitmap = CreateDIBitmap(GetScreenDC(), info, data, DIB_RGB_COLORS);
    ASSERT_TRUE(bitmap);
    BITMAPINFO out;
    out.bmiHeader.biSize = 40;
    out.bmiHeader.biWidth = 3;
    out.bmiHeader.biHeight = -2; // top row first
    out.bmiHeader.biPlanes = 1;
    out.bmiHeader.biBitCount = 32;
    std::vector<uint8_t> bits(3 * 2 * 4);
    ASSERT_EQ(GetDIBits(GetScreenDC(), *bitmap, 0, 2, bits, out, DIB_RGB_COLORS), 2);
    const auto pixel = [&](int x, int y) {
        const uint8_t* p = bits.data() + (size_t(y) * 3 + size_t(x)) * 4;
        return RGBQUAD{p[0], p[1], p[2], 0};
    };
    const RGBQUAD colourZero{0x10, 0x20, 0x30, 0};
    EXPECT_EQ(pixel(0, 1), (RGBQUAD{0xFF, 0, 0, 0}));
    EXPECT_EQ(pixel(1, 0), (RGBQUAD{0, 0xFF, 0, 0}));
    EXPECT_EQ(pixel(0, 0), colourZero);
    EXPECT_EQ(pixel(2, 1), colourZero);
}

} // namespace
} // namespace platform
