#include "clipbrd/Clipboard.h"

#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/Picture.h"
#include "graphics/PictureFormats.h"
#include "platform/Clipboard.h"
#include "platform/Gdi.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <typeinfo>
#include <vector>

using namespace graphics;
using clipbrd::TClipboard;
using platform::CF_BITMAP;
using platform::CF_DIB;
using platform::CF_PALETTE;
using platform::CF_TEXT;

namespace {

// A window of "another program" that takes the clipboard for itself.
constexpr platform::HWND kOtherProgram = 7;

class ClipboardTest : public ::testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset() {
        platform::SetClipboardBridge(nullptr);
        platform::ResetClipboardForTesting();
        clipbrd::SetApplicationWindow(0);
    }
};

TColor PatternColor(int x, int y) {
    return TColor(uint32_t(x * 36 + 5) | (uint32_t(y * 50 + 7) << 8) |
                  (uint32_t((x + y) * 20 + 9) << 16));
}

// A true-colour bitmap whose every pixel differs from its neighbours.
void PaintPattern(TBitmap& bitmap, int width, int height) {
    bitmap.SetSize(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            bitmap.Canvas().SetPixelAt(x, y, PatternColor(x, y));
    }
}

std::vector<TColor> PixelsOf(TBitmap& bitmap) {
    std::vector<TColor> pixels;
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x)
            pixels.push_back(bitmap.Canvas().PixelAt(x, y));
    }
    return pixels;
}

// The pixels of a platform bitmap as 0x00RRGGBB values, top row first.
std::vector<uint32_t> PixelsOf(const platform::GdiBitmap& bitmap) {
    platform::BITMAP bm;
    platform::GetObject(bitmap, bm);
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = bm.bmWidth;
    info.bmiHeader.biHeight = -bm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> pixels(size_t(bm.bmWidth) * size_t(bm.bmHeight));
    std::span<uint8_t> bytes(reinterpret_cast<uint8_t*>(pixels.data()), pixels.size() * 4);
    EXPECT_EQ(platform::GetDIBits(platform::GetScreenDC(), bitmap, 0, unsigned(bm.bmHeight), bytes,
                                  info, platform::DIB_RGB_COLORS),
              bm.bmHeight);
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

// What TColor values of the pattern look like as 0x00RRGGBB.
std::vector<uint32_t> AsRgb(const std::vector<TColor>& colors) {
    std::vector<uint32_t> out;
    for (TColor c : colors) {
        const auto v = uint32_t(c);
        out.push_back(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
    }
    return out;
}

// The formats on the clipboard in its own order, looked at as another program would.
std::vector<unsigned> Formats() {
    std::vector<unsigned> formats;
    EXPECT_TRUE(platform::OpenClipboard(kOtherProgram));
    for (unsigned f = platform::EnumClipboardFormats(0); f != 0;
         f = platform::EnumClipboardFormats(f))
        formats.push_back(f);
    platform::CloseClipboard();
    return formats;
}

const platform::GdiBitmap* PlacedBitmap() {
    const auto* item = platform::GetClipboardData(CF_BITMAP);
    const auto* bitmap = item != nullptr ? std::get_if<platform::HBITMAP>(item) : nullptr;
    return bitmap != nullptr ? bitmap->get() : nullptr;
}

// Another program places items of its own.
void OtherProgramPlaces(const std::function<void()>& place) {
    ASSERT_TRUE(platform::OpenClipboard(kOtherProgram));
    platform::EmptyClipboard();
    place();
    platform::CloseClipboard();
}

// A 2 x 2 device-independent picture, as another program would place it: red, green on top,
// blue, white below.
platform::PackedDib SmallDib() {
    platform::PackedDib dib;
    dib.info.bmiHeader.biSize = 40;
    dib.info.bmiHeader.biWidth = 2;
    dib.info.bmiHeader.biHeight = 2; // bottom-up
    dib.info.bmiHeader.biPlanes = 1;
    dib.info.bmiHeader.biBitCount = 24;
    dib.bits = {
        0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0, 0, // bottom row: blue, white, padding
        0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0, 0, // top row: red, green, padding
    };
    return dib;
}

// Runs fn, expecting an exception of exactly class E; returns its message.
template <class E> std::string FailureOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const Exception& e) {
        EXPECT_EQ(typeid(e), typeid(E)) << e.message();
        return e.message();
    }
    ADD_FAILURE() << "no exception";
    return {};
}

bool ClipboardIsClosed() {
    return platform::GetOpenClipboardWindow() == 0;
}

// ---- Copy and paste ---------------------------------------------------------------------------

TEST_F(ClipboardTest, CopyPlacesOnlyADeviceDependentBitmapOfTheSameSize) {
    TBitmap card;
    PaintPattern(card, 7, 5);
    TClipboard clipboard;
    clipboard.CopyFrom(&card);

    EXPECT_TRUE(ClipboardIsClosed());
    EXPECT_EQ(Formats(), std::vector<unsigned>{CF_BITMAP}) << "a true-colour bitmap has no palette";
    ASSERT_TRUE(platform::OpenClipboard(kOtherProgram));
    const platform::GdiBitmap* placed = PlacedBitmap();
    ASSERT_NE(placed, nullptr);
    platform::DIBSECTION description;
    platform::GetObject(*placed, description);
    EXPECT_EQ(description.dsBm.bmWidth, 7);
    EXPECT_EQ(description.dsBm.bmHeight, 5);
    EXPECT_EQ(description.dsBm.bmBits, nullptr) << "not a DIB section";
    EXPECT_EQ(PixelsOf(*placed), AsRgb(PixelsOf(card)));
    platform::CloseClipboard();
}

TEST_F(ClipboardTest, PasteAfterCopyGivesIdenticalPixelsAndThePictureSize) {
    TBitmap card;
    PaintPattern(card, 7, 5);
    const std::vector<TColor> copied = PixelsOf(card);
    TClipboard clipboard;
    clipboard.CopyFrom(&card);

    TBitmap target;
    PaintPattern(target, 20, 10);
    target.CopyFrom(&clipboard);
    EXPECT_EQ(target.Width(), 7);
    EXPECT_EQ(target.Height(), 5);
    EXPECT_EQ(target.StorageKind(), bmDDB);
    EXPECT_EQ(PixelsOf(target), copied);
    EXPECT_TRUE(ClipboardIsClosed());

    // The clipboard keeps its bitmap: the paste made a copy, so a second paste works, and
    // drawing on the pasted bitmap does not reach the clipboard.
    target.Canvas().SetPixelAt(0, 0, clBlack);
    TBitmap again;
    again.CopyFrom(&clipboard);
    EXPECT_EQ(PixelsOf(again), copied);
}

TEST_F(ClipboardTest, CopyReplacesEarlierContentsTextIncluded) {
    const unsigned custom = platform::RegisterClipboardFormatA("Velmora Test Data");
    OtherProgramPlaces([custom] {
        platform::SetClipboardData(CF_TEXT, std::string("73 de DL1ABC"));
        platform::SetClipboardData(custom, std::vector<uint8_t>{1, 2, 3});
    });
    TClipboard clipboard;
    ASSERT_EQ(clipboard.AsText(), "73 de DL1ABC");

    TBitmap card;
    PaintPattern(card, 3, 2);
    clipboard.CopyFrom(&card);
    EXPECT_EQ(Formats(), std::vector<unsigned>{CF_BITMAP});
    EXPECT_EQ(clipboard.AsText(), "");
}

TEST_F(ClipboardTest, PasteWithOnlyTextFailsAndLeavesTheBitmap) {
    TClipboard clipboard;
    clipboard.SetAsText("no picture here");
    TBitmap card;
    PaintPattern(card, 4, 3);
    TBitmap before;
    before.CopyFrom(&card);

    EXPECT_EQ(FailureOf<EInvalidGraphic>([&] { card.CopyFrom(&clipboard); }),
              "Unsupported clipboard format");
    EXPECT_TRUE(card.SharesImageWith(before)) << "the image must not be replaced";
    EXPECT_EQ(PixelsOf(card), PixelsOf(before));
    EXPECT_TRUE(ClipboardIsClosed());
    EXPECT_EQ(clipboard.AsText(), "no picture here");

    platform::ResetClipboardForTesting();
    EXPECT_EQ(FailureOf<EInvalidGraphic>([&] { card.CopyFrom(&clipboard); }),
              "Unsupported clipboard format")
        << "an empty clipboard fails the same way";
    EXPECT_TRUE(card.SharesImageWith(before));
}

TEST_F(ClipboardTest, AnotherProgramsDeviceIndependentPicturePastesAsABitmap) {
    OtherProgramPlaces([] { platform::SetClipboardData(CF_DIB, SmallDib()); });
    TClipboard clipboard;
    TBitmap card;
    card.CopyFrom(&clipboard);
    ASSERT_EQ(card.Width(), 2);
    ASSERT_EQ(card.Height(), 2);
    EXPECT_EQ(PixelsOf(card), (std::vector<TColor>{clRed, clLime, clBlue, clWhite}));
}

TEST_F(ClipboardTest, PaletteBitmapPlacesBitmapThenPalette) {
    TBitmap card;
    PaintPattern(card, 6, 4);
    card.SetPixelFormat(pf8bit);
    ASSERT_NE(card.PaletteHandle(), nullptr);
    uint16_t entries = 0;
    platform::GetObject(*card.PaletteHandle(), entries);
    const std::vector<TColor> quantised = PixelsOf(card);

    TClipboard clipboard;
    clipboard.CopyFrom(&card);
    EXPECT_EQ(Formats(), (std::vector<unsigned>{CF_BITMAP, CF_PALETTE}));

    TBitmap pasted;
    pasted.CopyFrom(&clipboard);
    EXPECT_EQ(PixelsOf(pasted), quantised);
    ASSERT_NE(pasted.PaletteHandle(), nullptr) << "the palette comes along";
    EXPECT_NE(pasted.PaletteHandle(), card.PaletteHandle()) << "as a copy of its own";
    uint16_t pastedEntries = 0;
    platform::GetObject(*pasted.PaletteHandle(), pastedEntries);
    EXPECT_EQ(pastedEntries, entries);
    EXPECT_TRUE(pasted.PaletteModified());
}

// ---- Pictures -----------------------------------------------------------------------------------

TEST_F(ClipboardTest, PictureSourceIsPlacedThroughItsGraphic) {
    TBitmap card;
    PaintPattern(card, 5, 3);
    TPicture picture;
    picture.SetHeldGraphic(&card);
    TClipboard clipboard;
    clipboard.CopyFrom(&picture);
    EXPECT_EQ(Formats(), std::vector<unsigned>{CF_BITMAP});
    TBitmap pasted;
    pasted.CopyFrom(&clipboard);
    EXPECT_EQ(PixelsOf(pasted), PixelsOf(card));
}

TEST_F(ClipboardTest, AnEmptyPictureOrBitmapLeavesTheClipboardEmpty) {
    TClipboard clipboard;
    clipboard.SetAsText("earlier");
    TPicture empty;
    clipboard.CopyFrom(&empty);
    EXPECT_TRUE(Formats().empty());

    clipboard.SetAsText("earlier");
    TBitmap nothing;
    clipboard.CopyFrom(&nothing);
    EXPECT_TRUE(Formats().empty()) << "no item without data";
    TBitmap card;
    PaintPattern(card, 2, 2);
    EXPECT_EQ(FailureOf<EInvalidGraphic>([&] { card.CopyFrom(&clipboard); }),
              "Unsupported clipboard format");
}

TEST_F(ClipboardTest, PictureTakesTheFirstFormatAPictureClassAccepts) {
    // Text comes first in the clipboard's order, and no picture class takes it; the bitmap that
    // the clipboard offers for the device-independent picture follows.
    OtherProgramPlaces([] {
        platform::SetClipboardData(CF_TEXT, std::string("caption"));
        platform::SetClipboardData(CF_DIB, SmallDib());
    });
    TClipboard clipboard;
    TPicture picture;
    picture.CopyFrom(&clipboard);
    auto* bitmap = dynamic_cast<TBitmap*>(picture.HeldGraphic());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(PixelsOf(*bitmap), (std::vector<TColor>{clRed, clLime, clBlue, clWhite}));
    EXPECT_TRUE(ClipboardIsClosed());
}

TEST_F(ClipboardTest, PictureFromAClipboardWithoutPictureFailsAndKeepsItsGraphic) {
    TBitmap card;
    PaintPattern(card, 3, 3);
    TPicture picture;
    picture.SetHeldGraphic(&card);
    const TGraphic* held = picture.HeldGraphic();
    TClipboard clipboard;
    clipboard.SetAsText("only text");
    EXPECT_EQ(FailureOf<Exception>([&] { picture.CopyFrom(&clipboard); }),
              "Invalid clipboard format");
    EXPECT_EQ(picture.HeldGraphic(), held);
    EXPECT_TRUE(ClipboardIsClosed());
}

// A bitmap class of its own, to see which registered class loads a clipboard format.
class TMarkedBitmap : public TBitmap {
  public:
    static const TGraphicClass& Class() {
        static const TGraphicClass cls{
            "TMarkedBitmap", &TBitmap::Class(),
            []() -> std::unique_ptr<TGraphic> { return std::make_unique<TMarkedBitmap>(); }};
        return cls;
    }
    const TGraphicClass& ClassType() const override { return Class(); }
};

TEST_F(ClipboardTest, TheNewestPictureClassForAFormatLoadsIt) {
    TBitmap card;
    PaintPattern(card, 2, 2);
    TClipboard clipboard;
    clipboard.CopyFrom(&card);

    clipbrd::RegisterClipboardPictureFormat(CF_BITMAP, TMarkedBitmap::Class());
    TPicture picture;
    picture.CopyFrom(&clipboard);
    EXPECT_EQ(picture.HeldGraphic()->ClassName(), "TMarkedBitmap");

    clipbrd::UnregisterClipboardPictureClass(TMarkedBitmap::Class());
    EXPECT_EQ(clipbrd::FindClipboardPictureClass(CF_BITMAP), &TBitmap::Class());
    picture.CopyFrom(&clipboard);
    EXPECT_EQ(picture.HeldGraphic()->ClassName(), "TBitmap");
}

// ---- Opening, owners and the one-time emptying ----------------------------------------------

TEST_F(ClipboardTest, NestedBeginAccessKeepsTheClipboardOpenUntilTheLastEnd) {
    TClipboard clipboard;
    clipboard.BeginAccess();
    clipboard.BeginAccess();
    EXPECT_EQ(clipboard.OpenCount(), 2);
    clipboard.EndAccess();
    EXPECT_EQ(clipboard.OpenCount(), 1);
    EXPECT_NE(platform::GetOpenClipboardWindow(), 0u) << "still open after one EndAccess";
    EXPECT_FALSE(platform::OpenClipboard(kOtherProgram));
    clipboard.EndAccess();
    EXPECT_TRUE(ClipboardIsClosed());
    clipboard.EndAccess(); // one too many: nothing happens
    EXPECT_EQ(clipboard.OpenCount(), 0);
    EXPECT_TRUE(ClipboardIsClosed());
}

TEST_F(ClipboardTest, FormatsPlacedInOneOpenPeriodStayTogether) {
    TBitmap card;
    PaintPattern(card, 3, 2);
    TClipboard clipboard;
    clipboard.SetAsText("old");

    clipboard.BeginAccess();
    clipboard.SetAsText("caption"); // empties once
    clipboard.CopyFrom(&card);      // does not empty again
    clipboard.EndAccess();
    EXPECT_EQ(Formats(), (std::vector<unsigned>{CF_TEXT, CF_BITMAP}));
    EXPECT_EQ(clipboard.AsText(), "caption");

    clipboard.CopyFrom(&card); // a new open period empties again
    EXPECT_EQ(Formats(), std::vector<unsigned>{CF_BITMAP});
}

TEST_F(ClipboardTest, PrivateOwnerWindowLivesForTheOpenPeriodOnly) {
    const size_t windowsBefore = clipbrd::LiveHiddenWindowCount();
    TClipboard clipboard;
    EXPECT_FALSE(clipboard.MadePrivateWindow()) << "no resource before BeginAccess";
    clipboard.BeginAccess();
    const platform::HWND owner = clipboard.OwnerWindow();
    EXPECT_TRUE(clipboard.MadePrivateWindow());
    EXPECT_TRUE(clipbrd::IsHiddenWindow(owner));
    EXPECT_EQ(platform::GetOpenClipboardWindow(), owner);
    clipboard.EndAccess();
    EXPECT_FALSE(clipboard.MadePrivateWindow());
    EXPECT_EQ(clipboard.OwnerWindow(), 0u);
    EXPECT_FALSE(clipbrd::IsHiddenWindow(owner));
    EXPECT_EQ(clipbrd::LiveHiddenWindowCount(), windowsBefore);
}

TEST_F(ClipboardTest, TheApplicationWindowIsTheOwnerWhenThereIsOne) {
    clipbrd::THiddenWindow application = clipbrd::THiddenWindow::Create();
    clipbrd::SetApplicationWindow(application.Handle());
    TClipboard clipboard;
    clipboard.BeginAccess();
    EXPECT_EQ(platform::GetOpenClipboardWindow(), application.Handle());
    EXPECT_FALSE(clipboard.MadePrivateWindow());
    clipboard.EndAccess();
    EXPECT_TRUE(clipbrd::IsHiddenWindow(application.Handle())) << "not ours to destroy";
}

TEST_F(ClipboardTest, TwoClipboardObjectsShareTheOneSystemClipboard) {
    TBitmap card;
    PaintPattern(card, 3, 3);
    TClipboard first;
    TClipboard second;
    first.BeginAccess();
    EXPECT_EQ(FailureOf<Exception>([&] { second.CopyFrom(&card); }), "Cannot open clipboard");
    first.EndAccess();
    second.CopyFrom(&card);
    TBitmap pasted;
    pasted.CopyFrom(&first);
    EXPECT_EQ(PixelsOf(pasted), PixelsOf(card));
}

TEST_F(ClipboardTest, EveryOperationFailsWhileAnotherProgramHoldsTheClipboard) {
    TBitmap card;
    PaintPattern(card, 3, 3);
    TBitmap target;
    PaintPattern(target, 2, 2);
    TBitmap targetBefore;
    targetBefore.CopyFrom(&target);
    TPicture picture;
    TClipboard clipboard;
    clipboard.SetAsText("kept");
    const size_t windowsBefore = clipbrd::LiveHiddenWindowCount();
    ASSERT_TRUE(platform::OpenClipboard(kOtherProgram));

    const std::vector<std::pair<const char*, std::function<void()>>> operations = {
        {"BeginAccess", [&] { clipboard.BeginAccess(); }},
        {"copy a bitmap", [&] { clipboard.CopyFrom(&card); }},
        {"copy a picture", [&] { clipboard.CopyFrom(&picture); }},
        {"paste into a bitmap", [&] { target.CopyFrom(&clipboard); }},
        {"paste into a picture", [&] { picture.CopyFrom(&clipboard); }},
        {"empty", [&] { clipboard.EmptyClipboardData(); }},
        {"place text", [&] { clipboard.SetAsText("new"); }},
    };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        EXPECT_EQ(FailureOf<Exception>(operation), "Cannot open clipboard");
        EXPECT_EQ(clipboard.OpenCount(), 0);
        EXPECT_EQ(clipboard.OwnerWindow(), 0u);
        EXPECT_FALSE(clipboard.MadePrivateWindow());
        EXPECT_EQ(clipbrd::LiveHiddenWindowCount(), windowsBefore) << "no window left behind";
        EXPECT_EQ(platform::GetOpenClipboardWindow(), kOtherProgram);
    }
    EXPECT_TRUE(target.SharesImageWith(targetBefore));
    EXPECT_EQ(picture.HeldGraphic(), nullptr);

    platform::CloseClipboard();
    EXPECT_EQ(clipboard.AsText(), "kept") << "nothing was emptied";
    clipboard.CopyFrom(&card);
    EXPECT_EQ(Formats(), std::vector<unsigned>{CF_BITMAP});
}

TEST_F(ClipboardTest, TheClipboardIsClosedAgainAfterEveryFailure) {
    TClipboard clipboard;
    TClipboard other;
    TBitmap target;
    PaintPattern(target, 2, 2);
    TPicture picture;
    TMetafile metafile;
    clipboard.SetAsText("only text");

    struct Case {
        const char* name;
        std::function<std::string()> failure;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"bitmap from text",
         [&] { return FailureOf<EInvalidGraphic>([&] { target.CopyFrom(&clipboard); }); },
         "Unsupported clipboard format"},
        {"picture from text",
         [&] { return FailureOf<Exception>([&] { picture.CopyFrom(&clipboard); }); },
         "Invalid clipboard format"},
        {"into a graphic that is not a bitmap",
         [&] { return FailureOf<EConvertError>([&] { metafile.CopyFrom(&clipboard); }); },
         "Cannot assign a TClipboard to a TMetafile"},
        {"from nothing",
         [&] { return FailureOf<EConvertError>([&] { clipboard.CopyFrom(nullptr); }); },
         "Cannot assign a nil to a TClipboard"},
        {"from another clipboard",
         [&] { return FailureOf<EConvertError>([&] { clipboard.CopyFrom(&other); }); },
         "Cannot assign a TClipboard to a TClipboard"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.failure(), c.message);
        EXPECT_EQ(clipboard.OpenCount(), 0);
        EXPECT_TRUE(ClipboardIsClosed());
    }
    EXPECT_EQ(clipboard.AsText(), "only text") << "failures change nothing";
}

TEST_F(ClipboardTest, AClipboardObjectDestroyedWhileOpenClosesTheClipboard) {
    const size_t windowsBefore = clipbrd::LiveHiddenWindowCount();
    {
        TClipboard clipboard;
        clipboard.BeginAccess();
        clipboard.BeginAccess();
    }
    EXPECT_TRUE(ClipboardIsClosed());
    EXPECT_EQ(clipbrd::LiveHiddenWindowCount(), windowsBefore);
}

// A desktop that cannot be reached: every exchange throws.
class BrokenBridge : public platform::ClipboardBridge {
  public:
    std::optional<std::vector<std::pair<unsigned, platform::ClipboardItem>>> Pull() override {
        throw std::runtime_error("desktop unreachable");
    }
    void Push(const std::vector<std::pair<unsigned, const platform::ClipboardItem*>>&) override {
        throw std::runtime_error("desktop unreachable");
    }
};

TEST_F(ClipboardTest, AFailingDesktopBridgeNeverLeavesTheClipboardOpen) {
    platform::SetClipboardBridge(std::make_unique<BrokenBridge>());
    TBitmap card;
    PaintPattern(card, 3, 2);
    TClipboard clipboard;
    clipboard.CopyFrom(&card);
    EXPECT_TRUE(ClipboardIsClosed());
    TBitmap pasted;
    pasted.CopyFrom(&clipboard);
    EXPECT_EQ(PixelsOf(pasted), PixelsOf(card)) << "the store keeps working without the desktop";
    EXPECT_TRUE(ClipboardIsClosed());
}

// ---- Hand-over values without any clipboard ---------------------------------------------------

// Counts every exchange with the desktop, to see that no clipboard is involved.
class CountingBridge : public platform::ClipboardBridge {
  public:
    explicit CountingBridge(int& exchanges) : exchanges_(exchanges) {}
    std::optional<std::vector<std::pair<unsigned, platform::ClipboardItem>>> Pull() override {
        ++exchanges_;
        return std::nullopt;
    }
    void Push(const std::vector<std::pair<unsigned, const platform::ClipboardItem*>>&) override {
        ++exchanges_;
    }

  private:
    int& exchanges_;
};

TEST_F(ClipboardTest, HandOverValuesLoadABitmapWithoutAnyClipboard) {
    int exchanges = 0;
    platform::SetClipboardBridge(std::make_unique<CountingBridge>(exchanges));
    TBitmap decoded;
    PaintPattern(decoded, 6, 3);
    THandOverValues values = decoded.ExportClipboardData();
    ASSERT_EQ(values.format, CF_BITMAP);
    ASSERT_TRUE(values.data);
    EXPECT_FALSE(values.palette);

    TBitmap work;
    work.ImportClipboardData(values);
    EXPECT_EQ(PixelsOf(work), PixelsOf(decoded));
    // The values remain the caller's: still valid, still the same pixels.
    ASSERT_TRUE(values.data);
    EXPECT_EQ(PixelsOf(*values.data), AsRgb(PixelsOf(decoded)));
    EXPECT_EQ(exchanges, 0);
    EXPECT_EQ(platform::CountClipboardFormats(), 0u);
    EXPECT_EQ(clipbrd::LiveHiddenWindowCount(), 0u);
}

TEST_F(ClipboardTest, HandOverValuesOfAnotherFormatOrWithoutDataAreRefused) {
    TBitmap decoded;
    PaintPattern(decoded, 2, 2);
    THandOverValues values = decoded.ExportClipboardData();
    TBitmap work;
    PaintPattern(work, 3, 3);
    TBitmap before;
    before.CopyFrom(&work);

    EXPECT_EQ(FailureOf<EInvalidGraphic>(
                  [&] { work.ImportClipboardData(uint16_t(CF_TEXT), values.data.get(), nullptr); }),
              "Unsupported clipboard format");
    EXPECT_EQ(FailureOf<EInvalidGraphic>(
                  [&] { work.ImportClipboardData(uint16_t(CF_BITMAP), nullptr, nullptr); }),
              "Unsupported clipboard format");
    EXPECT_TRUE(work.SharesImageWith(before));
}

// ---- Hidden windows -----------------------------------------------------------------------------

TEST(HiddenWindow, HandlesAreUniqueAmongTheLiveOnesAndGoWithTheirOwner) {
    clipbrd::THiddenWindow a = clipbrd::THiddenWindow::Create();
    clipbrd::THiddenWindow b = clipbrd::THiddenWindow::Create();
    EXPECT_NE(a.Handle(), 0u);
    EXPECT_NE(a.Handle(), b.Handle());
    const platform::HWND first = a.Handle();

    clipbrd::THiddenWindow moved = std::move(a);
    EXPECT_EQ(a.Handle(), 0u);
    EXPECT_EQ(moved.Handle(), first);
    EXPECT_TRUE(clipbrd::IsHiddenWindow(first));

    moved = std::move(b); // the first window is destroyed, the second carried over
    EXPECT_FALSE(clipbrd::IsHiddenWindow(first));
    EXPECT_TRUE(clipbrd::IsHiddenWindow(moved.Handle()));
    EXPECT_FALSE(clipbrd::IsHiddenWindow(0));
}

} // namespace
