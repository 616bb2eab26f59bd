// Hand-over values (clipboard and decoders): a bitmap imported from and exported as CF_BITMAP.
#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "platform/Clipboard.h"

namespace graphics {

using platform::DIBSECTION;
using platform::GdiBitmap;
using platform::GdiPalette;
using platform::HPALETTE;

// ---- Hand-over values ---------------------------------------------------------------------------

void TBitmap::ImportClipboardData(uint16_t format, GdiBitmap* data, GdiPalette* palette) {
    if (format != platform::CF_BITMAP || data == nullptr)
        throw EInvalidGraphic("Unsupported clipboard format");
    DropCanvasContext();
    DIBSECTION d{};
    if (platform::GetObject(*data, d) < platform::kBitmapObjectSize)
        throw EInvalidGraphic("Bitmap image is not valid");
    // A device-dependent source gives a device-dependent copy; a DIB section keeps its header.
    if (d.dsBm.bmBits == nullptr)
        d.dsBmih.biSize = 0;
    const bool system = palette != nullptr && palette == &platform::SystemPalette16();
    ReplaceStorageFrom(data, palette, d, system ? HPALETTE{} : CopyPalette(palette), system);
    ignorePalette_ = false;
    if (PaletteOf() != nullptr)
        SetPaletteModified(true);
    NotifyChanged();
}

THandOverValues TBitmap::ExportClipboardData() {
    THandOverValues values;
    values.format = uint16_t(platform::CF_BITMAP);
    MakeStorageReady();
    DIBSECTION d = image_->description;
    d.dsBmih.biSize = 0;
    d.dsBm.bmBits = nullptr;
    values.data = CopyBitmapStorage(image_->handle.get(), image_->Palette(), image_->Palette(), d,
                                    canvas_.get());
    // Should the palette copy fail, the new bitmap goes with the unwinding values.
    values.palette = CopyPalette(image_->Palette());
    return values;
}

} // namespace graphics
