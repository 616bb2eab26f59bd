// A whole card from a picture, driven through the main window with scripted dialogs: Find of
// each kind of file and the fitting rule on real pictures, Verify with and without a background,
// Save As with its names, folders and failures, the text colour and the call-sign font reaching
// the next Verify, the save dialog's filter and preview, and the busy and progress indication.
#include "AppTestSupport.h"
#include "CardTestSupport.h"
#include "app/mnVelmora.h"
#include "app/progress/BusyIndicator.h"
#include "app/toolkit/Dialogs.h"
#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "graphics/PictureFormats.h"
#include "jpeg/JPEGImage.h"
#include "support/SaveFilter.h"
#include "tjpeg/JpegFileImage.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QProgressDialog>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <linux/fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using apptest::AppTest;
using apptest::ProcessEvents;
using graphics::TColor;
using velmora::Form1;

// Colours as 0x00BBGGRR.
constexpr TColor kGreen = 0x0000A000;
constexpr TColor kBlue = 0x00C04000;
constexpr TColor kOrange = 0x000080FF;
constexpr TColor kBlack = 0x00000000;
constexpr TColor kWhite = 0x00FFFFFF;
constexpr TColor kRed = 0x000000FF;

using PixelRule = std::function<TColor(int x, int y)>;

PixelRule Solid(TColor color) {
    return [color](int, int) { return color; };
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A 24-bit BMP (Windows BITMAPINFOHEADER layout), bottom-up, rows padded to 4 bytes.
void WriteBmp(const fs::path& path, int w, int h, const PixelRule& pixel) {
    const uint32_t stride = (uint32_t(w) * 3 + 3) & ~3u;
    const uint32_t imageSize = stride * uint32_t(h);
    std::vector<uint8_t> bmp;
    bmp.push_back('B'); // file header: signature
    bmp.push_back('M');
    Put32(bmp, 14 + 40 + imageSize); // file size
    Put32(bmp, 0);                   // reserved
    Put32(bmp, 14 + 40);             // offset of the pixels
    Put32(bmp, 40);                  // info header: its size
    Put32(bmp, uint32_t(w));         // width
    Put32(bmp, uint32_t(h));         // height, positive: bottom-up
    Put16(bmp, 1);                   // planes
    Put16(bmp, 24);                  // bits per pixel
    Put32(bmp, 0);                   // BI_RGB
    Put32(bmp, imageSize);           // image size
    Put32(bmp, 2835);                // 72 pixels per inch, both ways
    Put32(bmp, 2835);
    Put32(bmp, 0); // colours used
    Put32(bmp, 0); // colours important
    for (int y = h - 1; y >= 0; --y) {
        const size_t start = bmp.size();
        for (int x = 0; x < w; ++x) {
            const TColor c = pixel(x, y);
            bmp.push_back(uint8_t(c >> 16)); // blue
            bmp.push_back(uint8_t(c >> 8));  // green
            bmp.push_back(uint8_t(c));       // red
        }
        bmp.resize(start + stride, 0);
    }
    WriteBytes(path, bmp);
}

// A 1-bit BMP with the table black (index 0), white (index 1); black where black(x, y).
void WriteMonoBmp(const fs::path& path, int w, int h, const std::function<bool(int, int)>& black) {
    const uint32_t stride = ((uint32_t(w) + 31) / 32) * 4;
    const uint32_t imageSize = stride * uint32_t(h);
    std::vector<uint8_t> bmp{'B', 'M'};
    Put32(bmp, 14 + 40 + 8 + imageSize); // file size
    Put32(bmp, 0);                       // reserved
    Put32(bmp, 14 + 40 + 8);             // offset of the pixels, after the two-entry table
    Put32(bmp, 40);                      // info header: its size
    Put32(bmp, uint32_t(w));
    Put32(bmp, uint32_t(h)); // bottom-up
    Put16(bmp, 1);           // planes
    Put16(bmp, 1);           // bits per pixel
    Put32(bmp, 0);           // BI_RGB
    Put32(bmp, imageSize);
    Put32(bmp, 2835);
    Put32(bmp, 2835);
    Put32(bmp, 2); // colours used
    Put32(bmp, 0);
    Put32(bmp, 0x000000); // index 0: black
    Put32(bmp, 0xFFFFFF); // index 1: white
    for (int y = h - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < w; ++x) {
            if (!black(x, y))
                row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
        bmp.insert(bmp.end(), row.begin(), row.end());
    }
    WriteBytes(path, bmp);
}

// A GIF89a picture of w x h with a four-colour global table, whose pixel (x, y) has colour index
// index(x, y). The LZW data sends a clear code before every second pixel, so the codes stay
// three bits wide: clear 4, end 5, and only one table entry (6) ever made.
void WriteGif(const fs::path& path, int w, int h, const std::vector<TColor>& colours,
              const std::function<int(int x, int y)>& index) {
    std::vector<uint8_t> gif{'G', 'I', 'F', '8', '9', 'a'};
    Put16(gif, uint16_t(w)); // logical screen width
    Put16(gif, uint16_t(h)); // logical screen height
    gif.push_back(0xF1);     // global table, 8-bit colour resolution, 2^(1+1) entries
    gif.push_back(0);        // background colour index
    gif.push_back(0);        // no aspect ratio
    for (int i = 0; i < 4; ++i) {
        const TColor c = i < int(colours.size()) ? colours[size_t(i)] : 0;
        gif.push_back(uint8_t(c));       // red
        gif.push_back(uint8_t(c >> 8));  // green
        gif.push_back(uint8_t(c >> 16)); // blue
    }
    gif.push_back(0x2C); // image descriptor
    Put16(gif, 0);       // left
    Put16(gif, 0);       // top
    Put16(gif, uint16_t(w));
    Put16(gif, uint16_t(h));
    gif.push_back(0); // no local table, not interlaced
    gif.push_back(2); // LZW minimum code size

    std::vector<uint8_t> data;
    uint32_t bits = 0;
    int count = 0;
    auto put = [&](uint32_t code) {
        bits |= code << count;
        count += 3;
        while (count >= 8) {
            data.push_back(uint8_t(bits));
            bits >>= 8;
            count -= 8;
        }
    };
    int n = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (n++ % 2 == 0)
                put(4);
            put(uint32_t(index(x, y)));
        }
    }
    put(5);
    if (count > 0)
        data.push_back(uint8_t(bits));
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t size = std::min<size_t>(255, data.size() - at);
        gif.push_back(uint8_t(size)); // sub-block size
        gif.insert(gif.end(), data.begin() + std::ptrdiff_t(at),
                   data.begin() + std::ptrdiff_t(at + size));
    }
    gif.push_back(0);    // block terminator
    gif.push_back(0x3B); // trailer
    WriteBytes(path, gif);
}

std::unique_ptr<graphics::TBitmap> MakeBitmap(int w, int h, const PixelRule& pixel) {
    auto bitmap = std::make_unique<graphics::TBitmap>();
    bitmap->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            bitmap->Canvas().SetPixelAt(x, y, pixel(x, y));
    }
    return bitmap;
}

// A JPEG written by our own encoder (quality 90).
void WriteJpeg(const fs::path& path, int w, int h, const PixelRule& pixel) {
    const auto bitmap = MakeBitmap(w, h, pixel);
    jpeg::TJPEGImage picture;
    picture.CopyFrom(bitmap.get());
    picture.WriteToFile(path.string());
}

int Channel(TColor c, int shift) {
    return int((c >> shift) & 0xFF);
}

// Within what JPEG's lossy coding leaves of a flat colour.
bool Near(TColor a, TColor b, int tolerance = 10) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance)
            return false;
    }
    return true;
}

class CardWorkflowTest : public apptest::StartedInOwnFolderTest {
  protected:
    void TearDown() override {
        progress::SetClockForTesting({});
        StartedInOwnFolderTest::TearDown();
    }

    // Runs a handler as a menu item or button does: inside the default exception handler.
    void Run(void (velmora::TForm1::*handler)()) {
        app_->Guard([handler] { (Form1->*handler)(); });
    }

    void ChooseFile(const fs::path& path) {
        dialogs_.open.push_back([path](toolkit::TOpenDialog& d) {
            d.FileName = path.string();
            return true;
        });
    }
    void Find(const fs::path& path) {
        ChooseFile(path);
        Run(&velmora::TForm1::Button1Click);
    }
    void SaveAs(const std::string& typed) {
        dialogs_.save.push_back([typed](toolkit::TSavePictureDialog& d) {
            d.FileName = typed;
            return true;
        });
        Run(&velmora::TForm1::Save1Click);
    }

    graphics::TBitmap& Card() { return Form1->Session().CardBitmap(); }
    TColor Pixel(int x, int y) { return Form1->Session().CardCanvas().PixelAt(x, y); }
    size_t Snapshots() const { return Form1->Session().History().Count(); }

    std::vector<TColor> CardPixels() {
        std::vector<TColor> pixels;
        for (int y = 0; y < Card().Height(); ++y) {
            for (int x = 0; x < Card().Width(); ++x)
                pixels.push_back(Pixel(x, y));
        }
        return pixels;
    }

    // Pixels of colour in the rectangle [left, right) x [top, bottom) of the card.
    int CountPixels(TColor colour, int left, int top, int right, int bottom) {
        int count = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x)
                count += Pixel(x, y) == colour ? 1 : 0;
        }
        return count;
    }

    // A background of the card's size in one colour, put in place with Find.
    void FindSolidBackground(TColor colour) {
        const fs::path path = folder_ / "solid.bmp";
        WriteBmp(path, 495, 315, Solid(colour));
        Find(path);
        ASSERT_TRUE(boxes_.empty());
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : boxes_)
            texts.push_back(box.text);
        return texts;
    }
};

// ---- Find: each reader.

TEST_F(CardWorkflowTest, FindReadsABmpIntoTheCardAndTakesASnapshot) {
    const fs::path path = folder_ / "quarters.bmp";
    WriteBmp(path, 495, 315,
             [](int x, int y) { return x < 247 ? (y < 157 ? kGreen : kBlue) : kOrange; });
    Find(path);

    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    ASSERT_EQ(Card().Width(), 495);
    ASSERT_EQ(Card().Height(), 315);
    EXPECT_EQ(Pixel(0, 0), kGreen);
    EXPECT_EQ(Pixel(246, 314), kBlue);
    EXPECT_EQ(Pixel(494, 0), kOrange);
    EXPECT_EQ(Snapshots(), 1u);
    EXPECT_EQ(Form1->OpenDialog1.FileName, path.string());
    ASSERT_TRUE(Form1->Session().State().Pictures.WorkBitmap);
    EXPECT_EQ(Form1->Session().State().Pictures.WorkBitmap->Width(), 495);
}

TEST_F(CardWorkflowTest, FindReadsTheFirstFrameOfAGif) {
    const fs::path path = folder_ / "stripes.gif";
    WriteGif(path, 495, 315, {kRed, kGreen, kBlue, kWhite}, [](int x, int) { return x / 124; });
    Find(path);

    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    ASSERT_EQ(Card().Width(), 495);
    ASSERT_EQ(Card().Height(), 315);
    EXPECT_EQ(Pixel(0, 0), kRed);
    EXPECT_EQ(Pixel(130, 314), kGreen);
    EXPECT_EQ(Pixel(250, 2), kBlue);
    EXPECT_EQ(Pixel(494, 314), kWhite);
    EXPECT_EQ(Snapshots(), 1u);
}

TEST_F(CardWorkflowTest, FindReadsAJpegThroughTheHandOver) {
    const fs::path path = folder_ / "halves.jpg";
    WriteJpeg(path, 495, 315, [](int x, int) { return x < 248 ? kOrange : kBlue; });
    Find(path);

    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    ASSERT_EQ(Card().Width(), 495);
    ASSERT_EQ(Card().Height(), 315);
    EXPECT_TRUE(Near(Pixel(4, 157), kOrange));
    EXPECT_TRUE(Near(Pixel(490, 157), kBlue));
    EXPECT_EQ(Snapshots(), 1u);
    EXPECT_FALSE(Form1->Session().State().Pictures.JpegImage->IsEmpty());
}

TEST_F(CardWorkflowTest, EndingsAreRecognisedInAnyLetterCase) {
    const fs::path jpeg = folder_ / "Photo.JPEG";
    WriteJpeg(jpeg, 16, 8, Solid(kBlue));
    Find(jpeg);
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_TRUE(Near(Pixel(247, 157), kBlue));
    const fs::path bmp = folder_ / "UPPER.BMP";
    WriteBmp(bmp, 10, 6, Solid(kGreen));
    Find(bmp);
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(Pixel(247, 157), kGreen);

    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(Snapshots(), 2u);
}

// ---- Find: the fitting rule on real pictures (the design's worked values), for pictures
// larger and smaller than the card alike.

struct FitRow {
    int w, h;
    // The first and one-past-last row and column the picture covers in the 495 x 315 card.
    int top, bottom, left, right;
};

class FitRowTest : public CardWorkflowTest, public ::testing::WithParamInterface<FitRow> {};

TEST_P(FitRowTest, APictureOfAnyOtherSizeIsFittedIntoTheCardOnBlack) {
    const FitRow row = GetParam();
    const fs::path path = folder_ / "picture.bmp";
    WriteBmp(path, row.w, row.h, Solid(kOrange));
    Find(path);

    ASSERT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    ASSERT_EQ(Card().Width(), 495);
    ASSERT_EQ(Card().Height(), 315);
    const int midX = (row.left + row.right) / 2;
    const int midY = (row.top + row.bottom) / 2;
    EXPECT_EQ(Pixel(midX, row.top), kOrange);
    EXPECT_EQ(Pixel(midX, row.bottom - 1), kOrange);
    EXPECT_EQ(Pixel(row.left, midY), kOrange);
    EXPECT_EQ(Pixel(row.right - 1, midY), kOrange);
    if (row.top > 0) {
        EXPECT_EQ(Pixel(midX, row.top - 1), kBlack);
    }
    if (row.bottom < 315) {
        EXPECT_EQ(Pixel(midX, row.bottom), kBlack);
    }
    if (row.left > 0) {
        EXPECT_EQ(Pixel(row.left - 1, midY), kBlack);
    }
    if (row.right < 495) {
        EXPECT_EQ(Pixel(row.right, midY), kBlack);
    }
    EXPECT_EQ(CountPixels(kOrange, 0, 0, 495, 315),
              (row.bottom - row.top) * (row.right - row.left));
    EXPECT_EQ(Snapshots(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedValues, FitRowTest,
    ::testing::Values(FitRow{800, 600, 0, 315, 0, 495},   // cut 28 rows at top and bottom
                      FitRow{1000, 500, 34, 281, 0, 495}, // bands of 34 rows
                      FitRow{600, 800, 0, 315, 129, 365}, // bands of 129 and 130 columns
                      FitRow{600, 600, 0, 315, 90, 405},  // square: 315 x 315, centred
                      FitRow{496, 100, 108, 207, 0, 495}, // one column too wide
                      FitRow{100, 316, 0, 315, 198, 297}, // one row too high
                      FitRow{320, 240, 0, 315, 0, 495},   // a small photo fills the card
                      FitRow{200, 100, 34, 281, 0, 495},  // scaled up, bands of 34 rows
                      FitRow{100, 200, 0, 315, 169, 326}, // small portrait: 157 columns
                      FitRow{50, 50, 0, 315, 90, 405},    // small square: 315 x 315, centred
                      FitRow{400, 150, 65, 250, 0, 495},  // 495 x 185, bands of 65 rows
                      FitRow{495, 314, 0, 314, 0, 495}    // one row short: the last row black
                      ),
    [](const ::testing::TestParamInfo<FitRow>& info) {
        return std::to_string(info.param.w) + "x" + std::to_string(info.param.h);
    });

TEST_F(CardWorkflowTest, OnlyAPictureOfTheCardsSizeGoesInUnchanged) {
    const fs::path exact = folder_ / "exact.bmp";
    WriteBmp(exact, 495, 315, [](int x, int y) { return (x + y) % 2 ? kGreen : kBlue; });
    Find(exact);
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(Card().Height(), 315);
    EXPECT_EQ(CountPixels(kGreen, 0, 0, 495, 315), 495 * 315 / 2);
    EXPECT_EQ(CountPixels(kBlue, 0, 0, 495, 315), 495 * 315 - 495 * 315 / 2);
}

// Whatever the card held before, the next picture is fitted into 495 x 315 by the same rule:
// after a 300 x 200 picture, 400 x 150 is scaled to 495 x 185 with bands of 65 rows.
TEST_F(CardWorkflowTest, EveryPictureIsFittedWhateverCameBefore) {
    const fs::path first = folder_ / "first.bmp";
    WriteBmp(first, 300, 200, Solid(kGreen));
    Find(first);
    ASSERT_EQ(Card().Width(), 495);
    ASSERT_EQ(Card().Height(), 315);

    const fs::path second = folder_ / "second.bmp";
    WriteBmp(second, 400, 150, Solid(kOrange));
    Find(second);
    ASSERT_EQ(Card().Width(), 495);
    ASSERT_EQ(Card().Height(), 315);
    EXPECT_EQ(Pixel(200, 64), kBlack);
    EXPECT_EQ(Pixel(200, 65), kOrange);
    EXPECT_EQ(Pixel(200, 249), kOrange);
    EXPECT_EQ(Pixel(200, 250), kBlack);
    EXPECT_EQ(CountPixels(kOrange, 0, 0, 495, 315), 495 * 185);
    EXPECT_EQ(Snapshots(), 2u);
}

// ---- Find: what changes nothing.

// A GIF without an image decodes to no pixels: refused with a message, the card, its history
// and Save As's objects as they were, and no empty file is ever written.
TEST_F(CardWorkflowTest, AGifWithoutAnImageIsRefusedAndChangesNothing) {
    FindSolidBackground(kGreen);
    const std::vector<TColor> before = CardPixels();
    const graphics::TBitmap* workBefore = Form1->Session().State().Pictures.WorkBitmap.get();
    const std::string nameBefore = Form1->OpenDialog1.FileName;
    const fs::path empty = folder_ / "empty.gif";
    WriteBytes(empty, {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0x3B});
    Find(empty);

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.find("has no pixels"), std::string::npos) << boxes_[0].text;
    EXPECT_EQ(CardPixels(), before);
    EXPECT_EQ(Snapshots(), 1u);
    EXPECT_EQ(Form1->Session().State().Pictures.WorkBitmap.get(), workBefore);
    EXPECT_EQ(Form1->OpenDialog1.FileName, nameBefore);

    SaveAs((folder_ / "card").string());
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_GT(fs::file_size(folder_ / "card.jpg"), 1000u);
}

TEST_F(CardWorkflowTest, ACancelledFindChangesNothing) {
    const fs::path path = folder_ / "chosen.bmp";
    WriteBmp(path, 50, 40, Solid(kGreen));
    Find(path);
    ASSERT_EQ(Snapshots(), 1u);
    // The file is gone: reading it again would fail, so a cancel must not read at all.
    fs::remove(path);

    dialogs_.open.push_back([](toolkit::TOpenDialog&) { return false; });
    Run(&velmora::TForm1::Button1Click);

    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(Pixel(10, 10), kGreen);
    EXPECT_EQ(Snapshots(), 1u);
    EXPECT_EQ(Form1->OpenDialog1.FileName, path.string());
}

TEST_F(CardWorkflowTest, ACancelledFirstFindLeavesTheStartCard) {
    dialogs_.open.push_back([](toolkit::TOpenDialog&) { return false; });
    Run(&velmora::TForm1::Button1Click);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(Card().Height(), 315);
    EXPECT_EQ(Pixel(0, 0), kWhite);
    EXPECT_EQ(Snapshots(), 0u);
}

TEST_F(CardWorkflowTest, AnUnknownEndingIsAClearErrorThatChangesNothing) {
    FindSolidBackground(kGreen);
    const std::string before = Form1->OpenDialog1.FileName;
    const fs::path notes = folder_ / "notes.txt";
    WriteBytes(notes, {'h', 'i'});
    Find(notes);

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.find("notes.txt"), std::string::npos) << boxes_[0].text;
    EXPECT_NE(boxes_[0].text.find(".jpg, .jpeg, .gif or .bmp"), std::string::npos);
    EXPECT_EQ(boxes_[0].caption, "Velmora");
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(CountPixels(kGreen, 0, 0, 495, 315), 495 * 315);
    EXPECT_EQ(Snapshots(), 1u);
    EXPECT_EQ(Form1->OpenDialog1.FileName, before);
}

TEST_F(CardWorkflowTest, APictureThatCannotBeReadLeavesTheCardAndTheChoice) {
    const fs::path broken = folder_ / "broken.jpg";
    WriteBytes(broken, {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'});
    Find(broken);

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text.rfind("JPEG error #", 0), 0u) << boxes_[0].text;
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(Pixel(100, 100), kWhite);
    EXPECT_EQ(Snapshots(), 0u);
    // No background was put in place, so Verify still starts from the blank template.
    EXPECT_EQ(Form1->OpenDialog1.FileName, "");
}

// ---- Verify.

// Where the overlay always draws: the top rule of the contact table.
constexpr int kRuleX = 100;
constexpr int kRuleY = 250;

TEST_F(CardWorkflowTest, VerifyDrawsOnTheBackgroundAndUndoTakesTheOverlayOff) {
    FindSolidBackground(kGreen);
    Form1->LabeledEdit1->SetText("w1aw");
    Run(&velmora::TForm1::Button2Click);

    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(Pixel(kRuleX, kRuleY), kBlack);
    EXPECT_GT(CountPixels(kBlack, 0, 25, 495, 70), 50) << "the call sign";
    EXPECT_EQ(Snapshots(), 1u) << "Verify on a background takes no snapshot";

    Run(&velmora::TForm1::Undo2Click);
    EXPECT_EQ(CountPixels(kGreen, 0, 0, 495, 315), 495 * 315);
    EXPECT_EQ(Snapshots(), 0u);
}

TEST_F(CardWorkflowTest, VerifyWithoutABackgroundStartsFromTheTemplateAtItsOwnSize) {
    WriteJpeg(cwd_ / "blankcard.jpg", 300, 200, Solid(kBlue));
    Run(&velmora::TForm1::Button2Click);

    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    ASSERT_EQ(Card().Width(), 300);
    ASSERT_EQ(Card().Height(), 200);
    EXPECT_TRUE(Near(Pixel(5, 190), kBlue));
    EXPECT_EQ(Snapshots(), 1u);
    ASSERT_TRUE(Form1->Session().State().Pictures.JpegImage);
    EXPECT_FALSE(Form1->Session().State().Pictures.JpegImage->IsEmpty());

    // Every Verify starts again from a fresh copy of the template and keeps a snapshot of it.
    Run(&velmora::TForm1::Button2Click);
    EXPECT_EQ(Snapshots(), 2u);
    Run(&velmora::TForm1::Undo2Click);
    EXPECT_EQ(Card().Width(), 300);
    int blue = 0;
    for (const TColor pixel : CardPixels())
        blue += Near(pixel, kBlue) ? 1 : 0;
    EXPECT_EQ(blue, 300 * 200) << "Undo shows the template without the overlay";
}

TEST_F(CardWorkflowTest, VerifyDrawsOnTheShippedBlankCard) {
    fs::current_path(VELMORA_DATA_DIR);
    Run(&velmora::TForm1::Button2Click);
    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(Card().Height(), 315);
    EXPECT_EQ(Pixel(kRuleX, kRuleY), kBlack);
    EXPECT_EQ(Snapshots(), 1u);
}

TEST_F(CardWorkflowTest, VerifyWithoutTemplateReportsTheFileAndDrawsNothing) {
    const std::vector<TColor> before = CardPixels();
    Run(&velmora::TForm1::Button2Click);

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text.rfind("Cannot open file \"", 0), 0u) << boxes_[0].text;
    EXPECT_NE(boxes_[0].text.find((cwd_ / "blankcard.jpg").string()), std::string::npos)
        << boxes_[0].text;
    EXPECT_EQ(CardPixels(), before);
    EXPECT_EQ(Snapshots(), 0u);
}

// ---- Save As.

// The card read back from a saved file, compared with the card: same size and on average
// within JPEG's coding error.
double MeanDifference(graphics::TBitmap& card, const fs::path& saved) {
    jpeg::TJPEGImage picture;
    picture.ReadFromFile(saved.string());
    graphics::TBitmap& back = picture.Bitmap();
    EXPECT_EQ(back.Width(), card.Width());
    EXPECT_EQ(back.Height(), card.Height());
    if (back.Width() != card.Width() || back.Height() != card.Height())
        return 1e9;
    double total = 0;
    for (int y = 0; y < card.Height(); ++y) {
        for (int x = 0; x < card.Width(); ++x) {
            const TColor a = card.Canvas().PixelAt(x, y);
            const TColor b = back.Canvas().PixelAt(x, y);
            for (int shift : {0, 8, 16})
                total += std::abs(Channel(a, shift) - Channel(b, shift));
        }
    }
    return total / (3.0 * card.Width() * card.Height());
}

TEST_F(CardWorkflowTest, SaveAsWritesAJpegOfTheCard) {
    const fs::path path = folder_ / "bg.bmp";
    WriteBmp(path, 495, 315, [](int x, int y) { return (x / 60 + y / 60) % 2 ? kGreen : kOrange; });
    Find(path);
    Form1->LabeledEdit1->SetText("K1ABC");
    Form1->LabeledEdit10->SetText("USA");
    Run(&velmora::TForm1::Button2Click);
    SaveAs((folder_ / "card").string());

    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    const fs::path saved = folder_ / "card.jpg";
    ASSERT_TRUE(fs::exists(saved));
    const std::vector<uint8_t> bytes = ReadBytes(saved);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    EXPECT_LT(MeanDifference(Card(), saved), 4.0);
    EXPECT_FALSE(fs::exists(folder_ / "card")) << "only the .jpg name is written";
}

TEST_F(CardWorkflowTest, SaveAsAddsJpgOnlyWhenTheNameHasNoJpegExtension) {
    const struct {
        const char* typed;
        const char* written;
    } names[] = {
        {"plain", "plain.jpg"},       {"typed.jpg", "typed.jpg"}, {"upper.JPEG", "upper.JPEG"},
        {"mixed.JpG", "mixed.JpG"},   {"long.jpeg", "long.jpeg"}, {"other.png", "other.png.jpg"},
        {"nodotjpg", "nodotjpg.jpg"},
    };
    for (const auto& name : names) {
        SaveAs((folder_ / name.typed).string());
        EXPECT_TRUE(fs::exists(folder_ / name.written)) << name.typed;
    }
    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    EXPECT_FALSE(fs::exists(folder_ / "typed.jpg.jpg"));
    EXPECT_FALSE(fs::exists(folder_ / "upper.JPEG.jpg"));
    EXPECT_FALSE(fs::exists(folder_ / "other.png"));
}

TEST_F(CardWorkflowTest, SaveAsBeforeAnyFindOrVerifySavesTheCard) {
    ASSERT_FALSE(Form1->Session().State().Pictures.JpegImage);
    SaveAs((folder_ / "first").string());
    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    ASSERT_TRUE(fs::exists(folder_ / "first.jpg"));
    EXPECT_LT(MeanDifference(Card(), folder_ / "first.jpg"), 1.0);
}

TEST_F(CardWorkflowTest, ASecondSaveAsToTheSameNameReplacesTheFile) {
    FindSolidBackground(kGreen);
    SaveAs((folder_ / "card").string());
    const std::vector<uint8_t> first = ReadBytes(folder_ / "card.jpg");
    EXPECT_TRUE(dialogs_.asked.empty()) << "no question for a new file";
    Run(&velmora::TForm1::Button2Click);
    dialogs_.replace.push_back([](const std::string&) { return true; });
    SaveAs((folder_ / "card.jpg").string());

    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(dialogs_.asked, std::vector<std::string>{(folder_ / "card.jpg").string()});
    EXPECT_NE(ReadBytes(folder_ / "card.jpg"), first);
    EXPECT_LT(MeanDifference(Card(), folder_ / "card.jpg"), 4.0);
    EXPECT_FALSE(fs::exists(folder_ / "card.jpg.jpg"));
}

// The save dialog opens beside the background: one click on the original photo must not destroy
// it. "No" and a closed question both write nothing and change nothing.
TEST_F(CardWorkflowTest, SaveAsAsksBeforeReplacingAFileAndNoKeepsIt) {
    const fs::path photo = folder_ / "photo.jpg";
    WriteJpeg(photo, 640, 480, Solid(kBlue));
    const std::vector<uint8_t> original = ReadBytes(photo);
    Find(photo);
    Run(&velmora::TForm1::Button2Click);
    const auto entries = [this] {
        return std::distance(fs::directory_iterator(folder_), fs::directory_iterator());
    };
    const auto entriesBefore = entries();

    dialogs_.replace.push_back([](const std::string&) { return false; });
    SaveAs(photo.string());
    SaveAs((folder_ / "photo").string()); // no answer queued: the question was closed
    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(dialogs_.asked, (std::vector<std::string>{photo.string(), photo.string()}));
    EXPECT_EQ(ReadBytes(photo), original);
    EXPECT_EQ(entries(), entriesBefore) << "no temporary file and no other file";
}

TEST_F(CardWorkflowTest, ACancelledSaveAsWritesNothing) {
    dialogs_.save.push_back([this](toolkit::TSavePictureDialog& d) {
        d.FileName = (folder_ / "never").string();
        return false;
    });
    Run(&velmora::TForm1::Save1Click);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(fs::exists(folder_ / "never.jpg"));
    EXPECT_FALSE(fs::exists(folder_ / "never"));
}

// A folder that refuses new entries: read-only for an ordinary user; for root, who may write
// anywhere, the file system's immutable flag.
class LockedFolder {
  public:
    explicit LockedFolder(const fs::path& folder) : folder_(folder) {
        if (::geteuid() != 0) {
            locked_ = ::chmod(folder.c_str(), 0555) == 0;
            return;
        }
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            locked_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~LockedFolder() {
        if (::geteuid() != 0) {
            ::chmod(folder_.c_str(), 0755);
        } else if (fd_ >= 0) {
            int flags = 0;
            if (locked_ && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(fd_, FS_IOC_SETFLAGS, &flags);
            }
            ::close(fd_);
        }
    }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;
    bool Locked() const { return locked_; }

  private:
    fs::path folder_;
    int fd_ = -1;
    bool locked_ = false;
};

TEST_F(CardWorkflowTest, AnUnwritableFolderIsReportedAndTheOldFileSurvives) {
    const fs::path out = folder_ / "out";
    fs::create_directories(out);
    const std::vector<uint8_t> old{0xFF, 0xD8, 'o', 'l', 'd'};
    WriteBytes(out / "card.jpg", old);
    FindSolidBackground(kGreen);
    {
        const LockedFolder lock(out);
        if (!lock.Locked())
            GTEST_SKIP() << "this file system cannot make a folder refuse new files";
        dialogs_.replace.push_back([](const std::string&) { return true; });
        SaveAs((out / "card").string());
    }
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text.rfind("Cannot create file \"", 0), 0u) << boxes_[0].text;
    EXPECT_NE(boxes_[0].text.find((out / "card.jpg").string()), std::string::npos);
    EXPECT_EQ(ReadBytes(out / "card.jpg"), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

TEST_F(CardWorkflowTest, SavingOverAFolderIsReportedAndTheFolderSurvives) {
    fs::create_directories(folder_ / "taken.jpg");
    WriteBytes(folder_ / "taken.jpg" / "inside", {1, 2, 3});
    dialogs_.replace.push_back([](const std::string&) { return true; });
    SaveAs((folder_ / "taken").string());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.find("taken.jpg"), std::string::npos) << boxes_[0].text;
    EXPECT_TRUE(fs::is_directory(folder_ / "taken.jpg"));
    EXPECT_EQ(ReadBytes(folder_ / "taken.jpg" / "inside"), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(CardWorkflowTest, TheSaveDialogOpensInTheFolderOfTheLastBackground) {
    std::vector<std::string> folders;
    auto record = [&folders](toolkit::TSavePictureDialog& d) {
        folders.push_back(d.InitialDir);
        return false;
    };
    dialogs_.save.push_back(record);
    Run(&velmora::TForm1::Save1Click);

    const fs::path pictures = folder_ / "pictures";
    fs::create_directories(pictures);
    WriteBmp(pictures / "bg.bmp", 20, 20, Solid(kGreen));
    Find(pictures / "bg.bmp");
    dialogs_.save.push_back(record);
    Run(&velmora::TForm1::Save1Click);

    Form1->OpenDialog1.InitialDir = (folder_ / "start").string();
    dialogs_.save.push_back(record);
    Run(&velmora::TForm1::Save1Click);

    EXPECT_EQ(folders,
              (std::vector<std::string>{"", pictures.string(), (folder_ / "start").string()}));
}

// The second JPEG codec's entry is the newest of all, so it follows the "All" entry.
TEST_F(CardWorkflowTest, TheSaveDialogFilterListsThePictureFormatsNewestFirst) {
    EXPECT_EQ(Form1->SavePictureDialog1.Filter, testsupport::kStartedPictureFilter);
    EXPECT_EQ(Form1->SavePictureDialog1.DefaultExt, "");
}

// ---- The save dialog's preview panel.

TEST_F(CardWorkflowTest, ThePreviewShowsAPictureScaledIntoItsBox) {
    const fs::path wide = folder_ / "wide.bmp";
    WriteBmp(wide, 400, 100, Solid(kOrange));
    const QImage preview = toolkit::PicturePreview(wide.string(), 200, 150);
    ASSERT_FALSE(preview.isNull());
    ASSERT_EQ(preview.size(), QSize(200, 150));
    // 400 x 100 scaled to 200 x 50, centred: rows 50 to 99.
    EXPECT_EQ(preview.pixel(100, 75) & 0xFFFFFF, 0xFF8000u);
    EXPECT_EQ(preview.pixel(0, 50) & 0xFFFFFF, 0xFF8000u);
    EXPECT_NE(preview.pixel(100, 10) & 0xFFFFFF, 0xFF8000u);
    EXPECT_NE(preview.pixel(100, 140) & 0xFFFFFF, 0xFF8000u);
}

TEST_F(CardWorkflowTest, ThePreviewReadsJpegAndGifFilesAndNeverEnlarges) {
    const fs::path jpeg = folder_ / "small.jpg";
    WriteJpeg(jpeg, 20, 10, Solid(kBlue));
    const QImage fromJpeg = toolkit::PicturePreview(jpeg.string(), 100, 100);
    ASSERT_FALSE(fromJpeg.isNull());
    EXPECT_TRUE(Near(TColor(fromJpeg.pixel(50, 50) & 0xFFFFFF), 0x0040C0));
    EXPECT_FALSE(Near(TColor(fromJpeg.pixel(50, 30) & 0xFFFFFF), 0x0040C0)) << "not enlarged";

    const fs::path gif = folder_ / "small.gif";
    WriteGif(gif, 8, 8, {kGreen}, [](int, int) { return 0; });
    const QImage fromGif = toolkit::PicturePreview(gif.string(), 100, 100);
    ASSERT_FALSE(fromGif.isNull());
    EXPECT_EQ(fromGif.pixel(50, 50) & 0xFFFFFF, 0x00A000u);
}

// The preview reads a ".jpg" through the format list's newest entry for that ending, the second
// JPEG codec, while a ".jpeg" stays with the card editor's JPEG picture. The two decode with
// different DCTs (integer and floating point), so the pixels tell which one ran.
TEST_F(CardWorkflowTest, ThePreviewReadsJpgFilesThroughTheSecondJpegCodec) {
    const fs::path photo = fs::path(VELMORA_CORPUS_DIR) / "jpeg/ijg-jpeg-6b/testorig.jpg";
    if (!fs::exists(photo))
        GTEST_SKIP() << "no picture corpus beside the project";
    fs::copy_file(photo, folder_ / "photo.jpg");
    fs::copy_file(photo, folder_ / "photo.jpeg");
    EXPECT_EQ(graphics::FindGraphicClass("jpg"), &tjpeg::TJpegFileImage::Class());
    EXPECT_EQ(graphics::FindGraphicClass("jpeg"), &jpeg::TJPEGImage::Class());

    tjpeg::TJpegFileImage second;
    second.ReadFromFile((folder_ / "photo.jpg").string());
    jpeg::TJPEGImage first;
    first.ReadFromFile((folder_ / "photo.jpeg").string());
    const apptest::Pixels secondPixels = apptest::PixelsOf(&second);
    const apptest::Pixels firstPixels = apptest::PixelsOf(&first);
    ASSERT_EQ(secondPixels.width, 227);
    ASSERT_NE(secondPixels, firstPixels) << "the codecs must differ here for the test to tell";

    // A box of the picture's own size shows its pixels one to one.
    const auto shown = [](const fs::path& file) {
        const QImage image = toolkit::PicturePreview(file.string(), 227, 149);
        apptest::Pixels pixels{image.width(), image.height(), {}};
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                pixels.values.push_back(image.pixel(x, y) & 0xFFFFFF);
        }
        return pixels;
    };
    EXPECT_TRUE(shown(folder_ / "photo.jpg") == secondPixels);
    EXPECT_TRUE(shown(folder_ / "photo.jpeg") == firstPixels);
}

TEST_F(CardWorkflowTest, ThePreviewShowsNothingForFilesItCannotRead) {
    WriteBytes(folder_ / "broken.bmp", {'B', 'M', 0, 0});
    WriteBytes(folder_ / "notes.txt", {'h', 'i'});
    EXPECT_TRUE(toolkit::PicturePreview((folder_ / "broken.bmp").string(), 100, 100).isNull());
    EXPECT_TRUE(toolkit::PicturePreview((folder_ / "notes.txt").string(), 100, 100).isNull());
    EXPECT_TRUE(toolkit::PicturePreview((folder_ / "missing.jpg").string(), 100, 100).isNull());
    EXPECT_TRUE(toolkit::PicturePreview(folder_.string(), 100, 100).isNull());
}

// The real dialog: Qt's file dialog with the panel beside the list, following the file under
// the cursor, and the format list's entries as Qt name filters.
TEST_F(CardWorkflowTest, TheQtSaveDialogShowsThePreviewAndTheFormats) {
    const fs::path picture = folder_ / "shown.bmp";
    WriteBmp(picture, 60, 40, Solid(kOrange));
    const auto qtDialogs = toolkit::NewQtDialogProvider();
    const toolkit::ScopedDialogProvider useQt(*qtDialogs);

    QStringList filters;
    bool previewShown = false;
    int tries = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (++tries > 200 && QApplication::activeModalWidget() != nullptr)
                QApplication::activeModalWidget()->close();
            return;
        }
        filters = dialog->nameFilters();
        auto* preview = dialog->findChild<QLabel*>(QStringLiteral("PicturePreview"));
        // The folder is listed in the background: move the cursor onto the file, as a click
        // in the list does, once it is listed.
        if (preview != nullptr && ++tries < 200) {
            if (preview->pixmap().isNull()) {
                auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("treeView"));
                auto* model =
                    view != nullptr ? qobject_cast<QFileSystemModel*>(view->model()) : nullptr;
                if (model != nullptr) {
                    const QModelIndex index =
                        model->index(QString::fromStdString(picture.string()));
                    if (index.isValid())
                        view->setCurrentIndex(index);
                }
                return;
            }
            const QImage shown = preview->pixmap().toImage();
            previewShown =
                (shown.pixel(shown.width() / 2, shown.height() / 2) & 0xFFFFFF) == 0xFF8000u;
        }
        dialog->reject();
    });
    poll.start(10);
    toolkit::TSavePictureDialog save;
    save.InitialDir = folder_.string();
    EXPECT_FALSE(save.Execute());
    poll.stop();

    ASSERT_GE(filters.size(), 2);
    EXPECT_EQ(filters[0], "All (*.jpg *.gif *.jpg *.jpeg *.bmp *.ico *.emf *.wmf)");
    EXPECT_EQ(filters[1], "Jpeg file (*.jpg)");
    EXPECT_TRUE(previewShown);
}

// ---- Text colour.

// A monochrome background keeps its black and white when the overlay is drawn in another colour:
// the card's private copy keeps the picture's own colour table.
TEST_F(CardWorkflowTest, AMonochromeBackgroundKeepsItsColoursUnderRedText) {
    const fs::path path = folder_ / "mono.bmp";
    WriteMonoBmp(path, 495, 315, [](int x, int y) { return (x / 5 + y / 5) % 2 == 0; });
    Find(path);
    ASSERT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    dialogs_.color.push_back([](toolkit::TColorDialog& d) {
        d.Color = kRed;
        return true;
    });
    Run(&velmora::TForm1::SelectFontColor1Click);
    Run(&velmora::TForm1::Button2Click);
    // Corners the overlay does not touch keep the checker board exactly.
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{7, 2}, std::pair{490, 310}}) {
        const TColor expected = (x / 5 + y / 5) % 2 == 0 ? kBlack : kWhite;
        EXPECT_EQ(Pixel(x, y), expected) << x << ", " << y;
    }
}

TEST_F(CardWorkflowTest, TheChosenTextColourDrawsTheNextVerify) {
    FindSolidBackground(kWhite);
    dialogs_.color.push_back([](toolkit::TColorDialog& d) {
        d.Color = kRed;
        return true;
    });
    Run(&velmora::TForm1::SelectFontColor1Click);
    EXPECT_EQ(Form1->Session().State().TextColor, kRed);
    Run(&velmora::TForm1::Button2Click);

    EXPECT_EQ(Pixel(kRuleX, kRuleY), kRed);
    EXPECT_EQ(Pixel(kRuleX, 275), kRed);
    EXPECT_EQ(CountPixels(kBlack, 0, 240, 495, 315), 0) << "the table follows the colour";
}

TEST_F(CardWorkflowTest, ACancelledColourDialogKeepsTheTextColour) {
    // At first use a cancel leaves black.
    Run(&velmora::TForm1::SelectFontColor1Click);
    EXPECT_EQ(Form1->Session().State().TextColor, kBlack);

    dialogs_.color.push_back([](toolkit::TColorDialog& d) {
        d.Color = kRed;
        return true;
    });
    Run(&velmora::TForm1::SelectFontColor1Click);
    // Coming back from another window of the program resets the colour; the dialog keeps red.
    Form1->FormActivate();
    ASSERT_EQ(Form1->Session().State().TextColor, kBlack);
    ASSERT_EQ(Form1->ColorDialog1.Color, kRed);

    Run(&velmora::TForm1::SelectFontColor1Click);
    EXPECT_EQ(Form1->Session().State().TextColor, kBlack);
    // A script that changes the dialog and still cancels: the card's colour stays.
    dialogs_.color.push_back([](toolkit::TColorDialog& d) {
        d.Color = kGreen;
        return false;
    });
    Run(&velmora::TForm1::SelectFontColor1Click);
    EXPECT_EQ(Form1->Session().State().TextColor, kBlack);
}

// ---- Call-sign font.

TEST_F(CardWorkflowTest, TheFontDialogOpensWithTheCallSignFont) {
    std::string name;
    int32_t size = 0;
    TColor colour = -1;
    bool bold = true;
    dialogs_.font.push_back([&](toolkit::TFontDialog& d) {
        name = d.Font().Name();
        size = d.Font().Size();
        colour = d.Font().Color();
        bold = d.Font().Style().Contains(graphics::fsBold);
        return false;
    });
    const velmora::FontDescription before = Form1->Session().State().CallIdFont;
    Run(&velmora::TForm1::CallIDFont1Click);
    EXPECT_EQ(name, "MS Sans Serif");
    EXPECT_EQ(size, 24);
    EXPECT_EQ(colour, kBlack);
    EXPECT_FALSE(bold);
    EXPECT_EQ(Form1->Session().State().CallIdFont, before);
}

TEST_F(CardWorkflowTest, TheChosenCallSignFontDrawsTheNextVerify) {
    FindSolidBackground(kGreen);
    Form1->LabeledEdit1->SetText("W1AW");
    Form1->LabeledEdit10->SetText("");
    dialogs_.font.push_back([](toolkit::TFontDialog& d) {
        d.Font().SetColor(kWhite);
        d.Font().SetSize(36);
        d.Font().SetStyle(graphics::TFontStyles{}.With(graphics::fsBold));
        return true;
    });
    Run(&velmora::TForm1::CallIDFont1Click);
    const velmora::FontDescription& font = Form1->Session().State().CallIdFont;
    EXPECT_EQ(font.color, kWhite);
    EXPECT_EQ(font.size, 36);
    EXPECT_TRUE(font.style.Contains(graphics::fsBold));
    EXPECT_EQ(font.name, "MS Sans Serif");

    Run(&velmora::TForm1::Button2Click);
    ASSERT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    // The call sign in white, the table still in the text colour.
    EXPECT_GT(CountPixels(kWhite, 0, 25, 495, 70), 100);
    EXPECT_EQ(CountPixels(kBlack, 0, 25, 495, 68), 0);
    EXPECT_EQ(Pixel(kRuleX, kRuleY), kBlack);
    // The larger size reaches further down than the 24-point default would.
    int lowest = 0;
    for (int y = 25; y < 90; ++y) {
        if (CountPixels(kWhite, 0, y, 495, y + 1) > 0)
            lowest = y;
    }
    EXPECT_GT(lowest, 25 + 30);
}

TEST_F(CardWorkflowTest, ACancelledFontDialogKeepsTheCallSignFont) {
    const velmora::FontDescription before = Form1->Session().State().CallIdFont;
    dialogs_.font.push_back([](toolkit::TFontDialog& d) {
        d.Font().SetSize(48);
        d.Font().SetColor(kRed);
        return false;
    });
    Run(&velmora::TForm1::CallIDFont1Click);
    EXPECT_EQ(Form1->Session().State().CallIdFont, before);
}

// ---- Busy cursor and progress.

// A clock that jumps by step at every reading.
progress::Clock SteppingClock(int64_t step, std::vector<bool>* busyAtReading = nullptr) {
    auto now = std::make_shared<int64_t>(0);
    return [now, step, busyAtReading] {
        if (busyAtReading != nullptr) {
            const QCursor* cursor = QApplication::overrideCursor();
            busyAtReading->push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
        }
        return *now += step;
    };
}

TEST_F(CardWorkflowTest, TheProgressBarAppearsOnlyAfterHalfASecond) {
    int64_t now = 0;
    progress::SetClockForTesting([&now] { return now; });
    {
        progress::BusyIndicator busy(Form1, "Reading the picture...");
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        now = 100;
        busy.Report(graphics::psStarting, 0);
        now = 499;
        busy.Report(graphics::psRunning, 20);
        EXPECT_EQ(busy.Bar(), nullptr);
        now = 500;
        busy.Report(graphics::psRunning, 40);
        ASSERT_NE(busy.Bar(), nullptr);
        EXPECT_TRUE(busy.Bar()->isVisible());
        EXPECT_EQ(busy.Bar()->value(), 40);
        EXPECT_EQ(busy.Bar()->labelText(), "Reading the picture...");
        busy.Report(graphics::psEnding, 100);
        EXPECT_EQ(busy.Bar()->value(), 100);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Form1->findChild<QProgressDialog*>(), nullptr);
}

TEST_F(CardWorkflowTest, TheListenerReachesTheInnermostIndicatorAndIsHarmlessWithoutOne) {
    int64_t now = 0;
    progress::SetClockForTesting([&now] { return now; });
    const graphics::TProgressEvent listener = progress::ProgressListener();
    graphics::TBitmap sender;
    listener(sender, graphics::psRunning, 50, false, {}, ""); // nothing runs: nothing happens
    progress::BusyIndicator outer(nullptr, "outer");
    {
        progress::BusyIndicator inner(nullptr, "inner");
        now = 1000;
        listener(sender, graphics::psRunning, 30, false, {}, "");
        ASSERT_NE(inner.Bar(), nullptr);
        EXPECT_EQ(inner.Bar()->value(), 30);
        EXPECT_EQ(outer.Bar(), nullptr);
    }
    listener(sender, graphics::psRunning, 60, false, {}, "");
    ASSERT_NE(outer.Bar(), nullptr);
    EXPECT_EQ(outer.Bar()->value(), 60);
    EXPECT_EQ(progress::BusyIndicator::Current(), &outer);
}

TEST_F(CardWorkflowTest, ALongFindShowsTheBusyCursorAndTheProgressBar) {
    const fs::path path = folder_ / "photo.jpg";
    WriteJpeg(path, 64, 48, Solid(kBlue));
    std::vector<bool> busy;
    // Each reading of the clock is 600 ms later: the decode's first event is past half a second.
    progress::SetClockForTesting(SteppingClock(600, &busy));
    const int barsBefore = progress::BarsShown();
    Find(path);

    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(Card().Width(), 495);
    EXPECT_EQ(progress::BarsShown(), barsBefore + 1);
    // The first reading starts the indicator; every later one comes from a progress event.
    ASSERT_GE(busy.size(), 2u);
    EXPECT_EQ(std::count(busy.begin() + 1, busy.end(), false), 0) << "busy while it decodes";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Form1->findChild<QProgressDialog*>(), nullptr);

    // A later save goes through the same picture object: its events reach the save's own
    // indicator, not the finished one.
    SaveAs((folder_ / "out").string());
    EXPECT_TRUE(boxes_.empty()) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(progress::BarsShown(), barsBefore + 2);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CardWorkflowTest, AFailedFindTakesTheBusyCursorAway) {
    WriteBytes(folder_ / "broken.gif", {'G', 'I', 'F'});
    Find(folder_ / "broken.gif");
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
