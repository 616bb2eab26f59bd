// Turning pictures upright: TurnUpright pixel for pixel in every pixel format against turns
// composed of plain rotations and a mirror, and JPEG files tagged with every EXIF orientation
// handed over upright (damaged or missing tags: as stored, as before).
#include "card/Orientation.h"

#include "card/Background.h"
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/Color.h"
#include "graphics/Picture.h"
#include "graphics/PictureFormats.h"
#include "jpeg/JPEGExif.h"
#include "jpeg/JPEGImage.h"
#include "support/ExifJpeg.h"
#include "tjpeg/JpegFileImage.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

using card::TOrientation;
using graphics::TBitmap;
using graphics::TColor;

// ---- TurnUpright against a model ---------------------------------------------------------------

// Which stored pixel is seen at each place: a grid of stored coordinates.
struct Grid {
    int width = 0;
    int height = 0;
    std::vector<std::pair<int, int>> at; // row by row

    std::pair<int, int> operator()(int x, int y) const {
        return at[size_t(y) * size_t(width) + size_t(x)];
    }
};

Grid Identity(int width, int height) {
    Grid grid{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            grid.at.emplace_back(x, y);
    return grid;
}

// A quarter turn clockwise: the left column, read bottom to top, becomes the top row.
Grid RotateClockwise(const Grid& g) {
    Grid turned{g.height, g.width, {}};
    for (int y = 0; y < turned.height; ++y)
        for (int x = 0; x < turned.width; ++x)
            turned.at.push_back(g(y, g.height - 1 - x));
    return turned;
}

Grid MirrorLeftRight(const Grid& g) {
    Grid mirrored{g.width, g.height, {}};
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            mirrored.at.push_back(g(g.width - 1 - x, y));
    return mirrored;
}

Grid Turns(Grid g, int quarterTurns) {
    for (int i = 0; i < quarterTurns; ++i)
        g = RotateClockwise(g);
    return g;
}

// Each orientation as a mirror (or none) followed by quarter turns clockwise: 5 is the mirror
// image turned three quarters, 7 the mirror image turned one quarter.
Grid Seen(TOrientation orientation, int width, int height) {
    const Grid stored = Identity(width, height);
    switch (orientation) {
    case TOrientation::Upright:
        return stored;
    case TOrientation::MirrorHorizontal:
        return MirrorLeftRight(stored);
    case TOrientation::Rotate180:
        return Turns(stored, 2);
    case TOrientation::MirrorVertical:
        return Turns(MirrorLeftRight(stored), 2);
    case TOrientation::Transpose:
        return Turns(MirrorLeftRight(stored), 3);
    case TOrientation::Rotate90Cw:
        return Turns(stored, 1);
    case TOrientation::Transverse:
        return Turns(MirrorLeftRight(stored), 1);
    case TOrientation::Rotate270Cw:
        return Turns(stored, 3);
    }
    return stored;
}

// Every byte of every row gets a value of its own, so each pixel's bits differ from its
// neighbours' in every format.
void FillRows(TBitmap& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        auto row = bitmap.RowAddress(y);
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = uint8_t(i * 37 + size_t(y) * 101 + 11);
    }
}

std::unique_ptr<TBitmap> MakeStored(graphics::TPixelFormat format, int width, int height) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(width, height);
    FillRows(*bitmap);
    return bitmap;
}

// The palette, made from the colour table first where the bitmap has none yet.
std::vector<platform::PALETTEENTRY> PaletteEntries(TBitmap& bitmap) {
    platform::GdiPalette* palette = bitmap.PaletteHandle();
    if (palette == nullptr)
        return {};
    uint16_t count = 0;
    platform::GetObject(*palette, count);
    std::vector<platform::PALETTEENTRY> entries(count);
    entries.resize(platform::GetPaletteEntries(*palette, 0, entries));
    return entries;
}

bool SameEntries(const std::vector<platform::PALETTEENTRY>& a,
                 const std::vector<platform::PALETTEENTRY>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].peRed != b[i].peRed || a[i].peGreen != b[i].peGreen || a[i].peBlue != b[i].peBlue)
            return false;
    }
    return true;
}

constexpr std::array kAllOrientations{TOrientation::Upright,    TOrientation::MirrorHorizontal,
                                      TOrientation::Rotate180,  TOrientation::MirrorVertical,
                                      TOrientation::Transpose,  TOrientation::Rotate90Cw,
                                      TOrientation::Transverse, TOrientation::Rotate270Cw};

// Sizes that are not multiples of a byte, of 4-byte row padding or of the 16-row band.
TEST(TurnUpright, EveryOrientationInEveryPixelFormatMovesEachPixelWhereTheModelSays) {
    for (const auto format : {graphics::pf1bit, graphics::pf4bit, graphics::pf8bit,
                              graphics::pf16bit, graphics::pf24bit, graphics::pf32bit}) {
        const auto made = MakeStored(format, 37, 21);
        TBitmap& stored = *made;
        const auto palette = PaletteEntries(stored);
        for (const TOrientation orientation : kAllOrientations) {
            SCOPED_TRACE("format " + std::to_string(int(format)) + ", orientation " +
                         std::to_string(int(orientation)));
            const auto upright = card::TurnUpright(stored, orientation);
            const Grid seen = Seen(orientation, stored.Width(), stored.Height());
            ASSERT_EQ(upright->Width(), seen.width);
            ASSERT_EQ(upright->Height(), seen.height);
            EXPECT_EQ(upright->PixelFormat(), format);
            EXPECT_TRUE(SameEntries(PaletteEntries(*upright), palette)) << "palette kept";
            int wrong = 0;
            for (int y = 0; y < seen.height; ++y) {
                for (int x = 0; x < seen.width; ++x) {
                    const auto [sx, sy] = seen(x, y);
                    if (upright->Canvas().PixelAt(x, y) != stored.Canvas().PixelAt(sx, sy))
                        ++wrong;
                }
            }
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST(TurnUpright, ADeviceBitmapIsTurnedToo) {
    TBitmap device;
    device.SetSize(19, 7);
    device.Canvas().Brush().SetColor(0x0000FF);
    device.Canvas().FillArea({0, 0, 5, 3}); // red, stored top-left
    ASSERT_EQ(device.PixelFormat(), graphics::pfDevice);
    const auto turned = card::TurnUpright(device, TOrientation::Rotate90Cw);
    ASSERT_EQ(turned->Width(), 7);
    ASSERT_EQ(turned->Height(), 19);
    // A quarter turn clockwise takes the stored top-left corner to the top-right.
    EXPECT_EQ(turned->Canvas().PixelAt(6, 0), TColor(0x0000FF));
    EXPECT_EQ(turned->Canvas().PixelAt(0, 0), turned->Canvas().PixelAt(0, 18));
    EXPECT_NE(turned->Canvas().PixelAt(0, 0), TColor(0x0000FF));
}

// The same picture stored top row first and bottom row first turns into the same picture.
TEST(TurnUpright, RowsStoredTopDownAreTurnedLikeBottomUpOnes) {
    const fs::path corpus = fs::path(VELMORA_CORPUS_DIR) / "bmp" / "g";
    TBitmap bottomUp;
    bottomUp.ReadFromFile((corpus / "pal8.bmp").string());
    TBitmap topDown;
    topDown.ReadFromFile((corpus / "pal8topdown.bmp").string());
    ASSERT_LT(topDown.Description().dsBmih.biHeight, 0);
    for (const TOrientation orientation : {TOrientation::Rotate90Cw, TOrientation::Transverse}) {
        const auto a = card::TurnUpright(bottomUp, orientation);
        const auto b = card::TurnUpright(topDown, orientation);
        ASSERT_EQ(a->Width(), b->Width());
        ASSERT_EQ(a->Height(), b->Height());
        EXPECT_LT(b->Description().dsBmih.biHeight, 0) << "row order kept";
        int wrong = 0;
        for (int y = 0; y < a->Height(); ++y) {
            for (int x = 0; x < a->Width(); ++x)
                wrong += a->Canvas().PixelAt(x, y) != b->Canvas().PixelAt(x, y);
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(TurnUpright, UprightAndEmptyPicturesAreSharedAsTheyAre) {
    const auto made = MakeStored(graphics::pf24bit, 5, 3);
    TBitmap& stored = *made;
    const auto same = card::TurnUpright(stored, TOrientation::Upright);
    EXPECT_TRUE(same->SharesImageWith(stored));
    const auto unknown = card::TurnUpright(stored, TOrientation(9));
    EXPECT_TRUE(unknown->SharesImageWith(stored));
    TBitmap empty;
    const auto none = card::TurnUpright(empty, TOrientation::Rotate90Cw);
    EXPECT_TRUE(none->IsEmpty());
}

// ---- JPEG files tagged with an orientation -----------------------------------------------------

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kWhite = 0xFFFFFF;

enum class Corner { TopLeft, TopRight, BottomLeft, BottomRight };

// Where the file stores the picture's visual top-left and top-right corners, from the tag's
// definition of the stored 0th row and 0th column: for 6 the 0th row is seen on the right and
// the 0th column at the top, so the visual top-left is stored at the start of the last row.
struct Tagged {
    int orientation;
    Corner visualTopLeft;
    Corner visualTopRight;
};
constexpr std::array kTags{
    Tagged{1, Corner::TopLeft, Corner::TopRight},
    Tagged{2, Corner::TopRight, Corner::TopLeft},
    Tagged{3, Corner::BottomRight, Corner::BottomLeft},
    Tagged{4, Corner::BottomLeft, Corner::BottomRight},
    Tagged{5, Corner::TopLeft, Corner::BottomLeft},
    Tagged{6, Corner::BottomLeft, Corner::TopLeft},
    Tagged{7, Corner::BottomRight, Corner::TopRight},
    Tagged{8, Corner::TopRight, Corner::BottomRight},
};

platform::RECT CornerBlock(Corner corner, int width, int height, int side) {
    const bool right = corner == Corner::TopRight || corner == Corner::BottomRight;
    const bool bottom = corner == Corner::BottomLeft || corner == Corner::BottomRight;
    const int left = right ? width - side : 0;
    const int top = bottom ? height - side : 0;
    return {left, top, left + side, top + side};
}

bool Near(TColor a, TColor b) {
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 40)
            return false;
    }
    return true;
}

class OrientationFiles : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("velmora-orientation-" + std::to_string(::getpid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // The picture of a visual width x height with a red block at its visual top-left corner and
    // a blue one at its visual top-right, stored as the tag says, encoded, and written with an
    // EXIF segment carrying payload (none when empty).
    fs::path WriteTagged(const Tagged& tag, int width, int height, int side,
                         const std::vector<uint8_t>& payload, const std::string& name) {
        const bool swap = tag.orientation >= 5;
        const int storedWidth = swap ? height : width;
        const int storedHeight = swap ? width : height;
        TBitmap stored;
        stored.SetPixelFormat(graphics::pf24bit);
        stored.SetSize(storedWidth, storedHeight);
        graphics::TCanvas& canvas = stored.Canvas();
        canvas.Brush().SetColor(kWhite);
        canvas.FillArea({0, 0, storedWidth, storedHeight});
        canvas.Brush().SetColor(kRed);
        canvas.FillArea(CornerBlock(tag.visualTopLeft, storedWidth, storedHeight, side));
        canvas.Brush().SetColor(kBlue);
        canvas.FillArea(CornerBlock(tag.visualTopRight, storedWidth, storedHeight, side));

        jpeg::TJPEGImage encoder;
        encoder.CopyFrom(&stored);
        graphics::TMemoryStream stream;
        encoder.SaveToStream(stream);
        std::vector<uint8_t> bytes(stream.Memory().begin(), stream.Memory().end());
        if (!payload.empty())
            bytes = testsupport::WithApp1(bytes, payload);
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }

    fs::path folder_;
};

// The block centres of a handed-over picture of width x height with blocks of side.
void ExpectUprightCorners(TBitmap& bitmap, int width, int height, int side) {
    ASSERT_EQ(bitmap.Width(), width);
    ASSERT_EQ(bitmap.Height(), height);
    graphics::TCanvas& canvas = bitmap.Canvas();
    const int near = side / 2;
    EXPECT_TRUE(Near(canvas.PixelAt(near, near), kRed)) << std::hex << canvas.PixelAt(near, near);
    EXPECT_TRUE(Near(canvas.PixelAt(width - 1 - near, near), kBlue));
    EXPECT_TRUE(Near(canvas.PixelAt(near, height - 1 - near), kWhite));
    EXPECT_TRUE(Near(canvas.PixelAt(width - 1 - near, height - 1 - near), kWhite));
}

TEST_F(OrientationFiles, EveryTaggedPhotoIsHandedOverUpright) {
    for (const Tagged& tag : kTags) {
        SCOPED_TRACE("orientation " + std::to_string(tag.orientation));
        const fs::path path =
            WriteTagged(tag, 48, 32, 16, testsupport::ExifPayload(unsigned(tag.orientation)),
                        "tagged" + std::to_string(tag.orientation) + ".jpg");
        jpeg::TJPEGImage picture;
        TBitmap work;
        card::HandOverJpeg(picture, work, path.string());
        EXPECT_EQ(picture.Orientation(), tag.orientation);
        ExpectUprightCorners(work, 48, 32, 16);
    }
}

// A phone's portrait shot at the card's size: stored lying on its side, it becomes the card
// upright and whole.
TEST_F(OrientationFiles, APhonePortraitAtTheCardSizeBecomesTheCardUpright) {
    const fs::path path =
        WriteTagged(kTags[5], 495, 315, 48, testsupport::ExifPayload(6), "portrait.jpg");
    card::BackgroundObjects objects;
    TBitmap& work = card::LoadBackground(objects, path.string());
    ExpectUprightCorners(work, 495, 315, 48);
}

// Without a tag, or with damaged EXIF data, the picture goes on as stored: the very pixels of
// the same file without any EXIF segment.
TEST_F(OrientationFiles, DamagedOrMissingTagsLeaveThePictureAsStored) {
    const Tagged asStored = kTags[0];
    const fs::path plainPath = WriteTagged(asStored, 40, 24, 8, {}, "plain.jpg");
    jpeg::TJPEGImage plainPicture;
    TBitmap plain;
    card::HandOverJpeg(plainPicture, plain, plainPath.string());
    const graphics::TPixelFormat plainFormat = plain.PixelFormat();
    ExpectUprightCorners(plain, 40, 24, 8);
    EXPECT_FALSE(plain.IsEmpty());

    std::vector<uint8_t> truncated = testsupport::ExifPayload(6);
    truncated.resize(16);
    std::vector<uint8_t> badMark = testsupport::ExifPayload(6);
    badMark[6] = badMark[7] = 'Z';
    std::vector<uint8_t> garbage{'E', 'x', 'i', 'f', 0, 0};
    for (int i = 0; i < 64; ++i)
        garbage.push_back(uint8_t(i * 89 + 7));
    for (const auto& [what, payload] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"tagged 1", testsupport::ExifPayload(1)},
             {"truncated", truncated},
             {"wrong byte order mark", badMark},
             {"garbage", garbage}}) {
        SCOPED_TRACE(what);
        const fs::path path = WriteTagged(asStored, 40, 24, 8, payload, "damaged.jpg");
        jpeg::TJPEGImage picture;
        TBitmap work;
        ASSERT_NO_THROW(card::HandOverJpeg(picture, work, path.string()));
        EXPECT_EQ(picture.Orientation(), 1);
        ASSERT_EQ(work.Width(), plain.Width());
        ASSERT_EQ(work.Height(), plain.Height());
        EXPECT_EQ(work.PixelFormat(), plainFormat);
        for (int y = 0; y < work.Height(); ++y) {
            const auto a = work.RowAddress(y);
            const auto b = plain.RowAddress(y);
            ASSERT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << "row " << y;
        }
    }
}

// A picture holder that read a tagged file by its extension shows it upright; other pictures
// stay the graphic they are.
TEST_F(OrientationFiles, AHeldJpegIsReplacedByItsUprightBitmap) {
    const fs::path tagged = WriteTagged(kTags[7], 48, 32, 16, testsupport::ExifPayload(8), "8.jpg");
    // The card editor's JPEG picture reads ".jpg" here (at start-up the second codec's entry
    // follows it).
    graphics::RegisterFileFormat("jpg", "JPEG Image File", jpeg::TJPEGImage::Class());
    graphics::TPicture picture;
    picture.LoadFromFile(tagged.string());
    card::MakeHeldPictureUpright(picture);
    auto* bitmap = dynamic_cast<TBitmap*>(picture.HeldGraphic());
    ASSERT_NE(bitmap, nullptr);
    ExpectUprightCorners(*bitmap, 48, 32, 16);

    const fs::path plain = WriteTagged(kTags[0], 48, 32, 16, {}, "1.jpg");
    picture.LoadFromFile(plain.string());
    card::MakeHeldPictureUpright(picture);
    EXPECT_NE(dynamic_cast<jpeg::TJPEGImage*>(picture.HeldGraphic()), nullptr);
    graphics::UnregisterGraphicClass(jpeg::TJPEGImage::Class());
}

// The second codec's picture (what a ".jpg" is in the save dialog's preview) finds the tag in its
// own bytes and is turned like the first codec's.
TEST_F(OrientationFiles, TheSecondCodecsPictureIsTurnedToo) {
    for (const Tagged& tag : kTags) {
        SCOPED_TRACE("orientation " + std::to_string(tag.orientation));
        const fs::path path =
            WriteTagged(tag, 48, 32, 16, testsupport::ExifPayload(unsigned(tag.orientation)),
                        "second" + std::to_string(tag.orientation) + ".jpg");
        tjpeg::TJpegFileImage file;
        file.ReadFromFile(path.string());
        EXPECT_EQ(jpeg::ExifOrientationOfFile(file.Bytes()), tag.orientation);
        graphics::TPicture picture;
        picture.SetHeldGraphic(&file);
        card::MakeHeldPictureUpright(picture);
        auto* bitmap = dynamic_cast<TBitmap*>(picture.HeldGraphic());
        if (tag.orientation == 1) {
            EXPECT_NE(dynamic_cast<tjpeg::TJpegFileImage*>(picture.HeldGraphic()), nullptr);
            continue;
        }
        ASSERT_NE(bitmap, nullptr);
        ExpectUprightCorners(*bitmap, 48, 32, 16);
    }
}

// The marker walk finds EXIF behind other segments and a fill byte, and stops cleanly at a
// missing SOI, a length running past the end or the scan before any EXIF segment.
TEST(ExifOrientationOfFile, FindsTheFirstExifSegmentBeforeTheScan) {
    const std::vector<uint8_t> exif = testsupport::ExifPayload(6);
    std::vector<uint8_t> app1{0xFF, 0xE1, uint8_t((exif.size() + 2) >> 8),
                              uint8_t((exif.size() + 2) & 0xFF)};
    app1.insert(app1.end(), exif.begin(), exif.end());
    const auto file = [&](std::vector<uint8_t> before, bool withExif) {
        std::vector<uint8_t> bytes{0xFF, 0xD8};
        bytes.insert(bytes.end(), before.begin(), before.end());
        if (withExif)
            bytes.insert(bytes.end(), app1.begin(), app1.end());
        bytes.insert(bytes.end(), {0xFF, 0xD9});
        return bytes;
    };
    EXPECT_EQ(jpeg::ExifOrientationOfFile(file({}, true)), 6);
    EXPECT_EQ(jpeg::ExifOrientationOfFile(file({0xFF}, true)), 6) << "fill byte";
    EXPECT_EQ(jpeg::ExifOrientationOfFile(file({0xFF, 0xE0, 0x00, 0x04, 'J', 'F'}, true)), 6);
    EXPECT_EQ(jpeg::ExifOrientationOfFile(file({0xFF, 0xE1, 0x00, 0x05, 'X', 'M', 'P'}, true)), 6)
        << "an APP1 that is not EXIF";
    std::vector<uint8_t> noSoi = file({}, true);
    noSoi[1] = 0xD9;
    EXPECT_EQ(jpeg::ExifOrientationOfFile(noSoi), 1);
    EXPECT_EQ(jpeg::ExifOrientationOfFile(file({0xFF, 0xDA, 0x00, 0x02}, true)), 1) << "after SOS";
    std::vector<uint8_t> cut = file({}, true);
    cut.resize(20);
    EXPECT_EQ(jpeg::ExifOrientationOfFile(cut), 1);
    EXPECT_EQ(jpeg::ExifOrientationOfFile(file({0xFF, 0xE0, 0xFF, 0xFF}, true)), 1)
        << "length past the end";
    EXPECT_EQ(jpeg::ExifOrientationOfFile({}), 1);
}

} // namespace
