// The second JPEG codec: decoding and encoding through TurboJPEG, its refusals, the picture
// class TJpegFileImage and its entry in the picture format list.
#include "tjpeg/JpegFileImage.h"

#include "graphics/Exceptions.h"
#include "graphics/Picture.h"
#include "graphics/PictureFormats.h"
#include "graphics/Stream.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using graphics::TColor;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;

// A 24-bit bitmap: the top half red, the bottom half blue.
void MakeRedOverBlue(graphics::TBitmap& bitmap, int width, int height) {
    bitmap.SetPixelFormat(graphics::pf24bit);
    bitmap.SetSize(width, height);
    bitmap.Canvas().Brush().SetColor(kRed);
    bitmap.Canvas().FillArea({0, 0, width, height / 2});
    bitmap.Canvas().Brush().SetColor(kBlue);
    bitmap.Canvas().FillArea({0, height / 2, width, height});
}

std::vector<uint8_t> RedOverBlueJpeg(int width = 32, int height = 16) {
    graphics::TBitmap bitmap;
    MakeRedOverBlue(bitmap, width, height);
    return tjpeg::EncodeJpeg(bitmap, 90);
}

// Each channel within tolerance: JPEG is lossy.
bool Near(TColor actual, TColor expected, int tolerance = 24) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(int((actual >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > tolerance)
            return false;
    }
    return true;
}

// The frame size in the start-of-frame segment (SOF0, ITU T.81 B.2.2): precision, then height
// and width, big-endian.
void SetFrameSize(std::vector<uint8_t>& jpeg, int width, int height) {
    for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = uint8_t(height >> 8);
            jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8);
            jpeg[i + 8] = uint8_t(width);
            return;
        }
    }
    FAIL() << "no SOF0 segment";
}

// ---- The codec.

TEST(TurboJpegCodec, RoundTripKeepsColoursAndTheTopRowOnTop) {
    const std::vector<uint8_t> file = RedOverBlueJpeg();
    ASSERT_GE(file.size(), 4u);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(file[1], 0xD8);
    EXPECT_EQ(file[file.size() - 2], 0xFF);
    EXPECT_EQ(file[file.size() - 1], 0xD9);

    const tjpeg::JpegHeader header = tjpeg::ReadJpegHeader(file);
    EXPECT_EQ(header.width, 32);
    EXPECT_EQ(header.height, 16);
    EXPECT_FALSE(header.fourComponents);

    graphics::TBitmap decoded;
    tjpeg::DecodeJpeg(file, decoded);
    ASSERT_EQ(decoded.Width(), 32);
    ASSERT_EQ(decoded.Height(), 16);
    EXPECT_EQ(decoded.PixelFormat(), graphics::pf24bit);
    EXPECT_TRUE(Near(decoded.Canvas().PixelAt(3, 2), kRed))
        << std::hex << decoded.Canvas().PixelAt(3, 2);
    EXPECT_TRUE(Near(decoded.Canvas().PixelAt(28, 13), kBlue));
}

TEST(TurboJpegCodec, PicturesAboveThePixelLimitAreRefusedBeforeDecoding) {
    std::vector<uint8_t> file = RedOverBlueJpeg();
    // 16384 x 16384 is exactly 256 megapixels: still allowed. One column more is not.
    SetFrameSize(file, 16384, 16384);
    EXPECT_EQ(tjpeg::ReadJpegHeader(file).width, 16384);
    SetFrameSize(file, 16385, 16384);
    graphics::TBitmap bitmap;
    try {
        tjpeg::DecodeJpeg(file, bitmap);
        FAIL() << "no error";
    } catch (const tjpeg::EJpegFile& e) {
        EXPECT_EQ(e.message(), "Jpeg file is not valid");
    }
    EXPECT_TRUE(bitmap.IsEmpty());
}

TEST(TurboJpegCodec, DataThatIsNoJpegFails) {
    graphics::TBitmap bitmap;
    MakeRedOverBlue(bitmap, 4, 4);
    const std::vector<uint8_t> empty;
    const std::vector<uint8_t> notJpeg = {'B', 'M', 0x36, 0, 0, 0, 0, 0};
    EXPECT_THROW(tjpeg::DecodeJpeg(empty, bitmap), tjpeg::EJpegFile);
    try {
        tjpeg::DecodeJpeg(notJpeg, bitmap);
        FAIL() << "no error";
    } catch (const tjpeg::EJpegFile& e) {
        EXPECT_EQ(e.message().rfind("Jpeg file is not valid: ", 0), 0u) << e.message();
    }
    // A failed decode leaves the bitmap as it was.
    EXPECT_EQ(bitmap.Width(), 4);
    EXPECT_TRUE(Near(bitmap.Canvas().PixelAt(0, 0), kRed));
}

// The frame header of the JPEG layout, found by its marker (FF C0); the scan data follow the
// start-of-scan marker (FF DA).
size_t MarkerOffset(const std::vector<uint8_t>& jpeg, uint8_t marker) {
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker)
            return i;
    }
    return jpeg.size();
}

TEST(TurboJpegCodec, ATruncatedFileGivesThePictureAsFarAsItGoes) {
    std::vector<uint8_t> file = RedOverBlueJpeg(64, 64);
    const size_t scan = MarkerOffset(file, 0xDA);
    ASSERT_LT(scan, file.size());
    // Cut in the middle of the scan data: the top rows are there, the rest is missing.
    file.resize(scan + (file.size() - scan) / 2);
    graphics::TBitmap bitmap;
    ASSERT_NO_THROW(tjpeg::DecodeJpeg(file, bitmap));
    EXPECT_EQ(bitmap.Width(), 64);
    EXPECT_EQ(bitmap.Height(), 64);
    EXPECT_TRUE(Near(bitmap.Canvas().PixelAt(5, 5), kRed));
}

TEST(TurboJpegCodec, AFileCutBeforeItsScanFailsWithTheLibrarysReason) {
    std::vector<uint8_t> file = RedOverBlueJpeg();
    file.resize(MarkerOffset(file, 0xDA));
    graphics::TBitmap bitmap;
    try {
        tjpeg::DecodeJpeg(file, bitmap);
        FAIL() << "no error";
    } catch (const tjpeg::EJpegFile& e) {
        EXPECT_EQ(e.message(), "Jpeg file is not valid: JPEG datastream contains no image");
    }
    EXPECT_TRUE(bitmap.IsEmpty());
}

TEST(TurboJpegCodec, AnEmptyBitmapCannotBeSaved) {
    graphics::TBitmap empty;
    EXPECT_THROW(tjpeg::EncodeJpeg(empty, 90), tjpeg::EJpegFile);
}

// ---- The picture class.

TEST(JpegFileImage, LoadingKeepsTheBytesAndDecodesOnFirstUse) {
    const std::vector<uint8_t> file = RedOverBlueJpeg();
    graphics::TMemoryStream stream(file);
    tjpeg::TJpegFileImage picture;
    int changes = 0;
    picture.OnChange = [&changes](graphics::TGraphic&) { ++changes; };
    picture.LoadFromStream(stream);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(picture.IsEmpty());
    EXPECT_EQ(picture.Width(), 32);
    EXPECT_EQ(picture.Height(), 16);
    EXPECT_FALSE(picture.HasDecodedBitmap()) << "the size comes from the header";

    graphics::TMemoryStream saved;
    picture.SaveToStream(saved);
    EXPECT_TRUE(std::ranges::equal(saved.Memory(), file)) << "saved unchanged";

    EXPECT_TRUE(Near(picture.Bitmap().Canvas().PixelAt(0, 0), kRed));
    EXPECT_TRUE(picture.HasDecodedBitmap());
}

TEST(JpegFileImage, AFailedLoadLeavesThePictureAsItWas) {
    graphics::TMemoryStream good(RedOverBlueJpeg());
    tjpeg::TJpegFileImage picture;
    picture.LoadFromStream(good);
    graphics::TMemoryStream bad(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0x00});
    graphics::TMemoryStream empty;
    EXPECT_THROW(picture.LoadFromStream(bad), tjpeg::EJpegFile);
    EXPECT_THROW(picture.LoadFromStream(empty), tjpeg::EJpegFile);
    EXPECT_EQ(picture.Width(), 32);
    EXPECT_TRUE(Near(picture.Bitmap().Canvas().PixelAt(0, 15), kBlue));
}

TEST(JpegFileImage, APictureMadeFromABitmapSavesANewFile) {
    graphics::TBitmap bitmap;
    MakeRedOverBlue(bitmap, 40, 20);
    tjpeg::TJpegFileImage picture;
    picture.CopyFrom(&bitmap);
    EXPECT_FALSE(picture.HasBytes());
    EXPECT_EQ(picture.Width(), 40);
    graphics::TMemoryStream saved;
    picture.SaveToStream(saved);
    graphics::TBitmap back;
    tjpeg::DecodeJpeg(saved.Memory(), back);
    EXPECT_EQ(back.Width(), 40);
    EXPECT_EQ(back.Height(), 20);
    EXPECT_TRUE(Near(back.Canvas().PixelAt(20, 18), kBlue));

    // A copy of the picture shares its bytes and has the same size; an empty one saves nothing.
    tjpeg::TJpegFileImage copy;
    copy.CopyFrom(&picture);
    EXPECT_EQ(copy.Height(), 20);
    graphics::TBitmap empty;
    picture.CopyFrom(&empty);
    EXPECT_TRUE(picture.IsEmpty());
    EXPECT_THROW(picture.SaveToStream(saved), tjpeg::EJpegFile);
}

TEST(JpegFileImage, ItsSizeIsTheFilesOwn) {
    tjpeg::TJpegFileImage picture;
    EXPECT_THROW(picture.ResizeWidth(10), graphics::EInvalidGraphicOperation);
    EXPECT_THROW(picture.ResizeHeight(10), graphics::EInvalidGraphicOperation);
}

// ---- The picture format list.

TEST(JpegFileImage, TheFormatListYieldsItForJpgAndAPictureHolderReadsThroughIt) {
    // Entered as start-up enters it from the picture table (card::InitializePictureModules).
    graphics::RegisterFileFormat("jpg", "Jpeg file", tjpeg::TJpegFileImage::Class());
    EXPECT_EQ(graphics::FindGraphicClass("jpg"), &tjpeg::TJpegFileImage::Class());
    EXPECT_EQ(graphics::FindGraphicClass("JPG"), &tjpeg::TJpegFileImage::Class());
    const std::string filter = graphics::GraphicFilter(graphics::TGraphic::Class());
    EXPECT_EQ(filter.rfind("All (*.jpg;*.bmp;", 0), 0u) << filter;

    const fs::path folder =
        fs::temp_directory_path() / ("velmora-tjpeg-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::vector<uint8_t> file = RedOverBlueJpeg();
    std::ofstream(folder / "card.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    graphics::TPicture holder;
    holder.LoadFromFile((folder / "card.jpg").string());
    fs::remove_all(folder);
    auto* held = dynamic_cast<tjpeg::TJpegFileImage*>(holder.HeldGraphic());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(holder.Width(), 32);

    graphics::UnregisterGraphicClass(tjpeg::TJpegFileImage::Class());
    EXPECT_EQ(graphics::FindGraphicClass("jpg"), nullptr);
}

} // namespace
