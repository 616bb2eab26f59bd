#include "platform/Clipboard.h"

#include "platform/Ascii.h"
#include "platform/Kernel.h"

#include <algorithm>
#include <mutex>

namespace platform {
namespace {

struct Store {
    std::recursive_mutex mutex;
    bool open = false;
    HWND openedBy = 0;
    bool changed = false; // by this process during the current open period
    std::vector<std::pair<unsigned, ClipboardItem>> items;
    // CF_BITMAP made from a CF_DIB item on request; dropped with the items.
    std::optional<ClipboardItem> convertedBitmap;
    std::vector<std::string> registeredNames;
    std::unique_ptr<ClipboardBridge> bridge;
};

Store& TheStore() {
    static Store store;
    return store;
}

std::string Lower(std::string_view text) {
    return AsciiLowerCopy(text);
}

auto FindItem(Store& s, unsigned format) {
    return std::find_if(s.items.begin(), s.items.end(),
                        [format](const auto& entry) { return entry.first == format; });
}

bool Has(Store& s, unsigned format) {
    return FindItem(s, format) != s.items.end();
}

bool CanConvertToBitmap(Store& s) {
    return !Has(s, CF_BITMAP) && Has(s, CF_DIB);
}

bool RequireOpen(const Store& s) {
    if (!s.open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return false;
    }
    return true;
}

void Clear(Store& s) {
    s.items.clear();
    s.convertedBitmap.reset();
}

// The desktop is a mirror: when it cannot be read or written, the store goes on as it is, and
// above all it never stays open because a bridge call failed.
void PullFromDesktop(Store& s) {
    std::optional<std::vector<std::pair<unsigned, ClipboardItem>>> pulled;
    try {
        pulled = s.bridge->Pull();
    } catch (...) {
        return;
    }
    if (!pulled)
        return;
    Clear(s);
    for (auto& [format, item] : *pulled) {
        if (!std::holds_alternative<std::monostate>(item) && !Has(s, format))
            s.items.emplace_back(format, std::move(item));
    }
}

void PushToDesktop(Store& s) {
    try {
        std::vector<std::pair<unsigned, const ClipboardItem*>> view;
        view.reserve(s.items.size());
        for (const auto& [format, item] : s.items)
            view.emplace_back(format, &item);
        s.bridge->Push(view);
    } catch (...) {
        // The desktop keeps its earlier content; the store's own content is complete.
    }
}

} // namespace

bool OpenClipboard(HWND owner) {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    if (s.open && s.openedBy != owner) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (!s.open) {
        s.open = true;
        s.openedBy = owner;
        s.changed = false;
        if (s.bridge)
            PullFromDesktop(s);
    }
    return true;
}

bool CloseClipboard() {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    if (!RequireOpen(s))
        return false;
    if (s.changed && s.bridge)
        PushToDesktop(s);
    s.open = false;
    s.openedBy = 0;
    s.changed = false;
    return true;
}

bool EmptyClipboard() {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    if (!RequireOpen(s))
        return false;
    Clear(s);
    s.changed = true;
    return true;
}

bool SetClipboardData(unsigned format, ClipboardItem item) {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    if (!RequireOpen(s))
        return false;
    if (format == 0 || std::holds_alternative<std::monostate>(item)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (auto it = FindItem(s, format); it != s.items.end())
        it->second = std::move(item);
    else
        s.items.emplace_back(format, std::move(item));
    s.convertedBitmap.reset();
    s.changed = true;
    return true;
}

const ClipboardItem* GetClipboardData(unsigned format) {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    if (!RequireOpen(s))
        return nullptr;
    if (auto it = FindItem(s, format); it != s.items.end())
        return &it->second;
    if (format == CF_BITMAP && CanConvertToBitmap(s)) {
        if (!s.convertedBitmap) {
            const auto& dib = std::get<PackedDib>(FindItem(s, CF_DIB)->second);
            HBITMAP bitmap = CreateDIBitmap(GetScreenDC(), dib.info, dib.bits, DIB_RGB_COLORS);
            if (!bitmap)
                return nullptr;
            s.convertedBitmap = ClipboardItem(std::move(bitmap));
        }
        return &*s.convertedBitmap;
    }
    return nullptr;
}

unsigned EnumClipboardFormats(unsigned format) {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    if (!RequireOpen(s))
        return 0;
    std::vector<unsigned> order;
    for (const auto& entry : s.items)
        order.push_back(entry.first);
    if (CanConvertToBitmap(s))
        order.push_back(CF_BITMAP);
    if (format == 0)
        return order.empty() ? 0 : order.front();
    auto it = std::find(order.begin(), order.end(), format);
    if (it == order.end() || ++it == order.end()) {
        SetLastError(ERROR_SUCCESS);
        return 0;
    }
    return *it;
}

unsigned CountClipboardFormats() {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    return unsigned(s.items.size()) + (CanConvertToBitmap(s) ? 1 : 0);
}

bool IsClipboardFormatAvailable(unsigned format) {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    return Has(s, format) || (format == CF_BITMAP && CanConvertToBitmap(s));
}

unsigned RegisterClipboardFormatA(std::string_view name) {
    if (name.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    const std::string key = Lower(name);
    for (size_t i = 0; i < s.registeredNames.size(); ++i) {
        if (Lower(s.registeredNames[i]) == key)
            return kFirstRegisteredFormat + unsigned(i);
    }
    if (s.registeredNames.size() >= 0x3FFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    s.registeredNames.emplace_back(name);
    return kFirstRegisteredFormat + unsigned(s.registeredNames.size() - 1);
}

std::string GetClipboardFormatName(unsigned format) {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    if (format < kFirstRegisteredFormat ||
        format - kFirstRegisteredFormat >= s.registeredNames.size())
        return {};
    return s.registeredNames[format - kFirstRegisteredFormat];
}

HWND GetOpenClipboardWindow() {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    return s.openedBy;
}

std::unique_ptr<ClipboardBridge> SetClipboardBridge(std::unique_ptr<ClipboardBridge> bridge) {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    std::swap(s.bridge, bridge);
    return bridge;
}

void ResetClipboardForTesting() {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    Clear(s);
    s.open = false;
    s.openedBy = 0;
    s.changed = false;
    s.registeredNames.clear();
}

} // namespace platform
