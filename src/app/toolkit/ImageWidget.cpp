#include "app/toolkit/ImageWidget.h"

#include "app/image/QtImage.h"
#include "app/toolkit/Style.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

namespace toolkit {

TImageWidget::TImageWidget(QWidget* parent, const std::string& name) : QWidget(parent) {
    setObjectName(ToQString(name));
    image_.SetSize(width(), height());
    image_.OnInvalidate = [this] { update(); };
    image_.OnResize = [this](int w, int h) { resize(w, h); };
}

TImageWidget::~TImageWidget() {
    image_.OnInvalidate = nullptr;
    image_.OnResize = nullptr;
}

void TImageWidget::SetBounds(int left, int top, int width, int height) {
    setGeometry(left, top, width, height);
    image_.SetSize(width, height);
}

void TImageWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (image_.Width() != width() || image_.Height() != height())
        image_.SetSize(width(), height());
}

void TImageWidget::Render() {
    const int w = std::max(1, width());
    const int h = std::max(1, height());
    if (!buffer_ || buffer_->Width() != w || buffer_->Height() != h)
        buffer_ = std::make_unique<graphics::TPaintBuffer>(w, h);
    image_.Paint(buffer_->Canvas());
    frame_ = velmora::ImageFromBitmap(*buffer_);
}

QImage TImageWidget::Rendered() {
    Render();
    return frame_;
}

void TImageWidget::paintEvent(QPaintEvent*) {
    if (image_.Picture().HeldGraphic() == nullptr)
        return; // nothing to show: the parent's face shows through
    Render();
    const platform::RECT dest = image_.DestRect();
    const QRect area = QRect(dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top)
                           .intersected(rect());
    QPainter painter(this);
    painter.drawImage(area.topLeft(), frame_, area);
}

void TImageWidget::contextMenuEvent(QContextMenuEvent* event) {
    if (popup_ == nullptr)
        return QWidget::contextMenuEvent(event);
    popup_->exec(event->globalPos());
}

} // namespace toolkit
