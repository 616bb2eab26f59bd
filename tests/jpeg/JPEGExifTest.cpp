// What the header check learns from a file's EXIF segment (the Orientation tag, read with
// libexif), and how damaged EXIF data is ignored.

#include "JpegTestSupport.h"
#include "jpeg/JPEGImage.h"
#include "support/ExifJpeg.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace jpegtest;
using testsupport::ExifPayload;
using testsupport::WithApp1;

namespace {

std::vector<uint8_t> EncodePlain() {
    graphics::TBitmap bitmap;
    MakeBitmap(bitmap, 24, 16, [](int x, int y) {
        return Bgr{uint8_t(x * 9), uint8_t(y * 13), uint8_t(200 - x * 4 - y * 3)};
    });
    jpeg::TJPEGImage picture;
    picture.CopyFrom(&bitmap);
    graphics::TMemoryStream stream;
    picture.SaveToStream(stream);
    return {stream.Memory().begin(), stream.Memory().end()};
}

const std::vector<uint8_t>& Plain() {
    static const std::vector<uint8_t> bytes = EncodePlain();
    return bytes;
}

void LoadBytes(jpeg::TJPEGImage& picture, const std::vector<uint8_t>& bytes) {
    graphics::TMemoryStream stream(bytes);
    picture.LoadFromStream(stream);
}

int OrientationOf(const std::vector<uint8_t>& bytes) {
    jpeg::TJPEGImage picture;
    LoadBytes(picture, bytes);
    return picture.Orientation();
}

// Every row of the decoded picture.
std::vector<std::vector<uint8_t>> DecodedRows(const std::vector<uint8_t>& bytes) {
    jpeg::TJPEGImage picture;
    LoadBytes(picture, bytes);
    graphics::TBitmap& bitmap = picture.Bitmap();
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const auto row = bitmap.RowAddress(y);
        rows.emplace_back(row.begin(), row.end());
    }
    return rows;
}

TEST(JpegExif, EveryOrientationIsReadInBothByteOrders) {
    for (const ExifByteOrder order : {EXIF_BYTE_ORDER_INTEL, EXIF_BYTE_ORDER_MOTOROLA}) {
        for (unsigned value = 1; value <= 8; ++value) {
            const std::vector<uint8_t> payload = ExifPayload(value, order);
            ASSERT_TRUE(std::equal(payload.begin(), payload.begin() + 6, "Exif\0\0"));
            EXPECT_EQ(OrientationOf(WithApp1(Plain(), payload)), int(value))
                << "byte order " << order;
        }
    }
}

// The tag says how to show the picture; the picture itself stays the file's pixels as stored,
// exactly as a file without the segment decodes.
TEST(JpegExif, TheDecodedPictureIsTheStoredOne) {
    const std::vector<uint8_t> tagged = WithApp1(Plain(), ExifPayload(6));
    jpeg::TJPEGImage picture;
    LoadBytes(picture, tagged);
    EXPECT_EQ(picture.Width(), 24);
    EXPECT_EQ(picture.Height(), 16);
    EXPECT_EQ(DecodedRows(tagged), DecodedRows(Plain()));
}

TEST(JpegExif, WithoutAnExifTagTheOrientationIsUpright) {
    EXPECT_EQ(OrientationOf(Plain()), 1);
    // An APP1 segment of another kind (XMP) is no EXIF segment.
    const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/") + '\0' + "<x:xmpmeta/>";
    EXPECT_EQ(OrientationOf(WithApp1(Plain(), std::vector<uint8_t>(xmp.begin(), xmp.end()))), 1);
    // A picture made from a bitmap has no file behind it.
    graphics::TBitmap bitmap;
    MakeBitmap(bitmap, 4, 4, [](int, int) { return Bgr{}; });
    jpeg::TJPEGImage made;
    made.CopyFrom(&bitmap);
    EXPECT_EQ(made.Orientation(), 1);
}

TEST(JpegExif, TheFirstExifSegmentCountsWhereverItIs) {
    const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/") + '\0' + "<x:xmpmeta/>";
    // WithApp1 inserts at the front: the XMP segment comes first here, then EXIF with 6, then 3.
    const std::vector<uint8_t> bytes =
        WithApp1(WithApp1(WithApp1(Plain(), ExifPayload(3)), ExifPayload(6)),
                 std::vector<uint8_t>(xmp.begin(), xmp.end()));
    EXPECT_EQ(OrientationOf(bytes), 6);

    // A segment of the largest size is read whole.
    std::vector<uint8_t> large = ExifPayload(8);
    large.resize(65533, 0);
    EXPECT_EQ(OrientationOf(WithApp1(Plain(), large)), 8);
}

TEST(JpegExif, ACopyOfThePictureKeepsItsOrientation) {
    jpeg::TJPEGImage picture;
    LoadBytes(picture, WithApp1(Plain(), ExifPayload(5)));
    jpeg::TJPEGImage copy;
    copy.CopyFrom(&picture);
    EXPECT_EQ(copy.Orientation(), 5);
    // Loading another file replaces it.
    LoadBytes(copy, Plain());
    EXPECT_EQ(copy.Orientation(), 1);
}

// Damaged EXIF data is never an error: the picture is shown as stored and decodes exactly as the
// same file without the segment.
TEST(JpegExif, DamagedExifDataIsIgnored) {
    const std::vector<uint8_t> good = ExifPayload(6);
    // "Exif\0\0", then the TIFF header: byte order (2), 42 (2), offset of the first IFD (4); then
    // the IFD: entry count (2) and 12-byte entries.
    struct Damage {
        const char* what;
        std::vector<uint8_t> payload;
    };
    std::vector<Damage> cases;
    for (const size_t cut : {6u, 8u, 12u, 14u, 16u, 22u}) {
        ASSERT_LT(cut, good.size());
        cases.push_back({"cut", {good.begin(), good.begin() + long(cut)}});
    }
    {
        std::vector<uint8_t> garbage(good.begin(), good.begin() + 6);
        uint32_t state = 12345;
        for (int i = 0; i < 300; ++i) {
            state = state * 1103515245u + 12345u;
            garbage.push_back(uint8_t(state >> 16));
        }
        cases.push_back({"garbage after the identifier", garbage});
    }
    {
        std::vector<uint8_t> mark = good;
        mark[6] = 'X';
        mark[7] = 'Y';
        cases.push_back({"unknown byte order mark", mark});
    }
    {
        std::vector<uint8_t> mixed = good;
        mixed[6] = 'I';
        mixed[7] = 'M';
        cases.push_back({"mixed byte order mark", mixed});
    }
    {
        std::vector<uint8_t> far = good; // Intel order: the IFD offset is little-endian
        far[10] = 0xF0;
        far[11] = far[12] = far[13] = 0xFF;
        cases.push_back({"first IFD beyond the end", far});
    }
    {
        // The first entry is the Orientation tag: tag (2), type (2), count (4), value (4).
        std::vector<uint8_t> typed = good;
        const size_t entry = 6 + size_t(good[10] | good[11] << 8) + 2;
        ASSERT_EQ(typed[entry] | typed[entry + 1] << 8, 0x0112);
        typed[entry + 2] = 4; // LONG instead of SHORT
        cases.push_back({"tag of the wrong type", typed});
    }
    for (const unsigned value : {0u, 9u, 0xFFFFu})
        cases.push_back({"value outside 1..8", ExifPayload(value)});

    const auto expected = DecodedRows(Plain());
    for (const Damage& damage : cases) {
        const std::vector<uint8_t> bytes = WithApp1(Plain(), damage.payload);
        int orientation = 0;
        EXPECT_NO_THROW(orientation = OrientationOf(bytes)) << damage.what;
        EXPECT_EQ(orientation, 1) << damage.what;
        EXPECT_EQ(DecodedRows(bytes), expected) << damage.what;
    }
}

} // namespace
