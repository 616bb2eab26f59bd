// The system clipboard as the window system offers it: one store per process, opened and closed
// by an owner window, emptied by the opener, holding one item per format in placement order.
// Placed items belong to the store. A bridge, installed by the GUI, mirrors the store to and
// from the desktop clipboard so pictures travel between Velmora and other programs.
#pragma once

#include "platform/Gdi.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

// Window identity of a clipboard owner; 0 is no window.
using HWND = uintptr_t;

constexpr unsigned CF_TEXT = 1;
constexpr unsigned CF_BITMAP = 2;
constexpr unsigned CF_DIB = 8;
constexpr unsigned CF_PALETTE = 9;
constexpr unsigned CF_UNICODETEXT = 13;
constexpr unsigned kFirstRegisteredFormat = 0xC000;

// A packed device-independent picture as CF_DIB carries it: header, masks, colours and rows.
struct PackedDib {
    BITMAPINFO info;
    std::vector<uint8_t> bits;
};

// What one clipboard format holds.
using ClipboardItem =
    std::variant<std::monostate, HBITMAP, HPALETTE, std::string, PackedDib, std::vector<uint8_t>>;

// Opens the clipboard for owner. Fails (false) while another owner holds it open; opening it
// again by the same owner succeeds, as the window system allows.
bool OpenClipboard(HWND owner);
bool CloseClipboard();
// Frees every item; only while open. The opener becomes the clipboard owner.
bool EmptyClipboard();
// Places an item (the store takes ownership) under format, replacing an item of that format.
// Only while open. A std::monostate item is refused.
bool SetClipboardData(unsigned format, ClipboardItem item);
// The item of a format, still owned by the store; null when absent or not open. CF_BITMAP is
// converted on request from a CF_DIB item, as the window system does; CF_TEXT from
// CF_UNICODETEXT and back are not converted (text is UTF-8 in both).
const ClipboardItem* GetClipboardData(unsigned format);
// Next format after format in placement order (0 starts; 0 at the end or when not open).
// Formats the store can convert to (CF_BITMAP from CF_DIB) follow those placed.
unsigned EnumClipboardFormats(unsigned format);
unsigned CountClipboardFormats();
bool IsClipboardFormatAvailable(unsigned format);
// Registered formats are numbered from 0xC000; names compare without case. 0 for an empty name.
unsigned RegisterClipboardFormatA(std::string_view name);
std::string GetClipboardFormatName(unsigned format);
// The owner that opened the clipboard (0 when closed).
HWND GetOpenClipboardWindow();

// Mirror of the desktop clipboard. Pull() is called when the clipboard is opened and the
// desktop content changed since the last exchange: the bridge returns the desktop's items (in
// their order), or nullopt to keep the store. Push() is called when the clipboard closes after
// a change by this process, with the store's items.
class ClipboardBridge {
  public:
    virtual ~ClipboardBridge() = default;
    virtual std::optional<std::vector<std::pair<unsigned, ClipboardItem>>> Pull() = 0;
    virtual void Push(const std::vector<std::pair<unsigned, const ClipboardItem*>>& items) = 0;
};

// Installs the bridge (none by default). Returns the previous one.
std::unique_ptr<ClipboardBridge> SetClipboardBridge(std::unique_ptr<ClipboardBridge> bridge);

// Test seam: empties and closes the store and forgets registered names.
void ResetClipboardForTesting();

} // namespace platform
