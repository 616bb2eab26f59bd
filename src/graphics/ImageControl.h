// TImage: the logic of the image control that shows a picture (the card preview), without any
// window toolkit. The toolkit gives it a size, asks it to paint into a canvas, and receives its
// invalidation requests through OnInvalidate.
#pragma once

#include "graphics/Canvas.h"
#include "graphics/Picture.h"
#include "platform/Gdi.h"

#include <functional>
#include <span>

namespace graphics {

class TImage {
  public:
    TImage();
    ~TImage();
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    TPicture& Picture() { return picture_; }
    const TPicture& Picture() const { return picture_; }
    // Stores a copy of picture's graphic.
    void SetPicture(const TPicture& picture) { picture_.CopyFrom(&picture); }

    bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    bool Center() const { return center_; }
    void SetCenter(bool value);
    bool Proportional() const { return proportional_; }
    void SetProportional(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool IncrementalDisplay() const { return incrementalDisplay_; }
    void SetIncrementalDisplay(bool value) { incrementalDisplay_ = value; }

    // The control's size; the client area is the whole control. 105 x 105 by default.
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int width, int height);

    // The canvas of the picture's bitmap. An empty picture first gets a white bitmap of the
    // control's size; a picture holding another graphic raises EInvalidOperation "Can only
    // modify an image if it contains a bitmap".
    TCanvas& Canvas();

    // Where the picture is drawn inside the client area.
    platform::RECT DestRect() const;
    // Draws the picture stretched into DestRect on a canvas of the control's client area. An
    // empty picture draws nothing.
    void Paint(TCanvas& controlCanvas);
    // True while Paint runs.
    bool Drawing() const { return drawing_; }
    // The control covers its whole area with an opaque picture.
    bool Opaque() const { return opaque_; }
    bool DesignTime = false;

    // Asks the toolkit to repaint the control later.
    std::function<void()> OnInvalidate;
    // Reports a size change made by AutoSize.
    std::function<void(int width, int height)> OnResize;

  private:
    void PictureChanged();
    void Invalidate();

    TPicture picture_;
    int width_ = 105;
    int height_ = 105;
    bool stretch_ = false;
    bool center_ = false;
    bool proportional_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
    bool incrementalDisplay_ = false;
    bool drawing_ = false;
    bool opaque_ = false;
};

// An off-screen 32-bit top-down surface with a canvas, for a toolkit to let a control paint
// into and then show the rows (blue, green, red, unused bytes per pixel).
class TPaintBuffer {
  public:
    TPaintBuffer(int width, int height);
    ~TPaintBuffer();
    TPaintBuffer(const TPaintBuffer&) = delete;
    TPaintBuffer& operator=(const TPaintBuffer&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    TCanvas& Canvas() { return canvas_; }
    // Row y, counted from the top: Width() * 4 bytes.
    std::span<const uint8_t> Row(int y) const;
    platform::COLORREF PixelAt(int x, int y) const;

  private:
    int width_;
    int height_;
    platform::HBITMAP surface_;
    platform::HDC dc_;
    std::shared_ptr<platform::GdiObject> previous_;
    TDeviceCanvas canvas_;
};

} // namespace graphics
