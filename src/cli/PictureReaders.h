// The picture readers the command line decodes with: those of the card's picture table, chosen
// by the ending after the last dot of the file's name.
#pragma once

#include "card/PictureTable.h"

namespace cli {

using PictureReader = card::PictureFormat;

// The reader for the ending of path (after its last dot, compared without case), or null.
inline const PictureReader* FindPictureReader(std::string_view path) {
    return card::FormatForPath(path);
}

using card::KnownEndings;

} // namespace cli
