#include "support/ExifJpeg.h"

#include <algorithm>
#include <cstdlib>
#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>
#include <memory>
#include <stdexcept>

namespace testsupport {

namespace {

struct ExifDataRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
struct ExifEntryRelease {
    void operator()(ExifEntry* entry) const { exif_entry_unref(entry); }
};
struct FreeBytes {
    void operator()(unsigned char* bytes) const { std::free(bytes); }
};

} // namespace

std::vector<uint8_t> ExifPayload(unsigned value, ExifByteOrder order) {
    const std::unique_ptr<ExifData, ExifDataRelease> data(exif_data_new());
    if (!data)
        throw std::bad_alloc();
    exif_data_set_byte_order(data.get(), order);
    const std::unique_ptr<ExifEntry, ExifEntryRelease> entry(exif_entry_new());
    if (!entry)
        throw std::bad_alloc();
    // The entry must belong to its IFD before it is initialised: it takes the byte order from
    // there.
    exif_content_add_entry(data->ifd[EXIF_IFD_0], entry.get());
    exif_entry_initialize(entry.get(), EXIF_TAG_ORIENTATION);
    if (entry->data == nullptr || entry->format != EXIF_FORMAT_SHORT)
        throw std::runtime_error("libexif made no short Orientation entry");
    exif_set_short(entry->data, order, ExifShort(value));

    unsigned char* raw = nullptr;
    unsigned size = 0;
    exif_data_save_data(data.get(), &raw, &size);
    const std::unique_ptr<unsigned char, FreeBytes> saved(raw);
    if (raw == nullptr || size == 0)
        throw std::runtime_error("libexif saved no data");
    return {raw, raw + size};
}

std::vector<uint8_t> WithApp1(std::span<const uint8_t> jpeg, std::span<const uint8_t> payload) {
    if (jpeg.size() < 2 || payload.size() > 65533)
        throw std::invalid_argument("no JPEG, or a payload too long for a segment");
    const size_t length = payload.size() + 2;
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2); // SOI
    out.push_back(0xFF);
    out.push_back(0xE1);
    out.push_back(uint8_t(length >> 8));
    out.push_back(uint8_t(length & 0xFF));
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

std::vector<uint8_t> WithoutSegments(std::span<const uint8_t> jpeg, uint8_t marker) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + std::min<size_t>(2, jpeg.size()));
    size_t at = 2;
    // Segments up to the first scan: FF, marker, a 16-bit length that counts itself.
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
        const size_t next = at + 2 + (size_t(jpeg[at + 2]) << 8 | jpeg[at + 3]);
        if (next > jpeg.size())
            break;
        if (jpeg[at + 1] != marker)
            out.insert(out.end(), jpeg.begin() + long(at), jpeg.begin() + long(next));
        at = next;
    }
    out.insert(out.end(), jpeg.begin() + long(at), jpeg.end());
    return out;
}

} // namespace testsupport
