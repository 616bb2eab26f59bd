// The picture table against the rules its users had before it: Find's matching by the last
// characters, the command line's by the ending after the dot, and the picture format list that
// start-up fills from it.
#include "card/PictureTable.h"

#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Exceptions.h"
#include "graphics/Picture.h"
#include "graphics/PictureFormats.h"
#include "graphics/Stream.h"
#include "jpeg/JPEGImage.h"
#include "support/SaveFilter.h"
#include "tjpeg/JpegFileImage.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <unistd.h>

namespace {

using card::BackgroundReader;

TEST(PictureTable, EachEndingOnceAndNoEndingEndsAnother) {
    std::set<std::string_view> seen;
    for (const card::PictureFormat& format : card::PictureFormats()) {
        EXPECT_TRUE(seen.insert(format.ending).second) << format.ending;
        EXPECT_NE(format.reader, BackgroundReader::None) << format.ending;
        for (const card::PictureFormat& other : card::PictureFormats()) {
            if (&other == &format)
                continue;
            EXPECT_FALSE(format.ending.ends_with(other.ending))
                << format.ending << " ends with " << other.ending;
        }
    }
}

TEST(PictureTable, BothRulesFindTheSameFormatForADottedName) {
    for (const card::PictureFormat& format : card::PictureFormats()) {
        const std::string name = "/cards/dx." + std::string(format.ending);
        EXPECT_EQ(card::FormatForFileName(name), &format) << name;
        EXPECT_EQ(card::FormatForPath(name), &format) << name;
    }
    // Only Find takes a name without a dot.
    EXPECT_NE(card::FormatForFileName("photojpg"), nullptr);
    EXPECT_EQ(card::FormatForPath("photojpg"), nullptr);
    EXPECT_EQ(card::FormatForPath(".gif"), nullptr);
    EXPECT_EQ(card::FormatForPath("dir.gif/picture"), nullptr);
    EXPECT_EQ(card::KnownEndings(), "bmp, jpg, jpeg, gif");
}

// Start-up enters the table's entries in the picture format list once, in the order that makes
// "jpg" the second codec's; the save dialog's filter lists them newest first.
TEST(PictureTable, StartUpFillsThePictureFormatListOnce) {
    card::InitializePictureModules();
    card::InitializePictureModules();
    EXPECT_EQ(graphics::GraphicFilter(graphics::TGraphic::Class()),
              testsupport::kStartedPictureFilter);
    EXPECT_EQ(graphics::FindGraphicClass("JPG"), &tjpeg::TJpegFileImage::Class());
    EXPECT_EQ(graphics::FindGraphicClass("jpeg"), &jpeg::TJPEGImage::Class());
    EXPECT_EQ(graphics::FindGraphicClass("GIF"), &gif::TGIFImage::Class());
    EXPECT_EQ(graphics::FindGraphicClass("bmp"), &graphics::TBitmap::Class());
    EXPECT_EQ(graphics::GraphicExtension(gif::TGIFImage::Class()), "gif");

    // Only the readable formats are Find's and the command line's: the second codec's row
    // is a list entry, so "jpg" still reads with the card editor's JPEG picture.
    const auto rows = card::PictureFormatRows();
    ASSERT_EQ(rows.size(), card::PictureFormats().size() + 1);
    EXPECT_EQ(rows.back().reader, BackgroundReader::None);
    EXPECT_EQ(card::FormatForPath("a.jpg")->reader, BackgroundReader::Jpeg);
    EXPECT_EQ(card::FormatForFileName("a.JPG")->reader, BackgroundReader::Jpeg);
}

// The save dialog's preview takes the class the format list yields for the ending (the newest
// row), by the picture holder's rule for the ending; endings the table lacks have no row.
TEST(PictureTable, ThePreviewChoosesTheFormatListsNewestRow) {
    const auto previewClass = [](std::string_view path) -> const graphics::TGraphicClass* {
        const card::PictureFormat* format = card::FormatForPreview(path);
        return format == nullptr ? nullptr : &format->pictureClass();
    };
    EXPECT_EQ(previewClass("/cards/dx.JPG"), &tjpeg::TJpegFileImage::Class());
    EXPECT_EQ(previewClass("/cards/.jpg"), &tjpeg::TJpegFileImage::Class()) << "a name of its own";
    EXPECT_EQ(previewClass("dx.jpeg"), &jpeg::TJPEGImage::Class());
    EXPECT_EQ(previewClass("dx.Gif"), &gif::TGIFImage::Class());
    EXPECT_EQ(previewClass("dx.bmp"), &graphics::TBitmap::Class());
    EXPECT_EQ(previewClass("dx.ico"), nullptr);
    EXPECT_EQ(previewClass("photojpg"), nullptr);
    EXPECT_EQ(previewClass("dir.jpg/photo"), nullptr);
    EXPECT_EQ(card::KnownEndings(" or "), "bmp, jpg, jpeg or gif");
}

// The preview reads by the table, whatever the format list holds, and refuses an ending it
// lacks with the picture holder's message.
TEST(PictureTable, ThePreviewReadsWithTheChosenClass) {
    graphics::TBitmap stored;
    stored.SetPixelFormat(graphics::pf24bit);
    stored.SetSize(12, 8);
    jpeg::TJPEGImage encoder;
    encoder.CopyFrom(&stored);
    graphics::TMemoryStream stream;
    encoder.SaveToStream(stream);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("velmora-table-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (const char* name : {"a.jpg", "a.jpeg"}) {
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(stream.Memory().data()),
                   std::streamsize(stream.Memory().size()));
    }
    graphics::TPicture picture;
    card::ReadPreview(picture, (folder / "a.jpg").string());
    EXPECT_NE(dynamic_cast<tjpeg::TJpegFileImage*>(picture.HeldGraphic()), nullptr);
    EXPECT_EQ(picture.Width(), 12);
    card::ReadPreview(picture, (folder / "a.jpeg").string());
    EXPECT_NE(dynamic_cast<jpeg::TJPEGImage*>(picture.HeldGraphic()), nullptr);
    try {
        card::ReadPreview(picture, (folder / "a.wmf").string());
        ADD_FAILURE() << "no row for wmf";
    } catch (const graphics::EInvalidGraphic& error) {
        EXPECT_STREQ(error.what(), "Unknown picture file extension (.wmf)");
    }
    EXPECT_NE(dynamic_cast<jpeg::TJPEGImage*>(picture.HeldGraphic()), nullptr) << "kept";
    std::filesystem::remove_all(folder);
}

} // namespace
