// The image control as a widget: the picture is drawn by the control's own logic
// (graphics::TImage) into a 32-bit buffer of the raster layer, and the widget shows that buffer
// pixel for pixel, so everything on screen inside the control comes from our own drawing.
#pragma once

#include "graphics/ImageControl.h"

#include <QImage>
#include <QWidget>
#include <memory>
#include <string>

class QMenu;

namespace toolkit {

class TImageWidget : public QWidget {
  public:
    TImageWidget(QWidget* parent, const std::string& name);
    ~TImageWidget() override;

    graphics::TImage& Image() { return image_; }
    void SetBounds(int left, int top, int width, int height);
    // The context menu shown on a right click (not owned).
    void SetPopupMenu(QMenu* menu) { popup_ = menu; }
    QMenu* PopupMenu() const { return popup_; }
    // The control's drawing as it was last shown, the size of the control.
    QImage Rendered();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void Render();

    graphics::TImage image_;
    std::unique_ptr<graphics::TPaintBuffer> buffer_;
    QImage frame_;
    QMenu* popup_ = nullptr;
};

} // namespace toolkit
