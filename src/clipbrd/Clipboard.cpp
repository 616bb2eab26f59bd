#include "clipbrd/Clipboard.h"

#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/Picture.h"
#include "platform/Kernel.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <variant>
#include <vector>

namespace clipbrd {

using graphics::TBitmap;
using graphics::TGraphic;
using graphics::TGraphicClass;
using graphics::TPersistent;
using graphics::TPicture;

namespace {

std::mutex& GlobalsMutex() {
    static std::mutex mutex;
    return mutex;
}

platform::HWND& ApplicationWindowValue() {
    static platform::HWND window = 0;
    return window;
}

struct PictureFormat {
    unsigned format;
    const TGraphicClass* graphicClass;
};

std::vector<PictureFormat>& PictureFormats() {
    static std::vector<PictureFormat> formats{{platform::CF_BITMAP, &TBitmap::Class()}};
    return formats;
}

// Opens in the constructor and closes in the destructor, so every way out of an operation
// closes the clipboard again.
class Access {
  public:
    explicit Access(const TClipboard& clipboard) : clipboard_(clipboard) {
        clipboard_.BeginAccess();
    }
    ~Access() { clipboard_.EndAccess(); }
    Access(const Access&) = delete;
    Access& operator=(const Access&) = delete;

  private:
    const TClipboard& clipboard_;
};

// A platform call that should not fail once the clipboard is open did: EOSError with the last
// error code and its text.
[[noreturn]] void RaiseLastClipboardError() {
    const uint32_t code = platform::GetLastError();
    throw graphics::EOSError("System Error.  Code: " + std::to_string(code) + ".\r\n" +
                                 platform::SystemErrorText(code),
                             code);
}

platform::GdiBitmap* BitmapIn(const platform::ClipboardItem* item) {
    if (item == nullptr)
        return nullptr;
    const auto* bitmap = std::get_if<platform::HBITMAP>(item);
    return bitmap != nullptr ? bitmap->get() : nullptr;
}

platform::GdiPalette* PaletteIn(const platform::ClipboardItem* item) {
    if (item == nullptr)
        return nullptr;
    const auto* palette = std::get_if<platform::HPALETTE>(item);
    return palette != nullptr ? palette->get() : nullptr;
}

} // namespace

TClipboard::~TClipboard() {
    if (openCount_ > 0) {
        openCount_ = 1;
        EndAccess();
    }
}

void TClipboard::BeginAccess() const {
    if (openCount_ == 0) {
        platform::HWND owner = ApplicationWindow();
        std::optional<THiddenWindow> made;
        if (owner == 0) {
            made.emplace(THiddenWindow::Create());
            owner = made->Handle();
        }
        // On failure the private window goes with `made`: nothing is left behind.
        if (!platform::OpenClipboard(owner))
            throw graphics::Exception("Cannot open clipboard");
        owner_ = owner;
        privateWindow_ = std::move(made);
        emptied_ = false;
    }
    ++openCount_;
}

void TClipboard::EndAccess() const {
    if (openCount_ == 0)
        return;
    if (--openCount_ > 0)
        return;
    platform::CloseClipboard();
    privateWindow_.reset();
    owner_ = 0;
}

void TClipboard::EmptyClipboardData() {
    Access access(*this);
    if (!platform::EmptyClipboard())
        RaiseLastClipboardError();
}

void TClipboard::Adding() {
    if (openCount_ > 0 && !emptied_) {
        EmptyClipboardData();
        emptied_ = true;
    }
}

void TClipboard::Place(unsigned format, platform::ClipboardItem item) {
    if (!platform::SetClipboardData(format, std::move(item)))
        RaiseLastClipboardError();
}

void TClipboard::CopyFrom(const TPersistent* source) {
    if (const auto* picture = dynamic_cast<const TPicture*>(source)) {
        if (TGraphic* graphic = picture->HeldGraphic()) {
            PlaceGraphic(*graphic);
        } else {
            // An empty picture is copied as nothing: it still replaces the earlier contents.
            Access access(*this);
            Adding();
        }
        return;
    }
    if (const auto* graphic = dynamic_cast<const TGraphic*>(source)) {
        // Exporting makes the graphic's storage ready, which changes none of its visible state;
        // graphics are never created const.
        PlaceGraphic(const_cast<TGraphic&>(*graphic));
        return;
    }
    RaiseAssignError(source);
}

void TClipboard::PlaceGraphic(TGraphic& graphic) {
    // The picture is exported before the clipboard is opened and emptied, so a failing export
    // leaves the earlier contents in place.
    graphics::THandOverValues values = graphic.ExportClipboardData();
    Access access(*this);
    Adding();
    // An empty graphic exports no data: the clipboard is left empty, not given an empty item.
    if (values.data)
        Place(values.format, std::move(values.data));
    if (values.palette)
        Place(platform::CF_PALETTE, std::move(values.palette));
}

void TClipboard::CopyInto(TPersistent& destination) const {
    if (auto* picture = dynamic_cast<TPicture*>(&destination)) {
        LoadPicture(*picture);
        return;
    }
    if (auto* bitmap = dynamic_cast<TBitmap*>(&destination)) {
        LoadBitmap(*bitmap);
        return;
    }
    TPersistent::CopyInto(destination);
}

void TClipboard::LoadPicture(TPicture& picture) const {
    Access access(*this);
    for (unsigned format = platform::EnumClipboardFormats(0); format != 0;
         format = platform::EnumClipboardFormats(format)) {
        const TGraphicClass* graphicClass = FindClipboardPictureClass(format);
        if (graphicClass == nullptr)
            continue;
        std::unique_ptr<TGraphic> graphic = graphicClass->Create();
        graphic->ImportClipboardData(uint16_t(format), BitmapIn(platform::GetClipboardData(format)),
                                     PaletteIn(platform::GetClipboardData(platform::CF_PALETTE)));
        picture.SetHeldGraphic(graphic.get());
        return;
    }
    throw graphics::Exception("Invalid clipboard format");
}

void TClipboard::LoadBitmap(TBitmap& bitmap) const {
    Access access(*this);
    // A clipboard without a bitmap gives no data, which the bitmap refuses with "Unsupported
    // clipboard format". A device-independent picture placed by another program is converted
    // to a bitmap by the clipboard on request.
    platform::GdiBitmap* data = BitmapIn(platform::GetClipboardData(platform::CF_BITMAP));
    platform::GdiPalette* palette = PaletteIn(platform::GetClipboardData(platform::CF_PALETTE));
    bitmap.ImportClipboardData(platform::CF_BITMAP, data, palette);
}

void TClipboard::SetAsText(std::string_view text) {
    Access access(*this);
    Adding();
    Place(platform::CF_TEXT, std::string(text));
}

std::string TClipboard::AsText() const {
    Access access(*this);
    if (const auto* item = platform::GetClipboardData(platform::CF_TEXT)) {
        if (const auto* text = std::get_if<std::string>(item))
            return *text;
    }
    return {};
}

bool TClipboard::HasFormat(unsigned format) const {
    Access access(*this);
    return platform::IsClipboardFormatAvailable(format);
}

void SetApplicationWindow(platform::HWND window) {
    std::lock_guard lock(GlobalsMutex());
    ApplicationWindowValue() = window;
}

platform::HWND ApplicationWindow() {
    std::lock_guard lock(GlobalsMutex());
    return ApplicationWindowValue();
}

void RegisterClipboardPictureFormat(unsigned format, const TGraphicClass& graphicClass) {
    std::lock_guard lock(GlobalsMutex());
    PictureFormats().push_back({format, &graphicClass});
}

void UnregisterClipboardPictureClass(const TGraphicClass& graphicClass) {
    std::lock_guard lock(GlobalsMutex());
    std::erase_if(PictureFormats(), [&graphicClass](const PictureFormat& entry) {
        return entry.graphicClass->InheritsFrom(graphicClass);
    });
}

const TGraphicClass* FindClipboardPictureClass(unsigned format) {
    std::lock_guard lock(GlobalsMutex());
    const auto& formats = PictureFormats();
    const auto it = std::find_if(formats.rbegin(), formats.rend(),
                                 [format](const auto& entry) { return entry.format == format; });
    return it != formats.rend() ? it->graphicClass : nullptr;
}

} // namespace clipbrd
