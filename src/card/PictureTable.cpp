#include "card/PictureTable.h"

#include "card/Background.h"
#include "card/Orientation.h"
#include "gif/GIFImage.h"
#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/Picture.h"
#include "graphics/PictureFormats.h"
#include "jpeg/JPEGImage.h"
#include "platform/Ascii.h"
#include "tjpeg/JpegFileImage.h"

#include <algorithm>
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
const graphics::TGraphicClass& JpegFileClass() {
    return tjpeg::TJpegFileImage::Class();
}

// The readable formats first, then the list-only entries.
constexpr std::array kRows{
    PictureFormat{"bmp", BackgroundReader::Bmp, &BitmapClass, "Bitmaps", 0},
    PictureFormat{"jpg", BackgroundReader::Jpeg, &JpegClass, "JPEG Image File", 2},
    PictureFormat{"jpeg", BackgroundReader::Jpeg, &JpegClass, "JPEG Image File", 1},
    PictureFormat{"gif", BackgroundReader::Gif, &GifClass, "GIF Image", 3},
    PictureFormat{"jpg", BackgroundReader::None, &JpegFileClass, "Jpeg file", 4},
};
constexpr size_t kReadable = 4;
static_assert(std::all_of(kRows.begin(), kRows.begin() + kReadable, [](const PictureFormat& f) {
    return f.reader != BackgroundReader::None;
}));
static_assert(std::all_of(kRows.begin() + kReadable, kRows.end(), [](const PictureFormat& f) {
    return f.reader == BackgroundReader::None;
}));

constexpr std::span<const PictureFormat> kFormats = std::span(kRows).first(kReadable);

constexpr int LastListPlace() {
    int last = 0;
    for (const PictureFormat& row : kRows)
        last = std::max(last, row.listPlace);
    return last;
}

// The list places run 1, 2, ... without a gap or a repeat, so start-up enters each row once.
constexpr bool EachListPlaceOnce() {
    for (int place = 1; place <= LastListPlace(); ++place) {
        int rows = 0;
        for (const PictureFormat& row : kRows)
            rows += row.listPlace == place ? 1 : 0;
        if (rows != 1)
            return false;
    }
    return true;
}
static_assert(EachListPlaceOnce());

void EnterFormatListEntries() {
    for (int place = 1; place <= LastListPlace(); ++place) {
        for (const PictureFormat& row : kRows) {
            if (row.listPlace == place)
                graphics::RegisterFileFormat(row.ending, row.description, row.pictureClass());
        }
    }
}

// The picture holder's rule: the characters after the last dot when that dot is in the file's
// own name, else none.
std::string_view HolderEnding(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return path.substr(dot + 1);
}

// The working bitmap shares the GIF's first-frame bitmap; a GIF without frames leaves it empty.
void TakeGifFrame(gif::TGIFImage& image, graphics::TBitmap& work, const std::string& path) {
    image.ReadFromFile(path);
    work.CopyFrom(image.Bitmap());
}

} // namespace

std::span<const PictureFormat> PictureFormats() {
    return kFormats;
}

std::span<const PictureFormat> PictureFormatRows() {
    return kRows;
}

void InitializePictureModules() {
    static const bool done = [] {
        jpeg::InitializeJPEGImageUnit();
        gif::InitializeGIFImageUnit();
        EnterFormatListEntries();
        return true;
    }();
    (void)done;
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

std::string KnownEndings(std::string_view lastSeparator) {
    std::string list;
    for (size_t i = 0; i < kFormats.size(); ++i) {
        if (i > 0)
            list += i + 1 == kFormats.size() ? lastSeparator : std::string_view(", ");
        list += kFormats[i].ending;
    }
    return list;
}

const PictureFormat* FormatForPreview(std::string_view path) {
    const std::string_view ending = HolderEnding(path);
    const PictureFormat* newest = nullptr;
    for (const PictureFormat& row : kRows) {
        if (platform::EqualNoCase(row.ending, ending) &&
            (newest == nullptr || row.listPlace > newest->listPlace))
            newest = &row;
    }
    return newest;
}

void ReadPreview(graphics::TPicture& picture, const std::string& path) {
    const PictureFormat* format = FormatForPreview(path);
    if (format == nullptr) {
        throw graphics::EInvalidGraphic("Unknown picture file extension (." +
                                        std::string(HolderEnding(path)) + ")");
    }
    picture.LoadFromFile(path, format->pictureClass());
    MakeHeldPictureUpright(picture);
}

void ReadPicture(BackgroundReader reader, const PictureReaders& objects, graphics::TBitmap& work,
                 const std::string& path) {
    switch (reader) {
    case BackgroundReader::Jpeg:
        HandOverJpeg(*objects.jpeg, work, path);
        break;
    case BackgroundReader::Gif:
        TakeGifFrame(*objects.gif, work, path);
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
    ReadPicture(format.reader, {&jpeg, &gif}, work, path);
}

} // namespace card
