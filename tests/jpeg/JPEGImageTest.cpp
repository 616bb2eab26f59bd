// The JPEG picture's behaviour around the codec: loading and the header check, decoding into
// bitmaps of the right format, caching, progress and its throttle, EAbort from a listener, the
// hand-over values, the format list, and the error paths of the libjpeg glue.
#include "jpeg/JPEGImage.h"

#include "JpegTestSupport.h"
#include "graphics/Exceptions.h"
#include "graphics/Picture.h"
#include "graphics/PictureFormats.h"
#include "jpeg/JPEGCodec.h"
#include "platform/Clipboard.h"
#include "platform/Screen.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <gtest/gtest.h>
#include <jerror.h>
#include <stdexcept>

using namespace jpegtest;
namespace fs = std::filesystem;

namespace {

const std::string kBaseline = "jpeg/ijg-jpeg-6b/testorig.jpg";    // 227 x 149, colour
const std::string kProgressive = "jpeg/ijg-jpeg-6b/testprog.jpg"; // the same, progressive
const std::string kGrey = "jpeg/libjpeg-turbo-2013-reference-outputs/testimages/testimggray.jpg";
const std::string kBmp = "jpeg/ijg-jpeg-6b/testimg.bmp";

std::vector<uint8_t> Encode(graphics::TBitmap& bitmap) {
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&bitmap);
    graphics::TMemoryStream stream;
    picture.SaveToStream(stream);
    const auto memory = stream.Memory();
    return {memory.begin(), memory.end()};
}

std::vector<uint8_t> EncodePattern(int width, int height) {
    graphics::TBitmap bitmap;
    MakeBitmap(bitmap, width, height, [](int x, int y) {
        return Bgr{uint8_t(x * 3 + y), uint8_t(y * 5), uint8_t((x ^ y) * 2)};
    });
    return Encode(bitmap);
}

void LoadBytes(jpeg::TJPEGImage& picture, const std::vector<uint8_t>& bytes) {
    graphics::TMemoryStream stream(bytes);
    picture.LoadFromStream(stream);
}

int ErrorNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const jpeg::EJPEG& e) {
        EXPECT_EQ(e.what(), "JPEG error #" + std::to_string(e.MessageCode()));
        return e.MessageCode();
    }
    return -1;
}

// Sets the frame size in the first SOF0 segment.
void PatchFrameSize(std::vector<uint8_t>& jpeg, int width, int height) {
    const long sof = FindMarker(jpeg, 0xC0);
    ASSERT_NE(sof, -1);
    jpeg[size_t(sof) + 5] = uint8_t(height >> 8);
    jpeg[size_t(sof) + 6] = uint8_t(height);
    jpeg[size_t(sof) + 7] = uint8_t(width >> 8);
    jpeg[size_t(sof) + 8] = uint8_t(width);
}

struct Event {
    graphics::TProgressStage stage;
    int percent;
    bool redraw;
    platform::RECT rect;
    std::string message;
    uint32_t time;
};

// A fake clock for the progress throttle: each reading advances it by step milliseconds.
uint32_t fakeNow = 0;
uint32_t fakeStep = 0;
uint32_t FakeTicks() {
    return fakeNow += fakeStep;
}

class JpegProgressFixture : public testing::Test {
  protected:
    void SetUp() override {
        fakeNow = 1000;
        fakeStep = 0;
        jpeg::codec::SetTickSourceForTesting(FakeTicks);
    }
    void TearDown() override { jpeg::codec::SetTickSourceForTesting(nullptr); }

    void Record(graphics::TGraphic& picture,
                const std::function<void(const Event&)>& also = nullptr) {
        picture.OnProgress = [this, also](graphics::TPersistent&, graphics::TProgressStage stage,
                                          uint8_t percent, bool redraw, const platform::RECT& rect,
                                          const std::string& message) {
            events_.push_back({stage, percent, redraw, rect, message, fakeNow});
            if (also)
                also(events_.back());
        };
    }
    std::vector<Event> Running() const {
        std::vector<Event> running;
        for (const Event& e : events_) {
            if (e.stage == graphics::psRunning)
                running.push_back(e);
        }
        return running;
    }

    std::vector<Event> events_;
};

// ---- Loading.

TEST(JpegLoad, AZeroByteFileLoadsAndFailsAtDecodingWith42Once) {
    const std::string folder = MakeTempFolder();
    WriteFileBytes(folder + "/empty.jpg", {});
    jpeg::TJPEGImage picture;
    int changes = 0;
    picture.OnChange = [&changes](graphics::TGraphic&) { ++changes; };
    picture.ReadFromFile(folder + "/empty.jpg");
    fs::remove_all(folder);
    EXPECT_EQ(changes, 1);
    ASSERT_NE(picture.Data().Bytes, nullptr);
    EXPECT_EQ(ErrorNumber([&] { picture.Bitmap(); }), JERR_INPUT_EMPTY);
    EXPECT_EQ(JERR_INPUT_EMPTY, 42);
    graphics::TBitmap& again = picture.Bitmap();
    EXPECT_TRUE(again.IsEmpty());
    EXPECT_EQ(again.Width(), 0);
}

TEST(JpegLoad, ABmpNamedJpgFailsWith53AndKeepsItsBytes) {
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(CorpusPath(kProgressive));
    ASSERT_TRUE(picture.ProgressiveOutput());
    EXPECT_EQ(ErrorNumber([&] { picture.ReadFromFile(CorpusPath(kBmp)); }), JERR_NO_SOI);
    EXPECT_EQ(JERR_NO_SOI, 53);
    EXPECT_EQ(picture.Data().Bytes->Size(), int64_t(ReadFileBytes(CorpusPath(kBmp)).size()));
    EXPECT_FALSE(picture.HasCachedBitmap());
    EXPECT_TRUE(picture.ProgressiveOutput()) << "a failed header read changes nothing";
    // Decoding tries again and fails the same way; then the empty bitmap stays.
    EXPECT_EQ(ErrorNumber([&] { picture.Bitmap(); }), JERR_NO_SOI);
    EXPECT_TRUE(picture.Bitmap().IsEmpty());
}

TEST(JpegLoad, AMissingFileIsCannotOpenAndThePictureStays) {
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(CorpusPath(kBaseline));
    graphics::TBitmap& decoded = picture.Bitmap();
    const std::string missing = "/nonexistent-folder/none.jpg";
    try {
        picture.ReadFromFile(missing);
        FAIL() << "no error";
    } catch (const graphics::EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + missing + "\". ", 0), 0u)
            << e.what();
    }
    EXPECT_EQ(&picture.Bitmap(), &decoded);
    EXPECT_EQ(picture.Data().Bytes->Size(), int64_t(ReadFileBytes(CorpusPath(kBaseline)).size()));
}

TEST(JpegLoad, ReadsFromTheStreamPositionToItsEnd) {
    std::vector<uint8_t> bytes(7, 0x20);
    const std::vector<uint8_t> file = ReadFileBytes(CorpusPath(kBaseline));
    bytes.insert(bytes.end(), file.begin(), file.end());
    graphics::TMemoryStream stream(bytes);
    stream.SetPosition(7);
    jpeg::TJPEGImage picture;
    picture.LoadFromStream(stream);
    const auto memory = picture.Data().Bytes->Memory();
    EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.end()), file);
    EXPECT_EQ(picture.Width(), 227) << "the size comes from the header before decoding";
    EXPECT_EQ(picture.Height(), 149);
    EXPECT_FALSE(picture.HasCachedBitmap());
}

// A stream that promises more than it delivers.
class LyingStream : public graphics::TMemoryStream {
  public:
    using TMemoryStream::TMemoryStream;
    int64_t Size() override { return TMemoryStream::Size() + 100; }
};

TEST(JpegLoad, AShortStreamIsAReadErrorAndLeavesNoHalfFile) {
    LyingStream stream(ReadFileBytes(CorpusPath(kBaseline)));
    jpeg::TJPEGImage picture;
    try {
        picture.LoadFromStream(stream);
        FAIL() << "no error";
    } catch (const graphics::EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_EQ(picture.Data().Bytes, nullptr);
    EXPECT_TRUE(picture.Bitmap().IsEmpty());
}

TEST(JpegLoad, TheHeaderCheckRejectsDataWithoutAnImage) {
    jpeg::TJPEGImage picture;
    const int number = ErrorNumber([&] { LoadBytes(picture, {0xFF, 0xD8, 0xFF, 0xD9}); });
    EXPECT_TRUE(LibraryMessageNumbers("JPEG datastream contains no image").contains(number))
        << number;
}

TEST(JpegLoad, ProgressiveOutputFollowsEachSuccessfulLoad) {
    jpeg::TJPEGImage picture;
    EXPECT_FALSE(picture.ProgressiveOutput());
    picture.ReadFromFile(CorpusPath(kProgressive));
    EXPECT_TRUE(picture.ProgressiveOutput());
    picture.ReadFromFile(CorpusPath(kBaseline));
    EXPECT_FALSE(picture.ProgressiveOutput());
}

// ---- Sizes from the file are not trusted.

TEST(JpegLimits, AFrameAboveTheLibraryMaximumFailsAtLoadWith41) {
    std::vector<uint8_t> bytes = EncodePattern(16, 16);
    PatchFrameSize(bytes, 65535, 16);
    jpeg::TJPEGImage picture;
    EXPECT_EQ(ErrorNumber([&] { LoadBytes(picture, bytes); }), JERR_IMAGE_TOO_BIG);
    EXPECT_EQ(JERR_IMAGE_TOO_BIG, 41);
}

TEST(JpegLimits, APictureAboveThePixelLimitIsRefusedBeforeDecoding) {
    std::vector<uint8_t> bytes = EncodePattern(16, 16);
    PatchFrameSize(bytes, 20000, 20000); // 400 megapixels
    jpeg::TJPEGImage picture;
    LoadBytes(picture, bytes);
    EXPECT_EQ(picture.Width(), 20000);
    int starts = 0;
    picture.OnProgress = [&starts](graphics::TPersistent&, graphics::TProgressStage, uint8_t, bool,
                                   const platform::RECT&, const std::string&) { ++starts; };
    EXPECT_EQ(ErrorNumber([&] { picture.Bitmap(); }), JERR_IMAGE_TOO_BIG);
    EXPECT_EQ(starts, 0) << "refused before anything started";
    EXPECT_TRUE(picture.Bitmap().IsEmpty());
}

// ---- Decoding.

TEST(JpegDecode, TwoBitmapCallsDecodeOnce) {
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(CorpusPath(kBaseline));
    int starts = 0;
    picture.OnProgress = [&starts](graphics::TPersistent&, graphics::TProgressStage stage, uint8_t,
                                   bool, const platform::RECT&,
                                   const std::string&) { starts += stage == graphics::psStarting; };
    graphics::TBitmap& first = picture.Bitmap();
    graphics::TBitmap& second = picture.Bitmap();
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(first.Width(), 227);
    EXPECT_EQ(first.Height(), 149);
}

TEST(JpegDecode, AnEmptyPictureGivesAnEmptyBitmapWithoutEvents) {
    jpeg::TJPEGImage picture;
    EXPECT_TRUE(picture.IsEmpty());
    int events = 0;
    picture.OnProgress = [&events](graphics::TPersistent&, graphics::TProgressStage, uint8_t, bool,
                                   const platform::RECT&, const std::string&) { ++events; };
    EXPECT_TRUE(picture.Bitmap().IsEmpty());
    EXPECT_EQ(events, 0);
}

TEST(JpegDecode, OneRedPixelIsBlueGreenRedInStorage) {
    graphics::TBitmap red;
    MakeBitmap(red, 1, 1, [](int, int) { return Bgr{0, 0, 255}; });
    jpeg::TJPEGImage picture;
    LoadBytes(picture, Encode(red));
    graphics::TBitmap& decoded = picture.Bitmap();
    ASSERT_EQ(decoded.PixelFormat(), graphics::pf24bit);
    const std::span<uint8_t> row = decoded.RowAddress(0);
    EXPECT_LE(row[0], 8) << "blue";
    EXPECT_LE(row[1], 8) << "green";
    EXPECT_GE(row[2], 247) << "red";
}

TEST(JpegDecode, GreyIsAlways8BitWith236Greys) {
    for (const int depth : {32, 8}) {
        platform::SetScreenForTesting({.bitsPerPixel = depth});
        jpeg::InitJpegDefaults();
        jpeg::TJPEGImage picture;
        picture.ReadFromFile(CorpusPath(kGrey));
        graphics::TBitmap& bitmap = picture.Bitmap();
        EXPECT_EQ(bitmap.PixelFormat(), graphics::pf8bit) << depth;
        const auto entries = PaletteEntries(bitmap);
        ASSERT_EQ(entries.size(), 236u) << depth;
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].peRed, entries[i].peGreen);
            EXPECT_EQ(entries[i].peRed, entries[i].peBlue);
            EXPECT_EQ(entries[i].peFlags, 0);
            if (i > 0) {
                EXPECT_GE(entries[i].peRed - entries[i - 1].peRed, 1) << "evenly spaced";
                EXPECT_LE(entries[i].peRed - entries[i - 1].peRed, 2) << "evenly spaced";
            }
        }
        EXPECT_EQ(entries.front().peRed, 0);
        EXPECT_EQ(entries.back().peRed, 255);
        EXPECT_TRUE(picture.PaletteModified());
    }
    platform::SetScreenForTesting({});
    jpeg::InitJpegDefaults();
}

TEST(JpegDecode, ColourFollowsTheScreenDepthAtStartUp) {
    struct Case {
        int depth;
        graphics::TPixelFormat format;
    };
    for (const Case c : {Case{8, graphics::pf8bit}, Case{4, graphics::pf8bit},
                         Case{16, graphics::pf24bit}, Case{32, graphics::pf24bit}}) {
        platform::SetScreenForTesting({.bitsPerPixel = c.depth});
        jpeg::InitJpegDefaults();
        EXPECT_EQ(jpeg::JpegDefaults.EightBitOutput, c.depth <= 8 ? 1 : 0);
        jpeg::TJPEGImage picture;
        picture.ReadFromFile(CorpusPath(kBaseline));
        graphics::TBitmap& bitmap = picture.Bitmap();
        EXPECT_EQ(bitmap.PixelFormat(), c.format) << c.depth;
        const auto entries = PaletteEntries(bitmap);
        if (c.format == graphics::pf8bit) {
            EXPECT_GT(entries.size(), 16u) << c.depth;
            EXPECT_LE(entries.size(), 236u) << c.depth;
        } else if (c.depth == 32) {
            // (A 16-bit screen gives deeper bitmaps a halftone palette for drawing.)
            EXPECT_TRUE(entries.empty()) << c.depth;
        }
    }
    platform::SetScreenForTesting({});
    jpeg::InitJpegDefaults();
}

TEST(JpegDecode, ACutOffScanStillDecodesCompletely) {
    for (const std::string& file : {kBaseline, kProgressive}) {
        const std::vector<uint8_t> whole = ReadFileBytes(CorpusPath(file));
        jpeg::TJPEGImage full;
        LoadBytes(full, whole);
        jpeg::TJPEGImage cut;
        LoadBytes(cut,
                  std::vector<uint8_t>(whole.begin(), whole.begin() + long(whole.size()) * 6 / 10));
        graphics::TBitmap& a = full.Bitmap();
        graphics::TBitmap& b = cut.Bitmap();
        ASSERT_EQ(b.Width(), a.Width()) << file;
        ASSERT_EQ(b.Height(), a.Height()) << file;
        if (file == kBaseline) {
            // The rows before the cut are the library's, exactly.
            for (int y = 0; y < 16; ++y)
                EXPECT_TRUE(std::ranges::equal(a.RowAddress(y), b.RowAddress(y))) << y;
        }
    }
}

// libjpeg delivers CMYK for four-component files; the picture gets colour.
std::vector<uint8_t> EncodeFlatCmyk(std::array<uint8_t, 4> cmyk, bool adobeMarker) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 16;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    cinfo.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row;
    for (int x = 0; x < 16; ++x)
        row.insert(row.end(), cmyk.begin(), cmyk.end());
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW address = row.data();
        jpeg_write_scanlines(&cinfo, &address, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

// Four-component files are read with the inks inverted, as djpeg reads them, whether or not
// they carry Adobe's marker: the same stored values give the same colour.
TEST(JpegDecode, CmykBecomesColourInvertedWithOrWithoutAdobeMarker) {
    // Red, stored inverted: no cyan (255), full magenta and yellow (0), no black (255).
    for (const bool adobe : {true, false}) {
        jpeg::TJPEGImage picture;
        const std::vector<uint8_t> bytes = EncodeFlatCmyk({255, 0, 0, 255}, adobe);
        ASSERT_EQ(FindMarker(bytes, 0xEE) != -1, adobe);
        LoadBytes(picture, bytes);
        graphics::TBitmap& bitmap = picture.Bitmap();
        ASSERT_EQ(bitmap.PixelFormat(), graphics::pf24bit);
        const auto pixel = PixelBytes(bitmap, 8, 8);
        EXPECT_LE(pixel[0], 4) << "blue, Adobe " << adobe;
        EXPECT_LE(pixel[1], 4) << "green, Adobe " << adobe;
        EXPECT_GE(pixel[2], 251) << "red, Adobe " << adobe;
    }
}

TEST(JpegDecode, AFatalErrorAfterStartingEndsWithZeroPercentAndPropagates) {
    // Point the chrominance table at an undefined slot: libjpeg fails when decoding starts.
    std::vector<uint8_t> bytes = EncodePattern(32, 32);
    long second = -1;
    for (size_t i = 2; i + 4 < bytes.size() && bytes[i + 1] != 0xDA;
         i += 2 + (size_t(bytes[i + 2]) << 8 | bytes[i + 3])) {
        if (bytes[i + 1] == 0xDB && bytes[i + 4] == 0x01)
            second = long(i);
    }
    ASSERT_NE(second, -1);
    bytes[size_t(second) + 4] = 0x02;
    jpeg::TJPEGImage picture;
    LoadBytes(picture, bytes);
    std::vector<std::pair<graphics::TProgressStage, int>> stages;
    picture.OnProgress = [&stages](graphics::TPersistent&, graphics::TProgressStage stage,
                                   uint8_t percent, bool, const platform::RECT&,
                                   const std::string&) { stages.emplace_back(stage, percent); };
    const int number = ErrorNumber([&] { picture.Bitmap(); });
    EXPECT_EQ(number, JERR_NO_QUANT_TABLE);
    ASSERT_EQ(stages.size(), 2u);
    EXPECT_EQ(stages[0], std::pair(graphics::psStarting, 0));
    EXPECT_EQ(stages[1], std::pair(graphics::psEnding, 0));
}

// ---- Progress.

TEST_F(JpegProgressFixture, DecodingReportsStartRunningAndEndThrottled) {
    fakeStep = 100; // five readings per 500 ms
    jpeg::TJPEGImage picture;
    LoadBytes(picture, EncodePattern(600, 600));
    int changes = 0;
    picture.OnChange = [&changes](graphics::TGraphic&) { ++changes; };
    Record(picture);
    picture.Bitmap();

    ASSERT_GE(events_.size(), 3u);
    const Event& start = events_.front();
    EXPECT_EQ(start.stage, graphics::psStarting);
    EXPECT_EQ(start.percent, 0);
    EXPECT_FALSE(start.redraw);
    EXPECT_EQ(start.rect, platform::RECT{});
    const Event& end = events_.back();
    EXPECT_EQ(end.stage, graphics::psEnding);
    EXPECT_EQ(end.percent, 100);
    EXPECT_EQ(end.redraw, picture.PaletteModified());
    EXPECT_EQ(end.rect, platform::RECT{});
    EXPECT_EQ(changes, 1) << "a load marks the palette modified, so decoding notifies";

    const std::vector<Event> running = Running();
    ASSERT_GE(running.size(), 3u);
    int previousBottom = 0;
    for (size_t i = 0; i < running.size(); ++i) {
        const Event& e = running[i];
        EXPECT_TRUE(e.message.empty());
        EXPECT_EQ(e.rect.left, 0);
        EXPECT_EQ(e.rect.right, 600);
        EXPECT_EQ(e.rect.top, previousBottom) << "each rectangle starts where the last ended";
        EXPECT_GE(e.rect.bottom, e.rect.top);
        EXPECT_EQ(e.redraw, e.rect.bottom - e.rect.top >= 4);
        previousBottom = e.rect.bottom;
        if (i > 0) {
            EXPECT_GE(e.time - running[i - 1].time, 500u) << "at most every 500 ms";
            EXPECT_NE(e.percent, running[i - 1].percent) << "only whole-percent changes";
        }
    }
}

TEST_F(JpegProgressFixture, AStoppedClockGivesNoRunningEvents) {
    fakeStep = 0;
    jpeg::TJPEGImage picture;
    LoadBytes(picture, EncodePattern(600, 600));
    Record(picture);
    picture.Bitmap();
    EXPECT_TRUE(Running().empty());
    EXPECT_EQ(events_.size(), 2u);
}

TEST_F(JpegProgressFixture, EncodingReportsEmptyRectangles) {
    fakeStep = 1000;
    graphics::TBitmap bitmap;
    MakeBitmap(bitmap, 600, 600, [](int x, int y) { return Bgr{uint8_t(x), uint8_t(y), 9}; });
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&bitmap);
    Record(picture);
    picture.EnsureData();
    ASSERT_FALSE(Running().empty());
    for (const Event& e : Running()) {
        EXPECT_EQ(e.rect, platform::RECT{});
        EXPECT_FALSE(e.redraw);
    }
    EXPECT_EQ(events_.front().stage, graphics::psStarting);
    EXPECT_EQ(events_.back().stage, graphics::psEnding);
    EXPECT_EQ(events_.back().percent, 100);
    EXPECT_FALSE(events_.back().redraw);
}

// The throttle's rules, driven directly with the library's counters.
TEST_F(JpegProgressFixture, LibraryProgressRulesStepByStep) {
    jpeg::TJPEGImage owner;
    Record(owner);
    jpeg::codec::Decompressor decoder(&owner);
    decoder.Create();
    jpeg_decompress_struct& cinfo = decoder.cinfo;
    jpeg_progress_mgr& counters = decoder.progress.pub;
    cinfo.output_width = 100;
    cinfo.output_height = 50;
    auto call = [&](uint32_t now, long counter, long limit, int completed, int total,
                    JDIMENSION scanline) {
        fakeNow = now;
        counters.pass_counter = counter;
        counters.pass_limit = limit;
        counters.completed_passes = completed;
        counters.total_passes = total;
        cinfo.output_scanline = scanline;
        jpeg::codec::LibraryProgress(reinterpret_cast<j_common_ptr>(&cinfo));
    };
    call(1000, 1, 10, 0, 1, 5);  // the first call only starts the clock
    call(1400, 2, 10, 0, 1, 10); // too soon
    EXPECT_TRUE(events_.empty());
    call(1600, 5, 10, 0, 1, 10);
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0].percent, 50);
    EXPECT_EQ(events_[0].rect, (platform::RECT{0, 0, 100, 10}));
    EXPECT_TRUE(events_[0].redraw);
    call(2200, 5, 10, 0, 1, 12); // same percentage: nothing, but the clock restarts
    call(2600, 6, 10, 0, 1, 12); // 400 ms since the last reading
    EXPECT_EQ(events_.size(), 1u);
    call(3200, 1, 3, 1, 2, 2); // a new output pass began at the top: to the bottom
    ASSERT_EQ(events_.size(), 2u);
    EXPECT_EQ(events_[1].percent, 66);
    EXPECT_EQ(events_[1].rect, (platform::RECT{0, 10, 100, 50}));
    call(3800, 7, 0, 1, 2, 4); // no pass limit: the completed passes count alone
    ASSERT_EQ(events_.size(), 3u);
    EXPECT_EQ(events_[2].percent, 50);
    EXPECT_EQ(events_[2].rect, (platform::RECT{0, 2, 100, 4}));
    EXPECT_FALSE(events_[2].redraw) << "fewer than 4 rows";
    call(4400, 1, 1, 5, 0, 4); // no passes at all: nothing to report
    EXPECT_EQ(events_.size(), 3u);
}

// ---- EAbort from a listener.

TEST_F(JpegProgressFixture, AbortKeepsTheRowsDecodedSoFar) {
    fakeStep = 1000;
    const std::vector<uint8_t> bytes = EncodePattern(600, 600);
    jpeg::TJPEGImage reference;
    LoadBytes(reference, bytes);
    graphics::TBitmap& full = reference.Bitmap();

    jpeg::TJPEGImage picture;
    LoadBytes(picture, bytes);
    int abortedAt = -1;
    Record(picture, [&abortedAt](const Event& e) {
        if (e.stage == graphics::psRunning && abortedAt < 0) {
            abortedAt = e.rect.bottom;
            throw graphics::EAbort("stop");
        }
    });
    graphics::TBitmap& partial = picture.Bitmap(); // no error
    ASSERT_GT(abortedAt, 0);
    ASSERT_LT(abortedAt, 600);
    EXPECT_EQ(events_.back().stage, graphics::psEnding);
    EXPECT_EQ(events_.back().percent, 0);
    ASSERT_EQ(partial.Width(), 600);
    ASSERT_EQ(partial.Height(), 600);
    for (int y = 0; y < 600; ++y) {
        const std::span<uint8_t> row = partial.RowAddress(y).first(1800);
        if (y < abortedAt) {
            ASSERT_TRUE(std::ranges::equal(row, full.RowAddress(y).first(1800))) << y;
        } else {
            ASSERT_TRUE(std::ranges::all_of(row, [](uint8_t v) { return v == 0xFF; }))
                << "row " << y << " not decoded: white";
        }
    }
    const size_t eventCount = events_.size();
    EXPECT_EQ(&picture.Bitmap(), &partial);
    EXPECT_EQ(events_.size(), eventCount) << "the partial picture is kept, not decoded again";
}

TEST_F(JpegProgressFixture, AbortAtTheStartLeavesAnEmptyBitmap) {
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(CorpusPath(kBaseline));
    Record(picture, [](const Event& e) {
        if (e.stage == graphics::psStarting)
            throw graphics::EAbort("stop");
    });
    EXPECT_TRUE(picture.Bitmap().IsEmpty());
    EXPECT_EQ(events_.back().stage, graphics::psEnding);
}

TEST_F(JpegProgressFixture, AbortedEncodingKeepsNoBytesAndTheNextSaveEncodes) {
    fakeStep = 1000;
    graphics::TBitmap bitmap;
    MakeBitmap(bitmap, 600, 600, [](int x, int y) { return Bgr{uint8_t(x), uint8_t(y), 9}; });
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&bitmap);
    Record(picture, [](const Event& e) {
        if (e.stage == graphics::psRunning)
            throw graphics::EAbort("stop");
    });
    graphics::TMemoryStream first;
    picture.SaveToStream(first); // no error
    EXPECT_EQ(first.Size(), 0);
    EXPECT_EQ(picture.Data().Bytes, nullptr);
    EXPECT_EQ(events_.back().stage, graphics::psEnding);
    EXPECT_EQ(events_.back().percent, 0);

    picture.OnProgress = nullptr;
    graphics::TMemoryStream second;
    picture.SaveToStream(second);
    EXPECT_GT(second.Size(), 1000);
}

TEST_F(JpegProgressFixture, AnotherListenerErrorPropagatesAndKeepsThePartialBitmap) {
    fakeStep = 1000;
    jpeg::TJPEGImage picture;
    LoadBytes(picture, EncodePattern(600, 600));
    Record(picture, [](const Event& e) {
        if (e.stage == graphics::psRunning)
            throw std::runtime_error("listener failed");
    });
    EXPECT_THROW(picture.Bitmap(), std::runtime_error);
    EXPECT_EQ(events_.back().stage, graphics::psEnding);
    ASSERT_TRUE(picture.HasCachedBitmap());
    EXPECT_EQ(picture.Bitmap().Width(), 600);
}

// ---- Hand-over values.

TEST(JpegHandOver, ExportsADeviceBitmapCopyAndKeepsTheCache) {
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(CorpusPath(kBaseline));
    graphics::THandOverValues values = picture.ExportClipboardData();
    EXPECT_EQ(values.format, platform::CF_BITMAP);
    ASSERT_TRUE(values.data);
    EXPECT_FALSE(values.palette) << "a 24-bit picture has no palette";
    ASSERT_TRUE(picture.HasCachedBitmap());

    graphics::TBitmap work;
    work.ImportClipboardData(values);
    graphics::TBitmap& decoded = picture.Bitmap();
    ASSERT_EQ(work.Width(), 227);
    ASSERT_EQ(work.Height(), 149);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{100, 70}, std::pair{226, 148}})
        EXPECT_EQ(work.Canvas().PixelAt(x, y), decoded.Canvas().PixelAt(x, y)) << x << "," << y;
}

TEST(JpegHandOver, AGreyPictureHandsOverItsPalette) {
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(CorpusPath(kGrey));
    graphics::THandOverValues values = picture.ExportClipboardData();
    ASSERT_TRUE(values.palette);
    uint16_t entries = 0;
    platform::GetObject(*values.palette, entries);
    EXPECT_EQ(entries, 236);
    EXPECT_NE(values.palette.get(), picture.Bitmap().PaletteHandle()) << "a copy for the caller";
}

TEST(JpegHandOver, ImportedPicturesEncodeOnSave) {
    graphics::TBitmap source;
    MakeBitmap(source, 40, 30, [](int x, int y) { return Bgr{uint8_t(x * 6), uint8_t(y * 8), 0}; });
    graphics::THandOverValues values = source.ExportClipboardData();
    jpeg::TJPEGImage picture;
    picture.ImportClipboardData(values);
    EXPECT_EQ(picture.Width(), 40);
    graphics::TMemoryStream stream;
    picture.SaveToStream(stream);
    EXPECT_EQ(stream.Memory()[0], 0xFF);
    EXPECT_EQ(stream.Memory()[1], 0xD8);
}

// ---- The picture as a graphic among others.

TEST(JpegGraphic, TheFormatListKnowsJpegAndJpg) {
    // Entered as start-up enters them from the picture table (card::InitializePictureModules).
    graphics::RegisterFileFormat("jpeg", "JPEG Image File", jpeg::TJPEGImage::Class());
    graphics::RegisterFileFormat("jpg", "JPEG Image File", jpeg::TJPEGImage::Class());
    EXPECT_EQ(graphics::FindGraphicClass("jpeg"), &jpeg::TJPEGImage::Class());
    EXPECT_EQ(graphics::FindGraphicClass("JPG"), &jpeg::TJPEGImage::Class());
    const std::string filter = graphics::GraphicFilter(graphics::TGraphic::Class());
    EXPECT_NE(filter.find("JPEG Image File (*.jpg)|*.jpg"), std::string::npos) << filter;
    EXPECT_NE(filter.find("JPEG Image File (*.jpeg)|*.jpeg"), std::string::npos) << filter;
    // The newest entry comes first: "jpg" was entered after "jpeg".
    EXPECT_LT(filter.find("(*.jpg)|"), filter.find("(*.jpeg)|"));

    // A picture holder reads a .jpg through it and copies the picture by its virtual constructor.
    const std::string folder = MakeTempFolder();
    const std::vector<uint8_t> bytes = ReadFileBytes(CorpusPath(kBaseline));
    WriteFileBytes(folder + "/picture.jpg", bytes);
    graphics::TPicture holder;
    holder.LoadFromFile(folder + "/picture.jpg");
    fs::remove_all(folder);
    auto* held = dynamic_cast<jpeg::TJPEGImage*>(holder.HeldGraphic());
    ASSERT_NE(held, nullptr);
    graphics::TPicture copy;
    copy.SetHeldGraphic(held);
    auto* copied = dynamic_cast<jpeg::TJPEGImage*>(copy.HeldGraphic());
    ASSERT_NE(copied, nullptr);
    ASSERT_NE(copied, held);
    EXPECT_EQ(copied->Bitmap().Width(), 227);

    jpeg::FinalizeJPEGImageUnit();
    EXPECT_EQ(graphics::FindGraphicClass("jpeg"), nullptr);
}

// ---- The libjpeg glue's own failure paths.

class ShortWriteStream : public graphics::TMemoryStream {
  public:
    int64_t Write(std::span<const uint8_t> buffer) override {
        return TMemoryStream::Write(buffer.first(buffer.size() / 2));
    }
};

class ThrowingStream : public graphics::TMemoryStream {
  public:
    int64_t Read(std::span<uint8_t>) override { throw std::runtime_error("read failed"); }
    int64_t Write(std::span<const uint8_t>) override { throw std::runtime_error("write failed"); }
};

void EncodeGrey64(jpeg::codec::Compressor& encoder, graphics::TStream& stream) {
    encoder.Create();
    jpeg_compress_struct& cinfo = encoder.cinfo;
    std::vector<uint8_t> row(64, 128);
    jpeg::codec::Run(encoder, [&] {
        encoder.AttachDestination(stream);
        cinfo.image_width = 64;
        cinfo.image_height = 64;
        cinfo.input_components = 1;
        cinfo.in_color_space = JCS_GRAYSCALE;
        jpeg_set_defaults(&cinfo);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW address = row.data();
            jpeg_write_scanlines(&cinfo, &address, 1);
        }
        jpeg_finish_compress(&cinfo);
    });
}

TEST(JpegCodec, AShortWriteIsError37) {
    ShortWriteStream stream;
    jpeg::codec::Compressor encoder(nullptr);
    EXPECT_EQ(ErrorNumber([&] { EncodeGrey64(encoder, stream); }), JERR_FILE_WRITE);
    EXPECT_EQ(JERR_FILE_WRITE, 37);
}

TEST(JpegCodec, StreamExceptionsPassOutsideTheLibraryUnchanged) {
    ThrowingStream stream;
    jpeg::codec::Compressor encoder(nullptr);
    EXPECT_THROW(EncodeGrey64(encoder, stream), std::runtime_error);

    jpeg::codec::Decompressor decoder;
    decoder.Create();
    EXPECT_THROW(jpeg::codec::Run(decoder,
                                  [&] {
                                      decoder.AttachSource(stream);
                                      jpeg_read_header(&decoder.cinfo, TRUE);
                                  }),
                 std::runtime_error);
}

} // namespace
