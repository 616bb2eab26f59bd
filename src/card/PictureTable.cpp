#include "card/PictureTable.h"

#include "card/Background.h"
#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "jpeg/JPEGImage.h"
#include "platform/Ascii.h"

#include <array>

namespace card {

namespace {

const graphics::TGraphicClass& BitmapClass() {
    return graphics::TBitmap::Class();
}
const graphics::TGraphicClass& JpegClass() {
    return jpeg::TJPEGImage::Class();
}
const graphics::TGraphicClass& GifClass() {
    return gif::TGIFImage::Class();
}

constexpr std::array kFormats{
    PictureFormat{"bmp", BackgroundReader::Bmp, &BitmapClass, "Bitmaps"},
    PictureFormat{"jpg", BackgroundReader::Jpeg, &JpegClass, "JPEG Image File"},
    PictureFormat{"jpeg", BackgroundReader::Jpeg, &JpegClass, "JPEG Image File"},
    PictureFormat{"gif", BackgroundReader::Gif, &GifClass, "GIF Image"},
};

// The working bitmap shares the GIF's first-frame bitmap; a GIF without frames leaves it empty.
void TakeGifFrame(gif::TGIFImage& image, graphics::TBitmap& work, const std::string& path) {
    image.ReadFromFile(path);
    work.CopyFrom(image.Bitmap());
}

} // namespace

std::span<const PictureFormat> PictureFormats() {
    return kFormats;
}

const PictureFormat* FormatForFileName(std::string_view fileName) {
    for (const PictureFormat& format : kFormats) {
        if (platform::EndsWithNoCase(fileName, format.ending))
            return &format;
    }
    return nullptr;
}

const PictureFormat* FormatForPath(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0)
        return nullptr;
    const std::string_view ending = name.substr(dot + 1);
    for (const PictureFormat& format : kFormats) {
        if (platform::EqualNoCase(format.ending, ending))
            return &format;
    }
    return nullptr;
}

std::string KnownEndings() {
    std::string list;
    for (const PictureFormat& format : kFormats) {
        if (!list.empty())
            list += ", ";
        list += format.ending;
    }
    return list;
}

void ReadPicture(BackgroundReader reader, const PictureReaders& objects, graphics::TBitmap& work,
                 const std::string& path) {
    switch (reader) {
    case BackgroundReader::Jpeg:
        HandOverJpeg(objects.jpeg, work, path);
        break;
    case BackgroundReader::Gif:
        TakeGifFrame(objects.gif, work, path);
        break;
    case BackgroundReader::Bmp:
        work.ReadFromFile(path);
        break;
    case BackgroundReader::None:
        break;
    }
}

void ReadPicture(const PictureFormat& format, graphics::TBitmap& work, const std::string& path) {
    jpeg::TJPEGImage jpeg;
    gif::TGIFImage gif;
    ReadPicture(format.reader, {jpeg, gif}, work, path);
}

} // namespace card
