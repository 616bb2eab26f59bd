// The picture history of the main window: what Undo shows after Find and Verify, Undo on an
// empty history, a redo that reverses Undo until the next snapshot, and what snapshots cost.
#include "CardTestSupport.h"

#include <QAction>
#include <iostream>
#include <malloc.h>

namespace {

using apptest::EditTest;
using apptest::kBlue;
using apptest::kRed;
using apptest::Pixels;
using apptest::PixelsOf;
using apptest::SolidBitmap;

class HistoryTest : public EditTest {
  protected:
    graphics::TBitmap& SnapshotBitmap(size_t index) {
        auto* bitmap = dynamic_cast<graphics::TBitmap*>(
            form_->Session().History().Snapshot(index).HeldGraphic());
        EXPECT_NE(bitmap, nullptr);
        return *bitmap;
    }
    QAction* Item(const char* name) const {
        return form_->findChild<QAction*>(QString::fromLatin1(name));
    }
};

// A snapshot is a second bitmap on the same pixels; the card's next drawing gets its own copy
// and the snapshot keeps the pixels it was taken with.
TEST_F(HistoryTest, SnapshotSharesTheCardsPixelsUntilTheCardIsDrawnOn) {
    FindBackground(graphics::clRed);
    ASSERT_EQ(form_->Session().History().Count(), 1u);
    graphics::TBitmap& snapshot = SnapshotBitmap(0);
    EXPECT_NE(&snapshot, &Card());
    EXPECT_TRUE(snapshot.SharesImageWith(Card()));

    Verify();
    EXPECT_FALSE(snapshot.SharesImageWith(Card()));
    EXPECT_TRUE(PixelsOf(&snapshot).AllEqual(kRed));
    EXPECT_FALSE(CardPixels().AllEqual(kRed));
}

TEST_F(HistoryTest, UndoOnAnEmptyHistoryLeavesTheCardAndItsTools) {
    Verify();
    const Pixels before = CardPixels();
    graphics::TBitmap* cardObject = &Card();

    form_->Undo2Click();
    form_->Undo1Click();

    EXPECT_EQ(&Card(), cardObject);
    EXPECT_EQ(CardPixels(), before);
    // The overlay's clear brush is still set: the card bitmap was not replaced.
    EXPECT_EQ(form_->Session().CardCanvas().Brush().Style(), graphics::bsClear);
    EXPECT_TRUE(form_->Session().History().Empty());
}

// The first Undo after a Verify removes the overlay and uses up the only snapshot; a second
// Undo has nothing left.
TEST_F(HistoryTest, FindVerifyUndoShowsTheBackgroundAgain) {
    FindBackground(graphics::clRed);
    Verify();
    ASSERT_FALSE(CardPixels().AllEqual(kRed));

    form_->Undo2Click();
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
    EXPECT_TRUE(form_->Session().History().Empty());

    graphics::TBitmap* cardObject = &Card();
    form_->Undo2Click();
    EXPECT_EQ(&Card(), cardObject);
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
}

// Right after a Find the newest snapshot is the card itself: the first Undo shows no change.
TEST_F(HistoryTest, FindAFindBUndoUndoShowsBackgroundA) {
    FindBackground(graphics::clRed);
    FindBackground(graphics::clBlue);

    form_->Undo2Click();
    EXPECT_TRUE(CardPixels().AllEqual(kBlue));
    EXPECT_EQ(form_->Session().History().Count(), 1u);

    form_->Undo2Click();
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
    EXPECT_TRUE(form_->Session().History().Empty());
}

TEST_F(HistoryTest, SnapshotsAreNeverDroppedByAge) {
    constexpr int kFinds = 40;
    for (int i = 0; i < kFinds; ++i)
        FindBackground(graphics::TColor(i * 5));
    ASSERT_EQ(form_->Session().History().Count(), size_t(kFinds));
    // Undo number k (from 1) shows the background of Find number kFinds - k + 1.
    for (int i = kFinds - 1; i >= 0; --i) {
        form_->Undo2Click();
        EXPECT_TRUE(CardPixels().AllEqual(uint32_t(i * 5) << 16)) << "undo to find " << i;
    }
    EXPECT_TRUE(form_->Session().History().Empty());
}

// Redo takes back the last Undo: the card as it was before it and the snapshot it used up.
TEST_F(HistoryTest, RedoAfterUndoBringsBackTheOverlayAndTheSnapshot) {
    FindBackground(graphics::clRed);
    Verify();
    const Pixels withOverlay = CardPixels();

    form_->Undo2Click();
    ASSERT_TRUE(CardPixels().AllEqual(kRed));
    form_->Repeatcommand1Click();
    EXPECT_EQ(CardPixels(), withOverlay);
    EXPECT_EQ(form_->Session().History().Count(), 1u);

    // Nothing further to redo.
    form_->Repeatcommand1Click();
    EXPECT_EQ(CardPixels(), withOverlay);
    EXPECT_EQ(form_->Session().History().Count(), 1u);

    // And the snapshot that came back serves the next Undo.
    form_->Undo2Click();
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
}

TEST_F(HistoryTest, RedoRetracesSeveralUndosInReverse) {
    FindBackground(graphics::clRed);
    FindBackground(graphics::clBlue);
    form_->Undo2Click();
    form_->Undo2Click();
    ASSERT_TRUE(CardPixels().AllEqual(kRed));

    form_->Repeatcommand1Click();
    EXPECT_TRUE(CardPixels().AllEqual(kBlue));
    EXPECT_EQ(form_->Session().History().Count(), 1u);
    EXPECT_TRUE(SnapshotBitmap(0).SharesImageWith(Card()) == false);
    EXPECT_TRUE(PixelsOf(&SnapshotBitmap(0)).AllEqual(kRed));

    form_->Repeatcommand1Click();
    EXPECT_TRUE(CardPixels().AllEqual(kBlue));
    ASSERT_EQ(form_->Session().History().Count(), 2u);
    EXPECT_TRUE(PixelsOf(&SnapshotBitmap(1)).AllEqual(kBlue));
}

TEST_F(HistoryTest, ANewSnapshotLeavesNothingToRedo) {
    FindBackground(graphics::clRed);
    Verify();
    form_->Undo2Click();
    ASSERT_EQ(form_->Session().History().RedoCount(), 1u);

    FindBackground(graphics::clBlue);
    EXPECT_EQ(form_->Session().History().RedoCount(), 0u);
    graphics::TBitmap* cardObject = &Card();
    form_->Repeatcommand1Click();
    EXPECT_EQ(&Card(), cardObject);
    EXPECT_TRUE(CardPixels().AllEqual(kBlue));
    EXPECT_EQ(form_->Session().History().Count(), 1u);
}

// Seven snapshots and nothing undone: Redo changes nothing, as with any other count.
TEST_F(HistoryTest, RedoWithNothingUndoneDoesNothing) {
    for (int i = 0; i < 7; ++i)
        FindBackground(graphics::TColor(0x10 * (i + 1)));
    Verify();
    const Pixels before = CardPixels();
    graphics::TBitmap* cardObject = &Card();

    form_->Repeatcommand1Click();
    EXPECT_EQ(&Card(), cardObject);
    EXPECT_EQ(CardPixels(), before);
    EXPECT_EQ(form_->Session().History().Count(), 7u);
}

// The menu items and the context menu's Undo reach the history through the default handler.
TEST_F(HistoryTest, UndoAndRedoRunFromTheEditMenuAndTheContextMenu) {
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

size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    // Large blocks (a card's pixels among them) are mapped on their own and counted apart.
    return info.uordblks + info.hblkhd;
}

// A thousand snapshots of one card hold a thousand references to its pixels, not a thousand
// copies: one copy of a 495 x 315 card alone is more than 600 KB.
TEST_F(HistoryTest, AThousandSnapshotsCostReferencesNotPixels) {
    FindBackground(graphics::clRed);

    const size_t before = HeapInUse();
    for (int i = 0; i < 1000; ++i)
        form_->Session().TakePicture();
    const size_t after = HeapInUse();
    const size_t added = after > before ? after - before : 0;

    ASSERT_EQ(form_->Session().History().Count(), 1001u);
    for (size_t i = 0; i < form_->Session().History().Count(); ++i)
        ASSERT_TRUE(SnapshotBitmap(i).SharesImageWith(Card())) << i;
    // The card, the preview's copy of it and the 1001 snapshots.
    EXPECT_EQ(Card().ImageReferenceCount(), 1003);
    std::cout << "1000 snapshots of a 495 x 315 card added " << added << " bytes (" << added / 1000
              << " per snapshot)\n";
    RecordProperty("snapshot_bytes_1000", std::to_string(added));
    EXPECT_LT(added, size_t(512) * 1024);
}

} // namespace
