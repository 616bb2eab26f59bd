// Loading a background picture for the card: the reader is chosen by the ending of the file
// name, the picture is decoded into the working bitmap and, when it is larger than the card,
// fitted into the preview's size. The blank card template is loaded the same way, unscaled.
//
// These are the steps of the main window's Find and Verify commands without the window: the
// window owns a BackgroundObjects, calls these functions, lets the card take the returned
// bitmap and takes its snapshot. The command line uses them too.
#pragma once

#include "card/Fit.h"
#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "graphics/Graphic.h"
#include "jpeg/JPEGImage.h"

#include <memory>
#include <string>
#include <string_view>

namespace card {

enum class BackgroundReader { None, Jpeg, Gif, Bmp };

// The reader for a file name, by its last characters in any letter case: "jpg", else "jpeg",
// else "gif", else "bmp". No dot is needed ("photoJPG" is a JPEG); a name shorter than an ending
// is compared whole.
BackgroundReader ReaderForFileName(std::string_view fileName);

// The message of the error for a name with no known ending.
std::string NotAPictureMessage(std::string_view fileName);

// The JPEG object reads the file and hands its decoded picture, turned upright by the file's
// EXIF orientation, over to the bitmap as a bitmap handle with its palette, the values a
// clipboard would carry.
void HandOverJpeg(jpeg::TJPEGImage& jpeg, graphics::TBitmap& work, const std::string& path);

// The name of the blank card template, looked up in the current folder.
inline constexpr const char* kBlankCardName = "blankcard.jpg";

// The picture objects of the main window. Each Find (and each template load) replaces them by
// new ones; the old ones are released. Save As uses JpegImage and WorkBitmap afterwards.
struct BackgroundObjects {
    std::unique_ptr<jpeg::TJPEGImage> JpegImage;
    std::unique_ptr<graphics::TBitmap> WorkBitmap;
    std::unique_ptr<gif::TGIFImage> GifImage;

    // Given to every new picture object before it reads, so a window can show the progress of
    // a long decode. Empty: no progress is reported.
    graphics::TProgressEvent OnProgress;
};

// Width and height of a bitmap.
struct CardSize {
    int width = 0;
    int height = 0;
};

// Find without the dialog and without the card: chooses the reader for fileName, makes new
// picture objects, reads the file into the working bitmap and, when it is wider or higher than
// currentCard (the card bitmap's size now), replaces it by Resize(working bitmap, preview).
// Returns the working bitmap, which the card then takes.
//
// A name with no known ending raises graphics::EInvalidGraphic with NotAPictureMessage before
// anything is touched: the objects stay as they were. A file that cannot be opened or decoded
// raises the reader's error; the objects are then already the new ones, and the working bitmap
// holds whatever the reader left in it.
graphics::TBitmap& LoadBackground(BackgroundObjects& objects, const std::string& fileName,
                                  CardSize currentCard,
                                  CardSize preview = {kPreviewWidth, kPreviewHeight});

// The template step of Verify: a new JPEG object and a new working bitmap (the GIF object stays),
// path read by the JPEG object and handed over into the working bitmap at its own size, with no
// fitting. Returns the working bitmap. A missing file raises EFOpenError.
graphics::TBitmap& LoadBlankCard(BackgroundObjects& objects,
                                 const std::string& path = kBlankCardName);

} // namespace card
