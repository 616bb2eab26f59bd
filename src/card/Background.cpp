#include "card/Background.h"

#include "card/Orientation.h"
#include "graphics/Exceptions.h"
#include "platform/Ascii.h"

#include <algorithm>
#include <array>
#include <utility>

namespace card {

namespace {

struct Ending {
    std::string_view text;
    BackgroundReader reader;
};

// In the order they are tried.
constexpr std::array kEndings{
    Ending{"jpg", BackgroundReader::Jpeg},
    Ending{"jpeg", BackgroundReader::Jpeg},
    Ending{"gif", BackgroundReader::Gif},
    Ending{"bmp", BackgroundReader::Bmp},
};

// The working bitmap shares the GIF's first-frame bitmap; a GIF without frames leaves it empty.
void TakeGifFrame(gif::TGIFImage& image, graphics::TBitmap& work, const std::string& path) {
    image.ReadFromFile(path);
    work.CopyFrom(image.Bitmap());
}

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
    for (const Ending& ending : kEndings) {
        if (platform::EndsWithNoCase(fileName, ending.text))
            return ending.reader;
    }
    return BackgroundReader::None;
}

std::string NotAPictureMessage(std::string_view fileName) {
    std::string message = "\"";
    message += fileName;
    message += "\" is not a JPEG, GIF or BMP file: its name must end in .jpg, .jpeg, .gif or .bmp";
    return message;
}

graphics::TBitmap& LoadBackground(BackgroundObjects& objects, const std::string& fileName,
                                  CardSize currentCard, CardSize preview) {
    // An unknown ending is refused before any object is replaced, so the card, its history and
    // the objects Save As uses stay exactly as they were.
    const BackgroundReader reader = ReaderForFileName(fileName);
    if (reader == BackgroundReader::None)
        throw graphics::EInvalidGraphic(NotAPictureMessage(fileName));

    objects.JpegImage = NewObject<jpeg::TJPEGImage>(objects);
    objects.WorkBitmap = NewObject<graphics::TBitmap>(objects);
    objects.GifImage = NewObject<gif::TGIFImage>(objects);

    graphics::TBitmap& work = *objects.WorkBitmap;
    switch (reader) {
    case BackgroundReader::Jpeg:
        HandOverJpeg(*objects.JpegImage, work, fileName);
        break;
    case BackgroundReader::Gif:
        TakeGifFrame(*objects.GifImage, work, fileName);
        break;
    case BackgroundReader::Bmp:
        work.ReadFromFile(fileName);
        break;
    case BackgroundReader::None:
        break;
    }

    if (NeedsFit(work.Width(), work.Height(), currentCard.width, currentCard.height)) {
        objects.WorkBitmap = Resize(std::move(objects.WorkBitmap), preview.width, preview.height);
        objects.WorkBitmap->OnProgress = objects.OnProgress;
    }
    return *objects.WorkBitmap;
}

graphics::TBitmap& LoadBlankCard(BackgroundObjects& objects, const std::string& path) {
    objects.JpegImage = NewObject<jpeg::TJPEGImage>(objects);
    objects.WorkBitmap = NewObject<graphics::TBitmap>(objects);
    HandOverJpeg(*objects.JpegImage, *objects.WorkBitmap, path);
    return *objects.WorkBitmap;
}

} // namespace card
