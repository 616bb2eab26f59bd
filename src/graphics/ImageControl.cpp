#include "graphics/ImageControl.h"

#include "graphics/Bitmap.h"
#include "graphics/Exceptions.h"
#include "graphics/PictureFormats.h"
#include "platform/DeviceContext.h" // complete type for HDC owners

#include <cstdint>

namespace graphics {

TImage::TImage() {
    picture_.OnChange = [this](TPicture&) { PictureChanged(); };
}

TImage::~TImage() {
    picture_.OnChange = nullptr;
}

void TImage::SetStretch(bool value) {
    if (value == stretch_)
        return;
    stretch_ = value;
    PictureChanged();
}

void TImage::SetCenter(bool value) {
    if (value == center_)
        return;
    center_ = value;
    PictureChanged();
}

void TImage::SetProportional(bool value) {
    if (value == proportional_)
        return;
    proportional_ = value;
    PictureChanged();
}

void TImage::SetTransparent(bool value) {
    if (value == transparent_)
        return;
    transparent_ = value;
    PictureChanged();
}

void TImage::SetAutoSize(bool value) {
    if (value == autoSize_)
        return;
    autoSize_ = value;
    if (autoSize_)
        PictureChanged();
}

void TImage::SetSize(int width, int height) {
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    PictureChanged();
}

TCanvas& TImage::Canvas() {
    if (picture_.HeldGraphic() == nullptr) {
        TBitmap bitmap;
        bitmap.ResizeWidth(width_);
        bitmap.ResizeHeight(height_);
        picture_.SetHeldGraphic(&bitmap);
    }
    if (auto* bitmap = dynamic_cast<TBitmap*>(picture_.HeldGraphic()))
        return bitmap->Canvas();
    throw EInvalidOperation("Can only modify an image if it contains a bitmap");
}

platform::RECT TImage::DestRect() const {
    int w = picture_.Width();
    int h = picture_.Height();
    const int cw = width_;
    const int ch = height_;
    if (stretch_ || (proportional_ && (w > cw || h > ch))) {
        if (proportional_ && w > 0 && h > 0) {
            // Trunc(cw / r) and Trunc(ch * r) with r = w / h, in exact integer arithmetic so
            // that a ratio like 4:3 gives 420 for 315 and never 419 from rounding.
            const int64_t pw = w;
            const int64_t ph = h;
            if (w > h) {
                w = cw;
                h = int(cw * ph / pw);
                if (h > ch) {
                    h = ch;
                    w = int(ch * pw / ph);
                }
            } else {
                h = ch;
                w = int(ch * pw / ph);
                if (w > cw) {
                    w = cw;
                    h = int(cw * ph / pw);
                }
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    platform::RECT r{0, 0, w, h};
    if (center_) {
        const int dx = (cw - w) / 2;
        const int dy = (ch - h) / 2;
        r = {dx, dy, dx + w, dy + h};
    }
    return r;
}

void TImage::Paint(TCanvas& controlCanvas) {
    if (DesignTime) {
        controlCanvas.Pen().SetStyle(psDash);
        controlCanvas.Brush().SetStyle(bsClear);
        controlCanvas.DrawRectangle(0, 0, width_, height_);
    }
    const bool saved = drawing_;
    drawing_ = true;
    try {
        controlCanvas.DrawStretched(DestRect(), picture_.HeldGraphic());
    } catch (...) {
        drawing_ = saved;
        throw;
    }
    drawing_ = saved;
}

void TImage::PictureChanged() {
    if (autoSize_ && picture_.Width() > 0 && picture_.Height() > 0) {
        if (picture_.Width() != width_ || picture_.Height() != height_) {
            width_ = picture_.Width();
            height_ = picture_.Height();
            if (OnResize)
                OnResize(width_, height_);
        }
    }
    TGraphic* graphic = picture_.HeldGraphic();
    if (graphic != nullptr) {
        const bool metaOrIcon = graphic->ClassType().InheritsFrom(TMetafile::Class()) ||
                                graphic->ClassType().InheritsFrom(TIcon::Class());
        if (!metaOrIcon)
            graphic->SetTransparency(transparent_);
        const platform::RECT r = DestRect();
        opaque_ = !graphic->IsTransparent() && r.left <= 0 && r.top <= 0 && r.right >= width_ &&
                  r.bottom >= height_;
        // The preview shows true colour; a new palette only needs the repaint below.
        if (graphic->PaletteModified())
            graphic->SetPaletteModified(false);
    } else {
        opaque_ = false;
    }
    if (!drawing_)
        Invalidate();
}

void TImage::Invalidate() {
    if (OnInvalidate)
        OnInvalidate();
}

// ---- TPaintBuffer -------------------------------------------------------------------------------

TPaintBuffer::TPaintBuffer(int width, int height) : width_(width), height_(height) {
    platform::BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down: row 0 is the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = platform::BI_RGB;
    surface_ = platform::CreateDIBSection(&platform::GetScreenDC(), info, platform::DIB_RGB_COLORS);
    if (!surface_)
        RaiseOutOfResources();
    dc_ = platform::CreateCompatibleDC(&platform::GetScreenDC());
    if (!dc_)
        RaiseOutOfResources();
    previous_ = platform::SelectObject(*dc_, *surface_);
    canvas_.Attach(dc_.get());
}

TPaintBuffer::~TPaintBuffer() {
    canvas_.Attach(nullptr);
    if (previous_)
        platform::SelectObject(*dc_, *previous_);
}

std::span<const uint8_t> TPaintBuffer::Row(int y) const {
    if (y < 0 || y >= height_)
        return {};
    platform::DIBSECTION d{};
    platform::GetObject(*surface_, d);
    const size_t stride = size_t(width_) * 4;
    return {d.dsBm.bmBits + size_t(y) * stride, stride};
}

platform::COLORREF TPaintBuffer::PixelAt(int x, int y) const {
    return platform::GetPixel(*dc_, x, y);
}

} // namespace graphics
