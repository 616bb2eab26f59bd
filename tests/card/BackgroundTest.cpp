// Loading a background: the reader chosen by the name's ending, each reader's way into the
// working bitmap, the fit against the card as it is now, refusals that change nothing, and the
// blank card template loaded unscaled from the current folder.
#include "card/Background.h"

#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Color.h"
#include "graphics/Exceptions.h"
#include "jpeg/JPEGImage.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <ios>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using card::BackgroundObjects;
using card::BackgroundReader;
using card::LoadBackground;
using card::LoadBlankCard;
using graphics::TBitmap;
using graphics::TColor;

// ---- Pictures written for the tests ----------------------------------------------------------

using ColourAt = std::function<TColor(int x, int y)>;

// Four quadrants in clearly different colours.
TColor Quadrants(int x, int y, int w, int h) {
    const bool right = x >= w / 2;
    const bool bottom = y >= h / 2;
    static constexpr TColor kColours[] = {0x2040E0, 0x30C040, 0xE06020, 0x20D0F0};
    return kColours[(bottom ? 2 : 0) + (right ? 1 : 0)];
}

ColourAt QuadrantsOf(int w, int h) {
    return [w, h](int x, int y) { return Quadrants(x, y, w, h); };
}

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

// A 24-bit bottom-up BMP: BITMAPFILEHEADER, BITMAPINFOHEADER, rows padded to 4 bytes.
std::vector<uint8_t> BmpBytes(int w, int h, const ColourAt& colour) {
    const uint32_t rowBytes = (uint32_t(w) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * uint32_t(h);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    PutLE(out, 54 + pixelBytes, 4); // file size
    PutLE(out, 0, 4);               // reserved
    PutLE(out, 54, 4);              // offset of the pixels
    PutLE(out, 40, 4);              // header size
    PutLE(out, uint32_t(w), 4);
    PutLE(out, uint32_t(h), 4); // positive: bottom row first
    PutLE(out, 1, 2);           // planes
    PutLE(out, 24, 2);          // bits per pixel
    PutLE(out, 0, 4);           // BI_RGB
    PutLE(out, pixelBytes, 4);
    PutLE(out, 2835, 4); // 72 dpi
    PutLE(out, 2835, 4);
    PutLE(out, 0, 4); // colours used
    PutLE(out, 0, 4); // colours important
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const TColor c = colour(x, y);
            out.push_back(uint8_t(c >> 16)); // blue
            out.push_back(uint8_t(c >> 8));  // green
            out.push_back(uint8_t(c));       // red
        }
        out.resize(out.size() + (rowBytes - uint32_t(w) * 3), 0);
    }
    return out;
}

// A GIF89a of one w x h frame over a four-colour global table. The LZW stream (minimum code
// size 2: colours 0-3, clear 4, end 5) sends every pixel as its own literal code. The code
// width grows as a decoder's table does, one entry per code after the first, and a clear code
// starts again before the table is full.
std::vector<uint8_t> GifBytes(int w, int h, const std::vector<uint8_t>& indices,
                              const TColor (&table)[4]) {
    std::vector<uint8_t> out{'G', 'I', 'F', '8', '9', 'a'};
    PutLE(out, uint32_t(w), 2); // logical screen
    PutLE(out, uint32_t(h), 2);
    out.push_back(0x91); // global table, 2 bits of colour resolution, 4 entries
    out.push_back(0);    // background index
    out.push_back(0);    // no aspect ratio
    for (TColor c : table) {
        out.push_back(uint8_t(c));
        out.push_back(uint8_t(c >> 8));
        out.push_back(uint8_t(c >> 16));
    }
    out.push_back(0x2C); // image descriptor at (0, 0), no local table, not interlaced
    PutLE(out, 0, 2);
    PutLE(out, 0, 2);
    PutLE(out, uint32_t(w), 2);
    PutLE(out, uint32_t(h), 2);
    out.push_back(0);
    out.push_back(2); // LZW minimum code size

    constexpr uint32_t kClear = 4;
    constexpr uint32_t kEnd = 5;
    std::vector<uint8_t> codes;
    uint32_t bits = 0;
    int count = 0;
    int width = 3;
    uint32_t next = 6;
    bool first = true;
    const auto put = [&](uint32_t code) {
        bits |= code << count;
        count += width;
        while (count >= 8) {
            codes.push_back(uint8_t(bits));
            bits >>= 8;
            count -= 8;
        }
    };
    put(kClear);
    for (uint8_t index : indices) {
        if (next >= 4094) {
            put(kClear);
            width = 3;
            next = 6;
            first = true;
        }
        put(index);
        if (!first && ++next == (1u << width) && width < 12)
            ++width;
        first = false;
    }
    put(kEnd);
    if (count > 0)
        codes.push_back(uint8_t(bits));
    for (size_t i = 0; i < codes.size(); i += 255) {
        const size_t n = std::min<size_t>(255, codes.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), codes.begin() + long(i), codes.begin() + long(i + n));
    }
    out.push_back(0);    // end of the image data
    out.push_back(0x3B); // trailer
    return out;
}

std::unique_ptr<TBitmap> MakeBitmap(int w, int h, const ColourAt& colour) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(graphics::pf24bit);
    bitmap->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        const std::span<uint8_t> row = bitmap->RowAddress(y);
        for (int x = 0; x < w; ++x) {
            const TColor c = colour(x, y);
            row[size_t(x) * 3] = uint8_t(c >> 16);
            row[size_t(x) * 3 + 1] = uint8_t(c >> 8);
            row[size_t(x) * 3 + 2] = uint8_t(c);
        }
    }
    return bitmap;
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(file.good()) << path;
}

void WriteJpeg(const fs::path& path, int w, int h, const ColourAt& colour) {
    auto bitmap = MakeBitmap(w, h, colour);
    jpeg::TJPEGImage image;
    image.CopyFrom(bitmap.get());
    image.WriteToFile(path.string());
}

int Channel(TColor c, int shift) {
    return int((uint32_t(c) >> shift) & 0xFF);
}

// Within the error of a quality-90 JPEG, away from edges.
bool Near(TColor a, TColor b, int tolerance = 12) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance)
            return false;
    }
    return true;
}

// Every pixel of bitmap equals colour(x, y).
int MismatchedPixels(TBitmap& bitmap, const ColourAt& colour) {
    int wrong = 0;
    graphics::TCanvas& canvas = bitmap.Canvas();
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            if (canvas.PixelAt(x, y) != colour(x, y))
                ++wrong;
        }
    }
    return wrong;
}

// Quadrant centres of a decoded JPEG.
void ExpectQuadrantsNear(TBitmap& bitmap) {
    const int w = bitmap.Width();
    const int h = bitmap.Height();
    for (int qy : {h / 4, 3 * h / 4}) {
        for (int qx : {w / 4, 3 * w / 4}) {
            const TColor got = bitmap.Canvas().PixelAt(qx, qy);
            EXPECT_TRUE(Near(got, Quadrants(qx, qy, w, h)))
                << "at " << qx << ", " << qy << ": " << std::hex << got;
        }
    }
}

// ---- Fixture: a folder of its own, made current while the test runs ---------------------------

class Background : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        jpeg::InitializeJPEGImageUnit();
        gif::InitializeGIFImageUnit();
    }

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "velmora-bg-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        previous_ = fs::current_path();
        fs::current_path(dir_);
    }

    void TearDown() override {
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::string WriteBmp(const std::string& name, int w, int h, const ColourAt& colour) {
        WriteBytes(dir_ / name, BmpBytes(w, h, colour));
        return Path(name);
    }
    std::string WriteBmp(const std::string& name, int w, int h) {
        return WriteBmp(name, w, h, QuadrantsOf(w, h));
    }

    fs::path dir_;
    fs::path previous_;
};

// ---- The reader by the ending ---------------------------------------------------------------

TEST(ReaderChoice, EndingsInAnyLetterCase) {
    const struct {
        const char* name;
        BackgroundReader reader;
    } cases[] = {
        {"photo.jpg", BackgroundReader::Jpeg},
        {"photo.JPG", BackgroundReader::Jpeg},
        {"x.Jpeg", BackgroundReader::Jpeg},
        {"X.JPEG", BackgroundReader::Jpeg},
        {"/home/op/cards/dx.jPg", BackgroundReader::Jpeg},
        // No dot is needed: the last characters decide.
        {"nameJPG", BackgroundReader::Jpeg},
        {"namejpeg", BackgroundReader::Jpeg},
        {"jpg", BackgroundReader::Jpeg},
        {"logo.gif", BackgroundReader::Gif},
        {"logo.GIF", BackgroundReader::Gif},
        {"card.bmp", BackgroundReader::Bmp},
        {"card.Bmp", BackgroundReader::Bmp},
        {"archive.jpeg.bmp", BackgroundReader::Bmp},
        {"archive.bmp.jpg", BackgroundReader::Jpeg},
        // Nothing known at the end.
        {"picture.png", BackgroundReader::None},
        {"photo.jpg.txt", BackgroundReader::None},
        {"photo.jp", BackgroundReader::None},
        {"pg", BackgroundReader::None},
        {"photo.peg", BackgroundReader::None},
        {"photo.jpg ", BackgroundReader::None},
        {"", BackgroundReader::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(card::ReaderForFileName(c.name), c.reader) << '"' << c.name << '"';
}

TEST(ReaderChoice, MessageNamesTheFileAndTheEndings) {
    const std::string message = card::NotAPictureMessage("/tmp/scan.png");
    EXPECT_NE(message.find("\"/tmp/scan.png\""), std::string::npos) << message;
    EXPECT_NE(message.find("not a JPEG, GIF or BMP file"), std::string::npos) << message;
    for (const char* ending : {".jpg", ".jpeg", ".gif", ".bmp"})
        EXPECT_NE(message.find(ending), std::string::npos) << message;
}

TEST_F(Background, UnknownEndingChangesNothing) {
    BackgroundObjects objects;
    // Nothing loaded yet: the objects stay absent.
    EXPECT_THROW(LoadBackground(objects, Path("scan.png")), graphics::EInvalidGraphic);
    EXPECT_EQ(objects.JpegImage, nullptr);
    EXPECT_EQ(objects.WorkBitmap, nullptr);
    EXPECT_EQ(objects.GifImage, nullptr);

    // After a Find: the very same objects, the working bitmap as it was.
    LoadBackground(objects, WriteBmp("first.bmp", 495, 315));
    const jpeg::TJPEGImage* jpegBefore = objects.JpegImage.get();
    const TBitmap* workBefore = objects.WorkBitmap.get();
    const gif::TGIFImage* gifBefore = objects.GifImage.get();
    // A real BMP under a name the program does not know is still refused by its name.
    WriteBmp("second.dib", 60, 50);
    try {
        LoadBackground(objects, Path("second.dib"));
        FAIL() << "no error";
    } catch (const graphics::EInvalidGraphic& e) {
        EXPECT_EQ(e.message(), card::NotAPictureMessage(Path("second.dib")));
    }
    EXPECT_EQ(objects.JpegImage.get(), jpegBefore);
    EXPECT_EQ(objects.WorkBitmap.get(), workBefore);
    EXPECT_EQ(objects.GifImage.get(), gifBefore);
    ASSERT_EQ(objects.WorkBitmap->Width(), 495);
    ASSERT_EQ(objects.WorkBitmap->Height(), 315);
    EXPECT_EQ(MismatchedPixels(*objects.WorkBitmap, QuadrantsOf(495, 315)), 0);
}

// ---- Each reader ------------------------------------------------------------------------------

TEST_F(Background, JpegIsHandedOverIntoTheWorkingBitmap) {
    // Of the card's size, so the working bitmap holds the decoded pixels unscaled.
    WriteJpeg(dir_ / "photo.jpg", 495, 315, QuadrantsOf(495, 315));
    for (const char* name : {"photo.JPG", "x.Jpeg", "nameJPG"}) {
        SCOPED_TRACE(name);
        fs::copy_file(dir_ / "photo.jpg", dir_ / name);
        BackgroundObjects objects;
        TBitmap& work = LoadBackground(objects, Path(name));
        EXPECT_EQ(&work, objects.WorkBitmap.get());
        ASSERT_EQ(work.Width(), 495);
        ASSERT_EQ(work.Height(), 315);
        ExpectQuadrantsNear(work);
        // The JPEG object keeps the file's bytes for a later Save As; the GIF object is new and
        // empty.
        ASSERT_NE(objects.JpegImage, nullptr);
        ASSERT_NE(objects.JpegImage->Data().Bytes, nullptr);
        EXPECT_EQ(objects.JpegImage->Data().Bytes->Size(), int64_t(fs::file_size(dir_ / name)));
        ASSERT_NE(objects.GifImage, nullptr);
        EXPECT_TRUE(objects.GifImage->IsEmpty());
        // The working bitmap holds its own copy: the JPEG's decoded bitmap is another one.
        EXPECT_FALSE(work.SharesImageWith(objects.JpegImage->Bitmap()));
    }
}

TEST_F(Background, GifFirstFrameBecomesTheWorkingBitmap) {
    constexpr int w = 495;
    constexpr int h = 315;
    const TColor table[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    std::vector<uint8_t> indices;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            indices.push_back(uint8_t((x / 15 + y / 10) % 4));
    }
    WriteBytes(dir_ / "logo.GIF", GifBytes(w, h, indices, table));

    BackgroundObjects objects;
    TBitmap& work = LoadBackground(objects, Path("logo.GIF"));
    ASSERT_EQ(work.Width(), w);
    ASSERT_EQ(work.Height(), h);
    EXPECT_EQ(MismatchedPixels(work, [&](int x, int y) { return table[(x / 15 + y / 10) % 4]; }),
              0);
    ASSERT_NE(objects.GifImage, nullptr);
    EXPECT_EQ(objects.GifImage->Count(), 1);
    // The JPEG object is new and holds nothing.
    ASSERT_NE(objects.JpegImage, nullptr);
    EXPECT_EQ(objects.JpegImage->Data().Bytes, nullptr);
}

TEST_F(Background, BmpIsReadByTheWorkingBitmap) {
    BackgroundObjects objects;
    const ColourAt stripes = [](int x, int y) { return TColor(((x * 7) & 0xFF) | (y << 8)); };
    TBitmap& work = LoadBackground(objects, WriteBmp("card.Bmp", 495, 315, stripes));
    ASSERT_EQ(work.Width(), 495);
    ASSERT_EQ(work.Height(), 315);
    EXPECT_EQ(MismatchedPixels(work, stripes), 0);
}

TEST_F(Background, NewObjectsReportProgress) {
    WriteJpeg(dir_ / "photo.jpg", 64, 48, QuadrantsOf(64, 48));
    BackgroundObjects objects;
    std::vector<graphics::TProgressStage> stages;
    objects.OnProgress = [&](graphics::TPersistent&, graphics::TProgressStage stage, uint8_t, bool,
                             const platform::RECT&,
                             const std::string&) { stages.push_back(stage); };
    LoadBackground(objects, Path("photo.jpg"));
    ASSERT_GE(stages.size(), 2u);
    EXPECT_EQ(stages.front(), graphics::psStarting);
    EXPECT_EQ(stages.back(), graphics::psEnding);
}

TEST_F(Background, ReaderErrorsPropagateWithTheNewObjectsInPlace) {
    BackgroundObjects objects;
    LoadBackground(objects, WriteBmp("first.bmp", 40, 30));
    const TBitmap* workBefore = objects.WorkBitmap.get();

    // The name chooses the reader: BMP bytes named .jpg reach the JPEG reader and fail there.
    WriteBmp("wrong.jpg", 20, 20);
    try {
        LoadBackground(objects, Path("wrong.jpg"));
        FAIL() << "no error";
    } catch (const jpeg::EJPEG& e) {
        EXPECT_EQ(e.MessageCode(), 53);
    }
    ASSERT_NE(objects.WorkBitmap, nullptr);
    EXPECT_NE(objects.WorkBitmap.get(), workBefore);
    EXPECT_TRUE(objects.WorkBitmap->IsEmpty());

    EXPECT_THROW(LoadBackground(objects, Path("missing.gif")), graphics::EFOpenError);
    EXPECT_THROW(LoadBackground(objects, Path("missing.bmp")), graphics::EFOpenError);
}

// ---- Fitting against the card as it is now ----------------------------------------------------

TEST_F(Background, OnlyAPictureOfTheCardsSizeGoesInUnchanged) {
    BackgroundObjects objects;
    TBitmap& work = LoadBackground(objects, WriteBmp("exact.bmp", 495, 315));
    ASSERT_EQ(work.Width(), 495);
    ASSERT_EQ(work.Height(), 315);
    EXPECT_EQ(MismatchedPixels(work, QuadrantsOf(495, 315)), 0);
}

// The rows of a fitted 495 x 315 card that are black, for a fit with bands above and below.
void ExpectBands(TBitmap& work, int top, int bottom) {
    ASSERT_EQ(work.Width(), 495);
    ASSERT_EQ(work.Height(), 315);
    graphics::TCanvas& canvas = work.Canvas();
    for (int y = 0; y < 315; ++y) {
        const bool band = y < top || y >= bottom;
        for (int x : {0, 123, 247, 370, 494}) {
            if (band)
                ASSERT_EQ(canvas.PixelAt(x, y), graphics::clBlack) << x << ", " << y;
            else
                ASSERT_NE(canvas.PixelAt(x, y), graphics::clBlack) << x << ", " << y;
        }
    }
}

TEST_F(Background, LargerPicturesAreFittedIntoThePreview) {
    BackgroundObjects objects;
    // One pixel wider than the card: 99 rows high, from row 108.
    ExpectBands(LoadBackground(objects, WriteBmp("wide.bmp", 496, 100)), 108, 207);

    // A JPEG too: 1000 x 500 gets bands of 34 rows.
    WriteJpeg(dir_ / "pano.jpg", 1000, 500, QuadrantsOf(1000, 500));
    TBitmap& pano = LoadBackground(objects, Path("pano.jpg"));
    ExpectBands(pano, 34, 281);
    EXPECT_TRUE(Near(pano.Canvas().PixelAt(60, 100), Quadrants(0, 0, 2, 2)));
    EXPECT_TRUE(Near(pano.Canvas().PixelAt(430, 250), Quadrants(1, 1, 2, 2)));

    // A portrait GIF: bands of 129 columns left and 130 right.
    const TColor table[4] = {0x336699, 0x669933, 0x993366, 0xCCCCCC};
    WriteBytes(dir_ / "tall.gif", GifBytes(600, 800, std::vector<uint8_t>(600 * 800, 3), table));
    TBitmap& tall = LoadBackground(objects, Path("tall.gif"));
    ASSERT_EQ(tall.Width(), 495);
    ASSERT_EQ(tall.Height(), 315);
    for (int x = 0; x < 495; ++x) {
        const TColor expected = x < 129 || x >= 365 ? graphics::clBlack : TColor(0xCCCCCC);
        ASSERT_EQ(tall.Canvas().PixelAt(x, 157), expected) << x;
    }

    // A square larger than the card: 315 x 315 centred, 90 black columns each side.
    TBitmap& square = LoadBackground(objects, WriteBmp("square.bmp", 400, 400));
    ASSERT_EQ(square.Width(), 495);
    for (int x = 0; x < 495; ++x) {
        const bool band = x < 90 || x >= 405;
        ASSERT_EQ(square.Canvas().PixelAt(x, 20) == graphics::clBlack, band) << x;
        ASSERT_EQ(square.Canvas().PixelAt(x, 300) == graphics::clBlack, band) << x;
    }
}

TEST_F(Background, SmallerPicturesAreScaledUpTheSameWay) {
    BackgroundObjects objects;
    // A 320 x 240 photo fills the width: 371 rows from row -28, so no band at all.
    TBitmap& photo = LoadBackground(objects, WriteBmp("photo.bmp", 320, 240));
    ASSERT_EQ(photo.Width(), 495);
    ASSERT_EQ(photo.Height(), 315);
    EXPECT_EQ(photo.Canvas().PixelAt(10, 0), Quadrants(0, 0, 2, 2));
    EXPECT_EQ(photo.Canvas().PixelAt(484, 314), Quadrants(1, 1, 2, 2));

    // 400 x 150 is scaled to 495 x 185 with bands of 65 rows, whatever came before it.
    LoadBackground(objects, WriteBmp("first.bmp", 300, 200));
    ExpectBands(LoadBackground(objects, WriteBmp("second.bmp", 400, 150)), 65, 250);

    // One pixel short in either direction is fitted too.
    ExpectBands(LoadBackground(objects, WriteBmp("flat.bmp", 495, 10)), 152, 162);
    EXPECT_EQ(LoadBackground(objects, WriteBmp("narrow.bmp", 494, 315)).Width(), 495);

    // A small square becomes 315 x 315 centred, with 90 black columns each side.
    TBitmap& square = LoadBackground(objects, WriteBmp("square.bmp", 50, 50));
    ASSERT_EQ(square.Width(), 495);
    for (int x = 0; x < 495; ++x)
        ASSERT_EQ(square.Canvas().PixelAt(x, 157) == graphics::clBlack, x < 90 || x >= 405) << x;
}

TEST_F(Background, APictureWithoutPixelsIsRefusedAndChangesNothing) {
    BackgroundObjects objects;
    LoadBackground(objects, WriteBmp("first.bmp", 495, 315));
    const jpeg::TJPEGImage* jpegBefore = objects.JpegImage.get();
    const TBitmap* workBefore = objects.WorkBitmap.get();
    const gif::TGIFImage* gifBefore = objects.GifImage.get();

    // A GIF with a 0 x 0 screen and no image at all: header, no table, trailer.
    const std::vector<uint8_t> empty = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0x3B};
    WriteBytes(dir_ / "empty.gif", empty);
    try {
        LoadBackground(objects, Path("empty.gif"));
        FAIL() << "no error";
    } catch (const graphics::EInvalidGraphic& e) {
        EXPECT_EQ(e.message(), card::EmptyPictureMessage(Path("empty.gif")));
    }
    EXPECT_EQ(objects.JpegImage.get(), jpegBefore);
    EXPECT_EQ(objects.WorkBitmap.get(), workBefore);
    EXPECT_EQ(objects.GifImage.get(), gifBefore);
    EXPECT_EQ(MismatchedPixels(*objects.WorkBitmap, QuadrantsOf(495, 315)), 0);
}

// ---- The blank card ---------------------------------------------------------------------------

TEST_F(Background, BlankCardComesFromTheCurrentFolderUnscaled) {
    // Larger than the card, and used at its own size all the same.
    WriteJpeg(dir_ / "blankcard.jpg", 600, 400, QuadrantsOf(600, 400));
    BackgroundObjects objects;
    LoadBackground(objects, WriteBmp("earlier.gif.bmp", 10, 10));
    const gif::TGIFImage* gifBefore = objects.GifImage.get();
    const jpeg::TJPEGImage* jpegBefore = objects.JpegImage.get();

    TBitmap& work = LoadBlankCard(objects);
    EXPECT_EQ(&work, objects.WorkBitmap.get());
    ASSERT_EQ(work.Width(), 600);
    ASSERT_EQ(work.Height(), 400);
    ExpectQuadrantsNear(work);
    EXPECT_NE(objects.JpegImage.get(), jpegBefore);
    EXPECT_EQ(objects.GifImage.get(), gifBefore);
}

TEST_F(Background, MissingBlankCardIsAnOpenError) {
    BackgroundObjects objects;
    EXPECT_THROW(LoadBlankCard(objects), graphics::EFOpenError);
}

TEST(BlankCard, ShippedTemplateIsALightCardOfThePreviewSize) {
    jpeg::InitializeJPEGImageUnit();
    BackgroundObjects objects;
    TBitmap& work = LoadBlankCard(objects, std::string(VELMORA_DATA_DIR) + "/blankcard.jpg");
    ASSERT_EQ(work.Width(), 495);
    ASSERT_EQ(work.Height(), 315);
    // Light where the overlay writes: dark text must read well on it.
    graphics::TCanvas& canvas = work.Canvas();
    const struct {
        int x, y;
    } textPlaces[] = {{247, 10},  {247, 45},  {80, 75},   {350, 85},  {80, 150},
                      {120, 235}, {110, 262}, {200, 287}, {350, 287}, {450, 262}};
    for (const auto& p : textPlaces) {
        const TColor c = canvas.PixelAt(p.x, p.y);
        const int luma = (Channel(c, 0) * 299 + Channel(c, 8) * 587 + Channel(c, 16) * 114) / 1000;
        EXPECT_GE(luma, 200) << p.x << ", " << p.y << ": " << std::hex << c;
    }
}

} // namespace
