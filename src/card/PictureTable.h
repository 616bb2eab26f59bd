// The one table of the picture formats: which ending chooses which reader, the picture class that
// reads it and the description the picture format list gives it. Find, Verify's template,
// velmora-card (convert and --background) and the save dialog's preview all choose here, and
// start-up enters the picture format list's entries from it.
#pragma once

#include "graphics/Graphic.h"

#include <span>
#include <string>
#include <string_view>

namespace gif {
class TGIFImage;
}
namespace jpeg {
class TJPEGImage;
}
namespace graphics {
class TBitmap;
class TPicture;
} // namespace graphics

namespace card {

enum class BackgroundReader { None, Jpeg, Gif, Bmp };

struct PictureFormat {
    std::string_view ending; // lower case, without the dot
    BackgroundReader reader; // None: an entry of the picture format list only
    const graphics::TGraphicClass& (*pictureClass)();
    std::string_view description; // as the picture format list names it
    // Where the entry stands in the picture format list: 0 for the graphics layer's own entry,
    // else the place in which start-up enters it (1 first).
    int listPlace;
};

// The formats the program reads, "bmp" first (the order the command line has always listed
// them in). No ending is the end of another, so the order never decides which one a name
// matches.
std::span<const PictureFormat> PictureFormats();

// Every row: the readable formats, then the picture format list's entries that no reader of
// ours takes (the second JPEG codec's "jpg", which only the save dialog's preview reaches).
std::span<const PictureFormat> PictureFormatRows();

// Start-up of the picture modules, the one route for the window, the command line and the
// tests: the JPEG module chooses its decoding for the screen, the GIF module registers its
// clipboard format, and the table's entries join the picture format list in their list places
// (JPEG "jpeg" and "jpg", GIF, then the second codec's "jpg", so a lookup of "jpg" yields that
// codec). A second call does nothing.
void InitializePictureModules();

// Find's rule: the last characters of the name in any letter case; no dot is needed
// ("photoJPG" is a JPEG) and a name shorter than an ending is compared whole. Null: none.
const PictureFormat* FormatForFileName(std::string_view fileName);

// The command line's rule: the ending after the last dot of the file's own name, in any letter
// case. Null when there is no dot, the name starts with it, or the ending is unknown.
const PictureFormat* FormatForPath(std::string_view path);

// The endings, comma separated, in table order, for help and messages; the last two are
// joined by lastSeparator instead ("bmp, jpg, jpeg or gif").
std::string KnownEndings(std::string_view lastSeparator = ", ");

// The save dialog's preview: the ending after the last dot of the file's own name (the picture
// holder's rule: ".jpg" alone has one) and, of the rows with that ending, the one the picture
// format list yields for it (the newest entry: the second codec's for "jpg"). Null: no row.
const PictureFormat* FormatForPreview(std::string_view path);

// Reads path into the holder with FormatForPreview's class and turns a photo upright
// (MakeHeldPictureUpright). An ending without a row raises EInvalidGraphic "Unknown picture
// file extension (.ENDING)", as the picture holder does.
void ReadPreview(graphics::TPicture& picture, const std::string& path);

// The objects a picture is read with; the reader's own must be given, the other may be null.
// The working bitmap receives the result: a JPEG handed over upright, a GIF's first frame
// (shared), a BMP read straight into it.
struct PictureReaders {
    jpeg::TJPEGImage* jpeg;
    gif::TGIFImage* gif;
};
void ReadPicture(BackgroundReader reader, const PictureReaders& objects, graphics::TBitmap& work,
                 const std::string& path);

// The same with picture objects of its own that are released afterwards.
void ReadPicture(const PictureFormat& format, graphics::TBitmap& work, const std::string& path);

} // namespace card
