#include "app/clipboard/QtClipboardBridge.h"

#include "platform/Gdi.h"
#include "platform/PixelLimits.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QObject>
#include <QPainter>
#include <cstring>
#include <new>
#include <variant>

namespace velmora {

using platform::ClipboardItem;

namespace {

template <class T>
const T* ItemOf(const std::vector<std::pair<unsigned, const ClipboardItem*>>& items,
                unsigned format) {
    for (const auto& [itemFormat, item] : items) {
        if (itemFormat == format && item != nullptr)
            return std::get_if<T>(item);
    }
    return nullptr;
}

QImage ImageOfItems(const std::vector<std::pair<unsigned, const ClipboardItem*>>& items) {
    const auto* palette = ItemOf<platform::HPALETTE>(items, platform::CF_PALETTE);
    platform::GdiPalette* paletteView = palette != nullptr ? palette->get() : nullptr;
    if (const auto* bitmap = ItemOf<platform::HBITMAP>(items, platform::CF_BITMAP);
        bitmap != nullptr && *bitmap)
        return ImageFromBitmap(**bitmap, paletteView);
    if (const auto* dib = ItemOf<platform::PackedDib>(items, platform::CF_DIB)) {
        platform::HBITMAP converted = platform::CreateDIBitmap(platform::GetScreenDC(), dib->info,
                                                               dib->bits, platform::DIB_RGB_COLORS);
        if (converted)
            return ImageFromBitmap(*converted, paletteView);
    }
    return {};
}

const std::string*
TextOfItems(const std::vector<std::pair<unsigned, const ClipboardItem*>>& items) {
    if (const auto* text = ItemOf<std::string>(items, platform::CF_TEXT))
        return text;
    return ItemOf<std::string>(items, platform::CF_UNICODETEXT);
}

} // namespace

std::optional<platform::PackedDib> DibFromImage(const QImage& image) {
    if (image.isNull())
        return std::nullopt;
    const int64_t width = image.width();
    const int64_t height = image.height();
    const int64_t stride = width * 4;
    // The shared pixel limit of the project's readers.
    if (width * height > int64_t(platform::kMaxPixels) ||
        stride * height > int64_t(platform::kMaxPixelBytes))
        return std::nullopt;

    QImage opaque;
    if (image.hasAlphaChannel()) {
        opaque = QImage(image.size(), QImage::Format_RGB32);
        if (opaque.isNull())
            return std::nullopt;
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
    } else {
        opaque = image.convertToFormat(QImage::Format_RGB32);
    }
    if (opaque.isNull())
        return std::nullopt;

    // The BMP file format's information header; rows bottom-up, the usual layout of a CF_DIB.
    platform::PackedDib dib;
    dib.info.bmiHeader.biSize = 40;
    dib.info.bmiHeader.biWidth = int32_t(width);
    dib.info.bmiHeader.biHeight = int32_t(height);
    dib.info.bmiHeader.biPlanes = 1;
    dib.info.bmiHeader.biBitCount = 32;
    dib.info.bmiHeader.biCompression = platform::BI_RGB;
    dib.info.bmiHeader.biSizeImage = uint32_t(stride * height);
    dib.bits.resize(size_t(stride * height));
    for (int64_t y = 0; y < height; ++y) {
        std::memcpy(dib.bits.data() + size_t((height - 1 - y) * stride),
                    opaque.constScanLine(int(y)), size_t(stride));
    }
    return dib;
}

QtClipboardBridge::QtClipboardBridge() : listener_(std::make_unique<QObject>()) {
    if (QGuiApplication::instance() == nullptr)
        return;
    clipboard_ = QGuiApplication::clipboard();
    QObject::connect(clipboard_, &QClipboard::dataChanged, listener_.get(),
                     [this] { desktopChanged_ = true; });
}

QtClipboardBridge::~QtClipboardBridge() = default;

std::optional<std::vector<std::pair<unsigned, ClipboardItem>>> QtClipboardBridge::Pull() {
    // While the desktop shows what we placed, the store holds it more exactly than Qt could
    // give it back.
    if (!clipboard_ || clipboard_->ownsClipboard() || !desktopChanged_)
        return std::nullopt;
    try {
        std::vector<std::pair<unsigned, ClipboardItem>> items;
        const QMimeData* data = clipboard_->mimeData();
        if (data != nullptr && data->hasImage()) {
            if (auto dib = DibFromImage(qvariant_cast<QImage>(data->imageData())))
                items.emplace_back(platform::CF_DIB, std::move(*dib));
        }
        if (data != nullptr && data->hasText())
            items.emplace_back(platform::CF_TEXT, data->text().toStdString());
        desktopChanged_ = false;
        return items;
    } catch (const std::bad_alloc&) {
        // A picture too large for memory is not offered; the store keeps what it had.
        return std::nullopt;
    }
}

void QtClipboardBridge::Push(const std::vector<std::pair<unsigned, const ClipboardItem*>>& items) {
    if (!clipboard_)
        return;
    try {
        auto data = std::make_unique<QMimeData>();
        bool any = false;
        if (const QImage image = ImageOfItems(items); !image.isNull()) {
            data->setImageData(image);
            any = true;
        }
        if (const std::string* text = TextOfItems(items)) {
            data->setText(QString::fromStdString(*text));
            any = true;
        }
        if (any)
            clipboard_->setMimeData(data.release());
        else
            clipboard_->clear();
    } catch (const std::bad_alloc&) {
        // The desktop keeps its earlier content; Velmora's own clipboard is unaffected.
        return;
    }
    // Our own placement: the change it signals is not news to the store.
    desktopChanged_ = false;
}

DesktopClipboardLink::DesktopClipboardLink() {
    auto bridge = std::make_unique<QtClipboardBridge>();
    installed_ = bridge.get();
    previous_ = platform::SetClipboardBridge(std::move(bridge));
}

DesktopClipboardLink::~DesktopClipboardLink() {
    std::unique_ptr<platform::ClipboardBridge> current =
        platform::SetClipboardBridge(std::move(previous_));
    // Someone installed another bridge after ours: that one stays.
    if (current.get() != installed_)
        previous_ = platform::SetClipboardBridge(std::move(current));
}

std::unique_ptr<DesktopClipboardLink> InstallDesktopClipboard() {
    return std::make_unique<DesktopClipboardLink>();
}

} // namespace velmora
