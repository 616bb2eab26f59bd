// TCanvas: the drawing interface of a raster surface. It owns a font, a pen and a brush, a pen
// position and a copy mode, and turns each drawing call into one device call on its device
// context. Tools reach the device lazily: an operation makes ready only the parts it needs
// (device context, font, pen, brush, in that order), and a changed tool is swapped for the
// stock object until it is needed again.
#pragma once

#include "graphics/Color.h"
#include "graphics/Persistent.h"
#include "graphics/Tools.h"
#include "platform/Gdi.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>

namespace graphics {

class TGraphic;

// Readiness flags.
enum TCanvasState : uint8_t {
    csHandleValid = 1,
    csFontValid = 2,
    csPenValid = 4,
    csBrushValid = 8,
};
using TCanvasStates = uint8_t;
constexpr TCanvasStates csAllValid = csHandleValid | csFontValid | csPenValid | csBrushValid;

enum TFillStyle : uint8_t { fsSurface, fsBorder };

class TCanvas : public TPersistent {
  public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    std::string_view ClassName() const override { return "TCanvas"; }

    // ---- Tools: assigning copies the values into the canvas's own objects.
    TFont& Font() { return font_; }
    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }
    const TFont& Font() const { return font_; }
    const TPen& Pen() const { return pen_; }
    const TBrush& Brush() const { return brush_; }
    void SetFont(const TFont& font) { font_.CopyFrom(&font); }
    void SetPen(const TPen& pen) { pen_.CopyFrom(&pen); }
    void SetBrush(const TBrush& brush) { brush_.CopyFrom(&brush); }

    // ---- Operations. Those that can change pixels fire OnBeforeChange first and OnChange last.
    // Text with its cell's top-left at (x, y); the pen moves to (x + text width, y).
    void DrawTextAt(int x, int y, std::string_view text);
    platform::SIZE MeasureText(std::string_view text);
    int MeasureWidth(std::string_view text) { return MeasureText(text).cx; }
    int MeasureHeight(std::string_view text) { return MeasureText(text).cy; }
    // Outline with the pen, interior with the brush; right and bottom exclusive.
    void DrawRectangle(int x1, int y1, int x2, int y2);
    void DrawRectangle(const platform::RECT& r) { DrawRectangle(r.left, r.top, r.right, r.bottom); }
    void MovePenTo(int x, int y);
    // Line from the pen position to (x, y), end point not drawn.
    void DrawLineTo(int x, int y);
    // The brush over [left, right) x [top, bottom); the pen mode does not apply.
    void FillArea(const platform::RECT& rect);
    // The colour goes to the device unconverted (a system colour is not resolved).
    void FloodFillArea(int x, int y, TColor color, TFillStyle style);
    // The graphic draws itself scaled into rect; nothing when graphic is null.
    void DrawStretched(const platform::RECT& rect, TGraphic* graphic);
    // The graphic at its own size with top-left (x, y); nothing when null or empty.
    void DrawAt(int x, int y, TGraphic* graphic);
    // StretchBlt from source with CopyMode.
    void CopyArea(const platform::RECT& dest, TCanvas& source, const platform::RECT& sourceRect);
    TColor PixelAt(int x, int y);
    void SetPixelAt(int x, int y, TColor color);
    platform::POINT PenPosition();
    void SetPenPosition(platform::POINT p) { MovePenTo(p.x, p.y); }

    uint32_t CopyMode() const { return copyMode_; }
    void SetCopyMode(uint32_t rop) { copyMode_ = rop; }
    // ExtTextOut options for DrawTextAt.
    unsigned TextFlags() const { return textFlags_; }
    void SetTextFlags(unsigned flags) { textFlags_ = flags; }

    // ---- Device context.
    // Makes the listed parts ready in the fixed order; raises EInvalidOperation "Canvas does not
    // allow drawing" when no device context can be had.
    void EnsureReady(TCanvasStates required);
    TCanvasStates State() const { return state_; }
    bool HandleAllocated() const { return dc_ != nullptr; }
    // The device context, made ready first.
    platform::DeviceContext& DeviceContext();

    // ---- Lock (recursive; the count is changed under one process-wide lock).
    void AcquireLock();
    void ReleaseLock();
    bool TryAcquireLock();
    int LockCount() const;

    std::function<void(TCanvas&)> OnChange;
    std::function<void(TCanvas&)> OnBeforeChange;

    virtual void NotifyChanged();
    virtual void NotifyChanging();

  protected:
    // Supplies the device context by calling SetDeviceContext; the plain canvas has none.
    virtual void CreateHandle() {}
    // Replaces the device context (null releases it): the tools are deselected first, the pen
    // position is saved, and a new context gets only the device flag and the saved position.
    // The canvas does not own the context.
    void SetDeviceContext(platform::DeviceContext* dc);
    std::recursive_mutex& Mutex() { return mutex_; }

  private:
    void FontChanged();
    void PenChanged();
    void BrushChanged();
    void DeselectTools();
    void MakeFontReady();
    void MakePenReady();
    void MakeBrushReady();

    TFont font_;
    TPen pen_;
    TBrush brush_;
    platform::DeviceContext* dc_ = nullptr;
    TCanvasStates state_ = 0;
    platform::POINT penPos_;
    uint32_t copyMode_ = platform::SRCCOPY;
    unsigned textFlags_ = 0;
    std::recursive_mutex mutex_;
    int lockCount_ = 0;
};

// A canvas over a device context that someone else owns (a control's paint buffer).
class TDeviceCanvas : public TCanvas {
  public:
    std::string_view ClassName() const override { return "TDeviceCanvas"; }
    // The context must outlive its use here; Attach(nullptr) releases it.
    void Attach(platform::DeviceContext* dc) { SetDeviceContext(dc); }
};

// Holds a canvas's lock for a scope.
class TCanvasLock {
  public:
    explicit TCanvasLock(TCanvas& canvas) : canvas_(canvas) { canvas_.AcquireLock(); }
    ~TCanvasLock() { canvas_.ReleaseLock(); }
    TCanvasLock(const TCanvasLock&) = delete;
    TCanvasLock& operator=(const TCanvasLock&) = delete;

  private:
    TCanvas& canvas_;
};

} // namespace graphics
