#include "card/Background.h"

#include "card/Orientation.h"
#include "graphics/Exceptions.h"

#include <utility>

namespace card {

namespace {

template <typename Graphic> std::unique_ptr<Graphic> NewObject(const BackgroundObjects& objects) {
    auto object = std::make_unique<Graphic>();
    object->OnProgress = objects.OnProgress;
    return object;
}

} // namespace

void HandOverJpeg(jpeg::TJPEGImage& jpeg, graphics::TBitmap& work, const std::string& path) {
    jpeg.ReadFromFile(path);
    // A photo tagged with an EXIF orientation is handed over upright; any other as decoded.
    const std::unique_ptr<graphics::TBitmap> upright = UprightCopy(jpeg);
    // The values are the caller's and are released once the bitmap has taken its copy.
    const graphics::THandOverValues values =
        upright ? upright->ExportClipboardData() : jpeg.ExportClipboardData();
    work.ImportClipboardData(values);
}

BackgroundReader ReaderForFileName(std::string_view fileName) {
    const PictureFormat* format = FormatForFileName(fileName);
    return format == nullptr ? BackgroundReader::None : format->reader;
}

std::string NotAPictureMessage(std::string_view fileName) {
    std::string message = "\"";
    message += fileName;
    message += "\" is not a JPEG, GIF or BMP file: its name must end in .jpg, .jpeg, .gif or .bmp";
    return message;
}

std::string EmptyPictureMessage(std::string_view fileName) {
    std::string message = "\"";
    message += fileName;
    message += "\" holds no picture: it has no pixels to put on the card";
    return message;
}

graphics::TBitmap& LoadBackground(BackgroundObjects& objects, const std::string& fileName) {
    // An unknown ending is refused before any object is replaced, so the card, its history and
    // the objects Save As uses stay exactly as they were.
    const BackgroundReader reader = ReaderForFileName(fileName);
    if (reader == BackgroundReader::None)
        throw graphics::EInvalidGraphic(NotAPictureMessage(fileName));

    BackgroundObjects fresh;
    fresh.OnProgress = objects.OnProgress;
    fresh.JpegImage = NewObject<jpeg::TJPEGImage>(fresh);
    fresh.WorkBitmap = NewObject<graphics::TBitmap>(fresh);
    fresh.GifImage = NewObject<gif::TGIFImage>(fresh);

    graphics::TBitmap& work = *fresh.WorkBitmap;
    try {
        ReadPicture(reader, {fresh.JpegImage.get(), fresh.GifImage.get()}, work, fileName);
    } catch (...) {
        // A reader's error leaves the new objects in place, as they were when it failed.
        objects = std::move(fresh);
        throw;
    }
    // A picture without pixels would make an empty card that nothing can be drawn on or saved.
    if (work.Width() <= 0 || work.Height() <= 0)
        throw graphics::EInvalidGraphic(EmptyPictureMessage(fileName));

    fresh.WorkBitmap = FitToCard(std::move(fresh.WorkBitmap));
    objects = std::move(fresh);
    return *objects.WorkBitmap;
}

graphics::TBitmap& LoadBlankCard(BackgroundObjects& objects, const std::string& path) {
    objects.JpegImage = NewObject<jpeg::TJPEGImage>(objects);
    objects.WorkBitmap = NewObject<graphics::TBitmap>(objects);
    // The template is read as a JPEG whatever its name; the GIF object stays as it is.
    ReadPicture(BackgroundReader::Jpeg, {objects.JpegImage.get(), nullptr}, *objects.WorkBitmap,
                path);
    return *objects.WorkBitmap;
}

} // namespace card
