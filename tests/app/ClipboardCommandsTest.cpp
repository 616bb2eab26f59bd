// Copy, Cut and Paste of the card session against the system clipboard, and the card canvas's
// drawing tools after Undo (a new bitmap object) and after Paste (the same object).
#include "SessionTestSupport.h"

namespace {

using apptest::ClipboardPixels;
using apptest::kGreen;
using apptest::kRed;
using apptest::kWhite;
using apptest::Pixels;
using apptest::PutPicture;
using apptest::PutText;
using apptest::SessionTest;
using apptest::SolidBitmap;

class ClipboardCommandsTest : public SessionTest {
  protected:
    // A card with something on it: a red background and the overlay.
    void MakeComposedCard() {
        FindBackground(graphics::clRed);
        Verify();
        ASSERT_FALSE(CardPixels().AllEqual(kRed));
    }
};

TEST_F(ClipboardCommandsTest, CopyThenPasteGivesIdenticalPixels) {
    MakeComposedCard();
    const Pixels composed = CardPixels();

    session_->Copy();
    EXPECT_EQ(CardPixels(), composed); // Copy leaves the card alone
    EXPECT_EQ(session_->History().Count(), 1u);
    EXPECT_EQ(platform::GetOpenClipboardWindow(), 0u);

    FindBackground(graphics::clBlue);
    session_->Paste();
    EXPECT_EQ(CardPixels(), composed);
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(Card().Height(), 315);
    // A true-colour card has no palette: the bitmap alone goes on the clipboard.
    clipbrd::TClipboard clipboard;
    EXPECT_TRUE(clipboard.HasFormat(platform::CF_BITMAP));
    EXPECT_FALSE(clipboard.HasFormat(platform::CF_PALETTE));
}

TEST_F(ClipboardCommandsTest, CopyReplacesEarlierContentsTextIncluded) {
    PutText("73 de DL1ABC");
    MakeComposedCard();
    session_->Copy();

    clipbrd::TClipboard clipboard;
    EXPECT_FALSE(clipboard.HasFormat(platform::CF_TEXT));
    EXPECT_EQ(clipboard.AsText(), "");
    EXPECT_EQ(ClipboardPixels(), CardPixels());
}

// A pasted picture of another size is fitted into the card like a background, so the overlay
// lands on it; no snapshot is taken and the card keeps its bitmap object.
TEST_F(ClipboardCommandsTest, PasteFitsAPictureOfAnotherSizeIntoTheCard) {
    FindBackground(graphics::clRed);
    graphics::TBitmap* cardObject = &Card();
    auto small = SolidBitmap(200, 100, graphics::clLime);
    PutPicture(*small);

    session_->Paste();
    EXPECT_EQ(&Card(), cardObject);
    ASSERT_EQ(Card().Width(), 495);
    ASSERT_EQ(Card().Height(), 315);
    // 200 x 100 is drawn 495 x 247 with black bands of 34 rows above and 34 below.
    const Pixels pixels = CardPixels();
    EXPECT_EQ(pixels.At(247, 33), 0u);
    EXPECT_EQ(pixels.At(247, 34), kGreen);
    EXPECT_EQ(pixels.At(0, 280), kGreen);
    EXPECT_EQ(pixels.At(494, 281), 0u);
    EXPECT_EQ(session_->History().Count(), 1u);

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
TEST_F(ClipboardCommandsTest, PasteThenVerifyKeepsThePastedPicture) {
    auto picture = SolidBitmap(495, 315, graphics::clLime);
    PutPicture(*picture);
    session_->Paste();
    ASSERT_TRUE(CardPixels().AllEqual(kGreen));

    Verify();
    const Pixels composed = CardPixels();
    EXPECT_FALSE(composed.AllEqual(kGreen)) << "the overlay is drawn";
    EXPECT_EQ(composed.At(2, 2), kGreen) << "on the pasted picture, not the blank card";
    EXPECT_EQ(session_->History().Count(), 0u) << "no template snapshot";
}

// Cut copies the card as it was and then clears it to white, whatever brush the overlay left.
TEST_F(ClipboardCommandsTest, CutAfterVerifyCopiesTheCardAndClearsItToWhite) {
    MakeComposedCard();
    ASSERT_EQ(session_->CardCanvas().Brush().Style(), graphics::bsClear);
    const Pixels composed = CardPixels();

    session_->Cut();
    EXPECT_TRUE(CardPixels().AllEqual(kWhite));
    EXPECT_EQ(ClipboardPixels(), composed);
    EXPECT_EQ(session_->History().Count(), 1u); // Cut takes no snapshot
    // The canvas keeps the brush it had: the next drawing behaves as before the Cut.
    EXPECT_EQ(session_->CardCanvas().Brush().Style(), graphics::bsClear);
}

TEST_F(ClipboardCommandsTest, CutAfterUndoClearsTheCardToWhite) {
    FindBackground(graphics::clRed);
    Verify();
    session_->UndoPicture();
    ASSERT_EQ(session_->CardCanvas().Brush().Style(), graphics::bsSolid);

    session_->Cut();
    EXPECT_TRUE(CardPixels().AllEqual(kWhite));
    EXPECT_TRUE(ClipboardPixels().AllEqual(kRed));
}

// Undo after a Cut goes to the newest snapshot, not to the card just before the Cut.
TEST_F(ClipboardCommandsTest, CutThenUndoGoesBackToTheNewestSnapshot) {
    MakeComposedCard();
    session_->Cut();
    session_->UndoPicture();
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
    EXPECT_TRUE(session_->History().Empty());
}

// Undo assigns a picture: the card is a new bitmap object whose canvas starts from the default
// tools. Paste loads into the card bitmap itself, so the tools the overlay set stay.
TEST_F(ClipboardCommandsTest, UndoResetsTheCanvasToolsButPasteKeepsThem) {
    MakeComposedCard();
    session_->Copy();
    graphics::TCanvas* canvas = &session_->CardCanvas();
    ASSERT_EQ(canvas->Brush().Style(), graphics::bsClear);
    ASSERT_EQ(canvas->Pen().Mode(), graphics::pmMask);
    ASSERT_TRUE(canvas->Font().Style().Contains(graphics::fsBold));

    session_->Paste();
    EXPECT_EQ(&session_->CardCanvas(), canvas);
    EXPECT_EQ(canvas->Brush().Style(), graphics::bsClear);
    EXPECT_EQ(canvas->Pen().Mode(), graphics::pmMask);
    EXPECT_TRUE(canvas->Font().Style().Contains(graphics::fsBold));

    session_->UndoPicture();
    graphics::TCanvas& fresh = session_->CardCanvas();
    EXPECT_EQ(fresh.Brush().Style(), graphics::bsSolid);
    EXPECT_EQ(fresh.Brush().Color(), graphics::clWhite);
    EXPECT_EQ(fresh.Pen().Mode(), graphics::pmCopy);
    EXPECT_EQ(fresh.Font().Name(), "MS Sans Serif");
    EXPECT_EQ(fresh.Font().Size(), 8);
    EXPECT_TRUE(fresh.Font().Style().Empty());
}

} // namespace
