// The picture table against the rules its users had before it: Find's matching by the last
// characters, the command line's by the ending after the dot, and the picture format list that
// the reader modules fill at start-up.
#include "card/PictureTable.h"

#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "graphics/PictureFormats.h"
#include "jpeg/JPEGImage.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

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

// The reader modules enter their formats in the list themselves; the table must say the same.
TEST(PictureTable, AgreesWithThePictureFormatList) {
    jpeg::InitializeJPEGImageUnit();
    gif::InitializeGIFImageUnit();
    const std::string filter = graphics::GraphicFilter(graphics::TGraphic::Class());
    for (const card::PictureFormat& format : card::PictureFormats()) {
        EXPECT_EQ(graphics::FindGraphicClass(format.ending), &format.pictureClass())
            << format.ending;
        const std::string entry =
            std::string(format.description) + " (*." + std::string(format.ending) + ")";
        EXPECT_NE(filter.find(entry), std::string::npos) << entry << " in " << filter;
    }
}

} // namespace
