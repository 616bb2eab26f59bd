// Every JPEG of the shared corpus through the second codec, against libjpeg-turbo's own djpeg
// with its default settings ("djpeg -pnm": integer DCT, smooth upsampling), which are the ones
// TurboJPEG decodes with: a file djpeg decodes must come out bit for bit as djpeg wrote it, a
// file it decodes with warnings must still give a picture of its size, and a file it rejects
// must fail with EJpegFile.
#include "support/Files.h"
#include "tjpeg/TurboJpeg.h"

#include <cctype>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using testsupport::CorpusPath;

struct DjpegResult {
    std::string file;    // relative to the corpus folder
    int rc = 0;          // 0 decoded, 1 rejected, 2 decoded with warnings
    std::string output;  // "P6 32x32" (colour) or "P5 10x10" (grey)
    std::string pnmFile; // djpeg's output, when kept
};

std::vector<DjpegResult> LoadResults() {
    std::vector<DjpegResult> results;
    if (!testsupport::HaveCorpus())
        return results;
    for (const auto& row :
         testsupport::ReadTsv(CorpusPath("jpeg/derived-djpeg-2.1.5/RESULTS.tsv"))) {
        if (row.size() < 9 || row[0] == "file")
            continue;
        results.push_back({row[0], std::stoi(row[1]), row[2], row.size() > 9 ? row[9] : ""});
    }
    return results;
}

// A binary PNM (P5 grey or P6 red, green, blue, maxval 255) as blue, green, red pixels.
struct Pnm {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;
};

Pnm ReadPnm(const std::vector<uint8_t>& bytes) {
    std::string head(bytes.begin(),
                     bytes.begin() + std::min<ptrdiff_t>(64, ptrdiff_t(bytes.size())));
    std::istringstream in(head);
    std::string magic;
    int maxval = 0;
    Pnm pnm;
    in >> magic >> pnm.width >> pnm.height >> maxval;
    const size_t start = size_t(in.tellg()) + 1;
    const size_t channels = magic == "P6" ? 3 : 1;
    const size_t count = size_t(pnm.width) * size_t(pnm.height);
    if (maxval != 255 || bytes.size() < start + count * channels)
        return {};
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = &bytes[start + i * channels];
        if (channels == 3)
            pnm.bgr.insert(pnm.bgr.end(), {p[2], p[1], p[0]});
        else
            pnm.bgr.insert(pnm.bgr.end(), {p[0], p[0], p[0]});
    }
    return pnm;
}

std::vector<uint8_t> Pixels(graphics::TBitmap& bitmap) {
    std::vector<uint8_t> bgr;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const auto row = bitmap.RowAddress(y).first(size_t(bitmap.Width()) * 3);
        bgr.insert(bgr.end(), row.begin(), row.end());
    }
    return bgr;
}

class TurboJpegCorpus : public ::testing::TestWithParam<DjpegResult> {};

TEST_P(TurboJpegCorpus, DecodesAsDjpegDoes) {
    const DjpegResult& c = GetParam();
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(CorpusPath(c.file));
    graphics::TBitmap bitmap;
    if (c.rc == 1) {
        EXPECT_THROW(tjpeg::DecodeJpeg(bytes, bitmap), tjpeg::EJpegFile);
        EXPECT_TRUE(bitmap.IsEmpty()) << "a failed decode leaves the bitmap as it was";
        return;
    }
    ASSERT_NO_THROW(tjpeg::DecodeJpeg(bytes, bitmap));
    EXPECT_EQ(bitmap.PixelFormat(), graphics::pf24bit);
    EXPECT_EQ(c.output.substr(3),
              std::to_string(bitmap.Width()) + "x" + std::to_string(bitmap.Height()));
    if (c.pnmFile.empty())
        return;
    const Pnm expected = ReadPnm(testsupport::ReadFileBytes(CorpusPath(c.pnmFile)));
    ASSERT_EQ(expected.width, bitmap.Width());
    ASSERT_EQ(expected.height, bitmap.Height());
    EXPECT_TRUE(Pixels(bitmap) == expected.bgr) << "pixels differ from djpeg's";
}

std::string CaseName(const ::testing::TestParamInfo<DjpegResult>& info) {
    std::string name = std::to_string(info.index) + "_";
    const std::string& file = info.param.file;
    for (char ch : file.substr(file.find_last_of('/') + 1))
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, TurboJpegCorpus, ::testing::ValuesIn(LoadResults()), CaseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TurboJpegCorpus);

} // namespace
