// Copy, Cut and Paste of the main window against the system clipboard, and the card canvas's
// drawing tools after Undo (a new bitmap object) and after Paste (the same object).
#include "CardTestSupport.h"
#include "clipbrd/Clipboard.h"

#include <QAction>
#include <QImage>

namespace {

using apptest::EditTest;
using apptest::kGreen;
using apptest::kRed;
using apptest::kWhite;
using apptest::Pixels;
using apptest::PixelsOf;
using apptest::SolidBitmap;

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
    void PutPicture(graphics::TBitmap& bitmap) {
        clipbrd::TClipboard clipboard;
        clipboard.CopyFrom(&bitmap);
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

TEST_F(EditCommandsTest, CopyThenPasteGivesIdenticalPixels) {
    MakeComposedCard();
    const Pixels composed = CardPixels();

    form_->Copy2Click();
    EXPECT_EQ(CardPixels(), composed); // Copy leaves the card alone
    EXPECT_EQ(form_->Session().History().Count(), 1u);
    EXPECT_EQ(platform::GetOpenClipboardWindow(), 0u);

    FindBackground(graphics::clBlue);
    form_->Paste2Click();
    EXPECT_EQ(CardPixels(), composed);
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(Card().Height(), 315);
    // A true-colour card has no palette: the bitmap alone goes on the clipboard.
    clipbrd::TClipboard clipboard;
    EXPECT_TRUE(clipboard.HasFormat(platform::CF_BITMAP));
    EXPECT_FALSE(clipboard.HasFormat(platform::CF_PALETTE));
}

TEST_F(EditCommandsTest, CopyReplacesEarlierContentsTextIncluded) {
    PutText("73 de DL1ABC");
    MakeComposedCard();
    form_->Copy2Click();

    clipbrd::TClipboard clipboard;
    EXPECT_FALSE(clipboard.HasFormat(platform::CF_TEXT));
    EXPECT_EQ(clipboard.AsText(), "");
    EXPECT_EQ(ClipboardPixels(), CardPixels());
}

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

// A pasted picture of another size is fitted into the card like a background, so the overlay
// lands on it; no snapshot is taken and the card keeps its bitmap object.
TEST_F(EditCommandsTest, PasteFitsAPictureOfAnotherSizeIntoTheCard) {
    FindBackground(graphics::clRed);
    graphics::TBitmap* cardObject = &Card();
    auto small = SolidBitmap(200, 100, graphics::clLime);
    PutPicture(*small);

    form_->Paste2Click();
    EXPECT_EQ(&Card(), cardObject);
    ASSERT_EQ(Card().Width(), 495);
    ASSERT_EQ(Card().Height(), 315);
    // 200 x 100 is drawn 495 x 247 with black bands of 34 rows above and 34 below.
    const Pixels pixels = CardPixels();
    EXPECT_EQ(pixels.At(247, 33), 0u);
    EXPECT_EQ(pixels.At(247, 34), kGreen);
    EXPECT_EQ(pixels.At(0, 280), kGreen);
    EXPECT_EQ(pixels.At(494, 281), 0u);
    EXPECT_EQ(form_->Session().History().Count(), 1u);

    // The overlay's bottom rows land on the card: the thanks line and the table are drawn.
    Verify();
    const Pixels composed = CardPixels();
    int changedBelow250 = 0;
    for (int y = 250; y < 315; ++y)
        for (int x = 0; x < 495; ++x)
            changedBelow250 += composed.At(x, y) != pixels.At(x, y);
    EXPECT_GT(changedBelow250, 100);
}

// Verify draws on a pasted picture: the blank card is only for a card nothing was put into.
TEST_F(EditCommandsTest, PasteThenVerifyKeepsThePastedPicture) {
    auto picture = SolidBitmap(495, 315, graphics::clLime);
    PutPicture(*picture);
    form_->Paste2Click();
    ASSERT_TRUE(CardPixels().AllEqual(kGreen));

    Verify();
    EXPECT_TRUE(boxes_.empty());
    const Pixels composed = CardPixels();
    EXPECT_FALSE(composed.AllEqual(kGreen)) << "the overlay is drawn";
    EXPECT_EQ(composed.At(2, 2), kGreen) << "on the pasted picture, not the blank card";
    EXPECT_EQ(form_->Session().History().Count(), 0u) << "no template snapshot";
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

// Cut copies the card as it was and then clears it to white, whatever brush the overlay left.
TEST_F(EditCommandsTest, CutAfterVerifyCopiesTheCardAndClearsItToWhite) {
    MakeComposedCard();
    ASSERT_EQ(form_->Session().CardCanvas().Brush().Style(), graphics::bsClear);
    const Pixels composed = CardPixels();

    form_->Cut2Click();
    EXPECT_TRUE(CardPixels().AllEqual(kWhite));
    EXPECT_EQ(ClipboardPixels(), composed);
    EXPECT_EQ(form_->Session().History().Count(), 1u); // Cut takes no snapshot
    // The canvas keeps the brush it had: the next drawing behaves as before the Cut.
    EXPECT_EQ(form_->Session().CardCanvas().Brush().Style(), graphics::bsClear);
}

TEST_F(EditCommandsTest, CutAfterUndoClearsTheCardToWhite) {
    FindBackground(graphics::clRed);
    Verify();
    form_->Undo2Click();
    ASSERT_EQ(form_->Session().CardCanvas().Brush().Style(), graphics::bsSolid);

    form_->Cut2Click();
    EXPECT_TRUE(CardPixels().AllEqual(kWhite));
    EXPECT_TRUE(ClipboardPixels().AllEqual(kRed));
}

// Undo after a Cut goes to the newest snapshot, not to the card just before the Cut.
TEST_F(EditCommandsTest, CutThenUndoGoesBackToTheNewestSnapshot) {
    MakeComposedCard();
    form_->Cut2Click();
    form_->Undo2Click();
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
    EXPECT_TRUE(form_->Session().History().Empty());
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

// Undo assigns a picture: the card is a new bitmap object whose canvas starts from the default
// tools. Paste loads into the card bitmap itself, so the tools the overlay set stay.
TEST_F(EditCommandsTest, UndoResetsTheCanvasToolsButPasteKeepsThem) {
    MakeComposedCard();
    form_->Copy2Click();
    graphics::TCanvas* canvas = &form_->Session().CardCanvas();
    ASSERT_EQ(canvas->Brush().Style(), graphics::bsClear);
    ASSERT_EQ(canvas->Pen().Mode(), graphics::pmMask);
    ASSERT_TRUE(canvas->Font().Style().Contains(graphics::fsBold));

    form_->Paste2Click();
    EXPECT_EQ(&form_->Session().CardCanvas(), canvas);
    EXPECT_EQ(canvas->Brush().Style(), graphics::bsClear);
    EXPECT_EQ(canvas->Pen().Mode(), graphics::pmMask);
    EXPECT_TRUE(canvas->Font().Style().Contains(graphics::fsBold));

    form_->Undo2Click();
    graphics::TCanvas& fresh = form_->Session().CardCanvas();
    EXPECT_EQ(fresh.Brush().Style(), graphics::bsSolid);
    EXPECT_EQ(fresh.Brush().Color(), graphics::clWhite);
    EXPECT_EQ(fresh.Pen().Mode(), graphics::pmCopy);
    EXPECT_EQ(fresh.Font().Name(), "MS Sans Serif");
    EXPECT_EQ(fresh.Font().Size(), 8);
    EXPECT_TRUE(fresh.Font().Style().Empty());
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

} // namespace
