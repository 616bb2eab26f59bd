// The bridge between the in-process clipboard store and the desktop clipboard (QClipboard), so
// a card copied in Velmora can be pasted into other programs and an image copied elsewhere can
// be pasted into the card.
//
// To the desktop: CF_BITMAP (read with CF_PALETTE) or CF_DIB becomes an image, CF_TEXT text.
// From the desktop, whenever its content changed since our own last placement: an image of any
// format Qt reads becomes a CF_DIB, which the store offers as CF_BITMAP by conversion; text
// becomes CF_TEXT. Content we placed ourselves is never read back, so the store keeps what only
// it can hold (the palette, the exact bitmap).
#pragma once

#include "app/image/QtImage.h"
#include "platform/Clipboard.h"

#include <QImage>
#include <QPointer>
#include <memory>
#include <optional>

class QClipboard;
class QObject;

namespace velmora {

class QtClipboardBridge : public platform::ClipboardBridge {
  public:
    // Needs a QGuiApplication; without one the bridge exchanges nothing.
    QtClipboardBridge();
    ~QtClipboardBridge() override;
    QtClipboardBridge(const QtClipboardBridge&) = delete;
    QtClipboardBridge& operator=(const QtClipboardBridge&) = delete;

    std::optional<std::vector<std::pair<unsigned, platform::ClipboardItem>>> Pull() override;
    void
    Push(const std::vector<std::pair<unsigned, const platform::ClipboardItem*>>& items) override;

  private:
    QPointer<QClipboard> clipboard_;
    // Receives QClipboard::dataChanged; going with the bridge, it ends the connection.
    std::unique_ptr<QObject> listener_;
    // The desktop content is unknown at first, so the first open reads it.
    bool desktopChanged_ = true;
};

// An image as a bottom-up 32-bit CF_DIB; transparent pixels are laid over white. nullopt for a
// null image or one above the pixel limit (256 megapixels or 1 GiB).
std::optional<platform::PackedDib> DibFromImage(const QImage& image);

// Installs a QtClipboardBridge for as long as the link lives. Make it after the QApplication
// and drop it before that ends; an earlier bridge is put back afterwards.
class DesktopClipboardLink {
  public:
    DesktopClipboardLink();
    ~DesktopClipboardLink();
    DesktopClipboardLink(const DesktopClipboardLink&) = delete;
    DesktopClipboardLink& operator=(const DesktopClipboardLink&) = delete;

  private:
    platform::ClipboardBridge* installed_ = nullptr;
    std::unique_ptr<platform::ClipboardBridge> previous_;
};

// For start-up: `auto desktopClipboard = velmora::InstallDesktopClipboard();` after the
// QApplication is made.
[[nodiscard]] std::unique_ptr<DesktopClipboardLink> InstallDesktopClipboard();

} // namespace velmora
