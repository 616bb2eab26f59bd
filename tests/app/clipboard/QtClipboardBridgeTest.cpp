// The desktop clipboard bridge against a real X11 clipboard, with xclip as the other program.
// These tests need an X server (DISPLAY, e.g. under xvfb-run) and xclip; without either they
// are skipped with the reason. The image conversions are tested without a desktop.
#include "app/clipboard/QtClipboardBridge.h"

#include "clipbrd/Clipboard.h"
#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/Picture.h"
#include "platform/Clipboard.h"
#include "platform/Gdi.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace graphics;
using clipbrd::TClipboard;

namespace {

constexpr int kTimeoutMs = 10000;

// Draws a pattern in which neighbouring pixels differ in every channel.
QRgb PatternRgb(int x, int y, int seed) {
    return qRgb((x * 37 + seed) & 0xFF, (y * 53 + 2 * seed) & 0xFF, ((x + y) * 29 + 3) & 0xFF);
}

TColor ToTColor(QRgb rgb) {
    return TColor(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

QImage PatternImage(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, PatternRgb(x, y, seed));
    }
    return image;
}

void PaintPattern(TBitmap& bitmap, int width, int height, int seed) {
    bitmap.SetSize(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            bitmap.Canvas().SetPixelAt(x, y, ToTColor(PatternRgb(x, y, seed)));
    }
}

// Compares a bitmap with an image pixel by pixel; reports the first difference.
::testing::AssertionResult SamePixels(TBitmap& bitmap, const QImage& image) {
    if (bitmap.Width() != image.width() || bitmap.Height() != image.height()) {
        return ::testing::AssertionFailure()
               << "bitmap " << bitmap.Width() << "x" << bitmap.Height() << ", image "
               << image.width() << "x" << image.height();
    }
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const TColor want = ToTColor(image.pixel(x, y));
            const TColor got = bitmap.Canvas().PixelAt(x, y);
            if (got != want) {
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << "): bitmap "
                                                     << std::hex << got << ", image " << want;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// ---- Conversions, no desktop needed ------------------------------------------------------------

TEST(ClipboardImageConversion, BitmapBecomesAnOpaqueImageOfTheSamePixels) {
    TBitmap card;
    PaintPattern(card, 9, 4, 1);
    const THandOverValues values = card.ExportClipboardData();
    ASSERT_TRUE(values.data);
    const QImage image = velmora::ImageFromBitmap(*values.data, nullptr);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(qAlpha(image.pixel(3, 2)), 255);
    EXPECT_TRUE(SamePixels(card, image));
}

TEST(ClipboardImageConversion, ImageBecomesABottomUpDibThatLoadsAsTheSameBitmap) {
    const QImage image = PatternImage(5, 3, 2);
    const auto dib = velmora::DibFromImage(image);
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->info.bmiHeader.biBitCount, 32);
    EXPECT_GT(dib->info.bmiHeader.biHeight, 0) << "bottom-up";
    ASSERT_EQ(dib->bits.size(), size_t(5 * 4 * 3));
    // The first stored row is the image's bottom row, in blue, green, red order.
    const QRgb bottomLeft = image.pixel(0, 2);
    EXPECT_EQ(dib->bits[0], qBlue(bottomLeft));
    EXPECT_EQ(dib->bits[1], qGreen(bottomLeft));
    EXPECT_EQ(dib->bits[2], qRed(bottomLeft));

    platform::HBITMAP bitmap = platform::CreateDIBitmap(platform::GetScreenDC(), dib->info,
                                                        dib->bits, platform::DIB_RGB_COLORS);
    ASSERT_TRUE(bitmap);
    TBitmap loaded;
    loaded.ImportClipboardData(uint16_t(platform::CF_BITMAP), bitmap.get(), nullptr);
    EXPECT_TRUE(SamePixels(loaded, image));
}

TEST(ClipboardImageConversion, TransparentPixelsAreLaidOverWhite) {
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0, 0, 0, 0));     // fully transparent
    image.setPixel(1, 0, qRgba(255, 0, 0, 255)); // opaque red
    const auto dib = velmora::DibFromImage(image);
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->bits[0], 0xFF);
    EXPECT_EQ(dib->bits[1], 0xFF);
    EXPECT_EQ(dib->bits[2], 0xFF);
    EXPECT_EQ(dib->bits[4], 0x00);
    EXPECT_EQ(dib->bits[5], 0x00);
    EXPECT_EQ(dib->bits[6], 0xFF);
    EXPECT_FALSE(velmora::DibFromImage(QImage()).has_value());
}

// ---- The real desktop clipboard ---------------------------------------------------------------

// Runs the event loop until condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = kTimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

class DesktopClipboard : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            SkipReason() = "DISPLAY is not set: run under xvfb-run with xclip installed";
            return;
        }
        if (QStandardPaths::findExecutable("xclip").isEmpty()) {
            SkipReason() = "xclip is not installed";
            return;
        }
        // The real X11 clipboard, whatever the environment asks for; offscreen is only the
        // fallback that lets us report an unreachable display instead of aborting.
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
        static int argc = 1;
        static char name[] = "qt_clipboard_tests";
        static char* argv[] = {name, nullptr};
        App() = std::make_unique<QGuiApplication>(argc, argv);
        if (QGuiApplication::platformName() != "xcb")
            SkipReason() = "the X display cannot be reached";
    }
    static void TearDownTestSuite() { App().reset(); }

    void SetUp() override {
        if (!SkipReason().empty())
            GTEST_SKIP() << SkipReason();
        platform::SetClipboardBridge(nullptr);
        platform::ResetClipboardForTesting();
        clipboard_ = QGuiApplication::clipboard();
        // Each test starts from a desktop clipboard that nobody holds.
        UserActs();
        clipboard_->clear();
        link_ = velmora::InstallDesktopClipboard();
        QObject::connect(clipboard_, &QClipboard::dataChanged, &counter_,
                         [this] { ++desktopChanges_; });
    }

    void TearDown() override {
        if (server_ && server_->state() != QProcess::NotRunning) {
            server_->kill();
            server_->waitForFinished(kTimeoutMs);
        }
        server_.reset();
        link_.reset();
        platform::ResetClipboardForTesting();
    }

    // Stands in for the key press or click that starts a command in the program. Qt claims
    // the X selection with the time of the last X event it received, and the X server refuses
    // a claim older than the current owner's, which xclip makes at the server's current time.
    // A property change on one of our windows brings a fresh server time, as input would.
    void UserActs() {
        if (!window_) {
            window_ = std::make_unique<QWindow>();
            window_->create();
        }
        window_->setTitle(QString("input %1").arg(++inputs_));
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    // Runs xclip to completion while our event loop answers its requests; its standard output.
    QByteArray RunXclip(const QStringList& arguments) {
        QProcess xclip;
        xclip.start("xclip", arguments);
        EXPECT_TRUE(xclip.waitForStarted(kTimeoutMs));
        EXPECT_TRUE(WaitFor([&] { return xclip.state() == QProcess::NotRunning; }))
            << "xclip did not finish";
        EXPECT_EQ(xclip.exitCode(), 0) << xclip.readAllStandardError().toStdString();
        return xclip.readAllStandardOutput();
    }

    // Another program takes the clipboard with data of one type and keeps serving it; returns
    // once our side has seen the change.
    void OtherProgramPlaces(const QByteArray& data, const QString& type) {
        const int before = desktopChanges_;
        auto server = std::make_unique<QProcess>();
        server->start("xclip", {"-selection", "clipboard", "-t", type, "-i", "-quiet"});
        ASSERT_TRUE(server->waitForStarted(kTimeoutMs));
        server->write(data);
        server->closeWriteChannel();
        // Signals of earlier changes may still be on their way: the change is there once the
        // desktop serves the new data.
        const QString mimeType = type == "UTF8_STRING" ? QString("text/plain") : type;
        ASSERT_TRUE(WaitFor([&] {
            const QMimeData* offered = clipboard_->mimeData();
            return desktopChanges_ > before && !clipboard_->ownsClipboard() && offered != nullptr &&
                   offered->data(mimeType) == data;
        })) << "the desktop change did not arrive";
        // The earlier holder quits by itself once it has lost the selection.
        if (server_ && server_->state() != QProcess::NotRunning)
            server_->waitForFinished(kTimeoutMs);
        server_ = std::move(server);
    }

    static QByteArray Encoded(const QImage& image, const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format));
        return bytes;
    }

    static std::string& SkipReason() {
        static std::string reason;
        return reason;
    }
    static std::unique_ptr<QGuiApplication>& App() {
        static std::unique_ptr<QGuiApplication> app;
        return app;
    }

    std::unique_ptr<velmora::DesktopClipboardLink> link_;
    QClipboard* clipboard_ = nullptr;
    QObject counter_;
    int desktopChanges_ = 0;
    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QWindow> window_;
    int inputs_ = 0;
};

TEST_F(DesktopClipboard, CopiedBitmapIsReadByAnotherProgramAsAPngOfTheSamePixels) {
    TBitmap card;
    PaintPattern(card, 31, 17, 3);
    TClipboard clipboard;
    clipboard.CopyFrom(&card);

    const QByteArray png = RunXclip({"-selection", "clipboard", "-t", "image/png", "-o"});
    const QImage image = QImage::fromData(png, "PNG");
    ASSERT_FALSE(image.isNull()) << "not a PNG: " << png.size() << " bytes";
    EXPECT_TRUE(SamePixels(card, image));
}

TEST_F(DesktopClipboard, PngPlacedByAnotherProgramPastesIntoABitmap) {
    const QImage image = PatternImage(23, 11, 4);
    OtherProgramPlaces(Encoded(image, "PNG"), "image/png");
    TClipboard clipboard;
    TBitmap card;
    PaintPattern(card, 4, 4, 0);
    card.CopyFrom(&clipboard);
    EXPECT_TRUE(SamePixels(card, image));
}

TEST_F(DesktopClipboard, BmpPlacedByAnotherProgramPastesIntoAPicture) {
    const QImage image = PatternImage(6, 9, 5);
    OtherProgramPlaces(Encoded(image, "BMP"), "image/bmp");
    TClipboard clipboard;
    TPicture picture;
    picture.CopyFrom(&clipboard);
    auto* bitmap = dynamic_cast<TBitmap*>(picture.HeldGraphic());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_TRUE(SamePixels(*bitmap, image));
}

TEST_F(DesktopClipboard, EachNewPictureOfAnotherProgramIsSeen) {
    const QImage first = PatternImage(8, 3, 6);
    const QImage second = PatternImage(3, 8, 7);
    TClipboard clipboard;
    TBitmap card;

    OtherProgramPlaces(Encoded(first, "PNG"), "image/png");
    card.CopyFrom(&clipboard);
    EXPECT_TRUE(SamePixels(card, first));

    OtherProgramPlaces(Encoded(second, "PNG"), "image/png");
    card.CopyFrom(&clipboard);
    EXPECT_TRUE(SamePixels(card, second));

    // After our own copy the other program reads ours, and our next paste gives it back.
    TBitmap own;
    PaintPattern(own, 5, 5, 8);
    UserActs();
    clipboard.CopyFrom(&own);
    const QImage read =
        QImage::fromData(RunXclip({"-selection", "clipboard", "-t", "image/png", "-o"}), "PNG");
    EXPECT_TRUE(SamePixels(own, read));
    TBitmap pasted;
    pasted.CopyFrom(&clipboard);
    EXPECT_TRUE(SamePixels(pasted, read));
}

TEST_F(DesktopClipboard, TextAloneOnTheDesktopOffersNoBitmap) {
    OtherProgramPlaces("QSL via bureau", "UTF8_STRING");
    TClipboard clipboard;
    EXPECT_FALSE(clipboard.HasFormat(platform::CF_BITMAP));
    EXPECT_EQ(clipboard.AsText(), "QSL via bureau");

    TBitmap card;
    PaintPattern(card, 3, 3, 9);
    TBitmap before;
    before.CopyFrom(&card);
    try {
        card.CopyFrom(&clipboard);
        ADD_FAILURE() << "a paste of text must fail";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.message(), "Unsupported clipboard format");
    }
    EXPECT_TRUE(card.SharesImageWith(before));
    EXPECT_EQ(platform::GetOpenClipboardWindow(), 0u);
}

TEST_F(DesktopClipboard, TextPlacedByVelmoraReachesTheDesktop) {
    TClipboard clipboard;
    clipboard.SetAsText("CQ DX de DL1ABC");
    EXPECT_EQ(RunXclip({"-selection", "clipboard", "-o"}), QByteArray("CQ DX de DL1ABC"));
}

TEST_F(DesktopClipboard, OurOwnCopyIsNotReadBackSoItsPaletteStays) {
    TBitmap card;
    PaintPattern(card, 6, 6, 10);
    card.SetPixelFormat(pf8bit);
    ASSERT_NE(card.PaletteHandle(), nullptr);
    TClipboard clipboard;
    clipboard.CopyFrom(&card);
    ASSERT_TRUE(WaitFor([&] { return clipboard_->ownsClipboard(); }));
    EXPECT_TRUE(clipboard.HasFormat(platform::CF_PALETTE));
    TBitmap pasted;
    pasted.CopyFrom(&clipboard);
    EXPECT_NE(pasted.PaletteHandle(), nullptr);
}

} // namespace
