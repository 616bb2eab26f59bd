// Loading a background picture for the card: the reader is chosen by the ending of the file
// name, the picture is decoded into the working bitmap and, unless it is exactly the card's
// size, fitted into it. The blank card template is loaded the same way, unscaled.
//
// These are the steps of the main window's Find and Verify commands without the window: the
// window owns a BackgroundObjects, calls these functions, lets the card take the returned
// bitmap and takes its snapshot. The command line uses them too.
#pragma once

#include "card/Fit.h"
#include "card/PictureTable.h"
#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "graphics/Graphic.h"
#include "jpeg/JPEGImage.h"

#include <memory>
#include <string>
#include <string_view>

namespace card {

// The reader for a file name, by the picture table's rule for Find (FormatForFileName).
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

// Find without the dialog and without the card: chooses the reader for fileName, reads the file
// into new picture objects and fits the working bitmap to the card (FitToCard). On success the
// new objects replace those in `objects`; returns the working bitmap, which the card then takes.
//
// A name with no known ending raises graphics::EInvalidGraphic with NotAPictureMessage, and a
// picture that decodes to no pixels (a GIF without an image, a 0 x 0 screen) raises it with
// EmptyPictureMessage: in both cases the objects stay exactly as they were. A file that cannot
// be opened or decoded raises the reader's error; the objects are then already the new ones,
// and the working bitmap holds whatever the reader left in it.
graphics::TBitmap& LoadBackground(BackgroundObjects& objects, const std::string& fileName);

// The message of the error for a picture without pixels.
std::string EmptyPictureMessage(std::string_view fileName);

// The template step of Verify: a new JPEG object and a new working bitmap (the GIF object stays),
// path read by the JPEG object and handed over into the working bitmap at its own size, with no
// fitting. Returns the working bitmap. A missing file raises EFOpenError.
graphics::TBitmap& LoadBlankCard(BackgroundObjects& objects,
                                 const std::string& path = kBlankCardName);

} // namespace card
