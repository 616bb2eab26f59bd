#include "clipbrd/HiddenWindow.h"

#include <mutex>
#include <set>
#include <utility>

namespace clipbrd {
namespace {

struct Registry {
    std::mutex mutex;
    std::set<platform::HWND> live;
    // Values start well above the small numbers tests and callers like to use for windows of
    // their own.
    platform::HWND next = 0x10000;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

} // namespace

THiddenWindow THiddenWindow::Create() {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    // Skips values still in use after the counter wraps, and 0, which means no window.
    while (r.next == 0 || r.live.contains(r.next))
        ++r.next;
    const platform::HWND handle = r.next++;
    r.live.insert(handle);
    return THiddenWindow(handle);
}

THiddenWindow::~THiddenWindow() {
    Destroy();
}

THiddenWindow::THiddenWindow(THiddenWindow&& other) noexcept
    : handle_(std::exchange(other.handle_, 0)) {}

THiddenWindow& THiddenWindow::operator=(THiddenWindow&& other) noexcept {
    if (this != &other) {
        Destroy();
        handle_ = std::exchange(other.handle_, 0);
    }
    return *this;
}

void THiddenWindow::Destroy() noexcept {
    if (handle_ == 0)
        return;
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.live.erase(handle_);
    handle_ = 0;
}

bool IsHiddenWindow(platform::HWND window) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    return window != 0 && r.live.contains(window);
}

size_t LiveHiddenWindowCount() {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    return r.live.size();
}

} // namespace clipbrd
