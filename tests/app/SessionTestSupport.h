// The card session on its own for the command tests: started like the window starts it, on a
// fresh in-process clipboard and with a profile file in a folder of the test's own; Find and
// Verify as the card sees them; the clipboard's contents.
#pragma once

#include "PixelTestSupport.h"
#include "app/CardSession.h"
#include "clipbrd/Clipboard.h"
#include "platform/Clipboard.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace apptest {

// What a fresh bitmap loads from the clipboard.
inline Pixels ClipboardPixels() {
    clipbrd::TClipboard clipboard;
    graphics::TBitmap loaded;
    loaded.CopyFrom(&clipboard);
    return PixelsOf(&loaded);
}

inline void PutText(const char* text) {
    clipbrd::TClipboard clipboard;
    clipboard.SetAsText(text);
}

inline void PutPicture(graphics::TBitmap& bitmap) {
    clipbrd::TClipboard clipboard;
    clipboard.CopyFrom(&bitmap);
}

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::ResetClipboardForTesting();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("velmora-session-" + std::to_string(::getpid()) + "-" + info->test_suite_name() +
                   "-" + info->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        session_ = std::make_unique<velmora::CardSession>((folder_ / "velmora.ini").string());
        Follow();
        session_->StartCard(495, 315);
        session_->Activate();
    }
    void TearDown() override {
        session_.reset();
        std::filesystem::remove_all(folder_);
        platform::ResetClipboardForTesting();
    }
    // Installs a follower of the card before the card is made.
    virtual void Follow() {}

    graphics::TBitmap& Card() { return session_->CardBitmap(); }
    Pixels CardPixels() { return PixelsOf(&Card()); }

    // What Find does to the card once the background is read and fitted: the card bitmap
    // takes the working bitmap's image, then a snapshot is taken.
    void FindBackground(graphics::TColor color, int width = 495, int height = 315) {
        auto work = SolidBitmap(width, height, color);
        Card().CopyFrom(work.get());
        session_->TakePicture();
    }
    // The fields a user types for Verify.
    static card::CardData Typed() {
        card::CardData typed;
        typed.callSign = "DL1ABC";
        typed.country = "Germany";
        return typed;
    }
    // Verify's drawing: the overlay of the typed fields.
    void Verify() { session_->DrawBoxes(Typed()); }

    std::filesystem::path folder_;
    std::unique_ptr<velmora::CardSession> session_;
};

} // namespace apptest
