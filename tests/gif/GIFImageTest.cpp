// Reading GIF streams into the object model: signatures, colour tables, the block loop,
// extensions and their classes, zero-size frames, warnings, errors, progress, and what a failed
// load leaves behind.
#include "gif/GIFImage.h"

#include "GIFTestSupport.h"
#include "graphics/Stream.h"

#include <gtest/gtest.h>
#include <string>

using namespace giftest;
using gif::GIFException;
using gif::TGIFImage;

namespace {

struct Warning {
    std::string sender;
    int severity;
    std::string message;
};

// An image that records its warnings.
struct Loaded {
    std::unique_ptr<TGIFImage> image = std::make_unique<TGIFImage>();
    std::vector<Warning> warnings;

    Loaded() {
        image->WarningHandler = [this](graphics::TPersistent& sender, int severity,
                                       const std::string& message) {
            warnings.push_back({std::string(sender.ClassName()), severity, message});
        };
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> m;
        for (const Warning& w : warnings)
            m.push_back(w.message);
        return m;
    }
};

Loaded Load(const Bytes& bytes) {
    Loaded loaded;
    loaded.image->LoadFromBytes(bytes);
    return loaded;
}

// The message of the GIFException that loading raises; empty when it loads.
std::string LoadError(const Bytes& bytes) {
    TGIFImage image;
    try {
        image.LoadFromBytes(bytes);
    } catch (const GIFException& e) {
        return e.message();
    }
    return {};
}

const Bytes kFourPixels{0, 1, 2, 3};

// A 2 x 2 screen with a 4-colour global table and one frame covering it.
GifBuilder SmallGif() {
    GifBuilder b;
    b.Header(2, 2, 1).LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    return b;
}

} // namespace

// ---- Header -----------------------------------------------------------------------------------

TEST(GIFHeader, SignatureIsCheckedWithoutRegardToCaseAndVersion) {
    for (std::string_view signature : {"GIF89a", "GIF87a", "gif89a", "GiF12z"}) {
        GifBuilder b;
        b.Header(2, 2, 1, signature).LiteralImage(0, 0, 2, 2, kFourPixels, 2).Trailer();
        const Loaded l = Load(b.Data());
        EXPECT_EQ(l.image->Count(), 1) << signature;
        EXPECT_TRUE(l.warnings.empty()) << signature;
    }
    GifBuilder bad;
    bad.Header(2, 2, 1, "GIX89a").Trailer();
    EXPECT_EQ(LoadError(bad.Data()), gif::sInvalidGIFSignature);
}

TEST(GIFHeader, ShortFilesEndPrematurely) {
    EXPECT_EQ(LoadError({'G', 'I', 'F', '8', '9', 'a'}), gif::sPrematureEnd);
    EXPECT_EQ(LoadError({'G', 'I', 'F'}), gif::sPrematureEnd);
    // A global table of 4 entries with 2 present.
    EXPECT_EQ(LoadError({'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x81, 0, 0, 1, 2, 3, 4, 5, 6}),
              gif::sPrematureEnd);
}

TEST(GIFHeader, ScreenDescriptorIsKeptAsStored) {
    Bytes bytes{'G', 'I', 'F', '8', '9', 'a', 0x34, 0x12, 0x78, 0x56, 0x00, 7, 49, 0x3B};
    const Loaded l = Load(bytes);
    EXPECT_EQ(l.image->Width(), 0x1234);
    EXPECT_EQ(l.image->Height(), 0x5678);
    EXPECT_EQ(l.image->Header().Descriptor().BackgroundColorIndex, 7);
    EXPECT_EQ(l.image->Header().Descriptor().AspectRatio, 49);
    EXPECT_EQ(l.image->GlobalColorMap().Count(), 0);
    EXPECT_TRUE(l.image->IsEmpty());
}

TEST(GIFHeader, GlobalTableSizeBitsGiveTwoTo256Entries) {
    for (int bits : {0, 1, 3, 7}) {
        GifBuilder b;
        const std::vector<RGB> colors = TestColors(2 << bits);
        b.Header(1, 1, bits, "GIF89a", colors).LiteralImage(0, 0, 1, 1, Bytes{1}, 2).Trailer();
        const Loaded l = Load(b.Data());
        const gif::TGIFColorMap& map = l.image->GlobalColorMap();
        ASSERT_EQ(map.Count(), 2 << bits);
        EXPECT_EQ(map.Capacity(), (2 << bits) <= 16 ? 16 : 2 << bits);
        EXPECT_FALSE(map.Sorted());
        const RGB last = colors.back();
        EXPECT_EQ(map[map.Count() - 1], (gif::TGIFColor{last[0], last[1], last[2]}));
        // The frame after the table is found, so exactly 3 << bits... bytes were taken.
        EXPECT_EQ(l.image->Count(), 1) << bits;
        EXPECT_TRUE(l.warnings.empty());
    }
}

TEST(GIFHeader, SortFlagOfTheStreamIsNotTakenByTheTable) {
    Bytes bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x88, 0, 0, 1, 2, 3, 4, 5, 6, 0x3B};
    const Loaded l = Load(bytes);
    EXPECT_FALSE(l.image->GlobalColorMap().Sorted());
    EXPECT_EQ(l.image->Header().Descriptor().PackedFields, 0x88);
}

// ---- Block loop -------------------------------------------------------------------------------

TEST(GIFBlockLoop, ZeroBytesBetweenBlocksAreSkippedSilently) {
    GifBuilder b;
    b.Header(2, 2, 1).Raw({0, 0}).LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    b.Raw({0, 0, 0}).LiteralImage(0, 0, 2, 2, kFourPixels, 2).Raw({0, 0}).Trailer();
    const Loaded l = Load(b.Data());
    EXPECT_EQ(l.image->Count(), 2);
    EXPECT_TRUE(l.warnings.empty());
}

TEST(GIFBlockLoop, MissingTrailerLoadsWithoutWarning) {
    const Loaded l = Load(SmallGif().Data());
    ASSERT_EQ(l.image->Count(), 1);
    EXPECT_TRUE(l.warnings.empty());
    EXPECT_EQ(
        Bytes(l.image->SubImage(0).PixelData().begin(), l.image->SubImage(0).PixelData().end()),
        kFourPixels);
}

TEST(GIFBlockLoop, TrailingCommentIsAFrameWithoutImage) {
    GifBuilder b = SmallGif();
    b.Comment({"done"}).Trailer();
    const Loaded l = Load(b.Data());
    ASSERT_EQ(l.image->Count(), 2);
    const gif::TGIFSubImage& last = l.image->SubImage(1);
    EXPECT_EQ(last.Width(), 0);
    EXPECT_EQ(last.Height(), 0);
    EXPECT_EQ(last.DataSize(), 0u);
    EXPECT_TRUE(last.Empty());
    ASSERT_EQ(last.Extensions().Count(), 1);
    EXPECT_TRUE(l.warnings.empty());
}

TEST(GIFBlockLoop, UnknownBlockByteEndsReadingWithAWarning) {
    GifBuilder b = SmallGif();
    b.Raw({0x99}).LiteralImage(0, 0, 2, 2, kFourPixels, 2).Trailer();
    const Loaded l = Load(b.Data());
    EXPECT_EQ(l.image->Count(), 1);
    // The trailer check then reads the byte before 0x99: the image data's terminator.
    EXPECT_EQ(l.Messages(),
              (std::vector<std::string>{gif::sUnknownBlockType, gif::sInvalidTrailer}));
    EXPECT_EQ(l.warnings[0].severity, 1);
    EXPECT_EQ(l.warnings[0].sender, "TGIFImageList");
}

TEST(GIFBlockLoop, ByteOtherThanTheTrailerAtTheEndIsWarned) {
    GifBuilder b = SmallGif();
    b.Raw({0x3C});
    EXPECT_EQ(Load(b.Data()).Messages(),
              (std::vector<std::string>{gif::sUnknownBlockType, gif::sInvalidTrailer}));
}

TEST(GIFBlockLoop, ExtensionsBelongToTheFrameThatFollowsThem) {
    GifBuilder b;
    b.Header(2, 2, 1).Comment({"first"}).GraphicControl(0, 10, 0);
    b.LiteralImage(0, 0, 2, 2, kFourPixels, 2).GraphicControl(0, 20, 0);
    b.LiteralImage(0, 0, 2, 2, kFourPixels, 2).Trailer();
    const Loaded l = Load(b.Data());
    ASSERT_EQ(l.image->Count(), 2);
    EXPECT_EQ(l.image->SubImage(0).Extensions().Count(), 2);
    ASSERT_NE(l.image->SubImage(1).GraphicControlExtension(), nullptr);
    EXPECT_EQ(l.image->SubImage(1).GraphicControlExtension()->Delay(), 20);
}

// ---- Frames -----------------------------------------------------------------------------------

TEST(GIFFrame, ZeroSizeTakesTheLogicalScreenSize) {
    const Bytes pixels(100 * 80, 1);
    GifBuilder b;
    b.Header(100, 80, 1).LiteralImage(3, 4, 0, 5, pixels, 2).Trailer();
    const Loaded l = Load(b.Data());
    ASSERT_EQ(l.image->Count(), 1);
    const gif::TGIFSubImage& frame = l.image->SubImage(0);
    EXPECT_EQ(frame.Width(), 100);
    EXPECT_EQ(frame.Height(), 80);
    EXPECT_EQ(frame.Left(), 3);
    EXPECT_EQ(frame.DataSize(), 8000u);
    EXPECT_EQ(Bytes(frame.PixelData().begin(), frame.PixelData().end()), pixels);
    EXPECT_EQ(l.Messages(), std::vector<std::string>{gif::sImageExceedsScreen});
    EXPECT_EQ(l.warnings[0].sender, "TGIFSubImage");
}

TEST(GIFFrame, LocalTableAndInterlaceFlag) {
    const Bytes pixels{0, 0, 1, 1, 2, 2, 3, 3};
    GifBuilder b;
    b.Header(2, 4).LiteralImage(0, 0, 2, 4, pixels, 2, 0xC1).Trailer();
    const Loaded l = Load(b.Data());
    const gif::TGIFSubImage& frame = l.image->SubImage(0);
    EXPECT_TRUE(frame.Interlaced());
    EXPECT_EQ(frame.ColorMap().Count(), 4);
    // Fetched rows 0, 1, 2, 3 land on rows 0, 2, 1, 3.
    EXPECT_EQ(Bytes(frame.PixelData().begin(), frame.PixelData().end()),
              (Bytes{0, 0, 2, 2, 1, 1, 3, 3}));
}

TEST(GIFFrame, SeparatorByteIsStoredAsRead) {
    // An extension loop that meets 0x77 warns and reads it as the image descriptor's first
    // byte.
    GifBuilder b;
    b.Header(2, 2, 1).Comment({"x"}).Raw({0x77, 0, 0, 0, 0, 2, 0, 2, 0, 0});
    b.Append(LiteralImageData(kFourPixels, 2)).Trailer();
    const Loaded l = Load(b.Data());
    ASSERT_EQ(l.image->Count(), 1);
    EXPECT_EQ(l.image->SubImage(0).Descriptor().Separator, 0x77);
    EXPECT_EQ(l.Messages(), std::vector<std::string>{gif::sInvalidExtensionIntroducer});
}

TEST(GIFFrame, ZeroAfterExtensionsEndsTheFrameWithoutImage) {
    GifBuilder b;
    b.Header(2, 2, 1).Comment({"x"}).Raw({0x00}).LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    b.Trailer();
    const Loaded l = Load(b.Data());
    ASSERT_EQ(l.image->Count(), 2);
    EXPECT_TRUE(l.image->SubImage(0).Empty());
    EXPECT_EQ(l.image->SubImage(1).DataSize(), 4u);
    EXPECT_EQ(l.Messages(), std::vector<std::string>{gif::sInvalidExtensionIntroducer});
}

TEST(GIFFrame, HugeFramesAreRefusedBeforeAllocation) {
    GifBuilder b;
    b.Header(65535, 65535, 1).Image(0, 0, 65535, 65535, 0, Bytes{2, 1, 0x44, 0}).Trailer();
    EXPECT_EQ(LoadError(b.Data()), gif::sImageNotValid);
}

TEST(GIFFrame, DecodedBytesOfAllFramesShareOneLimit) {
    // The same checks at small limits: 100 pixels per frame, 250 bytes for the image.
    gif::SetDecodeLimitsForTesting(100, 250);
    const Bytes pixels(100, 1);
    GifBuilder b;
    b.Header(10, 10, 1);
    for (int i = 0; i < 3; ++i)
        b.LiteralImage(0, 0, 10, 10, pixels, 2);
    TGIFImage image;
    EXPECT_THROW(image.LoadFromBytes(b.Data()), GIFException);
    EXPECT_EQ(image.Count(), 2) << "the first two fit";
    GifBuilder wide;
    wide.Header(11, 10, 1).LiteralImage(0, 0, 11, 10, Bytes(110, 1), 2);
    EXPECT_EQ(LoadError(wide.Data()), gif::sImageNotValid);
    // Loading again starts the count afresh.
    GifBuilder two;
    two.Header(10, 10, 1)
        .LiteralImage(0, 0, 10, 10, pixels, 2)
        .LiteralImage(0, 0, 10, 10, pixels, 2);
    image.LoadFromBytes(two.Data());
    image.LoadFromBytes(two.Data());
    EXPECT_EQ(image.Count(), 2);
    gif::SetDecodeLimitsForTesting(gif::kDefaultMaxFramePixels, gif::kDefaultMaxDecodedBytes);
}

// ---- Extensions -------------------------------------------------------------------------------

TEST(GIFExtension, UnknownLabelFailsTheLoad) {
    GifBuilder b;
    b.Header(2, 2, 1).Raw({0x21, 0xFA, 0}).LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    EXPECT_EQ(LoadError(b.Data()), gif::sUnknownExtension);
    GifBuilder noLabel;
    noLabel.Header(2, 2, 1).Raw({0x21});
    EXPECT_EQ(LoadError(noLabel.Data()), gif::sUnknownExtension);
}

TEST(GIFExtension, GraphicControlFieldsAndTransparency) {
    GifBuilder b;
    b.Header(2, 2, 1).GraphicControl(0x09, 300, 3).LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    const Loaded l = Load(b.Data());
    const gif::TGIFSubImage& frame = l.image->SubImage(0);
    const gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    ASSERT_NE(gce, nullptr);
    EXPECT_EQ(gce->Disposal(), 2);
    EXPECT_EQ(gce->Delay(), 300);
    EXPECT_EQ(gce->TransparentColorIndex(), 3);
    EXPECT_TRUE(frame.HasTransparency());
    EXPECT_EQ(gce->ExtensionLabel(), 0xF9);
}

TEST(GIFExtension, ClearingAFrameDropsItsControlLinkAndTransparency) {
    GifBuilder b;
    b.Header(2, 2, 1).GraphicControl(0x01, 0, 3).GraphicControl(0x00, 5, 0);
    b.LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    Loaded l = Load(b.Data());
    gif::TGIFSubImage& frame = l.image->SubImage(0);
    // The link names the first control extension made for the frame.
    ASSERT_NE(frame.GraphicControlExtension(), nullptr);
    EXPECT_EQ(frame.GraphicControlExtension()->Delay(), 0);
    EXPECT_TRUE(frame.HasTransparency());
    frame.Clear();
    EXPECT_EQ(frame.GraphicControlExtension(), nullptr);
    EXPECT_FALSE(frame.HasTransparency());
}

TEST(GIFExtension, CommentStringsEndAtTheirFirstZeroByte) {
    GifBuilder b;
    b.Header(2, 2, 1).Raw({0x21, 0xFE, 5, 'A', 'B', 0, 'C', 'D', 2, 'E', 'F', 0});
    b.LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    const Loaded l = Load(b.Data());
    const auto* comment =
        dynamic_cast<const gif::TGIFCommentExtension*>(&l.image->SubImage(0).Extensions()[0]);
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->Comment(), (std::vector<std::string>{"AB", "EF"}));
}

TEST(GIFExtension, CommentCutByTheEndOfTheStream) {
    GifBuilder b;
    b.Header(2, 2, 1).LiteralImage(0, 0, 2, 2, kFourPixels, 2).Raw({0x21, 0xFE, 3, 'x'});
    EXPECT_EQ(LoadError(b.Data()), gif::sPrematureEnd);
    GifBuilder unterminated;
    unterminated.Header(2, 2, 1).Raw({0x21, 0xFE, 1, 'x'});
    const Loaded l = Load(unterminated.Data());
    EXPECT_EQ(l.image->Count(), 1);
}

TEST(GIFExtension, PlainTextHeaderAndText) {
    GifBuilder b;
    b.Header(2, 2, 1).Raw({0x21, 0x01, 12, 1, 0, 2, 0, 30, 0, 40, 0, 8, 16, 3, 4});
    b.Raw({5, 'h', 'e', 'l', 'l', 'o', 0}).LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    const Loaded l = Load(b.Data());
    const auto* text =
        dynamic_cast<const gif::TGIFTextExtension*>(&l.image->SubImage(0).Extensions()[0]);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->TextHeader().Width, 30);
    EXPECT_EQ(text->TextHeader().CellHeight, 16);
    EXPECT_EQ(text->TextHeader().BackgroundColorIndex, 4);
    EXPECT_EQ(text->Text(), std::vector<std::string>{"hello"});
}

TEST(GIFExtension, LoopingBlockIsRecognisedByItsExactIdentifier) {
    GifBuilder b;
    b.Header(2, 2, 1).Raw({0x21, 0xFF, 11}).Text("NETSCAPE2.0").Raw({3, 1, 0, 0, 0});
    b.LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    const Loaded l = Load(b.Data());
    const auto* loop =
        dynamic_cast<const gif::TGIFAppExtNSLoop*>(&l.image->SubImage(0).Extensions()[0]);
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->Loops(), 0);
    EXPECT_EQ(l.image->SubImage(0).DataSize(), 4u);

    GifBuilder lower;
    lower.Header(2, 2, 1).Raw({0x21, 0xFF, 11}).Text("netscape2.0").Raw({3, 1, 5, 0, 0});
    lower.LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    const Loaded u = Load(lower.Data());
    const auto* unknown =
        dynamic_cast<const gif::TGIFUnknownAppExtension*>(&u.image->SubImage(0).Extensions()[0]);
    ASSERT_NE(unknown, nullptr);
    ASSERT_EQ(unknown->Blocks().size(), 1u);
    EXPECT_EQ(Bytes(unknown->Blocks()[0]->Data().begin(), unknown->Blocks()[0]->Data().end()),
              (Bytes{1, 5, 0}));
    EXPECT_EQ(unknown->IdentifierText(), "netscape2.0");
}

TEST(GIFExtension, AnimExtsIsALoopingBlockToo) {
    GifBuilder b;
    b.Header(2, 2, 1).Raw({0x21, 0xFF, 11}).Text("ANIMEXTS1.0").Raw({3, 1, 7, 1, 0});
    b.LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    const Loaded l = Load(b.Data());
    const auto* loop =
        dynamic_cast<const gif::TGIFAppExtNSLoop*>(&l.image->SubImage(0).Extensions()[0]);
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->Loops(), 0x107);
}

TEST(GIFExtension, MalformedLoopingBlockIsInvalidData) {
    for (const Bytes& tail : {Bytes{4, 1, 0, 0, 0}, Bytes{3, 2, 0, 0, 0}, Bytes{3, 1, 0, 0, 9},
                              Bytes{3, 1, 0, 0}, Bytes{3}}) {
        GifBuilder b;
        b.Header(2, 2, 1).Raw({0x21, 0xFF, 11}).Text("NETSCAPE2.0").Append(tail);
        EXPECT_EQ(LoadError(b.Data()), gif::sInvalidData);
    }
    // Without even a size byte the looping class cannot resolve the block.
    GifBuilder b;
    b.Header(2, 2, 1).Raw({0x21, 0xFF, 11}).Text("NETSCAPE2.0");
    EXPECT_EQ(LoadError(b.Data()), gif::sUnknownExtension);
}

TEST(GIFExtension, ApplicationBlockSizes) {
    // 0 to 9: refused.
    GifBuilder small;
    small.Header(2, 2, 1).Raw({0x21, 0xFF, 9}).Text("ABCDEFGHIJK").Raw({0});
    EXPECT_EQ(LoadError(small.Data()), gif::sUnsupportedAppBlockSize);
    // 10: the identifier borrows the size byte of the first data sub-block, which is then
    // read again.
    GifBuilder ten;
    ten.Header(2, 2, 1).Raw({0x21, 0xFF, 10}).Text("ABCDEFGHIJ").Raw({2, 7, 8, 0});
    ten.LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    const Loaded l10 = Load(ten.Data());
    const auto* u10 =
        dynamic_cast<const gif::TGIFUnknownAppExtension*>(&l10.image->SubImage(0).Extensions()[0]);
    ASSERT_NE(u10, nullptr);
    EXPECT_EQ(u10->Identifier()[10], 2);
    ASSERT_EQ(u10->Blocks().size(), 1u);
    EXPECT_EQ(l10.image->SubImage(0).DataSize(), 4u);
    // 12 and more: an unknown block whose extra bytes are skipped and whose sub-blocks are
    // kept and consumed.
    GifBuilder twelve;
    twelve.Header(2, 2, 1).Raw({0x21, 0xFF, 12}).Text("NETSCAPE2.0X").Raw({3, 1, 0, 0, 0});
    twelve.LiteralImage(0, 0, 2, 2, kFourPixels, 2).Trailer();
    const Loaded l12 = Load(twelve.Data());
    const auto* u12 =
        dynamic_cast<const gif::TGIFUnknownAppExtension*>(&l12.image->SubImage(0).Extensions()[0]);
    ASSERT_NE(u12, nullptr);
    EXPECT_EQ(u12->IdentifierText(), "NETSCAPE2.0");
    EXPECT_EQ(u12->Blocks().size(), 1u);
    EXPECT_EQ(l12.image->SubImage(0).DataSize(), 4u);
    EXPECT_TRUE(l12.warnings.empty());
    // No size byte at all: the class cannot be resolved.
    GifBuilder none;
    none.Header(2, 2, 1).Raw({0x21, 0xFF});
    EXPECT_EQ(LoadError(none.Data()), gif::sUnknownExtension);
}

TEST(GIFExtension, TenByteApplicationBlockCutShortIsUnknown) {
    GifBuilder b;
    b.Header(2, 2, 1).Raw({0x21, 0xFF, 10}).Text("ABC");
    EXPECT_EQ(LoadError(b.Data()), gif::sUnknownExtension);
}

TEST(GIFExtension, RegistriesHoldTheStandardClasses) {
    EXPECT_EQ(gif::ExtensionRegistry().Find(0x01), &gif::TGIFTextExtension::Class());
    EXPECT_EQ(gif::ExtensionRegistry().Find(0xF9), &gif::TGIFGraphicControlExtension::Class());
    EXPECT_EQ(gif::ExtensionRegistry().Find(0xFE), &gif::TGIFCommentExtension::Class());
    EXPECT_EQ(gif::ExtensionRegistry().Find(0xFF), &gif::TGIFApplicationExtension::Class());
    EXPECT_EQ(gif::ExtensionRegistry().Find(0xFA), nullptr);
}

// ---- The image as a graphic -------------------------------------------------------------------

TEST(GIFImage, FailedLoadKeepsTheCompleteFrames) {
    GifBuilder b = SmallGif();
    b.LiteralImage(0, 0, 2, 2, kFourPixels, 2).Raw({0x2C, 0, 0});
    TGIFImage image;
    EXPECT_THROW(image.LoadFromBytes(b.Data()), GIFException);
    EXPECT_EQ(image.Count(), 2);
    EXPECT_EQ(image.Width(), 2);
}

TEST(GIFImage, LoadingAgainReplacesEverything) {
    TGIFImage image;
    GifBuilder first = SmallGif();
    first.LiteralImage(0, 0, 2, 2, kFourPixels, 2);
    image.LoadFromBytes(first.Data());
    ASSERT_EQ(image.Count(), 2);
    GifBuilder second;
    second.Header(5, 1).Trailer();
    image.LoadFromBytes(second.Data());
    EXPECT_EQ(image.Count(), 0);
    EXPECT_EQ(image.Width(), 5);
    EXPECT_EQ(image.GlobalColorMap().Count(), 0);
}

TEST(GIFImage, NewImageIsEmpty) {
    TGIFImage image;
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    EXPECT_EQ(image.RenderOptions(), 0x018F);
    EXPECT_EQ(image.ClassName(), "TGIFImage");
}

TEST(GIFImage, StreamIsLeftAfterTheTrailer) {
    GifBuilder b = SmallGif();
    b.Trailer();
    Bytes bytes{'x', 'y'};
    bytes.insert(bytes.end(), b.Data().begin(), b.Data().end());
    bytes.insert(bytes.end(), {'t', 'a', 'i', 'l'});
    graphics::TMemoryStream stream(bytes);
    stream.SetPosition(2);
    TGIFImage image;
    image.LoadFromStream(stream);
    EXPECT_EQ(image.Count(), 1);
    // The trailer check reads the trailer byte itself.
    EXPECT_EQ(stream.Position(), int64_t(bytes.size()) - 4);
}

TEST(GIFImage, ProgressReportsStartEachFrameAndEnd) {
    GifBuilder b = SmallGif();
    b.LiteralImage(0, 0, 2, 2, kFourPixels, 2).Trailer();
    TGIFImage image;
    std::vector<std::tuple<graphics::TProgressStage, int, bool, std::string>> events;
    image.OnProgress = [&](graphics::TPersistent&, graphics::TProgressStage stage, uint8_t pct,
                           bool redraw, const platform::RECT& r, const std::string& message) {
        EXPECT_EQ(r, (platform::RECT{0, 0, 0, 0}));
        events.emplace_back(stage, pct, redraw, message);
    };
    image.LoadFromBytes(b.Data());
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], std::make_tuple(graphics::psStarting, 0, false, "Loading..."));
    EXPECT_EQ(std::get<0>(events[1]), graphics::psRunning);
    EXPECT_LT(std::get<1>(events[1]), std::get<1>(events[2]));
    EXPECT_EQ(std::get<1>(events[2]), int((b.Data().size() - 1) * 100 / b.Data().size()));
    EXPECT_EQ(events[3], std::make_tuple(graphics::psEnding, 100, true, "Loading..."));

    events.clear();
    EXPECT_THROW(image.LoadFromBytes(Bytes{'G', 'I', 'F'}), GIFException);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], std::make_tuple(graphics::psEnding, 0, true, "Loading..."));
}

TEST(GIFImage, WritingIsNotOffered) {
    TGIFImage image;
    graphics::TMemoryStream stream;
    EXPECT_THROW(image.SaveToStream(stream), GIFException);
    EXPECT_EQ(stream.Size(), 0);
}
