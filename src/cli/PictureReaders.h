// The picture readers the command line can decode with, chosen by the file name's ending.
#pragma once

#include <string>
#include <string_view>

namespace graphics {
class TBitmap;
}

namespace cli {

// Decodes the file at path into bitmap, or raises the reader's exception (a graphics::Exception
// or one derived from it) and leaves bitmap as it was.
using PictureLoader = void (*)(const std::string& path, graphics::TBitmap& bitmap);

struct PictureReader {
    std::string_view ending; // lower case, without the dot
    PictureLoader load;
};

// The reader for the ending of path (after its last dot, compared without case), or null.
const PictureReader* FindPictureReader(std::string_view path);

// The known endings, comma separated, for messages.
std::string KnownEndings();

} // namespace cli
