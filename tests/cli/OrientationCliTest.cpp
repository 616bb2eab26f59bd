// velmora-card with phone photos: convert writes a JPEG tagged with an EXIF orientation upright,
// and a card made from a portrait shot stored on its side is the card of the upright picture.
#include "CliTestSupport.h"
#include "cli/Cli.h"
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Stream.h"
#include "jpeg/JPEGImage.h"
#include "support/ExifJpeg.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace cli {
namespace {

namespace fs = std::filesystem;

constexpr graphics::TColor kRed = 0x0000FF;
constexpr graphics::TColor kWhite = 0xFFFFFF;

class OrientationCliTest : public clitest::ProgramTest {
  protected:
    OrientationCliTest() : ProgramTest("velmora-cli-orientation-") {}

    // A width x height JPEG, white with a red block of side at (left, top), with an EXIF
    // segment tagged orientation (none for 0).
    fs::path WriteJpeg(const std::string& name, int width, int height, int left, int top, int side,
                       unsigned orientation) {
        graphics::TBitmap bitmap;
        bitmap.SetPixelFormat(graphics::pf24bit);
        bitmap.SetSize(width, height);
        bitmap.Canvas().Brush().SetColor(kWhite);
        bitmap.Canvas().FillArea({0, 0, width, height});
        bitmap.Canvas().Brush().SetColor(kRed);
        bitmap.Canvas().FillArea({left, top, left + side, top + side});
        jpeg::TJPEGImage encoder;
        encoder.CopyFrom(&bitmap);
        graphics::TMemoryStream stream;
        encoder.SaveToStream(stream);
        std::vector<uint8_t> bytes(stream.Memory().begin(), stream.Memory().end());
        if (orientation != 0)
            bytes = testsupport::WithApp1(bytes, testsupport::ExifPayload(orientation));
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
};

bool Near(uint32_t rgb, uint32_t expected) {
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(int((rgb >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > 40)
            return false;
    }
    return true;
}

// Stored 32 x 48 with the block at the bottom-left, tagged 6 (turn a quarter clockwise): the
// picture is 48 x 32 with the block at the top-left.
TEST_F(OrientationCliTest, ConvertWritesAPortraitShotUpright) {
    const fs::path photo = WriteJpeg("phone.jpg", 32, 48, 0, 32, 16, 6);
    const fs::path output = dir_ / "phone.bmp";
    ASSERT_EQ(Run({"convert", photo.string(), output.string()}), kExitSuccess) << err_.str();
    graphics::TBitmap written;
    written.ReadFromFile(output.string());
    ASSERT_EQ(written.Width(), 48);
    ASSERT_EQ(written.Height(), 32);
    const std::vector<uint32_t> pixels = clitest::Pixels(written);
    EXPECT_TRUE(Near(pixels[8 * 48 + 8], 0xFF0000)) << std::hex << pixels[8 * 48 + 8];
    EXPECT_TRUE(Near(pixels[24 * 48 + 8], 0xFFFFFF));
    EXPECT_TRUE(Near(pixels[8 * 48 + 40], 0xFFFFFF));
}

// The card of a portrait shot stored on its side (315 x 495, tagged 6) against the card of the
// same picture stored upright: the same card but for the JPEG noise of the two files.
TEST_F(OrientationCliTest, ACardFromATaggedPhotoIsTheCardOfTheUprightPhoto) {
    std::ofstream(dir_ / "station.ini") << "[User]\nCALLID=DL9OWN\nTKS=Thanks\n";
    const fs::path tagged = WriteJpeg("tagged.jpg", 315, 495, 0, 495 - 48, 48, 6);
    const fs::path upright = WriteJpeg("upright.jpg", 495, 315, 0, 0, 48, 0);
    std::vector<uint32_t> cards[2];
    for (int i = 0; i < 2; ++i) {
        const fs::path out = dir_ / ("card" + std::to_string(i) + ".jpg");
        ASSERT_EQ(Run({"--call", "DL1ABC", "--date", "2026-12-07", "--utc", "1432", "--mhz",
                       "14.074", "--rst", "599", "--mode", "FT8", "--background",
                       (i == 0 ? tagged : upright).string(), "--profile",
                       (dir_ / "station.ini").string(), "-o", out.string()}),
                  kExitSuccess)
            << err_.str();
        jpeg::TJPEGImage card;
        card.ReadFromFile(out.string());
        ASSERT_EQ(card.Width(), 495);
        ASSERT_EQ(card.Height(), 315);
        cards[i] = clitest::Pixels(card.Bitmap());
    }
    long difference = 0;
    for (size_t p = 0; p < cards[0].size(); ++p) {
        for (int shift = 0; shift < 24; shift += 8)
            difference +=
                std::abs(int((cards[0][p] >> shift) & 0xFF) - int((cards[1][p] >> shift) & 0xFF));
    }
    const double mean = double(difference) / double(cards[0].size() * 3);
    EXPECT_LT(mean, 2.0);
}

} // namespace
} // namespace cli
