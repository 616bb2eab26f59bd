// Hands the activation back to the window that had it once a modal dialog is gone, as the
// window system does for the owner of a dialog.
#pragma once

#include <QPointer>
#include <QWidget>

namespace toolkit {

class ReturnActivation {
  public:
    // window is the dialog's owner (null for none).
    explicit ReturnActivation(QWidget* window) : window_(window) {}
    ~ReturnActivation() {
        if (window_ != nullptr && window_->isVisible())
            window_->activateWindow();
    }
    ReturnActivation(const ReturnActivation&) = delete;
    ReturnActivation& operator=(const ReturnActivation&) = delete;
    QWidget* window() const { return window_; }

  private:
    QPointer<QWidget> window_;
};

} // namespace toolkit
