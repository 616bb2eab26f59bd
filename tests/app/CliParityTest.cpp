// The command line's card against the main window's: the same profile, background and contact
// must give the same pixels, since both front ends promise one composition.
#include "AppTestSupport.h"
#include "app/mnVelmora.h"
#include "cli/MakeCards.h"
#include "graphics/Bitmap.h"
#include "graphics/BmpWriter.h"
#include "graphics/Canvas.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using velmora::Form1;

// A landscape picture with distinct quarters, so a wrong fit or offset shows.
fs::path WriteBackground(const fs::path& folder) {
    graphics::TBitmap picture;
    picture.ResizeWidth(800);
    picture.ResizeHeight(600);
    graphics::TCanvas& canvas = picture.Canvas();
    const graphics::TColor colours[4] = {0x3060C0, 0x20A040, 0xC08020, 0x808080};
    for (int q = 0; q < 4; ++q) {
        canvas.Brush().SetColor(colours[q]);
        const int left = (q % 2) * 400;
        const int top = (q / 2) * 300;
        canvas.FillArea({left, top, left + 400, top + 300});
    }
    const fs::path path = folder / "background.bmp";
    graphics::WriteBmp24(picture, path.string());
    return path;
}

class CliParityTest : public apptest::AppTest {};

TEST_F(CliParityTest, TheCommandLineCardEqualsTheWindowsCard) {
    WriteProfileFile("[User]\nCALLID=k1abc\nCountry=USA\nName=Ann\nAddr=12 Main Street\n"
                     "City=Springfield\nState=MA\nZIP=01101\nRIG=IC-7300\nANT=Dipole\n"
                     "PWR=100 W\nTKS=73 es tnx fer QSO\n");
    const fs::path background = WriteBackground(folder_);
    StartProgram();
    ASSERT_NE(Form1, nullptr);

    dialogs_.open.push_back([&](toolkit::TOpenDialog& d) {
        d.FileName = background.string();
        return true;
    });
    app_->Guard([] { Form1->Button1Click(); });
    Form1->LabeledEdit12->SetText("dl2xyz");
    Form1->LabeledEdit14->SetText("Hans");
    Form1->LabeledEdit3->SetText("2026-12-07");
    Form1->LabeledEdit4->SetText("1432");
    Form1->LabeledEdit5->SetText("14.074");
    Form1->LabeledEdit6->SetText("599");
    Form1->LabeledEdit7->SetText("FT8");
    app_->Guard([] { Form1->Button2Click(); });
    ASSERT_TRUE(boxes_.empty());

    cli::Contact contact;
    contact.station = "dl2xyz";
    contact.operatorName = "Hans";
    contact.date = "2026-12-07";
    contact.utc = "1432";
    contact.frequency = "14.074";
    contact.rst = "599";
    contact.mode = "FT8";
    const auto profile = cli::ReadStationProfile(ProfilePath());
    const auto background2 = cli::CardBackground::FromPicture(background.string());
    const auto card = cli::ComposeCard(background2, cli::CardDataFor(contact, profile));

    graphics::TBitmap& windowCard = Form1->Session().CardBitmap();
    ASSERT_EQ(card->Width(), windowCard.Width());
    ASSERT_EQ(card->Height(), windowCard.Height());
    graphics::TCanvas& ours = card->Canvas();
    graphics::TCanvas& theirs = Form1->Session().CardCanvas();
    int differing = 0;
    for (int y = 0; y < card->Height(); ++y) {
        for (int x = 0; x < card->Width(); ++x)
            differing += ours.PixelAt(x, y) != theirs.PixelAt(x, y) ? 1 : 0;
    }
    EXPECT_EQ(differing, 0);
    // The overlay is there at all: the table's top-left corner is drawn in black.
    EXPECT_EQ(theirs.PixelAt(50, 250), graphics::clBlack);
}

} // namespace
