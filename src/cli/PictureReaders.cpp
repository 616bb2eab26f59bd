#include "cli/PictureReaders.h"

#include "card/Background.h"
#include "graphics/Bitmap.h"
#include "jpeg/JPEGImage.h"
#include "platform/Ascii.h"

#include <algorithm>
#include <array>

namespace cli {

namespace {

void LoadBmp(const std::string& path, graphics::TBitmap& bitmap) {
    bitmap.ReadFromFile(path);
}

// As the card editor loads a background: the decoded picture handed over to the bitmap.
void LoadJpeg(const std::string& path, graphics::TBitmap& bitmap) {
    jpeg::TJPEGImage picture;
    card::HandOverJpeg(picture, bitmap, path);
}

// One line per picture format; each reader module adds its own.
constexpr std::array kReaders{
    PictureReader{"bmp", &LoadBmp},
    PictureReader{"jpg", &LoadJpeg},
    PictureReader{"jpeg", &LoadJpeg},
};

} // namespace

const PictureReader* FindPictureReader(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0)
        return nullptr;
    const std::string_view ending = name.substr(dot + 1);
    for (const PictureReader& reader : kReaders) {
        if (platform::EqualNoCase(reader.ending, ending))
            return &reader;
    }
    return nullptr;
}

std::string KnownEndings() {
    std::string list;
    for (const PictureReader& reader : kReaders) {
        if (!list.empty())
            list += ", ";
        list += reader.ending;
    }
    return list;
}

} // namespace cli
