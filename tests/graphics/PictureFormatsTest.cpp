// The picture format list and the filter string of the picture dialogs.
#include "graphics/PictureFormats.h"

#include "TestSupport.h"
#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/Stream.h"
#include "platform/Clipboard.h"

#include <gtest/gtest.h>

namespace graphics {
namespace {

// Stand-ins named like the reader classes that register themselves at start-up.
struct JpegTag {
    static constexpr const char* name = "TJPEGImage";
    static const TGraphicClass& Parent() { return TGraphic::Class(); }
};
struct GifTag {
    static constexpr const char* name = "TGIFImage";
    static const TGraphicClass& Parent() { return TGraphic::Class(); }
};
struct SecondCodecTag {
    static constexpr const char* name = "TJpegImage";
    static const TGraphicClass& Parent() { return TGraphic::Class(); }
};
using FakeJpeg = test::DummyGraphic<JpegTag>;
using FakeGif = test::DummyGraphic<GifTag>;
using FakeSecondCodec = test::DummyGraphic<SecondCodecTag>;

struct DerivedJpegTag {
    static constexpr const char* name = "TDerivedJPEG";
    static const TGraphicClass& Parent() { return FakeJpeg::Class(); }
};
using FakeDerivedJpeg = test::DummyGraphic<DerivedJpegTag>;

// Registers the start-up entries for one test and removes them again.
class StartupFormats : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterFileFormat("jpeg", "JPEG Image File", FakeJpeg::Class());
        RegisterFileFormat("jpg", "JPEG Image File", FakeJpeg::Class());
        RegisterFileFormat("GIF", "GIF Image", FakeGif::Class());
        RegisterFileFormat("jpg", "Jpeg file", FakeSecondCodec::Class());
    }
    void TearDown() override {
        UnregisterGraphicClass(FakeJpeg::Class());
        UnregisterGraphicClass(FakeGif::Class());
        UnregisterGraphicClass(FakeSecondCodec::Class());
    }
};

TEST(PictureFormats, SystemEntriesExistFromTheStart) {
    EXPECT_EQ(FindGraphicClass("bmp"), &TBitmap::Class());
    EXPECT_EQ(FindGraphicClass("BMP"), &TBitmap::Class());
    EXPECT_EQ(FindGraphicClass("ico"), &TIcon::Class());
    EXPECT_EQ(FindGraphicClass("wmf"), &TMetafile::Class());
    EXPECT_EQ(FindGraphicClass("emf"), &TMetafile::Class());
    EXPECT_EQ(FindGraphicClass("png"), nullptr);
    EXPECT_EQ(GraphicFilter(TGraphic::Class()),
              "All (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf|Bitmaps (*.bmp)|*.bmp|"
              "Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
}

TEST_F(StartupFormats, FilterListsNewestFirstAfterAnAllEntry) {
    EXPECT_EQ(GraphicFilter(TGraphic::Class()),
              "All (*.jpg;*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)|"
              "*.jpg;*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf|"
              "Jpeg file (*.jpg)|*.jpg|GIF Image (*.gif)|*.gif|"
              "JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg|"
              "Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico|"
              "Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
}

TEST_F(StartupFormats, TheEntryAddedLastWins) {
    EXPECT_EQ(FindGraphicClass("jpg"), &FakeSecondCodec::Class());
    EXPECT_EQ(FindGraphicClass("JPEG"), &FakeJpeg::Class());
    EXPECT_EQ(FindGraphicClass("gif"), &FakeGif::Class());
    EXPECT_EQ(GraphicExtension(FakeJpeg::Class()), "jpg");
    EXPECT_EQ(GraphicExtension(FakeGif::Class()), "gif");
}

TEST_F(StartupFormats, FilterOfOneClassHasNoAllEntry) {
    EXPECT_EQ(GraphicFilter(FakeGif::Class()), "GIF Image (*.gif)|*.gif");
    EXPECT_EQ(GraphicFilter(TBitmap::Class()), "Bitmaps (*.bmp)|*.bmp");
    EXPECT_EQ(GraphicFilter(FakeJpeg::Class()),
              "All (*.jpg;*.jpeg)|*.jpg;*.jpeg|JPEG Image File (*.jpg)|*.jpg|"
              "JPEG Image File (*.jpeg)|*.jpeg");
}

TEST_F(StartupFormats, RemovingAClassRemovesItsDescendants) {
    RegisterFileFormat("jfx", "Derived", FakeDerivedJpeg::Class());
    EXPECT_EQ(FindGraphicClass("jfx"), &FakeDerivedJpeg::Class());
    UnregisterGraphicClass(FakeJpeg::Class());
    EXPECT_EQ(FindGraphicClass("jfx"), nullptr);
    EXPECT_EQ(FindGraphicClass("jpeg"), nullptr);
    EXPECT_EQ(FindGraphicClass("jpg"), &FakeSecondCodec::Class());
}

TEST_F(StartupFormats, EntriesWithoutExtensionAreLeftOutOfTheFilter) {
    RegisterFileFormat("", "Nothing", FakeGif::Class());
    EXPECT_EQ(GraphicFilter(FakeGif::Class()), "GIF Image (*.gif)|*.gif");
}

TEST(GraphicClass, VirtualConstructorAndAncestry) {
    EXPECT_TRUE(TBitmap::Class().InheritsFrom(TGraphic::Class()));
    EXPECT_FALSE(TGraphic::Class().InheritsFrom(TBitmap::Class()));
    EXPECT_TRUE(FakeDerivedJpeg::Class().InheritsFrom(FakeJpeg::Class()));
    auto bitmap = TBitmap::Class().Create();
    EXPECT_EQ(bitmap->ClassName(), "TBitmap");
    EXPECT_NE(dynamic_cast<TBitmap*>(bitmap.get()), nullptr);
    EXPECT_THROW(TGraphic::Class().Create(), EInvalidGraphicOperation);
    TIcon icon;
    EXPECT_EQ(icon.Construct()->ClassName(), "TIcon");
}

// The two placeholder classes hold nothing and say which kind of file they cannot read.
TEST(GraphicClass, MetafilesAndIconsRefuseToLoadWithTheirOwnMessage) {
    auto expectRefusal = [](TGraphic& graphic, const char* message) {
        TMemoryStream stream;
        try {
            graphic.LoadFromStream(stream);
            ADD_FAILURE() << "loaded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), message);
        }
        try {
            graphic.ImportClipboardData(platform::CF_BITMAP, nullptr, nullptr);
            ADD_FAILURE() << "imported";
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), "Unsupported clipboard format");
        }
        EXPECT_TRUE(graphic.IsEmpty());
    };
    TMetafile metafile;
    TIcon icon;
    expectRefusal(metafile, "Metafile is not valid");
    expectRefusal(icon, "Icon image is not valid");
    EXPECT_FALSE(TMetafile::Class().InheritsFrom(TIcon::Class()));
    EXPECT_NE(&TMetafile::Class(), &TIcon::Class());
}

} // namespace
} // namespace graphics
