#include "platform/Clipboard.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class ClipboardStore : public ::testing::Test {
  protected:
    void SetUp() override { ResetClipboardForTesting(); }
    void TearDown() override {
        SetClipboardBridge(nullptr);
        ResetClipboardForTesting();
    }
};

HBITMAP SmallBitmap() {
    return CreateCompatibleBitmap(GetScreenDC(), 3, 2);
}

TEST_F(ClipboardStore, OnlyOneOwnerAtATime) {
    ASSERT_TRUE(OpenClipboard(1));
    EXPECT_FALSE(OpenClipboard(2)) << "a second owner must not open it";
    EXPECT_TRUE(OpenClipboard(1)) << "the holder may open again";
    EXPECT_EQ(GetOpenClipboardWindow(), 1u);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard()) << "closing twice reports failure";
    EXPECT_TRUE(OpenClipboard(2));
    EXPECT_TRUE(CloseClipboard());
}

TEST_F(ClipboardStore, CallsNeedAnOpenClipboard) {
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_FALSE(SetClipboardData(CF_TEXT, std::string("x")));
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    EXPECT_EQ(EnumClipboardFormats(0), 0u);
}

TEST_F(ClipboardStore, FormatsEnumerateInPlacementOrderAndReplaceInPlace) {
    ASSERT_TRUE(OpenClipboard(1));
    ASSERT_TRUE(EmptyClipboard());
    ASSERT_TRUE(SetClipboardData(CF_BITMAP, SmallBitmap()));
    ASSERT_TRUE(SetClipboardData(CF_TEXT, std::string("one")));
    ASSERT_TRUE(SetClipboardData(CF_BITMAP, SmallBitmap()));
    EXPECT_EQ(EnumClipboardFormats(0), CF_BITMAP);
    EXPECT_EQ(EnumClipboardFormats(CF_BITMAP), CF_TEXT);
    EXPECT_EQ(EnumClipboardFormats(CF_TEXT), 0u);
    EXPECT_EQ(CountClipboardFormats(), 2u);
    EXPECT_FALSE(SetClipboardData(CF_PALETTE, std::monostate{}));
    CloseClipboard();
}

TEST_F(ClipboardStore, ContentOutlivesTheOpenPeriodAndEmptyingFreesIt) {
    ASSERT_TRUE(OpenClipboard(1));
    EmptyClipboard();
    SetClipboardData(CF_TEXT, std::string("kept"));
    CloseClipboard();

    ASSERT_TRUE(OpenClipboard(2));
    const ClipboardItem* text = GetClipboardData(CF_TEXT);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::get<std::string>(*text), "kept");
    EmptyClipboard();
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    CloseClipboard();
}

TEST_F(ClipboardStore, BitmapIsOfferedFromADeviceIndependentPicture) {
    PackedDib dib;
    dib.info.bmiHeader.biSize = 40;
    dib.info.bmiHeader.biWidth = 2;
    dib.info.bmiHeader.biHeight = 1;
    dib.info.bmiHeader.biPlanes = 1;
    dib.info.bmiHeader.biBitCount = 24;
    dib.bits = {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0, 0}; // red, blue; padded to 8 bytes
    ASSERT_TRUE(OpenClipboard(1));
    EmptyClipboard();
    SetClipboardData(CF_DIB, std::move(dib));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_EQ(EnumClipboardFormats(CF_DIB), CF_BITMAP);

    const ClipboardItem* item = GetClipboardData(CF_BITMAP);
    ASSERT_NE(item, nullptr);
    const HBITMAP& bitmap = std::get<HBITMAP>(*item);
    BITMAP description;
    ASSERT_EQ(GetObject(*bitmap, description), kBitmapObjectSize);
    EXPECT_EQ(description.bmWidth, 2);
    HDC dc = CreateCompatibleDC(&GetScreenDC());
    SelectObject(*dc, *bitmap);
    EXPECT_EQ(GetPixel(*dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(*dc, 1, 0), RGB(0, 0, 255));
    CloseClipboard();
}

TEST_F(ClipboardStore, TextAloneOffersNoBitmap) {
    ASSERT_TRUE(OpenClipboard(1));
    EmptyClipboard();
    SetClipboardData(CF_TEXT, std::string("only text"));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_EQ(GetClipboardData(CF_BITMAP), nullptr);
    CloseClipboard();
}

TEST_F(ClipboardStore, RegisteredNamesShareANumberRegardlessOfCase) {
    const unsigned gif = RegisterClipboardFormatA("GIF Image");
    EXPECT_GE(gif, kFirstRegisteredFormat);
    EXPECT_EQ(RegisterClipboardFormatA("gif image"), gif);
    EXPECT_NE(RegisterClipboardFormatA("Other"), gif);
    EXPECT_EQ(GetClipboardFormatName(gif), "GIF Image");
    EXPECT_EQ(RegisterClipboardFormatA(""), 0u);
}

struct RecordingBridge : ClipboardBridge {
    int pulls = 0;
    std::vector<unsigned> pushed;
    std::optional<std::vector<std::pair<unsigned, ClipboardItem>>> next;
    std::optional<std::vector<std::pair<unsigned, ClipboardItem>>> Pull() override {
        ++pulls;
        return std::exchange(next, std::nullopt);
    }
    void Push(const std::vector<std::pair<unsigned, const ClipboardItem*>>& items) override {
        pushed.clear();
        for (const auto& entry : items)
            pushed.push_back(entry.first);
    }
};

TEST_F(ClipboardStore, BridgePullsOnOpenAndPushesOnlyChanges) {
    auto owned = std::make_unique<RecordingBridge>();
    RecordingBridge& bridge = *owned;
    SetClipboardBridge(std::move(owned));

    bridge.next.emplace();
    bridge.next->emplace_back(CF_TEXT, std::string("from the desktop"));
    ASSERT_TRUE(OpenClipboard(1));
    EXPECT_EQ(bridge.pulls, 1);
    ASSERT_NE(GetClipboardData(CF_TEXT), nullptr);
    CloseClipboard();
    EXPECT_TRUE(bridge.pushed.empty()) << "reading must not publish";

    ASSERT_TRUE(OpenClipboard(1));
    EmptyClipboard();
    SetClipboardData(CF_BITMAP, SmallBitmap());
    CloseClipboard();
    EXPECT_EQ(bridge.pushed, std::vector<unsigned>{CF_BITMAP});
}

} // namespace
