// The picture history of the card session: what Undo shows after Find and Verify, Undo on an
// empty history, a redo that reverses Undo until the next snapshot, and what snapshots cost.
#include "SessionTestSupport.h"

#include <iostream>
#include <malloc.h>

namespace {

using apptest::kBlue;
using apptest::kRed;
using apptest::Pixels;
using apptest::PixelsOf;
using apptest::SessionTest;

class HistoryTest : public SessionTest {
  protected:
    graphics::TBitmap& SnapshotBitmap(size_t index) {
        auto* bitmap =
            dynamic_cast<graphics::TBitmap*>(session_->History().Snapshot(index).HeldGraphic());
        EXPECT_NE(bitmap, nullptr);
        return *bitmap;
    }
};

// A snapshot is a second bitmap on the same pixels; the card's next drawing gets its own copy
// and the snapshot keeps the pixels it was taken with.
TEST_F(HistoryTest, SnapshotSharesTheCardsPixelsUntilTheCardIsDrawnOn) {
    FindBackground(graphics::clRed);
    ASSERT_EQ(session_->History().Count(), 1u);
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

    session_->UndoPicture();
    session_->UndoPicture();

    EXPECT_EQ(&Card(), cardObject);
    EXPECT_EQ(CardPixels(), before);
    // The overlay's clear brush is still set: the card bitmap was not replaced.
    EXPECT_EQ(session_->CardCanvas().Brush().Style(), graphics::bsClear);
    EXPECT_TRUE(session_->History().Empty());
}

// The first Undo after a Verify removes the overlay and uses up the only snapshot; a second
// Undo has nothing left.
TEST_F(HistoryTest, FindVerifyUndoShowsTheBackgroundAgain) {
    FindBackground(graphics::clRed);
    Verify();
    ASSERT_FALSE(CardPixels().AllEqual(kRed));

    session_->UndoPicture();
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
    EXPECT_TRUE(session_->History().Empty());

    graphics::TBitmap* cardObject = &Card();
    session_->UndoPicture();
    EXPECT_EQ(&Card(), cardObject);
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
}

// Right after a Find the newest snapshot is the card itself: the first Undo shows no change.
TEST_F(HistoryTest, FindAFindBUndoUndoShowsBackgroundA) {
    FindBackground(graphics::clRed);
    FindBackground(graphics::clBlue);

    session_->UndoPicture();
    EXPECT_TRUE(CardPixels().AllEqual(kBlue));
    EXPECT_EQ(session_->History().Count(), 1u);

    session_->UndoPicture();
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
    EXPECT_TRUE(session_->History().Empty());
}

TEST_F(HistoryTest, SnapshotsAreNeverDroppedByAge) {
    constexpr int kFinds = 40;
    for (int i = 0; i < kFinds; ++i)
        FindBackground(graphics::TColor(i * 5));
    ASSERT_EQ(session_->History().Count(), size_t(kFinds));
    // Undo number k (from 1) shows the background of Find number kFinds - k + 1.
    for (int i = kFinds - 1; i >= 0; --i) {
        session_->UndoPicture();
        EXPECT_TRUE(CardPixels().AllEqual(uint32_t(i * 5) << 16)) << "undo to find " << i;
    }
    EXPECT_TRUE(session_->History().Empty());
}

// Redo takes back the last Undo: the card as it was before it and the snapshot it used up.
TEST_F(HistoryTest, RedoAfterUndoBringsBackTheOverlayAndTheSnapshot) {
    FindBackground(graphics::clRed);
    Verify();
    const Pixels withOverlay = CardPixels();

    session_->UndoPicture();
    ASSERT_TRUE(CardPixels().AllEqual(kRed));
    session_->RedoPicture();
    EXPECT_EQ(CardPixels(), withOverlay);
    EXPECT_EQ(session_->History().Count(), 1u);

    // Nothing further to redo.
    session_->RedoPicture();
    EXPECT_EQ(CardPixels(), withOverlay);
    EXPECT_EQ(session_->History().Count(), 1u);

    // And the snapshot that came back serves the next Undo.
    session_->UndoPicture();
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
}

TEST_F(HistoryTest, RedoRetracesSeveralUndosInReverse) {
    FindBackground(graphics::clRed);
    FindBackground(graphics::clBlue);
    session_->UndoPicture();
    session_->UndoPicture();
    ASSERT_TRUE(CardPixels().AllEqual(kRed));

    session_->RedoPicture();
    EXPECT_TRUE(CardPixels().AllEqual(kBlue));
    EXPECT_EQ(session_->History().Count(), 1u);
    EXPECT_TRUE(SnapshotBitmap(0).SharesImageWith(Card()) == false);
    EXPECT_TRUE(PixelsOf(&SnapshotBitmap(0)).AllEqual(kRed));

    session_->RedoPicture();
    EXPECT_TRUE(CardPixels().AllEqual(kBlue));
    ASSERT_EQ(session_->History().Count(), 2u);
    EXPECT_TRUE(PixelsOf(&SnapshotBitmap(1)).AllEqual(kBlue));
}

TEST_F(HistoryTest, ANewSnapshotLeavesNothingToRedo) {
    FindBackground(graphics::clRed);
    Verify();
    session_->UndoPicture();
    ASSERT_EQ(session_->History().RedoCount(), 1u);

    FindBackground(graphics::clBlue);
    EXPECT_EQ(session_->History().RedoCount(), 0u);
    graphics::TBitmap* cardObject = &Card();
    session_->RedoPicture();
    EXPECT_EQ(&Card(), cardObject);
    EXPECT_TRUE(CardPixels().AllEqual(kBlue));
    EXPECT_EQ(session_->History().Count(), 1u);
}

// Seven snapshots and nothing undone: Redo changes nothing, as with any other count.
TEST_F(HistoryTest, RedoWithNothingUndoneDoesNothing) {
    for (int i = 0; i < 7; ++i)
        FindBackground(graphics::TColor(0x10 * (i + 1)));
    Verify();
    const Pixels before = CardPixels();
    graphics::TBitmap* cardObject = &Card();

    session_->RedoPicture();
    EXPECT_EQ(&Card(), cardObject);
    EXPECT_EQ(CardPixels(), before);
    EXPECT_EQ(session_->History().Count(), 7u);
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
        session_->TakePicture();
    const size_t after = HeapInUse();
    const size_t added = after > before ? after - before : 0;

    ASSERT_EQ(session_->History().Count(), 1001u);
    for (size_t i = 0; i < session_->History().Count(); ++i)
        ASSERT_TRUE(SnapshotBitmap(i).SharesImageWith(Card())) << i;
    EXPECT_EQ(Card().ImageReferenceCount(), 1002);
    std::cout << "1000 snapshots of a 495 x 315 card added " << added << " bytes (" << added / 1000
              << " per snapshot)\n";
    RecordProperty("snapshot_bytes_1000", std::to_string(added));
    EXPECT_LT(added, size_t(512) * 1024);
}

} // namespace
