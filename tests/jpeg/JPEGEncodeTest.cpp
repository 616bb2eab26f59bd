// Encoding and saving: the bytes against libjpeg-turbo's own cjpeg, the JFIF layout, baseline or
// progressive after a load, encoding once, and files that are replaced without loss.
#include "JpegTestSupport.h"
#include "graphics/Exceptions.h"
#include "jpeg/JPEGImage.h"
#include "support/FileSizeLimit.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace jpegtest;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Save(jpeg::TJPEGImage& picture) {
    graphics::TMemoryStream stream;
    picture.SaveToStream(stream);
    const auto memory = stream.Memory();
    return {memory.begin(), memory.end()};
}

void MakeCard(graphics::TBitmap& card) {
    MakeBitmap(card, 495, 315, CardPixel);
}

void CountStarts(jpeg::TJPEGImage& picture, int& starts) {
    picture.OnProgress = [&starts](graphics::TPersistent&, graphics::TProgressStage stage, uint8_t,
                                   bool, const platform::RECT&, const std::string&) {
        if (stage == graphics::psStarting)
            ++starts;
    };
}

// Where our bytes and cjpeg's differ, for a readable failure.
std::string FirstDifference(std::span<const uint8_t> ours, std::span<const uint8_t> theirs) {
    const size_t n = std::min(ours.size(), theirs.size());
    for (size_t i = 0; i < n; ++i) {
        if (ours[i] != theirs[i])
            return "first difference at byte " + std::to_string(i);
    }
    return ours.size() == theirs.size()
               ? "identical"
               : "sizes " + std::to_string(ours.size()) + " and " + std::to_string(theirs.size());
}

// ---- Against cjpeg -quality 90 -baseline -dct float.

class JpegEncodeReference : public testing::Test {
  protected:
    void SetUp() override { MakeCard(card_); }

    // cjpeg run now on the same pixels, when the tool is installed.
    std::optional<std::vector<uint8_t>> LiveCjpeg(const std::string& options) {
        const std::string cjpeg = FindProgram("cjpeg");
        if (cjpeg.empty())
            return std::nullopt;
        const std::string folder = MakeTempFolder();
        WriteFileBytes(folder + "/card.ppm", PpmOf(card_));
        const int status = RunCommand(cjpeg + " " + options + " -outfile " + folder + "/card.jpg " +
                                      folder + "/card.ppm");
        std::optional<std::vector<uint8_t>> result;
        if (status == 0)
            result = ReadFileBytes(folder + "/card.jpg");
        fs::remove_all(folder);
        return result;
    }

    graphics::TBitmap card_;
};

TEST_F(JpegEncodeReference, BaselineCardIsByteIdenticalToCjpeg) {
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&card_);
    const std::vector<uint8_t> ours = Save(picture);
    const std::vector<uint8_t> reference = ReadFileBytes(TestDataPath("card-q90-baseline.jpg"));
    EXPECT_EQ(ours, reference) << FirstDifference(ours, reference);
    if (auto live = LiveCjpeg("-quality 90 -baseline -dct float")) {
        EXPECT_EQ(ours, *live) << FirstDifference(ours, *live);
    }
}

TEST_F(JpegEncodeReference, AfterAProgressiveLoadTheCardIsCjpegProgressive) {
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(CorpusPath("jpeg/ijg-jpeg-6b/testprog.jpg"));
    ASSERT_TRUE(picture.ProgressiveOutput());
    picture.CopyFrom(&card_);
    EXPECT_TRUE(picture.ProgressiveOutput()) << "CopyFrom keeps the setting of the last load";
    const std::vector<uint8_t> ours = Save(picture);
    const std::vector<uint8_t> reference = ReadFileBytes(TestDataPath("card-q90-progressive.jpg"));
    EXPECT_EQ(ours, reference) << FirstDifference(ours, reference);
    if (auto live = LiveCjpeg("-quality 90 -baseline -progressive -dct float")) {
        EXPECT_EQ(ours, *live) << FirstDifference(ours, *live);
    }
}

// The card bitmap of the editor is device-dependent (32 bits per pixel); the encoder reads its
// blue, green and red bytes in place, so the bytes are the same as from 24 bits.
TEST_F(JpegEncodeReference, DeviceDependentCardEncodesTheSame) {
    graphics::TBitmap device;
    device.CopyFrom(&card_);
    device.SetPixelFormat(graphics::pfDevice);
    ASSERT_EQ(device.PixelFormat(), graphics::pfDevice);
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&device);
    EXPECT_EQ(Save(picture), ReadFileBytes(TestDataPath("card-q90-baseline.jpg")));
    EXPECT_EQ(picture.Bitmap().PixelFormat(), graphics::pfDevice)
        << "the cached bitmap itself is not converted";
}

// ---- Every storage layout.

// A card-like picture of an odd size (rows padded, a partial last block row), in the given
// storage: a pixel format reached from 24 bits through SetPixelFormat, or a top-down DIB
// section. The unused fourth byte of 32-bit pixels is not zero, as drawing may leave it.
enum class Layout { BottomUp, TopDown };

void MakeStoredCard(graphics::TBitmap& target, graphics::TPixelFormat format, Layout layout) {
    constexpr int kWidth = 101;
    constexpr int kHeight = 67;
    graphics::TBitmap source;
    MakeBitmap(source, kWidth, kHeight, [](int x, int y) { return CardPixel(x * 4, y * 4); });
    if (layout == Layout::BottomUp) {
        target.CopyFrom(&source);
        target.SetPixelFormat(format);
        if (format == graphics::pf32bit)
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    target.RowAddress(y)[size_t(4 * x + 3)] = uint8_t(x ^ y);
        return;
    }
    const int bytesPerPixel = format == graphics::pf32bit ? 4 : 3;
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = uint16_t(8 * bytesPerPixel);
    graphics::TNewBitmapImage parts;
    parts.storage =
        platform::CreateDIBSection(&platform::GetScreenDC(), info, platform::DIB_RGB_COLORS);
    ASSERT_TRUE(parts.storage);
    platform::GetObject(*parts.storage, parts.description);
    graphics::InstallImage(target, std::move(parts));
    for (int y = 0; y < kHeight; ++y) {
        const std::span<const uint8_t> from = source.RowAddress(y);
        const std::span<uint8_t> to = target.RowAddress(y);
        for (int x = 0; x < kWidth; ++x) {
            std::copy_n(&from[size_t(3 * x)], 3, &to[size_t(bytesPerPixel * x)]);
            if (bytesPerPixel == 4)
                to[size_t(4 * x + 3)] = 0xA5;
        }
    }
}

// The encoder reads 24- and 32-bit storage in place and converts anything else to 24 bits
// first; whichever way it goes, the bytes are those of the picture's 24-bit copy, and those
// bytes are pinned: the digests were recorded from the encoder that read every picture through
// a full 24-bit copy, one row per call.
TEST(JpegEncodeStorage, EveryLayoutEncodesAsItsTwentyFourBitCopy) {
    struct Case {
        graphics::TPixelFormat format;
        Layout layout;
        const char* md5;
    };
    const Case cases[] = {
        {graphics::pf1bit, Layout::BottomUp, "85103371d55d13a6c548c4d2500aad98"},
        {graphics::pf4bit, Layout::BottomUp, "b50ebd0b25f50bff1fafeeb09b2ff747"},
        {graphics::pf8bit, Layout::BottomUp, "48a8b100f87eabbc0cfc116930b778d2"},
        {graphics::pf15bit, Layout::BottomUp, "f48b6cd9aba7c8f30a6335334396099c"},
        {graphics::pf16bit, Layout::BottomUp, "db7895a6aff4906809a282274a1cd9d2"},
        {graphics::pf24bit, Layout::BottomUp, "401b9706bcedd57552d25684859e41de"},
        {graphics::pf32bit, Layout::BottomUp, "401b9706bcedd57552d25684859e41de"},
        {graphics::pfDevice, Layout::BottomUp, "401b9706bcedd57552d25684859e41de"},
        {graphics::pf24bit, Layout::TopDown, "401b9706bcedd57552d25684859e41de"},
        {graphics::pf32bit, Layout::TopDown, "401b9706bcedd57552d25684859e41de"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << int(c.format) << " top-down "
                                        << (c.layout == Layout::TopDown));
        graphics::TBitmap stored;
        MakeStoredCard(stored, c.format, c.layout);
        jpeg::TJPEGImage picture;
        picture.CopyFrom(&stored);
        const std::vector<uint8_t> bytes = Save(picture);

        graphics::TBitmap copy;
        copy.CopyFrom(&stored);
        copy.SetPixelFormat(graphics::pf24bit);
        jpeg::TJPEGImage reference;
        reference.CopyFrom(&copy);
        EXPECT_EQ(bytes, Save(reference)) << FirstDifference(bytes, Save(reference));
        EXPECT_EQ(Md5Hex(bytes), c.md5);
        EXPECT_TRUE(picture.Bitmap().SharesImageWith(stored)) << "the bitmap is not converted";
    }
}

TEST(JpegEncodeStorage, ProgressiveOutputFromThirtyTwoBitsIsPinnedToo) {
    graphics::TBitmap stored;
    MakeStoredCard(stored, graphics::pfDevice, Layout::BottomUp);
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(CorpusPath("jpeg/ijg-jpeg-6b/testprog.jpg"));
    picture.CopyFrom(&stored);
    EXPECT_EQ(Md5Hex(Save(picture)), "d2860f00b8901a8cc06cc58caa4c9a67");
}

// ---- Stream layout.

// Annex K of the JPEG standard, tables K.1 (luminance) and K.2 (chrominance), natural order.
constexpr int kLuminance[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
constexpr int kChrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                  24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
// Position in natural order of the k-th coefficient in zigzag order (Figure A.6).
constexpr int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Quality 90 scales by 20 percent, rounded, limited to 1..255.
std::vector<int> Quality90(const int (&base)[64]) {
    std::vector<int> zigzag(64);
    for (int k = 0; k < 64; ++k)
        zigzag[size_t(k)] = std::clamp((base[kZigzag[k]] * 20 + 50) / 100, 1, 255);
    return zigzag;
}

// The 8-bit quantization tables of every DQT segment, by table number.
std::map<int, std::vector<int>> QuantizationTables(std::span<const uint8_t> jpeg) {
    std::map<int, std::vector<int>> tables;
    size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF && jpeg[i + 1] != 0xDA) {
        const size_t length = size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
        if (jpeg[i + 1] == 0xDB) {
            for (size_t p = i + 4; p + 65 <= i + 2 + length; p += 65) {
                EXPECT_EQ(jpeg[p] >> 4, 0) << "8-bit entries";
                tables[jpeg[p] & 15].assign(jpeg.begin() + std::ptrdiff_t(p + 1),
                                            jpeg.begin() + std::ptrdiff_t(p + 65));
            }
        }
        i += 2 + length;
    }
    return tables;
}

TEST(JpegEncodeLayout, StartsWithSoiAndJfif101AndUsesTheQuality90Tables) {
    graphics::TBitmap card;
    MakeCard(card);
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&card);
    const std::vector<uint8_t> bytes = Save(picture);
    ASSERT_GE(bytes.size(), 20u);
    const std::vector<uint8_t> expectedStart = {0xFF, 0xD8,                // SOI
                                                0xFF, 0xE0, 0x00, 0x10,    // APP0, 16 bytes
                                                'J',  'F',  'I',  'F',  0, // identifier
                                                0x01, 0x01,                // version 1.01
                                                0x00, // density unit: none (aspect ratio only)
                                                0x00, 0x01, 0x00, 0x01, // density 1 x 1
                                                0x00, 0x00};            // no thumbnail
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), expectedStart);
    EXPECT_EQ(FindMarker(bytes, 0xEE), -1) << "no Adobe segment";

    const auto tables = QuantizationTables(bytes);
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables.at(0), Quality90(kLuminance));
    EXPECT_EQ(tables.at(1), Quality90(kChrominance));
    EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
    EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);
}

TEST(JpegEncodeLayout, FrameTypeFollowsTheLastLoad) {
    graphics::TBitmap card;
    MakeCard(card);
    struct Case {
        const char* loaded; // none: a fresh picture
        uint8_t frame;
    };
    for (const Case c : {Case{nullptr, 0xC0}, Case{"jpeg/ijg-jpeg-6b/testorig.jpg", 0xC0},
                         Case{"jpeg/ijg-jpeg-6b/testprog.jpg", 0xC2}}) {
        jpeg::TJPEGImage picture;
        if (c.loaded != nullptr)
            picture.ReadFromFile(CorpusPath(c.loaded));
        picture.CopyFrom(&card);
        const std::vector<uint8_t> bytes = Save(picture);
        const uint8_t other = c.frame == 0xC0 ? 0xC2 : 0xC0;
        EXPECT_NE(FindMarker(bytes, c.frame), -1) << (c.loaded ? c.loaded : "fresh");
        EXPECT_EQ(FindMarker(bytes, other), -1) << (c.loaded ? c.loaded : "fresh");
    }
}

TEST(JpegEncodeLayout, DecodingTheOutputGivesThePictureBack) {
    graphics::TBitmap card;
    MakeCard(card);
    jpeg::TJPEGImage encoder;
    encoder.CopyFrom(&card);
    graphics::TMemoryStream stream;
    encoder.SaveToStream(stream);
    stream.SetPosition(0);
    jpeg::TJPEGImage decoder;
    decoder.LoadFromStream(stream);
    graphics::TBitmap& decoded = decoder.Bitmap();
    ASSERT_EQ(decoded.Width(), 495);
    ASSERT_EQ(decoded.Height(), 315);
    // Inside the smooth background, away from edges, quality 90 stays very close.
    long long error = 0;
    for (int y = 150; y < 210; ++y) {
        for (int x = 160; x < 290; ++x) {
            const auto ours = PixelBytes(decoded, x, y);
            const Bgr want = CardPixel(x, y);
            error += std::abs(ours[0] - want.b) + std::abs(ours[1] - want.g) +
                     std::abs(ours[2] - want.r);
        }
    }
    EXPECT_LT(double(error) / (60 * 130 * 3), 3.0);
}

TEST(JpegEncodeLayout, APaletteBitmapIsEncodedFromA24BitCopy) {
    jpeg::TJPEGImage grey;
    grey.ReadFromFile(CorpusPath("jpeg/libjpeg-turbo-2013-reference-outputs/testimages/"
                                 "testimggray.jpg"));
    graphics::TBitmap& indexed = grey.Bitmap();
    ASSERT_EQ(indexed.PixelFormat(), graphics::pf8bit);
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&indexed);
    const std::vector<uint8_t> bytes = Save(picture);
    EXPECT_EQ(picture.Bitmap().PixelFormat(), graphics::pf8bit);
    // Three components (YCbCr) even for grey pixels: the encoder always takes colour rows.
    const long sof = FindMarker(bytes, 0xC0);
    ASSERT_NE(sof, -1);
    EXPECT_EQ(bytes[size_t(sof) + 9], 3);
}

// ---- Caching.

TEST(JpegEncodeCache, TwoSavesEncodeOnceAndWriteTheSameBytes) {
    graphics::TBitmap card;
    MakeCard(card);
    jpeg::TJPEGImage picture;
    int starts = 0;
    CountStarts(picture, starts);
    picture.CopyFrom(&card);
    EXPECT_EQ(starts, 0) << "CopyFrom encodes nothing";
    EXPECT_EQ(picture.Data().Bytes, nullptr);
    const std::vector<uint8_t> first = Save(picture);
    const std::vector<uint8_t> second = Save(picture);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(first, second);
}

TEST(JpegEncodeCache, ALoadedPictureSavesItsOwnBytesUnchanged) {
    const std::string file = CorpusPath("jpeg/ijg-jpeg-6b/testorig.jpg");
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(file);
    picture.Bitmap();
    EXPECT_EQ(Save(picture), ReadFileBytes(file));
}

TEST(JpegEncodeCache, CopyFromFiresNoChangeAndKeepsTheSettings) {
    graphics::TBitmap card;
    MakeCard(card);
    jpeg::TJPEGImage picture;
    int changes = 0;
    picture.OnChange = [&changes](graphics::TGraphic&) { ++changes; };
    picture.CopyFrom(&card);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(picture.EncodeQuality(), 90);
    EXPECT_FALSE(picture.ProgressiveOutput());
    EXPECT_TRUE(picture.HasCachedBitmap());
    EXPECT_EQ(picture.Width(), 495);
    EXPECT_TRUE(picture.Bitmap().SharesImageWith(card)) << "a copy costs no pixels";
}

TEST(JpegEncodeCache, AnEmptyBitmapSavesZeroBytes) {
    for (const auto& size : {std::pair{0, 0}, std::pair{10, 0}}) {
        graphics::TBitmap empty;
        empty.ResizeWidth(size.first);
        empty.ResizeHeight(size.second);
        jpeg::TJPEGImage picture;
        picture.CopyFrom(&empty);
        EXPECT_TRUE(Save(picture).empty());
        ASSERT_NE(picture.Data().Bytes, nullptr) << "encoded once, to nothing";
    }
}

// ---- Files.

class JpegWriteFile : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = MakeTempFolder();
        MakeCard(card_);
        picture_.CopyFrom(&card_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string folder_;
    graphics::TBitmap card_;
    jpeg::TJPEGImage picture_;
};

TEST_F(JpegWriteFile, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    const std::string target = folder_ + "/card.jpg";
    WriteFileBytes(target, std::vector<uint8_t>(100000, 0x55));
    ::chmod(target.c_str(), 0640);
    picture_.WriteToFile(target);
    EXPECT_EQ(ReadFileBytes(target), Save(picture_));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"card.jpg"});
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the old file's permissions carry over";
}

TEST_F(JpegWriteFile, AnEmptyBitmapWritesAZeroByteFile) {
    graphics::TBitmap empty;
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&empty);
    const std::string target = folder_ + "/empty.jpg";
    picture.WriteToFile(target);
    EXPECT_TRUE(fs::exists(target));
    EXPECT_EQ(fs::file_size(target), 0u);
}

TEST_F(JpegWriteFile, AMissingFolderIsCannotCreateFile) {
    const std::string target = folder_ + "/missing/card.jpg";
    try {
        picture_.WriteToFile(target);
        FAIL() << "no error";
    } catch (const graphics::EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + target + "\". ", 0), 0u)
            << e.what();
    }
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{});
}

TEST_F(JpegWriteFile, AFolderInTheWayIsCannotCreateFileAndStays) {
    const std::string target = folder_ + "/card.jpg";
    fs::create_directory(target);
    WriteFileBytes(target + "/inside", std::vector<uint8_t>{1, 2, 3});
    EXPECT_THROW(picture_.WriteToFile(target), graphics::EFCreateError);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(ReadFileBytes(target + "/inside"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"card.jpg"});
}

// A full disk, simulated by a file size limit: the write error is reported, and the old file
// keeps its contents.
TEST_F(JpegWriteFile, AShortWriteIsReportedAndTheOldFileSurvives) {
    const std::string target = folder_ + "/card.jpg";
    const std::vector<uint8_t> old(3000, 0xAA);
    WriteFileBytes(target, old);
    picture_.EnsureData();
    ASSERT_GT(picture_.Data().Bytes->Size(), 4096);

    const std::string message = testsupport::UnderFileSizeLimit(4096, [&] {
        try {
            picture_.WriteToFile(target);
        } catch (const graphics::EWriteError& e) {
            return std::string(e.what());
        }
        return std::string();
    });

    EXPECT_EQ(message.rfind("Cannot write file \"" + target + "\". ", 0), 0u) << message;
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"card.jpg"});
}

TEST_F(JpegWriteFile, ALinkKeepsPointingAtTheReplacedFile) {
    const std::string real = folder_ + "/real.jpg";
    const std::string link = folder_ + "/link.jpg";
    WriteFileBytes(real, std::vector<uint8_t>{1});
    fs::create_symlink(real, link);
    picture_.WriteToFile(link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(real), Save(picture_));
}

TEST_F(JpegWriteFile, EncodingFailuresNeverTouchTheFile) {
    const std::string target = folder_ + "/card.jpg";
    const std::vector<uint8_t> old(500, 0x11);
    WriteFileBytes(target, old);
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&card_);
    picture.OnProgress = [](graphics::TPersistent&, graphics::TProgressStage stage, uint8_t, bool,
                            const platform::RECT&, const std::string&) {
        if (stage == graphics::psStarting)
            throw std::runtime_error("listener failed");
    };
    EXPECT_THROW(picture.WriteToFile(target), std::runtime_error);
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(picture.Data().Bytes, nullptr) << "nothing half-encoded is kept";
    // A listener's EAbort stops the save silently, and the file still stays.
    picture.OnProgress = [](graphics::TPersistent&, graphics::TProgressStage stage, uint8_t, bool,
                            const platform::RECT&, const std::string&) {
        if (stage == graphics::psStarting)
            throw graphics::EAbort("stop");
    };
    EXPECT_THROW(picture.WriteToFile(target), graphics::EAbort);
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"card.jpg"});
}

} // namespace
