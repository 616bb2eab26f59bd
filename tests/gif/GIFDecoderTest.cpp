// The LZW image data decoder on its own: code widths, the clear, end and KwKwK cases, table
// limits, interlaced row order, data that ends early, late or never, and sameness with the
// reference decoder on the corpus and on random streams.
#include "gif/GIFDecoder.h"

#include "GIFTestSupport.h"
#include "ReferenceLzw.h"
#include "gif/GIFException.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <string>

using namespace giftest;
using gif::ByteReader;
using gif::DecodeImageData;
using gif::Interlace;

namespace {

struct Decoded {
    Bytes pixels;
    std::vector<std::string> warnings;
    int64_t position = 0; // where the reader stopped
};

Decoded Decode(const Bytes& data, uint32_t width, uint32_t height,
               Interlace interlace = Interlace::No) {
    Decoded out;
    out.pixels.assign(size_t(width) * height, 0);
    ByteReader reader(data);
    const gif::WarningSink warn = [&](const char* m) { out.warnings.emplace_back(m); };
    DecodeImageData(reader, out.pixels, width, height, interlace, warn);
    out.position = reader.Position();
    return out;
}

Bytes Sequence(size_t n, uint8_t modulo = 251) {
    Bytes v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(i % modulo);
    return v;
}

} // namespace

TEST(GIFDecoder, LiteralCodesDecodeToThePixels) {
    const Bytes pixels = Sequence(64 * 48);
    const Bytes data = LiteralImageData(pixels, 8);
    const Decoded d = Decode(data, 64, 48);
    EXPECT_EQ(d.pixels, pixels);
    EXPECT_TRUE(d.warnings.empty());
    EXPECT_EQ(d.position, int64_t(data.size())) << "stops past the terminator";
}

TEST(GIFDecoder, ClearThenEndGivesTheEndCodeAsFirstPixel) {
    // Minimum code size 2: clear 4, end 5, 3-bit codes. The code after the clear is output as
    // it stands, end code or not.
    const Bytes data = CodesImageData(2, {{4, 3}, {5, 3}});
    const Decoded d = Decode(data, 2, 2);
    EXPECT_EQ(d.pixels, (Bytes{5, 0, 0, 0}));
}

TEST(GIFDecoder, ConsecutiveClearCodesAreSkipped) {
    const Bytes data = CodesImageData(2, {{4, 3}, {4, 3}, {4, 3}, {1, 3}, {2, 3}, {5, 3}});
    EXPECT_EQ(Decode(data, 2, 1).pixels, (Bytes{1, 2}));
}

TEST(GIFDecoder, KwKwKCodeRepeatsThePreviousStringWithItsFirstCharacter) {
    // Code 6 is the next free code when it arrives: it stands for "1" + "1".
    const Bytes data = CodesImageData(2, {{4, 3}, {1, 3}, {6, 3}, {5, 3}});
    EXPECT_EQ(Decode(data, 3, 1).pixels, (Bytes{1, 1, 1}));
}

TEST(GIFDecoder, StringCodesExpandThroughTheTable) {
    // "1 2" adds 6 = "1 2"; "6" then outputs "1 2" and adds 7 = "2 1"; "7" outputs "2 1".
    const Bytes data = CodesImageData(2, {{4, 3}, {1, 3}, {2, 3}, {6, 3}, {7, 4}, {5, 4}});
    EXPECT_EQ(Decode(data, 6, 1).pixels, (Bytes{1, 2, 1, 2, 2, 1}));
}

TEST(GIFDecoder, CodeWidthGrowsFromNineToTenBitsAfterEntry511) {
    // With minimum code size 8 the 255th code after the clear is the first one of 10 bits.
    // A decoder that switches one code early or late reads garbage from there on.
    const Bytes pixels = Sequence(600);
    CodeWriter writer;
    writer.Put(256, 9);
    for (size_t i = 0; i < pixels.size(); ++i)
        writer.Put(pixels[i], i < 255 ? 9 : i < 767 ? 10 : 11);
    writer.Put(257, 10);
    Bytes data{8};
    const Bytes blocks = SubBlocks(writer.Data());
    data.insert(data.end(), blocks.begin(), blocks.end());
    EXPECT_EQ(Decode(data, 600, 1).pixels, pixels);
}

TEST(GIFDecoder, FullTableKeepsTwelveBitCodesWithoutNewEntries) {
    // 6000 literal codes without a clear: the table fills at 4096 and decoding goes on.
    const Bytes pixels = Sequence(6000, 199);
    const Bytes data = LiteralImageData(pixels, 8);
    EXPECT_EQ(Decode(data, 100, 60).pixels, pixels);
}

TEST(GIFDecoder, ClearCodesResetTheTableMidStream) {
    const Bytes pixels = Sequence(3000, 4);
    Bytes data{2};
    const Bytes blocks = SubBlocks(LiteralCodes(pixels, 2, true, 2));
    data.insert(data.end(), blocks.begin(), blocks.end());
    EXPECT_EQ(Decode(data, 3000, 1).pixels, pixels);
}

TEST(GIFDecoder, SmallMinimumCodeSizesDecode) {
    // Size 1: clear 2, end 3; size 0: clear 1, end 2 (only the root 0 exists).
    EXPECT_EQ(Decode(CodesImageData(1, {{2, 2}, {1, 2}, {0, 3}, {3, 3}}), 2, 1).pixels,
              (Bytes{1, 0}));
    EXPECT_EQ(Decode(CodesImageData(0, {{1, 1}, {0, 2}, {0, 3}, {2, 3}}), 3, 1).pixels,
              (Bytes{0, 0, 0}));
}

TEST(GIFDecoder, CodeSizeTwelveOrMoreIsRejected) {
    for (uint8_t size : {12, 13, 255}) {
        Bytes data{size, 2, 0xFF, 0xFF, 0};
        try {
            Decode(data, 4, 4);
            FAIL() << "code size " << int(size) << " decoded";
        } catch (const gif::GIFException& e) {
            EXPECT_EQ(e.message(), gif::sInvalidCodeSize);
        }
    }
}

TEST(GIFDecoder, SelfReferencingEntryIsCircular) {
    // The first code after the clear (6) becomes the previous code, so the next code adds
    // entry 6 with prefix 6.
    const Bytes data = CodesImageData(2, {{4, 3}, {6, 3}, {0, 3}, {6, 3}, {5, 3}});
    try {
        Decode(data, 8, 1);
        FAIL();
    } catch (const gif::GIFException& e) {
        EXPECT_EQ(e.message(), gif::sCircularTableEntry);
    }
}

TEST(GIFDecoder, EntriesNamingEachOtherNeverOverflowTheStack) {
    // Entry 6 gets prefix 7 and entry 7 prefix 6; expanding 7 follows the loop until the
    // expansion stack is full, which is reported instead of overrunning it.
    const Bytes data = CodesImageData(2, {{4, 3}, {7, 3}, {6, 3}, {0, 3}, {7, 4}, {5, 4}});
    try {
        Decode(data, 8, 1);
        FAIL();
    } catch (const gif::GIFException& e) {
        EXPECT_EQ(e.message(), gif::sCircularTableEntry);
    }
}

TEST(GIFDecoder, MissingCodeSizeLeavesAllPixelsZero) {
    const Decoded d = Decode({}, 3, 3);
    EXPECT_EQ(d.pixels, Bytes(9, 0));
}

TEST(GIFDecoder, DataEndingEarlyLeavesTheRestZero) {
    const Bytes pixels(50, 7);
    Bytes data{8};
    const Bytes blocks = SubBlocks(LiteralCodes(pixels, 8, false));
    data.insert(data.end(), blocks.begin(), blocks.end());
    const Decoded d = Decode(data, 10, 10);
    Bytes expected(100, 0);
    std::fill_n(expected.begin(), 50, 7);
    EXPECT_EQ(d.pixels, expected);
    EXPECT_EQ(d.position, int64_t(data.size()));
    // The last byte still held unused bits, so the buffer was not under-run.
    EXPECT_TRUE(d.warnings.empty());
}

TEST(GIFDecoder, CodesEndingOnAByteBoundaryUnderRunTheBuffer) {
    // The clear code and 7 pixels of 9 bits fill exactly 9 bytes.
    const Bytes pixels(7, 9);
    Bytes data{8};
    const Bytes blocks = SubBlocks(LiteralCodes(pixels, 8, false));
    ASSERT_EQ(blocks.size(), 11u);
    data.insert(data.end(), blocks.begin(), blocks.end());
    const Decoded d = Decode(data, 4, 4);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), d.pixels.begin()));
    ASSERT_FALSE(d.warnings.empty());
    EXPECT_EQ(d.warnings.front(), gif::sBitBufferUnderrun);
}

TEST(GIFDecoder, EarlyEndCodeStopsWithoutReadingOn) {
    // The end code after 4 of 9 pixels skips to the terminator; the bytes after the image
    // data must stay unread.
    const Bytes pixels(4, 3);
    Bytes data = LiteralImageData(pixels, 2);
    const size_t end = data.size();
    data.insert(data.end(), {0x21, 0xFE, 0x00});
    const Decoded d = Decode(data, 3, 3);
    EXPECT_EQ(d.position, int64_t(end));
    EXPECT_EQ(d.pixels, (Bytes{3, 3, 3, 3, 0, 0, 0, 0, 0}));
}

TEST(GIFDecoder, ShortLastSubBlockIsCutToTheBytesLeft) {
    // The last sub-block announces 200 bytes; only the 50 that remain are decoded.
    const Bytes pixels = Sequence(400, 200);
    Bytes codes = LiteralCodes(pixels, 8);
    Bytes data{8, 255};
    data.insert(data.end(), codes.begin(), codes.begin() + 255);
    data.push_back(200);
    data.insert(data.end(), codes.begin() + 255, codes.begin() + 305);
    const Decoded d = Decode(data, 400, 1);
    ASSERT_FALSE(d.warnings.empty());
    EXPECT_EQ(d.warnings.front(), gif::sPrematureEnd);
    // Count the whole codes in the 305 bytes after the clear code; a partial one is not taken.
    size_t decodable = 0;
    WidthTracker widths(8);
    for (int bits = 9; bits + widths.Width() < 305 * 8; ++decodable) {
        bits += widths.Width();
        widths.Emitted();
    }
    ASSERT_GT(decodable, 255u);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + long(decodable), d.pixels.begin()));
    EXPECT_TRUE(std::all_of(d.pixels.begin() + long(decodable), d.pixels.end(),
                            [](uint8_t p) { return p == 0; }));
}

TEST(GIFDecoder, OneByteSubBlocksDecodeLikeLongOnes) {
    // 12-bit codes straddle several one-byte sub-blocks.
    const Bytes pixels = Sequence(5000, 97);
    EXPECT_EQ(Decode(LiteralImageData(pixels, 8, 1), 5000, 1).pixels, pixels);
    EXPECT_EQ(Decode(LiteralImageData(pixels, 8, 2), 5000, 1).pixels, pixels);
}

TEST(GIFDecoder, DataWithoutEndCodeDecodesCompletely) {
    const Bytes pixels = Sequence(30);
    Bytes data{8};
    const Bytes blocks = SubBlocks(LiteralCodes(pixels, 8, false));
    data.insert(data.end(), blocks.begin(), blocks.end());
    data.push_back(0x3B);
    const Decoded d = Decode(data, 5, 6);
    EXPECT_EQ(d.pixels, pixels);
    EXPECT_EQ(d.position, int64_t(data.size()) - 1) << "the trailer is left for the block loop";
}

TEST(GIFDecoder, CodesBeyondTheLastPixelAreSkippedToTheTerminator) {
    // Twice the pixels the frame holds, over several sub-blocks: the rest of the data must
    // not be left for the block loop to misread.
    const Bytes pixels = Sequence(2000);
    Bytes data = LiteralImageData(pixels, 8, 100);
    const size_t end = data.size();
    data.push_back(0x3B);
    const Decoded d = Decode(data, 10, 100);
    EXPECT_TRUE(std::equal(d.pixels.begin(), d.pixels.end(), pixels.begin()));
    EXPECT_EQ(d.position, int64_t(end));
}

// Interlaced rows come in the order of the four passes; fetched row k holds the value k + 1.
class GIFInterlace : public ::testing::TestWithParam<std::pair<uint32_t, std::vector<uint32_t>>> {};

TEST_P(GIFInterlace, RowsFillInPassOrder) {
    const auto& [height, order] = GetParam();
    const uint32_t width = 3;
    Bytes pixels;
    for (uint32_t k = 0; k < height; ++k)
        pixels.insert(pixels.end(), width, uint8_t(k + 1));
    // A larger buffer with a sentinel shows that nothing is written past the frame.
    Bytes buffer(size_t(width) * height + 16, 0xEE);
    const Bytes data = LiteralImageData(pixels, 8);
    ByteReader reader(data);
    DecodeImageData(reader, std::span(buffer).first(size_t(width) * height), width, height,
                    Interlace::Yes, [](const char*) {});
    for (uint32_t k = 0; k < height; ++k)
        for (uint32_t x = 0; x < width; ++x)
            EXPECT_EQ(buffer[size_t(order[k]) * width + x], k + 1) << "fetched row " << k;
    EXPECT_TRUE(std::all_of(buffer.end() - 16, buffer.end(), [](uint8_t b) { return b == 0xEE; }));
}

INSTANTIATE_TEST_SUITE_P(
    Heights, GIFInterlace,
    ::testing::Values(std::pair<uint32_t, std::vector<uint32_t>>{1, {0}},
                      std::pair<uint32_t, std::vector<uint32_t>>{2, {0, 1}},
                      std::pair<uint32_t, std::vector<uint32_t>>{4, {0, 2, 1, 3}},
                      std::pair<uint32_t, std::vector<uint32_t>>{5, {0, 4, 2, 1, 3}},
                      std::pair<uint32_t, std::vector<uint32_t>>{10,
                                                                 {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}},
                      std::pair<uint32_t, std::vector<uint32_t>>{
                          17, {0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}}));

TEST(GIFDecoder, InterlacedFrameOfFourByTwoFillsOnlyItsEightBytes) {
    const Bytes pixels{1, 1, 1, 1, 2, 2, 2, 2};
    Bytes buffer(8 + 8, 0xEE);
    const Bytes data = LiteralImageData(pixels, 2);
    ByteReader reader(data);
    DecodeImageData(reader, std::span(buffer).first(8), 4, 2, Interlace::Yes, [](const char*) {});
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 8), pixels);
    EXPECT_EQ(Bytes(buffer.begin() + 8, buffer.end()), Bytes(8, 0xEE));
}

// ---- Against the reference decoder ------------------------------------------------------------
// The decoder copies strings from the pixels it has written; the reference walks the string
// table pixel by pixel. Both must leave the same pixels, warnings, reader position and error on
// every GIF of the corpus and on random code streams that mix valid strings with the damage a
// file can hold.

namespace {

namespace fs = std::filesystem;

struct Outcome {
    Bytes pixels;
    std::vector<std::string> warnings;
    int64_t position = 0;
    std::string error;
};

using DecodeFunction = void (*)(ByteReader&, std::span<uint8_t>, uint32_t, uint32_t, Interlace,
                                const gif::WarningSink&);

Outcome Run(DecodeFunction decode, std::span<const uint8_t> data, uint32_t width, uint32_t height,
            Interlace interlace) {
    Outcome out;
    out.pixels.assign(size_t(width) * height, 0);
    ByteReader reader(data);
    const gif::WarningSink warn = [&](const char* m) { out.warnings.emplace_back(m); };
    try {
        decode(reader, out.pixels, width, height, interlace, warn);
    } catch (const gif::GIFException& e) {
        out.error = e.message();
    }
    out.position = reader.Position();
    return out;
}

// Compares both decoders on one frame's image data; returns a description of the first
// difference, or nothing.
std::string Difference(std::span<const uint8_t> data, uint32_t width, uint32_t height,
                       Interlace interlace) {
    const Outcome ours = Run(&gif::DecodeImageData, data, width, height, interlace);
    const Outcome reference =
        Run(&giftest::reference::DecodeImageData, data, width, height, interlace);
    if (ours.error != reference.error)
        return "error '" + ours.error + "', reference '" + reference.error + "'";
    if (ours.warnings != reference.warnings)
        return std::to_string(ours.warnings.size()) + " warnings, reference " +
               std::to_string(reference.warnings.size());
    if (ours.position != reference.position)
        return "reader at " + std::to_string(ours.position) + ", reference " +
               std::to_string(reference.position);
    const auto mismatch =
        std::mismatch(ours.pixels.begin(), ours.pixels.end(), reference.pixels.begin());
    if (mismatch.first != ours.pixels.end())
        return "pixel " + std::to_string(mismatch.first - ours.pixels.begin()) + " is " +
               std::to_string(*mismatch.first) + ", reference " + std::to_string(*mismatch.second);
    return {};
}

struct Frame {
    size_t offset = 0; // of the minimum code size byte
    uint32_t width = 0;
    uint32_t height = 0;
    Interlace interlace = Interlace::No;
};

// Where the image data of each frame starts, by the GIF89a block layout: the header and its
// colour table, then extensions (label and sub-blocks) and image descriptors (with their local
// tables) until the trailer or anything else. A zero size stands for the screen's, as the
// reader takes it.
std::vector<Frame> FramesOf(const Bytes& file) {
    std::vector<Frame> frames;
    if (file.size() < 13 || file[0] != 'G' || file[1] != 'I' || file[2] != 'F')
        return frames;
    const auto le16 = [&](size_t at) { return uint32_t(file[at] | (file[at + 1] << 8)); };
    const auto skipSubBlocks = [&](size_t at) {
        while (at < file.size()) {
            const uint8_t length = file[at++];
            if (length == 0)
                break;
            at += length;
        }
        return at;
    };
    size_t at = 13;
    if (file[10] & 0x80)
        at += 3 * (size_t(2) << (file[10] & 7));
    while (at < file.size()) {
        if (file[at] == 0x21) {
            at = skipSubBlocks(at + 2);
        } else if (file[at] == 0x2C && at + 10 <= file.size()) {
            Frame frame;
            frame.width = le16(at + 5);
            frame.height = le16(at + 7);
            if (frame.width == 0 || frame.height == 0) {
                frame.width = le16(6);
                frame.height = le16(8);
            }
            const uint8_t packed = file[at + 9];
            frame.interlace = (packed & 0x40) ? Interlace::Yes : Interlace::No;
            at += 10;
            if (packed & 0x80)
                at += 3 * (size_t(2) << (packed & 7));
            if (at >= file.size())
                break;
            frame.offset = at;
            frames.push_back(frame);
            at = skipSubBlocks(at + 1);
        } else {
            break;
        }
    }
    return frames;
}

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A code stream for minCodeSize: mostly codes the table holds (literals, strings, the next
// free code), with clears, early end codes and arbitrary codes mixed in at the given rates (in
// thousandths), widths as a decoder expects them.
Bytes RandomCodes(std::mt19937& random, int minCodeSize, size_t count, unsigned clearRate,
                  unsigned damageRate) {
    CodeWriter writer;
    const uint32_t clear = 1u << minCodeSize;
    uint32_t next = 0;
    int width = 0;
    uint32_t limit = 0;
    bool first = true;
    const auto reset = [&] {
        next = clear + 2;
        width = minCodeSize + 1;
        limit = 2u << minCodeSize;
        first = true;
    };
    reset();
    writer.Put(clear, width);
    for (size_t i = 0; i < count; ++i) {
        const unsigned roll = random() % 1000;
        uint32_t code = 0;
        if (roll < clearRate) {
            writer.Put(clear, width);
            reset();
            continue;
        }
        if (roll < clearRate + damageRate / 4)
            code = clear + 1;
        else if (roll < clearRate + damageRate)
            code = random() % (1u << width);
        else if (first)
            code = random() % clear;
        else
            code = random() % std::min(next + 1, 4096u);
        writer.Put(code, width);
        if (first) {
            first = false;
        } else if (next < 4096) {
            ++next;
            if (next >= limit && limit < 4096) {
                limit *= 2;
                ++width;
            }
        }
    }
    return writer.Data();
}

} // namespace

TEST(GIFDecoderReference, EveryCorpusFrameDecodesTheSame) {
    std::vector<fs::path> files;
    for (const fs::path& root : {fs::path(VELMORA_CORPUS_DIR) / "gif",
                                 fs::path(VELMORA_CORPUS_DIR) / "fuzz" / "go-fuzz-corpus" / "gif",
                                 fs::path(VELMORA_TEST_DATA_DIR) / "gif"})
        if (fs::is_directory(root))
            for (const auto& entry : fs::recursive_directory_iterator(root))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    size_t frames = 0;
    for (const fs::path& path : files) {
        const Bytes file = ReadAll(path);
        for (const Frame& frame : FramesOf(file)) {
            // Sizes the reader refuses are no comparison of decoders.
            if (uint64_t(frame.width) * frame.height > (uint64_t(1) << 26))
                continue;
            const std::span<const uint8_t> data = std::span(file).subspan(frame.offset);
            ASSERT_EQ(Difference(data, frame.width, frame.height, frame.interlace), "")
                << path << " frame at " << frame.offset;
            ++frames;
        }
    }
    EXPECT_GT(frames, 700u);
}

TEST(GIFDecoderReference, RandomCodeStreamsDecodeTheSame) {
    std::mt19937 random(20240517);
    const int sizes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 8, 8, 9, 11};
    for (int i = 0; i < 3000; ++i) {
        const int minCodeSize = sizes[random() % std::size(sizes)];
        // Every third stream is clean; the others carry damage at rising rates.
        const unsigned damage = i % 3 == 0 ? 0 : random() % 30;
        const Bytes codes = RandomCodes(random, minCodeSize, 1 + random() % 6000,
                                        random() % 4 == 0 ? 0 : random() % 8, damage);
        Bytes data{uint8_t(minCodeSize)};
        const Bytes blocks = SubBlocks(codes, 1 + random() % 255);
        data.insert(data.end(), blocks.begin(), blocks.end());
        // Cut short now and then: inside a sub-block, or before the terminator.
        if (random() % 8 == 0)
            data.resize(1 + random() % data.size());
        data.push_back(0x3B);
        const uint32_t width = 1 + random() % 120;
        const uint32_t height = 1 + random() % 90;
        const Interlace interlace = random() % 3 == 0 ? Interlace::Yes : Interlace::No;
        ASSERT_EQ(Difference(data, width, height, interlace), "")
            << "stream " << i << ", code size " << minCodeSize << ", " << width << " x " << height;
    }
}
