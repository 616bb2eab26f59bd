// The edit commands as the main window runs them: from the Edit menu and the preview's context
// menu, with their errors shown by the default handler, and the preview showing the card after
// each. What the commands do to the card is tested on the session alone
// (ClipboardCommandsTest.cpp, HistoryTest.cpp).
#include "CardTestSupport.h"
#include "clipbrd/Clipboard.h"

#include <QAction>
#include <QImage>

namespace {

using apptest::EditTest;
using apptest::kBlue;
using apptest::kRed;
using apptest::kWhite;
using apptest::Pixels;
using apptest::PixelsOf;

class EditCommandsTest : public EditTest {
  protected:
    // What a fresh bitmap loads from the clipboard.
    Pixels ClipboardPixels() {
        clipbrd::TClipboard clipboard;
        graphics::TBitmap loaded;
        loaded.CopyFrom(&clipboard);
        return PixelsOf(&loaded);
    }
    void PutText(const char* text) {
        clipbrd::TClipboard clipboard;
        clipboard.SetAsText(text);
    }
    QAction* Item(const char* name) const {
        return form_->findChild<QAction*>(QString::fromLatin1(name));
    }
    // A card with something on it: a red background and the overlay.
    void MakeComposedCard() {
        FindBackground(graphics::clRed);
        Verify();
        ASSERT_FALSE(CardPixels().AllEqual(kRed));
    }
};

TEST_F(EditCommandsTest, PasteWithOnlyTextFailsAndLeavesTheCard) {
    MakeComposedCard();
    const Pixels before = CardPixels();
    graphics::TBitmap* cardObject = &Card();
    PutText("not a picture");

    Item("Paste2")->trigger();

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Velmora");
    EXPECT_EQ(boxes_[0].text, "Unsupported clipboard format.");
    EXPECT_EQ(&Card(), cardObject);
    EXPECT_EQ(CardPixels(), before);
    EXPECT_EQ(platform::GetOpenClipboardWindow(), 0u);
    EXPECT_EQ(clipbrd::TClipboard().AsText(), "not a picture");
}

TEST_F(EditCommandsTest, PasteOnAnEmptyClipboardFailsTheSameWay) {
    const Pixels before = CardPixels();
    Run(&velmora::TForm1::Paste2Click);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Unsupported clipboard format.");
    EXPECT_EQ(CardPixels(), before);
}

// Copy, Cut and Save As of a card without pixels are refused; nothing reaches the clipboard.
TEST_F(EditCommandsTest, AnEmptyCardIsNeitherCopiedNorCut) {
    PutText("kept");
    Card().SetSize(0, 0);
    Run(&velmora::TForm1::Copy2Click);
    Run(&velmora::TForm1::Cut2Click);
    Run(&velmora::TForm1::Save1Click);
    ASSERT_EQ(boxes_.size(), 3u);
    EXPECT_EQ(boxes_[0].text, "The card is empty: there is nothing to copy.");
    EXPECT_EQ(boxes_[1].text, "The card is empty: there is nothing to cut.");
    EXPECT_EQ(boxes_[2].text, "The card is empty: there is nothing to save.");
    EXPECT_EQ(clipbrd::TClipboard().AsText(), "kept");
}

// When the clipboard cannot be opened, Copy, Cut and Paste stop with the error and the card
// stays as it was: Cut does not clear a card it could not copy.
TEST_F(EditCommandsTest, AClipboardHeldElsewhereStopsEveryCommandBeforeTheCardChanges) {
    MakeComposedCard();
    const Pixels before = CardPixels();
    constexpr platform::HWND kOtherProgram = 0x5150;
    ASSERT_TRUE(platform::OpenClipboard(kOtherProgram));

    Run(&velmora::TForm1::Copy2Click);
    Run(&velmora::TForm1::Cut2Click);
    Run(&velmora::TForm1::Paste2Click);

    ASSERT_EQ(boxes_.size(), 3u);
    for (const auto& box : boxes_)
        EXPECT_EQ(box.text, "Cannot open clipboard.");
    EXPECT_EQ(CardPixels(), before);
    EXPECT_EQ(platform::GetOpenClipboardWindow(), kOtherProgram);
    platform::CloseClipboard();
}

// The card belongs to the session; the preview shows it after every command, pixel for pixel.
TEST_F(EditCommandsTest, ThePreviewShowsTheCardAfterEveryCommand) {
    const auto expectShown = [this](const char* step) {
        EXPECT_EQ(PixelsOf(form_->Image1->Image().Picture().HeldGraphic()), CardPixels()) << step;
        const QImage rendered = form_->Image1->Rendered();
        const Pixels card = CardPixels();
        ASSERT_EQ(rendered.width(), card.width);
        ASSERT_EQ(rendered.height(), card.height);
        int differing = 0;
        for (int y = 0; y < card.height; ++y)
            for (int x = 0; x < card.width; ++x)
                differing += (rendered.pixel(x, y) & 0xFFFFFFu) != card.At(x, y);
        EXPECT_EQ(differing, 0) << step;
    };
    expectShown("start");
    FindBackground(graphics::clRed);
    expectShown("find");
    Verify();
    expectShown("verify");
    Item("Cut2")->trigger();
    expectShown("cut");
    Item("Paste2")->trigger();
    expectShown("paste");
    Item("Undo2")->trigger();
    expectShown("undo");
    Item("Repeatcommand1")->trigger();
    expectShown("redo");
    EXPECT_TRUE(boxes_.empty());
}

// Every way to the commands runs them: the Edit menu and the preview's context menu.
TEST_F(EditCommandsTest, TheEditMenuAndTheContextMenuRunTheClipboardCommands) {
    MakeComposedCard();
    const Pixels composed = CardPixels();

    Item("Copy1")->trigger();
    EXPECT_EQ(ClipboardPixels(), composed);
    Item("Cut1")->trigger();
    EXPECT_TRUE(CardPixels().AllEqual(kWhite));
    Item("Paste1")->trigger();
    EXPECT_EQ(CardPixels(), composed);

    Item("Cut2")->trigger();
    EXPECT_TRUE(CardPixels().AllEqual(kWhite));
    Item("Copy2")->trigger();
    EXPECT_TRUE(ClipboardPixels().AllEqual(kWhite));
    EXPECT_TRUE(boxes_.empty());
}

// The menu items and the context menu's Undo reach the history through the default handler.
TEST_F(EditCommandsTest, UndoAndRedoRunFromTheEditMenuAndTheContextMenu) {
    FindBackground(graphics::clRed);
    FindBackground(graphics::clBlue);
    Verify();

    Item("Undo2")->trigger(); // the overlay goes
    EXPECT_TRUE(CardPixels().AllEqual(kBlue));
    Item("Undo1")->trigger(); // background A
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
    Item("Repeatcommand1")->trigger();
    EXPECT_TRUE(CardPixels().AllEqual(kBlue));
    EXPECT_EQ(form_->Session().History().Count(), 1u);
    EXPECT_TRUE(boxes_.empty());
}

} // namespace
