// velmora-card convert PICTURE OUT.bmp: decode with our own readers, write a plain 24-bit BMP.
#include "cli/Cli.h"
#include "cli/PictureReaders.h"
#include "graphics/Bitmap.h"
#include "graphics/BmpWriter.h"
#include "graphics/Exceptions.h"

namespace cli {

int RunConvert(std::span<const std::string> args, CommandIo& io) {
    if (args.size() != 2)
        return kExitUsage;
    const std::string& picture = args[0];
    const std::string& output = args[1];
    const PictureReader* reader = FindPictureReader(picture);
    if (reader == nullptr) {
        ReportError(io, picture, "unknown kind of picture (known endings: " + KnownEndings() + ")");
        return kExitFailure;
    }
    graphics::TBitmap bitmap;
    try {
        card::ReadPicture(*reader, bitmap, picture);
    } catch (const graphics::Exception& error) {
        ReportError(io, picture, error.message());
        return kExitFailure;
    }
    try {
        graphics::WriteBmp24(bitmap, output);
    } catch (const graphics::Exception& error) {
        ReportError(io, output, error.message());
        return kExitFailure;
    }
    return kExitSuccess;
}

} // namespace cli
