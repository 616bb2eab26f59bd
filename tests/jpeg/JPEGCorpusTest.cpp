// Every JPEG of the shared corpus against libjpeg-turbo's own decoder (djpeg 2.1.5, float DCT):
// the pixels must be bit for bit what djpeg writes, and a file djpeg rejects must fail with
// "JPEG error #n" carrying the number of djpeg's fatal message.
#include "JpegTestSupport.h"
#include "jpeg/JPEGImage.h"
#include "support/ExifJpeg.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>

using namespace jpegtest;

namespace {

struct CorpusCase {
    std::string file;   // relative to the corpus folder
    int rc = 0;         // djpeg -dct float -bmp: 0 ok, 1 rejected, 2 decoded with warnings
    std::string output; // "BMP 32x32 24bpp"
    std::string md5;
    std::string messages; // djpeg's messages, " | " between them; the last one is fatal
    // djpeg -dct float -colors 236 -bmp (our tests/data/jpeg/quantized-236.tsv)
    std::optional<int> quantizedRc;
    std::string quantizedMd5;
};

std::vector<CorpusCase> LoadCases() {
    std::map<std::string, std::pair<int, std::string>> quantized;
    for (const auto& row : ReadTsv(TestDataPath("quantized-236.tsv"))) {
        if (row.size() >= 3 && row[0] != "file")
            quantized[row[0]] = {std::stoi(row[1]), row[2]};
    }
    std::vector<CorpusCase> cases;
    for (const auto& row : ReadTsv(CorpusPath("jpeg/derived-djpeg-2.1.5/RESULTS.tsv"))) {
        if (row.size() < 9 || row[0] == "file")
            continue;
        CorpusCase c;
        c.file = row[0];
        c.rc = std::stoi(row[5]);
        c.output = row[6];
        c.md5 = row[7];
        c.messages = row[8];
        if (auto it = quantized.find(c.file); it != quantized.end()) {
            c.quantizedRc = it->second.first;
            c.quantizedMd5 = it->second.second;
        }
        cases.push_back(std::move(c));
    }
    return cases;
}

std::string FatalMessage(const std::string& messages) {
    const size_t bar = messages.rfind(" | ");
    return bar == std::string::npos ? messages : messages.substr(bar + 3);
}

struct Outcome {
    std::optional<int> error;
    std::string md5;
    graphics::TPixelFormat format = graphics::pfDevice;
};

// Loads and decodes the file as the card editor does (ReadFromFile, then the bitmap).
Outcome Decode(const std::string& file, bool eightBitOutput) {
    const uint8_t saved = jpeg::JpegDefaults.EightBitOutput;
    jpeg::JpegDefaults.EightBitOutput = eightBitOutput ? 1 : 0;
    jpeg::TJPEGImage picture;
    jpeg::JpegDefaults.EightBitOutput = saved;
    Outcome outcome;
    try {
        picture.ReadFromFile(CorpusPath(file));
        graphics::TBitmap& bitmap = picture.Bitmap();
        outcome.format = bitmap.PixelFormat();
        const std::vector<uint8_t> bytes = ReadFileBytes(CorpusPath(file));
        outcome.md5 = Md5Hex(DjpegStyleBmp(bitmap, ReadJfifDensity(bytes)));
    } catch (const jpeg::EJPEG& e) {
        outcome.error = e.MessageCode();
        EXPECT_EQ(e.what(), "JPEG error #" + std::to_string(e.MessageCode()));
    }
    return outcome;
}

class JpegCorpus : public testing::TestWithParam<CorpusCase> {};
class JpegCorpusEightBit : public testing::TestWithParam<CorpusCase> {};

std::vector<CorpusCase> DecodableCases() {
    std::vector<CorpusCase> cases;
    for (CorpusCase& c : LoadCases()) {
        if (c.rc != 1)
            cases.push_back(std::move(c));
    }
    return cases;
}

// The card editor's own decoding: 24-bit colour, CMYK converted to colour, greyscale always as
// 236 quantized greys.
TEST_P(JpegCorpus, DecodesLikeDjpeg) {
    const CorpusCase& c = GetParam();
    const Outcome outcome = Decode(c.file, false);
    if (c.rc == 1) {
        ASSERT_TRUE(outcome.error.has_value()) << "djpeg rejects it: " << c.messages;
        const std::set<int> expected = LibraryMessageNumbers(FatalMessage(c.messages));
        ASSERT_FALSE(expected.empty()) << "not a libjpeg message: " << c.messages;
        EXPECT_TRUE(expected.contains(*outcome.error))
            << "JPEG error #" << *outcome.error << ", djpeg: " << c.messages;
        return;
    }
    ASSERT_FALSE(outcome.error.has_value()) << "JPEG error #" << *outcome.error;
    const bool grey = c.output.ends_with("8bpp");
    if (grey) {
        // djpeg writes unquantized greys; ours are the 236 levels of "djpeg -colors 236".
        ASSERT_TRUE(c.quantizedRc.has_value());
        EXPECT_EQ(outcome.format, graphics::pf8bit);
        EXPECT_EQ(outcome.md5, c.quantizedMd5);
    } else {
        EXPECT_EQ(outcome.format, graphics::pf24bit);
        EXPECT_EQ(outcome.md5, c.md5);
    }
}

// Decoding for a screen of at most 8 bits per pixel: colour through the two-pass quantizer.
TEST_P(JpegCorpusEightBit, DecodesLikeDjpegColors236) {
    const CorpusCase& c = GetParam();
    const Outcome outcome = Decode(c.file, true);
    ASSERT_FALSE(outcome.error.has_value()) << "JPEG error #" << *outcome.error;
    ASSERT_TRUE(c.quantizedRc.has_value());
    if (*c.quantizedRc == 1) {
        // Only four-component (CMYK, YCCK) files, which djpeg cannot quantize for a BMP. They
        // have no place in a palette: still 24-bit, converted as before.
        EXPECT_EQ(outcome.format, graphics::pf24bit);
        EXPECT_EQ(outcome.md5, c.md5);
        return;
    }
    EXPECT_EQ(outcome.format, graphics::pf8bit);
    EXPECT_EQ(outcome.md5, c.quantizedMd5);
}

// The corpus' four-component files all carry Adobe's marker with transform 0 (plain CMYK, no
// YCCK), so without it libjpeg delivers the very same CMYK values. djpeg reads a file with and
// without the marker alike: its output for the original is the expected picture for the copy
// without the marker.
TEST(JpegCmyk, FilesWithoutAdobeMarkerDecodeAsDjpegDecodesThem) {
    int checked = 0;
    for (const auto& row : ReadTsv(CorpusPath("jpeg/derived-djpeg-2.1.5/RESULTS.tsv"))) {
        if (row.size() < 9 || row[0] == "file" || row[0].find("cmyk") == std::string::npos ||
            row[5] != "0")
            continue;
        const std::vector<uint8_t> original = ReadFileBytes(CorpusPath(row[0]));
        const long adobe = FindMarker(original, 0xEE);
        ASSERT_NE(adobe, -1) << row[0];
        ASSERT_EQ(original[size_t(adobe) + 15], 0) << row[0] << ": transform is not plain CMYK";
        const std::vector<uint8_t> bare = testsupport::WithoutSegments(original, 0xEE);
        ASSERT_EQ(FindMarker(bare, 0xEE), -1);

        jpeg::TJPEGImage picture;
        graphics::TMemoryStream stream(bare);
        picture.LoadFromStream(stream);
        graphics::TBitmap& bitmap = picture.Bitmap();
        EXPECT_EQ(bitmap.PixelFormat(), graphics::pf24bit) << row[0];
        EXPECT_EQ(Md5Hex(DjpegStyleBmp(bitmap, ReadJfifDensity(bare))), row[7]) << row[0];
        ++checked;
    }
    EXPECT_GE(checked, 11);
}

std::string CaseName(const testing::TestParamInfo<CorpusCase>& info) {
    std::string name = std::to_string(info.index) + "_";
    const std::string& file = info.param.file;
    const size_t slash = file.rfind('/');
    for (char ch : file.substr(slash == std::string::npos ? 0 : slash + 1))
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, JpegCorpus, testing::ValuesIn(LoadCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Corpus, JpegCorpusEightBit, testing::ValuesIn(DecodableCases()), CaseName);

} // namespace
