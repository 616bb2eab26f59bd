#include "jpeg/JPEGExif.h"

#include <algorithm>
#include <array>
#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>
#include <memory>

namespace jpeg {

namespace {

// An APP1 segment holds EXIF data when it starts with this identifier (the EXIF APP1 layout); other
// APP1 segments (XMP) are left alone.
constexpr std::array<unsigned char, 6> kExifIdentifier{'E', 'x', 'i', 'f', 0, 0};

struct ExifDataRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifDataOwner = std::unique_ptr<ExifData, ExifDataRelease>;

bool StartsWithExifIdentifier(std::span<const unsigned char> app1) {
    return app1.size() >= kExifIdentifier.size() &&
           std::equal(kExifIdentifier.begin(), kExifIdentifier.end(), app1.begin());
}

} // namespace

int ExifOrientation(std::span<const unsigned char> app1) {
    if (!StartsWithExifIdentifier(app1))
        return 1;
    ExifDataOwner data(exif_data_new());
    if (!data)
        return 1;
    // Only read: libexif must not "repair" the tags into what the standard asks for, which would
    // add entries of its own (a default orientation among them).
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(data.get(), app1.data(), unsigned(app1.size()));

    // The picture's own tags are in the first IFD; the second one describes the thumbnail.
    const ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry == nullptr || entry->format != EXIF_FORMAT_SHORT || entry->components != 1 ||
        entry->data == nullptr || entry->size < 2)
        return 1;
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
    return value >= 1 && value <= 8 ? value : 1;
}

int ExifOrientationOfFile(std::span<const unsigned char> file) {
    // JFIF/JPEG marker layout: SOI, then segments of 0xFF, a marker code and a big-endian length
    // that counts itself; the scan (SOS) ends the header.
    constexpr unsigned char kSoi = 0xD8, kSos = 0xDA, kEoi = 0xD9;
    if (file.size() < 2 || file[0] != 0xFF || file[1] != kSoi)
        return 1;
    size_t at = 2;
    while (at + 1 < file.size()) {
        if (file[at] != 0xFF)
            return 1;
        const unsigned char marker = file[at + 1];
        at += 2;
        if (marker == 0xFF) { // fill byte before the marker code
            --at;
            continue;
        }
        if (marker == kSos || marker == kEoi)
            return 1;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) // no length
            continue;
        if (at + 2 > file.size())
            return 1;
        const size_t length = size_t(file[at]) << 8 | file[at + 1];
        if (length < 2 || length > file.size() - at)
            return 1;
        const std::span<const unsigned char> data = file.subspan(at + 2, length - 2);
        if (marker == kExifMarker && StartsWithExifIdentifier(data))
            return ExifOrientation(data);
        at += length;
    }
    return 1;
}

int ExifOrientation(jpeg_saved_marker_ptr markers) {
    for (jpeg_saved_marker_ptr marker = markers; marker != nullptr; marker = marker->next) {
        if (marker->marker != kExifMarker || marker->data == nullptr)
            continue;
        const std::span<const unsigned char> data(marker->data, marker->data_length);
        if (StartsWithExifIdentifier(data))
            return ExifOrientation(data);
    }
    return 1;
}

} // namespace jpeg
