// The card session driven on its own, without a window: the card a follower (the preview) sees
// after every command, Find, Verify's template step and overlay, the picture history, the
// clipboard commands, Save As, activation and the station profile.
#include "app/CardSession.h"

#include "SessionTestSupport.h"
#include "graphics/Exceptions.h"
#include "jpeg/JPEGImage.h"
#include "platform/Clipboard.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;
using apptest::ClipboardPixels;
using apptest::kBlue;
using apptest::kGreen;
using apptest::kRed;
using apptest::kWhite;
using apptest::Pixels;
using apptest::PixelsOf;
using apptest::SessionTest;
using apptest::SolidBitmap;
using velmora::CardSession;

// The message of the error fn raises; empty when it raises none.
std::string ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& error) {
        return error.what();
    }
    return {};
}

class CardSessionTest : public SessionTest {
  protected:
    // A follower as the window's preview is one: it keeps a copy of the card picture.
    void Follow() override {
        session_->OnCardChanged = [this](const graphics::TPicture& card) {
            shown_.CopyFrom(&card);
            ++changes_;
        };
    }

    Pixels ShownPixels() { return PixelsOf(shown_.HeldGraphic()); }
    // A BMP file of one colour in the test's folder.
    std::string Background(const char* name, graphics::TColor color, int width = 495,
                           int height = 315) {
        const std::string path = (folder_ / name).string();
        SolidBitmap(width, height, color)->WriteToFile(path);
        return path;
    }
    static std::string BlankCard() { return std::string(VELMORA_DATA_DIR) + "/blankcard.jpg"; }
    // Verify as the window runs it: the template until a picture is put in, then the overlay.
    void VerifyWithTemplate() {
        if (session_->NeedsBlankCard())
            session_->LoadBlankCard(BlankCard());
        session_->DrawBoxes(Typed());
    }

    graphics::TPicture shown_;
    int changes_ = 0;
};

TEST_F(CardSessionTest, StartGivesAWhiteCardOfTheGivenSizeAndTheCallSignFont) {
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(Card().Height(), 315);
    EXPECT_TRUE(CardPixels().AllEqual(kWhite));
    EXPECT_EQ(ShownPixels(), CardPixels()) << "the follower sees the new card";
    const velmora::FontDescription& font = session_->State().CallIdFont;
    EXPECT_EQ(font.name, "MS Sans Serif");
    EXPECT_TRUE(font.style.Empty());
    EXPECT_EQ(font.size, 24);
    EXPECT_EQ(font.color, graphics::clBlack);
    EXPECT_TRUE(session_->History().Empty());
    EXPECT_TRUE(session_->NeedsBlankCard());

    CardSession other((folder_ / "other.ini").string());
    other.StartCard(120, 80);
    EXPECT_EQ(other.CardBitmap().Width(), 120);
    EXPECT_EQ(other.CardBitmap().Height(), 80);
}

// Whatever a command does to the card, by drawing, by loading into the bitmap or by assigning a
// snapshot, the follower is told and shows the same pixels.
TEST_F(CardSessionTest, TheFollowerSeesTheCardAfterEveryCommand) {
    const auto expectShown = [this](const char* step) {
        EXPECT_EQ(ShownPixels(), CardPixels()) << step;
    };
    session_->FindBackground(Background("red.bmp", graphics::clRed));
    expectShown("find");
    session_->DrawBoxes(Typed());
    ASSERT_FALSE(CardPixels().AllEqual(kRed));
    expectShown("overlay");
    session_->UndoPicture();
    ASSERT_TRUE(CardPixels().AllEqual(kRed));
    expectShown("undo");
    session_->RedoPicture();
    ASSERT_FALSE(CardPixels().AllEqual(kRed));
    expectShown("redo");
    session_->Cut();
    ASSERT_TRUE(CardPixels().AllEqual(kWhite));
    expectShown("cut");
    session_->Paste();
    ASSERT_FALSE(CardPixels().AllEqual(kWhite));
    expectShown("paste");

    // One notice per command however much it draws, none for a command that changes nothing,
    // and a change made outside the commands is passed on at once.
    changes_ = 0;
    session_->DrawBoxes(Typed());
    EXPECT_EQ(changes_, 1);
    session_->Copy();
    session_->RedoPicture(); // nothing to redo
    EXPECT_EQ(changes_, 1);
    session_->CardCanvas().SetPixelAt(3, 3, graphics::clBlue);
    EXPECT_EQ(changes_, 2);
    expectShown("drawn outside a command");

    // Without a follower the commands run all the same.
    session_->OnCardChanged = nullptr;
    const int changes = changes_;
    session_->UndoPicture();
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
    EXPECT_EQ(changes_, changes);
}

TEST_F(CardSessionTest, FindFitsThePictureIntoTheCardAndTakesASnapshot) {
    session_->FindBackground(Background("wide.bmp", graphics::clLime, 200, 100));
    ASSERT_EQ(Card().Width(), 495);
    ASSERT_EQ(Card().Height(), 315);
    // 200 x 100 is drawn 495 x 247 with black bands of 34 rows above and 34 below.
    const Pixels pixels = CardPixels();
    EXPECT_EQ(pixels.At(247, 33), 0u);
    EXPECT_EQ(pixels.At(247, 34), kGreen);
    EXPECT_EQ(pixels.At(494, 281), 0u);
    EXPECT_EQ(session_->History().Count(), 1u);
    EXPECT_FALSE(session_->NeedsBlankCard());
    ASSERT_TRUE(session_->State().Pictures.WorkBitmap);
    EXPECT_EQ(session_->State().Pictures.WorkBitmap->Width(), 495);
}

// A name without a picture ending and a file that cannot be read both leave the card, the
// history and the blank-card rule as they were.
TEST_F(CardSessionTest, AFindThatFailsLeavesTheCardAndTheHistory) {
    session_->DrawBoxes(Typed());
    const Pixels before = CardPixels();
    graphics::TBitmap* cardObject = &Card();
    std::ofstream((folder_ / "notes.txt").string()) << "not a picture";

    EXPECT_NE(ErrorOf([&] { session_->FindBackground((folder_ / "notes.txt").string()); }), "");
    EXPECT_NE(ErrorOf([&] { session_->FindBackground((folder_ / "missing.bmp").string()); }), "");

    EXPECT_EQ(&Card(), cardObject);
    EXPECT_EQ(CardPixels(), before);
    EXPECT_TRUE(session_->History().Empty());
    EXPECT_TRUE(session_->NeedsBlankCard());
}

TEST_F(CardSessionTest, VerifyStartsFromTheBlankCardUntilAPictureIsPutIn) {
    ASSERT_TRUE(fs::exists(BlankCard()));
    VerifyWithTemplate();
    EXPECT_EQ(session_->History().Count(), 1u) << "a snapshot of the template";
    const Pixels first = CardPixels();
    EXPECT_EQ(first.width, Card().Width());
    VerifyWithTemplate();
    EXPECT_EQ(session_->History().Count(), 2u) << "every Verify starts from a fresh template";
    EXPECT_EQ(CardPixels(), first) << "the same overlay on the same template";

    // A pasted picture ends the template: Verify draws on it and takes no snapshot.
    auto lime = SolidBitmap(495, 315, graphics::clLime);
    clipbrd::TClipboard().CopyFrom(lime.get());
    session_->Paste();
    EXPECT_FALSE(session_->NeedsBlankCard());
    VerifyWithTemplate();
    EXPECT_EQ(session_->History().Count(), 2u);
    EXPECT_EQ(CardPixels().At(2, 2), kGreen);
}

TEST_F(CardSessionTest, AMissingTemplateStopsVerifyBeforeTheCardChanges) {
    const Pixels before = CardPixels();
    EXPECT_NE(ErrorOf([&] { session_->LoadBlankCard((folder_ / "blankcard.jpg").string()); }), "");
    EXPECT_EQ(CardPixels(), before);
    EXPECT_TRUE(session_->History().Empty());
}

TEST_F(CardSessionTest, PasteWithoutAPictureLeavesTheCard) {
    session_->FindBackground(Background("red.bmp", graphics::clRed));
    clipbrd::TClipboard().SetAsText("not a picture");
    EXPECT_EQ(ErrorOf([&] { session_->Paste(); }), "Unsupported clipboard format");
    EXPECT_TRUE(CardPixels().AllEqual(kRed));
    EXPECT_EQ(clipbrd::TClipboard().AsText(), "not a picture");
}

// The clipboard commands work before the first activation too: they make the clipboard object.
TEST_F(CardSessionTest, ClipboardCommandsBeforeAnyActivationMakeTheirClipboardObject) {
    CardSession fresh((folder_ / "fresh.ini").string());
    fresh.StartCard(495, 315);
    ASSERT_EQ(fresh.State().ClipboardObj, nullptr);
    fresh.Copy();
    EXPECT_NE(fresh.State().ClipboardObj, nullptr);
    EXPECT_TRUE(ClipboardPixels().AllEqual(kWhite));
}

TEST_F(CardSessionTest, AnEmptyCardIsNeitherCopiedCutNorSaved) {
    clipbrd::TClipboard().SetAsText("kept");
    Card().SetSize(0, 0);
    const std::string file = (folder_ / "card.jpg").string();
    EXPECT_EQ(ErrorOf([&] { session_->Copy(); }), "The card is empty: there is nothing to copy");
    EXPECT_EQ(ErrorOf([&] { session_->Cut(); }), "The card is empty: there is nothing to cut");
    EXPECT_EQ(ErrorOf([&] { session_->SaveCard(file); }),
              "The card is empty: there is nothing to save");
    EXPECT_EQ(clipbrd::TClipboard().AsText(), "kept");
    EXPECT_FALSE(fs::exists(file));
}

// Save As before any Find or Verify makes its picture objects; the file reads back as the card.
TEST_F(CardSessionTest, SaveWritesTheCardAsAJpegFile) {
    ASSERT_FALSE(session_->State().Pictures.JpegImage);
    int progressEvents = 0;
    session_->OnProgress = [&](graphics::TPersistent&, graphics::TProgressStage, uint8_t, bool,
                               const platform::RECT&, const std::string&) { ++progressEvents; };
    session_->CardCanvas().Brush().SetColor(graphics::clBlue);
    session_->CardCanvas().FillArea({0, 0, 495, 315});
    const std::string file = (folder_ / "card.jpg").string();
    session_->SaveCard(file);

    ASSERT_TRUE(session_->State().Pictures.JpegImage);
    EXPECT_GT(progressEvents, 0) << "the new JPEG object reports to the session's listener";
    jpeg::TJPEGImage saved;
    saved.ReadFromFile(file);
    EXPECT_EQ(saved.Width(), 495);
    EXPECT_EQ(saved.Height(), 315);
    const uint32_t centre = PixelsOf(&saved.Bitmap()).At(247, 157);
    EXPECT_LT(centre >> 16, 8u) << "red";
    EXPECT_GT(centre & 0xFF, 240u) << "blue";
}

TEST(CardFileName, AddsTheJpegEndingUnlessTyped) {
    EXPECT_EQ(velmora::CardFileName("card"), "card.jpg");
    EXPECT_EQ(velmora::CardFileName("card.JPG"), "card.JPG");
    EXPECT_EQ(velmora::CardFileName("card.Jpeg"), "card.Jpeg");
    EXPECT_EQ(velmora::CardFileName("card.png"), "card.png.jpg");
    EXPECT_EQ(velmora::CardFileName("card.jpg.bak"), "card.jpg.bak.jpg");
}

// Activation makes a new clipboard object and sets the text colour back to black; the overlay's
// data are the typed fields with the profile's power, the text colour and the call-sign font.
TEST_F(CardSessionTest, ActivationAndTheOverlaysData) {
    std::ofstream((folder_ / "velmora.ini").string()) << "[User]\nCALLID=K1ABC\nPWR=100\n";
    EXPECT_EQ(session_->ReadStationProfile().CALLID, "K1ABC");
    EXPECT_EQ(session_->Store().IniPath, (folder_ / "velmora.ini").string());

    session_->State().TextColor = graphics::clRed;
    session_->State().CallIdFont.size = 30;
    const card::CardData data = session_->CardDataFor(Typed());
    EXPECT_EQ(data.callSign, "DL1ABC") << "the typed call, not the profile's";
    EXPECT_EQ(data.power, "100");
    EXPECT_EQ(data.textColor, graphics::clRed);
    EXPECT_EQ(data.callIdFont.size, 30);

    // The old object is kept alive here, so the new one cannot take its address.
    const std::unique_ptr<clipbrd::TClipboard> before = std::move(session_->State().ClipboardObj);
    session_->Activate();
    ASSERT_NE(session_->State().ClipboardObj, nullptr);
    EXPECT_NE(session_->State().ClipboardObj.get(), before.get());
    EXPECT_EQ(session_->State().TextColor, graphics::clBlack);
    EXPECT_EQ(session_->CardDataFor(Typed()).callIdFont.size, 30) << "the font stays";
}

} // namespace
