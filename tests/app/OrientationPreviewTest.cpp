// The save dialog's preview shows a phone photo upright, as it becomes the card.
#include "app/toolkit/Dialogs.h"
#include "card/PictureTable.h"
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Stream.h"
#include "jpeg/JPEGImage.h"
#include "support/ExifJpeg.h"

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

bool Near(QRgb pixel, int red, int green, int blue) {
    return std::abs(qRed(pixel) - red) <= 40 && std::abs(qGreen(pixel) - green) <= 40 &&
           std::abs(qBlue(pixel) - blue) <= 40;
}

// Stored 80 x 40 on its side with a red block at the bottom-left, tagged 6: seen as a 40 x 80
// portrait with the block at its top-left. The 100 x 100 preview never enlarges, so the
// portrait sits at (30, 10) to (70, 90), with the button face left and right of it.
TEST(OrientationPreview, APortraitShotIsPreviewedUpright) {
    card::InitializePictureModules();
    graphics::TBitmap stored;
    stored.SetPixelFormat(graphics::pf24bit);
    stored.SetSize(80, 40);
    stored.Canvas().Brush().SetColor(0xFFFFFF);
    stored.Canvas().FillArea({0, 0, 80, 40});
    stored.Canvas().Brush().SetColor(0x0000FF);
    stored.Canvas().FillArea({0, 24, 16, 40});
    jpeg::TJPEGImage encoder;
    encoder.CopyFrom(&stored);
    graphics::TMemoryStream stream;
    encoder.SaveToStream(stream);
    const std::vector<uint8_t> bytes =
        testsupport::WithApp1(std::vector<uint8_t>(stream.Memory().begin(), stream.Memory().end()),
                              testsupport::ExifPayload(6));
    const fs::path path =
        fs::temp_directory_path() / ("velmora-preview-" + std::to_string(::getpid()) + ".jpg");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

    const QImage preview = toolkit::PicturePreview(path.string(), 100, 100);
    fs::remove(path);
    ASSERT_FALSE(preview.isNull());
    EXPECT_TRUE(Near(preview.pixel(38, 18), 255, 0, 0)) << std::hex << preview.pixel(38, 18);
    EXPECT_TRUE(Near(preview.pixel(62, 18), 255, 255, 255));
    EXPECT_TRUE(Near(preview.pixel(50, 80), 255, 255, 255));
    // Left and right of the portrait: the panel, not the picture.
    EXPECT_EQ(preview.pixel(10, 50), preview.pixel(90, 50));
    EXPECT_FALSE(Near(preview.pixel(10, 50), 255, 255, 255));
}

} // namespace
