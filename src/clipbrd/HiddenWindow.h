// Hidden windows that exist only to own the system clipboard while it is open. Here a window is
// an identity: a process-unique, non-zero value taken from a small registry and given back when
// its owner lets go, so two clipboard objects never open the clipboard as the same owner.
#pragma once

#include "platform/Clipboard.h"

namespace clipbrd {

class THiddenWindow {
  public:
    // A new window, unique among the live ones. Never 0.
    static THiddenWindow Create();

    THiddenWindow() = default;
    ~THiddenWindow();
    THiddenWindow(THiddenWindow&& other) noexcept;
    THiddenWindow& operator=(THiddenWindow&& other) noexcept;
    THiddenWindow(const THiddenWindow&) = delete;
    THiddenWindow& operator=(const THiddenWindow&) = delete;

    platform::HWND Handle() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }

  private:
    explicit THiddenWindow(platform::HWND handle) : handle_(handle) {}
    void Destroy() noexcept;

    platform::HWND handle_ = 0;
};

// Whether window is a live hidden window of this process.
bool IsHiddenWindow(platform::HWND window);
// How many hidden windows are alive (for leak checks).
size_t LiveHiddenWindowCount();

} // namespace clipbrd
