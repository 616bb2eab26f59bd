#include "graphics/Canvas.h"

#include "graphics/Exceptions.h"
#include "graphics/Graphic.h"
#include "platform/DeviceContext.h" // complete object types for selection

namespace graphics {

namespace {

// The lock counts of all canvases change under this one lock.
std::mutex& CounterLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

TCanvas::TCanvas() {
    font_.OnChange = [this](TGraphicsObject&) { FontChanged(); };
    pen_.OnChange = [this](TGraphicsObject&) { PenChanged(); };
    brush_.OnChange = [this](TGraphicsObject&) { BrushChanged(); };
    font_.SetOwnerLock(&mutex_);
    pen_.SetOwnerLock(&mutex_);
    brush_.SetOwnerLock(&mutex_);
}

// A canvas does not own its device context; the surface-specific canvas releases it first.
TCanvas::~TCanvas() = default;

// ---- Readiness -------------------------------------------------------------------------------

void TCanvas::EnsureReady(TCanvasStates required) {
    const TCanvasStates needed = required & ~state_;
    if (needed == 0)
        return;
    if (needed & csHandleValid) {
        CreateHandle();
        if (dc_ == nullptr)
            throw EInvalidOperation("Canvas does not allow drawing");
    }
    if (needed & csFontValid)
        MakeFontReady();
    if (needed & csPenValid)
        MakePenReady();
    if (needed & csBrushValid)
        MakeBrushReady();
    state_ |= needed;
}

void TCanvas::MakeFontReady() {
    platform::SelectObject(*dc_, font_.Handle());
    platform::SetTextColor(*dc_, ToDeviceColor(font_.Color()));
}

void TCanvas::MakePenReady() {
    platform::SelectObject(*dc_, pen_.Handle());
    platform::SetROP2(*dc_, PenModeToRop2(pen_.Mode()));
}

void TCanvas::MakeBrushReady() {
    platform::GdiBrush& handle = brush_.Handle();
    platform::UnrealizeObject(handle);
    platform::SelectObject(*dc_, handle);
    const platform::COLORREF color = ToDeviceColor(brush_.Color());
    if (brush_.Style() == bsSolid) {
        platform::SetBkColor(*dc_, color);
        platform::SetBkMode(*dc_, platform::OPAQUE);
    } else {
        // Hatches show the background through their gaps.
        platform::SetBkColor(*dc_, ~color & 0x00FFFFFFu);
        platform::SetBkMode(*dc_, platform::TRANSPARENT);
    }
}

// A changed tool is swapped for the stock object; its new value reaches the device only when
// an operation next needs it.
void TCanvas::FontChanged() {
    if (state_ & csFontValid) {
        state_ &= ~csFontValid;
        platform::SelectObject(*dc_, platform::GetStockObject(platform::SYSTEM_FONT));
    }
}

void TCanvas::PenChanged() {
    if (state_ & csPenValid) {
        state_ &= ~csPenValid;
        platform::SelectObject(*dc_, platform::GetStockObject(platform::BLACK_PEN));
    }
}

void TCanvas::BrushChanged() {
    if (state_ & csBrushValid) {
        state_ &= ~csBrushValid;
        platform::SelectObject(*dc_, platform::GetStockObject(platform::NULL_BRUSH));
    }
}

void TCanvas::DeselectTools() {
    if (dc_ == nullptr)
        return;
    if (state_ & (csFontValid | csPenValid | csBrushValid)) {
        platform::SelectObject(*dc_, platform::GetStockObject(platform::SYSTEM_FONT));
        platform::SelectObject(*dc_, platform::GetStockObject(platform::BLACK_PEN));
        platform::SelectObject(*dc_, platform::GetStockObject(platform::NULL_BRUSH));
    }
    state_ &= ~(csFontValid | csPenValid | csBrushValid);
}

void TCanvas::SetDeviceContext(platform::DeviceContext* dc) {
    if (dc == dc_)
        return;
    if (dc_ != nullptr) {
        DeselectTools();
        platform::GetCurrentPositionEx(*dc_, &penPos_);
        state_ = 0;
    }
    dc_ = dc;
    if (dc_ != nullptr) {
        state_ = csHandleValid;
        platform::MoveToEx(*dc_, penPos_.x, penPos_.y, nullptr);
    }
}

platform::DeviceContext& TCanvas::DeviceContext() {
    EnsureReady(csHandleValid);
    return *dc_;
}

// ---- Notifications ---------------------------------------------------------------------------

void TCanvas::NotifyChanged() {
    if (OnChange)
        OnChange(*this);
}

void TCanvas::NotifyChanging() {
    if (OnBeforeChange)
        OnBeforeChange(*this);
}

// ---- Operations ------------------------------------------------------------------------------

void TCanvas::DrawTextAt(int x, int y, std::string_view text) {
    NotifyChanging();
    EnsureReady(csHandleValid | csFontValid | csBrushValid);
    if (textFlags_ & platform::ETO_RTLREADING) {
        platform::POINT origin;
        platform::GetWindowOrgEx(*dc_, &origin);
        if (origin.x != 0)
            x += MeasureWidth(text) + 1;
    }
    platform::ExtTextOut(*dc_, x, y, textFlags_, nullptr, text);
    MovePenTo(x + MeasureWidth(text), y);
    NotifyChanged();
}

platform::SIZE TCanvas::MeasureText(std::string_view text) {
    EnsureReady(csHandleValid | csFontValid);
    platform::SIZE size{0, 0};
    platform::GetTextExtentPoint32(*dc_, text, size);
    return size;
}

void TCanvas::DrawRectangle(int x1, int y1, int x2, int y2) {
    NotifyChanging();
    EnsureReady(csHandleValid | csPenValid | csBrushValid);
    platform::Rectangle(*dc_, x1, y1, x2, y2);
    NotifyChanged();
}

void TCanvas::MovePenTo(int x, int y) {
    EnsureReady(csHandleValid);
    platform::MoveToEx(*dc_, x, y, nullptr);
}

void TCanvas::DrawLineTo(int x, int y) {
    NotifyChanging();
    EnsureReady(csHandleValid | csPenValid | csBrushValid);
    platform::LineTo(*dc_, x, y);
    NotifyChanged();
}

void TCanvas::FillArea(const platform::RECT& rect) {
    NotifyChanging();
    EnsureReady(csHandleValid | csBrushValid);
    platform::FillRect(*dc_, rect, brush_.Handle());
    NotifyChanged();
}

void TCanvas::FloodFillArea(int x, int y, TColor color, TFillStyle style) {
    NotifyChanging();
    EnsureReady(csHandleValid | csBrushValid);
    // The one colour that reaches the device unresolved.
    platform::ExtFloodFill(*dc_, x, y, static_cast<platform::COLORREF>(color),
                           style == fsSurface ? platform::FLOODFILLSURFACE
                                              : platform::FLOODFILLBORDER);
    NotifyChanged();
}

void TCanvas::DrawStretched(const platform::RECT& rect, TGraphic* graphic) {
    if (graphic == nullptr)
        return;
    NotifyChanging();
    EnsureReady(csAllValid);
    graphic->DrawGraphic(*this, rect);
    NotifyChanged();
}

void TCanvas::DrawAt(int x, int y, TGraphic* graphic) {
    if (graphic == nullptr || graphic->IsEmpty())
        return;
    NotifyChanging();
    EnsureReady(csHandleValid);
    platform::SetBkColor(*dc_, ToDeviceColor(brush_.Color()));
    platform::SetTextColor(*dc_, ToDeviceColor(font_.Color()));
    graphic->DrawGraphic(*this, {x, y, x + graphic->Width(), y + graphic->Height()});
    NotifyChanged();
}

void TCanvas::CopyArea(const platform::RECT& dest, TCanvas& source,
                       const platform::RECT& sourceRect) {
    NotifyChanging();
    EnsureReady(csHandleValid | csFontValid | csBrushValid);
    source.EnsureReady(csHandleValid | csBrushValid);
    platform::StretchBlt(*dc_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top,
                         source.dc_, sourceRect.left, sourceRect.top,
                         sourceRect.right - sourceRect.left, sourceRect.bottom - sourceRect.top,
                         copyMode_);
    NotifyChanged();
}

TColor TCanvas::PixelAt(int x, int y) {
    EnsureReady(csHandleValid);
    return static_cast<TColor>(platform::GetPixel(*dc_, x, y));
}

void TCanvas::SetPixelAt(int x, int y, TColor color) {
    NotifyChanging();
    EnsureReady(csHandleValid | csPenValid);
    platform::SetPixel(*dc_, x, y, ToDeviceColor(color));
    NotifyChanged();
}

platform::POINT TCanvas::PenPosition() {
    EnsureReady(csHandleValid);
    platform::POINT p;
    platform::GetCurrentPositionEx(*dc_, &p);
    return p;
}

// ---- Lock ------------------------------------------------------------------------------------

void TCanvas::AcquireLock() {
    mutex_.lock();
    std::lock_guard counter(CounterLock());
    ++lockCount_;
}

void TCanvas::ReleaseLock() {
    {
        std::lock_guard counter(CounterLock());
        --lockCount_;
    }
    mutex_.unlock();
}

bool TCanvas::TryAcquireLock() {
    std::unique_lock counter(CounterLock());
    if (lockCount_ != 0)
        return false;
    counter.unlock();
    AcquireLock();
    return true;
}

int TCanvas::LockCount() const {
    std::lock_guard counter(CounterLock());
    return lockCount_;
}

} // namespace graphics
