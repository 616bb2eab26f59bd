#include "app/toolkit/Form.h"

#include "app/toolkit/Application.h"
#include "app/toolkit/Controls.h"
#include "app/toolkit/Style.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace toolkit {

TForm::TForm(const std::string& name) : QMainWindow(nullptr), client_(new QWidget(this)) {
    setObjectName(ToQString(name));
    client_->setObjectName(ToQString(name + ".Client"));
    setCentralWidget(client_);
    // The window is as large as its client area and menu bar, no larger and no smaller.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setFont(FormFont());
    setAutoFillBackground(true);
    SetColor(color_);
    SetClientSize(300, 200);
}

TForm::~TForm() {
    if (HasApplication())
        Application().FormDestroyed(*this);
}

std::string TForm::Caption() const {
    return FromQString(windowTitle());
}
void TForm::SetCaption(const std::string& caption) {
    setWindowTitle(ToQString(caption));
}

int TForm::ClientWidth() const {
    return client_->width();
}
int TForm::ClientHeight() const {
    return client_->height();
}

void TForm::SetClientSize(int width, int height) {
    client_->setFixedSize(width, height);
    UpdateSize();
}

void TForm::SetColor(graphics::TColor color) {
    color_ = color;
    QPalette colours = palette();
    colours.setColor(QPalette::Window, ToQColor(color));
    setPalette(colours);
}

void TForm::SetMenu(QMenuBar* menu) {
    setMenuBar(menu);
    UpdateSize();
}

QMenuBar* TForm::Menu() const {
    // Not menuBar(): that would make an empty bar for a form without a menu.
    return qobject_cast<QMenuBar*>(menuWidget());
}

void TForm::UpdateSize() {
    // Sized now rather than when the event loop gets round to it, so the designed sizes can be
    // read back before the form is first shown.
    layout()->invalidate();
    layout()->activate();
}

void TForm::Show() {
    const bool first = !placed_;
    if (first) {
        ensurePolished();
        UpdateSize();
        PlaceOnFirstShow();
        placed_ = true;
    }
    if (isVisible())
        raise();
    else
        show();
    activateWindow();
    // The window frame's size is known only once the window is up: centre again with it.
    if (first)
        QTimer::singleShot(0, this, [this] { PlaceOnFirstShow(); });
}

void TForm::Close() {
    close();
}

void TForm::PlaceOnFirstShow() {
    QRect around;
    if (position_ == poMainFormCenter && HasApplication() && Application().MainForm() != nullptr &&
        Application().MainForm() != this)
        around = Application().MainForm()->frameGeometry();
    else if (position_ == poDesktopCenter || position_ == poMainFormCenter) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            around = screen->geometry();
    }
    if (!around.isValid())
        return;
    const QSize outer = frameGeometry().size();
    int left = around.x() + (around.width() - outer.width()) / 2;
    int top = around.y() + (around.height() - outer.height()) / 2;
    // Like the window system, keep the caption reachable.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->geometry();
        left = std::max(desktop.left(), std::min(left, desktop.right() - outer.width() + 1));
        top = std::max(desktop.top(), std::min(top, desktop.bottom() - outer.height() + 1));
    }
    move(left, top);
}

void TForm::ApplyTabOrder() {
    std::vector<std::pair<int, QWidget*>> chain;
    for (QWidget* control : client_->findChildren<QWidget*>()) {
        const int order = TabOrder(*control);
        if (order >= 0 && (control->focusPolicy() & Qt::TabFocus))
            chain.emplace_back(order, control);
    }
    std::stable_sort(chain.begin(), chain.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1].second, chain[i].second);
}

void TForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && HasApplication())
        Application().FormActivated(*this);
}

void TForm::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    if (!isVisible() && HasApplication())
        Application().FormHidden(*this);
}

void TForm::closeEvent(QCloseEvent* event) {
    event->accept();
    if (HasApplication() && Application().MainForm() == this) {
        // Closing the main window ends the program, whatever other windows are open.
        hide();
        Application().Terminate();
    }
}

} // namespace toolkit
