// Helpers of the edit-command tests: Find as the card sees it (a bitmap assigned to the card and
// a snapshot) and the main window started on a fresh in-process clipboard; the pixel helpers
// are in PixelTestSupport.h.
#pragma once

#include "AppTestSupport.h"
#include "PixelTestSupport.h"
#include "app/mnVelmora.h"
#include "platform/Clipboard.h"

#include <gtest/gtest.h>

namespace apptest {

// The main window after start-up, on an empty in-process clipboard (no desktop bridge).
class EditTest : public AppTest {
  protected:
    void SetUp() override {
        platform::ResetClipboardForTesting();
        AppTest::SetUp();
        StartProgram();
        ASSERT_NE(velmora::Form1, nullptr);
        form_ = velmora::Form1;
    }
    void TearDown() override {
        AppTest::TearDown();
        platform::ResetClipboardForTesting();
    }

    graphics::TPicture& CardPicture() { return form_->Image1->Image().Picture(); }
    graphics::TBitmap& Card() { return form_->Session().CardBitmap(); }
    Pixels CardPixels() { return PixelsOf(&Card()); }

    // What Find does to the card once the background is read and fitted: the card bitmap
    // takes the working bitmap's image, then a snapshot is taken.
    void FindBackground(graphics::TColor color, int width = 495, int height = 315) {
        auto work = SolidBitmap(width, height, color);
        Card().CopyFrom(work.get());
        form_->Session().TakePicture();
    }
    // Verify's drawing: the overlay of the typed fields.
    void Verify() {
        form_->LabeledEdit1->SetText("DL1ABC");
        form_->LabeledEdit10->SetText("Germany");
        form_->DrawBoxes();
    }
    // A menu command as the user runs it, inside the application's default handler.
    void Run(void (velmora::TForm1::*handler)()) {
        toolkit::Application().Guard([this, handler] { (form_->*handler)(); });
    }

    velmora::TForm1* form_ = nullptr;
};

} // namespace apptest
